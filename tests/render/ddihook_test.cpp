// The graphics hooks: forwarding to the host and the image-rectangle list.
#include "plugin_fixture.h"
#include "win32/engine_text.h"
#include "win32/heap.h"

namespace render_test {
namespace {

class DdiHookTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        SetMisc();
        Enable();
    }

    BOOL BitBlt(RECTL* target) {
        return host->HookAs<PFN_DrvBitBlt>(INDEX_DrvBitBlt)(host->surface(), nullptr, nullptr,
                                                            nullptr, nullptr, target, nullptr,
                                                            nullptr, nullptr, nullptr, 0xCCCC);
    }
    BOOL StretchBlt(RECTL* dest) {
        return host->HookAs<PFN_DrvStretchBlt>(INDEX_DrvStretchBlt)(
            host->surface(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, dest, nullptr,
            nullptr, 0);
    }
    BOOL StretchBltROP(RECTL* dest) {
        return host->HookAs<PFN_DrvStretchBltROP>(INDEX_DrvStretchBltROP)(
            host->surface(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, dest, nullptr,
            nullptr, 0, nullptr, 0);
    }
    // A TrueType run on an unreduced page: the hook hands it to the host.
    BOOL TextOut() {
        platform::EngineFontDescription description;
        description.family = u"Arial";
        FONTOBJ* font = platform::CreateEngineFont(description);
        std::u16string text = u"AB";
        STROBJ run{};
        run.cGlyphs = 2;
        run.pwszOrg = text.data();
        const BOOL result = host->HookAs<PFN_DrvTextOut>(INDEX_DrvTextOut)(
            host->surface(), &run, font, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
        platform::DeleteEngineFont(font);
        return result;
    }
    BOOL NextBand() {
        POINTL origin = {0, 0};
        return host->HookAs<PFN_DrvNextBand>(INDEX_DrvNextBand)(host->surface(), &origin);
    }
    BOOL StartBanding() {
        POINTL origin = {0, 0};
        return host->HookAs<PFN_DrvStartBanding>(INDEX_DrvStartBanding)(host->surface(), &origin);
    }
    std::string Rects() {
        return std::string(reinterpret_cast<const char*>(State()->pImgRectBufStart),
                           State()->dwImgRectBufSize);
    }
    static std::string Record(int l, int t, int r, int b) {
        std::string bytes;
        for (int v : {l, t, r, b}) {
            bytes += static_cast<char>(v % 256);
            bytes += static_cast<char>(v / 256);
        }
        return bytes;
    }
};

TEST_F(DdiHookTest, BitBltThenStretchBltEntersOnlyTheStretchBlt) {
    RECTL a = {10, 20, 30, 40};
    RECTL b = {300, 1, 302, 3};
    EXPECT_TRUE(BitBlt(&a));
    EXPECT_EQ(State()->dwImgRectBufSize, 0u);  // held back
    EXPECT_TRUE(StretchBlt(&b));
    EXPECT_EQ(testing_support::ToHex(Rects()), "2C 01 01 00 2E 01 03 00");
    EXPECT_TRUE(NextBand());
    EXPECT_EQ(Rects(), Record(300, 1, 302, 3));
    EXPECT_TRUE(HasLine(NoJobLog(), "OEMStretchBlt : L=300, T=1, R=302, B=3"));
}

TEST_F(DdiHookTest, TwoBitBltsThenBandEndEnterBothInOrder) {
    RECTL a = {1, 2, 3, 4};
    RECTL b = {5, 6, 7, 8};
    BitBlt(&a);
    BitBlt(&b);
    EXPECT_EQ(Rects(), Record(1, 2, 3, 4));
    NextBand();
    EXPECT_EQ(Rects(), Record(1, 2, 3, 4) + Record(5, 6, 7, 8));
    EXPECT_TRUE(HasLine(NoJobLog(), "OEMNextBand : L=5, T=6, R=7, B=8"));
    NextBand();  // nothing held back any more
    EXPECT_EQ(State()->dwImgRectBufSize, 16u);
    EXPECT_TRUE(HasLine(NoJobLog(), "OEMNextBand : L=0, T=0, R=0, B=0"));
}

TEST_F(DdiHookTest, TextOrBandingStartDiscardsAHeldBackBitBlt) {
    RECTL a = {1, 2, 3, 4};
    BitBlt(&a);
    TextOut();
    NextBand();
    EXPECT_EQ(State()->dwImgRectBufSize, 0u);
    BitBlt(&a);
    StartBanding();
    NextBand();
    EXPECT_EQ(State()->dwImgRectBufSize, 0u);
    // A BitBlt without target changes nothing.
    BitBlt(&a);
    BitBlt(nullptr);
    NextBand();
    EXPECT_EQ(Rects(), Record(1, 2, 3, 4));
}

TEST_F(DdiHookTest, StretchBltRopAndNegativeCoordinates) {
    RECTL a = {-1, 65535, 256, 0};
    StretchBltROP(&a);
    EXPECT_EQ(testing_support::ToHex(Rects()), "FF 00 FF FF 00 01 00 00");
    EXPECT_TRUE(HasLine(NoJobLog(), "OEMStretchBltROP : L=-1, T=65535, R=256, B=0"));
}

TEST_F(DdiHookTest, NoMemoryForARectangleDropsTheWholeList) {
    RECTL a = {1, 2, 3, 4};
    StretchBlt(&a);
    StretchBlt(&a);
    EXPECT_EQ(State()->dwImgRectBufSize, 16u);
    platform::FailAllocation(1);
    StretchBlt(&a);
    platform::ResetAllocationFaults();
    EXPECT_EQ(State()->dwImgRectBufSize, 0u);
    EXPECT_EQ(State()->pImgRectBufStart, nullptr);
    StretchBlt(&a);
    EXPECT_EQ(Rects(), Record(1, 2, 3, 4));
}

TEST_F(DdiHookTest, EveryHookButRealizeBrushForwardsToTheHost) {
    SURFOBJ* so = host->surface();
    auto dh = reinterpret_cast<DHPDEV>(host->devobj());
    RECTL r = {0, 0, 1, 1};
    POINTL pt = {0, 0};
    ULONG ul = 0;
    host->hostCalls().clear();
    host->HookAs<PFN_DrvAlphaBlend>(71)(so, nullptr, nullptr, nullptr, &r, &r, nullptr);
    host->HookAs<PFN_DrvCopyBits>(19)(so, nullptr, nullptr, nullptr, &r, &pt);
    host->HookAs<PFN_DrvDitherColor>(13)(dh, 0, 0, &ul);
    host->HookAs<PFN_DrvFillPath>(15)(so, nullptr, nullptr, nullptr, &pt, 0, 0);
    host->HookAs<PFN_DrvFontManagement>(47)(so, nullptr, 0, 0, nullptr, 0, nullptr);
    host->HookAs<PFN_DrvGetGlyphMode>(37)(dh, nullptr);
    host->HookAs<PFN_DrvGradientFill>(68)(so, nullptr, nullptr, nullptr, 0, nullptr, 0, &r, &pt, 0);
    host->HookAs<PFN_DrvLineTo>(31)(so, nullptr, nullptr, 0, 0, 1, 1, &r, 0);
    host->HookAs<PFN_DrvPaint>(17)(so, nullptr, nullptr, &pt, 0);
    host->HookAs<PFN_DrvPlgBlt>(70)(so, nullptr, nullptr, nullptr, nullptr, nullptr, &pt, nullptr,
                                    &r, &pt, 0);
    host->HookAs<PFN_DrvQueryAdvanceWidths>(53)(dh, nullptr, 0, nullptr, nullptr, 0);
    host->HookAs<PFN_DrvQueryFont>(26)(dh, 0, 0, nullptr);
    host->HookAs<PFN_DrvQueryFontData>(28)(dh, nullptr, 0, 0, nullptr, nullptr, 0);
    host->HookAs<PFN_DrvQueryFontTree>(27)(dh, 0, 0, 0, nullptr);
    EXPECT_TRUE(host->HookAs<PFN_DrvRealizeBrush>(12)(nullptr, so, nullptr, nullptr, nullptr, 0));
    host->HookAs<PFN_DrvStrokeAndFillPath>(16)(so, nullptr, nullptr, nullptr, nullptr, nullptr,
                                               nullptr, &pt, 0, 0);
    host->HookAs<PFN_DrvStrokePath>(14)(so, nullptr, nullptr, nullptr, nullptr, &pt, nullptr, 0);
    host->HookAs<PFN_DrvTransparentBlt>(74)(so, nullptr, nullptr, nullptr, &r, &r, 0, 0);
    host->HookAs<PFN_DrvEscape>(24)(so, 0, 0, nullptr, 0, nullptr);
    BitBlt(&r);
    StretchBlt(&r);
    StretchBltROP(&r);
    TextOut();
    StartBanding();
    NextBand();
    host->StartDoc(u"Doc", 7);
    host->StartPage();
    host->SendPage();
    host->EndDoc();
    const std::vector<std::string> expected = {"DrvAlphaBlend",
                                               "DrvCopyBits",
                                               "DrvDitherColor",
                                               "DrvFillPath",
                                               "DrvFontManagement",
                                               "DrvGetGlyphMode",
                                               "DrvGradientFill",
                                               "DrvLineTo",
                                               "DrvPaint",
                                               "DrvPlgBlt",
                                               "DrvQueryAdvanceWidths",
                                               "DrvQueryFont",
                                               "DrvQueryFontData",
                                               "DrvQueryFontTree",
                                               "DrvStrokeAndFillPath",
                                               "DrvStrokePath",
                                               "DrvTransparentBlt",
                                               "DrvEscape",
                                               "DrvBitBlt",
                                               "DrvStretchBlt",
                                               "DrvStretchBltROP",
                                               "DrvTextOut",
                                               "DrvStartBanding",
                                               "DrvNextBand",
                                               "DrvStartDoc",
                                               "DrvStartPage",
                                               "DrvSendPage",
                                               "DrvEndDoc"};
    EXPECT_EQ(host->hostCalls(), expected);
}

TEST_F(DdiHookTest, HooksWithoutADeviceStateFailQuietly) {
    SURFOBJ bare = {};
    RECTL r = {1, 1, 2, 2};
    EXPECT_FALSE(host->HookAs<PFN_DrvStretchBlt>(20)(&bare, nullptr, nullptr, nullptr, nullptr,
                                                     nullptr, nullptr, &r, nullptr, nullptr, 0));
    EXPECT_FALSE(host->HookAs<PFN_DrvStartPage>(33)(nullptr));
    EXPECT_EQ(host->HookAs<PFN_DrvEscape>(24)(&bare, 0, 0, nullptr, 0, nullptr), 0u);
}

TEST_F(DdiHookTest, JobHooksLog) {
    host->StartDoc(u"Receipt \u00e9", 42);
    EXPECT_EQ(State()->dwJobId, 42u);
    host->StartPage();
    host->SendPage();
    host->EndDoc();
    const std::string log = testing_support::ReadFile(LogFile(JobPart(42)));
    for (const char* line :
         {"OEMStartDoc : START", "OEMStartDoc : dwJobId = 42",
          "OEMStartDoc : szDocName = Receipt \xe9", "", "OEMStartPage CALLED, m_pfnDrvStartPage",
          "OEMSendPage : STYPE_BITMAP", "OEMEndDoc : START", "OEMEndDoc : pOemPDEV->dwJobId = 42",
          "CommandCallback : START, CallBack ID = 1"}) {
        EXPECT_TRUE(HasLine(log, line)) << line;
    }
    const std::string wide = testing_support::ReadFile(LogFile(JobPart(42), true));
    ASSERT_GE(wide.size(), 2u);
    EXPECT_EQ(wide.substr(0, 2), "\xFF\xFE");
    std::u16string text((wide.size() - 2) / 2, u'\0');
    std::memcpy(text.data(), wide.data() + 2, text.size() * 2);
    for (const char16_t* line : {u"06:45:00:000: OEMStartDoc:  START \r\n",
                                 u"06:45:00:000: OEMStartDoc:  dwJobId = 42 \r\n",
                                 u"06:45:00:000: OEMStartDoc:  pwszDocName = Receipt \u00e9 \r\n",
                                 u"06:45:00:000: OEMSendPage: pOemPDEV->dwJobId = 42 \r\n",
                                 u"06:45:00:000: OEMEndDoc : pOemPDEV->dwJobId = 42 \r\n"}) {
        EXPECT_NE(text.find(line), std::u16string::npos);
    }
    EXPECT_EQ(text.find(u"\uFEFF"), std::u16string::npos);  // one byte-order mark only
}

}  // namespace
}  // namespace render_test
