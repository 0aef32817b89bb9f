// Tone and bit depth: brightness, lookup tables, the dithering methods and DecreaseBpp.

#include <gtest/gtest.h>

#include <functional>

#include "image_test_util.h"
#include "win32/heap.h"
#include "ximage.h"

using namespace image_test;
using Rows = std::vector<std::vector<int>>;

namespace {

// A uniform 8-bpp grey image of w x h at level.
void Uniform(CxImage& img, DWORD w, DWORD h, int level) {
    ASSERT_NE(img.Create(w, h, 8), nullptr);
    img.SetGreyPalette();
    for (DWORD y = 0; y < h; ++y) {
        for (DWORD x = 0; x < w; ++x) img.SetPixelIndex(x, y, static_cast<BYTE>(level));
    }
}

// 1 for a white pixel, 0 for black, checking the output palette on the way.
Rows BlackWhite(const CxImage& img) {
    EXPECT_EQ(img.GetBpp(), 1);
    EXPECT_TRUE(Same(img.GetPaletteColor(0), Rgb(0, 0, 0)));
    EXPECT_TRUE(Same(img.GetPaletteColor(1), Rgb(255, 255, 255)));
    return Indexes(img);
}

// ---- Brightness and lookup tables -------------------------------------------------------

TEST(Brightness, GreyLevelsMove) {
    struct Case {
        long offset;
        std::vector<int> expected;  // for levels 0, 1, 100, 200, 254, 255
    };
    const Case cases[] = {
        {0, {0, 1, 100, 200, 254, 255}},  {100, {0, 101, 200, 255, 255, 255}},
        {-100, {0, 0, 0, 100, 154, 255}}, {1000, {0, 255, 255, 255, 255, 255}},
        {-1000, {0, 0, 0, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        CxImage img;
        Fill(img, 8, {{0, 1, 100, 200, 254, 255}});
        img.SetGreyPalette();
        ASSERT_TRUE(img.AdjustBrightness(c.offset));
        EXPECT_TRUE(img.IsGreyScale());  // pixels remapped, palette the identity ramp again
        EXPECT_EQ(Indexes(img), (Rows{c.expected}));
    }
}

TEST(Brightness, PaletteAndTrueColourImages) {
    // A black/white page never changes.
    CxImage mono;
    Fill(mono, 1, {{0, 1}});
    mono.SetStandardPalette();
    ASSERT_TRUE(mono.AdjustBrightness(-50));
    EXPECT_TRUE(Same(mono.GetPaletteColor(0), Rgb(0, 0, 0)));
    EXPECT_TRUE(Same(mono.GetPaletteColor(1), Rgb(255, 255, 255)));

    // A colour palette changes entry by entry; the pixels stay.
    CxImage pal;
    Fill(pal, 8, {{3, 4}});
    const RGBQUAD entries[5] = {Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(0, 0, 0), RGBQUAD{10, 20, 30, 7},
                                Rgb(255, 0, 128)};
    pal.SetPalette(entries, 5);
    ASSERT_TRUE(pal.AdjustBrightness(100));
    EXPECT_EQ(Indexes(pal), (Rows{{3, 4}}));
    EXPECT_TRUE(Same(pal.GetPaletteColor(3), (RGBQUAD{110, 120, 130, 7})));  // reserved kept
    EXPECT_TRUE(Same(pal.GetPaletteColor(4), Rgb(255, 0, 228)));

    // 24 bpp: every byte of the pixel area.
    CxImage rgb;
    ASSERT_NE(rgb.Create(2, 1, 24), nullptr);
    rgb.SetPixelColor(0, 0, Rgb(1, 50, 255));
    rgb.SetPixelColor(1, 0, Rgb(0, 200, 100));
    ASSERT_TRUE(rgb.AdjustBrightness(-20));
    EXPECT_TRUE(Same(rgb.GetPixelColor(0, 0), Rgb(0, 30, 255)));
    EXPECT_TRUE(Same(rgb.GetPixelColor(1, 0), Rgb(0, 180, 80)));
    EXPECT_EQ(rgb.GetRow(0)[6], 0);  // padding 0 stays 0

    CxImage empty;
    EXPECT_FALSE(empty.AdjustBrightness(10));
    EXPECT_FALSE(rgb.ApplyLookupTable(nullptr));
}

// ---- The reference diffusion, written out with the guarded pixel calls ---------------

struct Share {
    int dx, dy, weight;
};

Rows ReferenceDiffusion(CxImage& grey, const std::vector<Share>& shares, int divisor) {
    const long w = grey.GetWidth(), h = grey.GetHeight();
    Rows out(h, std::vector<int>(w));
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) {
            const int level = grey.GetPixelIndex(x, y);
            int error;
            if (level > 128) {
                out[y][x] = 1;
                error = level - 255;
            } else {
                error = level;
            }
            for (const Share& s : shares) {
                int v = grey.GetPixelIndex(x + s.dx, y + s.dy) + error * s.weight / divisor;
                v = v < 0 ? 0 : (v > 255 ? 255 : v);
                grey.SetPixelIndex(x + s.dx, y + s.dy, static_cast<BYTE>(v));
            }
        }
    }
    return out;
}

const std::vector<Share> kFloyd = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
const std::vector<Share> kSierra = {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5},
                                    {1, 1, 4}, {2, 1, 2}, {-1, 2, 2}, {0, 2, 3},  {1, 2, 2}};

TEST(Dither, ErrorDiffusionExamples) {
    CxImage img;
    Uniform(img, 2, 1, 128);
    ASSERT_TRUE(img.Dither(CxImage::DITHER_ERROR_DIFFUSION));
    EXPECT_EQ(BlackWhite(img), (Rows{{0, 1}}));  // 128 is black, passes 56: 184 is white

    // 129 passes 7 x -126 / 16 = -55 (toward zero): 184 - 55 = 129 stays white.
    CxImage neg;
    Fill(neg, 8, {{129, 184}});
    neg.SetGreyPalette();
    ASSERT_TRUE(neg.Dither(CxImage::DITHER_ERROR_DIFFUSION));
    EXPECT_EQ(BlackWhite(neg), (Rows{{1, 1}}));
}

TEST(Dither, DiffusionMatchesReference) {
    struct Case {
        long method;
        const std::vector<Share>* shares;
        int divisor;
    };
    for (const Case& c : {Case{CxImage::DITHER_ERROR_DIFFUSION, &kFloyd, 16},
                          Case{CxImage::DITHER_THREE_ROW, &kSierra, 32}}) {
        for (auto [w, h] : {std::pair{1u, 1u}, std::pair{2u, 3u}, std::pair{37u, 23u}}) {
            SCOPED_TRACE(testing::Message() << c.method << " " << w << "x" << h);
            CxImage img, ref;
            Random(img, w, h, 8, w * 7 + h);
            Random(ref, w, h, 8, w * 7 + h);
            const Rows expected = ReferenceDiffusion(ref, *c.shares, c.divisor);
            ASSERT_TRUE(img.Dither(c.method));
            EXPECT_EQ(BlackWhite(img), expected);
        }
    }
}

// ---- Threshold methods: every level against the tables ------------------------------

constexpr int kM4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
constexpr int kT4[4][4] = {
    {0, 192, 48, 240}, {128, 64, 176, 112}, {32, 224, 16, 208}, {160, 96, 144, 80}};
constexpr int kM8[8][8] = {  // [x mod 8][y mod 8]
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

TEST(Dither, ThresholdMethodsForEveryLevel) {
    struct Method {
        long id;
        std::function<int(int level, int x, int y)> white;
    };
    const Method methods[] = {
        {CxImage::DITHER_ORDERED_4X4,
         [](int l, int x, int y) { return kM4[y % 4][x % 4] < l * 16 / 255 ? 1 : 0; }},
        {CxImage::DITHER_MATRIX_4X4, [](int l, int x, int y) { return l > kT4[y % 4][x % 4]; }},
        {CxImage::DITHER_MATRIX_8X8,
         [](int l, int x, int y) { return (l / 4 != 0 && l / 4 >= kM8[x % 8][y % 8]) ? 1 : 0; }},
    };
    for (const Method& m : methods) {
        for (int level = 0; level < 256; ++level) {
            CxImage img;
            Uniform(img, 9, 10, level);  // odd size: the tables wrap
            ASSERT_TRUE(img.Dither(m.id));
            Rows expected(10, std::vector<int>(9));
            for (int y = 0; y < 10; ++y) {
                for (int x = 0; x < 9; ++x) expected[y][x] = m.white(level, x, y);
            }
            ASSERT_EQ(BlackWhite(img), expected) << "method " << m.id << " level " << level;
        }
    }
}

TEST(Dither, ThresholdExamples) {
    auto whites = [](long method, int level, DWORD size) {
        CxImage img;
        Uniform(img, size, size, level);
        EXPECT_TRUE(img.Dither(method));
        int n = 0;
        for (const auto& row : BlackWhite(img)) {
            for (int v : row) n += v;
        }
        return n;
    };
    EXPECT_EQ(whites(CxImage::DITHER_ORDERED_4X4, 128, 4), 8);
    EXPECT_EQ(whites(CxImage::DITHER_ORDERED_4X4, 0, 4), 0);
    EXPECT_EQ(whites(CxImage::DITHER_ORDERED_4X4, 255, 4), 16);
    EXPECT_EQ(whites(CxImage::DITHER_MATRIX_4X4, 128, 4), 8);
    EXPECT_EQ(whites(CxImage::DITHER_MATRIX_4X4, 0, 4), 0);
    EXPECT_EQ(whites(CxImage::DITHER_MATRIX_4X4, 255, 4), 16);
    EXPECT_EQ(whites(CxImage::DITHER_MATRIX_8X8, 3, 8), 0);

    CxImage img;
    Uniform(img, 8, 8, 4);
    ASSERT_TRUE(img.Dither(CxImage::DITHER_MATRIX_8X8));
    const Rows bw = BlackWhite(img);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(bw[y][x], (x == y && (x == 0 || x == 4)) ? 1 : 0);
    }
}

TEST(Dither, FrameCases) {
    CxImage mono;
    Fill(mono, 1, {{0, 1, 1}});
    const RGBQUAD odd[2] = {Rgb(9, 9, 9), Rgb(7, 7, 7)};
    mono.SetPalette(odd, 2);
    EXPECT_TRUE(mono.Dither(CxImage::DITHER_MATRIX_8X8));  // already 1 bpp: untouched
    EXPECT_TRUE(Same(mono.GetPaletteColor(0), Rgb(9, 9, 9)));
    EXPECT_EQ(Indexes(mono), (Rows{{0, 1, 1}}));

    CxImage empty;
    EXPECT_FALSE(empty.Dither(CxImage::DITHER_ERROR_DIFFUSION));

    CxImage img;
    Uniform(img, 3, 3, 200);
    EXPECT_FALSE(img.Dither(99));

    // A 24-bit picture goes through grey: white stays white, black stays black.
    CxImage rgb;
    ASSERT_NE(rgb.Create(2, 1, 24), nullptr);
    rgb.SetPixelColor(0, 0, Rgb(255, 255, 255));
    rgb.SetXDpi(203);
    ASSERT_TRUE(rgb.Dither(CxImage::DITHER_MATRIX_4X4));
    EXPECT_EQ(BlackWhite(rgb), (Rows{{1, 0}}));
    EXPECT_EQ(rgb.GetXDpi(), 203);

    CxImage fail;
    Uniform(fail, 3, 3, 200);
    platform::FailAllocation(1);
    EXPECT_FALSE(fail.Dither(CxImage::DITHER_ORDERED_4X4));
    platform::ResetAllocationFaults();
    EXPECT_EQ(fail.GetBpp(), 8);
}

// ---- DecreaseBpp ------------------------------------------------------------------------------

TEST(DecreaseBpp, NearestOfBlackAndWhite) {
    CxImage img;
    Fill(img, 8, {{7, 0}});
    const RGBQUAD blueish = RGBQUAD{100, 200, 120, 0};
    img.SetGreyPalette();
    RGBQUAD pal[8];
    for (int i = 0; i < 8; ++i) pal[i] = img.GetPaletteColor(i);
    pal[7] = blueish;
    img.SetPalette(pal, 8);
    ASSERT_TRUE(img.DecreaseBpp(1));
    EXPECT_EQ(BlackWhite(img), (Rows{{1, 0}}));
    EXPECT_EQ(img.GetHeader().biClrImportant, 2u);

    // Greys: black up to 127, white from 128.
    CxImage ramp;
    ASSERT_NE(ramp.Create(256, 1, 8), nullptr);
    ramp.SetGreyPalette();
    for (int x = 0; x < 256; ++x) ramp.SetPixelIndex(x, 0, static_cast<BYTE>(x));
    ASSERT_TRUE(ramp.DecreaseBpp(1));
    for (int x = 0; x < 256; ++x) EXPECT_EQ(ramp.GetPixelIndex(x, 0), x >= 128 ? 1 : 0) << x;
}

TEST(DecreaseBpp, TrueColourAndFourBits) {
    CxImage rgb;
    Random(rgb, 31, 7, 24, 99);
    CxImage src;
    Random(src, 31, 7, 24, 99);
    ASSERT_TRUE(rgb.DecreaseBpp(1));
    for (long y = 0; y < 7; ++y) {
        for (long x = 0; x < 31; ++x) {
            const RGBQUAD c = src.GetPixelColor(x, y);
            const long toBlack =
                c.rgbBlue * c.rgbBlue + c.rgbGreen * c.rgbGreen + c.rgbRed * c.rgbRed;
            const long toWhite = (255 - c.rgbBlue) * (255 - c.rgbBlue) +
                                 (255 - c.rgbGreen) * (255 - c.rgbGreen) +
                                 (255 - c.rgbRed) * (255 - c.rgbRed);
            ASSERT_EQ(rgb.GetPixelIndex(x, y), toWhite < toBlack ? 1 : 0);
        }
    }

    CxImage four;
    Fill(four, 4, {{0, 7, 8, 15}});
    four.SetGreyPalette();  // 0, 119, 136, 255
    ASSERT_TRUE(four.DecreaseBpp(1));
    EXPECT_EQ(BlackWhite(four), (Rows{{0, 0, 1, 1}}));
}

TEST(DecreaseBpp, MonochromeAndFailures) {
    // A 1-bpp image is reduced again through its palette unless biClrImportant is 1.
    CxImage inverted;
    Fill(inverted, 1, {{0, 1}});
    const RGBQUAD pal[2] = {Rgb(255, 255, 255), Rgb(0, 0, 0)};
    inverted.SetPalette(pal, 2);
    ASSERT_TRUE(inverted.DecreaseBpp(1));
    EXPECT_EQ(BlackWhite(inverted), (Rows{{1, 0}}));

    CxImage marked;
    Fill(marked, 1, {{0, 1}});
    marked.SetPalette(pal, 2);
    marked.SetClrImportant(1);
    ASSERT_TRUE(marked.DecreaseBpp(1));
    EXPECT_TRUE(Same(marked.GetPaletteColor(0), Rgb(255, 255, 255)));

    CxImage empty;
    EXPECT_FALSE(empty.DecreaseBpp(1));

    CxImage four;
    Fill(four, 4, {{1}});
    EXPECT_FALSE(four.DecreaseBpp(8));
    EXPECT_STREQ(four.GetLastErrorText(), "DecreaseBpp: target BPP greater than source BPP");
    EXPECT_EQ(four.GetBpp(), 4);

    platform::FailAllocation(1);
    EXPECT_FALSE(four.DecreaseBpp(1));
    platform::ResetAllocationFaults();
    EXPECT_EQ(four.GetBpp(), 4);
}

TEST(StandardPalette, OnlyForMonochrome) {
    CxImage mono;
    ASSERT_NE(mono.Create(1, 1, 1), nullptr);
    mono.SetStandardPalette();
    EXPECT_TRUE(Same(mono.GetPaletteColor(0), Rgb(0, 0, 0)));
    EXPECT_TRUE(Same(mono.GetPaletteColor(1), Rgb(255, 255, 255)));
    CxImage eight;
    ASSERT_NE(eight.Create(1, 1, 8), nullptr);
    eight.SetStandardPalette();
    EXPECT_TRUE(Same(eight.GetPaletteColor(1), Rgb(0, 0, 0)));
}

}  // namespace
