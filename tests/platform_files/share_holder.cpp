// files_share_holder ROOT WINDOWS-PATH ACCESS SHARE DISPOSITION
//
// Opens the file with CreateFileW (access, share and disposition as hexadecimal numbers),
// prints "OPEN" or "FAIL <error>" on a line, then holds the handle until standard input
// reaches its end, closes it and exits 0.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "win32/files.h"
#include "win32/strings.h"
#include "win32/system_root.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: files_share_holder ROOT PATH ACCESS SHARE DISPOSITION\n");
        return 2;
    }
    platform::SetSystemRoot(argv[1]);
    std::u16string path = platform::Utf8ToUtf16(argv[2]);
    auto number = [](const char* text) {
        return static_cast<DWORD>(std::strtoul(text, nullptr, 16));
    };
    HANDLE handle = CreateFileW(path.c_str(), number(argv[3]), number(argv[4]), nullptr,
                                number(argv[5]), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        std::printf("FAIL %u\n", static_cast<unsigned>(GetLastError()));
    } else {
        std::printf("OPEN\n");
    }
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return 0;
}
