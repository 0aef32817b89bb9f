// Geometric transforms: turns, crop, resampling, canvas extension and the vertical flip.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "image_test_util.h"
#include "win32/heap.h"
#include "ximage.h"

using namespace image_test;
using Rows = std::vector<std::vector<int>>;

namespace {

// ---- The small examples --------------------------------------------------------------------

struct TurnCase {
    const char* name;
    bool (CxImage::*turn)();
    Rows expected;
};

TEST(Transform, TurnsOfASmallImage) {
    // row 0 = a b c, row 1 = d e f with a..f = 1..6
    const Rows src = {{1, 2, 3}, {4, 5, 6}};
    const TurnCase cases[] = {
        {"RotateLeft", &CxImage::RotateLeft, {{4, 1}, {5, 2}, {6, 3}}},
        {"RotateRight", &CxImage::RotateRight, {{3, 6}, {2, 5}, {1, 4}}},
        {"Rotate180", &CxImage::Rotate180, {{6, 5, 4}, {3, 2, 1}}},
    };
    for (const TurnCase& c : cases) {
        for (DWORD bpp : {4u, 8u}) {
            SCOPED_TRACE(std::string(c.name) + " bpp " + std::to_string(bpp));
            CxImage img;
            Fill(img, bpp, src);
            img.SetGreyPalette();
            ASSERT_TRUE((img.*c.turn)());
            EXPECT_EQ(Indexes(img), c.expected);
            EXPECT_EQ(img.GetBpp(), bpp);
            EXPECT_TRUE(Same(img.GetPaletteColor(1),
                             Rgb(bpp == 8 ? 1 : 17, bpp == 8 ? 1 : 17, bpp == 8 ? 1 : 17)));
        }
        CxImage empty;
        EXPECT_FALSE((empty.*c.turn)());
    }
}

TEST(Transform, MonochromeTurnIgnoresFillBits) {
    CxImage img;
    ASSERT_NE(img.Create(10, 2, 1), nullptr);
    std::memset(img.GetBits(), 0xFF, img.GetHeader().biSizeImage);  // fill bits set as well
    ASSERT_TRUE(img.RotateLeft());
    ASSERT_EQ(img.GetWidth(), 2u);
    ASSERT_EQ(img.GetHeight(), 10u);
    for (DWORD y = 0; y < 10; ++y) {
        const BYTE* row = img.GetRow(y);
        EXPECT_EQ(row[0], 0xC0) << y;  // two dots, the row's fill bits clear
        EXPECT_EQ(row[1] | row[2] | row[3], 0) << y;
    }
}

TEST(Transform, CropExamples) {
    CxImage base;
    Random(base, 12, 20, 8, 7);
    const long W = 12, H = 20;
    struct Case {
        long l, t, r, b;
        bool ok;
        long x0, y0, w, h;
    };
    const Case cases[] = {
        {0, H, W, H - 5, true, 0, 0, W, 5},         // rows 0 .. 4
        {0, H - 11, W, 4, true, 0, 11, W, H - 15},  // rows 11 .. H - 5
        {0, 3, W, 3, false, 0, 0, 0, 0},            // no height
        {5, H, 2, 0, true, 2, 0, 3, H},             // columns 2 .. 4 (left and right ordered)
        {4, H, 4, 0, false, 0, 0, 0, 0},            // no width
        {-7, 99, 99, -3, true, 0, 0, W, H},         // clamped into the image
        {W, 0, 99, 5, false, 0, 0, 0, 0},           // clamped to no width
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.l << "," << c.t << "," << c.r << "," << c.b);
        CxImage img;
        Random(img, W, H, 8, 7);
        EXPECT_EQ(img.Crop(c.l, c.t, c.r, c.b), c.ok);
        if (!c.ok) {
            EXPECT_EQ(Indexes(img), Indexes(base));
            continue;
        }
        ASSERT_EQ(img.GetWidth(), static_cast<DWORD>(c.w));
        ASSERT_EQ(img.GetHeight(), static_cast<DWORD>(c.h));
        for (long y = 0; y < c.h; ++y) {
            for (long x = 0; x < c.w; ++x) {
                ASSERT_EQ(img.GetPixelIndex(x, y), base.GetPixelIndex(c.x0 + x, c.y0 + y));
            }
        }
    }
    CxImage empty;
    EXPECT_FALSE(empty.Crop(0, 1, 1, 0));
}

TEST(Transform, CropKeepsPaletteAndBackground) {
    CxImage img;
    Fill(img, 4, {{1, 2, 3, 4}, {5, 6, 7, 8}});
    img.SetGreyPalette();
    img.SetBackgroundIndex(3);
    img.SetBackgroundColor(RGBQUAD{1, 2, 3, 4});
    ASSERT_TRUE(img.Crop(1, 2, 3, 1));  // columns 1 .. 2, row 0
    EXPECT_EQ(Indexes(img), (Rows{{2, 3}}));
    EXPECT_EQ(img.GetBackgroundIndex(), 3);
    EXPECT_TRUE(Same(img.GetBackgroundColor(), (RGBQUAD{1, 2, 3, 4})));
    EXPECT_TRUE(Same(img.GetPaletteColor(15), Rgb(255, 255, 255)));
}

TEST(Transform, ResampleColumns) {
    struct Case {
        long newWidth;
        std::vector<int> columns;
    };
    for (const Case& c : {Case{4, {0, 2, 4, 6}}, Case{3, {0, 2, 5}}, Case{16, {0, 0, 1, 1}}}) {
        CxImage img;
        Fill(img, 8, {{0, 1, 2, 3, 4, 5, 6, 7}});
        img.SetGreyPalette();
        ASSERT_TRUE(img.Resample(c.newWidth, 1));
        ASSERT_EQ(img.GetWidth(), static_cast<DWORD>(c.newWidth));
        for (size_t j = 0; j < c.columns.size(); ++j)
            EXPECT_EQ(img.GetPixelIndex(j, 0), c.columns[j]);
    }
}

TEST(Transform, ResampleWritesNearestPaletteEntry) {
    // Entries 1 and 3 have the same colour: pixels of index 3 come out as index 1.
    CxImage img;
    Fill(img, 4, {{3, 2, 3, 2}, {1, 1, 1, 1}});
    const RGBQUAD pal[4] = {Rgb(0, 0, 0), Rgb(9, 9, 9), Rgb(50, 50, 50), Rgb(9, 9, 9)};
    img.SetPalette(pal, 4);
    ASSERT_TRUE(img.Resample(2, 2));
    EXPECT_EQ(Indexes(img), (Rows{{1, 1}, {1, 1}}));

    CxImage same;
    Fill(same, 4, {{3, 2}});
    same.SetPalette(pal, 4);
    EXPECT_TRUE(same.Resample(2, 1));  // already that size: nothing done
    EXPECT_EQ(Indexes(same), (Rows{{3, 2}}));
    EXPECT_FALSE(same.Resample(0, 1));
    EXPECT_FALSE(same.Resample(1, 0));
    EXPECT_FALSE(same.Resample(-2, 1));
    CxImage empty;
    EXPECT_FALSE(empty.Resample(2, 2));
}

TEST(Transform, ExtendCanvasToTheRight) {
    CxImage img;
    Random(img, 100, 20, 1, 3);
    img.SetStandardPalette();
    CxImage base;
    Random(base, 100, 20, 1, 3);
    ASSERT_TRUE(img.ExtendCanvas(0, 0, 10, 0, Rgb(255, 255, 255)));
    ASSERT_EQ(img.GetWidth(), 110u);
    ASSERT_EQ(img.GetHeight(), 20u);
    for (long y = 0; y < 20; ++y) {
        for (long x = 0; x < 110; ++x) {
            ASSERT_EQ(img.GetPixelIndex(x, y), x < 100 ? base.GetPixelIndex(x, y) : 1) << x;
        }
    }
}

TEST(Transform, ExtendCanvasAllMarginsAllDepths) {
    const RGBQUAD fill = Rgb(200, 200, 200);
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bpp);
        CxImage img, base;
        Random(img, 5, 3, bpp, 11);
        Random(base, 5, 3, bpp, 11);
        ASSERT_TRUE(img.ExtendCanvas(2, 1, 3, 4, fill));
        ASSERT_EQ(img.GetWidth(), 10u);
        ASSERT_EQ(img.GetHeight(), 8u);
        const uint32_t fillPx = bpp == 24 ? 0xC8C8C8u : Px(img, 0, 0);
        if (bpp != 24) {
            EXPECT_EQ(img.GetPixelIndex(0, 0), img.FindNearestIndex(fill));
        }
        for (long y = 0; y < 8; ++y) {
            for (long x = 0; x < 10; ++x) {
                const bool inside = x >= 2 && x < 7 && y >= 4 && y < 7;  // bottom margin first
                ASSERT_EQ(Px(img, x, y), inside ? Px(base, x - 2, y - 4) : fillPx) << x << "," << y;
            }
        }
    }
    CxImage img;
    Random(img, 5, 3, 8, 1);
    EXPECT_FALSE(img.ExtendCanvas(-1, 0, 0, 0, fill));
    EXPECT_FALSE(img.ExtendCanvas(0, 0, 0x7FFFFFFF, 0, fill));
    EXPECT_EQ(img.GetWidth(), 5u);
    CxImage empty;
    EXPECT_FALSE(empty.ExtendCanvas(0, 0, 1, 0, fill));
}

TEST(Transform, FlipVertical) {
    CxImage img;
    Fill(img, 8, {{0}, {1}, {2}, {3}, {4}});
    ASSERT_TRUE(img.FlipVertical());
    EXPECT_EQ(Indexes(img), (Rows{{4}, {3}, {2}, {1}, {0}}));
    platform::FailAllocation(1);
    EXPECT_FALSE(img.FlipVertical());
    platform::ResetAllocationFaults();
    EXPECT_EQ(Indexes(img), (Rows{{4}, {3}, {2}, {1}, {0}}));
    CxImage empty;
    EXPECT_FALSE(empty.FlipVertical());
}

TEST(Transform, FailedAllocationLeavesTheSource) {
    using Op = std::function<bool(CxImage&)>;
    const Op ops[] = {
        [](CxImage& i) { return i.RotateLeft(); },
        [](CxImage& i) { return i.RotateRight(); },
        [](CxImage& i) { return i.Rotate180(); },
        [](CxImage& i) { return i.Crop(0, 3, 2, 0); },
        [](CxImage& i) { return i.Resample(7, 7); },
        [](CxImage& i) { return i.ExtendCanvas(1, 1, 1, 1, Rgb(0, 0, 0)); },
    };
    for (const Op& op : ops) {
        CxImage img, base;
        Random(img, 9, 3, 1, 5);
        Random(base, 9, 3, 1, 5);
        platform::FailAllocation(1);
        EXPECT_FALSE(op(img));
        platform::ResetAllocationFaults();
        EXPECT_EQ(Indexes(img), Indexes(base));
        EXPECT_STREQ(img.GetLastErrorText(), "CxImage::Create can't allocate memory");
    }
}

// ---- Fast paths against the mappings, on random images of every depth ----------------

struct Shape {
    DWORD w, h, bpp;
};

class TransformMapping : public testing::TestWithParam<Shape> {
protected:
    void Load(CxImage& img) { Random(img, GetParam().w, GetParam().h, GetParam().bpp, 1234); }
    // Checks every new pixel against the source pixel the mapping names.
    void Check(const CxImage& img, const CxImage& src, DWORD w, DWORD h,
               const std::function<std::pair<long, long>(long, long)>& from) {
        ASSERT_EQ(img.GetWidth(), w);
        ASSERT_EQ(img.GetHeight(), h);
        ASSERT_EQ(img.GetBpp(), src.GetBpp());
        for (long y = 0; y < static_cast<long>(h); ++y) {
            for (long x = 0; x < static_cast<long>(w); ++x) {
                const auto [sx, sy] = from(x, y);
                ASSERT_EQ(Px(img, x, y), Px(src, sx, sy)) << "at " << x << "," << y;
            }
        }
        if (img.GetBpp() == 1 && w % 8 != 0) {
            for (DWORD y = 0; y < h; ++y) {
                ASSERT_EQ(img.GetRow(y)[w / 8] & (0xFF >> (w % 8)), 0) << "fill bits, row " << y;
            }
        }
    }
};

TEST_P(TransformMapping, RotateLeft) {
    CxImage img, src;
    Load(img);
    Load(src);
    const long W = src.GetWidth(), H = src.GetHeight();
    ASSERT_TRUE(img.RotateLeft());
    Check(img, src, H, W, [&](long x, long y) { return std::pair{y, H - 1 - x}; });
}

TEST_P(TransformMapping, RotateRight) {
    CxImage img, src;
    Load(img);
    Load(src);
    const long W = src.GetWidth(), H = src.GetHeight();
    ASSERT_TRUE(img.RotateRight());
    Check(img, src, H, W, [&](long x, long y) { return std::pair{W - 1 - y, x}; });
}

TEST_P(TransformMapping, Rotate180) {
    CxImage img, src;
    Load(img);
    Load(src);
    const long W = src.GetWidth(), H = src.GetHeight();
    ASSERT_TRUE(img.Rotate180());
    Check(img, src, W, H, [&](long x, long y) { return std::pair{W - 1 - x, H - 1 - y}; });
}

TEST_P(TransformMapping, Crop) {
    const long W = GetParam().w, H = GetParam().h;
    for (long x0 : {0L, 1L, 7L, W / 2}) {
        if (x0 >= W) continue;
        CxImage img, src;
        Load(img);
        Load(src);
        const long x1 = W - (x0 == 0 ? 0 : 1);
        if (x1 <= x0) continue;
        ASSERT_TRUE(img.Crop(x0, H, x1, 0));
        Check(img, src, x1 - x0, H, [&](long x, long y) { return std::pair{x0 + x, y}; });
    }
}

TEST_P(TransformMapping, Resample) {
    const long W = GetParam().w, H = GetParam().h;
    for (auto [nw, nh] : {std::pair{W / 2 + 1, H / 2 + 1}, std::pair{W * 2 + 1, H + 3}}) {
        if (nw == W && nh == H) continue;  // nothing to do (covered above)
        CxImage img, src;
        Load(img);
        Load(src);
        const float xs = static_cast<float>(W) / static_cast<float>(nw);
        const float ys = static_cast<float>(H) / static_cast<float>(nh);
        ASSERT_TRUE(img.Resample(nw, nh));
        Check(img, src, nw, nh, [&](long x, long y) {
            return std::pair{static_cast<long>(static_cast<float>(x) * xs),
                             static_cast<long>(static_cast<float>(y) * ys)};
        });
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TransformMapping,
                         testing::Values(Shape{1, 1, 1}, Shape{10, 3, 1}, Shape{65, 70, 1},
                                         Shape{130, 9, 1}, Shape{8, 16, 1}, Shape{9, 5, 4},
                                         Shape{70, 66, 4}, Shape{3, 2, 8}, Shape{131, 67, 8},
                                         Shape{5, 7, 24}, Shape{66, 129, 24}),
                         [](const testing::TestParamInfo<Shape>& i) {
                             return std::to_string(i.param.w) + "x" + std::to_string(i.param.h) +
                                    "_" + std::to_string(i.param.bpp) + "bpp";
                         });

}  // namespace
