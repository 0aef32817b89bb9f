// Operations on names: copy, delete, move, folders and attributes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "files/file_internal.h"
#include "paths/path_internal.h"
#include "win32/paths.h"
#include "win32/system_root.h"

namespace fs = std::filesystem;

namespace platform::files {
namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool Map(const std::string& name, fs::path& path) {
    return MapWindowsPath(std::string_view(name), path);
}

// stat of `path`; false with the Windows error for a missing file set.
bool StatOrFail(const fs::path& path, struct stat& st, bool followLinks = true) {
    int rc = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0) {
        SetLastError(paths::ErrorFromErrno(errno, path));
        return false;
    }
    return true;
}

// The last component of a name as the caller wrote it (for renames that change letter case).
std::string LastComponent(const std::string& name) {
    size_t end = name.find_last_not_of("\\/");
    if (end == std::string::npos) return {};
    size_t start = name.find_last_of("\\/", end);
    start = start == std::string::npos ? 0 : start + 1;
    std::string part = name.substr(start, end + 1 - start);
    if (part.size() >= 2 && part[1] == ':' && start == 0) part.erase(0, 2);
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    return part;
}

BOOL CopyFileUtf8(const std::string& from, const std::string& to, BOOL failIfExists) {
    fs::path source, target;
    if (!Map(from, source) || !Map(to, target)) return FALSE;
    DWORD error = ERROR_SUCCESS;
    auto in = OpenFile(source, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, error);
    if (!in) return Fail(error);
    struct stat sourceStat;
    if (::fstat(in->fd(), &sourceStat) != 0) return Fail(ERROR_GEN_FAILURE);
    auto out =
        OpenFile(target, GENERIC_WRITE, 0, failIfExists ? CREATE_NEW : CREATE_ALWAYS, 0, error);
    if (!out) return Fail(error);

    std::vector<char> buffer(64 * 1024);
    DWORD failure = ERROR_SUCCESS;
    for (;;) {
        DWORD got = 0;
        failure = in->Read(buffer.data(), static_cast<DWORD>(buffer.size()), got);
        if (failure != ERROR_SUCCESS || got == 0) break;
        DWORD put = 0;
        failure = out->Write(buffer.data(), got, put);
        if (failure != ERROR_SUCCESS) break;
    }
    if (failure != ERROR_SUCCESS) {
        // No half copy is left behind.
        out.reset();
        ::unlink(target.c_str());
        return Fail(failure);
    }
    // The copy takes the source's last-write time and read-only attribute.
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1] = sourceStat.st_mtim;
    ::futimens(out->fd(), times);
    if ((sourceStat.st_mode & S_IWUSR) == 0) {
        struct stat targetStat;
        if (::fstat(out->fd(), &targetStat) == 0) {
            ::fchmod(out->fd(), targetStat.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) & 07777);
        }
    }
    return TRUE;
}

// Holds a delete-access share lock on an existing file, as DeleteFile and MoveFile need.
DWORD LockForDelete(const struct stat& st, std::unique_ptr<ShareLock>& lock) {
    return ShareLock::Acquire(st.st_dev, st.st_ino, DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, lock);
}

BOOL DeleteFileUtf8(const std::string& name) {
    fs::path path;
    if (!Map(name, path)) return FALSE;
    struct stat st;
    if (!StatOrFail(path, st, false)) return FALSE;
    if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) return Fail(ERROR_ACCESS_DENIED);
    std::unique_ptr<ShareLock> lock;
    if (DWORD error = LockForDelete(st, lock); error != ERROR_SUCCESS) return Fail(error);
    if (::unlink(path.c_str()) != 0) return Fail(paths::ErrorFromErrno(errno, path));
    return TRUE;
}

BOOL MoveFileUtf8(const std::string& from, const std::string& to, DWORD flags) {
    fs::path source, target;
    if (!Map(from, source) || !Map(to, target)) return FALSE;
    struct stat sourceStat;
    if (!StatOrFail(source, sourceStat, false)) return FALSE;
    if (source == SystemRoot() || target == SystemRoot()) return Fail(ERROR_ACCESS_DENIED);

    std::unique_ptr<ShareLock> sourceLock, targetLock;
    if (!S_ISDIR(sourceStat.st_mode)) {
        if (DWORD error = LockForDelete(sourceStat, sourceLock); error != ERROR_SUCCESS) {
            return Fail(error);
        }
    }
    struct stat targetStat;
    if (::lstat(target.c_str(), &targetStat) == 0) {
        if (targetStat.st_dev == sourceStat.st_dev && targetStat.st_ino == sourceStat.st_ino) {
            // The same file under another letter case: rename to the name as written.
            fs::path renamed = target.parent_path() / LastComponent(to);
            if (::rename(source.c_str(), renamed.c_str()) != 0) {
                return Fail(paths::ErrorFromErrno(errno, renamed));
            }
            return TRUE;
        }
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
        if (S_ISDIR(targetStat.st_mode) || S_ISDIR(sourceStat.st_mode)) {
            return Fail(ERROR_ACCESS_DENIED);
        }
        if (!S_ISLNK(targetStat.st_mode) && (targetStat.st_mode & S_IWUSR) == 0) {
            return Fail(ERROR_ACCESS_DENIED);
        }
        if (DWORD error = LockForDelete(targetStat, targetLock); error != ERROR_SUCCESS) {
            return Fail(error);
        }
        if (::rename(source.c_str(), target.c_str()) != 0) {
            return Fail(paths::ErrorFromErrno(errno, target));
        }
        return TRUE;
    }
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
        if (errno == EINVAL && S_ISDIR(sourceStat.st_mode)) return Fail(ERROR_ACCESS_DENIED);
        return Fail(paths::ErrorFromErrno(errno, target));
    }
    return TRUE;
}

BOOL CreateDirectoryUtf8(const std::string& name) {
    fs::path path;
    if (!Map(name, path)) return FALSE;
    if (::mkdir(path.c_str(), 0777) != 0) {
        if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
        if (errno == ENOENT || errno == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND);
        return Fail(paths::ErrorFromErrno(errno, path));
    }
    return TRUE;
}

BOOL RemoveDirectoryUtf8(const std::string& name) {
    fs::path path;
    if (!Map(name, path)) return FALSE;
    if (path == SystemRoot()) return Fail(ERROR_ACCESS_DENIED);
    struct stat st;
    if (!StatOrFail(path, st, false)) return FALSE;
    if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
    if (::rmdir(path.c_str()) != 0) {
        if (errno == ENOTEMPTY || errno == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
        return Fail(paths::ErrorFromErrno(errno, path));
    }
    return TRUE;
}

DWORD GetAttributesUtf8(const std::string& name) {
    fs::path path;
    if (!Map(name, path)) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (!StatOrFail(path, st)) return INVALID_FILE_ATTRIBUTES;
    return AttributesFromMode(st.st_mode);
}

BOOL SetAttributesUtf8(const std::string& name, DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(ERROR_INVALID_PARAMETER);
    fs::path path;
    if (!Map(name, path)) return FALSE;
    struct stat st;
    if (!StatOrFail(path, st)) return FALSE;
    if (S_ISDIR(st.st_mode)) return TRUE;  // the read-only flag means nothing on folders
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
        mode |= S_IWUSR;
    }
    if (mode != (st.st_mode & 07777) && ::chmod(path.c_str(), mode) != 0) {
        return Fail(paths::ErrorFromErrno(errno, path));
    }
    return TRUE;
}

BOOL InvalidArgument() {
    return Fail(ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace platform::files

using platform::paths::Utf8Arg;
namespace pf = platform::files;

extern "C" {

BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
    if (!lpExistingFileName || !lpNewFileName) return pf::InvalidArgument();
    return pf::CopyFileUtf8(Utf8Arg(lpExistingFileName), Utf8Arg(lpNewFileName), bFailIfExists);
}
BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    if (!lpExistingFileName || !lpNewFileName) return pf::InvalidArgument();
    return pf::CopyFileUtf8(lpExistingFileName, lpNewFileName, bFailIfExists);
}
BOOL DeleteFileW(LPCWSTR lpFileName) {
    if (!lpFileName) return pf::InvalidArgument();
    return pf::DeleteFileUtf8(Utf8Arg(lpFileName));
}
BOOL DeleteFileA(LPCSTR lpFileName) {
    if (!lpFileName) return pf::InvalidArgument();
    return pf::DeleteFileUtf8(lpFileName);
}
BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
    return MoveFileExW(lpExistingFileName, lpNewFileName, 0);
}
BOOL MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
    return MoveFileExA(lpExistingFileName, lpNewFileName, 0);
}
BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    if (!lpExistingFileName || !lpNewFileName) return pf::InvalidArgument();
    return pf::MoveFileUtf8(Utf8Arg(lpExistingFileName), Utf8Arg(lpNewFileName), dwFlags);
}
BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    if (!lpExistingFileName || !lpNewFileName) return pf::InvalidArgument();
    return pf::MoveFileUtf8(lpExistingFileName, lpNewFileName, dwFlags);
}
BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    if (!lpPathName) return pf::InvalidArgument();
    return pf::CreateDirectoryUtf8(Utf8Arg(lpPathName));
}
BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    if (!lpPathName) return pf::InvalidArgument();
    return pf::CreateDirectoryUtf8(lpPathName);
}
BOOL RemoveDirectoryW(LPCWSTR lpPathName) {
    if (!lpPathName) return pf::InvalidArgument();
    return pf::RemoveDirectoryUtf8(Utf8Arg(lpPathName));
}
BOOL RemoveDirectoryA(LPCSTR lpPathName) {
    if (!lpPathName) return pf::InvalidArgument();
    return pf::RemoveDirectoryUtf8(lpPathName);
}
DWORD GetFileAttributesW(LPCWSTR lpFileName) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    return pf::GetAttributesUtf8(Utf8Arg(lpFileName));
}
DWORD GetFileAttributesA(LPCSTR lpFileName) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    return pf::GetAttributesUtf8(lpFileName);
}
BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes) {
    if (!lpFileName) return pf::InvalidArgument();
    return pf::SetAttributesUtf8(Utf8Arg(lpFileName), dwFileAttributes);
}
BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    if (!lpFileName) return pf::InvalidArgument();
    return pf::SetAttributesUtf8(lpFileName, dwFileAttributes);
}

}  // extern "C"
