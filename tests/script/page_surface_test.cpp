// The host's page surface: layout, rectangles, pictures, drawing calls and bands.
#include "page_surface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace jobscript;
using Bytes = std::vector<std::uint8_t>;

Bytes RowBytes(const PageSurface& s, std::int32_t y) {
    const auto row = s.row(y);
    return Bytes(row.begin(), row.end());
}

std::shared_ptr<const Picture> MakePicture(std::int32_t w, std::int32_t h, int channels,
                                           Bytes pixels) {
    auto p = std::make_shared<Picture>();
    p->width = w;
    p->height = h;
    p->channels = channels;
    p->pixels = std::move(pixels);
    return p;
}

ImageItem Image(std::shared_ptr<const Picture> picture, std::int32_t x, std::int32_t y,
                std::int32_t w, std::int32_t h, bool stretch = false) {
    ImageItem item;
    item.picture = std::move(picture);
    item.x = x;
    item.y = y;
    item.width = w;
    item.height = h;
    item.stretch = stretch;
    return item;
}

TEST(PageSurfaceLayout, WhitePageWithRowsPaddedToFourBytes) {
    const PageSurface mono(10, 3, 1);
    EXPECT_EQ(mono.stride(), 4u);
    EXPECT_EQ(mono.bits().size(), 12u);
    EXPECT_EQ(RowBytes(mono, 2), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(mono.IsWhite(9, 2));

    const PageSurface grey(5, 2, 8);
    EXPECT_EQ(grey.stride(), 8u);
    EXPECT_EQ(grey.PixelIndex(4, 1), 255);
    EXPECT_EQ(PageSurface(576, 1, 1).stride(), 72u);
    EXPECT_EQ(PageSurface(33, 1, 1).stride(), 8u);
}

TEST(PageSurfaceLayout, PalettesBlackFirstWhiteLast) {
    EXPECT_EQ(DevicePalette1()[0].red, 0);
    EXPECT_EQ(DevicePalette1()[1].blue, 255);
    for (int i = 0; i < 256; ++i) {
        const auto& e = DevicePalette8()[static_cast<std::size_t>(i)];
        EXPECT_TRUE(e.red == i && e.green == i && e.blue == i) << i;
    }
}

TEST(PageSurfaceLayout, RefusesPagesItCannotMake) {
    EXPECT_THROW(PageSurface(10, 10, 4), std::invalid_argument);
    EXPECT_THROW(PageSurface(0, 10, 1), std::invalid_argument);
    EXPECT_THROW(PageSurface(10, 65536, 1), std::invalid_argument);
    EXPECT_THROW(PageSurface(65535, 65535, 8), std::invalid_argument);
}

TEST(PageSurfaceRect, BlackRectExactBitsAtOneBpp) {
    PageSurface s(16, 2, 1);
    s.FillRect(3, 0, 6, 1, 0);
    EXPECT_EQ(RowBytes(s, 0), (Bytes{0xE0, 0x7F, 0xFF, 0xFF}));  // dots 3..8 black
    EXPECT_EQ(RowBytes(s, 1), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(PageSurfaceRect, ClippedToThePageAndPaddingStaysWhite) {
    PageSurface s(10, 2, 1);
    s.FillRect(-2, -2, 4, 3, 0);    // only dots 0..1 of row 0 are on the page
    s.FillRect(8, 1, 100, 100, 0);  // dots 8..9 of row 1, not the pad bits
    EXPECT_EQ(RowBytes(s, 0), (Bytes{0x3F, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(RowBytes(s, 1), (Bytes{0xFF, 0x3F, 0xFF, 0xFF}));
    s.FillRect(0, 0, 0, 5, 0);   // empty: nothing
    s.FillRect(20, 0, 5, 5, 0);  // off the page: nothing
    EXPECT_EQ(RowBytes(s, 0), (Bytes{0x3F, 0xFF, 0xFF, 0xFF}));
}

TEST(PageSurfaceRect, GreyIsTheIndexAtEightBpp) {
    PageSurface s(4, 1, 8);
    s.FillRect(1, 0, 2, 1, 100);
    EXPECT_EQ(RowBytes(s, 0), (Bytes{255, 100, 100, 255}));
}

TEST(PageSurfaceRect, GreyIsOrderedDitherAtOneBpp) {
    // Every level lights round(g * 64 / 255) cells of the 8x8 pattern, and a lighter level
    // keeps every white cell of a darker one.
    for (int g = 0; g < 256; ++g) {
        int white = 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const bool w = DitherWhite(static_cast<std::uint8_t>(g), x, y);
                white += w;
                if (w && g < 255) {
                    EXPECT_TRUE(DitherWhite(static_cast<std::uint8_t>(g + 1), x, y));
                }
                // The pattern repeats every 8 dots.
                EXPECT_EQ(w, DitherWhite(static_cast<std::uint8_t>(g), x + 8, y + 16));
            }
        }
        EXPECT_EQ(white, (g * 64 + 127) / 255) << g;
    }
    PageSurface s(8, 8, 1);
    s.FillRect(0, 0, 8, 8, 128);
    int white = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) white += s.IsWhite(x, y);
    EXPECT_EQ(white, 32);
    // First pattern row: thresholds 0 32 8 40 2 34 10 42 against 32 white cells.
    EXPECT_EQ(RowBytes(s, 0)[0], 0xAA);
}

TEST(PageSurfacePicture, TwoByTwoScaledToFourByFourAtEightBpp) {
    // black, white / red, grey 200; red has luminance 76.
    const auto picture = MakePicture(2, 2, 3, {0, 0, 0, 255, 255, 255, 255, 0, 0, 200, 200, 200});
    PageSurface s(6, 6, 8);
    s.DrawPicture(*picture, 1, 1, 4, 4);
    EXPECT_EQ(RowBytes(s, 0), (Bytes{255, 255, 255, 255, 255, 255, 255, 255}));
    EXPECT_EQ(RowBytes(s, 1), (Bytes{255, 0, 0, 255, 255, 255, 255, 255}));
    EXPECT_EQ(RowBytes(s, 2), (Bytes{255, 0, 0, 255, 255, 255, 255, 255}));
    EXPECT_EQ(RowBytes(s, 3), (Bytes{255, 76, 76, 200, 200, 255, 255, 255}));
    EXPECT_EQ(RowBytes(s, 4), (Bytes{255, 76, 76, 200, 200, 255, 255, 255}));
    EXPECT_EQ(RowBytes(s, 5), (Bytes{255, 255, 255, 255, 255, 255, 255, 255}));
}

TEST(PageSurfacePicture, TwoByTwoScaledToFourByFourAtOneBpp) {
    const auto checker = MakePicture(2, 2, 1, {0, 255, 255, 0});
    PageSurface s(8, 4, 1);
    s.DrawPicture(*checker, 0, 0, 4, 4);
    EXPECT_EQ(RowBytes(s, 0)[0], 0x3F);
    EXPECT_EQ(RowBytes(s, 1)[0], 0x3F);
    EXPECT_EQ(RowBytes(s, 2)[0], 0xCF);
    EXPECT_EQ(RowBytes(s, 3)[0], 0xCF);
}

TEST(PageSurfacePicture, NearestNeighbourSamplesPixelCentres) {
    const auto ramp = MakePicture(4, 1, 1, {10, 20, 30, 40});
    PageSurface s(5, 1, 8);
    s.DrawPicture(*ramp, 0, 0, 2, 1);  // shrink: columns 1 and 3
    EXPECT_EQ(s.PixelIndex(0, 0), 20);
    EXPECT_EQ(s.PixelIndex(1, 0), 40);
    s.DrawPicture(*MakePicture(2, 1, 1, {10, 20}), 2, 0, 3, 1);  // grow: 0, 1, 1
    EXPECT_EQ(RowBytes(s, 0), (Bytes{20, 40, 10, 20, 20, 255, 255, 255}));
}

TEST(PageSurfacePicture, PartOffThePageIsClipped) {
    const auto picture = MakePicture(2, 2, 1, {1, 2, 3, 4});
    PageSurface s(2, 2, 8);
    s.DrawPicture(*picture, -1, 1, 2, 2);
    EXPECT_EQ(RowBytes(s, 0), (Bytes{255, 255, 255, 255}));
    EXPECT_EQ(RowBytes(s, 1), (Bytes{2, 255, 255, 255}));
}

TEST(RasterisePage, ItemsInDrawingOrderAndTextThroughTheHook) {
    Page page;
    page.items.push_back(RectItem{0, 0, 4, 1, 0});
    page.items.push_back(Image(MakePicture(1, 1, 1, {255}), 1, 0, 1, 1));  // white over black
    TextItem text;
    text.text = "A";
    text.x = 3;
    page.items.push_back(text);

    PageSurface s(4, 1, 8);
    RasterisePage(page, s);  // no hook: text is skipped
    EXPECT_EQ(RowBytes(s, 0), (Bytes{0, 255, 0, 0}));

    std::vector<std::string> drawn;
    RasterisePage(page, s, [&](const TextItem& item, PageSurface& surface) {
        drawn.push_back(item.text);
        surface.SetPixelIndex(item.x, 0, 7);
    });
    EXPECT_EQ(drawn, std::vector<std::string>{"A"});
    EXPECT_EQ(RowBytes(s, 0), (Bytes{0, 255, 0, 7}));
}

TEST(DrawCalls, BitBltOnlyForAPictureAtItsOwnSize) {
    const auto picture = MakePicture(2, 3, 1, Bytes(6, 0));
    Page page;
    page.items.push_back(Image(picture, 10, 20, 2, 3));        // BitBlt
    page.items.push_back(Image(picture, 10, 20, 2, 3, true));  // stretch asked
    page.items.push_back(Image(picture, 0, 0, 4, 6));          // other size
    page.items.push_back(RectItem{5, 6, 7, 8, 0});
    TextItem text;
    text.x = 1;
    text.y = 2;
    text.height = 30;
    page.items.push_back(text);

    const auto calls = DrawCalls(page);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].kind, DrawCallKind::BitBlt);
    EXPECT_EQ(calls[1].kind, DrawCallKind::StretchBlt);
    EXPECT_EQ(calls[2].kind, DrawCallKind::StretchBlt);
    EXPECT_EQ(calls[3].kind, DrawCallKind::FillRect);
    EXPECT_EQ(calls[4].kind, DrawCallKind::TextOut);
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].item, i);
    const DestRect d = calls[0].dest;
    EXPECT_EQ(std::vector<int>({d.left, d.top, d.right, d.bottom}),
              std::vector<int>({10, 20, 12, 23}));
    EXPECT_EQ(calls[2].dest.right, 4);
    EXPECT_EQ(calls[2].sourceWidth, 2);
    EXPECT_EQ(calls[2].sourceHeight, 3);
    EXPECT_EQ(calls[3].dest.bottom, 14);
    EXPECT_EQ(calls[4].dest.bottom, 32);
}

TEST(Bands, SplitFromTheTopWithAShorterLastBand) {
    PageSurface s(5, 10, 8);
    s.SetPixelIndex(4, 5, 254);  // one almost-white dot in the second band
    const auto bands = SplitIntoBands(s, 4);
    ASSERT_EQ(bands.size(), 3u);
    const std::vector<std::pair<int, int>> expected = {{0, 4}, {4, 4}, {8, 2}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(bands[i].top, expected[i].first);
        EXPECT_EQ(bands[i].height, expected[i].second);
        EXPECT_EQ(bands[i].bits.size(), s.stride() * static_cast<std::size_t>(expected[i].second));
        EXPECT_EQ(bands[i].bits.data(),
                  s.bits().data() + s.stride() * static_cast<std::size_t>(expected[i].first));
    }
    EXPECT_TRUE(bands[0].blank);
    EXPECT_FALSE(bands[1].blank);
    EXPECT_TRUE(bands[2].blank);
}

TEST(Bands, OneBandWhenTheBandIsTallerThanThePage) {
    PageSurface s(10, 3, 1);
    s.FillRect(9, 2, 1, 1, 0);  // the last dot before the pad bits
    const auto bands = SplitIntoBands(s, 256);
    ASSERT_EQ(bands.size(), 1u);
    EXPECT_EQ(bands[0].height, 3);
    EXPECT_FALSE(bands[0].blank);
    EXPECT_EQ(SplitIntoBands(s, 3).size(), 1u);
    EXPECT_EQ(SplitIntoBands(s, 1).size(), 3u);
    EXPECT_TRUE(SplitIntoBands(s, 1)[1].blank);
    EXPECT_THROW(SplitIntoBands(s, 0), std::invalid_argument);
}

}  // namespace
