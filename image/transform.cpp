// CxImage geometric transforms: quarter and half turns, crop, nearest-pixel resampling,
// canvas extension and the vertical flip.
//
// Every transform except FlipVertical builds the result in a new image of the same depth and
// palette and moves it in with TakeOver; when the new image cannot be made the source stays
// as it was and the result is false.

#include <algorithm>
#include <cstring>

#include "win32/heap.h"
#include "ximage.h"

namespace {

constexpr long kTile = 64;  // tile edge for the turns of 4, 8 and 24 bpp images

// The 8 bits of a byte in reverse order.
struct BitReverseTable {
    BYTE v[256];
    constexpr BitReverseTable() : v() {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b) {
                if (i & (1 << b)) r |= 0x80 >> b;
            }
            v[i] = static_cast<BYTE>(r);
        }
    }
};
constexpr BitReverseTable kReverse;

// Zeroes the fill bits after the last pixel of a 1-bpp row of width pixels.
void ClearFillBits(BYTE* row, DWORD width, DWORD effWidth) {
    const DWORD full = width / 8;
    const DWORD rest = width % 8;
    DWORD first = full;
    if (rest != 0) {
        row[full] &= static_cast<BYTE>(0xFF00 >> rest);
        first = full + 1;
    }
    if (first < effWidth) std::memset(row + first, 0, effWidth - first);
}

}  // namespace

/*
 * Quarter turns. RotateLeft: new(x', y') <- old(y', H - 1 - x') (clockwise: the old left edge
 * becomes the top edge). RotateRight: new(x', y') <- old(W - 1 - y', x'). 1-bpp images are turned
 * bit by bit from the set bits of the source; other depths are copied in 64 x 64 tiles.
 */
namespace {

enum class Turn { Left, Right };

// Copies a 4, 8 or 24 bpp image turned by a quarter, in tiles of 64 x 64 source pixels so that
// the source and destination rows of a tile stay in cache.
template <Turn turn, int bpp>
void TurnTiles(const CxImage& src, CxImage& dest) {
    const long w = static_cast<long>(src.GetWidth());
    const long h = static_cast<long>(src.GetHeight());
    const size_t srcEff = src.GetEffWidth();
    const size_t dstEff = dest.GetEffWidth();
    const BYTE* s = src.GetBits();
    BYTE* d = dest.GetBits();
    for (long ty = 0; ty < h; ty += kTile) {
        const long yEnd = std::min(h, ty + kTile);
        for (long tx = 0; tx < w; tx += kTile) {
            const long xEnd = std::min(w, tx + kTile);
            for (long x = tx; x < xEnd; ++x) {
                const long dy = turn == Turn::Left ? x : w - 1 - x;
                BYTE* drow = d + static_cast<size_t>(dy) * dstEff;
                for (long y = ty; y < yEnd; ++y) {
                    const long dx = turn == Turn::Left ? h - 1 - y : y;
                    if constexpr (bpp == 8) {
                        drow[dx] = s[static_cast<size_t>(y) * srcEff + x];
                    } else if constexpr (bpp == 24) {
                        const BYTE* sp = s + static_cast<size_t>(y) * srcEff + x * 3;
                        BYTE* dp = drow + dx * 3;
                        dp[0] = sp[0];
                        dp[1] = sp[1];
                        dp[2] = sp[2];
                    } else {
                        dest.SetPixelIndexUnchecked(dx, dy, src.GetPixelIndexUnchecked(x, y));
                    }
                }
            }
        }
    }
}

bool TurnQuarter(CxImage& src, CxImage& dest, Turn turn) {
    const long w = static_cast<long>(src.GetWidth());
    const long h = static_cast<long>(src.GetHeight());
    const WORD bpp = src.GetBpp();
    const DWORD srcEff = src.GetEffWidth();
    const DWORD dstEff = dest.GetEffWidth();
    const BYTE* s = src.GetBits();
    BYTE* d = dest.GetBits();

    if (bpp == 1) {
        std::memset(d, 0, static_cast<size_t>(dstEff) * dest.GetHeight());
        const long rowBytes = (w + 7) / 8;
        for (long y = 0; y < h; ++y) {
            const BYTE* row = s + static_cast<size_t>(y) * srcEff;
            // Destination column for source row y, and its byte and bit.
            const long dx = turn == Turn::Left ? h - 1 - y : y;
            const size_t dByte = static_cast<size_t>(dx >> 3);
            const BYTE dMask = static_cast<BYTE>(0x80 >> (dx & 7));
            for (long bx = 0; bx < rowBytes; ++bx) {
                BYTE b = row[bx];
                if (b == 0) continue;
                const long x0 = bx * 8;
                for (int bit = 0; b != 0; ++bit, b = static_cast<BYTE>(b << 1)) {
                    if (!(b & 0x80)) continue;
                    const long x = x0 + bit;
                    if (x >= w) break;  // fill bits after the last pixel
                    const long dy = turn == Turn::Left ? x : w - 1 - x;
                    d[static_cast<size_t>(dy) * dstEff + dByte] |= dMask;
                }
            }
        }
        return true;
    }

    switch (bpp) {
        case 8:
            turn == Turn::Left ? TurnTiles<Turn::Left, 8>(src, dest)
                               : TurnTiles<Turn::Right, 8>(src, dest);
            break;
        case 24:
            turn == Turn::Left ? TurnTiles<Turn::Left, 24>(src, dest)
                               : TurnTiles<Turn::Right, 24>(src, dest);
            break;
        default:
            turn == Turn::Left ? TurnTiles<Turn::Left, 4>(src, dest)
                               : TurnTiles<Turn::Right, 4>(src, dest);
            break;
    }
    return true;
}

}  // namespace

bool CxImage::RotateLeft() {
    if (m_pDib == nullptr) return false;
    CxImage dest;
    if (CreateLike(dest, GetHeight(), GetWidth()) == nullptr) {
        SetLastErrorText(dest.GetLastErrorText());
        return false;
    }
    TurnQuarter(*this, dest, Turn::Left);
    return TakeOver(dest);
}

bool CxImage::RotateRight() {
    if (m_pDib == nullptr) return false;
    CxImage dest;
    if (CreateLike(dest, GetHeight(), GetWidth()) == nullptr) {
        SetLastErrorText(dest.GetLastErrorText());
        return false;
    }
    TurnQuarter(*this, dest, Turn::Right);
    return TakeOver(dest);
}

/*
 * Rotate180: new(x', y') <- old(W - 1 - x', H - 1 - y'). 1-bpp rows are reversed a byte at a
 * time (bits mirrored, then shifted so that the fill bits stay at the end of the row).
 */
bool CxImage::Rotate180() {
    if (m_pDib == nullptr) return false;
    CxImage dest;
    if (CreateLike(dest, GetWidth(), GetHeight()) == nullptr) {
        SetLastErrorText(dest.GetLastErrorText());
        return false;
    }
    const long w = static_cast<long>(GetWidth());
    const long h = static_cast<long>(GetHeight());
    const DWORD eff = m_dwEffWidth;

    if (m_head.biBitCount == 1) {
        // Reversing the whole row of eff x 8 bits puts pixel x at eff x 8 - 1 - x; pixel x must
        // land at w - 1 - x, so the reversed row is shifted left by eff x 8 - w bits.
        const DWORD shift = eff * 8 - static_cast<DWORD>(w);
        const DWORD byteShift = shift / 8;
        const int bitShift = static_cast<int>(shift % 8);
        BYTE* reversed = static_cast<BYTE*>(MemCalloc(eff + 1, 1));
        if (reversed == nullptr) return false;
        for (long y = 0; y < h; ++y) {
            const BYTE* srow = m_pPixels + static_cast<size_t>(h - 1 - y) * eff;
            BYTE* drow = dest.m_pPixels + static_cast<size_t>(y) * eff;
            for (DWORD i = 0; i < eff; ++i) reversed[i] = kReverse.v[srow[eff - 1 - i]];
            reversed[eff] = 0;
            for (DWORD j = 0; j + byteShift < eff; ++j) {
                const DWORD k = j + byteShift;
                drow[j] = bitShift == 0 ? reversed[k]
                                        : static_cast<BYTE>((reversed[k] << bitShift) |
                                                            (reversed[k + 1] >> (8 - bitShift)));
            }
            ClearFillBits(drow, static_cast<DWORD>(w), eff);
        }
        MemFree(reversed);
    } else if (m_head.biBitCount == 8) {
        for (long y = 0; y < h; ++y) {
            const BYTE* srow = m_pPixels + static_cast<size_t>(h - 1 - y) * eff;
            BYTE* drow = dest.m_pPixels + static_cast<size_t>(y) * eff;
            for (long x = 0; x < w; ++x) drow[x] = srow[w - 1 - x];
        }
    } else if (m_head.biBitCount == 24) {
        for (long y = 0; y < h; ++y) {
            const BYTE* srow = m_pPixels + static_cast<size_t>(h - 1 - y) * eff;
            BYTE* drow = dest.m_pPixels + static_cast<size_t>(y) * eff;
            for (long x = 0; x < w; ++x) {
                const BYTE* sp = srow + (w - 1 - x) * 3;
                drow[x * 3] = sp[0];
                drow[x * 3 + 1] = sp[1];
                drow[x * 3 + 2] = sp[2];
            }
        }
    } else {
        for (long y = 0; y < h; ++y) {
            for (long x = 0; x < w; ++x) {
                dest.SetPixelIndexUnchecked(x, y, GetPixelIndexUnchecked(w - 1 - x, h - 1 - y));
            }
        }
    }
    return TakeOver(dest);
}

/*
 * Crop: keeps columns min(left, right) .. max(left, right) - 1 and the memory rows
 * H - max(top, bottom) .. H - min(top, bottom) - 1 (the row arguments count from the last row).
 * Arguments are clamped into the image first. False for an empty image or an empty rectangle.
 */
bool CxImage::Crop(long left, long top, long right, long bottom) {
    if (m_pDib == nullptr) return false;
    const long w = static_cast<long>(GetWidth());
    const long h = static_cast<long>(GetHeight());
    left = std::clamp(left, 0L, w);
    right = std::clamp(right, 0L, w);
    top = std::clamp(top, 0L, h);
    bottom = std::clamp(bottom, 0L, h);
    if (left == right || top == bottom) return false;

    const long x0 = std::min(left, right);
    const long newW = std::max(left, right) - x0;
    const long y0 = h - std::max(top, bottom);
    const long newH = std::max(top, bottom) - std::min(top, bottom);

    CxImage dest;
    if (CreateLike(dest, static_cast<DWORD>(newW), static_cast<DWORD>(newH)) == nullptr) {
        SetLastErrorText(dest.GetLastErrorText());
        return false;
    }
    dest.m_lBackgroundIndex = m_lBackgroundIndex;
    dest.m_backgroundColor = m_backgroundColor;

    const DWORD dstEff = dest.m_dwEffWidth;
    if (m_head.biBitCount == 8 || m_head.biBitCount == 24) {
        const size_t bytesPerPixel = m_head.biBitCount / 8;
        for (long y = 0; y < newH; ++y) {
            std::memcpy(dest.m_pPixels + static_cast<size_t>(y) * dstEff,
                        m_pPixels + static_cast<size_t>(y0 + y) * m_dwEffWidth + x0 * bytesPerPixel,
                        static_cast<size_t>(newW) * bytesPerPixel);
        }
    } else if (m_head.biBitCount == 1) {
        // Whole bytes shifted into place; pixel x0 + j of the source becomes pixel j.
        const DWORD srcByte = static_cast<DWORD>(x0 / 8);
        const int bitShift = static_cast<int>(x0 % 8);
        const DWORD outBytes = static_cast<DWORD>((newW + 7) / 8);
        for (long y = 0; y < newH; ++y) {
            const BYTE* srow = m_pPixels + static_cast<size_t>(y0 + y) * m_dwEffWidth;
            BYTE* drow = dest.m_pPixels + static_cast<size_t>(y) * dstEff;
            for (DWORD j = 0; j < outBytes; ++j) {
                const DWORD k = srcByte + j;
                const BYTE next = k + 1 < m_dwEffWidth ? srow[k + 1] : 0;
                drow[j] = bitShift == 0
                              ? srow[k]
                              : static_cast<BYTE>((srow[k] << bitShift) | (next >> (8 - bitShift)));
            }
            ClearFillBits(drow, static_cast<DWORD>(newW), dstEff);
        }
    } else {
        for (long y = 0; y < newH; ++y) {
            for (long x = 0; x < newW; ++x) {
                dest.SetPixelIndexUnchecked(x, y, GetPixelIndexUnchecked(x0 + x, y0 + y));
            }
        }
    }
    return TakeOver(dest);
}

/*
 * Resample: nearest-pixel scaling to newWidth x newHeight. Source column = integer part of
 * j x (W / newWidth), source row = integer part of i x (H / newHeight), single precision.
 * Palette images write the nearest palette entry of the source pixel's colour.
 */
bool CxImage::Resample(long newWidth, long newHeight) {
    if (m_pDib == nullptr || newWidth <= 0 || newHeight <= 0) return false;
    const long w = static_cast<long>(GetWidth());
    const long h = static_cast<long>(GetHeight());
    if (newWidth == w && newHeight == h) return true;

    const float xScale = static_cast<float>(w) / static_cast<float>(newWidth);
    const float yScale = static_cast<float>(h) / static_cast<float>(newHeight);

    CxImage dest;
    if (CreateLike(dest, static_cast<DWORD>(newWidth), static_cast<DWORD>(newHeight)) == nullptr) {
        SetLastErrorText(dest.GetLastErrorText());
        return false;
    }

    // Source column of every new column (never past the last column).
    long* srcX = static_cast<long*>(MemCalloc(static_cast<size_t>(newWidth), sizeof(long)));
    if (srcX == nullptr) return false;
    for (long j = 0; j < newWidth; ++j) {
        const float fx = static_cast<float>(j) * xScale;
        srcX[j] = std::min(static_cast<long>(fx), w - 1);
    }

    // Colour of each source index mapped to the new image's nearest index.
    BYTE map[256] = {};
    for (DWORD i = 0; i < GetNumColors(); ++i) map[i] = dest.FindNearestIndex(GetPaletteColor(i));

    for (long i = 0; i < newHeight; ++i) {
        const float fy = static_cast<float>(i) * yScale;
        const long sy = std::min(static_cast<long>(fy), h - 1);
        const BYTE* srow = m_pPixels + static_cast<size_t>(sy) * m_dwEffWidth;
        BYTE* drow = dest.m_pPixels + static_cast<size_t>(i) * dest.m_dwEffWidth;
        switch (m_head.biBitCount) {
            case 8:
                for (long j = 0; j < newWidth; ++j) drow[j] = map[srow[srcX[j]]];
                break;
            case 24:
                for (long j = 0; j < newWidth; ++j) {
                    const BYTE* sp = srow + srcX[j] * 3;
                    drow[j * 3] = sp[0];
                    drow[j * 3 + 1] = sp[1];
                    drow[j * 3 + 2] = sp[2];
                }
                break;
            default:
                for (long j = 0; j < newWidth; ++j) {
                    dest.SetPixelIndexUnchecked(j, i, map[GetPixelIndexUnchecked(srcX[j], sy)]);
                }
                break;
        }
    }
    MemFree(srcX);
    return TakeOver(dest);
}

/*
 * ExtendCanvas: a (W + left + right) x (H + top + bottom) image with the old one at column
 * left, memory row bottom (the bottom margin lies before row 0 in memory); the margins get
 * colour (its nearest palette index for palette images). False for a negative margin or an
 * empty image.
 */
bool CxImage::ExtendCanvas(long left, long top, long right, long bottom, RGBQUAD color) {
    if (m_pDib == nullptr || left < 0 || top < 0 || right < 0 || bottom < 0) return false;
    const long w = static_cast<long>(GetWidth());
    const long h = static_cast<long>(GetHeight());
    const LONGLONG newW = static_cast<LONGLONG>(w) + left + right;
    const LONGLONG newH = static_cast<LONGLONG>(h) + top + bottom;
    if (newW > 0x7FFFFFFF || newH > 0x7FFFFFFF) {
        SetLastErrorText("CxImage::Create can't allocate memory");
        return false;
    }
    CxImage dest;
    if (CreateLike(dest, static_cast<DWORD>(newW), static_cast<DWORD>(newH)) == nullptr) {
        SetLastErrorText(dest.GetLastErrorText());
        return false;
    }
    const DWORD dstEff = dest.m_dwEffWidth;

    if (m_head.biBitCount == 1 || m_head.biBitCount == 4) {
        const BYTE fill = dest.FindNearestIndex(color);
        for (long y = 0; y < newH; ++y) {
            const bool oldRow = y >= bottom && y < bottom + h;
            for (long x = 0; x < newW; ++x) {
                const bool inside = oldRow && x >= left && x < left + w;
                dest.SetPixelIndexUnchecked(
                    x, y, inside ? GetPixelIndexUnchecked(x - left, y - bottom) : fill);
            }
        }
    } else {
        if (m_head.biBitCount == 8) {
            std::memset(dest.m_pPixels, dest.FindNearestIndex(color), dest.m_head.biSizeImage);
        } else {
            for (long y = 0; y < newH; ++y) {
                BYTE* p = dest.m_pPixels + static_cast<size_t>(y) * dstEff;
                for (long x = 0; x < newW; ++x, p += 3) {
                    p[0] = color.rgbBlue;
                    p[1] = color.rgbGreen;
                    p[2] = color.rgbRed;
                }
            }
        }
        const size_t bytesPerPixel = m_head.biBitCount / 8;
        for (long y = 0; y < h; ++y) {
            std::memcpy(dest.m_pPixels + static_cast<size_t>(y + bottom) * dstEff +
                            static_cast<size_t>(left) * bytesPerPixel,
                        m_pPixels + static_cast<size_t>(y) * m_dwEffWidth,
                        static_cast<size_t>(w) * bytesPerPixel);
        }
    }
    return TakeOver(dest);
}

/*
 * FlipVertical: swaps row y with row H - 1 - y, in place, through one spare row. False for an
 * empty image or when the spare row cannot be allocated.
 */
bool CxImage::FlipVertical() {
    if (m_pDib == nullptr) return false;
    BYTE* spare = static_cast<BYTE*>(MemAlloc(m_dwEffWidth));
    if (spare == nullptr) return false;
    const DWORD h = GetHeight();
    for (DWORD y = 0; y < h / 2; ++y) {
        BYTE* a = m_pPixels + static_cast<size_t>(y) * m_dwEffWidth;
        BYTE* b = m_pPixels + static_cast<size_t>(h - 1 - y) * m_dwEffWidth;
        std::memcpy(spare, a, m_dwEffWidth);
        std::memcpy(a, b, m_dwEffWidth);
        std::memcpy(b, spare, m_dwEffWidth);
    }
    MemFree(spare);
    return true;
}
