// The registry: keys and values under the predefined hives, kept in the system root's store.
//
// HKEY_LOCAL_MACHINE has a 64-bit and a 32-bit view. The platform is a 64-bit system: a key
// opened without a view flag, or with KEY_WOW64_64KEY, is seen in the 64-bit view; with
// KEY_WOW64_32KEY the keys under "SOFTWARE" are those under "SOFTWARE\WOW6432Node", so the
// two views of a program's key are kept apart. Key and value names compare without regard
// to ASCII letter case.
#pragma once

#include "win32/types.h"

using LSTATUS = LONG;
using REGSAM = DWORD;
using PHKEY = HKEY*;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using PSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u));
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u));

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Key access rights (the standard rights READ_CONTROL, DELETE ... are in win32/types.h).
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_WOW64_RES = 0x0300;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_EXECUTE = 0x00020019;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// RegCreateKeyExW options and dispositions.
constexpr DWORD REG_OPTION_RESERVED = 0x0000;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0000;
constexpr DWORD REG_OPTION_VOLATILE = 0x0001;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

extern "C" {

// Opens or creates hKey\lpSubKey (every missing key on the way is created). The disposition
// tells whether the key was new. Results are Win32 error codes.
LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                        DWORD dwOptions, REGSAM samDesired,
                        const SECURITY_ATTRIBUTES* lpSecurityAttributes, PHKEY phkResult,
                        LPDWORD lpdwDisposition);

// Opens an existing key; a missing key gives ERROR_FILE_NOT_FOUND. ulOptions must be 0.
LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                      PHKEY phkResult);

// Closes a key opened or created above; the predefined hives need no closing.
LSTATUS RegCloseKey(HKEY hKey);

// Stores a value (name null or empty: the key's default value). Needs KEY_SET_VALUE.
LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData);

// Reads a value. lpData null: *lpcbData receives the size. A buffer too small gives
// ERROR_MORE_DATA with the size in *lpcbData; a missing value ERROR_FILE_NOT_FOUND.
LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData);

// Removes one value of the key. Needs KEY_SET_VALUE.
LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);

// Deletes hKey\lpSubKey with its values; a key that has subkeys is refused with
// ERROR_ACCESS_DENIED. RegDeleteKeyExW chooses the view with KEY_WOW64_32KEY/64KEY.
LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved);

// Enumerates the subkeys of a key by index; ERROR_NO_MORE_ITEMS past the last.
LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                      LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                      FILETIME* lpftLastWriteTime);

// Deletes hKey\pszSubKey with all its subkeys and values (the shell's helper).
LSTATUS SHDeleteKeyW(HKEY hKey, LPCWSTR pszSubKey);

}  // extern "C"
