// CxImage tone and bit depth: brightness through a lookup table, the five dithering methods and
// the nearest-colour reduction to black and white.
//
// Every method turns the image into 1 bpp with the palette 0 = black, 1 = white, so a 1 bit is
// an unprinted dot.

#include <algorithm>

#include "ximage.h"

namespace {

// Ordered 4x4: Bayer indexes, row (y mod 4) first.
constexpr BYTE kOrdered4[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};

// Matrix 8x8: indexed by (x mod 8) first, then (y mod 8).
constexpr BYTE kMatrix8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

constexpr BYTE kBlackWhite[2][4] = {{0, 0, 0, 0}, {255, 255, 255, 0}};

// Clamps a level into 0 .. 255.
inline BYTE ClampLevel(int v) {
    return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Adds error x weight / divisor (truncated toward zero) to the grey pixel (x, y) when it lies in
// the image; pixels outside are left alone.
inline void Spread(BYTE* grey, DWORD eff, long w, long h, long x, long y, int error, int weight,
                   int divisor) {
    if (x < 0 || x >= w || y >= h) return;
    BYTE& p = grey[static_cast<size_t>(y) * eff + static_cast<size_t>(x)];
    p = ClampLevel(p + error * weight / divisor);
}

}  // namespace

/*
 * AdjustBrightness: adds offset to every colour component through a table; pure black (0) and
 * pure white (255) never change. False for an empty image.
 */
bool CxImage::AdjustBrightness(long offset) {
    if (m_pDib == nullptr) return false;
    BYTE table[256];
    for (int i = 0; i < 256; ++i) {
        const double v = static_cast<double>(i - 128) + static_cast<double>(offset + 128) + 0.5;
        const double c = std::clamp(v, -1.0, 256.0);
        table[i] = ClampLevel(static_cast<int>(c));
    }
    table[0] = 0;
    table[255] = 255;
    return ApplyLookupTable(table);
}

/*
 * ApplyLookupTable: maps every colour component through pTable (256 bytes). Palette images have
 * their entries mapped (an identity grey ramp is restored by ConvertToGrey, which remaps the
 * pixels); 24-bpp images have every byte of the pixel area mapped.
 */
bool CxImage::ApplyLookupTable(const BYTE* pTable) {
    if (m_pDib == nullptr || pTable == nullptr) return false;
    RGBQUAD* pal = GetPalette();
    if (pal != nullptr) {
        const bool wasGrey = IsGreyScale();
        for (DWORD i = 0; i < m_head.biClrUsed; ++i) {
            pal[i].rgbBlue = pTable[pal[i].rgbBlue];
            pal[i].rgbGreen = pTable[pal[i].rgbGreen];
            pal[i].rgbRed = pTable[pal[i].rgbRed];
        }
        InvalidateCache();
        if (wasGrey) ConvertToGrey();
        return true;
    }
    BYTE* p = m_pPixels;
    for (DWORD i = 0; i < m_head.biSizeImage; ++i) p[i] = pTable[p[i]];
    return true;
}

// SetStandardPalette: for a 1-bpp image entry 0 black, entry 1 white.
void CxImage::SetStandardPalette() {
    if (m_pDib == nullptr || m_head.biBitCount != 1) return;
    SetPalette(reinterpret_cast<const RGBQUAD*>(kBlackWhite), 2);
}

/*
 * Dither: turns the image into 1 bpp by one of the DitherMethod values (see ximage.h) after
 * converting it to grey levels. A 1-bpp image stays as it is (true). False for an empty image,
 * an unknown method or when an image cannot be made.
 */
bool CxImage::Dither(long method) {
    if (m_pDib == nullptr) return false;
    if (m_head.biBitCount == 1) return true;
    if (method < DITHER_ERROR_DIFFUSION || method > DITHER_MATRIX_8X8) {
        SetLastErrorText("CxImage::Dither : unknown method");
        return false;
    }
    if (!ConvertToGrey()) return false;

    const long w = static_cast<long>(GetWidth());
    const long h = static_cast<long>(GetHeight());
    CxImage dest;
    dest.m_lXDpi = m_lXDpi;
    dest.m_lYDpi = m_lYDpi;
    if (dest.Create(static_cast<DWORD>(w), static_cast<DWORD>(h), 1) == nullptr) {
        SetLastErrorText(dest.GetLastErrorText());
        return false;
    }

    BYTE* grey = m_pPixels;
    const DWORD eff = m_dwEffWidth;
    const DWORD dEff = dest.m_dwEffWidth;

    // Writes the 1-bpp result row by row; bit(x, level) decides each pixel.
    auto threshold = [&](auto&& white) {
        for (long y = 0; y < h; ++y) {
            const BYTE* in = grey + static_cast<size_t>(y) * eff;
            BYTE* out = dest.m_pPixels + static_cast<size_t>(y) * dEff;
            for (long x = 0; x < w; ++x) {
                if (white(x, y, in[x])) out[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
            }
        }
    };

    switch (method) {
        case DITHER_ERROR_DIFFUSION:
        case DITHER_THREE_ROW:
            for (long y = 0; y < h; ++y) {
                BYTE* in = grey + static_cast<size_t>(y) * eff;
                BYTE* out = dest.m_pPixels + static_cast<size_t>(y) * dEff;
                for (long x = 0; x < w; ++x) {
                    const int level = in[x];
                    int error;
                    if (level > 128) {
                        out[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
                        error = level - 255;
                    } else {
                        error = level;
                    }
                    if (error == 0) continue;  // every share would be 0
                    if (method == DITHER_ERROR_DIFFUSION) {
                        Spread(grey, eff, w, h, x + 1, y, error, 7, 16);
                        Spread(grey, eff, w, h, x - 1, y + 1, error, 3, 16);
                        Spread(grey, eff, w, h, x, y + 1, error, 5, 16);
                        Spread(grey, eff, w, h, x + 1, y + 1, error, 1, 16);
                    } else {
                        Spread(grey, eff, w, h, x + 1, y, error, 5, 32);
                        Spread(grey, eff, w, h, x + 2, y, error, 3, 32);
                        Spread(grey, eff, w, h, x - 2, y + 1, error, 2, 32);
                        Spread(grey, eff, w, h, x - 1, y + 1, error, 4, 32);
                        Spread(grey, eff, w, h, x, y + 1, error, 5, 32);
                        Spread(grey, eff, w, h, x + 1, y + 1, error, 4, 32);
                        Spread(grey, eff, w, h, x + 2, y + 1, error, 2, 32);
                        Spread(grey, eff, w, h, x - 1, y + 2, error, 2, 32);
                        Spread(grey, eff, w, h, x, y + 2, error, 3, 32);
                        Spread(grey, eff, w, h, x + 1, y + 2, error, 2, 32);
                    }
                }
            }
            break;
        case DITHER_ORDERED_4X4: {
            BYTE m4[4][4];
            std::copy(&kOrdered4[0][0], &kOrdered4[0][0] + 16, &m4[0][0]);
            threshold(
                [&](long x, long y, int level) { return m4[y & 3][x & 3] < level * 16 / 255; });
            break;
        }
        case DITHER_MATRIX_4X4: {
            // Thresholds 16 x the Bayer index, from the bit-interleaving rule: for row r and
            // column c the index bits are (r0 ^ c0, c0, r1 ^ c1, c1), most significant first.
            BYTE t4[256] = {};
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c) {
                    const int r0 = r & 1, r1 = (r >> 1) & 1, c0 = c & 1, c1 = (c >> 1) & 1;
                    const int index = ((r0 ^ c0) << 3) | (c0 << 2) | ((r1 ^ c1) << 1) | c1;
                    t4[r * 4 + c] = static_cast<BYTE>(index * 16);
                }
            }
            threshold([&](long x, long y, int level) { return level > t4[(y & 3) * 4 + (x & 3)]; });
            break;
        }
        case DITHER_MATRIX_8X8: {
            BYTE m8[8][8];
            std::copy(&kMatrix8[0][0], &kMatrix8[0][0] + 64, &m8[0][0]);
            threshold([&](long x, long y, int level) {
                const int l = level / 4;
                return l != 0 && l >= m8[x & 7][y & 7];
            });
            break;
        }
        default:
            break;
    }

    dest.SetStandardPalette();
    return TakeOver(dest);
}

/*
 * DecreaseBpp: nearest-colour reduction to a black and white 1-bpp image (biClrImportant 2):
 * a pixel becomes white when its colour is nearer to white than to black by squared distance,
 * black on a tie. A 1-bpp image whose biClrImportant is 1 stays as it is.
 */
bool CxImage::DecreaseBpp(DWORD nBits) {
    if (m_pDib == nullptr) return false;
    if (m_head.biBitCount < nBits) {
        SetLastErrorText("DecreaseBpp: target BPP greater than source BPP");
        return false;
    }
    if (nBits != 1) {
        SetLastErrorText("DecreaseBpp: only 1 BPP is supported");
        return false;
    }
    if (m_head.biBitCount == 1 && m_head.biClrImportant == 1) return true;

    const long w = static_cast<long>(GetWidth());
    const long h = static_cast<long>(GetHeight());
    CxImage dest;
    dest.m_lXDpi = m_lXDpi;
    dest.m_lYDpi = m_lYDpi;
    if (dest.Create(static_cast<DWORD>(w), static_cast<DWORD>(h), 1) == nullptr) {
        SetLastErrorText(dest.GetLastErrorText());
        return false;
    }
    dest.m_head.biClrImportant = 2;
    dest.SetStandardPalette();

    // White when nearer to white than to black (FindNearestIndex over black, white).
    auto nearWhite = [](BYTE b, BYTE g, BYTE r) {
        const long db = 255 - b, dg = 255 - g, dr = 255 - r;
        const long toWhite = db * db + dg * dg + dr * dr;
        const long toBlack =
            static_cast<long>(b) * b + static_cast<long>(g) * g + static_cast<long>(r) * r;
        return toWhite < toBlack;
    };

    BYTE map[256] = {};
    for (DWORD i = 0; i < m_head.biClrUsed; ++i) {
        const RGBQUAD c = GetPaletteColor(i);
        map[i] = nearWhite(c.rgbBlue, c.rgbGreen, c.rgbRed) ? 1 : 0;
    }
    const DWORD dEff = dest.m_dwEffWidth;
    const WORD bpp = m_head.biBitCount;
    for (long y = 0; y < h; ++y) {
        const BYTE* in = m_pPixels + static_cast<size_t>(y) * m_dwEffWidth;
        BYTE* out = dest.m_pPixels + static_cast<size_t>(y) * dEff;
        if (bpp == 1) {
            // A set bit takes the answer for index 1, a clear bit the answer for index 0.
            const BYTE ones = map[1] ? 0xFF : 0x00;
            const BYTE zeros = map[0] ? 0xFF : 0x00;
            const long bytes = (w + 7) / 8;
            for (long i = 0; i < bytes; ++i) {
                out[i] = static_cast<BYTE>((in[i] & ones) | (~in[i] & zeros));
            }
            if (w % 8 != 0) out[w / 8] &= static_cast<BYTE>(0xFF00 >> (w % 8));
        } else if (bpp == 8) {
            for (long x = 0; x < w; ++x) {
                if (map[in[x]]) out[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
            }
        } else if (bpp == 24) {
            for (long x = 0; x < w; ++x) {
                if (nearWhite(in[x * 3], in[x * 3 + 1], in[x * 3 + 2])) {
                    out[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
                }
            }
        } else {
            for (long x = 0; x < w; ++x) {
                if (map[GetPixelIndexUnchecked(x, y)]) {
                    out[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
                }
            }
        }
    }
    return TakeOver(dest);
}
