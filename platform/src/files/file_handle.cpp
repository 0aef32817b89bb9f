// File handles: CreateFile with its dispositions and share modes, reading, writing, the file
// pointer, size and times.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/file_internal.h"
#include "paths/path_internal.h"
#include "win32/paths.h"

namespace fs = std::filesystem;

namespace platform::files {
namespace {

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

bool WantsRead(DWORD access) {
    return access & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE | FILE_READ_DATA);
}
bool WantsWrite(DWORD access) {
    return access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
}
bool AppendOnly(DWORD access) {
    return (access & FILE_APPEND_DATA) &&
           !(access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA));
}

bool IsReadOnlyMode(mode_t mode) {
    return (mode & S_IWUSR) == 0;
}

int OpenRetrying(const fs::path& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd == -1 && errno == EINTR);
    return fd;
}

}  // namespace

FILETIME ToFileTime(const struct timespec& time) {
    constexpr long long kEpochDifference = 11644473600LL;  // 1601-01-01 to 1970-01-01, seconds
    long long ticks =
        (static_cast<long long>(time.tv_sec) + kEpochDifference) * 10000000LL + time.tv_nsec / 100;
    if (ticks < 0) ticks = 0;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<unsigned long long>(ticks) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(ticks) >> 32);
    return ft;
}

DWORD AttributesFromMode(mode_t mode) {
    if (S_ISDIR(mode)) return FILE_ATTRIBUTE_DIRECTORY;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (IsReadOnlyMode(mode)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

FileHandle::FileHandle(int fd, bool canRead, bool canWrite, std::unique_ptr<ShareLock> lock)
    : m_fd(fd), m_canRead(canRead), m_canWrite(canWrite), m_lock(std::move(lock)) {}

FileHandle::~FileHandle() {
    if (!m_deleteOnClose.empty()) ::unlink(m_deleteOnClose.c_str());
    ::close(m_fd);
}

DWORD FileHandle::Read(void* buffer, DWORD size, DWORD& done) {
    done = 0;
    if (!m_canRead) return ERROR_ACCESS_DENIED;
    std::lock_guard lock(m_mutex);
    auto* bytes = static_cast<char*>(buffer);
    while (done < size) {
        ssize_t n = ::read(m_fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ERROR_READ_FAULT;
        }
        if (n == 0) break;  // end of file
        done += static_cast<DWORD>(n);
    }
    return ERROR_SUCCESS;
}

DWORD FileHandle::Write(const void* buffer, DWORD size, DWORD& done) {
    done = 0;
    if (!m_canWrite) return ERROR_ACCESS_DENIED;
    std::lock_guard lock(m_mutex);
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < size) {
        ssize_t n = ::write(m_fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? ERROR_DISK_FULL
                                                                        : ERROR_WRITE_FAULT;
        }
        done += static_cast<DWORD>(n);
    }
    return ERROR_SUCCESS;
}

std::unique_ptr<FileHandle> OpenFile(const fs::path& path, DWORD access, DWORD share,
                                     DWORD disposition, DWORD flagsAndAttributes, DWORD& error) {
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (disposition == TRUNCATE_EXISTING && !(access & (GENERIC_WRITE | GENERIC_ALL))) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    const bool read = WantsRead(access);
    const bool write = WantsWrite(access);
    const bool deleteOnClose = flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE;

    struct stat st;
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        error = paths::ErrorFromErrno(errno, path);
        return nullptr;
    }
    if (exists && S_ISDIR(st.st_mode)) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    switch (disposition) {
        case CREATE_NEW:
            if (exists) {
                error = ERROR_FILE_EXISTS;
                return nullptr;
            }
            break;
        case OPEN_EXISTING:
        case TRUNCATE_EXISTING:
            if (!exists) {
                error = paths::ErrorFromErrno(ENOENT, path);
                return nullptr;
            }
            break;
        default:
            break;
    }
    const bool truncate =
        exists && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING);
    if (exists && IsReadOnlyMode(st.st_mode) && (write || truncate || deleteOnClose)) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }

    // The descriptor is opened for reading and writing where the file allows it; what the
    // handle may do is kept by the handle itself.
    int flags = O_RDWR;
    if (AppendOnly(access)) flags |= O_APPEND;
    bool created = false;
    int fd = -1;
    if (exists) {
        fd = OpenRetrying(path, flags, 0);
        if (fd < 0 && (errno == EACCES || errno == EPERM) && !write && !truncate) {
            fd = OpenRetrying(path, O_RDONLY, 0);
        }
    } else {
        fd = OpenRetrying(path, flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            created = true;
        } else if (errno == EEXIST && disposition != CREATE_NEW) {
            // Made by someone else just now: open it as an existing file.
            exists = true;
            fd = OpenRetrying(path, flags, 0);
        } else if (errno == EEXIST) {
            error = ERROR_FILE_EXISTS;
            return nullptr;
        }
    }
    if (fd < 0) {
        error = paths::ErrorFromErrno(errno, path);
        return nullptr;
    }
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }

    // Truncating and delete-on-close count as writing and deleting for the share check.
    DWORD checked = access;
    if (truncate) checked |= FILE_WRITE_DATA;
    if (deleteOnClose) checked |= DELETE;
    std::unique_ptr<ShareLock> lock;
    DWORD shareError = ShareLock::Acquire(st.st_dev, st.st_ino, checked, share, lock);
    if (shareError != ERROR_SUCCESS) {
        if (created) ::unlink(path.c_str());
        ::close(fd);
        error = shareError;
        return nullptr;
    }
    if (truncate && ::ftruncate(fd, 0) != 0) {
        error = paths::ErrorFromErrno(errno, path);
        ::close(fd);
        return nullptr;
    }
    if (created && (flagsAndAttributes & FILE_ATTRIBUTE_READONLY)) {
        ::fchmod(fd, st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) & 07777);
    }
    auto handle = std::make_unique<FileHandle>(fd, read, write, std::move(lock));
    if (deleteOnClose) handle->SetDeleteOnClose(path);
    error = (exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS))
                ? ERROR_ALREADY_EXISTS
                : ERROR_SUCCESS;
    return handle;
}

FileHandle* LookupFile(HANDLE handle) {
    auto* file = dynamic_cast<FileHandle*>(LookupHandle(handle));
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

namespace {

HANDLE CreateFileUtf8(const std::string& name, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) {
    fs::path path;
    if (!MapWindowsPath(std::string_view(name), path)) return INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SUCCESS;
    auto file = OpenFile(path, access, share, disposition, flags, error);
    if (!file) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = RegisterHandle(std::move(file));
    SetLastError(error);
    return handle;
}

// New position for a move, or false with the last error set.
bool Seek(FileHandle* file, long long distance, DWORD method, long long& position) {
    std::lock_guard lock(file->mutex());
    int whence;
    switch (method) {
        case FILE_BEGIN:
            whence = SEEK_SET;
            break;
        case FILE_CURRENT:
            whence = SEEK_CUR;
            break;
        case FILE_END:
            whence = SEEK_END;
            break;
        default:
            return Fail(ERROR_INVALID_PARAMETER);
    }
    off_t base = 0;
    if (whence == SEEK_CUR) base = ::lseek(file->fd(), 0, SEEK_CUR);
    if (whence == SEEK_END) {
        struct stat st;
        if (::fstat(file->fd(), &st) != 0) return Fail(ERROR_GEN_FAILURE);
        base = st.st_size;
    }
    if (base < 0) return Fail(ERROR_GEN_FAILURE);
    if (distance < 0 && base < -distance) return Fail(ERROR_NEGATIVE_SEEK);
    if (distance > 0 && base > static_cast<off_t>(INT64_MAX - distance)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    off_t target = base + distance;
    if (::lseek(file->fd(), target, SEEK_SET) < 0) return Fail(ERROR_INVALID_PARAMETER);
    position = target;
    return true;
}

}  // namespace
}  // namespace platform::files

using platform::files::FileHandle;
using platform::files::LookupFile;

extern "C" {

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE) {
    if (lpFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return platform::files::CreateFileUtf8(platform::paths::Utf8Arg(lpFileName), dwDesiredAccess,
                                           dwShareMode, dwCreationDisposition,
                                           dwFlagsAndAttributes);
}

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE) {
    if (lpFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return platform::files::CreateFileUtf8(lpFileName, dwDesiredAccess, dwShareMode,
                                           dwCreationDisposition, dwFlagsAndAttributes);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    platform::HandleObject* object = platform::LookupHandle(hFile);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpOverlapped || (lpBuffer == nullptr && nNumberOfBytesToRead > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD done = 0;
    DWORD error = object->Read(lpBuffer, nNumberOfBytesToRead, done);
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    platform::HandleObject* object = platform::LookupHandle(hFile);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpOverlapped || (lpBuffer == nullptr && nNumberOfBytesToWrite > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD done = 0;
    DWORD error = object->Write(lpBuffer, nNumberOfBytesToWrite, done);
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD dwMoveMethod) {
    FileHandle* file = LookupFile(hFile);
    if (!file) return INVALID_SET_FILE_POINTER;
    long long distance = lDistanceToMove;
    if (lpDistanceToMoveHigh) {
        distance = static_cast<long long>(
            (static_cast<unsigned long long>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
            static_cast<DWORD>(lDistanceToMove));
    }
    long long position = 0;
    if (!lpDistanceToMoveHigh) {
        // Without the high part the new position must fit in 32 bits (and not be the
        // failure value); check before moving.
        std::lock_guard lock(file->mutex());
        off_t base = 0;
        if (dwMoveMethod == FILE_CURRENT) base = ::lseek(file->fd(), 0, SEEK_CUR);
        if (dwMoveMethod == FILE_END) {
            struct stat st;
            base = ::fstat(file->fd(), &st) == 0 ? st.st_size : -1;
        }
        long long target = static_cast<long long>(base) + distance;
        if (dwMoveMethod <= FILE_END && base >= 0 && target >= 0xFFFFFFFFLL) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
        }
    }
    if (!platform::files::Seek(file, distance, dwMoveMethod, position)) {
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(position >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(position & 0xFFFFFFFF);
}

BOOL SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                      DWORD dwMoveMethod) {
    FileHandle* file = LookupFile(hFile);
    if (!file) return FALSE;
    long long position = 0;
    if (!platform::files::Seek(file, liDistanceToMove.QuadPart, dwMoveMethod, position)) {
        return FALSE;
    }
    if (lpNewFilePointer) lpNewFilePointer->QuadPart = position;
    return TRUE;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    FileHandle* file = LookupFile(hFile);
    if (!file) return INVALID_FILE_SIZE;
    struct stat st;
    if (::fstat(file->fd(), &st) != 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<unsigned long long>(st.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(size & 0xFFFFFFFF);
}

BOOL GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    FileHandle* file = LookupFile(hFile);
    if (!file) return FALSE;
    if (!lpFileSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat st;
    if (::fstat(file->fd(), &st) != 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    lpFileSize->QuadPart = st.st_size;
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile) {
    FileHandle* file = LookupFile(hFile);
    if (!file) return FALSE;
    if (::fsync(file->fd()) != 0 && errno != EINVAL) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

BOOL SetEndOfFile(HANDLE hFile) {
    FileHandle* file = LookupFile(hFile);
    if (!file) return FALSE;
    if (!file->canWrite()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::lock_guard lock(file->mutex());
    off_t position = ::lseek(file->fd(), 0, SEEK_CUR);
    if (position < 0 || ::ftruncate(file->fd(), position) != 0) {
        SetLastError(errno == EBADF || errno == EINVAL ? ERROR_ACCESS_DENIED : ERROR_DISK_FULL);
        return FALSE;
    }
    return TRUE;
}

BOOL GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                 LPFILETIME lpLastWriteTime) {
    FileHandle* file = LookupFile(hFile);
    if (!file) return FALSE;
    struct statx sx;
    if (::statx(file->fd(), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    auto toTimespec = [](const struct statx_timestamp& t) {
        struct timespec ts;
        ts.tv_sec = t.tv_sec;
        ts.tv_nsec = t.tv_nsec;
        return ts;
    };
    struct statx_timestamp birth = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
    if (lpCreationTime) *lpCreationTime = platform::files::ToFileTime(toTimespec(birth));
    if (lpLastAccessTime) *lpLastAccessTime = platform::files::ToFileTime(toTimespec(sx.stx_atime));
    if (lpLastWriteTime) *lpLastWriteTime = platform::files::ToFileTime(toTimespec(sx.stx_mtime));
    return TRUE;
}

}  // extern "C"
