// store_writer ROOT PRINTER PREFIX COUNT: writes COUNT printer-data values PREFIX0000... with
// one SetPrinterDataExW each, for the test of several processes writing to one store.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "win32/strings.h"
#include "win32/system_root.h"
#include "win32/winspool.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: store_writer ROOT PRINTER PREFIX COUNT\n");
        return 2;
    }
    platform::SetSystemRoot(argv[1]);
    std::u16string printer = platform::Utf8ToUtf16(argv[2]);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    if (!OpenPrinterW(printer.c_str(), &handle, &defaults)) {
        std::fprintf(stderr, "OpenPrinterW failed: %u\n", GetLastError());
        return 1;
    }
    int count = std::atoi(argv[4]);
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s%04d", argv[3], i);
        std::u16string value = platform::Utf8ToUtf16(name);
        DWORD data = static_cast<DWORD>(i);
        DWORD code = SetPrinterDataExW(handle, u"Load", value.c_str(), REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&data), sizeof data);
        if (code != ERROR_SUCCESS) {
            std::fprintf(stderr, "SetPrinterDataExW %s failed: %u\n", name, code);
            return 1;
        }
    }
    ClosePrinter(handle);
    return 0;
}
