// UTF-8 <-> UTF-16 conversion. Invalid input becomes U+FFFD (one per maximal invalid part, as
// the Unicode standard recommends); nothing here throws for bad input.
#include "strings/utf.h"

#include "win32/strings.h"

namespace platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Bytes a sequence with this lead byte takes; 0 for a byte that cannot lead.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Whether `byte` may stand at position `index` (1 based) after `lead`.
bool ValidContinuation(unsigned char lead, int index, unsigned char byte) {
    if (index == 1) {
        switch (lead) {
            case 0xE0:
                return byte >= 0xA0 && byte <= 0xBF;
            case 0xED:
                return byte >= 0x80 && byte <= 0x9F;
            case 0xF0:
                return byte >= 0x90 && byte <= 0xBF;
            case 0xF4:
                return byte >= 0x80 && byte <= 0x8F;
            default:
                break;
        }
    }
    return byte >= 0x80 && byte <= 0xBF;
}

}  // namespace

bool DecodeUtf8(std::string_view text, size_t& pos, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const int length = SequenceLength(lead);
    if (length == 1) {
        cp = lead;
        ++pos;
        return true;
    }
    if (length == 0) {
        ++pos;
        return false;
    }
    char32_t value = lead & (0xFF >> (length + 1));
    for (int i = 1; i < length; ++i) {
        if (pos + i >= text.size() ||
            !ValidContinuation(lead, i, static_cast<unsigned char>(text[pos + i]))) {
            pos += i;  // the maximal invalid part ends before this byte
            return false;
        }
        value = (value << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
    }
    pos += length;
    cp = value;
    return true;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool DecodeUtf16(std::u16string_view text, size_t& pos, char32_t& cp) {
    const char16_t unit = text[pos++];
    if (unit < 0xD800 || unit > 0xDFFF) {
        cp = unit;
        return true;
    }
    if (unit <= 0xDBFF && pos < text.size() && text[pos] >= 0xDC00 && text[pos] <= 0xDFFF) {
        cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[pos] - 0xDC00);
        ++pos;
        return true;
    }
    return false;  // a lone surrogate
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        AppendUtf16(out, DecodeUtf8(text, pos, cp) ? cp : kReplacement);
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        AppendUtf8(out, DecodeUtf16(text, pos, cp) ? cp : kReplacement);
    }
    return out;
}

}  // namespace platform
