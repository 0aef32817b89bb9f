// Character conversion through the C library's iconv, with small caches: a 256-entry table per
// code table and a map per two-byte code system.
#include "code_pages.h"

#include <iconv.h>

#include <array>
#include <map>
#include <mutex>
#include <optional>

namespace emulator {
namespace {

// The iconv name of a code table (ESC t n); null for tables the emulator does not know.
const char* CodeTableCharset(int table) {
    switch (table) {
        case 0:
            return "CP437";
        case 1:
            return "SHIFT_JIS";  // half-width Katakana in A1..DF
        case 2:
            return "CP850";
        case 3:
            return "CP860";
        case 4:
            return "CP863";
        case 5:
            return "CP865";
        case 16:
            return "CP1252";
        case 17:
            return "CP866";
        case 18:
            return "CP852";
        case 19:
            return "CP858";
        default:
            return nullptr;
    }
}

const char* CodePageCharset(int codePage) {
    switch (codePage) {
        case 932:
            return "CP932";
        case 936:
            return "CP936";
        case 949:
            return "CP949";
        case 950:
            return "CP950";
        case kJisCodeSystem:
            return "EUC-JP";
        default:
            return nullptr;
    }
}

// Converts `length` bytes to one code point; nullopt when iconv yields nothing or several.
std::optional<char32_t> ConvertOne(const char* charset, const unsigned char* bytes, size_t length) {
    iconv_t cd = iconv_open("UTF-32LE", charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    char in[4] = {};
    for (size_t i = 0; i < length && i < sizeof in; ++i) in[i] = static_cast<char>(bytes[i]);
    char out[16] = {};
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = length;
    size_t outLeft = sizeof out;
    size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 4) {
        return std::nullopt;
    }
    char32_t cp = static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8 |
                  static_cast<unsigned char>(out[2]) << 16 |
                  static_cast<char32_t>(static_cast<unsigned char>(out[3])) << 24;
    return cp;
}

std::mutex g_cacheMutex;

}  // namespace

char32_t SingleByteToUnicode(int table, uint8_t b) {
    if (b < 0x80) return b;  // every table of the printer has ASCII below 80
    const char* charset = CodeTableCharset(table);
    if (!charset) return 0;
    static std::map<int, std::array<char32_t, 128>> tables;
    std::lock_guard lock(g_cacheMutex);
    auto it = tables.find(table);
    if (it == tables.end()) {
        std::array<char32_t, 128> map{};
        for (int i = 0; i < 128; ++i) {
            unsigned char byte = static_cast<unsigned char>(0x80 + i);
            map[i] = ConvertOne(charset, &byte, 1).value_or(0);
        }
        it = tables.emplace(table, map).first;
    }
    return it->second[b - 0x80];
}

bool IsLeadByte(int codePage, uint8_t b) {
    switch (codePage) {
        case 932:
            return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        case kJisCodeSystem:
            return b >= 0x21 && b <= 0x7E;
        default:
            return b >= 0x81 && b <= 0xFE;
    }
}

bool IsTrailByte(int codePage, uint8_t b) {
    switch (codePage) {
        case 932:
            return b >= 0x40 && b <= 0xFC && b != 0x7F;
        case kJisCodeSystem:
            return b >= 0x21 && b <= 0x7E;
        case 936:
        case 949:
            return b >= 0x41 && b <= 0xFE;
        default:
            return b >= 0x40 && b <= 0xFE;
    }
}

char32_t DoubleByteToUnicode(int codePage, uint16_t code) {
    const char* charset = CodePageCharset(codePage);
    if (!charset) return 0;
    static std::map<std::pair<int, uint16_t>, char32_t> cache;
    std::lock_guard lock(g_cacheMutex);
    auto key = std::make_pair(codePage, code);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    uint16_t effective = codePage == kJisCodeSystem ? static_cast<uint16_t>(code | 0x8080) : code;
    unsigned char bytes[2] = {static_cast<unsigned char>(effective >> 8),
                              static_cast<unsigned char>(effective & 0xFF)};
    char32_t cp = ConvertOne(charset, bytes, 2).value_or(0);
    if (cache.size() < 65536) cache.emplace(key, cp);
    return cp;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace emulator
