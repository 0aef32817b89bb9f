// Bitmaps: formats of compatible bitmaps, GetDIBits row order, padding and colour tables, size
// queries, DIB sections, SetDIBits, PatBlt and BitBlt between formats.
#include <cstring>

#include "gdi_test_util.h"
#include "win32/heap.h"

using namespace gdi_test;

namespace {

// BITMAPINFO with room for a full 8-bit colour table.
struct Info {
    BITMAPINFOHEADER h{};
    RGBQUAD colors[256]{};
    BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

Info Header(LONG width, LONG height, WORD bpp) {
    Info info;
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = width;
    info.h.biHeight = height;
    info.h.biPlanes = 1;
    info.h.biBitCount = bpp;
    info.h.biCompression = BI_RGB;
    return info;
}

BITMAP InfoOf(HGDIOBJ bitmap) {
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    return bm;
}

// A 10 x 3 monochrome bitmap: row 0 has only pixel 0 white, row 1 pixels 0 and 9, row 2 all.
struct Pattern {
    Pattern() {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateBitmap(10, 3, 1, 1, nullptr);
        old = SelectObject(dc, bitmap);
        SetPixel(dc, 0, 0, RGB(255, 255, 255));
        SetPixel(dc, 0, 1, RGB(255, 255, 255));
        SetPixel(dc, 9, 1, RGB(255, 255, 255));
        PatBlt(dc, 0, 2, 10, 1, WHITENESS);
    }
    ~Pattern() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

TEST(GdiBitmap, CompatibleBitmapFormats) {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    const BITMAP initial = InfoOf(GetCurrentObject(mem, OBJ_BITMAP));
    EXPECT_EQ(initial.bmWidth, 1);
    EXPECT_EQ(initial.bmHeight, 1);
    EXPECT_EQ(initial.bmBitsPixel, 1);

    struct Case {
        HDC dc;
        int cx, cy;
        LONG width, height;
        WORD bpp;
        LONG widthBytes;
    } cases[] = {
        {mem, 17, 5, 17, 5, 1, 4},  // the memory context's monochrome format, rows to 2 bytes
        {mem, 8, 2, 8, 2, 1, 2},
        {screen, 3, 2, 3, 2, 32, 12},  // the screen's format
        {mem, 0, 9, 1, 1, 1, 2},       // empty size: 1 x 1 monochrome
    };
    for (const Case& c : cases) {
        HBITMAP b = CreateCompatibleBitmap(c.dc, c.cx, c.cy);
        ASSERT_NE(b, nullptr);
        const BITMAP bm = InfoOf(b);
        EXPECT_EQ(bm.bmWidth, c.width);
        EXPECT_EQ(bm.bmHeight, c.height);
        EXPECT_EQ(bm.bmBitsPixel, c.bpp);
        EXPECT_EQ(bm.bmWidthBytes, c.widthBytes);
        EXPECT_EQ(bm.bmPlanes, 1);
        EXPECT_EQ(bm.bmBits, nullptr);
        EXPECT_TRUE(DeleteObject(b));
    }
    EXPECT_EQ(CreateCompatibleBitmap(mem, -1, 5), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateCompatibleBitmap(mem, 0x40000000, 0x40000000), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

TEST(GdiBitmap, GetDIBitsOneBitRowOrderAndPadding) {
    Pattern p;
    HDC screen = GetDC(nullptr);
    for (LONG sign : {1, -1}) {
        Info info = Header(10, 3 * sign, 1);
        std::vector<BYTE> bits(12, 0xAA);
        ASSERT_EQ(GetDIBits(screen, p.bitmap, 0, 3, bits.data(), info.get(), DIB_RGB_COLORS), 3);
        const std::vector<BYTE> rowTop0 = {0x80, 0x00, 0, 0};
        const std::vector<BYTE> rowTop1 = {0x80, 0x40, 0, 0};
        const std::vector<BYTE> rowTop2 = {0xFF, 0xC0, 0, 0};
        std::vector<BYTE> expected;
        for (const auto* row : sign > 0 ? std::vector{&rowTop2, &rowTop1, &rowTop0}
                                        : std::vector{&rowTop0, &rowTop1, &rowTop2}) {
            expected.insert(expected.end(), row->begin(), row->end());
        }
        EXPECT_EQ(bits, expected) << "sign " << sign;
        EXPECT_EQ(info.colors[0].rgbRed, 0);
        EXPECT_EQ(info.colors[1].rgbRed, 255);
    }
    ReleaseDC(nullptr, screen);
}

TEST(GdiBitmap, GetDIBitsEightAndTwentyFourBits) {
    Pattern p;
    HDC screen = GetDC(nullptr);
    // 8 bpp: a grey table, black 0 and white 255; rows of 10 bytes padded to 12.
    Info info8 = Header(10, -3, 8);
    std::vector<BYTE> bits8(36, 0xAA);
    ASSERT_EQ(GetDIBits(screen, p.bitmap, 0, 3, bits8.data(), info8.get(), DIB_RGB_COLORS), 3);
    EXPECT_EQ(info8.colors[0].rgbGreen, 0);
    EXPECT_EQ(info8.colors[128].rgbGreen, 128);
    EXPECT_EQ(info8.colors[255].rgbGreen, 255);
    const std::vector<BYTE> row1 = {255, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0};
    EXPECT_EQ(std::vector<BYTE>(bits8.begin() + 12, bits8.begin() + 24), row1);
    // 24 bpp: blue, green, red per pixel; 30 bytes padded to 32; bottom-up.
    Info info24 = Header(10, 3, 24);
    std::vector<BYTE> bits24(96, 0xAA);
    ASSERT_EQ(GetDIBits(screen, p.bitmap, 0, 3, bits24.data(), info24.get(), DIB_RGB_COLORS), 3);
    const BYTE* top = &bits24[64];  // the last row in the buffer is the top row
    EXPECT_EQ(top[0], 255);
    EXPECT_EQ(top[2], 255);
    EXPECT_EQ(top[3], 0);
    EXPECT_EQ(top[30], 0);  // padding
    EXPECT_EQ(top[31], 0);
    EXPECT_EQ(bits24[0 + 27], 255);  // bottom row is all white
    ReleaseDC(nullptr, screen);
}

TEST(GdiBitmap, GetDIBitsSizeQueriesAndPartialRanges) {
    Pattern p;
    HDC screen = GetDC(nullptr);
    Info query = Header(0, 0, 0);
    EXPECT_NE(GetDIBits(screen, p.bitmap, 0, 3, nullptr, query.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(query.h.biWidth, 10);
    EXPECT_EQ(query.h.biHeight, 3);
    EXPECT_EQ(query.h.biBitCount, 1);
    EXPECT_EQ(query.h.biSizeImage, 12u);

    Info query24 = Header(10, 3, 24);
    EXPECT_NE(GetDIBits(screen, p.bitmap, 0, 3, nullptr, query24.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(query24.h.biSizeImage, 96u);

    // Lines 1 .. 2 of a bottom-up DIB: the middle row, then the top row.
    Info part = Header(10, 3, 1);
    std::vector<BYTE> bits(8, 0xAA);
    EXPECT_EQ(GetDIBits(screen, p.bitmap, 1, 5, bits.data(), part.get(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(bits, (std::vector<BYTE>{0x80, 0x40, 0, 0, 0x80, 0x00, 0, 0}));
    EXPECT_EQ(GetDIBits(screen, p.bitmap, 3, 1, bits.data(), part.get(), DIB_RGB_COLORS), 0);

    Info bad = Header(10, 3, 2);
    EXPECT_EQ(GetDIBits(screen, p.bitmap, 0, 3, bits.data(), bad.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    Info pal = Header(10, 3, 1);
    EXPECT_EQ(GetDIBits(screen, p.bitmap, 0, 3, bits.data(), pal.get(), DIB_PAL_COLORS), 0);
    EXPECT_EQ(GetDIBits(screen, p.bitmap, 0, 3, bits.data(), nullptr, DIB_RGB_COLORS), 0);
    ReleaseDC(nullptr, screen);
}

TEST(GdiBitmap, DibSectionKeepsItsLayoutAndPalette) {
    Info info = Header(5, 2, 8);
    info.colors[0] = {0, 0, 0, 0};
    info.colors[1] = {255, 0, 0, 0};  // blue
    info.colors[2] = {0, 0, 255, 0};  // red
    info.h.biClrUsed = 3;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    ASSERT_NE(bits, nullptr);
    auto* b = static_cast<BYTE*>(bits);
    b[0] = 1;      // bottom row, x 0: blue
    b[8 + 4] = 2;  // top row (second in memory), x 4: red

    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(section, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 8);
    EXPECT_EQ(ds.dsBmih.biHeight, 2);
    EXPECT_EQ(ds.dsBmih.biSizeImage, 16u);
    EXPECT_EQ(GetObjectW(section, 0, nullptr), static_cast<int>(sizeof(DIBSECTION)));

    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, section);
    EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 4, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);

    // Read back in its own depth: same indices, its own table.
    Info back = Header(5, -2, 8);
    std::vector<BYTE> rows(16, 0xAA);
    ASSERT_EQ(GetDIBits(dc, section, 0, 2, rows.data(), back.get(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(rows[4], 2);
    EXPECT_EQ(rows[8], 1);
    EXPECT_EQ(back.colors[1].rgbBlue, 255);
    EXPECT_EQ(back.colors[3].rgbBlue, 0);

    // Onto a colour bitmap and back through 24 bits.
    HDC colorDc = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP color = CreateCompatibleBitmap(screen, 5, 2);
    HGDIOBJ oldColor = SelectObject(colorDc, color);
    ASSERT_TRUE(BitBlt(colorDc, 0, 0, 5, 2, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(colorDc, 0, 1), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(colorDc, 4, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(colorDc, 2, 0), RGB(0, 0, 0));

    SelectObject(colorDc, oldColor);
    SelectObject(dc, old);
    DeleteObject(color);
    DeleteDC(colorDc);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(DeleteObject(section));
}

TEST(GdiBitmap, DibSectionRejectsBadHeaders) {
    struct Case {
        const char* name;
        LONG width, height;
        WORD bpp;
        DWORD compression;
    } cases[] = {{"zero width", 0, 4, 8, BI_RGB},
                 {"zero height", 4, 0, 8, BI_RGB},
                 {"depth 2", 4, 4, 2, BI_RGB},
                 {"RLE", 4, 4, 8, BI_RLE8},
                 {"lowest height", 4, INT32_MIN, 8, BI_RGB},
                 {"huge", 0x7FFFFFFF, 0x1000000, 32, BI_RGB}};
    for (const Case& c : cases) {
        Info info = Header(c.width, c.height, c.bpp);
        info.h.biCompression = c.compression;
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr)
            << c.name;
        EXPECT_EQ(bits, nullptr) << c.name;
    }
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
}

TEST(GdiBitmap, BitmapMemoryComesFromThePlatformHeap) {
    HDC dc = CreateCompatibleDC(nullptr);
    platform::FailAllocation(1);
    EXPECT_EQ(CreateCompatibleBitmap(dc, 64, 64), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    platform::ResetAllocationFaults();
    HBITMAP b = CreateCompatibleBitmap(dc, 64, 64);
    EXPECT_NE(b, nullptr);
    DeleteObject(b);
    DeleteDC(dc);
}

TEST(GdiBitmap, CreateBitmapTakesWordAlignedRows) {
    const BYTE rows[] = {0xFF, 0x00, 0x0F, 0xF0};
    HBITMAP b = CreateBitmap(16, 2, 1, 1, rows);
    ASSERT_NE(b, nullptr);
    const Picture p = ReadMono(b);
    EXPECT_EQ(p[0], "########........");
    EXPECT_EQ(p[1], "....########....");
    DeleteObject(b);
    EXPECT_EQ(CreateBitmap(4, 4, 2, 1, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, 4, 1, 7, nullptr), nullptr);
}

TEST(GdiBitmap, SetDIBitsWritesRowsThroughTheColourTable) {
    HBITMAP b = CreateBitmap(4, 2, 1, 1, nullptr);
    Info info = Header(4, 2, 8);  // bottom-up
    info.colors[0] = {0, 0, 0, 0};
    info.colors[1] = {255, 255, 255, 0};
    info.colors[2] = {40, 40, 40, 0};
    const BYTE rows[] = {1, 0, 2, 1, /* bottom */ 0, 0, 0, 1 /* top */};
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(SetDIBits(screen, b, 0, 2, rows, info.get(), DIB_RGB_COLORS), 2);
    const Picture p = ReadMono(b);
    EXPECT_EQ(p[0], "...#");
    EXPECT_EQ(p[1], "#..#");
    ReleaseDC(nullptr, screen);
    DeleteObject(b);
}

TEST(GdiBitmap, PatBltWithStockBrushesOnMonochrome) {
    struct Case {
        DWORD rop;
        int brush;
        char expected;
    } cases[] = {{BLACKNESS, WHITE_BRUSH, '.'}, {WHITENESS, BLACK_BRUSH, '#'},
                 {PATCOPY, BLACK_BRUSH, '.'},   {PATCOPY, WHITE_BRUSH, '#'},
                 {PATCOPY, GRAY_BRUSH, '#'},    {PATCOPY, DKGRAY_BRUSH, '.'},
                 {PATCOPY, LTGRAY_BRUSH, '#'}};
    for (const Case& c : cases) {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP b = CreateCompatibleBitmap(dc, 6, 3);
        HGDIOBJ old = SelectObject(dc, b);
        PatBlt(dc, 0, 0, 6, 3, c.expected == '#' ? BLACKNESS : WHITENESS);
        SelectObject(dc, GetStockObject(c.brush));
        // Negative extents count from the other corner: columns 1 .. 4 of row 1.
        ASSERT_TRUE(PatBlt(dc, 5, 1, -4, 1, c.rop));
        const Picture p = ReadMono(b);
        const char other = c.expected == '#' ? '.' : '#';
        EXPECT_EQ(p[1], std::string(1, other) + std::string(4, c.expected) + other)
            << c.rop << " " << c.brush;
        EXPECT_EQ(p[0], std::string(6, other));
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(b);
    }
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(PatBlt(dc, 0, 0, 1, 1, SRCCOPY));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    EXPECT_TRUE(PatBlt(dc, 0, 0, 1, 1, PATCOPY));
    DeleteDC(dc);
}

TEST(GdiBitmap, PatBltSpansAcrossByteBoundaries) {
    const std::pair<int, int> spans[] = {{0, 40}, {3, 5},  {3, 21}, {8, 16},
                                         {7, 9},  {1, 39}, {0, 1}};
    for (auto [from, to] : spans) {
        for (WORD bpp : {1, 8}) {
            Info info = Header(40, 1, bpp);
            info.colors[1] = {255, 255, 255, 0};
            void* bits = nullptr;
            HBITMAP b = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
            HDC dc = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(dc, b);
            ASSERT_TRUE(PatBlt(dc, from, 0, to - from, 1, WHITENESS));
            std::string row;
            for (int x = 0; x < 40; ++x)
                row += GetPixel(dc, x, 0) == RGB(255, 255, 255) ? '#' : '.';
            EXPECT_EQ(row, std::string(from, '.') + std::string(to - from, '#') +
                               std::string(40 - to, '.'))
                << from << ".." << to << " at " << bpp;
            SelectObject(dc, old);
            DeleteDC(dc);
            DeleteObject(b);
        }
    }
}

TEST(GdiBitmap, BitBltBetweenMonochromeAndColour) {
    HDC screen = GetDC(nullptr);
    HDC mono = CreateCompatibleDC(nullptr);
    HBITMAP monoBitmap = CreateCompatibleBitmap(mono, 4, 1);
    HGDIOBJ oldMono = SelectObject(mono, monoBitmap);
    PatBlt(mono, 0, 0, 4, 1, BLACKNESS);
    SetPixel(mono, 1, 0, RGB(255, 255, 255));

    HDC color = CreateCompatibleDC(nullptr);
    HBITMAP colorBitmap = CreateCompatibleBitmap(screen, 4, 1);
    HGDIOBJ oldColor = SelectObject(color, colorBitmap);
    // Monochrome onto colour: 0 -> text colour, 1 -> background colour of the target.
    SetTextColor(color, RGB(10, 20, 30));
    SetBkColor(color, RGB(200, 100, 50));
    ASSERT_TRUE(BitBlt(color, 0, 0, 4, 1, mono, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(color, 0, 0), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(color, 1, 0), RGB(200, 100, 50));

    // Colour onto monochrome: 1 where the source has its background colour.
    SetBkColor(color, RGB(10, 20, 30));
    ASSERT_TRUE(BitBlt(mono, 0, 0, 4, 1, color, 0, 0, SRCCOPY));
    EXPECT_EQ(ReadMono(monoBitmap)[0], "#.##");

    // Overlapping copy within one bitmap, and rectangles partly outside both bitmaps.
    ASSERT_TRUE(BitBlt(mono, 1, 0, 3, 1, mono, 0, 0, SRCCOPY));
    EXPECT_EQ(ReadMono(monoBitmap)[0], "##.#");
    EXPECT_TRUE(BitBlt(mono, -2, -2, 0x7FFFFFFF, 0x7FFFFFFF, color, -5, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(mono, 0, 0, 4, 1, nullptr, 0, 0, WHITENESS));
    EXPECT_EQ(ReadMono(monoBitmap)[0], "####");
    EXPECT_FALSE(BitBlt(mono, 0, 0, 4, 1, nullptr, 0, 0, SRCCOPY));

    SelectObject(mono, oldMono);
    SelectObject(color, oldColor);
    DeleteObject(monoBitmap);
    DeleteObject(colorBitmap);
    DeleteDC(mono);
    DeleteDC(color);
    ReleaseDC(nullptr, screen);
}

}  // namespace
