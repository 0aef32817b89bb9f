// Engine palettes: creation, reading entries back, deletion.
#include "win32/palette.h"

#include <gtest/gtest.h>

namespace {

TEST(PaletteTest, IndexedPaletteEntriesComeBackAsRedGreenBlue) {
    ULONG colours[3] = {RGB(1, 2, 3), RGB(255, 0, 0), RGB(0, 0, 255)};
    HPALETTE palette = EngCreatePalette(PAL_INDEXED, 3, colours, 0, 0, 0);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 3u);
    PALETTEENTRY entries[4] = {};
    EXPECT_EQ(GetPaletteEntries(palette, 1, 4, entries), 2u);  // from index 1 to the end
    EXPECT_EQ(entries[0].peRed, 255);
    EXPECT_EQ(entries[1].peBlue, 255);
    EXPECT_EQ(entries[1].peFlags, 0);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 1, entries), 1u);
    EXPECT_EQ(entries[0].peRed, 1);
    EXPECT_EQ(entries[0].peGreen, 2);
    EXPECT_EQ(entries[0].peBlue, 3);
    EXPECT_EQ(GetPaletteEntries(palette, 3, 1, entries), 0u);
    EXPECT_EQ(platform::PaletteMode(palette), PAL_INDEXED);
    EXPECT_TRUE(EngDeletePalette(palette));
}

TEST(PaletteTest, RgbPaletteHasNoEntries) {
    HPALETTE palette = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entry = {};
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 0u);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 1, &entry), 0u);
    EXPECT_EQ(platform::PaletteMode(palette), PAL_RGB);
    EXPECT_TRUE(EngDeletePalette(palette));
}

TEST(PaletteTest, BadArgumentsAndStaleHandles) {
    EXPECT_EQ(EngCreatePalette(PAL_INDEXED, 2, nullptr, 0, 0, 0), nullptr);
    ULONG colour = 0;
    EXPECT_EQ(EngCreatePalette(PAL_INDEXED, 0, &colour, 0, 0, 0), nullptr);
    EXPECT_EQ(EngCreatePalette(0x1234, 0, nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    HPALETTE palette = EngCreatePalette(PAL_BITFIELDS, 0, nullptr, 0xFF0000, 0xFF00, 0xFF);
    ASSERT_NE(palette, nullptr);
    EXPECT_TRUE(EngDeletePalette(palette));
    EXPECT_FALSE(EngDeletePalette(palette));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    PALETTEENTRY entry = {};
    EXPECT_EQ(GetPaletteEntries(palette, 0, 1, &entry), 0u);
    EXPECT_EQ(GetPaletteEntries(nullptr, 0, 1, &entry), 0u);
    EXPECT_EQ(platform::PaletteMode(palette), 0u);
    EXPECT_EQ(platform::CreateIndexedPalette(nullptr, 2), nullptr);
}

}  // namespace
