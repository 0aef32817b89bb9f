// GetPrintProcessorDirectoryA/W: the spooler's print-processor folder of an environment.
#include <cstring>
#include <string>

#include "win32/paths.h"
#include "win32/strings.h"
#include "win32/winspool.h"

namespace {

// The folder for an environment name (UTF-8), or "" with the error set.
std::string ProcessorFolder(bool remote, const std::string& environment, DWORD level) {
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return {};
    }
    if (remote) {
        SetLastError(ERROR_INVALID_NAME);
        return {};
    }
    const char* sub = nullptr;
    if (environment.empty() || environment == "Windows x64") {
        sub = "x64";
    } else if (environment == "Windows NT x86") {
        sub = "W32X86";
    } else {
        SetLastError(ERROR_INVALID_ENVIRONMENT);
        return {};
    }
    char windows[260] = {};
    UINT n = GetWindowsDirectoryA(windows, sizeof(windows));
    if (n == 0 || n >= sizeof(windows)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    return std::string(windows) + "\\System32\\spool\\prtprocs\\" + sub;
}

BOOL Answer(const void* data, DWORD bytes, LPBYTE out, DWORD cbBuf, LPDWORD pcbNeeded) {
    *pcbNeeded = bytes;
    if (out == nullptr || cbBuf < bytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(out, data, bytes);
    return TRUE;
}

}  // namespace

extern "C" {

BOOL GetPrintProcessorDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                 LPBYTE pPrintProcessorInfo, DWORD cbBuf, LPDWORD pcbNeeded) {
    if (pcbNeeded == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool remote = pName != nullptr && pName[0] != '\0';
    std::string folder =
        ProcessorFolder(remote, pEnvironment == nullptr ? "" : pEnvironment, Level);
    if (folder.empty()) {
        return FALSE;
    }
    return Answer(folder.c_str(), static_cast<DWORD>(folder.size() + 1), pPrintProcessorInfo, cbBuf,
                  pcbNeeded);
}

BOOL GetPrintProcessorDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level,
                                 LPBYTE pPrintProcessorInfo, DWORD cbBuf, LPDWORD pcbNeeded) {
    if (pcbNeeded == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool remote = pName != nullptr && pName[0] != u'\0';
    std::string environment =
        pEnvironment == nullptr ? "" : platform::Utf16ToUtf8(std::u16string_view(pEnvironment));
    std::string folder = ProcessorFolder(remote, environment, Level);
    if (folder.empty()) {
        return FALSE;
    }
    std::u16string wide = platform::Utf8ToUtf16(folder);
    return Answer(wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(WCHAR)),
                  pPrintProcessorInfo, cbBuf, pcbNeeded);
}

}  // extern "C"
