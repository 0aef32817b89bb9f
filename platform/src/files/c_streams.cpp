// C streams on Windows paths (_wfopen). The stream is a glibc cookie stream over a platform
// file handle, so it takes part in share modes like every other open.
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "files/file_internal.h"
#include "paths/path_internal.h"
#include "win32/paths.h"

namespace fs = std::filesystem;

namespace platform::files {
namespace {

struct StreamMode {
    DWORD access = 0;
    DWORD disposition = 0;
    std::string cookieMode;
};

bool ParseMode(std::string mode, StreamMode& out) {
    if (size_t ccs = mode.find(','); ccs != std::string::npos) mode.erase(ccs);
    if (mode.empty()) return false;
    bool plus = false, exclusive = false;
    for (size_t i = 1; i < mode.size(); ++i) {
        switch (mode[i]) {
            case '+':
                plus = true;
                break;
            case 'x':
                exclusive = true;
                break;
            case 'b':
            case 't':
            case 'c':
            case 'n':
            case 'N':
            case 'S':
            case 'R':
            case 'T':
            case 'D':
            case ' ':
                break;
            default:
                return false;
        }
    }
    switch (mode[0]) {
        case 'r':
            out.access = plus ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
            out.disposition = OPEN_EXISTING;
            out.cookieMode = plus ? "r+" : "r";
            break;
        case 'w':
            out.access = plus ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_WRITE;
            out.disposition = exclusive ? CREATE_NEW : CREATE_ALWAYS;
            out.cookieMode = plus ? "w+" : "w";
            break;
        case 'a':
            out.access = plus ? (GENERIC_READ | FILE_APPEND_DATA) : FILE_APPEND_DATA;
            out.disposition = OPEN_ALWAYS;
            out.cookieMode = plus ? "a+" : "a";
            break;
        default:
            return false;
    }
    return mode[0] == 'w' || !exclusive;
}

int ErrnoFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_INVALID_PARAMETER:
        case ERROR_INVALID_NAME:
            return EINVAL;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        default:
            return EACCES;
    }
}

ssize_t CookieRead(void* cookie, char* buffer, size_t size) {
    auto* file = static_cast<FileHandle*>(cookie);
    DWORD done = 0;
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (file->Read(buffer, chunk, done) != ERROR_SUCCESS) {
        errno = EIO;
        return -1;
    }
    return done;
}

ssize_t CookieWrite(void* cookie, const char* buffer, size_t size) {
    auto* file = static_cast<FileHandle*>(cookie);
    DWORD done = 0;
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD error = file->Write(buffer, chunk, done);
    if (error != ERROR_SUCCESS && done == 0) {
        errno = error == ERROR_DISK_FULL ? ENOSPC : EIO;
        return -1;
    }
    return done;
}

int CookieSeek(void* cookie, off64_t* offset, int whence) {
    auto* file = static_cast<FileHandle*>(cookie);
    std::lock_guard lock(file->mutex());
    off_t position = ::lseek(file->fd(), *offset, whence);
    if (position < 0) return -1;
    *offset = position;
    return 0;
}

int CookieClose(void* cookie) {
    delete static_cast<FileHandle*>(cookie);
    return 0;
}

FILE* OpenStream(const std::string& name, const std::string& mode) {
    StreamMode parsed;
    if (!ParseMode(mode, parsed)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        errno = EINVAL;
        return nullptr;
    }
    fs::path path;
    if (!MapWindowsPath(std::string_view(name), path)) {
        errno = ErrnoFor(GetLastError());
        return nullptr;
    }
    DWORD error = ERROR_SUCCESS;
    // The C library of Windows opens streams sharing reading and writing.
    auto file = OpenFile(path, parsed.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         parsed.disposition, 0, error);
    if (!file) {
        SetLastError(error);
        errno = ErrnoFor(error);
        return nullptr;
    }
    cookie_io_functions_t functions{CookieRead, CookieWrite, CookieSeek, CookieClose};
    FILE* stream = ::fopencookie(file.get(), parsed.cookieMode.c_str(), functions);
    if (!stream) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        errno = ENOMEM;
        return nullptr;
    }
    file.release();  // owned by the stream now; fclose deletes it
    return stream;
}

}  // namespace
}  // namespace platform::files

extern "C" {

FILE* _wfopen(const WCHAR* path, const WCHAR* mode) {
    if (!path || !mode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        errno = EINVAL;
        return nullptr;
    }
    return platform::files::OpenStream(platform::paths::Utf8Arg(path),
                                       platform::paths::Utf8Arg(mode));
}

FILE* fopen_win(const char* path, const char* mode) {
    if (!path || !mode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        errno = EINVAL;
        return nullptr;
    }
    return platform::files::OpenStream(path, mode);
}

}  // extern "C"
