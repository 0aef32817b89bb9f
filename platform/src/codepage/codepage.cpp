// Code page conversion on iconv of the C library (UTF-8 is done by hand so that invalid input
// is treated exactly as the published rules say).
#include "win32/codepage.h"

#include <errno.h>
#include <iconv.h>

#include <array>
#include <bit>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "strings/utf.h"
#include "win32/strings.h"

static_assert(std::endian::native == std::endian::little, "WCHAR text is UTF-16LE in memory");

namespace {

constexpr UINT kAnsiCodePage = 1252;
constexpr UINT kOemCodePage = 437;
constexpr char16_t kReplacement = 0xFFFD;
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// The code page a caller's value stands for; 0 when it is not supported.
UINT Resolve(UINT codePage) {
    switch (codePage) {
        case CP_ACP:
        case CP_THREAD_ACP:
            return kAnsiCodePage;
        case CP_OEMCP:
            return kOemCodePage;
        case 1252:
        case 437:
        case 932:
        case 936:
        case 949:
        case 950:
        case CP_UTF8:
            return codePage;
        default:
            return 0;
    }
}

// iconv names of a code page, tried in order (unused places are NULL).
std::array<const char*, 2> IconvNames(UINT codePage) {
    switch (codePage) {
        case 1252:
            return {"CP1252", nullptr};
        case 437:
            return {"CP437", nullptr};
        case 932:
            return {"CP932", nullptr};
        case 936:
            return {"CP936", "GBK"};
        case 949:
            return {"CP949", "UHC"};
        case 950:
            return {"CP950", "BIG5"};
        default:
            return {nullptr, nullptr};
    }
}

// The five bytes that 1252 leaves undefined; Windows carries them to and from U+0081 etc.
bool IsUndefined1252(unsigned value) {
    return value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D;
}

// iconv descriptors are not for concurrent use: each thread keeps its own, opened on demand.
class ConverterCache {
public:
    ~ConverterCache() {
        for (auto& [key, cd] : m_converters) {
            if (cd != kNoConverter) iconv_close(cd);
        }
    }

    // The descriptor from `codePage` to UTF-16LE (toWide) or back; kNoConverter if none.
    iconv_t Get(UINT codePage, bool toWide) {
        const auto key = std::make_pair(codePage, toWide);
        auto it = m_converters.find(key);
        if (it == m_converters.end()) {
            iconv_t cd = kNoConverter;
            for (const char* name : IconvNames(codePage)) {
                if (name == nullptr) break;
                cd = toWide ? iconv_open("UTF-16LE", name) : iconv_open(name, "UTF-16LE");
                if (cd != kNoConverter) break;
            }
            it = m_converters.emplace(key, cd).first;
        }
        iconv(it->second, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return it->second;
    }

private:
    std::map<std::pair<UINT, bool>, iconv_t> m_converters;
};

thread_local ConverterCache t_converters;

// Runs iconv over `in` into `out`; returns the errno that stopped it (0 when all was taken).
int RunIconv(iconv_t cd, const char*& in, size_t& inLeft, std::string& out) {
    char buffer[1024];
    while (inLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof(buffer);
        char* src = const_cast<char*>(in);
        const size_t rc = iconv(cd, &src, &inLeft, &dst, &dstLeft);
        const int err = rc == static_cast<size_t>(-1) ? errno : 0;
        in = src;
        out.append(buffer, dst);
        if (err != 0 && err != E2BIG) return err;
    }
    return 0;
}

enum class Result { Ok, InvalidInput, NoConverter };

Result WideToMulti(UINT codePage, std::u16string_view text, bool failInvalid,
                   std::string_view defaultChar, bool& usedDefault, std::string& out) {
    if (codePage == CP_UTF8) {
        for (size_t pos = 0; pos < text.size();) {
            char32_t cp = 0;
            if (!platform::DecodeUtf16(text, pos, cp)) {
                if (failInvalid) return Result::InvalidInput;
                cp = kReplacement;
            }
            platform::AppendUtf8(out, cp);
        }
        return Result::Ok;
    }
    iconv_t cd = t_converters.Get(codePage, false);
    if (cd == kNoConverter) return Result::NoConverter;
    const char* in = reinterpret_cast<const char*>(text.data());
    size_t inLeft = text.size() * sizeof(char16_t);
    while (inLeft > 0) {
        if (RunIconv(cd, in, inLeft, out) == 0) break;
        // The unit at `in` has no place in the code page (or is a lone surrogate).
        const auto* unit = reinterpret_cast<const char16_t*>(in);
        size_t units = 1;
        if (*unit >= 0xD800 && *unit <= 0xDBFF && inLeft >= 4 && unit[1] >= 0xDC00 &&
            unit[1] <= 0xDFFF) {
            units = 2;
        }
        if (codePage == 1252 && IsUndefined1252(*unit)) {
            out.push_back(static_cast<char>(*unit));
        } else {
            out += defaultChar;
            usedDefault = true;
        }
        in += units * sizeof(char16_t);
        inLeft -= units * sizeof(char16_t);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return Result::Ok;
}

Result MultiToWide(UINT codePage, std::string_view text, bool failInvalid, std::u16string& out) {
    if (codePage == CP_UTF8) {
        for (size_t pos = 0; pos < text.size();) {
            char32_t cp = 0;
            if (!platform::DecodeUtf8(text, pos, cp)) {
                if (failInvalid) return Result::InvalidInput;
                cp = kReplacement;
            }
            platform::AppendUtf16(out, cp);
        }
        return Result::Ok;
    }
    iconv_t cd = t_converters.Get(codePage, true);
    if (cd == kNoConverter) return Result::NoConverter;
    std::string bytes;
    const char* in = text.data();
    size_t inLeft = text.size();
    while (inLeft > 0) {
        const int err = RunIconv(cd, in, inLeft, bytes);
        if (err == 0) break;
        const auto byte = static_cast<unsigned char>(*in);
        const bool undefined1252 = codePage == 1252 && IsUndefined1252(byte);
        if (!undefined1252 && failInvalid) return Result::InvalidInput;
        const char16_t unit = undefined1252 ? byte : kReplacement;
        bytes.append(reinterpret_cast<const char*>(&unit), sizeof(unit));
        if (err == EINVAL) break;  // a sequence cut short by the end of the input
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(bytes.size() / sizeof(char16_t));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(char16_t));
    return Result::Ok;
}

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

}  // namespace

extern "C" int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                                   int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                   LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
    if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (lpMultiByteStr == nullptr && cbMultiByte > 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const UINT codePage = Resolve(CodePage);
    if (codePage == 0) return Fail(ERROR_INVALID_PARAMETER);
    if (codePage == CP_UTF8) {
        if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        if ((dwFlags & ~WC_ERR_INVALID_CHARS) != 0) return Fail(ERROR_INVALID_FLAGS);
    }
    const size_t length =
        cchWideChar == -1 ? WcsLen(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
    std::string_view defaultChar = "?";
    if (lpDefaultChar != nullptr && lpDefaultChar[0] != 0) defaultChar = {lpDefaultChar, 1};
    bool usedDefault = false;
    std::string out;
    switch (WideToMulti(codePage, {lpWideCharStr, length}, (dwFlags & WC_ERR_INVALID_CHARS) != 0,
                        defaultChar, usedDefault, out)) {
        case Result::Ok:
            break;
        case Result::InvalidInput:
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
        case Result::NoConverter:
            return Fail(ERROR_INVALID_PARAMETER);
    }
    if (out.size() > static_cast<size_t>(INT32_MAX)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    if (cbMultiByte == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cbMultiByte)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpMultiByteStr, out.data(), out.size());
    return static_cast<int>(out.size());
}

extern "C" int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                   int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) {
    if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (lpWideCharStr == nullptr && cchWideChar > 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const UINT codePage = Resolve(CodePage);
    if (codePage == 0) return Fail(ERROR_INVALID_PARAMETER);
    if (codePage == CP_UTF8 && (dwFlags & ~MB_ERR_INVALID_CHARS) != 0) {
        return Fail(ERROR_INVALID_FLAGS);
    }
    const size_t length =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    std::u16string out;
    switch (MultiToWide(codePage, {lpMultiByteStr, length}, (dwFlags & MB_ERR_INVALID_CHARS) != 0,
                        out)) {
        case Result::Ok:
            break;
        case Result::InvalidInput:
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
        case Result::NoConverter:
            return Fail(ERROR_INVALID_PARAMETER);
    }
    if (out.size() > static_cast<size_t>(INT32_MAX)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (cchWideChar == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cchWideChar)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpWideCharStr, out.data(), out.size() * sizeof(char16_t));
    return static_cast<int>(out.size());
}

extern "C" UINT GetACP() {
    return kAnsiCodePage;
}
extern "C" UINT GetOEMCP() {
    return kOemCodePage;
}
extern "C" BOOL IsValidCodePage(UINT CodePage) {
    return CodePage != CP_ACP && CodePage != CP_OEMCP && CodePage != CP_THREAD_ACP &&
                   Resolve(CodePage) != 0
               ? TRUE
               : FALSE;
}
