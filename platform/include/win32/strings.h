// String services: UTF-16 string helpers, bounded copy and formatting with the published
// StringCch/StringCb semantics, and UTF-8 <-> UTF-16 conversion.
//
// Formatting (StringCchPrintf*, Format*, wsprintf*) understands:
//   %s      string of the format's own width (8-bit in an 8-bit format, WCHAR in a WCHAR one)
//   %ws %ls WCHAR string;  %hs 8-bit string;  %S the other width than the format's
//   %c      character of the format's width;  %wc %lc %hc %C as for strings
//   %d %i %u %x %X %o  with h, hh, l (32 bits, as on Windows), ll, I64, I32, I, z, j, t
//   %p (16 upper-case hex digits), %f %F %e %E %g %G %a %A, %%
//   flags - + space # 0, width and precision (also as *).
// A NULL string prints "(null)". 8-bit strings are UTF-8 where they meet WCHAR strings.
// An unknown conversion is copied as it stands.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "win32/types.h"

constexpr HRESULT STRSAFE_E_INSUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007A);
constexpr HRESULT STRSAFE_E_INVALID_PARAMETER = static_cast<HRESULT>(0x80070057);
constexpr HRESULT STRSAFE_E_END_OF_FILE = static_cast<HRESULT>(0x80070026);
constexpr size_t STRSAFE_MAX_CCH = 2147483647;

extern "C" {

// ---- Length and comparison -----------------------------------------------------------------
size_t WcsLen(const WCHAR* s);  // NULL counts as 0
int lstrlenW(LPCWSTR s);        // NULL counts as 0
int lstrlenA(LPCSTR s);
int lstrcmpW(LPCWSTR a, LPCWSTR b);  // ordinal; -1, 0 or 1; NULL sorts first
int lstrcmpA(LPCSTR a, LPCSTR b);
// Case-insensitive (ASCII and Latin letters); -1, 0 or 1; NULL sorts first.
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t count);
int WcsCmp(const WCHAR* a, const WCHAR* b);
int WcsNCmp(const WCHAR* a, const WCHAR* b, size_t count);
const WCHAR* WcsChr(const WCHAR* s, WCHAR c);   // NULL when absent
const WCHAR* WcsRChr(const WCHAR* s, WCHAR c);  // NULL when absent
const WCHAR* WcsStr(const WCHAR* s, const WCHAR* find);
WCHAR WcharToUpper(WCHAR c);  // ASCII and Latin letters
WCHAR WcharToLower(WCHAR c);

// ---- Unbounded copies of the old interface (dst must be large enough) -----------------------
// NULL pointers give NULL. lstrcpyn copies at most iMaxLength - 1 characters and terminates.
LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src);
LPSTR lstrcpyA(LPSTR dst, LPCSTR src);
LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int iMaxLength);
LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int iMaxLength);
LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src);
LPSTR lstrcatA(LPSTR dst, LPCSTR src);

// Decimal number at the start of a WCHAR string (spaces, sign, digits); 0 when there is none,
// INT_MAX / INT_MIN when it does not fit.
int _wtoi(const WCHAR* s);

// ---- Bounded copy and concatenation (cch = characters of dst, terminator included) ----------
// Results: S_OK; STRSAFE_E_INSUFFICIENT_BUFFER with a truncated, terminated dst;
// STRSAFE_E_INVALID_PARAMETER for cch 0 or above STRSAFE_MAX_CCH, NULL pointers, or a dst
// without terminator in its cch characters (Cat). dst is terminated whenever cch > 0.
HRESULT StringCchCopyW(WCHAR* dst, size_t cch, const WCHAR* src);
HRESULT StringCchCopyA(char* dst, size_t cch, const char* src);
HRESULT StringCchCopyNW(WCHAR* dst, size_t cch, const WCHAR* src, size_t cchToCopy);
HRESULT StringCchCopyNA(char* dst, size_t cch, const char* src, size_t cchToCopy);
HRESULT StringCchCatW(WCHAR* dst, size_t cch, const WCHAR* src);
HRESULT StringCchCatA(char* dst, size_t cch, const char* src);
HRESULT StringCchLengthW(const WCHAR* s, size_t cchMax, size_t* pcch);
HRESULT StringCchLengthA(const char* s, size_t cchMax, size_t* pcch);
HRESULT StringCchPrintfW(WCHAR* dst, size_t cch, const WCHAR* fmt, ...);
HRESULT StringCchPrintfA(char* dst, size_t cch, const char* fmt, ...);
HRESULT StringCchVPrintfW(WCHAR* dst, size_t cch, const WCHAR* fmt, va_list args);
HRESULT StringCchVPrintfA(char* dst, size_t cch, const char* fmt, va_list args);

// Byte-counted forms (cb = bytes of dst).
HRESULT StringCbCopyW(WCHAR* dst, size_t cb, const WCHAR* src);
HRESULT StringCbCopyA(char* dst, size_t cb, const char* src);
HRESULT StringCbCatW(WCHAR* dst, size_t cb, const WCHAR* src);
HRESULT StringCbCatA(char* dst, size_t cb, const char* src);
HRESULT StringCbPrintfW(WCHAR* dst, size_t cb, const WCHAR* fmt, ...);
HRESULT StringCbPrintfA(char* dst, size_t cb, const char* fmt, ...);

// ---- _snprintf-style formatting -------------------------------------------------------------
// Characters written (terminator not counted), or -1 when the text did not fit; unlike the
// old _snprintf, dst is always terminated when cch > 0 (it then holds the fitting prefix).
int FormatA(char* dst, size_t cch, const char* fmt, ...);
int FormatW(WCHAR* dst, size_t cch, const WCHAR* fmt, ...);
int VFormatA(char* dst, size_t cch, const char* fmt, va_list args);
int VFormatW(WCHAR* dst, size_t cch, const WCHAR* fmt, va_list args);

// wsprintf: at most 1024 characters with terminator; returns the characters written.
int wsprintfA(LPSTR dst, LPCSTR fmt, ...);
int wsprintfW(LPWSTR dst, LPCWSTR fmt, ...);

}  // extern "C"

namespace platform {

// UTF-8 <-> UTF-16. Invalid input (bad bytes, lone surrogates) becomes U+FFFD; never throws
// for bad input.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Formatting into a std::string / std::u16string (whole text, no limit).
std::string FormatString(const char* fmt, ...);
std::string VFormatString(const char* fmt, va_list args);
std::u16string FormatWString(const WCHAR* fmt, ...);
std::u16string VFormatWString(const WCHAR* fmt, va_list args);

}  // namespace platform
