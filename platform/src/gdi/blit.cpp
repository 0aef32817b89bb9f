// Drawing on bitmaps: PatBlt, BitBlt, GetPixel and SetPixel.
//
// Colour rules of the blits between formats, as GDI has them: a monochrome bitmap copied onto
// a colour surface gives the destination context's text colour for 0 and its background
// colour for 1; a colour bitmap copied onto a monochrome one gives 1 where the pixel equals
// the source context's background colour and 0 elsewhere. Other pairs map colour to colour.
#include <algorithm>
#include <vector>

#include "gdi/gdi_state.h"

using namespace gdi;

namespace {

struct Span {
    std::int64_t left, top, right, bottom;
};

// Rectangle (x, y, w, h) with negative extents normalised, clipped to the bitmap.
Span Clip(const Bitmap& b, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
    Span s{std::min(x, x + w), std::min(y, y + h), std::max(x, x + w), std::max(y, y + h)};
    s.left = std::max<std::int64_t>(s.left, 0);
    s.top = std::max<std::int64_t>(s.top, 0);
    s.right = std::min<std::int64_t>(s.right, b.width);
    s.bottom = std::min<std::int64_t>(s.bottom, b.height);
    return s;
}

std::uint32_t AllBits(const Bitmap& b) {
    return b.bpp <= 8 ? (1u << b.bpp) - 1 : 0xFFFFFF;
}

bool IsPatternRop(DWORD rop) {
    return rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY || rop == DSTINVERT;
}

// The raster operations without a source; the lock is held and dc is valid.
BOOL PatternBlt(Dc& dc, int x, int y, int w, int h, DWORD rop) {
    if (!IsPatternRop(rop)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Bitmap* b = TargetOf(dc);
    if (b == nullptr) return TRUE;
    std::uint32_t value = 0;
    switch (rop) {
        case BLACKNESS:
            value = b->ColorToRaw(RGB(0, 0, 0));
            break;
        case WHITENESS:
            value = b->ColorToRaw(RGB(255, 255, 255));
            break;
        case PATCOPY: {
            bool isNull = false;
            const COLORREF c = BrushColor(dc, &isNull);
            if (isNull) return TRUE;
            value = b->ColorToRaw(c);
            break;
        }
        default:
            break;
    }
    const Span s = Clip(*b, x, y, w, h);
    const std::uint32_t mask = AllBits(*b);
    for (std::int64_t row = s.top; row < s.bottom; ++row) {
        const auto cy = static_cast<LONG>(row);
        if (rop != DSTINVERT) {
            b->FillSpan(cy, static_cast<LONG>(s.left), static_cast<LONG>(s.right), value);
            continue;
        }
        for (std::int64_t col = s.left; col < s.right; ++col) {
            const auto cx = static_cast<LONG>(col);
            b->SetRaw(cx, cy, b->GetRaw(cx, cy) ^ mask);
        }
    }
    return TRUE;
}

}  // namespace

extern "C" {

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return FALSE;
    return PatternBlt(*dc, x, y, w, h, rop);
}

BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return FALSE;
    if (IsPatternRop(rop)) return PatternBlt(*dc, x, y, cx, cy, rop);
    if (rop != SRCCOPY && rop != NOTSRCCOPY && rop != SRCAND && rop != SRCPAINT &&
        rop != SRCINVERT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Dc* src = FindDc(hdcSrc);
    if (src == nullptr) return FALSE;
    Bitmap* to = TargetOf(*dc);
    const Bitmap* from = TargetOf(*src);
    if (to == nullptr || from == nullptr || cx <= 0 || cy <= 0) return TRUE;

    // Only the part inside both bitmaps is copied.
    const std::int64_t i0 =
        std::max<std::int64_t>({0, -static_cast<std::int64_t>(x), -static_cast<std::int64_t>(x1)});
    const std::int64_t j0 =
        std::max<std::int64_t>({0, -static_cast<std::int64_t>(y), -static_cast<std::int64_t>(y1)});
    const std::int64_t i1 = std::min<std::int64_t>({cx, static_cast<std::int64_t>(to->width) - x,
                                                    static_cast<std::int64_t>(from->width) - x1});
    const std::int64_t j1 = std::min<std::int64_t>({cy, static_cast<std::int64_t>(to->height) - y,
                                                    static_cast<std::int64_t>(from->height) - y1});
    if (i0 >= i1 || j0 >= j1) return TRUE;
    const std::int64_t w = i1 - i0;

    // Source pixels first (the two rectangles may overlap in one bitmap).
    const std::uint32_t mask = AllBits(*to);
    std::vector<std::uint32_t> values(static_cast<std::size_t>(w * (j1 - j0)));
    const std::uint32_t fg = to->ColorToRaw(dc->textColor);
    const std::uint32_t bg = to->ColorToRaw(dc->bkColor);
    for (std::int64_t j = j0; j < j1; ++j) {
        for (std::int64_t i = i0; i < i1; ++i) {
            const std::uint32_t raw =
                from->GetRaw(static_cast<LONG>(x1 + i), static_cast<LONG>(y1 + j));
            std::uint32_t v;
            if (from->monoDdb && to->monoDdb) {
                v = raw;
            } else if (from->monoDdb) {
                v = raw != 0 ? bg : fg;
            } else if (to->monoDdb) {
                v = from->RawToColor(raw) == src->bkColor ? 1 : 0;
            } else {
                v = to->ColorToRaw(from->RawToColor(raw));
            }
            values[static_cast<std::size_t>((j - j0) * w + (i - i0))] = v;
        }
    }
    for (std::int64_t j = j0; j < j1; ++j) {
        for (std::int64_t i = i0; i < i1; ++i) {
            const auto px = static_cast<LONG>(x + i), py = static_cast<LONG>(y + j);
            const std::uint32_t s = values[static_cast<std::size_t>((j - j0) * w + (i - i0))];
            std::uint32_t d = s;
            switch (rop) {
                case NOTSRCCOPY:
                    d = ~s & mask;
                    break;
                case SRCAND:
                    d = to->GetRaw(px, py) & s;
                    break;
                case SRCPAINT:
                    d = to->GetRaw(px, py) | s;
                    break;
                case SRCINVERT:
                    d = to->GetRaw(px, py) ^ s;
                    break;
                default:
                    break;
            }
            to->SetRaw(px, py, d);
        }
    }
    return TRUE;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return CLR_INVALID;
    const Bitmap* b = TargetOf(*dc);
    if (b == nullptr || !b->Contains(x, y)) return CLR_INVALID;
    return b->RawToColor(b->GetRaw(x, y));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return CLR_INVALID;
    Bitmap* b = TargetOf(*dc);
    if (b == nullptr || !b->Contains(x, y)) return CLR_INVALID;
    const std::uint32_t raw = b->ColorToRaw(color);
    b->SetRaw(x, y, raw);
    return b->RawToColor(raw);
}

}  // extern "C"
