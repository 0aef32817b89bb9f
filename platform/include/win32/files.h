// Files and folders under the system root, with the published Win32 meanings: handles,
// share modes (honoured between handles of one process and between processes that use the
// same root), dispositions, attributes, enumeration and C streams on Windows paths.
//
// Every name goes through platform::MapWindowsPath (win32/paths.h); a name outside the root
// fails with ERROR_ACCESS_DENIED.
#pragma once

#include <cstdio>
#include <memory>

#include "win32/types.h"

struct SECURITY_ATTRIBUTES;  // accepted and ignored
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct OVERLAPPED;  // overlapped I/O is not supported; pass NULL
using LPOVERLAPPED = OVERLAPPED*;

// ---- Access rights, share modes, dispositions, flags ----------------------------------------
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD GENERIC_EXECUTE = 0x20000000;
constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD FILE_READ_DATA = 0x0001;
constexpr DWORD FILE_WRITE_DATA = 0x0002;
constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x0080;
constexpr DWORD FILE_WRITE_ATTRIBUTES = 0x0100;

constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x00000100;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;
constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x00000002;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x00000008;

// ---- Enumeration records (published layouts) ------------------------------------------------
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using PWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
using PWIN32_FIND_DATAA = WIN32_FIND_DATAA*;
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

static_assert(sizeof(WIN32_FIND_DATAW) == 592 && sizeof(WIN32_FIND_DATAA) == 320);

extern "C" {

// ---- Handles ---------------------------------------------------------------------------------
// Dispositions as published; CREATE_ALWAYS and OPEN_ALWAYS on an existing file succeed with
// ERROR_ALREADY_EXISTS as last error (else ERROR_SUCCESS). A conflicting open fails with
// ERROR_SHARING_VIOLATION; a read-only file opened for writing, or a folder, fails with
// ERROR_ACCESS_DENIED. FILE_APPEND_DATA without FILE_WRITE_DATA / GENERIC_WRITE writes at the
// end only. dwFlagsAndAttributes may carry FILE_ATTRIBUTE_READONLY for a new file and
// FILE_FLAG_DELETE_ON_CLOSE; other flags are accepted and ignored. Failure: INVALID_HANDLE_VALUE.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// lpOverlapped must be NULL (ERROR_INVALID_PARAMETER otherwise). Reading at the end of a file
// succeeds with 0 bytes. Without read (write) access: ERROR_ACCESS_DENIED.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);

// Published rules: with lpDistanceToMoveHigh NULL the distance is a signed 32-bit value and a
// position above 4 GiB - 2 fails; failure returns INVALID_SET_FILE_POINTER with the error
// (ERROR_NEGATIVE_SEEK before the start); success sets the last error to NO_ERROR.
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD dwMoveMethod);
BOOL SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                      DWORD dwMoveMethod);
DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);  // INVALID_FILE_SIZE on failure
BOOL GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);
BOOL FlushFileBuffers(HANDLE hFile);
BOOL SetEndOfFile(HANDLE hFile);  // cuts or extends the file at the current position
BOOL GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                 LPFILETIME lpLastWriteTime);

// Closes any handle of the platform (files, find handles and the kinds other services
// register). ERROR_INVALID_HANDLE for an unknown handle.
BOOL CloseHandle(HANDLE hObject);

// ---- Names -----------------------------------------------------------------------------------
// CopyFile: ERROR_FILE_EXISTS when bFailIfExists and the target exists; the target gets the
// source's attributes and last-write time. A read-only target: ERROR_ACCESS_DENIED.
BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);
// DeleteFile: read-only files and folders: ERROR_ACCESS_DENIED; open without
// FILE_SHARE_DELETE: ERROR_SHARING_VIOLATION.
BOOL DeleteFileW(LPCWSTR lpFileName);
BOOL DeleteFileA(LPCSTR lpFileName);
// MoveFile: an existing target fails with ERROR_ALREADY_EXISTS unless MoveFileEx is given
// MOVEFILE_REPLACE_EXISTING (files only; a folder target stays: ERROR_ACCESS_DENIED).
BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName);
BOOL MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName);
BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);
BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);
// CreateDirectory: ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND (missing parent).
BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
// RemoveDirectory: ERROR_DIR_NOT_EMPTY, ERROR_FILE_NOT_FOUND, ERROR_DIRECTORY (a file).
BOOL RemoveDirectoryW(LPCWSTR lpPathName);
BOOL RemoveDirectoryA(LPCSTR lpPathName);
// Attributes: folders FILE_ATTRIBUTE_DIRECTORY, files FILE_ATTRIBUTE_ARCHIVE, plus
// FILE_ATTRIBUTE_READONLY (kept in the file's mode bits). Missing: INVALID_FILE_ATTRIBUTES with
// ERROR_FILE_NOT_FOUND (ERROR_PATH_NOT_FOUND when a folder on the way is missing).
// SetFileAttributes honours FILE_ATTRIBUTE_READONLY on files; other bits are accepted.
DWORD GetFileAttributesW(LPCWSTR lpFileName);
DWORD GetFileAttributesA(LPCSTR lpFileName);
BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes);
BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes);

// ---- Enumeration -----------------------------------------------------------------------------
// lpFileName is a folder path and a last component with * and ? (letter case ignored; "*.*"
// matches every name). As on Windows, "." and ".." are listed in folders other than "C:\".
// No match: INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND (ERROR_PATH_NOT_FOUND for a missing
// folder); the end of the list: FALSE with ERROR_NO_MORE_FILES. Names longer than MAX_PATH - 1
// characters are skipped.
HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);
BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
BOOL FindClose(HANDLE hFindFile);

// ---- C streams ---------------------------------------------------------------------------------
// fopen on a Windows path: modes r, w, a with + and b/t (and ",ccs=..." ignored). The stream
// takes part in share modes as the C library of Windows does (read and write shared); use it
// with the ordinary fread/fwrite/fseek/fclose. NULL with errno (and the last error) on failure.
FILE* _wfopen(const WCHAR* path, const WCHAR* mode);
FILE* fopen_win(const char* path, const char* mode);

}  // extern "C"

namespace platform {

// Base of every object behind a platform handle. Services register their own kinds; the
// object's destructor releases what the handle holds (CloseHandle destroys it).
struct HandleObject {
    virtual ~HandleObject();
    // ReadFile / WriteFile on handles of this kind: the platform error code, 0 for success.
    // The default refuses with ERROR_INVALID_HANDLE.
    virtual DWORD Read(void* buffer, DWORD size, DWORD& done);
    virtual DWORD Write(const void* buffer, DWORD size, DWORD& done);
};

// Takes ownership of `object` and answers a new handle: an opaque value that is neither NULL
// nor INVALID_HANDLE_VALUE. NULL for a null object.
HANDLE RegisterHandle(std::unique_ptr<HandleObject> object);

// The object behind a handle, NULL when the handle is not open. The pointer stays valid until
// the handle is closed.
HandleObject* LookupHandle(HANDLE handle);

// Removes a handle and destroys its object; false when it is not open.
bool CloseRegisteredHandle(HANDLE handle);

}  // namespace platform
