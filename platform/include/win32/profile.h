// Private profile (INI) files.
//
// Sections and keys compare without regard to letter case; spaces around keys and values are
// trimmed and a value between matching quotes loses them; lines starting with ";" are
// comments. Files may be ANSI (read as UTF-8, falling back to code page 1252 for bytes that
// are not UTF-8), UTF-8 with BOM or UTF-16LE with BOM. A file name without a folder refers to
// the Windows directory. A missing or unreadable file behaves as a file without the key.
#pragma once

#include "win32/types.h"

extern "C" {

// The value of `lpKeyName` in `lpAppName`, cut to nSize - 1 characters; returns the characters
// copied (terminator not counted). A missing key copies lpDefault (NULL counts as "") and sets
// the last error to ERROR_FILE_NOT_FOUND. lpAppName NULL lists the section names, lpKeyName
// NULL the keys of the section: each name terminated, the list ended by one more terminator;
// a list cut short returns nSize - 2.
DWORD GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                               LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName);
DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);

// The value's leading decimal digits (optional leading "-"), no digits gives 0; nDefault for a
// missing key.
UINT GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName);
UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName);

// Sets (or with lpString NULL removes) a key; lpKeyName NULL removes the whole section. The
// file and section are made when missing. The file keeps its encoding (UTF-16LE when it had a
// BOM, else 8-bit) and its other lines; it is replaced as a whole, never left half-written.
BOOL WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString,
                                LPCWSTR lpFileName);
BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName);

}  // extern "C"
