// Raster command generation: exact bytes of both forms, strips, planes, tone codes, and the
// decoded dots of the commands against the image.
#include "page/raster_commands.h"

#include <random>

#include "page_fixture.h"

namespace page_test {
namespace {

using testing_support::FromHex;
using testing_support::ToHex;

class RasterTest : public PageTest {};

TEST_F(RasterTest, WhiteRowsPlainFormIsOneGsV0Command) {
    CxImage image;
    MakeMono(image, 384, 10, [](DWORD, DWORD) { return false; });
    ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 10, FALSE, FALSE), S_OK);
    const std::string expected = FromHex("00 00 00 1B 4A 00 1D 76 30 00 30 00 0A 00") +
                                 std::string(480, '\0') + std::string(1, '\0');
    EXPECT_EQ(Output().size(), 495u);
    EXPECT_EQ(ToHex(Output()), ToHex(expected));
}

TEST_F(RasterTest, WhiteRowsCompressedFormRunsOfZeroBytes) {
    CxImage image;
    MakeMono(image, 384, 10, [](DWORD, DWORD) { return false; });
    ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 10, TRUE, FALSE), S_OK);
    EXPECT_EQ(ToHex(Output()), ToHex(FromHex("00 00 00 08 43 52 00 00 00 00 00 80 01 0A 00"
                                             "00 FF 00 E1 08 43 52 FF 00 00")));
}

TEST(RunLengthEncoding, RunsAndLiterals) {
    struct Case {
        const char* plane;
        const char* encoded;
    } cases[] = {
        {"00 00 00 12 FF FF 34 00", "00 03 12 FF 02 34 00 01"},
        {"FF", "FF 01"},
        {"12 34 56", "12 34 56"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::string in = FromHex(c.plane);
        std::vector<BYTE> out(in.size() * 2 + 1);
        const DWORD n = EncodePlaneRLE(reinterpret_cast<const BYTE*>(in.data()),
                                       static_cast<DWORD>(in.size()), out.data());
        EXPECT_EQ(ToHex(std::string(out.begin(), out.begin() + n)), ToHex(FromHex(c.encoded)))
            << c.plane;
    }
    // Runs longer than 255 bytes continue as new runs.
    std::vector<BYTE> ff(600, 0xFF);
    std::vector<BYTE> out(1200);
    const DWORD n = EncodePlaneRLE(ff.data(), 600, out.data());
    EXPECT_EQ(ToHex(std::string(out.begin(), out.begin() + n)),
              ToHex(FromHex("FF FF FF FF FF 5A")));
}

TEST_F(RasterTest, FiveHundredRowsGoAsStripsOf246) {
    CxImage image;
    MakeMono(image, 64, 500, RowNumberDot);
    for (BOOL rle : {FALSE, TRUE}) {
        ClearOutput();
        ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 500, rle, FALSE), S_OK);
        auto rasters = Rasters(Output());
        ASSERT_EQ(rasters.size(), 3u);
        EXPECT_EQ(rasters[0].rows, 246);
        EXPECT_EQ(rasters[1].rows, 246);
        EXPECT_EQ(rasters[2].rows, 8);
        EXPECT_EQ(DecodedRows(Output(), 64), ImageRows(image, 0, 500)) << "rle " << rle;
    }
}

TEST_F(RasterTest, GreyscaleCompressedStripHasFourPlanesThenTerminator) {
    CxImage image;
    ASSERT_NE(image.Create(16, 3, 8), nullptr);
    image.SetGreyPalette();
    ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 3, TRUE, TRUE), S_OK);
    auto commands = DecodeCommands(Output());
    std::vector<int> planes;
    int terminators = 0;
    for (const auto& c : commands) {
        if (c.kind == emulator::CommandKind::CompressedRaster) {
            planes.push_back(static_cast<int>(c.arg("plane")));
        }
        if (c.kind == emulator::CommandKind::RasterStripEnd) ++terminators;
    }
    EXPECT_EQ(planes, (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(terminators, 1);
    // The plain form carries the four planes as four GS v 0 commands.
    ClearOutput();
    ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 3, FALSE, TRUE), S_OK);
    EXPECT_EQ(Rasters(Output()).size(), 4u);
}

// Luminance as the tone rule computes it.
int Luminance(int grey) {
    return static_cast<int>((0.587 * grey + 0.299 * grey) + 0.114 * grey);
}

TEST_F(RasterTest, ToneOfLuminance146InsideAndOutsidePictures) {
    int grey = 140;
    while (Luminance(grey) != 146) ++grey;
    CxImage image;
    ASSERT_NE(image.Create(8, 2, 8), nullptr);
    image.SetGreyPalette();
    for (long x = 0; x < 8; ++x) {
        image.SetPixelIndex(x, 0, static_cast<BYTE>(grey));
        image.SetPixelIndex(x, 1, static_cast<BYTE>(grey));
    }
    SetImageRects({{0, 1, 8, 1}});  // row 1 is a picture row
    BYTE p[4][8 * 246] = {};
    PBYTE planes[4] = {p[0], p[1], p[2], p[3]};
    EXPECT_EQ(CreateImageBuffer(&devobj, planes, &image, 0, 2, TRUE), 2u);
    // Row 0: outside every picture, two levels: white.
    EXPECT_EQ(p[0][0] | p[1][0] | p[2][0] | p[3][0], 0);
    // Row 1: tone 7 = 0111: plane 0 clear, planes 1 to 3 set.
    EXPECT_EQ(p[0][1], 0x00);
    EXPECT_EQ(p[1][1], 0xFF);
    EXPECT_EQ(p[2][1], 0xFF);
    EXPECT_EQ(p[3][1], 0xFF);
}

TEST_F(RasterTest, ToneCodesByLuminance) {
    // luminance -> tone inside a picture; outside, tones above 7 become 15, the rest 0.
    const std::pair<int, int> cases[] = {{255, 0}, {230, 5}, {190, 6}, {150, 7}, {100, 8},
                                         {60, 9},  {40, 10}, {20, 11}, {5, 12}};
    for (auto [level, tone] : cases) {
        int grey = level;
        while (Luminance(grey) < level) ++grey;
        CxImage image;
        ASSERT_NE(image.Create(8, 2, 8), nullptr);
        image.SetGreyPalette();
        image.SetPixelIndex(0, 0, static_cast<BYTE>(grey));
        image.SetPixelIndex(0, 1, static_cast<BYTE>(grey));
        SetImageRects({{0, 0, 8, 0}});
        BYTE p[4][8 * 246] = {};
        PBYTE planes[4] = {p[0], p[1], p[2], p[3]};
        CreateImageBuffer(&devobj, planes, &image, 0, 2, TRUE);
        auto toneAt = [&](int row) {
            return ((p[0][row] >> 7) << 3) | ((p[1][row] >> 7) << 2) | ((p[2][row] >> 7) << 1) |
                   (p[3][row] >> 7);
        };
        EXPECT_EQ(toneAt(0), tone) << level;
        EXPECT_EQ(toneAt(1), tone > 7 ? 15 : 0) << level;
    }
}

TEST_F(RasterTest, OddWidthRoundsUpToWholeBytes) {
    CxImage image;
    MakeMono(image, 385, 2, [](DWORD x, DWORD) { return x == 384; });
    ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 2, TRUE, FALSE), S_OK);
    const std::string out = Output();
    EXPECT_EQ(ToHex(out.substr(11, 2)), "88 01");  // 392 dots
    ClearOutput();
    ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 2, FALSE, FALSE), S_OK);
    auto rasters = Rasters(Output());
    ASSERT_EQ(rasters.size(), 1u);
    EXPECT_EQ(rasters[0].widthBytes, 49);
    EXPECT_EQ(rasters[0].data[48], 0x80);  // dot 384 black, the padding dots white
}

TEST_F(RasterTest, RowsBelowTheImageTakeTheTopLeftColour) {
    CxImage image;
    MakeMono(image, 16, 4, [](DWORD x, DWORD y) { return x == 0 && y == 0; });
    ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 2, 4, FALSE, FALSE), S_OK);
    auto rows = DecodedRows(Output(), 16);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], std::string(16, '.'));
    EXPECT_EQ(rows[2], std::string(16, '#'));  // row 4 is off the image: top-left is black
    EXPECT_EQ(rows[3], std::string(16, '#'));
}

TEST_F(RasterTest, ZeroRowsQueueNothing) {
    CxImage image;
    MakeMono(image, 16, 4, [](DWORD, DWORD) { return true; });
    EXPECT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 0, TRUE, FALSE), E_FAIL);
    EXPECT_EQ(plugin->m_dwTotalBufSize, 0u);
}

TEST_F(RasterTest, DecodedDotsEqualTheImageInEveryDepthAndForm) {
    std::mt19937 rng(7);
    for (DWORD bpp : {1u, 8u, 24u}) {
        CxImage image;
        ASSERT_NE(image.Create(203, 300, bpp), nullptr);
        if (bpp == 1) {
            const RGBQUAD pal[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};  // 0 white, 1 black
            image.SetPalette(pal, 2);
        } else if (bpp == 8) {
            image.SetGreyPalette();
        }
        for (long y = 0; y < 300; ++y) {
            for (long x = 0; x < 203; ++x) {
                // Long white and black runs with scattered noise: every encoding case.
                const BYTE v = (y / 20) % 3 == 0 ? 255 : ((y / 20) % 3 == 1 ? 0 : rng() & 0xFF);
                image.SetPixelColor(x, y, RGBQUAD{v, v, v, 0});
            }
        }
        for (BOOL rle : {FALSE, TRUE}) {
            ClearOutput();
            ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 17, 283, rle, FALSE), S_OK);
            EXPECT_EQ(DecodedRows(Output(), 203), ImageRows(image, 17, 283))
                << "bpp " << bpp << " rle " << rle;
        }
    }
}

TEST_F(RasterTest, IsolatedBytesGrowTheCompressedOutput) {
    // Alternating single 00 and FF bytes: every byte takes two bytes encoded.
    CxImage image;
    MakeMono(image, 576, 600, [](DWORD x, DWORD) { return (x / 8) % 2 == 0; });
    ASSERT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 600, TRUE, FALSE), S_OK);
    EXPECT_EQ(Output().size(), 3u * 21 + 2u * 72 * 600);
    EXPECT_EQ(DecodedRows(Output(), 576), ImageRows(image, 0, 600));
}

TEST_F(RasterTest, AllocationFailureQueuesNothing) {
    CxImage image;
    MakeMono(image, 64, 10, RowNumberDot);
    for (BOOL rle : {FALSE, TRUE}) {
        platform::FailAllocation(1);
        EXPECT_EQ(AddImageCommands(plugin, &devobj, &image, 0, 10, rle, FALSE), E_FAIL);
        platform::ResetAllocationFaults();
        EXPECT_EQ(plugin->m_dwTotalBufSize, 0u);
    }
}

}  // namespace
}  // namespace page_test
