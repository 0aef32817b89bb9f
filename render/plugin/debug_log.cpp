// Diagnostic log writers and the clean-up of the log folder.
//
// Every message opens the log file exclusively, appends one line and closes it again, so a
// crash loses nothing and several processes share the folder safely (a writer that finds the
// file open elsewhere loses its line).
#include "debug_log.h"

#include <cstdarg>
#include <cstdlib>

#include "win32/clock.h"
#include "win32/files.h"
#include "win32/paths.h"
#include "win32/strings.h"

BOOL g_bDebugLog = TRUE;

extern DWORD g_dwCurrentJobId;

namespace {

constexpr size_t kLineChars = 260;             // message and line buffers; 259 characters survive
constexpr DWORD kMaxFolderBytes = 0x12c00000;  // 300 MiB

// Builds "C:\Windows\temp\LBR-KV580" into `folder` and creates the two folders on the way.
// Creation fails harmlessly when the folders exist.
bool PrepareLogFolder(WCHAR (&folder)[MAX_PATH]) {
    if (GetWindowsDirectoryW(folder, MAX_PATH) == 0) {
        return false;
    }
    if (FAILED(StringCchCatW(folder, MAX_PATH, u"\\temp"))) {
        return false;
    }
    CreateDirectoryW(folder, nullptr);
    if (FAILED(StringCchCatW(folder, MAX_PATH, u"\\LBR-KV580"))) {
        return false;
    }
    CreateDirectoryW(folder, nullptr);
    return true;
}

// Full path of the log file for the current time and job; `suffix` picks the 8-bit or UTF-16
// log.
bool BuildLogFilePath(const SYSTEMTIME& now, const WCHAR* suffix, WCHAR (&path)[MAX_PATH]) {
    WCHAR folder[MAX_PATH] = {};
    if (!PrepareLogFolder(folder)) {
        return false;
    }
    HRESULT hr;
    if (g_dwCurrentJobId != 0) {
        hr = StringCchPrintfW(path, MAX_PATH, u"%s\\LBR-KV580_%02u%02u_%05u%s", folder,
                              static_cast<unsigned>(now.wMonth), static_cast<unsigned>(now.wDay),
                              static_cast<unsigned>(g_dwCurrentJobId), suffix);
    } else {
        hr = StringCchPrintfW(path, MAX_PATH, u"%s\\LBR-KV580_%02u%02u_%02u%02u%s", folder,
                              static_cast<unsigned>(now.wMonth), static_cast<unsigned>(now.wDay),
                              static_cast<unsigned>(now.wHour), static_cast<unsigned>(now.wMinute),
                              suffix);
    }
    return SUCCEEDED(hr);
}

// Opens the log file for appending, without sharing. INVALID_HANDLE_VALUE when it is busy or
// cannot be made. `wasEmpty` tells whether nothing was in the file before.
HANDLE OpenLogFile(const WCHAR* path, bool& wasEmpty) {
    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return file;
    }
    const DWORD end = SetFilePointer(file, 0, nullptr, FILE_END);
    wasEmpty = end == 0;
    return file;
}

void WriteAll(HANDLE file, const void* bytes, DWORD count) {
    DWORD written = 0;
    WriteFile(file, bytes, count, &written, nullptr);
}

}  // namespace

namespace {

// Keeps the caller's last error across the file calls of a log line.
class LastErrorKeeper {
public:
    LastErrorKeeper() : m_error(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(m_error); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

private:
    DWORD m_error;
};

}  // namespace

void DebugLog(const char* format, ...) {
    if (!g_bDebugLog || format == nullptr) {
        return;
    }
    LastErrorKeeper keeper;
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    WCHAR path[MAX_PATH] = {};
    if (!BuildLogFilePath(now, u"_OEMUNI.LOG", path)) {
        return;
    }
    bool wasEmpty = false;
    HANDLE file = OpenLogFile(path, wasEmpty);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    char message[kLineChars] = {};
    va_list args;
    va_start(args, format);
    StringCchVPrintfA(message, kLineChars, format, args);  // a cut message is kept as cut
    va_end(args);
    char line[kLineChars] = {};
    StringCchPrintfA(line, kLineChars, "%02u:%02u:%02u:%03u: %s \r\n",
                     static_cast<unsigned>(now.wHour), static_cast<unsigned>(now.wMinute),
                     static_cast<unsigned>(now.wSecond), static_cast<unsigned>(now.wMilliseconds),
                     message);
    WriteAll(file, line, static_cast<DWORD>(lstrlenA(line)));
    CloseHandle(file);
}

void DebugLogW(const WCHAR* format, ...) {
    if (!g_bDebugLog || format == nullptr) {
        return;
    }
    LastErrorKeeper keeper;
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    WCHAR path[MAX_PATH] = {};
    if (!BuildLogFilePath(now, u"_OEMUNI_W.LOG", path)) {
        return;
    }
    bool wasEmpty = false;
    HANDLE file = OpenLogFile(path, wasEmpty);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    if (wasEmpty) {
        const BYTE byteOrderMark[2] = {0xFF, 0xFE};
        WriteAll(file, byteOrderMark, sizeof(byteOrderMark));
    }
    WCHAR message[kLineChars] = {};
    va_list args;
    va_start(args, format);
    StringCchVPrintfW(message, kLineChars, format, args);
    va_end(args);
    WCHAR line[kLineChars] = {};
    StringCchPrintfW(line, kLineChars, u"%02u:%02u:%02u:%03u: %s \r\n",
                     static_cast<unsigned>(now.wHour), static_cast<unsigned>(now.wMinute),
                     static_cast<unsigned>(now.wSecond), static_cast<unsigned>(now.wMilliseconds),
                     message);
    // WCHAR text is written as little-endian UTF-16.
    const DWORD count = static_cast<DWORD>(lstrlenW(line));
    BYTE bytes[kLineChars * 2] = {};
    for (DWORD i = 0; i < count; ++i) {
        bytes[2 * i] = static_cast<BYTE>(line[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<BYTE>(line[i] >> 8);
    }
    WriteAll(file, bytes, count * 2);
    CloseHandle(file);
}

namespace {

// True for the names the clean-up may delete (case-sensitive, anywhere in the name).
bool IsDebugFileName(const WCHAR* name) {
    return WcsStr(name, u".BIN") != nullptr || WcsStr(name, u".BMP") != nullptr ||
           WcsStr(name, u".LOG") != nullptr;
}

bool IsFolder(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Calls `visit` for every entry of the log folder; the folder path is passed along.
template <typename Visit>
void ForEachEntry(Visit visit) {
    WCHAR folder[MAX_PATH] = {};
    if (!PrepareLogFolder(folder)) {
        return;
    }
    WCHAR pattern[MAX_PATH] = {};
    if (FAILED(StringCchPrintfW(pattern, MAX_PATH, u"%s\\*.*", folder))) {
        return;
    }
    WIN32_FIND_DATAW entry = {};
    HANDLE find = FindFirstFileW(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        visit(folder, entry);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

void DeleteEntry(const WCHAR* folder, const WIN32_FIND_DATAW& entry) {
    WCHAR path[MAX_PATH] = {};
    if (SUCCEEDED(StringCchPrintfW(path, MAX_PATH, u"%s\\%s", folder, entry.cFileName))) {
        DeleteFileW(path);  // a failed deletion is ignored
    }
}

}  // namespace

void DebugDeleteFilesbySize() {
    DebugLog("DebugDeleteFilesbySize : START");
    DWORD total = 0;  // low 32 bits of every size, in a 32-bit sum, as the folder is measured
    ForEachEntry(
        [&total](const WCHAR*, const WIN32_FIND_DATAW& entry) { total += entry.nFileSizeLow; });
    if (total > kMaxFolderBytes) {
        DebugDeleteAllFiles();
    }
    DebugLog("DebugDeleteFilesbySize : END");
    DebugDeleteFilesbyDate();
}

void DebugDeleteFilesbyDate() {
    DebugLog("DebugDeleteFilesbyDate : START");
    SYSTEMTIME today = {};
    GetLocalTime(&today);
    ForEachEntry([&today](const WCHAR* folder, const WIN32_FIND_DATAW& entry) {
        if (IsFolder(entry) || !IsDebugFileName(entry.cFileName)) {
            return;
        }
        SYSTEMTIME written = {};
        if (!FileTimeToSystemTime(&entry.ftLastWriteTime, &written)) {
            return;
        }
        const int dayDifference = std::abs(static_cast<int>(written.wDay) - today.wDay);
        if (written.wYear != today.wYear || written.wMonth != today.wMonth || dayDifference > 3) {
            DeleteEntry(folder, entry);
        }
    });
    DebugLog("DebugDeleteFilesbyDate : END");
}

void DebugDeleteAllFiles() {
    ForEachEntry([](const WCHAR* folder, const WIN32_FIND_DATAW& entry) {
        if (!IsFolder(entry) && IsDebugFileName(entry.cFileName)) {
            DeleteEntry(folder, entry);
        }
    });
}
