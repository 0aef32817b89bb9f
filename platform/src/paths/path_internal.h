// Helpers shared by the path, file and profile services of the platform.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "win32/types.h"

namespace platform::paths {

// Platform error code for a POSIX errno value met while working on `path` (ENOENT becomes
// ERROR_PATH_NOT_FOUND when the folder of `path` is missing, else ERROR_FILE_NOT_FOUND).
DWORD ErrorFromErrno(int error, const std::filesystem::path& path);

// Name comparison key: letters folded to lower case (ASCII and Latin), UTF-16.
std::u16string FoldName(std::u16string_view name);
std::u16string FoldName(std::string_view utf8Name);

// Text of a NULL-able wide / 8-bit argument (UTF-8 for 8-bit).
std::string Utf8Arg(const WCHAR* text);
std::u16string WideArg(const char* text);

// The folder that holds the platform's own bookkeeping under the root (share locks); hidden
// from enumeration of "C:\".
constexpr const char* kPrivateFolderName = ".kv580";

// Copies `text` with the buffer rule of GetWindowsDirectory: the length without terminator,
// or the size needed with terminator when the buffer is missing or too small.
template <typename Ch>
DWORD CopyWithSizeRule(std::basic_string_view<Ch> text, Ch* buffer, size_t size) {
    if (buffer == nullptr || size < text.size() + 1) {
        return static_cast<DWORD>(text.size() + 1);
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = Ch{};
    return static_cast<DWORD>(text.size());
}

}  // namespace platform::paths
