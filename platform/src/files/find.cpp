// Folder enumeration: FindFirstFile / FindNextFile / FindClose over * and ? patterns.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "files/file_internal.h"
#include "paths/path_internal.h"
#include "win32/paths.h"
#include "win32/strings.h"
#include "win32/system_root.h"

namespace fs = std::filesystem;

namespace platform::files {
namespace {

struct FoundEntry {
    std::string name;  // UTF-8
    DWORD attributes = 0;
    FILETIME created{}, accessed{}, written{};
    unsigned long long size = 0;
};

// A snapshot of the matching entries, taken by FindFirstFile.
class FindHandle final : public HandleObject {
public:
    std::vector<FoundEntry> entries;
    size_t next = 0;
};

// Wildcard match of folded names: * any run, ? any one character.
bool Matches(std::u16string_view pattern, std::u16string_view name) {
    size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

FoundEntry EntryFor(const std::string& name, const struct stat& st) {
    FoundEntry entry;
    entry.name = name;
    entry.attributes = AttributesFromMode(st.st_mode);
    entry.created = ToFileTime(st.st_ctim);
    entry.accessed = ToFileTime(st.st_atim);
    entry.written = ToFileTime(st.st_mtim);
    entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<unsigned long long>(st.st_size);
    return entry;
}

HANDLE FindFirstUtf8(const std::string& text, FoundEntry& first) {
    size_t cut = text.find_last_of("\\/");
    std::string folderText = cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
    std::string pattern = cut == std::string::npos ? text : text.substr(cut + 1);
    if (cut == std::string::npos && pattern.size() >= 2 && pattern[1] == ':') {
        folderText = pattern.substr(0, 2);
        pattern.erase(0, 2);
    }
    if (folderText.empty()) folderText = ".";
    if (pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    fs::path folder;
    if (!MapWindowsPath(std::string_view(folderText), folder)) return INVALID_HANDLE_VALUE;
    struct stat folderStat;
    if (::stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string foldedPattern = paths::FoldName(std::string_view(pattern));
    if (foldedPattern == u"*.*") foldedPattern = u"*";
    const bool atRoot = folder.lexically_normal() == SystemRoot();

    auto handle = std::make_unique<FindHandle>();
    std::vector<FoundEntry> listed;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        SetLastError(paths::ErrorFromErrno(errno, folder));
        return INVALID_HANDLE_VALUE;
    }
    while (struct dirent* d = ::readdir(dir)) {
        std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        if (atRoot && name == paths::kPrivateFolderName) continue;
        std::u16string wide = Utf8ToUtf16(name);
        if (wide.size() >= MAX_PATH || name.size() >= MAX_PATH) continue;
        if (!Matches(foldedPattern, paths::FoldName(std::u16string_view(wide)))) continue;
        struct stat st;
        if (::stat((folder / name).c_str(), &st) != 0) continue;  // dangling link
        listed.push_back(EntryFor(name, st));
    }
    ::closedir(dir);
    std::sort(listed.begin(), listed.end(), [](const FoundEntry& a, const FoundEntry& b) {
        return paths::FoldName(std::string_view(a.name)) <
               paths::FoldName(std::string_view(b.name));
    });
    // As on Windows, folders other than the drive's root list themselves and their parent.
    if (!atRoot) {
        for (const char* dots : {".", ".."}) {
            if (!Matches(foldedPattern, Utf8ToUtf16(dots))) continue;
            struct stat st;
            if (::stat((folder / dots).c_str(), &st) == 0) {
                handle->entries.push_back(EntryFor(dots, st));
            }
        }
    }
    handle->entries.insert(handle->entries.end(), listed.begin(), listed.end());
    if (handle->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    first = handle->entries[0];
    handle->next = 1;
    return RegisterHandle(std::move(handle));
}

bool FindNext(HANDLE handle, FoundEntry& entry) {
    auto* find = dynamic_cast<FindHandle*>(LookupHandle(handle));
    if (!find) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (find->next >= find->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return false;
    }
    entry = find->entries[find->next++];
    return true;
}

template <typename Data>
void FillCommon(const FoundEntry& entry, Data* data) {
    data->dwFileAttributes = entry.attributes;
    data->ftCreationTime = entry.created;
    data->ftLastAccessTime = entry.accessed;
    data->ftLastWriteTime = entry.written;
    data->nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(entry.size & 0xFFFFFFFF);
    data->dwReserved0 = 0;
    data->dwReserved1 = 0;
}

void Fill(const FoundEntry& entry, WIN32_FIND_DATAW* data) {
    std::memset(data, 0, sizeof *data);
    FillCommon(entry, data);
    std::u16string wide = Utf8ToUtf16(entry.name);
    wide.copy(data->cFileName, MAX_PATH - 1);
}

void Fill(const FoundEntry& entry, WIN32_FIND_DATAA* data) {
    std::memset(data, 0, sizeof *data);
    FillCommon(entry, data);
    entry.name.copy(data->cFileName, MAX_PATH - 1);
}

}  // namespace
}  // namespace platform::files

namespace pf = platform::files;

extern "C" {

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    if (!lpFileName || !lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    pf::FoundEntry entry;
    HANDLE handle = pf::FindFirstUtf8(platform::paths::Utf8Arg(lpFileName), entry);
    if (handle != INVALID_HANDLE_VALUE) pf::Fill(entry, lpFindFileData);
    return handle;
}

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (!lpFileName || !lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    pf::FoundEntry entry;
    HANDLE handle = pf::FindFirstUtf8(lpFileName, entry);
    if (handle != INVALID_HANDLE_VALUE) pf::Fill(entry, lpFindFileData);
    return handle;
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    pf::FoundEntry entry;
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!pf::FindNext(hFindFile, entry)) return FALSE;
    pf::Fill(entry, lpFindFileData);
    return TRUE;
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    pf::FoundEntry entry;
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!pf::FindNext(hFindFile, entry)) return FALSE;
    pf::Fill(entry, lpFindFileData);
    return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (!dynamic_cast<pf::FindHandle*>(platform::LookupHandle(hFindFile)) ||
        !platform::CloseRegisteredHandle(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
