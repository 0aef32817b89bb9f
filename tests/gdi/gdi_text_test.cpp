// Fonts and text: extents, metrics and the pixels TextOutW sets.
#include <memory>

#include "gdi_test_util.h"

using namespace gdi_test;

namespace {

// A memory context drawing on a new monochrome bitmap, cleared to black.
struct MonoCanvas {
    MonoCanvas(int width, int height) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, width, height);
        oldBitmap = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, width, height, BLACKNESS);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkColor(dc, RGB(0, 0, 0));
    }
    ~MonoCanvas() {
        if (oldFont != nullptr) SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteDC(dc);
        DeleteObject(font);
        DeleteObject(bitmap);
    }
    void Use(const LOGFONTW& lf) {
        font = CreateFontIndirectW(&lf);
        ASSERT_NE(font, nullptr);
        oldFont = SelectObject(dc, font);
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ oldBitmap;
    HFONT font = nullptr;
    HGDIOBJ oldFont = nullptr;
};

TEST(GdiTextExtent, HeightRulesOfLogfont) {
    // DejaVu Sans: 2048 units per em, Windows ascent 1901, descent 483.
    struct Case {
        LONG lfHeight;
        LONG cellHeight;
    } cases[] = {{-24, 22 + 6}, {-11, 10 + 3}, {28, 28}, {13, 13}, {0, 15 + 4}};
    for (const Case& c : cases) {
        EXPECT_EQ(Extent(Font(c.lfHeight), u"Receipt").cy, c.cellHeight) << c.lfHeight;
    }
}

TEST(GdiTextExtent, ExtremeHeightsStayBounded) {
    for (LONG h : {INT32_MIN, -100000, 100000, INT32_MAX}) {
        LOGFONTW lf = Font(h);
        lf.lfWidth = h;
        const SIZE s = Extent(lf, u"W");
        EXPECT_GT(s.cy, 4000) << h;
        EXPECT_LT(s.cy, 6000) << h;
        EXPECT_GT(s.cx, 0) << h;
    }
}

TEST(GdiTextExtent, GrowsWithTextAndHeight) {
    const SIZE small = Extent(Font(-16), u"Total");
    const SIZE longer = Extent(Font(-16), u"Total 12.50");
    const SIZE bigger = Extent(Font(-32), u"Total");
    EXPECT_GT(small.cx, 0);
    EXPECT_GT(longer.cx, small.cx);
    EXPECT_EQ(longer.cy, small.cy);
    EXPECT_GT(bigger.cx, small.cx * 3 / 2);
    EXPECT_GT(bigger.cy, small.cy * 3 / 2);
    // Advances add up: no kerning between runs.
    EXPECT_EQ(Extent(Font(-16), u"AV").cx, Extent(Font(-16), u"A").cx + Extent(Font(-16), u"V").cx);
}

TEST(GdiTextExtent, BoldIsWiderThanNormal) {
    for (LONG h : {-12, -24, -48}) {
        const SIZE normal = Extent(Font(h, u"DejaVu Sans", FW_NORMAL), u"Thank you for shopping");
        const SIZE bold = Extent(Font(h, u"DejaVu Sans", FW_BOLD), u"Thank you for shopping");
        EXPECT_GT(bold.cx, normal.cx) << h;
        EXPECT_EQ(bold.cy, normal.cy) << h;
    }
}

TEST(GdiTextExtent, WidthFieldScalesCharacters) {
    LOGFONTW narrow = Font(-24);
    narrow.lfWidth = 6;
    LOGFONTW wide = Font(-24);
    wide.lfWidth = 20;
    EXPECT_LT(Extent(narrow, u"ABCDEF").cx, Extent(Font(-24), u"ABCDEF").cx);
    EXPECT_GT(Extent(wide, u"ABCDEF").cx, Extent(Font(-24), u"ABCDEF").cx);
    EXPECT_EQ(Extent(narrow, u"ABCDEF").cy, Extent(Font(-24), u"ABCDEF").cy);
}

TEST(GdiTextExtent, EmptyStringHasCellHeightOnly) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW lf = Font(-20);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32W(dc, u"", 0, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, Extent(lf, u"x").cy);
    EXPECT_TRUE(GetTextExtentPointW(dc, nullptr, 0, &size));
    EXPECT_EQ(size.cx, 0);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
}

TEST(GdiTextExtent, UnknownFaceFallsBackToSans) {
    EXPECT_EQ(Extent(Font(-18, u"No Such Face 4711"), u"Fallback").cx,
              Extent(Font(-18, u"DejaVu Sans"), u"Fallback").cx);
    EXPECT_EQ(Extent(Font(-18, u""), u"Fallback").cx,
              Extent(Font(-18, u"DejaVu Sans"), u"Fallback").cx);
}

TEST(GdiTextExtent, FaceNameFillingTheWholeFieldIsReadWithinIt) {
    // A 300-character name copied without its end into the 32-character field: the field is
    // read up to its end only (ASan watches the block's end).
    const std::u16string longName(300, u'W');
    auto lf = std::make_unique<LOGFONTW>(Font(-18));
    std::copy_n(longName.begin(), LF_FACESIZE, lf->lfFaceName);
    HFONT font = CreateFontIndirectW(lf.get());
    ASSERT_NE(font, nullptr);
    LOGFONTW back{};
    EXPECT_EQ(GetObjectW(font, sizeof back, &back), static_cast<int>(sizeof back));
    EXPECT_EQ(std::u16string_view(back.lfFaceName, LF_FACESIZE), std::u16string(32, u'W'));
    DeleteObject(font);
    EXPECT_EQ(Extent(*lf, u"Name").cx, Extent(Font(-18), u"Name").cx);
}

TEST(GdiTextExtent, BrokenSurrogatesAreMeasuredAsReplacementCharacters) {
    const char16_t lone[] = {u'A', 0xD800, u'B', 0};
    const char16_t pair[] = {u'A', 0xD83D, 0xDE00, u'B', 0};
    EXPECT_EQ(Extent(Font(-16), lone).cx, Extent(Font(-16), u"A\uFFFDB").cx);
    EXPECT_GT(Extent(Font(-16), pair).cx, Extent(Font(-16), u"AB").cx);
}

TEST(GdiTextExtent, BadArgumentsFail) {
    HDC dc = CreateCompatibleDC(nullptr);
    SIZE size{};
    EXPECT_FALSE(GetTextExtentPointW(dc, u"abc", -1, &size));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(GetTextExtentPointW(dc, nullptr, 3, &size));
    EXPECT_FALSE(GetTextExtentPointW(dc, u"abc", 3, nullptr));
    EXPECT_FALSE(TextOutW(dc, 0, 0, u"abc", -2));
    DeleteDC(dc);
}

TEST(GdiTextMetrics, AgreeWithTheExtent) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW lf = Font(-24, u"DejaVu Sans", FW_BOLD, true);
    lf.lfUnderline = 1;
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(dc, &tm));
    EXPECT_EQ(tm.tmHeight, Extent(lf, u"x").cy);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 24);
    EXPECT_EQ(tm.tmItalic, 1);
    EXPECT_EQ(tm.tmUnderlined, 1);
    EXPECT_EQ(tm.tmWeight, FW_BOLD);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
}

TEST(GdiTextOut, DefaultGuiFontDraws) {
    HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
    ASSERT_NE(stock, nullptr);
    LOGFONTW lf{};
    EXPECT_EQ(GetObjectW(stock, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -11);
    MonoCanvas canvas(120, 20);
    SelectObject(canvas.dc, stock);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPointW(canvas.dc, u"Stock", 5, &size));
    EXPECT_EQ(size.cy, 13);
    ASSERT_TRUE(TextOutW(canvas.dc, 0, 0, u"Stock", 5));
    EXPECT_GT(CountSet(ReadMono(canvas.bitmap)), 10);
    SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    EXPECT_TRUE(DeleteObject(stock));  // stock objects survive
    EXPECT_EQ(GetObjectType(stock), OBJ_FONT);
}

// Every dot TextOutW sets lies in the text's cell box; the box is as wide as the extent, plus
// the extent's height for italics (their slant leans right).
TEST(GdiTextOut, SetsPixelsInsideTheExtentBoxOnly) {
    struct Case {
        const char* name;
        LOGFONTW lf;
        const char16_t* text;
    };
    LOGFONTW underlined = Font(-20);
    underlined.lfUnderline = 1;
    LOGFONTW struck = Font(-20);
    struck.lfStrikeOut = 1;
    LOGFONTW serif = Font(-20, u"DejaVu Serif");
    const Case cases[] = {
        {"normal", Font(-20), u"Hello, jolly World! 123"},
        {"bold", Font(-20, u"DejaVu Sans", FW_BOLD), u"gjpqy |[]{}"},
        {"italic", Font(-20, u"DejaVu Sans", FW_NORMAL, true), u"fjgy Italic WAVE"},
        {"bold italic", Font(-31, u"DejaVu Sans", FW_HEAVY, true), u"jjj fff"},
        {"underline", underlined, u"Under"},
        {"strike-out", struck, u"Strike"},
        {"serif", serif, u"Serif fj"},
        {"small", Font(-7), u"tiny text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string_view text(c.text);
        const SIZE ext = Extent(c.lf, text);
        const int boxWidth = ext.cx + (c.lf.lfItalic ? ext.cy : 0);
        const int left = 20, top = 10;
        MonoCanvas canvas(left + boxWidth + 40, top + ext.cy + 20);
        canvas.Use(c.lf);
        SetBkMode(canvas.dc, TRANSPARENT);
        ASSERT_TRUE(TextOutW(canvas.dc, left, top, text.data(), Len(text)));
        const Picture p = ReadMono(canvas.bitmap);
        int inside = 0;
        for (int y = 0; y < static_cast<int>(p.size()); ++y) {
            for (int x = 0; x < static_cast<int>(p[y].size()); ++x) {
                if (p[y][x] != '#') continue;
                const bool inBox = x >= left && x < left + boxWidth && y >= top && y < top + ext.cy;
                EXPECT_TRUE(inBox) << "dot at " << x << "," << y;
                inside += inBox ? 1 : 0;
            }
        }
        EXPECT_GT(inside, ext.cx / 2);
    }
}

TEST(GdiTextOut, UnderlineAndStrikeOutDrawFullRows) {
    for (int which = 0; which < 2; ++which) {
        LOGFONTW lf = Font(-24);
        (which == 0 ? lf.lfUnderline : lf.lfStrikeOut) = 1;
        const SIZE ext = Extent(lf, u"i i");
        MonoCanvas canvas(ext.cx, ext.cy);
        canvas.Use(lf);
        ASSERT_TRUE(TextOutW(canvas.dc, 0, 0, u"i i", 3));
        const Picture p = ReadMono(canvas.bitmap);
        int fullRows = 0;
        int firstFull = -1;
        for (int y = 0; y < ext.cy; ++y) {
            if (p[y] == std::string(ext.cx, '#')) {
                ++fullRows;
                if (firstFull < 0) firstFull = y;
            }
        }
        EXPECT_GE(fullRows, 1) << which;
        TEXTMETRICW tm{};
        GetTextMetricsW(canvas.dc, &tm);
        if (which == 0) {
            EXPECT_GE(firstFull, tm.tmAscent);  // below the baseline
        } else {
            EXPECT_LT(firstFull, tm.tmAscent);  // above it
            EXPECT_GT(firstFull, tm.tmInternalLeading);
        }
    }
}

TEST(GdiTextOut, OpaqueFillsTheCellBoxTransparentDoesNot) {
    const LOGFONTW lf = Font(-16);
    const SIZE ext = Extent(lf, u"ab");
    for (int mode : {OPAQUE, TRANSPARENT}) {
        MonoCanvas canvas(ext.cx + 10, ext.cy + 10);
        canvas.Use(lf);
        PatBlt(canvas.dc, 0, 0, ext.cx + 10, ext.cy + 10, WHITENESS);
        SetTextColor(canvas.dc, RGB(255, 255, 255));
        SetBkColor(canvas.dc, RGB(0, 0, 0));
        SetBkMode(canvas.dc, mode);
        ASSERT_TRUE(TextOutW(canvas.dc, 5, 5, u"ab", 2));
        const Picture p = ReadMono(canvas.bitmap);
        // Corner of the box: background in OPAQUE mode, untouched white otherwise.
        EXPECT_EQ(p[5][5], mode == OPAQUE ? '.' : '#');
        EXPECT_EQ(p[4][4], '#');
        EXPECT_EQ(p[5 + ext.cy][5 + ext.cx], '#');
    }
}

TEST(GdiTextOut, EmptyTextDrawsNothing) {
    MonoCanvas canvas(16, 16);
    canvas.Use(Font(-12));
    EXPECT_TRUE(TextOutW(canvas.dc, 0, 0, u"", 0));
    EXPECT_TRUE(TextOutW(canvas.dc, 0, 0, nullptr, 0));
    EXPECT_EQ(CountSet(ReadMono(canvas.bitmap)), 0);
}

TEST(GdiTextOut, ClipsAtTheBitmapEdgesAndFarAway) {
    MonoCanvas canvas(30, 10);
    canvas.Use(Font(-40));
    EXPECT_TRUE(TextOutW(canvas.dc, -15, -12, u"WWW", 3));
    EXPECT_GT(CountSet(ReadMono(canvas.bitmap)), 0);
    EXPECT_TRUE(TextOutW(canvas.dc, 0x7FFFFFF0, 0x7FFFFFF0, u"WWW", 3));
    EXPECT_TRUE(TextOutW(canvas.dc, -0x7FFFFFFF, -0x7FFFFFFF, u"WWW", 3));
}

TEST(GdiTextOut, ScreenContextMeasuresAndDiscardsDrawing) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPointW(screen, u"abc", 3, &size));
    EXPECT_GT(size.cx, 0);
    EXPECT_TRUE(TextOutW(screen, 0, 0, u"abc", 3));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

// The sequence the image library uses to put text into a page: a monochrome bitmap as large
// as the text, text as 1 on 0, rows read back bottom row first with a black/white table.
TEST(GdiTextOut, MonochromeTextPictureReadBackBottomUp) {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    ASSERT_NE(mem, nullptr);
    LOGFONTW lf = Font(-24, u"Arial");
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = SelectObject(mem, font);
    SIZE ext{};
    ASSERT_TRUE(GetTextExtentPointW(mem, u"TOTAL 9", 7, &ext));
    HBITMAP bitmap = CreateCompatibleBitmap(mem, ext.cx, ext.cy);
    SetTextColor(mem, 0xFFFFFF);
    SetBkColor(mem, 0);
    SetBkMode(mem, OPAQUE);
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    ASSERT_TRUE(PatBlt(mem, 0, 0, ext.cx, ext.cy, BLACKNESS));
    ASSERT_TRUE(TextOutW(mem, 0, 0, u"TOTAL 9", 7));

    BITMAP bm{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, ext.cx);
    EXPECT_EQ(bm.bmHeight, ext.cy);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[2];
    } info{};
    info.h = {sizeof(BITMAPINFOHEADER), bm.bmWidth, bm.bmHeight, 1, 1, BI_RGB, 0, 0, 0, 2, 0};
    info.colors[0] = {9, 9, 9, 9};  // overwritten by the table
    const int stride = ((bm.bmWidth + 31) / 32) * 4;
    std::vector<BYTE> bottomUp(static_cast<std::size_t>(stride) * bm.bmHeight, 0xCC);
    ASSERT_EQ(GetDIBits(screen, bitmap, 0, bm.bmHeight, bottomUp.data(),
                        reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS),
              bm.bmHeight);
    EXPECT_EQ(info.colors[0].rgbBlue, 0);
    EXPECT_EQ(info.colors[0].rgbRed, 0);
    EXPECT_EQ(info.colors[1].rgbBlue, 255);
    EXPECT_EQ(info.colors[1].rgbGreen, 255);
    EXPECT_EQ(info.h.biClrUsed, 2u);  // the caller's header keeps its fields

    const Picture top = ReadMono(bitmap);
    for (int y = 0; y < bm.bmHeight; ++y) {
        const BYTE* row = &bottomUp[static_cast<std::size_t>(bm.bmHeight - 1 - y) * stride];
        for (int x = 0; x < bm.bmWidth; ++x) {
            EXPECT_EQ(((row[x / 8] >> (7 - x % 8)) & 1) != 0, top[y][x] == '#');
        }
    }
    EXPECT_GT(CountSet(top), 50);

    SelectObject(mem, oldFont);
    SelectObject(mem, oldBitmap);
    EXPECT_TRUE(DeleteDC(mem));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

}  // namespace
