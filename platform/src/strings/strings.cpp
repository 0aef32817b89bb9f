// UTF-16 and 8-bit string helpers: lengths, comparisons with ASCII and Latin case folding,
// and bounded copy and concatenation with the published StringCch/StringCb results.
#include "win32/strings.h"

#include <cstdint>
#include <cstring>

namespace {

// Lower case of a UTF-16 unit for ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
char16_t FoldLower(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
        return static_cast<char16_t>(c | 1);
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
        return (c & 1) != 0 ? static_cast<char16_t>(c + 1) : c;
    }
    if (c == 0x178) return 0xFF;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    return c;
}

char16_t FoldUpper(char16_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    if ((c >= 0x101 && c <= 0x12F) || (c >= 0x133 && c <= 0x137) || (c >= 0x14B && c <= 0x177)) {
        return (c & 1) != 0 ? static_cast<char16_t>(c - 1) : c;
    }
    if ((c >= 0x13A && c <= 0x148) || (c >= 0x17A && c <= 0x17E)) {
        return (c & 1) == 0 ? static_cast<char16_t>(c - 1) : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    return c;
}

// 8-bit text folds ASCII letters and the Latin-1 letters of the ANSI code page.
unsigned char FoldLowerByte(unsigned char c) {
    return static_cast<unsigned char>(FoldLower(c));
}

int Sign(int v) {
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

// Compares up to `count` units, folded through `fold`; the difference of the first unlike pair.
template <typename C, typename Fold>
int Compare(const C* a, const C* b, size_t count, Fold fold) {
    if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
    for (size_t i = 0; i < count; ++i) {
        const int ca = fold(a[i]);
        const int cb = fold(b[i]);
        if (ca != cb) return ca - cb;
        if (ca == 0) return 0;
    }
    return 0;
}

template <typename C>
int Identity(C c) {
    if constexpr (sizeof(C) == 1) {
        return static_cast<unsigned char>(c);
    } else {
        return c;
    }
}

int FoldWide(WCHAR c) {
    return FoldLower(c);
}
int FoldNarrow(char c) {
    return FoldLowerByte(static_cast<unsigned char>(c));
}

constexpr size_t kAll = static_cast<size_t>(-1);

template <typename C>
size_t Length(const C* s) {
    size_t n = 0;
    if (s != nullptr) {
        while (s[n] != 0) ++n;
    }
    return n;
}

// Copies at most `limit` units of src (up to its terminator) to dst[cch], terminated.
template <typename C>
HRESULT CopyN(C* dst, size_t cch, const C* src, size_t limit) {
    if (dst == nullptr || cch == 0 || cch > STRSAFE_MAX_CCH) return STRSAFE_E_INVALID_PARAMETER;
    if (src == nullptr) {
        dst[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    size_t i = 0;
    while (i < limit && src[i] != 0) {
        if (i + 1 == cch) {
            dst[i] = 0;
            return STRSAFE_E_INSUFFICIENT_BUFFER;
        }
        dst[i] = src[i];
        ++i;
    }
    dst[i] = 0;
    return S_OK;
}

template <typename C>
HRESULT Cat(C* dst, size_t cch, const C* src) {
    if (dst == nullptr || cch == 0 || cch > STRSAFE_MAX_CCH) return STRSAFE_E_INVALID_PARAMETER;
    size_t used = 0;
    while (used < cch && dst[used] != 0) ++used;
    if (used == cch) return STRSAFE_E_INVALID_PARAMETER;  // dst is not terminated
    if (src == nullptr) return STRSAFE_E_INVALID_PARAMETER;
    return CopyN(dst + used, cch - used, src, kAll);
}

template <typename C>
HRESULT LengthBounded(const C* s, size_t cchMax, size_t* pcch) {
    size_t n = 0;
    HRESULT hr = S_OK;
    if (s == nullptr || cchMax > STRSAFE_MAX_CCH) {
        hr = STRSAFE_E_INVALID_PARAMETER;
    } else {
        while (n < cchMax && s[n] != 0) ++n;
        if (n == cchMax) {
            n = 0;
            hr = STRSAFE_E_INVALID_PARAMETER;
        }
    }
    if (pcch != nullptr) *pcch = n;
    return hr;
}

}  // namespace

extern "C" {

size_t WcsLen(const WCHAR* s) {
    return Length(s);
}
int lstrlenW(LPCWSTR s) {
    return static_cast<int>(Length(s));
}
int lstrlenA(LPCSTR s) {
    return static_cast<int>(Length(s));
}

int lstrcmpW(LPCWSTR a, LPCWSTR b) {
    return Sign(Compare(a, b, kAll, Identity<WCHAR>));
}
int lstrcmpA(LPCSTR a, LPCSTR b) {
    return Sign(Compare(a, b, kAll, Identity<char>));
}
int lstrcmpiW(LPCWSTR a, LPCWSTR b) {
    return Sign(Compare(a, b, kAll, FoldWide));
}
int lstrcmpiA(LPCSTR a, LPCSTR b) {
    return Sign(Compare(a, b, kAll, FoldNarrow));
}
int _wcsicmp(const WCHAR* a, const WCHAR* b) {
    return Compare(a, b, kAll, FoldWide);
}
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count) {
    return Compare(a, b, count, FoldWide);
}
int _stricmp(const char* a, const char* b) {
    return Compare(a, b, kAll, FoldNarrow);
}
int _strnicmp(const char* a, const char* b, size_t count) {
    return Compare(a, b, count, FoldNarrow);
}
int WcsCmp(const WCHAR* a, const WCHAR* b) {
    return Compare(a, b, kAll, Identity<WCHAR>);
}
int WcsNCmp(const WCHAR* a, const WCHAR* b, size_t count) {
    return Compare(a, b, count, Identity<WCHAR>);
}

const WCHAR* WcsChr(const WCHAR* s, WCHAR c) {
    if (s == nullptr) return nullptr;
    for (;; ++s) {
        if (*s == c) return s;
        if (*s == 0) return nullptr;
    }
}

const WCHAR* WcsRChr(const WCHAR* s, WCHAR c) {
    if (s == nullptr) return nullptr;
    const WCHAR* found = nullptr;
    for (;; ++s) {
        if (*s == c) found = s;
        if (*s == 0) return found;
    }
}

const WCHAR* WcsStr(const WCHAR* s, const WCHAR* find) {
    if (s == nullptr || find == nullptr) return nullptr;
    const size_t n = Length(find);
    if (n == 0) return s;
    for (; *s != 0; ++s) {
        if (WcsNCmp(s, find, n) == 0) return s;
    }
    return nullptr;
}

WCHAR WcharToUpper(WCHAR c) {
    return FoldUpper(c);
}
WCHAR WcharToLower(WCHAR c) {
    return FoldLower(c);
}

LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src) {
    return lstrcpynW(dst, src, INT32_MAX);
}
LPSTR lstrcpyA(LPSTR dst, LPCSTR src) {
    return lstrcpynA(dst, src, INT32_MAX);
}

LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int iMaxLength) {
    if (dst == nullptr || src == nullptr) return nullptr;
    if (iMaxLength <= 0) return dst;
    CopyN(dst, static_cast<size_t>(iMaxLength), src, kAll);
    return dst;
}

LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int iMaxLength) {
    if (dst == nullptr || src == nullptr) return nullptr;
    if (iMaxLength <= 0) return dst;
    CopyN(dst, static_cast<size_t>(iMaxLength), src, kAll);
    return dst;
}

LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src) {
    if (dst == nullptr || src == nullptr) return nullptr;
    lstrcpyW(dst + Length(dst), src);
    return dst;
}

LPSTR lstrcatA(LPSTR dst, LPCSTR src) {
    if (dst == nullptr || src == nullptr) return nullptr;
    lstrcpyA(dst + Length(dst), src);
    return dst;
}

int _wtoi(const WCHAR* s) {
    if (s == nullptr) return 0;
    while (*s == u' ' || (*s >= u'\t' && *s <= u'\r')) ++s;
    bool negative = false;
    if (*s == u'+' || *s == u'-') negative = *s++ == u'-';
    long long value = 0;
    for (; *s >= u'0' && *s <= u'9'; ++s) {
        value = value * 10 + (*s - u'0');
        if (value > 2147483648LL) break;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int>(value);
}

HRESULT StringCchCopyW(WCHAR* dst, size_t cch, const WCHAR* src) {
    return CopyN(dst, cch, src, kAll);
}
HRESULT StringCchCopyA(char* dst, size_t cch, const char* src) {
    return CopyN(dst, cch, src, kAll);
}
HRESULT StringCchCopyNW(WCHAR* dst, size_t cch, const WCHAR* src, size_t cchToCopy) {
    return CopyN(dst, cch, src, cchToCopy);
}
HRESULT StringCchCopyNA(char* dst, size_t cch, const char* src, size_t cchToCopy) {
    return CopyN(dst, cch, src, cchToCopy);
}
HRESULT StringCchCatW(WCHAR* dst, size_t cch, const WCHAR* src) {
    return Cat(dst, cch, src);
}
HRESULT StringCchCatA(char* dst, size_t cch, const char* src) {
    return Cat(dst, cch, src);
}
HRESULT StringCchLengthW(const WCHAR* s, size_t cchMax, size_t* pcch) {
    return LengthBounded(s, cchMax, pcch);
}
HRESULT StringCchLengthA(const char* s, size_t cchMax, size_t* pcch) {
    return LengthBounded(s, cchMax, pcch);
}

HRESULT StringCbCopyW(WCHAR* dst, size_t cb, const WCHAR* src) {
    return CopyN(dst, cb / sizeof(WCHAR), src, kAll);
}
HRESULT StringCbCopyA(char* dst, size_t cb, const char* src) {
    return CopyN(dst, cb, src, kAll);
}
HRESULT StringCbCatW(WCHAR* dst, size_t cb, const WCHAR* src) {
    return Cat(dst, cb / sizeof(WCHAR), src);
}
HRESULT StringCbCatA(char* dst, size_t cb, const char* src) {
    return Cat(dst, cb, src);
}

}  // extern "C"
