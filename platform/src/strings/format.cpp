// printf-style formatting for 8-bit and UTF-16 formats, with the Windows meanings of the
// conversions the deliverables use (%s of the format's own width, %ws / %S of the other
// width, 32-bit %l). Every formatter builds the whole text first; the bounded forms then copy
// what fits.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "win32/strings.h"

namespace {

template <typename C>
using Str = std::basic_string<C>;

// The conversion details parsed from one "%..." directive.
struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alt = false;
    bool zero = false;
    int width = 0;
    int precision = -1;  // -1: none
    enum class Size {
        Default,
        Char,
        Short,
        Long32,
        Long64,
        SizeT,
        LongDouble
    } size = Size::Default;
    enum class Width { Own, Narrow, Wide } strWidth = Width::Own;  // for %s and %c
};

template <typename C>
void AppendAscii(Str<C>& out, std::string_view text) {
    for (char ch : text) out.push_back(static_cast<C>(static_cast<unsigned char>(ch)));
}

// Appends `body` padded to the field width (left or right, with spaces).
template <typename C>
void AppendPadded(Str<C>& out, const Str<C>& body, const Spec& spec) {
    const size_t pad = spec.width > 0 && static_cast<size_t>(spec.width) > body.size()
                           ? static_cast<size_t>(spec.width) - body.size()
                           : 0;
    if (!spec.left) out.append(pad, static_cast<C>(' '));
    out += body;
    if (spec.left) out.append(pad, static_cast<C>(' '));
}

// Converts 8-bit text (UTF-8) to the output width.
template <typename C>
Str<C> FromNarrow(std::string_view text) {
    if constexpr (std::is_same_v<C, char>) {
        return Str<C>(text);
    } else {
        return platform::Utf8ToUtf16(text);
    }
}

// Converts UTF-16 text to the output width.
template <typename C>
Str<C> FromWide(std::u16string_view text) {
    if constexpr (std::is_same_v<C, char>) {
        return platform::Utf16ToUtf8(text);
    } else {
        return Str<C>(text);
    }
}

template <typename T>
size_t BoundedLength(const T* s, int precision) {
    size_t n = 0;
    if (precision < 0) {
        while (s[n] != 0) ++n;
    } else {
        while (n < static_cast<size_t>(precision) && s[n] != 0) ++n;
    }
    return n;
}

template <typename C>
bool WantsWide(const Spec& spec) {
    if (spec.strWidth == Spec::Width::Wide) return true;
    if (spec.strWidth == Spec::Width::Narrow) return false;
    return std::is_same_v<C, char16_t>;
}

template <typename C>
void FormatString(Str<C>& out, const Spec& spec, va_list& args) {
    Str<C> body;
    if (WantsWide<C>(spec)) {
        const auto* s = va_arg(args, const char16_t*);
        body = s == nullptr ? FromNarrow<C>("(null)")
                            : FromWide<C>(std::u16string_view(s, BoundedLength(s, spec.precision)));
    } else {
        const auto* s = va_arg(args, const char*);
        body = s == nullptr ? FromNarrow<C>("(null)")
                            : FromNarrow<C>(std::string_view(s, BoundedLength(s, spec.precision)));
    }
    AppendPadded(out, body, spec);
}

template <typename C>
void FormatChar(Str<C>& out, const Spec& spec, va_list& args) {
    const int value = va_arg(args, int);
    Str<C> body;
    if (WantsWide<C>(spec)) {
        const char16_t ch = static_cast<char16_t>(value);
        body = FromWide<C>(std::u16string_view(&ch, 1));
    } else {
        const char ch = static_cast<char>(value);
        body = FromNarrow<C>(std::string_view(&ch, 1));
    }
    AppendPadded(out, body, spec);
}

template <typename C>
void FormatInteger(Str<C>& out, const Spec& spec, char conv, va_list& args) {
    const bool isSigned = conv == 'd' || conv == 'i';
    std::uint64_t magnitude = 0;
    bool negative = false;
    if (isSigned) {
        std::int64_t v = 0;
        switch (spec.size) {
            case Spec::Size::Char:
                v = static_cast<signed char>(va_arg(args, int));
                break;
            case Spec::Size::Short:
                v = static_cast<short>(va_arg(args, int));
                break;
            case Spec::Size::Long64:
                v = va_arg(args, long long);
                break;
            case Spec::Size::SizeT:
                v = va_arg(args, std::ptrdiff_t);
                break;
            default:
                v = va_arg(args, int);
                break;
        }
        negative = v < 0;
        magnitude = negative ? (~static_cast<std::uint64_t>(v) + 1) : static_cast<std::uint64_t>(v);
    } else {
        switch (spec.size) {
            case Spec::Size::Char:
                magnitude = static_cast<unsigned char>(va_arg(args, unsigned));
                break;
            case Spec::Size::Short:
                magnitude = static_cast<unsigned short>(va_arg(args, unsigned));
                break;
            case Spec::Size::Long64:
                magnitude = va_arg(args, unsigned long long);
                break;
            case Spec::Size::SizeT:
                magnitude = va_arg(args, size_t);
                break;
            default:
                magnitude = va_arg(args, unsigned);
                break;
        }
    }
    const unsigned base = (conv == 'x' || conv == 'X') ? 16 : conv == 'o' ? 8 : 10;
    const char* digitsOf = conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string digits;
    for (std::uint64_t v = magnitude; v != 0; v /= base)
        digits.insert(digits.begin(), digitsOf[v % base]);
    if (spec.precision >= 0) {
        if (static_cast<size_t>(spec.precision) > digits.size()) {
            digits.insert(0, static_cast<size_t>(spec.precision) - digits.size(), '0');
        }
    } else if (digits.empty()) {
        digits = "0";
    }
    std::string_view prefix;
    if (isSigned) {
        if (negative)
            prefix = "-";
        else if (spec.plus)
            prefix = "+";
        else if (spec.space)
            prefix = " ";
    }
    if (spec.alt && magnitude != 0) {
        if (base == 16) prefix = conv == 'X' ? "0X" : "0x";
        if (base == 8 && digits.front() != '0') digits.insert(0, "0");
    }
    const size_t used = prefix.size() + digits.size();
    if (spec.zero && !spec.left && spec.precision < 0 && spec.width > 0 &&
        static_cast<size_t>(spec.width) > used) {
        digits.insert(0, static_cast<size_t>(spec.width) - used, '0');
    }
    Str<C> body;
    AppendAscii(body, std::string(prefix) + digits);
    AppendPadded(out, body, spec);
}

template <typename C>
void FormatFloat(Str<C>& out, const Spec& spec, char conv, va_list& args) {
    std::string format = "%";
    if (spec.left) format += '-';
    if (spec.plus) format += '+';
    if (spec.space) format += ' ';
    if (spec.alt) format += '#';
    if (spec.zero) format += '0';
    if (spec.width > 0) format += std::to_string(spec.width);
    if (spec.precision >= 0) format += "." + std::to_string(spec.precision);
    std::string text;
    if (spec.size == Spec::Size::LongDouble) {
        format += 'L';
        format += conv;
        const long double v = va_arg(args, long double);
        text.resize(static_cast<size_t>(std::snprintf(nullptr, 0, format.c_str(), v)));
        std::snprintf(text.data(), text.size() + 1, format.c_str(), v);
    } else {
        format += conv;
        const double v = va_arg(args, double);
        text.resize(static_cast<size_t>(std::snprintf(nullptr, 0, format.c_str(), v)));
        std::snprintf(text.data(), text.size() + 1, format.c_str(), v);
    }
    AppendAscii(out, text);
}

template <typename C>
void FormatPointer(Str<C>& out, const Spec& spec, va_list& args) {
    const auto value = reinterpret_cast<std::uintptr_t>(va_arg(args, void*));
    char text[2 * sizeof(value) + 1];
    std::snprintf(text, sizeof(text), "%0*llX", static_cast<int>(2 * sizeof(value)),
                  static_cast<unsigned long long>(value));
    Str<C> body;
    AppendAscii(body, text);
    AppendPadded(out, body, spec);
}

// Formats `fmt` with `args` into `out` (appending).
template <typename C>
void FormatInto(Str<C>& out, const C* fmt, va_list& args) {
    if (fmt == nullptr) return;
    for (const C* p = fmt; *p != 0;) {
        if (*p != '%') {
            out.push_back(*p++);
            continue;
        }
        const C* start = p++;
        Spec spec;
        for (;; ++p) {
            if (*p == '-')
                spec.left = true;
            else if (*p == '+')
                spec.plus = true;
            else if (*p == ' ')
                spec.space = true;
            else if (*p == '#')
                spec.alt = true;
            else if (*p == '0')
                spec.zero = true;
            else
                break;
        }
        if (*p == '*') {
            spec.width = va_arg(args, int);
            if (spec.width < 0) {
                spec.left = true;
                spec.width = spec.width == INT32_MIN ? 0 : -spec.width;
            }
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') {
                spec.width = spec.width > 100000 ? spec.width : spec.width * 10 + (*p - '0');
                ++p;
            }
        }
        if (*p == '.') {
            ++p;
            spec.precision = 0;
            if (*p == '*') {
                spec.precision = va_arg(args, int);
                if (spec.precision < 0) spec.precision = -1;
                ++p;
            } else {
                while (*p >= '0' && *p <= '9') {
                    spec.precision =
                        spec.precision > 100000 ? spec.precision : spec.precision * 10 + (*p - '0');
                    ++p;
                }
            }
        }
        // Length modifiers (Windows meanings: l is 32 bits; w is the wide width).
        for (bool more = true; more;) {
            switch (*p) {
                case 'h':
                    if (p[1] == 'h') {
                        spec.size = Spec::Size::Char;
                        ++p;
                    } else {
                        spec.size = Spec::Size::Short;
                        spec.strWidth = Spec::Width::Narrow;
                    }
                    ++p;
                    break;
                case 'l':
                    if (p[1] == 'l') {
                        spec.size = Spec::Size::Long64;
                        ++p;
                    } else {
                        spec.size = Spec::Size::Long32;
                        spec.strWidth = Spec::Width::Wide;
                    }
                    ++p;
                    break;
                case 'w':
                    spec.strWidth = Spec::Width::Wide;
                    ++p;
                    break;
                case 'L':
                    spec.size = Spec::Size::LongDouble;
                    ++p;
                    break;
                case 'q':
                    spec.size = Spec::Size::Long64;
                    ++p;
                    break;
                case 'z':
                case 'j':
                case 't':
                    spec.size = *p == 'j' ? Spec::Size::Long64 : Spec::Size::SizeT;
                    ++p;
                    break;
                case 'I':
                    if (p[1] == '6' && p[2] == '4') {
                        spec.size = Spec::Size::Long64;
                        p += 3;
                    } else if (p[1] == '3' && p[2] == '2') {
                        spec.size = Spec::Size::Long32;
                        p += 3;
                    } else {
                        spec.size = Spec::Size::SizeT;
                        ++p;
                    }
                    break;
                default:
                    more = false;
                    break;
            }
        }
        const C conv = *p;
        if (conv == 0) {  // a lone '%' (with whatever followed) at the end stays as it is
            out.append(start, p);
            break;
        }
        ++p;
        switch (conv) {
            case '%':
                out.push_back('%');
                break;
            case 's':
                FormatString(out, spec, args);
                break;
            case 'S':
                if (spec.strWidth == Spec::Width::Own) {
                    spec.strWidth =
                        std::is_same_v<C, char> ? Spec::Width::Wide : Spec::Width::Narrow;
                }
                FormatString(out, spec, args);
                break;
            case 'c':
                FormatChar(out, spec, args);
                break;
            case 'C':
                if (spec.strWidth == Spec::Width::Own) {
                    spec.strWidth =
                        std::is_same_v<C, char> ? Spec::Width::Wide : Spec::Width::Narrow;
                }
                FormatChar(out, spec, args);
                break;
            case 'd':
            case 'i':
            case 'u':
            case 'x':
            case 'X':
            case 'o':
                FormatInteger(out, spec, static_cast<char>(conv), args);
                break;
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                FormatFloat(out, spec, static_cast<char>(conv), args);
                break;
            case 'p':
                FormatPointer(out, spec, args);
                break;
            default:
                out.append(start, p);
                break;  // unknown (and %n): copied as it stands
        }
    }
}

template <typename C>
Str<C> FormatWhole(const C* fmt, va_list args) {
    Str<C> out;
    va_list copy;
    va_copy(copy, args);
    FormatInto(out, fmt, copy);
    va_end(copy);
    return out;
}

// Copies text into dst[cch] as far as it fits, always terminated; true when all of it fit.
template <typename C>
bool CopyBounded(C* dst, size_t cch, const Str<C>& text) {
    const size_t n = text.size() < cch ? text.size() : cch - 1;
    std::memcpy(dst, text.data(), n * sizeof(C));
    dst[n] = 0;
    return n == text.size();
}

template <typename C>
HRESULT PrintfBounded(C* dst, size_t cch, const C* fmt, va_list args) {
    if (dst == nullptr || cch == 0 || cch > STRSAFE_MAX_CCH) return STRSAFE_E_INVALID_PARAMETER;
    if (fmt == nullptr) {
        dst[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    return CopyBounded(dst, cch, FormatWhole(fmt, args)) ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
}

template <typename C>
int FormatBounded(C* dst, size_t cch, const C* fmt, va_list args) {
    if (dst == nullptr || cch == 0) return -1;
    const Str<C> text = FormatWhole(fmt, args);
    return CopyBounded(dst, cch, text) && text.size() <= INT32_MAX ? static_cast<int>(text.size())
                                                                   : -1;
}

constexpr size_t kWsprintfLimit = 1024;

}  // namespace

extern "C" HRESULT StringCchVPrintfW(WCHAR* dst, size_t cch, const WCHAR* fmt, va_list args) {
    return PrintfBounded(dst, cch, fmt, args);
}

extern "C" HRESULT StringCchVPrintfA(char* dst, size_t cch, const char* fmt, va_list args) {
    return PrintfBounded(dst, cch, fmt, args);
}

extern "C" HRESULT StringCchPrintfW(WCHAR* dst, size_t cch, const WCHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const HRESULT hr = PrintfBounded(dst, cch, fmt, args);
    va_end(args);
    return hr;
}

extern "C" HRESULT StringCchPrintfA(char* dst, size_t cch, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const HRESULT hr = PrintfBounded(dst, cch, fmt, args);
    va_end(args);
    return hr;
}

extern "C" HRESULT StringCbPrintfW(WCHAR* dst, size_t cb, const WCHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const HRESULT hr = PrintfBounded(dst, cb / sizeof(WCHAR), fmt, args);
    va_end(args);
    return hr;
}

extern "C" HRESULT StringCbPrintfA(char* dst, size_t cb, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const HRESULT hr = PrintfBounded(dst, cb, fmt, args);
    va_end(args);
    return hr;
}

extern "C" int VFormatA(char* dst, size_t cch, const char* fmt, va_list args) {
    return FormatBounded(dst, cch, fmt, args);
}

extern "C" int VFormatW(WCHAR* dst, size_t cch, const WCHAR* fmt, va_list args) {
    return FormatBounded(dst, cch, fmt, args);
}

extern "C" int FormatA(char* dst, size_t cch, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const int n = FormatBounded(dst, cch, fmt, args);
    va_end(args);
    return n;
}

extern "C" int FormatW(WCHAR* dst, size_t cch, const WCHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const int n = FormatBounded(dst, cch, fmt, args);
    va_end(args);
    return n;
}

extern "C" int wsprintfA(LPSTR dst, LPCSTR fmt, ...) {
    if (dst == nullptr) return 0;
    va_list args;
    va_start(args, fmt);
    const std::string text = FormatWhole(fmt, args);
    va_end(args);
    CopyBounded(dst, kWsprintfLimit, text);
    return static_cast<int>(std::strlen(dst));
}

extern "C" int wsprintfW(LPWSTR dst, LPCWSTR fmt, ...) {
    if (dst == nullptr) return 0;
    va_list args;
    va_start(args, fmt);
    const std::u16string text = FormatWhole(fmt, args);
    va_end(args);
    CopyBounded(dst, kWsprintfLimit, text);
    return static_cast<int>(WcsLen(dst));
}

namespace platform {

std::string VFormatString(const char* fmt, va_list args) {
    return FormatWhole(fmt, args);
}

std::u16string VFormatWString(const WCHAR* fmt, va_list args) {
    return FormatWhole(fmt, args);
}

std::string FormatString(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = FormatWhole(fmt, args);
    va_end(args);
    return text;
}

std::u16string FormatWString(const WCHAR* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::u16string text = FormatWhole(fmt, args);
    va_end(args);
    return text;
}

}  // namespace platform
