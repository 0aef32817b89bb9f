// Internals of the file service shared by its sources: the file handle object, share locks
// and the one open routine that CreateFile, CopyFile, DeleteFile and the C streams use.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <mutex>

#include "win32/files.h"

namespace platform::files {

// Share-mode bookkeeping of one open: while the object lives, its access and the access it
// denies others are visible to every process that uses the same root. Kept in a lock file per
// file identity under <root>/.kv580/shares, with open-file-description locks, which the
// system drops when the holder closes or dies; nothing goes stale, and the last holder to
// close removes the lock file.
class ShareLock {
public:
    ~ShareLock();
    ShareLock(const ShareLock&) = delete;
    ShareLock& operator=(const ShareLock&) = delete;

    // Checks `access` and `share` against every open of the file (device, inode) and, when they
    // agree, records this open. ERROR_SUCCESS with `out` set (null when the access needs no
    // share check), or ERROR_SHARING_VIOLATION.
    static DWORD Acquire(dev_t device, ino_t inode, DWORD access, DWORD share,
                         std::unique_ptr<ShareLock>& out);

private:
    ShareLock(int fd, std::filesystem::path path) : m_fd(fd), m_path(std::move(path)) {}
    int m_fd;
    std::filesystem::path m_path;
};

// An open file.
class FileHandle final : public HandleObject {
public:
    FileHandle(int fd, bool canRead, bool canWrite, std::unique_ptr<ShareLock> lock);
    ~FileHandle() override;

    DWORD Read(void* buffer, DWORD size, DWORD& done) override;
    DWORD Write(const void* buffer, DWORD size, DWORD& done) override;

    int fd() const { return m_fd; }
    bool canWrite() const { return m_canWrite; }
    std::mutex& mutex() { return m_mutex; }
    void SetDeleteOnClose(const std::filesystem::path& path) { m_deleteOnClose = path; }

private:
    int m_fd;
    bool m_canRead;
    bool m_canWrite;
    std::unique_ptr<ShareLock> m_lock;
    std::filesystem::path m_deleteOnClose;
    std::mutex m_mutex;
};

// Opens the mapped file `path` with the CreateFile rules. On failure returns null with
// `error` set; on success `error` is ERROR_SUCCESS or ERROR_ALREADY_EXISTS (CREATE_ALWAYS /
// OPEN_ALWAYS on an existing file).
std::unique_ptr<FileHandle> OpenFile(const std::filesystem::path& path, DWORD access, DWORD share,
                                     DWORD disposition, DWORD flagsAndAttributes, DWORD& error);

// The FileHandle behind a handle, or null with ERROR_INVALID_HANDLE set.
FileHandle* LookupFile(HANDLE handle);

// 100 ns units since 1601 from a POSIX time.
FILETIME ToFileTime(const struct timespec& time);

// Attributes from a file's mode bits.
DWORD AttributesFromMode(mode_t mode);

}  // namespace platform::files
