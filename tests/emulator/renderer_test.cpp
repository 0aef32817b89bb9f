// The renderer: raster pixels checked exactly, text, feeds, cuts and placeholders by the
// listing of drawn objects.
#include <gtest/gtest.h>

#include "emulator/emulator.h"
#include "stream_builder.h"

namespace {

using namespace emulator_test;

emulator::Options NoMargin(int width = 576) {
    emulator::Options options;
    options.marginDots = 0;
    options.widthDots = width;
    return options;
}

emulator::Receipt RenderBytes(const Bytes& bytes, const emulator::Options& options) {
    return emulator::Emulate(bytes, options).receipt;
}

// The picture's top-left `width` x `height` dots as rows of '#' (black), '.' (white) or the
// grey value in hex.
std::vector<std::string> Dots(const emulator::Picture& p, int width, int height) {
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            uint8_t v = p.at(x, y);
            row += v == 0 ? '#' : v == 255 ? '.' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

const std::vector<std::string> kPattern = {
    "#..............#",
    "########........",
    "....########....",
};
const Bytes kPatternBytes = B({0x80, 0x01, 0xFF, 0x00, 0x0F, 0xF0});

TEST(Renderer, RasterGsV0DotsExactly) {
    auto receipt = RenderBytes(RasterGsV0(2, 3, kPatternBytes), NoMargin(16));
    ASSERT_EQ(receipt.picture.width, 16);
    ASSERT_EQ(receipt.picture.height, 3);
    EXPECT_EQ(Dots(receipt.picture, 16, 3), kPattern);
    ASSERT_EQ(receipt.objects.size(), 1u);
    EXPECT_EQ(receipt.objects[0].kind, "raster");
    EXPECT_EQ(receipt.objects[0].height, 3);
}

TEST(Renderer, CompressedRasterDotsExactly) {
    auto receipt =
        RenderBytes(Cat({CompressedPlane(0, 2, 3, kPatternBytes), StripEnd()}), NoMargin(16));
    ASSERT_EQ(receipt.picture.height, 3);
    EXPECT_EQ(Dots(receipt.picture, 16, 3), kPattern);
}

TEST(Renderer, DoubleWidthAndHeightRaster) {
    // GS v 0 mode 3: every dot becomes 2 x 2.
    Bytes stream = Cat({B({0x1D, 0x76, 0x30, 0x03, 0x01, 0x00, 0x01, 0x00}), B({0xA0})});
    auto receipt = RenderBytes(stream, NoMargin(16));
    ASSERT_EQ(receipt.picture.height, 2);
    EXPECT_EQ(Dots(receipt.picture, 16, 2),
              (std::vector<std::string>{"##..##..........", "##..##.........."}));
}

// Tones 15, 8, 7 and 0 in four planes: plane p holds bit 3 - p of the tone.
const Bytes kTonePlanes[4] = {B({0xC0}), B({0xA0}), B({0xA0}), B({0xA0})};

void ExpectTones(const emulator::Picture& p) {
    EXPECT_EQ(p.at(0, 0), 255 - 15 * 17);
    EXPECT_EQ(p.at(1, 0), 255 - 8 * 17);
    EXPECT_EQ(p.at(2, 0), 255 - 7 * 17);
    EXPECT_EQ(p.at(3, 0), 255);
}

TEST(Renderer, FourCompressedPlanesAreGreyTones) {
    Bytes stream;
    for (int p = 0; p < 4; ++p)
        stream = Cat({stream, CompressedPlane(4 + p, 1, 1, kTonePlanes[p])});
    stream = Cat({stream, StripEnd()});
    auto receipt = RenderBytes(stream, NoMargin(8));
    ASSERT_EQ(receipt.picture.height, 1);
    ExpectTones(receipt.picture);
}

TEST(Renderer, FourGsV0PlanesWithGreyPlaneOption) {
    Bytes stream;
    for (int p = 0; p < 4; ++p) stream = Cat({stream, RasterGsV0(1, 1, kTonePlanes[p])});
    auto options = NoMargin(8);
    options.greyscaleRasterPlanes = true;
    auto receipt = RenderBytes(stream, options);
    ASSERT_EQ(receipt.picture.height, 1);
    ExpectTones(receipt.picture);
    // Without the option the planes print one under the other in black.
    auto plain = RenderBytes(stream, NoMargin(8));
    EXPECT_EQ(plain.picture.height, 4);
}

TEST(Renderer, StripsOf246Rows) {
    // 500 rows as the plug-in sends them: strips of 246, 246 and 8 rows; row r has dot r % 8.
    Bytes stream;
    int start = 0;
    for (int rows : {246, 246, 8}) {
        Bytes plane;
        for (int r = 0; r < rows; ++r)
            plane.push_back(static_cast<uint8_t>(0x80 >> ((start + r) % 8)));
        stream = Cat({stream, CompressedPlane(0, 1, rows, plane), StripEnd()});
        start += rows;
    }
    auto receipt = RenderBytes(stream, NoMargin(8));
    ASSERT_EQ(receipt.picture.height, 500);
    for (int y = 0; y < 500; ++y) {
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(receipt.picture.at(x, y), x == y % 8 ? 0 : 255) << x << "," << y;
        }
    }
    EXPECT_EQ(receipt.objects.size(), 3u);
}

TEST(Renderer, DeviceFontLineIsPlacedAndFeeds) {
    // FontA2x1 "AB" at X 100, feed 24.
    Bytes stream = B({0x1B, 0x74, 0x10, 0x08, 0x4D, 0x00, 0x41, 0x1D, 0x21, 0x10,
                      0x1B, 0x24, 0x64, 0x00, 0x41, 0x42, 0x1B, 0x4A, 0x18, 0x00});
    auto receipt = RenderBytes(stream, NoMargin());
    ASSERT_EQ(receipt.objects.size(), 1u);
    const auto& text = receipt.objects[0];
    EXPECT_EQ(text.kind, "text");
    EXPECT_EQ(text.data, "AB");
    EXPECT_EQ(text.x, 100);
    EXPECT_EQ(text.width, 48);  // two cells of 12 dots, double width
    EXPECT_EQ(text.height, 24);
    EXPECT_EQ(receipt.picture.height, 24);
    int inside = 0, outside = 0;
    for (int y = 0; y < receipt.picture.height; ++y)
        for (int x = 0; x < receipt.picture.width; ++x)
            if (receipt.picture.at(x, y) == 0) (x >= 100 && x < 148 ? inside : outside)++;
    EXPECT_GT(inside, 40);
    EXPECT_EQ(outside, 0);
}

TEST(Renderer, LineFeedsAndSpacing) {
    struct Case {
        Bytes stream;
        int height;
    };
    const Case cases[] = {
        {B({0x41, 0x0A}), 30},                                // default spacing
        {B({0x1B, 0x33, 0x00, 0x0A}), 0},                     // spacing 0, empty line: no feed
        {B({0x1B, 0x33, 0x40, 0x41, 0x0A}), 64},              // spacing 64
        {B({0x1B, 0x33, 0x05, 0x41, 0x0A}), 24},              // at least the character height
        {B({0x1D, 0x21, 0x01, 0x41, 0x1B, 0x4A, 0x10}), 48},  // double height line, feed 16
        {B({0x1B, 0x64, 0x03}), 90},                          // ESC d 3
    };
    for (const auto& c : cases) {
        auto receipt = RenderBytes(Cat({c.stream, RasterGsV0(1, 1, B({0x80}))}), NoMargin(8));
        // The one-dot raster row after the feed shows where the head stood.
        EXPECT_EQ(receipt.picture.height, c.height + 1) << testing::PrintToString(c.stream);
        EXPECT_EQ(receipt.picture.at(0, c.height), 0) << testing::PrintToString(c.stream);
    }
}

TEST(Renderer, CutIsADashedLineWithItsKind) {
    Bytes stream =
        Cat({RasterGsV0(1, 2, B({0xFF, 0xFF})),
             B({0x00, 0x1B, 0x33, 0x00, 0x00, 0x0A, 0x1D, 0x56, 0x42, 0x00, 0x1B, 0x32})});
    auto receipt = RenderBytes(stream, NoMargin(64));
    ASSERT_EQ(receipt.objects.size(), 2u);
    const auto& cut = receipt.objects[1];
    EXPECT_EQ(cut.kind, "cut");
    EXPECT_EQ(cut.symbology, "feed to the cutter and partial cut");
    EXPECT_EQ(cut.y, 2);
    // Dashes 8 on, 4 off; the partial cut leaves the middle uncut.
    EXPECT_EQ(receipt.picture.at(0, 2), 96);
    EXPECT_EQ(receipt.picture.at(9, 2), 255);
    EXPECT_EQ(receipt.picture.at(32, 2), 255);
    auto full =
        RenderBytes(Cat({RasterGsV0(1, 2, B({0xFF, 0xFF})), B({0x1D, 0x56, 0x00})}), NoMargin(64));
    EXPECT_EQ(full.picture.at(24, 2), 96);
}

TEST(Renderer, NvImagesArePlaceholders) {
    auto receipt =
        RenderBytes(Cat({B({0x1C, 0x70, 0x03, 0x00}),
                         B({0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x45, 0x30, 0x32, 0x01, 0x01}),
                         B({0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x30, 0x01, 0x01})}),
                    NoMargin());
    ASSERT_EQ(receipt.objects.size(), 2u);
    EXPECT_EQ(receipt.objects[0].kind, "nv_image");
    EXPECT_EQ(receipt.objects[0].status, "placeholder");
    EXPECT_EQ(receipt.objects[0].data, "NV image 3");
    EXPECT_EQ(receipt.objects[1].data, "NV graphics \"02\"");
    EXPECT_EQ(receipt.objects[1].y, receipt.objects[0].y + receipt.objects[0].height);
}

TEST(Renderer, JustificationCentresTheLine) {
    auto receipt = RenderBytes(B({0x1B, 0x61, 0x01, 0x41, 0x42, 0x0A}), NoMargin(100));
    ASSERT_EQ(receipt.objects.size(), 1u);
    EXPECT_EQ(receipt.objects[0].x, (100 - 24) / 2);
}

TEST(Renderer, DisabledPrinterPrintsNothing) {
    auto receipt =
        RenderBytes(B({0x1B, 0x3D, 0x00, 0x41, 0x0A, 0x1B, 0x3D, 0x01, 0x42, 0x0A}), NoMargin());
    ASSERT_EQ(receipt.objects.size(), 1u);
    EXPECT_EQ(receipt.objects[0].data, "B");
}

TEST(Renderer, PaperLengthLimit) {
    auto options = NoMargin(8);
    options.maxLengthDots = 100;
    auto receipt = RenderBytes(RasterGsV0(1, 300, Bytes(300, 0xFF)), options);
    EXPECT_EQ(receipt.picture.height, 100);
    ASSERT_EQ(receipt.warnings.size(), 1u);
}

TEST(Renderer, MarginsSurroundThePrintableArea) {
    emulator::Options options;  // 576 dots with 32 dots of paper around
    auto receipt = RenderBytes(RasterGsV0(1, 1, B({0x80})), options);
    EXPECT_EQ(receipt.picture.width, 640);
    EXPECT_EQ(receipt.picture.height, 65);
    EXPECT_EQ(receipt.picture.at(32, 32), 0);
    EXPECT_EQ(receipt.objects[0].x, 32);
    EXPECT_EQ(receipt.objects[0].y, 32);
}

TEST(Renderer, TwoByteTextDrawsWideCells) {
    Bytes stream = B({0x1C, 0x26, 0xB0, 0xA1, 0x41, 0x1C, 0x2E, 0x0A});
    emulator::Options options = NoMargin();
    options.cjkCodePage = 949;
    auto receipt = RenderBytes(stream, options);
    ASSERT_EQ(receipt.objects.size(), 1u);
    EXPECT_EQ(receipt.objects[0].data, "\uAC00A");
    EXPECT_EQ(receipt.objects[0].width, 24 + 12);
}

}  // namespace
