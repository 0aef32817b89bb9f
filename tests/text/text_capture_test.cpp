// Text capture: the record writer, the readers, the font height, the routing of OEMTextOut
// and the code-page helpers.
#include <cstring>

#include "log_stub.h"
#include "plugin/module_state.h"
#include "test_support.h"
#include "text/device_fonts.h"
#include "text_fixture.h"
#include "win32/codepage.h"

using testing_support::FromHex;
using namespace text_test;

namespace {

TEST(FontHeight, FromTransformAndUnitsPerEm) {
    TextDevice d;
    EXPECT_EQ(GetFontHeight(d.Font(u"Arial", 24, false)), 24u);
    EXPECT_EQ(GetFontHeight(d.Font(u"Arial", 300, false)), 300u);
    EXPECT_EQ(GetFontHeight(nullptr), 0xFFFFFFFFu);
    FONTOBJ foreign{};  // not made by the engine
    EXPECT_EQ(GetFontHeight(&foreign), 0u);
}

TEST(AddFontDataToBuf, WritesTheHeaderAndBothFields) {
    TextDevice d;
    FONTOBJ* font = d.Font(u"Arial", 24, false, /*italic=*/true);
    StrRun run(u"x", 0x0102, 0x0304);
    const BYTE a[] = {0xAA, 0xBB};
    const BYTE b[] = {0xCC};
    ASSERT_TRUE(
        AddFontDataToBuf(d.surface(), &run.str, font, FTYPE_DEVICE_FONT, 0x0506, a, 2, b, 1));
    ASSERT_EQ(d.state().dwTxtBufSize, 24u);
    EXPECT_EQ(Bytes(d.state().pTxtBufStart, 24),
              FromHex("01 0605 00 00 00 BC02 01 01 00 81 31 0201 0403 0200 0100 AABB CC"));
    EXPECT_EQ(d.state().dwBottomTxtCoordinate, 0x0506u + 0x0304u);
}

TEST(AddFontDataToBuf, CoordinatesOutsideTheRecordRangeAreClamped) {
    struct Case {
        LONG x, y;
        int storedX, storedY;
    };
    for (const Case& c :
         {Case{-5, -1, 0, 0}, Case{70000, 65536, 65535, 65535}, Case{65535, 12, 65535, 12}}) {
        TextDevice d;
        StrRun run(u"x", c.x, c.y);
        ASSERT_TRUE(AddFontDataToBuf(d.surface(), &run.str, nullptr, FTYPE_DEVICE_FONT, 1, nullptr,
                                     0, nullptr, 0));
        EXPECT_EQ(TxtRecWord(d.state().pTxtBufStart, kTxtRecX), c.storedX) << c.x;
        EXPECT_EQ(TxtRecWord(d.state().pTxtBufStart, kTxtRecY), c.storedY) << c.y;
    }
}

TEST(AddFontDataToBuf, FailedAllocationKeepsTheRecordsAlreadyStored) {
    TextDevice d;
    StrRun run(u"x", 0, 10);
    ASSERT_TRUE(AddFontDataToBuf(d.surface(), &run.str, nullptr, 1, 1, nullptr, 0, nullptr, 0));
    const std::string before = Bytes(d.state().pTxtBufStart, d.state().dwTxtBufSize);
    platform::FailAllocation(1);
    EXPECT_FALSE(AddFontDataToBuf(d.surface(), &run.str, nullptr, 1, 1, nullptr, 0, nullptr, 0));
    platform::ResetAllocationFaults();
    EXPECT_EQ(Bytes(d.state().pTxtBufStart, d.state().dwTxtBufSize), before);
    // A field the 16-bit length cannot describe is refused.
    std::vector<BYTE> big(70000);
    EXPECT_FALSE(
        AddFontDataToBuf(d.surface(), &run.str, nullptr, 1, 1, big.data(), 70000, nullptr, 0));
    EXPECT_EQ(d.state().dwTxtBufSize, before.size());
}

TEST(ExtractDevFontsInfo, OrdersByYAndKeepsArrivalOrderForEqualY) {
    TextDevice d;
    int tag = 0;
    for (LONG y : {40, 10, 40, 20}) {
        StrRun run(u"x", 0, y);
        const BYTE a[] = {static_cast<BYTE>(++tag)};
        ASSERT_TRUE(AddFontDataToBuf(d.surface(), &run.str, nullptr, FTYPE_DEVICE_FONT, 24, a, 1,
                                     nullptr, 0));
    }
    DWORD pos = 0, x = 0, y = 0;
    while (pos < d.state().dwTxtBufSize) {
        const DWORD last = ExtractFontInfoFromBuf(&d.state(), pos, nullptr, &x, &y, nullptr);
        ASSERT_NE(last, 0u);
        pos = last + 1;
    }
    EXPECT_EQ(d.Records(true),
              (std::vector<std::pair<int, int>>{{1, 10}, {1, 20}, {1, 40}, {1, 40}}));
    // Field A carries the arrival tag: 40 (first) is tag 1, 40 (second) tag 3.
    const BYTE* p = d.state().pDevTxtBufStart;
    EXPECT_EQ(p[kTxtRecHeaderSize], 2);
    EXPECT_EQ(p[2 * 22 + kTxtRecHeaderSize], 1);
    EXPECT_EQ(p[3 * 22 + kTxtRecHeaderSize], 3);
}

TEST(ExtractFontInfoFromBuf, StopsAtAnUnknownTypeAndAtATruncatedRecord) {
    TextDevice d;
    StrRun run(u"x", 0, 5);
    ASSERT_TRUE(AddFontDataToBuf(d.surface(), &run.str, nullptr, FTYPE_DEVICE_FONT, 1, nullptr, 0,
                                 nullptr, 0));
    ASSERT_TRUE(AddFontDataToBuf(d.surface(), &run.str, nullptr, 7, 1, nullptr, 0, nullptr, 0));
    DWORD y = 0;
    EXPECT_EQ(ExtractFontInfoFromBuf(&d.state(), 0, nullptr, nullptr, &y, nullptr), 20u);
    EXPECT_EQ(ExtractFontInfoFromBuf(&d.state(), 21, nullptr, nullptr, &y, nullptr), 0u);
    EXPECT_TRUE(LogHas("ExtractFontInfoFromBuf : FTYPE_UNKNOWN. (7)"));
    EXPECT_EQ(d.Records(true).size(), 1u);
    // A record whose lengths run past the end of the buffer is not read.
    d.state().pTxtBufStart[kTxtRecLengthB] = 0xFF;
    EXPECT_EQ(ExtractFontInfoFromBuf(&d.state(), 0, nullptr, nullptr, &y, nullptr), 0u);
    EXPECT_EQ(ExtractFontInfoFromBuf(&d.state(), 4000, nullptr, nullptr, &y, nullptr), 0u);
}

TEST(ExtractTTFInfo, RebuildsTheFontPositionAndText) {
    struct Case {
        std::u16string family;
        std::u16string face;
    };
    const std::u16string f20(20, u'a'), f40(40, u'b'), f300(300, u'c');
    for (const Case& c :
         {Case{f20, f20}, Case{f40, f40.substr(0, 31)}, Case{f300, f300.substr(0, 31)}}) {
        TextDevice d;
        d.settings()[38] = 1;
        d.settings()[40] = 2;  // 50 %
        StrRun run(u"Total", 30, 120);
        ASSERT_TRUE(AddTtfFontInfoToBuf(d.surface(), &run.str, d.Font(c.family, 24, false, true)));
        EXPECT_EQ(TxtRecWord(d.state().pTxtBufStart, kTxtRecLengthA), 2 * c.family.size() + 1);
        EXPECT_EQ(TxtRecWord(d.state().pTxtBufStart, kTxtRecLengthB), 11);
        LOGFONTW lf{};
        lf.lfQuality = 3;
        DWORD x = 0, y = 0;
        WCHAR text[4096] = {};
        const DWORD last = ExtractFontInfoFromBuf(&d.state(), 0, &lf, &x, &y, text);
        EXPECT_EQ(last, d.state().dwTxtBufSize - 1);
        EXPECT_EQ(lf.lfHeight, -24);
        EXPECT_EQ(lf.lfWeight, 700);
        EXPECT_EQ(lf.lfItalic, 1);
        EXPECT_EQ(lf.lfUnderline, 1);
        EXPECT_EQ(lf.lfStrikeOut, 0);
        EXPECT_EQ(lf.lfCharSet, 0x81);
        EXPECT_EQ(lf.lfPitchAndFamily, 0x31);
        EXPECT_EQ(lf.lfQuality, 3);  // the caller's value stays
        EXPECT_EQ(std::u16string(lf.lfFaceName), c.face);
        EXPECT_EQ(x, 30u);
        EXPECT_EQ(y, 120u);
        EXPECT_EQ(std::u16string(text), u"Total");
        EXPECT_EQ(d.state().dwLastTxt_PosY, 120u);
        EXPECT_EQ(d.state().dwLastTxt_Height, 24u);
        EXPECT_TRUE(d.Records(true).empty());
    }
}

TEST(AddTtfFontInfoToBuf, ARunLongerThanThePipelineBufferKeepsItsFirst4095Characters) {
    TextDevice d;
    std::u16string text(5000, u'x');
    text[4094] = u'Y';
    StrRun run(text, 0, 0);
    ASSERT_TRUE(AddTtfFontInfoToBuf(d.surface(), &run.str, d.Font(u"Arial", 20, false)));
    EXPECT_EQ(TxtRecWord(d.state().pTxtBufStart, kTxtRecLengthB), 2 * 4095 + 1);
    std::vector<WCHAR> out(kTxtTrueTypeTextBufBytes / 2, 0);
    ASSERT_NE(ExtractFontInfoFromBuf(&d.state(), 0, nullptr, nullptr, nullptr, out.data()), 0u);
    std::u16string read(out.data());
    EXPECT_EQ(read.size(), 4095u);
    EXPECT_EQ(read.back(), u'Y');
}

TEST(AddTtfFontInfoToBuf, EmptyAndGlyphOnlyRunsLeaveNoRecord) {
    TextDevice d;
    FONTOBJ* font = d.Font(u"Arial", 20, false);
    StrRun empty(u"", 0, 0);
    EXPECT_FALSE(AddTtfFontInfoToBuf(d.surface(), &empty.str, font));
    StrRun glyphs(u"ab", 0, 0);
    glyphs.str.pwszOrg = nullptr;
    EXPECT_FALSE(AddTtfFontInfoToBuf(d.surface(), &glyphs.str, font));
    EXPECT_EQ(d.state().pTxtBufStart, nullptr);
}

// ---- OEMTextOut routing ------------------------------------------------------------------------

struct RouteCase {
    const char* name;
    BYTE reduce;      // settings byte 38
    BYTE choice;      // settings byte 40
    BYTE landscape;   // settings byte 42
    bool device;      // device font
    bool glyphsOnly;  // no Unicode string
    bool toHost;      // the run goes to the host's DrvTextOut
    int recordType;   // type of the stored record, 0 for none
};

TEST(OEMTextOut, RoutesEveryRunByFontPageAndText) {
    const RouteCase cases[] = {
        {"truetype at rate 1.0", 0, 0, 0, false, false, true, 0},
        {"device font at rate 1.0", 0, 0, 0, true, false, false, FTYPE_DEVICE_FONT},
        {"truetype on a reduced page", 1, 1, 0, false, false, false, FTYPE_TRUETYPE},
        {"device font on a reduced page", 1, 1, 0, true, false, false, FTYPE_TRUETYPE},
        {"landscape device font", 0, 0, 1, true, false, true, 0},
        {"landscape reduced truetype", 1, 2, 1, false, false, true, 0},
        {"glyph indices only, reduced", 1, 3, 0, false, true, true, 0},
        {"glyph indices only, device font", 0, 0, 0, true, true, true, 0},
    };
    for (const RouteCase& c : cases) {
        TextDevice d;
        d.settings()[38] = c.reduce;
        d.settings()[40] = c.choice;
        d.settings()[42] = c.landscape;
        StrRun run(u"AB", 100, 50);
        if (c.glyphsOnly) run.str.pwszOrg = nullptr;
        FONTOBJ* font = d.Font(c.device ? u"FontA1x1" : u"Arial", 24, c.device);
        const BOOL result = OEMTextOut(d.surface(), &run.str, font, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, 0);
        EXPECT_EQ(g_hostTextOutCalls, c.toHost ? 1 : 0) << c.name;
        EXPECT_EQ(result, c.toHost ? TRUE : FALSE) << c.name;
        if (c.recordType == 0) {
            EXPECT_EQ(d.state().pTxtBufStart, nullptr) << c.name;
        } else {
            ASSERT_NE(d.state().pTxtBufStart, nullptr) << c.name;
            EXPECT_EQ(d.state().pTxtBufStart[0], c.recordType) << c.name;
        }
    }
}

TEST(OEMTextOut, MissingObjectsAndForeignSurfacesFailSafely) {
    TextDevice d;
    StrRun run(u"AB", 0, 0);
    FONTOBJ* font = d.Font(u"Arial", 24, false);
    EXPECT_FALSE(OEMTextOut(d.surface(), nullptr, font, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, 0));
    EXPECT_FALSE(OEMTextOut(d.surface(), &run.str, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, 0));
    EXPECT_FALSE(OEMTextOut(nullptr, &run.str, font, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, 0));
    EXPECT_EQ(g_hostTextOutCalls, 0);
}

TEST(OEMTextOut, ClearsThePendingBitmap) {
    TextDevice d;
    g_rcPendingBitmap = {1, 2, 3, 4};
    StrRun run(u"AB", 0, 0);
    OEMTextOut(d.surface(), &run.str, d.Font(u"Arial", 24, false), nullptr, nullptr, nullptr,
               nullptr, nullptr, nullptr, 0);
    EXPECT_TRUE(IsPendingBitmapEmpty());
}

TEST(ReduceRate, FreeChoiceIsClampedByTheHookAndAgainByTheDispatcher) {
    TextDevice d;
    d.settings()[38] = 1;
    d.settings()[40] = 4;
    d.settings()[41] = 5;
    EXPECT_FLOAT_EQ(GetTextReduceRate(&d.state(), 10), 0.10f);
    EXPECT_EQ(d.settings()[41], 10);
    StrRun run(u"AB", 0, 0);
    OEMTextOut(d.surface(), &run.str, d.Font(u"FontA1x1", 24, true), nullptr, nullptr, nullptr,
               nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(d.settings()[41], 25);
    d.settings()[41] = 250;
    EXPECT_FLOAT_EQ(GetTextReduceRate(&d.state(), 10), 1.0f);
    EXPECT_EQ(d.settings()[41], 100);
    d.settings()[40] = 9;
    EXPECT_FLOAT_EQ(GetTextReduceRate(&d.state(), 10), 1.0f);
}

// ---- Code pages ------------------------------------------------------------------------------

TEST(WideToCodePage, CountsTheTerminatorAndRefusesWhatDoesNotFit) {
    char out[8];
    std::memset(out, 'z', sizeof(out));
    EXPECT_EQ(WideToCodePage(u"AB", out, sizeof(out), CP_ACP), 3u);
    EXPECT_EQ(std::string(out), "AB");
    EXPECT_EQ(out[7], 0);                                             // zeroed first
    EXPECT_EQ(WideToCodePage(u"\uD55C", out, sizeof(out), 949), 3u);  // Hangul "han"
    EXPECT_EQ(testing_support::ToHex(std::string(out, 2)), "C7 D1");
    EXPECT_EQ(WideToCodePage(u"ABCDEFGH", out, sizeof(out), CP_ACP), 0u);
    EXPECT_EQ(WideToCodePage(nullptr, out, sizeof(out), CP_ACP), 0u);
}

TEST(Utf8ToWide, TakesAtMost256Characters) {
    WCHAR out[kUtf8ToWideChars];
    EXPECT_EQ(Utf8ToWide("K\xC3\xA4se", out), 5u);
    EXPECT_EQ(std::u16string(out), u"K\u00E4se");
    EXPECT_EQ(Utf8ToWide(std::string(255, 'a').c_str(), out), 256u);
    EXPECT_EQ(Utf8ToWide(std::string(256, 'a').c_str(), out), 0u);
    EXPECT_EQ(out[0], 0);
}

}  // namespace
