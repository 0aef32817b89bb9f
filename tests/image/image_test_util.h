// Small helpers of the image tests: building images from index tables and reading them back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "ximage.h"

namespace image_test {

inline RGBQUAD Rgb(BYTE r, BYTE g, BYTE b) {
    return RGBQUAD{b, g, r, 0};
}
inline bool Same(RGBQUAD a, RGBQUAD b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

// A palette image whose rows hold the given indexes (row 0 first).
inline void Fill(CxImage& img, DWORD bpp, const std::vector<std::vector<int>>& rows) {
    ASSERT_NE(img.Create(static_cast<DWORD>(rows[0].size()), static_cast<DWORD>(rows.size()), bpp),
              nullptr);
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            img.SetPixelIndex(static_cast<long>(x), static_cast<long>(y),
                              static_cast<BYTE>(rows[y][x]));
        }
    }
}

// The indexes of a palette image, row by row.
inline std::vector<std::vector<int>> Indexes(const CxImage& img) {
    std::vector<std::vector<int>> rows(img.GetHeight(), std::vector<int>(img.GetWidth()));
    for (DWORD y = 0; y < img.GetHeight(); ++y) {
        for (DWORD x = 0; x < img.GetWidth(); ++x) rows[y][x] = img.GetPixelIndex(x, y);
    }
    return rows;
}

// A w x h image of the depth with random pixels (and a distinct grey palette).
inline void Random(CxImage& img, DWORD w, DWORD h, DWORD bpp, unsigned seed) {
    ASSERT_NE(img.Create(w, h, bpp), nullptr);
    std::mt19937 rng(seed);
    if (img.GetNumColors() != 0) img.SetGreyPalette();
    for (DWORD y = 0; y < h; ++y) {
        BYTE* row = img.GetRow(y);
        // Padding and fill bits are random too: no operation may depend on them.
        for (DWORD i = 0; i < img.GetEffWidth(); ++i) row[i] = static_cast<BYTE>(rng());
    }
}

// Raw pixel colour at (x, y) for comparisons at any depth.
inline uint32_t Px(const CxImage& img, long x, long y) {
    const RGBQUAD c = img.GetPixelColor(x, y);
    return c.rgbBlue | (c.rgbGreen << 8) | (c.rgbRed << 16);
}

}  // namespace image_test
