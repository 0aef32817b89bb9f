// Text drawing into an image through the platform's GDI text.
#include "page_fixture.h"
#include "win32/wingdi.h"

namespace page_test {
namespace {

LOGFONTW Font(LONG height, bool italic = false) {
    LOGFONTW lf = {};
    lf.lfHeight = height;
    lf.lfWeight = FW_NORMAL;
    lf.lfItalic = italic ? 1 : 0;
    const char16_t face[] = u"DejaVu Sans";
    for (size_t i = 0; i < sizeof(face) / sizeof(face[0]); ++i) lf.lfFaceName[i] = face[i];
    return lf;
}

SIZE Extent(const LOGFONTW& lf, const char16_t* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPointW(dc, text, static_cast<int>(std::u16string(text).size()), &size);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return size;
}

// Bounding box of the black dots: left, top, right, bottom (inclusive); -1s when none.
std::array<long, 4> InkBox(const CxImage& image) {
    std::array<long, 4> box = {-1, -1, -1, -1};
    for (long y = 0; y < static_cast<long>(image.GetHeight()); ++y) {
        for (long x = 0; x < static_cast<long>(image.GetWidth()); ++x) {
            if (image.GetPixelColor(x, y).rgbRed < 128) {
                if (box[0] < 0 || x < box[0]) box[0] = x;
                if (box[1] < 0) box[1] = y;
                box[2] = std::max(box[2], x);
                box[3] = y;
            }
        }
    }
    return box;
}

class TextDrawTest : public PageTest {};

TEST_F(TextDrawTest, ScaledTextIsDrawnAtTheScaledPlace) {
    CxImage image;
    MakeMono(image, 300, 100, [](DWORD, DWORD) { return false; });
    const SIZE extent = Extent(Font(-11), u"Hg");
    const DWORD below = image.DrawString(101, 40, u"Hg", Font(-24), 0.5f, 0);
    EXPECT_EQ(below, 20u + static_cast<DWORD>(extent.cy));
    const auto box = InkBox(image);
    ASSERT_GE(box[0], 51);
    EXPECT_GE(box[1], 20);
    EXPECT_LE(box[2], 51 + extent.cx);
    EXPECT_LT(box[3], 20 + extent.cy);
}

TEST_F(TextDrawTest, DotsOnlyAddBlackAndOutsideDotsAreDropped) {
    CxImage image;
    MakeMono(image, 40, 40, [](DWORD x, DWORD) { return x == 0; });
    image.DrawString(30, 5, u"WWWW", Font(-20), 1.0f, 0);
    EXPECT_EQ(image.GetWidth(), 40u);  // no widening without a quarter turn
    for (long y = 0; y < 40; ++y) EXPECT_LT(image.GetPixelColor(0, y).rgbRed, 128);
    EXPECT_NE(InkBox(image)[2], 0);
}

TEST_F(TextDrawTest, QuarterTurnWidensThePageForWideText) {
    const LOGFONTW lf = Font(-40);
    const char16_t* text = u"WIDE TEXT THAT IS LONGER THAN THE PAGE";
    const SIZE extent = Extent(lf, text);
    ASSERT_GT(extent.cx, 476);
    CxImage image;
    MakeMono(image, 576, 60, [](DWORD, DWORD) { return false; });
    image.DrawString(100, 0, text, lf, 1.0f, 1);
    EXPECT_EQ(image.GetWidth(), static_cast<DWORD>(100 + extent.cx));
    // Text narrower than the page is never widened for, even when it runs past the edge.
    CxImage narrow;
    MakeMono(narrow, 576, 60, [](DWORD, DWORD) { return false; });
    narrow.DrawString(500, 0, u"WWWWWW", lf, 1.0f, 3);
    EXPECT_EQ(narrow.GetWidth(), 576u);
}

TEST_F(TextDrawTest, EmptyTextReturnsTheRowBelowItsLineHeight) {
    CxImage image;
    MakeMono(image, 100, 100, [](DWORD, DWORD) { return false; });
    const SIZE extent = Extent(Font(-20), u"");
    EXPECT_EQ(image.DrawString(0, 10, u"", Font(-20), 1.0f, 0),
              10u + static_cast<DWORD>(extent.cy));
    EXPECT_EQ(InkBox(image)[0], -1);
    CxImage empty;
    EXPECT_EQ(empty.DrawString(0, 10, u"A", Font(-20), 1.0f, 0), 0u);
}

TEST_F(TextDrawTest, ItalicTextPictureIsWiderByItsHeight) {
    // An italic run's dots may lean past the advance width, but stay inside width + height.
    const SIZE extent = Extent(Font(-30, true), u"fff");
    CxImage image;
    MakeMono(image, 300, 60, [](DWORD, DWORD) { return false; });
    image.DrawString(0, 0, u"fff", Font(-30, true), 1.0f, 0);
    const auto box = InkBox(image);
    ASSERT_GE(box[0], 0);
    EXPECT_LT(box[2], extent.cx + extent.cy);
}

TEST_F(TextDrawTest, LoadFromBitmapHandleDeliversTheBottomRowFirst) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, 16, 4);
    HGDIOBJ old = SelectObject(dc, bmp);
    PatBlt(dc, 0, 0, 16, 4, BLACKNESS);
    PatBlt(dc, 0, 0, 16, 1, WHITENESS);  // top row white
    SelectObject(dc, old);
    CxImage image;
    ASSERT_TRUE(image.LoadFromBitmapHandle(bmp));
    EXPECT_EQ(image.GetWidth(), 16u);
    EXPECT_EQ(image.GetHeight(), 4u);
    EXPECT_EQ(image.GetBpp(), 1);
    EXPECT_EQ(image.GetPixelColor(3, 3).rgbBlue, 255);  // row 3 = the bitmap's top row
    EXPECT_EQ(image.GetPixelColor(3, 0).rgbBlue, 0);
    DeleteObject(bmp);
    DeleteDC(dc);
    EXPECT_FALSE(image.LoadFromBitmapHandle(nullptr));
    EXPECT_FALSE(image.IsValid());
}

}  // namespace
}  // namespace page_test
