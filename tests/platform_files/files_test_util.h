// Small helpers of the file-service tests.
#pragma once

#include <filesystem>
#include <string>

#include "test_support.h"
#include "win32/files.h"
#include "win32/strings.h"

namespace files_test {

inline std::u16string W(const std::string& text) {
    return platform::Utf8ToUtf16(text);
}

// Opens with CreateFileW; INVALID_HANDLE_VALUE on failure (GetLastError tells why).
inline HANDLE Open(const std::string& name, DWORD access, DWORD share, DWORD disposition,
                   DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileW(W(name).c_str(), access, share, nullptr, disposition, flags, nullptr);
}

inline std::string ReadAll(HANDLE h) {
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

inline bool WriteAll(HANDLE h, const std::string& bytes) {
    DWORD put = 0;
    return WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
           put == bytes.size();
}

}  // namespace files_test
