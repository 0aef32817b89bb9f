// Band capture: bands collected into the page bitmap with its header, colour table and the
// blank-band counters, through ImageProcessing of the loaded plug-in.
#include <cstring>

#include "plugin_fixture.h"
#include "win32/heap.h"
#include "win32/palette.h"

namespace render_test {
namespace {

class BandCaptureTest : public PluginTest {
protected:
    // Hands one band of `rows` rows of `rowBytes` bytes, all `fill`, to ImageProcessing.
    HRESULT Band(LONG rows, DWORD rowBytes, BYTE fill, bool blank, DWORD format = BMF_1BPP,
                 PBYTE* result = nullptr) {
        std::vector<BYTE> bits(rows * rowBytes, fill);
        BITMAPINFOHEADER header = {};
        header.biSize = sizeof header;
        header.biWidth = static_cast<LONG>(rowBytes * (format == BMF_1BPP ? 8 : 1));
        header.biHeight = rows;
        header.biPlanes = 1;
        header.biBitCount = format == BMF_1BPP ? 1 : 8;
        header.biSizeImage = rows * rowBytes;
        IPPARAMS params = {};
        params.dwSize = sizeof params;
        params.bBanding = TRUE;
        params.bBlankBand = blank;
        PBYTE local = nullptr;
        return host->plugin()->ImageProcessing(host->devobj(), bits.data(), &header, nullptr,
                                               format, &params, result ? result : &local);
    }
};

TEST_F(BandCaptureTest, BandsAppendIntoOnePageBitmapAndCountTheBlankTail) {
    SetMisc();
    Enable();
    PBYTE result = nullptr;
    ASSERT_EQ(Band(10, 8, 0x00, false, BMF_1BPP, &result), S_OK);
    EXPECT_EQ(result, reinterpret_cast<PBYTE>(1));
    ASSERT_EQ(Band(10, 8, 0x5A, false), S_OK);
    ASSERT_EQ(Band(10, 8, 0x00, true), S_OK);  // a blank band is written as white

    POEMPDEV s = State();
    ASSERT_EQ(s->dwBufSize, 240u);
    EXPECT_EQ(s->pBufStart[0], 0x00);
    EXPECT_EQ(s->pBufStart[80], 0x5A);
    for (DWORD i = 160; i < 240; ++i) ASSERT_EQ(s->pBufStart[i], 0xFF) << i;
    EXPECT_EQ(s->bmInfoHeader.biHeight, 30);
    EXPECT_EQ(s->bmInfoHeader.biSizeImage, 240u);
    EXPECT_EQ(s->dwBlankHeight, 10u);
    EXPECT_EQ(s->dwBlankSize, 80u);
    EXPECT_NE(s->bBlankBand, 0);
    // The file header is packed: read its fields by value.
    const WORD bfType = s->bmFileHeader.bfType;
    const DWORD bfSize = s->bmFileHeader.bfSize;
    const DWORD bfOffBits = s->bmFileHeader.bfOffBits;
    EXPECT_EQ(bfType, 0x4D42);
    EXPECT_EQ(bfSize, 294u);
    EXPECT_EQ(bfOffBits, 62u);
    // Colour table: entry 0 black, entry 1 white.
    ASSERT_EQ(s->dwColorTableEntries, 2u);
    const BYTE table[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    EXPECT_EQ(std::memcmp(s->pColorTable, table, 8), 0);

    // A printed band after the blank one ends the blank tail.
    ASSERT_EQ(Band(10, 8, 0x00, false), S_OK);
    EXPECT_EQ(s->dwBlankHeight, 0u);
    EXPECT_EQ(s->dwBlankSize, 0u);
    EXPECT_EQ(s->bBlankBand, 0);
    EXPECT_EQ(s->bmInfoHeader.biHeight, 40);
}

TEST_F(BandCaptureTest, LandscapePagesDropBlankBands) {
    SetMisc();
    Enable();
    State()->UIInfo.byteValue[42] = 1;
    ASSERT_EQ(Band(10, 8, 0x00, false), S_OK);
    ASSERT_EQ(Band(10, 8, 0x00, false), S_OK);
    PBYTE result = nullptr;
    ASSERT_EQ(Band(10, 8, 0xFF, true, BMF_1BPP, &result), S_OK);
    EXPECT_EQ(result, reinterpret_cast<PBYTE>(1));
    EXPECT_EQ(State()->bmInfoHeader.biHeight, 20);
    EXPECT_EQ(State()->dwBufSize, 160u);
    EXPECT_EQ(State()->dwBlankHeight, 0u);
}

TEST_F(BandCaptureTest, UnsupportedFormatIsRefusedAndThePageIsUnchanged) {
    SetMisc();
    Enable();
    ASSERT_EQ(Band(10, 8, 0x00, false), S_OK);
    PBYTE result = reinterpret_cast<PBYTE>(7);
    EXPECT_EQ(Band(10, 8, 0x00, false, 2, &result), E_FAIL);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(State()->dwBufSize, 80u);
    EXPECT_EQ(State()->bmInfoHeader.biHeight, 10);
    EXPECT_TRUE(HasLine(testing_support::ReadFile(LogFile(NoJobPart())),
                        "ImageProcessing : NOT SUPPORTED COLOR TYPE"));
}

TEST_F(BandCaptureTest, EightBitTableComesFromTheDevicePaletteWithWhiteLast) {
    SetMisc();
    Enable(8);
    // Make the device palette's last entry black: the page table still ends in white.
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = {BYTE(i), BYTE(i / 2), BYTE(255 - i), 0};
    entries[255] = {0, 0, 0, 0};
    HPALETTE palette = platform::CreateIndexedPalette(entries, 256);
    HPALETTE saved = State()->hPalette;
    State()->hPalette = palette;
    ASSERT_EQ(Band(4, 16, 0x80, false, BMF_8BPP), S_OK);
    POEMPDEV s = State();
    ASSERT_EQ(s->dwColorTableEntries, 256u);
    EXPECT_EQ(s->pColorTable[10 * 4 + 0], 245);  // blue
    EXPECT_EQ(s->pColorTable[10 * 4 + 1], 5);    // green
    EXPECT_EQ(s->pColorTable[10 * 4 + 2], 10);   // red
    EXPECT_EQ(s->pColorTable[255 * 4 + 0], 255);
    EXPECT_EQ(s->pColorTable[255 * 4 + 1], 255);
    EXPECT_EQ(s->pColorTable[255 * 4 + 2], 255);
    const DWORD bfOffBits = s->bmFileHeader.bfOffBits;
    EXPECT_EQ(bfOffBits, 256u * 4 + 54);
    State()->hPalette = saved;
    EngDeletePalette(palette);
}

TEST_F(BandCaptureTest, FailedGrowthEmptiesThePageButKeepsTheHeaderCounts) {
    SetMisc({{43, 0}});  // no log: its file calls would take the failing allocation
    Enable();
    ASSERT_EQ(Band(10, 8, 0x00, false), S_OK);
    // The colour table is rebuilt first (one allocation), then the page grows.
    platform::FailAllocation(2);
    EXPECT_EQ(Band(10, 8, 0x00, false), E_FAIL);
    platform::ResetAllocationFaults();
    EXPECT_EQ(State()->pBufStart, nullptr);
    EXPECT_EQ(State()->dwBufSize, 0u);
    EXPECT_EQ(State()->bmInfoHeader.biHeight, 10);
}

}  // namespace
}  // namespace render_test
