// Code page conversion: round trips in the CJK code pages, size query, buffer limits,
// unmappable characters, invalid bytes and bad arguments.
#include "win32/codepage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "test_support.h"
#include "win32/strings.h"

namespace {

using testing_support::FromHex;
using testing_support::ToHex;

std::string ToMulti(UINT cp, const std::u16string& text, BOOL* usedDefault = nullptr) {
    const int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, usedDefault);
    std::string out(static_cast<size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                      n, nullptr, usedDefault),
                  n);
    }
    return out;
}

std::u16string ToWide(UINT cp, const std::string& bytes) {
    const int n =
        MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(n), u'\0');
    if (n > 0) {
        EXPECT_EQ(
            MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n),
            n);
    }
    return out;
}

TEST(CodePage, RoundTripsWithKnownBytes) {
    struct Case {
        UINT cp;
        std::u16string text;
        const char* hex;
    };
    const Case cases[] = {
        {932, u"日本語ｶﾅ", "93 FA 96 7B 8C EA B6 C5"},
        {932, u"レシート", "83 8C 83 56 81 5B 83 67"},
        {936, u"中文打印", "D6 D0 CE C4 B4 F2 D3 A1"},
        {949, u"한국어", "C7 D1 B1 B9 BE EE"},
        {950, u"中文繁體", "A4 A4 A4 E5 C1 63 C5 E9"},
        {1252, u"Café €5", "43 61 66 E9 20 80 35"},
        {CP_ACP, u"Zürich", "5A FC 72 69 63 68"},
        {437, u"½ ░", "AB 20 B0"},
        {CP_OEMCP, u"é", "82"},
        {CP_UTF8, u"日本", "E6 97 A5 E6 9C AC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.cp << " " << c.hex);
        BOOL usedDefault = TRUE;
        const std::string bytes = ToMulti(c.cp, c.text, c.cp == CP_UTF8 ? nullptr : &usedDefault);
        EXPECT_EQ(ToHex(bytes), c.hex);
        if (c.cp != CP_UTF8) {
            EXPECT_FALSE(usedDefault);
        }
        EXPECT_EQ(ToWide(c.cp, bytes), c.text);
    }
}

TEST(CodePage, TerminatedInputCountsTheTerminator) {
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"日本", -1, nullptr, 0, nullptr, nullptr), 5);
    char out[8];
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"日本", -1, out, sizeof(out), nullptr, nullptr), 5);
    EXPECT_EQ(ToHex(std::string(out, 5)), "93 FA 96 7B 00");
    EXPECT_EQ(MultiByteToWideChar(936, 0, "\xD6\xD0", -1, nullptr, 0), 2);
    char16_t wide[4];
    EXPECT_EQ(MultiByteToWideChar(936, 0, "\xD6\xD0", -1, wide, 4), 2);
    EXPECT_EQ(std::u16string(wide), u"中");
}

TEST(CodePage, TooSmallOutputFailsWithoutWriting) {
    char out[4] = {'#', '#', '#', '#'};
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(949, 0, u"한국어", 3, out, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(out, 4), "####");
    char16_t wide[2] = {u'#', u'#'};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(wide[0], u'#');
}

TEST(CodePage, UnmappableCharactersBecomeTheDefaultChar) {
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToMulti(1252, u"a日b", &usedDefault), "a?b");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(ToMulti(932, u"x한y", &usedDefault), "x?y");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(ToMulti(437, u"\U0001F600", &usedDefault), "?");  // a pair is one character
    EXPECT_TRUE(usedDefault);
    char out[8];
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"a日", 2, out, 8, "*", &usedDefault), 2);
    EXPECT_EQ(std::string(out, 2), "a*");
    // UTF-8 holds everything; a lone surrogate becomes U+FFFD.
    const std::u16string lone(1, char16_t(0xD800));
    EXPECT_EQ(ToHex(ToMulti(CP_UTF8, lone)), "EF BF BD");
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 1, nullptr, 0,
                                  nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePage, Undefined1252BytesSurviveARoundTrip) {
    const std::string bytes = FromHex("81 8D 8F 90 9D");
    const std::u16string wide = ToWide(1252, bytes);
    EXPECT_EQ(wide, (std::u16string{0x81, 0x8D, 0x8F, 0x90, 0x9D}));
    BOOL usedDefault = TRUE;
    EXPECT_EQ(ToMulti(1252, wide, &usedDefault), bytes);
    EXPECT_FALSE(usedDefault);
}

TEST(CodePage, InvalidBytes) {
    EXPECT_EQ(ToWide(CP_UTF8,
                     "a\xFF"
                     "b"),
              u"a\uFFFDb");
    EXPECT_EQ(ToWide(932, "a\x81"), u"a\uFFFD");  // lead byte cut short by the end
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "\x81", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePage, BadArguments) {
    char out[8];
    char16_t wide[8];
    BOOL used = FALSE;
    auto w2m = [&](UINT cp, DWORD flags, const char16_t* s, int n, char* o, int on, const char* d,
                   BOOL* u) {
        SetLastError(0);
        return WideCharToMultiByte(cp, flags, s, n, o, on, d, u);
    };
    auto m2w = [&](UINT cp, DWORD flags, const char* s, int n, char16_t* o, int on) {
        SetLastError(0);
        return MultiByteToWideChar(cp, flags, s, n, o, on);
    };
    const std::pair<const char*, std::function<int()>> cases[] = {
        {"unknown code page", [&] { return w2m(1251, 0, u"a", 1, out, 8, nullptr, nullptr); }},
        {"unknown code page (mb)", [&] { return m2w(12345, 0, "a", 1, wide, 8); }},
        {"NULL input", [&] { return w2m(1252, 0, nullptr, 1, out, 8, nullptr, nullptr); }},
        {"zero length", [&] { return w2m(1252, 0, u"a", 0, out, 8, nullptr, nullptr); }},
        {"length -2", [&] { return m2w(1252, 0, "a", -2, wide, 8); }},
        {"NULL output with a size", [&] { return m2w(1252, 0, "a", 1, nullptr, 8); }},
        {"default char with UTF-8", [&] { return w2m(CP_UTF8, 0, u"a", 1, out, 8, "?", nullptr); }},
        {"used flag with UTF-8", [&] { return w2m(CP_UTF8, 0, u"a", 1, out, 8, nullptr, &used); }},
    };
    for (const auto& [what, call] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(call(), 0);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(w2m(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"a", 1, out, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
    EXPECT_EQ(m2w(CP_UTF8, MB_PRECOMPOSED, "a", 1, wide, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
    // Flags of the ANSI road that the plug-ins pass are accepted.
    EXPECT_EQ(w2m(CP_ACP, WC_COMPOSITECHECK, u"<1B>", -1, out, 8, nullptr, nullptr), 5);
    EXPECT_EQ(m2w(CP_ACP, MB_PRECOMPOSED, "ab", 2, wide, 8), 2);
}

TEST(CodePage, SystemCodePages) {
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(GetOEMCP(), 437u);
    for (UINT cp : {437u, 932u, 936u, 949u, 950u, 1252u, 65001u}) EXPECT_TRUE(IsValidCodePage(cp));
    EXPECT_FALSE(IsValidCodePage(1251));
}

}  // namespace
