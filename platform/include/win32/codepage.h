// Code page conversion between UTF-16 and 8-bit code pages.
//
// Supported: CP_ACP (1252 on this machine), CP_OEMCP (437), CP_UTF8, 1252, 437, 932, 936,
// 949, 950. Published rules: a length of -1 means terminated input and the result counts the
// terminator; an output size of 0 asks for the size needed; too small an output gives 0 with
// ERROR_INSUFFICIENT_BUFFER (nothing written); an unknown code page gives 0 with
// ERROR_INVALID_PARAMETER. Characters a code page cannot hold become the default character
// ('?' unless lpDefaultChar is given) and set *lpUsedDefaultChar. Bytes that are not valid
// in the code page become U+FFFD, or fail with ERROR_NO_UNICODE_TRANSLATION under
// MB_ERR_INVALID_CHARS. No best-fit mapping is done.
#pragma once

#include "win32/types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_MACCP = 2;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF7 = 65000;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD WC_COMPOSITECHECK = 0x00000200;
constexpr DWORD WC_DISCARDNS = 0x00000010;
constexpr DWORD WC_SEPCHARS = 0x00000020;
constexpr DWORD WC_DEFAULTCHAR = 0x00000040;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;

constexpr DWORD MB_PRECOMPOSED = 0x00000001;
constexpr DWORD MB_COMPOSITE = 0x00000002;
constexpr DWORD MB_USEGLYPHCHARS = 0x00000004;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;

extern "C" {

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar);
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);

UINT GetACP();    // 1252
UINT GetOEMCP();  // 437
BOOL IsValidCodePage(UINT CodePage);

}  // extern "C"
