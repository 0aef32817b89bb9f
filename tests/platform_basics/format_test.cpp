// printf-style formatting: conversions, widths, both string widths, truncation.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "win32/strings.h"

namespace {

std::string A(const char* fmt, auto... args) {
    return platform::FormatString(fmt, args...);
}
std::u16string W(const char16_t* fmt, auto... args) {
    return platform::FormatWString(fmt, args...);
}

TEST(Format, IntegersTable) {
    struct Case {
        std::string got;
        const char* expected;
    };
    const Case cases[] = {
        {A("%d", 42), "42"},
        {A("%d", -42), "-42"},
        {A("%i", INT32_MIN), "-2147483648"},
        {A("%u", 4294967295u), "4294967295"},
        {A("%u", static_cast<DWORD>(-1)), "4294967295"},
        {A("%x", 0xBEEFu), "beef"},
        {A("%X", 0xBEEFu), "BEEF"},
        {A("%02x", 0x7u), "07"},
        {A("%08x", 0x80004005u), "80004005"},
        {A("%04x", 0x1Bu), "001b"},
        {A("%02u%02u%02u_%02u%02u%02u.jnl", 2017u, 5u, 10u, 6u, 45u, 27u), "20170510_064527.jnl"},
        {A("_%05u", 42u), "_00042"},
        {A("%02u:%02u:%02u:%03u: ", 6u, 5u, 4u, 3u), "06:05:04:003: "},
        {A("%-10d|", 7), "7         |"},
        {A("%5d|", -7), "   -7|"},
        {A("%05d", -7), "-0007"},
        {A("%+d % d", 5, 5), "+5  5"},
        {A("%.3d", 7), "007"},
        {A("%.0d", 0), ""},
        {A("%#x %#o", 255u, 8u), "0xff 010"},
        {A("%ld %lu %lx", LONG{-1}, ULONG{7}, ULONG{0xABCDEF01}), "-1 7 abcdef01"},
        {A("%lld %llu", -5000000000LL, 18446744073709551615ULL),
         "-5000000000 18446744073709551615"},
        {A("%I64d %I64x", -1LL, 0x1122334455667788ULL), "-1 1122334455667788"},
        {A("%zu", size_t{123}), "123"},
        {A("%hd %hu", 70000, 70000), "4464 4464"},
        {A("%*d|%-*d|", 4, 1, 3, 2), "   1|2  |"},
        {A("%.1f", 0.75), "0.8"},
        {A("%6.2f", 3.14159), "  3.14"},
        {A("%c%c", 'O', 'K'), "OK"},
        {A("100%%"), "100%"},
        {A("%p", reinterpret_cast<void*>(0x1234)), "0000000000001234"},
        {A("%q"), "%q"},  // unknown: kept
        {A("tail %"), "tail %"},
        {A("%n"), "%n"},  // never writes through an argument
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(Format, StringsOfBothWidths) {
    const char16_t* wide = u"日本語";
    struct Case {
        std::string got;
        const char* expected;
    };
    const Case narrow[] = {
        {A("OEMStartDoc : szDocName = %s", "receipt"), "OEMStartDoc : szDocName = receipt"},
        {A("pwszDocName = %ws", wide), "pwszDocName = 日本語"},
        {A("%ls|%S", u"a", u"b"), "a|b"},
        {A("%hs", "c"), "c"},
        {A("[%6s][%-6s]", "ab", "ab"), "[    ab][ab    ]"},
        {A("[%.2s][%.2ws]", "abcd", u"wxyz"), "[ab][wx]"},
        {A("%s %ws", static_cast<const char*>(nullptr), static_cast<const char16_t*>(nullptr)),
         "(null) (null)"},
        {A("%C", u'é'), "é"},
        {A("%wc", u'語'), "語"},
    };
    for (const Case& c : narrow) EXPECT_EQ(c.got, c.expected);

    EXPECT_EQ(W(u"%s / %ws", u"wide", u"also wide"), u"wide / also wide");
    EXPECT_EQ(W(u"%S|%hs", "narrow", "日本"), u"narrow|日本");
    EXPECT_EQ(W(u"%d:%02x:%c:%C", -3, 10u, u'語', 'z'), u"-3:0a:語:z");
    EXPECT_EQ(W(u"PrintDriverInformation : dwIndex =  %d", 2),
              u"PrintDriverInformation : dwIndex =  2");
    EXPECT_EQ(W(u"%5s|%-5s|", u"ab", u"cd"), u"   ab|cd   |");
}

TEST(Format, StringCchPrintfTruncatesToATerminatedPrefix) {
    char buf[8];
    EXPECT_EQ(StringCchPrintfA(buf, sizeof(buf), "%d-%s", 12, "ab"), S_OK);
    EXPECT_STREQ(buf, "12-ab");
    EXPECT_EQ(StringCchPrintfA(buf, sizeof(buf), "%s", "0123456789"),
              STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buf, "0123456");
    EXPECT_EQ(StringCchPrintfA(buf, 8, "1234567"), S_OK);  // exactly fits
    EXPECT_EQ(StringCchPrintfA(buf, 0, "x"), STRSAFE_E_INVALID_PARAMETER);

    char16_t wide[5];
    EXPECT_EQ(StringCchPrintfW(wide, 5, u"%ws%d", u"ab", 1234), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(wide), u"ab12");
    EXPECT_EQ(StringCbPrintfW(wide, sizeof(wide), u"%d", 7), S_OK);
    EXPECT_EQ(std::u16string(wide), u"7");
    EXPECT_EQ(StringCbPrintfA(buf, 3, "%s", "abc"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buf, "ab");
}

TEST(Format, SnprintfStyleResult) {
    char buf[6];
    EXPECT_EQ(FormatA(buf, sizeof(buf), "%d", 12345), 5);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(FormatA(buf, sizeof(buf), "%d", 123456), -1);
    EXPECT_STREQ(buf, "12345");  // terminated, unlike the old _snprintf
    EXPECT_EQ(FormatA(buf, 0, "x"), -1);
    char16_t wide[4];
    EXPECT_EQ(FormatW(wide, 4, u"%s", u"abc"), 3);
    EXPECT_EQ(FormatW(wide, 4, u"%s", u"abcd"), -1);
    EXPECT_EQ(std::u16string(wide), u"abc");
}

// A caller of the v-forms, as a log function would be.
HRESULT LogLine(char* dst, size_t cch, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const HRESULT hr = StringCchVPrintfA(dst, cch, fmt, args);
    va_end(args);
    return hr;
}

TEST(Format, VariadicForwarding) {
    char buf[64];
    EXPECT_EQ(LogLine(buf, sizeof(buf), "AddPrintDataTobeSent : LocalAlloc failed (%d)", 8), S_OK);
    EXPECT_STREQ(buf, "AddPrintDataTobeSent : LocalAlloc failed (8)");
    char big[1100];
    EXPECT_EQ(wsprintfA(big, "%s=%d", "n", 5), 3);
    EXPECT_STREQ(big, "n=5");
    std::string longText(2000, 'x');
    EXPECT_EQ(wsprintfA(big, "%s", longText.c_str()), 1023);  // wsprintf's 1024-character limit
    char16_t wbig[1100];
    EXPECT_EQ(wsprintfW(wbig, u"%s-%d", u"w", 1), 3);
    EXPECT_EQ(std::u16string(wbig), u"w-1");
}

}  // namespace
