// Handle use: wrong, deleted and foreign handles, selection rules, stock objects, the fault
// switch, device capabilities, and that objects are released.
#include <thread>

#include "gdi_test_util.h"

using namespace gdi_test;

namespace {

TEST(GdiHandles, WrongHandlesFailWithInvalidHandle) {
    HDC screen = GetDC(nullptr);
    HDC deletedDc = CreateCompatibleDC(nullptr);
    DeleteDC(deletedDc);
    LOGFONTW lf = Font(-12);
    HFONT deletedFont = CreateFontIndirectW(&lf);
    DeleteObject(deletedFont);
    HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, nullptr);
    const HDC badDcs[] = {nullptr, reinterpret_cast<HDC>(0x1234), deletedDc,
                          reinterpret_cast<HDC>(bitmap)};
    for (HDC dc : badDcs) {
        SIZE size{};
        SetLastError(0);
        EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(GetTextExtentPointW(dc, u"a", 1, &size));
        EXPECT_FALSE(TextOutW(dc, 0, 0, u"a", 1));
        EXPECT_FALSE(PatBlt(dc, 0, 0, 1, 1, BLACKNESS));
        EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, screen, 0, 0, SRCCOPY));
        EXPECT_EQ(CreateCompatibleBitmap(dc, 4, 4), nullptr);
        EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);
        EXPECT_EQ(SetBkColor(dc, 0), CLR_INVALID);
        EXPECT_EQ(SetBkMode(dc, OPAQUE), 0);
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 0);
        EXPECT_FALSE(DeleteDC(dc));
        EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        EXPECT_EQ(GetDIBits(dc, bitmap, 0, 8, nullptr, &info, DIB_RGB_COLORS), 0);
    }
    const HGDIOBJ badObjects[] = {nullptr, reinterpret_cast<HGDIOBJ>(0x5678), deletedFont,
                                  reinterpret_cast<HGDIOBJ>(screen)};
    for (HGDIOBJ h : badObjects) {
        SetLastError(0);
        EXPECT_FALSE(DeleteObject(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        BITMAP bm{};
        EXPECT_EQ(GetObjectW(h, sizeof bm, &bm), 0);
        EXPECT_EQ(SelectObject(screen, h), nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        EXPECT_EQ(GetDIBits(screen, h, 0, 8, nullptr, &info, DIB_RGB_COLORS), 0);
    }
    EXPECT_EQ(CreateCompatibleDC(reinterpret_cast<HDC>(0x99)), nullptr);
    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
    EXPECT_EQ(GetStockObject(9), nullptr);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
}

TEST(GdiHandles, SelectionRules) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(a, 8, 8);
    HGDIOBJ oldA = SelectObject(a, bitmap);
    ASSERT_NE(oldA, nullptr);
    EXPECT_EQ(SelectObject(b, bitmap), nullptr);       // one context at a time
    EXPECT_EQ(SelectObject(screen, bitmap), nullptr);  // never into the screen
    EXPECT_FALSE(DeleteObject(bitmap));                // still selected
    EXPECT_EQ(SelectObject(a, oldA), bitmap);
    EXPECT_NE(SelectObject(b, bitmap), nullptr);
    DeleteDC(b);  // releases its selection
    EXPECT_TRUE(DeleteObject(bitmap));

    LOGFONTW lf = Font(-10);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = SelectObject(a, font);
    EXPECT_EQ(GetCurrentObject(a, OBJ_FONT), font);
    EXPECT_FALSE(DeleteObject(font));
    SelectObject(a, oldFont);
    EXPECT_TRUE(DeleteObject(font));

    EXPECT_FALSE(DeleteDC(screen));  // contexts from GetDC go back with ReleaseDC
    EXPECT_EQ(ReleaseDC(nullptr, a), 0);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(a)), OBJ_MEMDC);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(screen)), OBJ_DC);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
    EXPECT_TRUE(DeleteDC(a));
}

TEST(GdiHandles, GetObjectSizes) {
    LOGFONTW lf = Font(-10);
    HFONT font = CreateFontIndirectW(&lf);
    HBITMAP bitmap = CreateBitmap(3, 3, 1, 1, nullptr);
    EXPECT_EQ(GetObjectW(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTW)));
    EXPECT_EQ(GetObjectW(bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(GetObjectW(GetStockObject(WHITE_BRUSH), 0, nullptr),
              static_cast<int>(sizeof(LOGBRUSH)));
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof bm - 1, &bm), 0);  // too small for the record
    LOGFONTW part{};
    EXPECT_EQ(GetObjectW(font, 4, &part), 4);  // fonts copy what fits
    EXPECT_EQ(part.lfHeight, -10);
    EXPECT_EQ(GetObjectW(font, -1, &part), 0);
    DeleteObject(font);
    DeleteObject(bitmap);
}

TEST(GdiHandles, DeviceCapabilities) {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    struct Case {
        HDC dc;
        int index;
        int value;
    } cases[] = {{screen, LOGPIXELSX, 96}, {screen, LOGPIXELSY, 96}, {mem, LOGPIXELSY, 96},
                 {screen, BITSPIXEL, 32},  {mem, BITSPIXEL, 1},      {screen, PLANES, 1},
                 {screen, HORZRES, 1920},  {screen, VERTRES, 1080},  {mem, 9999, 0}};
    for (const Case& c : cases) EXPECT_EQ(GetDeviceCaps(c.dc, c.index), c.value) << c.index;
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

TEST(GdiHandles, FaultSwitchFailsTheNamedCall) {
    platform::FailGdiCall("GetDC", 1);
    EXPECT_EQ(GetDC(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    HDC screen = GetDC(nullptr);
    EXPECT_NE(screen, nullptr);

    platform::FailGdiCall("CreateCompatibleDC", 2);
    HDC first = CreateCompatibleDC(screen);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(CreateCompatibleDC(screen), nullptr);

    LOGFONTW lf = Font(-12);
    platform::FailGdiCall("CreateFontIndirectW", 1);
    EXPECT_EQ(CreateFontIndirectW(&lf), nullptr);

    SIZE size{};
    platform::FailGdiCall("GetTextExtentPointW", 1);
    EXPECT_FALSE(GetTextExtentPointW(first, u"a", 1, &size));
    EXPECT_TRUE(GetTextExtentPointW(first, u"a", 1, &size));

    platform::FailGdiCall("GetDIBits", 1);
    platform::FailGdiCall("GetDIBits", 0);  // cleared again
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    EXPECT_NE(GetDIBits(screen, GetCurrentObject(first, OBJ_BITMAP), 0, 1, nullptr, &info,
                        DIB_RGB_COLORS),
              0);
    DeleteDC(first);
    ReleaseDC(nullptr, screen);
}

TEST(GdiHandles, TextPictureRoutineReleasesEverything) {
    const int before = platform::LiveGdiObjectCount();
    for (int i = 0; i < 3; ++i) {
        HDC screen = GetDC(nullptr);
        HDC mem = CreateCompatibleDC(screen);
        LOGFONTW lf = Font(-20, u"DejaVu Sans", FW_BOLD, true);
        HFONT font = CreateFontIndirectW(&lf);
        HGDIOBJ oldFont = SelectObject(mem, font);
        SIZE ext{};
        GetTextExtentPointW(mem, u"Line", 4, &ext);
        HBITMAP bitmap = CreateCompatibleBitmap(mem, ext.cx + ext.cy, ext.cy);
        HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
        PatBlt(mem, 0, 0, ext.cx + ext.cy, ext.cy, BLACKNESS);
        TextOutW(mem, 0, 0, u"Line", 4);
        EXPECT_GT(platform::LiveGdiObjectCount(), before);
        SelectObject(mem, oldFont);
        SelectObject(mem, oldBitmap);
        DeleteDC(mem);
        DeleteObject(font);
        DeleteObject(bitmap);
        ReleaseDC(nullptr, screen);
    }
    EXPECT_EQ(platform::LiveGdiObjectCount(), before);
}

TEST(GdiHandles, ContextsOnSeveralThreads) {
    std::vector<std::thread> threads;
    std::vector<int> dots(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &dots] {
            for (int i = 0; i < 20; ++i) {
                HDC mem = CreateCompatibleDC(nullptr);
                LOGFONTW lf = Font(-10 - t - i % 3);
                HFONT font = CreateFontIndirectW(&lf);
                HGDIOBJ oldFont = SelectObject(mem, font);
                HBITMAP bitmap = CreateCompatibleBitmap(mem, 60, 20);
                HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
                PatBlt(mem, 0, 0, 60, 20, BLACKNESS);
                SetTextColor(mem, RGB(255, 255, 255));
                SetBkMode(mem, TRANSPARENT);
                TextOutW(mem, 0, 0, u"Thread", 6);
                SelectObject(mem, oldFont);
                SelectObject(mem, oldBitmap);
                DeleteDC(mem);
                DeleteObject(font);
                if (i == 19) dots[t] = CountSet(ReadMono(bitmap));
                DeleteObject(bitmap);
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int n : dots) EXPECT_GT(n, 20);
}

}  // namespace
