// Small helpers of the GDI tests: fonts from a few fields, a memory context with a bitmap, and
// the pixels of a monochrome bitmap read back through GetDIBits.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "win32/wingdi.h"

namespace gdi_test {

inline LOGFONTW Font(LONG height, std::u16string_view face = u"DejaVu Sans",
                     LONG weight = FW_NORMAL, bool italic = false) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    for (std::size_t i = 0; i < face.size() && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
    return lf;
}

inline int Len(std::u16string_view s) {
    return static_cast<int>(s.size());
}

// Extent of text in a font, measured on a fresh memory context.
inline SIZE Extent(const LOGFONTW& lf, std::u16string_view text) {
    SIZE size{-1, -1};
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    EXPECT_TRUE(GetTextExtentPointW(dc, text.data(), Len(text), &size));
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return size;
}

// Rows of a 1-bpp picture, top row first, one char per pixel ('#' set, '.' clear).
using Picture = std::vector<std::string>;

// The bitmap read as a 1-bpp top-down DIB.
inline Picture ReadMono(HBITMAP bitmap) {
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[2];
    } info{};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = bm.bmWidth;
    info.h.biHeight = -bm.bmHeight;
    info.h.biPlanes = 1;
    info.h.biBitCount = 1;
    const int stride = ((bm.bmWidth + 31) / 32) * 4;
    std::vector<BYTE> bits(static_cast<std::size_t>(stride) * bm.bmHeight);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, bm.bmHeight, bits.data(),
                        reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS),
              bm.bmHeight);
    ReleaseDC(nullptr, screen);
    Picture rows;
    for (int y = 0; y < bm.bmHeight; ++y) {
        std::string row;
        for (int x = 0; x < bm.bmWidth; ++x) {
            const bool on = (bits[y * stride + x / 8] >> (7 - x % 8)) & 1;
            row += on ? '#' : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

inline int CountSet(const Picture& p) {
    int n = 0;
    for (const auto& row : p) n += static_cast<int>(std::count(row.begin(), row.end(), '#'));
    return n;
}

}  // namespace gdi_test
