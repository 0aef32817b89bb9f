// Share modes across handles and processes.
//
// Each file identity (device, inode) has a lock file <root>/.kv580/shares/<dev>-<inode>. An
// open that needs a share check opens its own description of the lock file and holds shared
// locks on one byte per kind of access it has (read, write, delete) and one byte per kind it
// denies. A new open checks, under an exclusive lock on byte 0 that serialises the check with
// other opens, that nobody denies what it asks and that nobody holds what it denies. The
// locks belong to the open description, so they go when the handle closes or its process
// dies.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "files/file_internal.h"
#include "paths/path_internal.h"
#include "win32/system_root.h"

namespace fs = std::filesystem;

namespace platform::files {
namespace {

enum Kind { kRead = 0, kWrite = 1, kDelete = 2 };
constexpr off_t kMutexByte = 0;
constexpr off_t kAccessByte = 1;  // + kind
constexpr off_t kDenyByte = 4;    // + kind

unsigned KindsOfAccess(DWORD access) {
    unsigned kinds = 0;
    if (access & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE | FILE_READ_DATA))
        kinds |= 1u << kRead;
    if (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) {
        kinds |= 1u << kWrite;
    }
    if (access & (GENERIC_ALL | DELETE)) kinds |= 1u << kDelete;
    return kinds;
}

unsigned KindsDenied(DWORD share) {
    unsigned kinds = 0;
    if (!(share & FILE_SHARE_READ)) kinds |= 1u << kRead;
    if (!(share & FILE_SHARE_WRITE)) kinds |= 1u << kWrite;
    if (!(share & FILE_SHARE_DELETE)) kinds |= 1u << kDelete;
    return kinds;
}

int LockByte(int fd, int command, short type, off_t byte) {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = 1;
    int rc;
    do {
        rc = ::fcntl(fd, command, &fl);
    } while (rc == -1 && errno == EINTR);
    return rc;
}

// True when another open description holds a lock on a byte of [byte, byte + count).
bool Held(int fd, off_t byte, off_t count = 1) {
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = count;
    if (::fcntl(fd, F_OFD_GETLK, &fl) == -1) return false;
    return fl.l_type != F_UNLCK;
}

fs::path LockFolder() {
    return SystemRoot() / paths::kPrivateFolderName / "shares";
}

}  // namespace

ShareLock::~ShareLock() {
    if (m_fd < 0) return;
    // Drop this open's entries; when nobody else has any, remove the lock file. Opens that
    // wait for the mutex of a removed file notice it and start again with a new one.
    struct flock fl = {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kAccessByte;
    fl.l_len = 6;
    ::fcntl(m_fd, F_OFD_SETLK, &fl);
    if (LockByte(m_fd, F_OFD_SETLKW, F_WRLCK, kMutexByte) == 0 && !Held(m_fd, kAccessByte, 6)) {
        ::unlink(m_path.c_str());
    }
    ::close(m_fd);
}

DWORD ShareLock::Acquire(dev_t device, ino_t inode, DWORD access, DWORD share,
                         std::unique_ptr<ShareLock>& out) {
    out.reset();
    const unsigned asked = KindsOfAccess(access);
    if (asked == 0) return ERROR_SUCCESS;  // no data access: not subject to sharing
    const unsigned denied = KindsDenied(share);

    std::error_code ec;
    fs::create_directories(LockFolder(), ec);
    char name[64];
    std::snprintf(name, sizeof name, "%llx-%llx", static_cast<unsigned long long>(device),
                  static_cast<unsigned long long>(inode));
    const fs::path lockPath = LockFolder() / name;
    int fd = -1;
    for (int attempt = 0;; ++attempt) {
        fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            // Without a place for locks (a read-only root) share modes cannot be kept; the
            // open goes ahead as the file system allows.
            return ERROR_SUCCESS;
        }
        if (LockByte(fd, F_OFD_SETLKW, F_WRLCK, kMutexByte) == -1) {
            ::close(fd);
            return ERROR_SUCCESS;
        }
        // The last holder may have removed the file while we waited: then take the new one.
        struct stat held, named;
        if (::fstat(fd, &held) == 0 && ::stat(lockPath.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            break;
        }
        ::close(fd);
        if (attempt > 1000) return ERROR_SHARING_VIOLATION;
    }
    bool conflict = false;
    for (int kind = kRead; kind <= kDelete && !conflict; ++kind) {
        if ((asked & (1u << kind)) && Held(fd, kDenyByte + kind)) conflict = true;
        if ((denied & (1u << kind)) && Held(fd, kAccessByte + kind)) conflict = true;
    }
    if (!conflict) {
        for (int kind = kRead; kind <= kDelete; ++kind) {
            if (asked & (1u << kind)) LockByte(fd, F_OFD_SETLK, F_RDLCK, kAccessByte + kind);
            if (denied & (1u << kind)) LockByte(fd, F_OFD_SETLK, F_RDLCK, kDenyByte + kind);
        }
    }
    LockByte(fd, F_OFD_SETLK, F_UNLCK, kMutexByte);
    if (conflict) {
        ::close(fd);
        return ERROR_SHARING_VIOLATION;
    }
    out.reset(new ShareLock(fd, lockPath));
    return ERROR_SUCCESS;
}

}  // namespace platform::files
