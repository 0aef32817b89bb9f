// String helpers: lengths, comparisons, bounded copy and concatenation, UTF-8 <-> UTF-16.
#include "win32/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Strings, Lengths) {
    EXPECT_EQ(WcsLen(u"receipt"), 7u);
    EXPECT_EQ(WcsLen(u""), 0u);
    EXPECT_EQ(WcsLen(nullptr), 0u);
    EXPECT_EQ(lstrlenW(u"日本"), 2);
    EXPECT_EQ(lstrlenA("abc"), 3);
    EXPECT_EQ(lstrlenA(nullptr), 0);
}

TEST(Strings, CaseInsensitiveComparison) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        int expected;
    };
    const Case cases[] = {
        {u"LBR-KV580", u"lbr-kv580", 0},
        {u"Chinese2312", u"CHINESE2312", 0},
        {u"ÄÖÜ Ÿ Ł", u"äöü ÿ ł", 0},  // Latin-1 and Latin Extended-A
        {u"abc", u"abd", -1},
        {u"abd", u"ABC", 1},
        {u"ab", u"abc", -1},
        {u"", u"", 0},
        {u"×", u"÷", -1},  // not letters: no folding
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.a) + " vs " + platform::Utf16ToUtf8(c.b));
        EXPECT_EQ(lstrcmpiW(c.a, c.b), c.expected);
        const int raw = _wcsicmp(c.a, c.b);
        EXPECT_EQ(raw < 0 ? -1 : raw > 0 ? 1 : 0, c.expected);
    }
    EXPECT_EQ(lstrcmpiW(nullptr, u"a"), -1);
    EXPECT_EQ(lstrcmpiW(nullptr, nullptr), 0);
    EXPECT_EQ(_wcsnicmp(u"KoreanX", u"koreanY", 6), 0);
    EXPECT_EQ(_stricmp("Barcode1", "BARCODE1"), 0);
    EXPECT_NE(_strnicmp("Barcode1", "BARCODE2", 8), 0);
    EXPECT_EQ(lstrcmpiA("Japanese", "JAPANESE"), 0);
    EXPECT_EQ(lstrcmpW(u"a", u"A"), 1);  // ordinal: 'a' (0x61) after 'A' (0x41)
    EXPECT_EQ(lstrcmpA("a", "b"), -1);
}

TEST(Strings, CaseMappingAndSearch) {
    EXPECT_EQ(WcharToUpper(u'é'), u'É');
    EXPECT_EQ(WcharToLower(u'Ł'), u'ł');
    EXPECT_EQ(WcharToUpper(u'ÿ'), u'Ÿ');
    EXPECT_EQ(WcharToUpper(u'7'), u'7');
    const char16_t* s = u"c:\\temp\\LBR-KV580\\x.bmp";
    EXPECT_EQ(WcsChr(s, u'\\'), s + 2);
    EXPECT_EQ(WcsRChr(s, u'\\'), s + 17);
    EXPECT_EQ(WcsChr(s, u'#'), nullptr);
    EXPECT_EQ(WcsStr(s, u"KV580"), s + 12);
    EXPECT_EQ(WcsStr(s, u"KV581"), nullptr);
    EXPECT_EQ(WcsNCmp(u"abcX", u"abcY", 3), 0);
    EXPECT_LT(WcsCmp(u"abc", u"abd"), 0);
}

TEST(StringCch, CopyAndTruncation) {
    struct Case {
        const char16_t* src;
        size_t cch;
        HRESULT hr;
        const char16_t* result;
    };
    const Case cases[] = {
        {u"hello", 6, S_OK, u"hello"},
        {u"hello", 10, S_OK, u"hello"},
        {u"hello", 5, STRSAFE_E_INSUFFICIENT_BUFFER, u"hell"},
        {u"hello", 1, STRSAFE_E_INSUFFICIENT_BUFFER, u""},
        {u"", 1, S_OK, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cch);
        char16_t buf[16];
        std::fill(std::begin(buf), std::end(buf), u'#');
        EXPECT_EQ(StringCchCopyW(buf, c.cch, c.src), c.hr);
        EXPECT_EQ(std::u16string(buf), c.result);
        EXPECT_EQ(buf[c.cch], u'#');  // nothing written past the count
    }
    char16_t buf[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(StringCchCopyW(buf, 0, u"a"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(buf[0], u'x');
    EXPECT_EQ(StringCchCopyW(buf, 4, nullptr), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(StringCchCopyW(nullptr, 4, u"a"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchCopyW(buf, STRSAFE_MAX_CCH + 1, u"a"), STRSAFE_E_INVALID_PARAMETER);

    char narrow[6];
    EXPECT_EQ(StringCchCopyA(narrow, sizeof(narrow), "LBR-KV580"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(narrow, "LBR-K");
    EXPECT_EQ(StringCchCopyNA(narrow, sizeof(narrow), "abcdef", 3), S_OK);
    EXPECT_STREQ(narrow, "abc");
    char16_t wide[4];
    EXPECT_EQ(StringCbCopyW(wide, sizeof(wide), u"abc"), S_OK);
    EXPECT_EQ(StringCbCopyW(wide, sizeof(wide), u"abcd"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(wide), u"abc");
    EXPECT_EQ(StringCchCopyNW(wide, 4, u"xy", 10), S_OK);
    EXPECT_EQ(std::u16string(wide), u"xy");
}

TEST(StringCch, Concatenation) {
    char16_t buf[8];
    ASSERT_EQ(StringCchCopyW(buf, 8, u"C:\\"), S_OK);
    EXPECT_EQ(StringCchCatW(buf, 8, u"temp"), S_OK);
    EXPECT_EQ(std::u16string(buf), u"C:\\temp");
    EXPECT_EQ(StringCchCatW(buf, 8, u"\\x"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(buf), u"C:\\temp");  // full: nothing more fits
    char narrow[8] = "ab";
    EXPECT_EQ(StringCchCatA(narrow, 8, "cdefghij"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(narrow, "abcdefg");
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(StringCchCatA(unterminated, 3, "d"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(std::string(unterminated, 3), "abc");
    char bytes[8] = "x";
    EXPECT_EQ(StringCbCatA(bytes, sizeof(bytes), "yz"), S_OK);
    EXPECT_STREQ(bytes, "xyz");
}

TEST(Strings, OldInterfaceCopiesAndNumbers) {
    char16_t buf[16];
    EXPECT_EQ(lstrcpyW(buf, u"LBR"), buf);
    EXPECT_EQ(lstrcatW(buf, u"-KV580"), buf);
    EXPECT_EQ(std::u16string(buf), u"LBR-KV580");
    EXPECT_EQ(lstrcpynW(buf, u"abcdef", 4), buf);
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_EQ(lstrcpyW(buf, nullptr), nullptr);
    char narrow[8];
    lstrcpynA(narrow, "0123456789", sizeof(narrow));
    EXPECT_STREQ(narrow, "0123456");
    lstrcpyA(narrow, "ab");
    EXPECT_STREQ(lstrcatA(narrow, "cd"), "abcd");
    struct Case {
        const char16_t* text;
        int value;
    };
    const Case cases[] = {{u"42", 42},
                          {u"  -17x", -17},
                          {u"+5", 5},
                          {u"", 0},
                          {u"abc", 0},
                          {u"2147483647", INT32_MAX},
                          {u"99999999999", INT32_MAX},
                          {u"-99999999999", INT32_MIN}};
    for (const Case& c : cases) EXPECT_EQ(_wtoi(c.text), c.value);
}

TEST(StringCch, Length) {
    size_t n = 99;
    EXPECT_EQ(StringCchLengthW(u"abc", 10, &n), S_OK);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(StringCchLengthW(u"abc", 3, &n), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(StringCchLengthA(nullptr, 3, &n), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchLengthA("ab", 3, &n), S_OK);
    EXPECT_EQ(n, 2u);
}

TEST(Utf, RoundTripsAndReplacements) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case valid[] = {
        {"", u""},
        {"LBR-KV580", u"LBR-KV580"},
        {"日本語のレシート", u"日本語のレシート"},
        {"한국어 中文 ¥€", u"한국어 中文 ¥€"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},  // outside the BMP: a surrogate pair
    };
    for (const Case& c : valid) {
        EXPECT_EQ(platform::Utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_EQ(platform::Utf16ToUtf8(c.utf16), c.utf8);
    }
    const Case invalid8[] = {
        {"a\xFF"
         "b",
         u"a\uFFFDb"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
        {"\xE6\x97", u"\uFFFD"},                  // cut short
        {"\xE6\x97z", u"\uFFFDz"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
    };
    for (const Case& c : invalid8) EXPECT_EQ(platform::Utf8ToUtf16(c.utf8), c.utf16);
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

}  // namespace
