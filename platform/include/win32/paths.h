// Well-known folders of the simulated machine and the mapping of Windows paths onto the
// system root.
//
// The machine has one drive, C:, and it is the system root: "C:\Windows" is <root>/Windows,
// "C:\Temp" is <root>/Temp. Path components compare without regard to letter case, so
// "c:\WINDOWS\TEMP" finds <root>/Windows/temp. Backslashes and slashes both separate
// components. Nothing outside the root can be named: other drive letters, device and network
// names, ".." above "C:\", Linux paths outside the root and links that lead out of the root
// are refused with ERROR_ACCESS_DENIED.
//
// 8-bit ("A") names are UTF-8 (plain ASCII in practice; the machine's ANSI code page is 1252).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "win32/types.h"

extern "C" {

// Buffer rule of these four: on success the length copied without the terminator; when uSize
// is too small (or the buffer NULL) nothing is copied and the size needed, terminator included,
// is returned.
UINT GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize);  // "C:\Windows"
UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
UINT GetSystemWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize);  // "C:\Windows"
UINT GetSystemWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
UINT GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize);  // "C:\Windows\System32"
UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);

// "C:\Temp\" (with the closing backslash); same buffer rule as above.
DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer);
DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);

// The current directory of the process (initially "C:\"); relative names resolve against it.
// Get: same buffer rule as above. Set: the folder must exist (ERROR_PATH_NOT_FOUND /
// ERROR_DIRECTORY otherwise).
DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer);
DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
BOOL SetCurrentDirectoryW(LPCWSTR lpPathName);
BOOL SetCurrentDirectoryA(LPCSTR lpPathName);

// Full path of a module. hModule NULL is the running program: its Windows path when the
// program lies inside the root, else "C:\Program Files\kv580\<file name>". Other modules are
// answered by the resolver set with platform::SetModulePathResolver (ERROR_MOD_NOT_FOUND
// without one). Published buffer rule: the length copied without terminator; when nSize is
// too small the name is cut to nSize - 1 characters, terminated, nSize is returned and the
// last error is ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

}  // extern "C"

namespace platform {

// Maps a Windows path ("C:\...", "\..." on drive C:, relative to the current directory, or a
// Linux path inside the root) onto the file system under the system root. Existing components
// are found without regard to letter case; the rest are kept as written. Returns false with
// SetLastError(ERROR_ACCESS_DENIED) for names outside the root, ERROR_INVALID_NAME for names
// with NUL characters or empty names.
bool MapWindowsPath(std::u16string_view winPath, std::filesystem::path& out);
bool MapWindowsPath(std::string_view winPath, std::filesystem::path& out);

// The Windows form ("C:\Windows\temp") of a path inside the root; empty for a path outside.
std::u16string ToWindowsPath(const std::filesystem::path& path);

// Answers GetModuleFileName for module handles other than NULL (set by the module loader).
// The resolver gives the module's real path; it is reported in Windows form as above.
using ModulePathResolver = std::function<bool(HMODULE, std::filesystem::path&)>;
void SetModulePathResolver(ModulePathResolver resolver);

}  // namespace platform
