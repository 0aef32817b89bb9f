// Bitmaps: CreateBitmap, CreateCompatibleBitmap, CreateDIBSection, and the transfer of rows
// between bitmaps and device-independent form (GetDIBits, SetDIBits).
#include <algorithm>
#include <cstring>
#include <limits>

#include "gdi/gdi_state.h"

using namespace gdi;

namespace {

// Largest DIB height accepted from a caller's header.
constexpr LONG kMaxDibHeight = 1 << 24;

bool SupportedDibDepth(WORD bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// The colour table that follows a header (it starts biSize bytes into the record).
const RGBQUAD* ColorsOf(const BITMAPINFO* bmi) {
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(bmi) +
                                            bmi->bmiHeader.biSize);
}
RGBQUAD* ColorsOf(BITMAPINFO* bmi) {
    return reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(bmi) + bmi->bmiHeader.biSize);
}

// Checks a caller's DIB header; false with ERROR_INVALID_PARAMETER.
bool ValidDibHeader(const BITMAPINFOHEADER& h) {
    const bool ok = h.biSize >= sizeof(BITMAPINFOHEADER) && h.biSize <= 1024 && h.biWidth > 0 &&
                    h.biHeight != 0 && h.biHeight != std::numeric_limits<LONG>::min() &&
                    std::abs(h.biHeight) <= kMaxDibHeight && SupportedDibDepth(h.biBitCount) &&
                    h.biCompression == BI_RGB &&
                    DibStride(h.biWidth, h.biBitCount) <= std::numeric_limits<LONG>::max();
    if (!ok) SetLastError(ERROR_INVALID_PARAMETER);
    return ok;
}

// How pixels of a bitmap become entries of a DIB of depth bpp: the bitmap's own colour table
// when it has one of that depth, else black and white (1 bpp) or evenly spaced greys.
struct DibPalette {
    std::vector<RGBQUAD> colors;
    bool rawCopy = false;
};

DibPalette PaletteFor(const Bitmap& b, WORD bpp) {
    DibPalette p;
    if (bpp > 8) return p;
    const std::size_t n = std::size_t{1} << bpp;
    if (b.bpp == bpp && !b.table.empty()) {
        p.colors = b.table;
        p.colors.resize(n, RGBQUAD{0, 0, 0, 0});
        p.rawCopy = true;
        return p;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const BYTE v = static_cast<BYTE>(i * 255 / (n - 1));
        p.colors.push_back(RGBQUAD{v, v, v, 0});
    }
    return p;
}

std::uint32_t GreyIndex(COLORREF c, WORD bpp) {
    const int levels = (1 << bpp) - 1;
    return static_cast<std::uint32_t>((Luminance(c) * levels + 127) / 255);
}

// A view of one DIB row in a caller's buffer, read and written like a bitmap row.
void RowView(Bitmap& v, BYTE* row, LONG width, WORD bpp) {
    v.bits = row;
    v.ownsBits = false;
    v.width = width;
    v.height = 1;
    v.bpp = bpp;
    v.stride = static_cast<LONG>(DibStride(width, bpp));
}

HBITMAP InsertBitmap(std::unique_ptr<Bitmap> b) {
    return b == nullptr ? nullptr : AsGdiObj(Insert(std::move(b)));
}

}  // namespace

extern "C" {

HBITMAP CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits) {
    auto lock = GdiLock();
    if (nWidth < 0 || nHeight < 0 || nPlanes != 1 ||
        (nBitCount != 1 && nBitCount != 24 && nBitCount != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (nWidth == 0 || nHeight == 0) return InsertBitmap(MakeBitmap(1, 1, 1, false, true));
    std::unique_ptr<Bitmap> b =
        MakeBitmap(nWidth, nHeight, static_cast<WORD>(nBitCount), false, true);
    if (b != nullptr && lpBits != nullptr) {
        std::memcpy(b->bits, lpBits, static_cast<std::size_t>(b->stride) * b->height);
    }
    return InsertBitmap(std::move(b));
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return nullptr;
    if (cx < 0 || cy < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (ShouldFail("CreateCompatibleBitmap")) return nullptr;
    if (cx == 0 || cy == 0) return InsertBitmap(MakeBitmap(1, 1, 1, false, true));
    WORD bpp = 32;
    if (const Bitmap* selected = TargetOf(*dc); selected != nullptr && selected->bpp == 1) bpp = 1;
    return InsertBitmap(MakeBitmap(cx, cy, bpp, false, true));
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits,
                         HANDLE hSection, DWORD) {
    auto lock = GdiLock();
    if (ppvBits != nullptr) *ppvBits = nullptr;
    if (hdc != nullptr && FindDc(hdc) == nullptr) return nullptr;
    if (pbmi == nullptr || usage != DIB_RGB_COLORS || !ValidDibHeader(pbmi->bmiHeader)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (hSection != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (ShouldFail("CreateDIBSection")) return nullptr;
    const BITMAPINFOHEADER& h = pbmi->bmiHeader;
    std::unique_ptr<Bitmap> b =
        MakeBitmap(h.biWidth, std::abs(h.biHeight), h.biBitCount, true, h.biHeight < 0);
    if (b == nullptr) return nullptr;
    if (h.biBitCount <= 8) {
        const DWORD full = 1u << h.biBitCount;
        const DWORD n = (h.biClrUsed == 0 || h.biClrUsed > full) ? full : h.biClrUsed;
        const RGBQUAD* colors = ColorsOf(pbmi);
        b->table.assign(colors, colors + n);
        b->table.resize(full, RGBQUAD{0, 0, 0, 0});
    }
    b->header = h;
    b->header.biSize = sizeof(BITMAPINFOHEADER);
    b->header.biSizeImage = static_cast<DWORD>(b->stride) * static_cast<DWORD>(b->height);
    if (ppvBits != nullptr) *ppvBits = b->bits;
    return InsertBitmap(std::move(b));
}

int GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits, LPBITMAPINFO lpbmi,
              UINT usage) {
    auto lock = GdiLock();
    if (FindDc(hdc) == nullptr) return 0;
    const Bitmap* b = FindAs<Bitmap>(hbm, Kind::Bitmap);
    if (b == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (lpbmi == nullptr || usage != DIB_RGB_COLORS ||
        lpbmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (ShouldFail("GetDIBits")) return 0;
    BITMAPINFOHEADER& h = lpbmi->bmiHeader;

    if (lpvBits == nullptr && h.biBitCount == 0) {
        // Format query: the bitmap's own size and depth.
        h.biWidth = b->width;
        h.biHeight = b->height;
        h.biPlanes = 1;
        h.biBitCount = b->bpp;
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<DWORD>(DibStride(b->width, b->bpp) * b->height);
        h.biXPelsPerMeter = 0;
        h.biYPelsPerMeter = 0;
        h.biClrUsed = 0;
        h.biClrImportant = 0;
        return b->height;
    }
    if (!ValidDibHeader(h)) return 0;
    const WORD bpp = h.biBitCount;
    const LONG dibHeight = std::abs(h.biHeight);
    const bool bottomUp = h.biHeight > 0;
    const std::int64_t stride = DibStride(h.biWidth, bpp);

    const DibPalette palette = PaletteFor(*b, bpp);
    if (bpp <= 8) std::copy(palette.colors.begin(), palette.colors.end(), ColorsOf(lpbmi));
    if (lpvBits == nullptr) {
        h.biSizeImage = static_cast<DWORD>(stride * dibHeight);
        return b->height;
    }
    if (start >= static_cast<UINT>(dibHeight)) return 0;
    const LONG lines = static_cast<LONG>(std::min<UINT>(cLines, dibHeight - start));
    const bool sameRows = palette.rawCopy && h.biWidth == b->width && b->bpp == bpp;
    auto* out = static_cast<BYTE*>(lpvBits);
    for (LONG r = 0; r < lines; ++r) {
        const LONG dibLine = static_cast<LONG>(start) + r;
        const LONG y = bottomUp ? dibHeight - 1 - dibLine : dibLine;
        BYTE* row = out + r * stride;
        std::memset(row, 0, static_cast<std::size_t>(stride));
        if (y < 0 || y >= b->height) continue;
        if (sameRows) {
            std::memcpy(row, b->Row(y), static_cast<std::size_t>((b->width * bpp + 7) / 8));
            continue;
        }
        Bitmap view;
        RowView(view, row, h.biWidth, bpp);
        const LONG w = std::min(h.biWidth, b->width);
        for (LONG x = 0; x < w; ++x) {
            const std::uint32_t raw = b->GetRaw(x, y);
            std::uint32_t v;
            if (palette.rawCopy) {
                v = raw;
            } else if (bpp <= 8) {
                v = GreyIndex(b->RawToColor(raw), bpp);
            } else {
                v = b->RawToColor(raw);
            }
            view.SetRaw(x, 0, v);
        }
    }
    return lines;
}

int SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, const void* lpBits,
              const BITMAPINFO* lpbmi, UINT usage) {
    auto lock = GdiLock();
    if (hdc != nullptr && FindDc(hdc) == nullptr) return 0;
    Bitmap* b = FindAs<Bitmap>(hbm, Kind::Bitmap);
    if (b == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (lpbmi == nullptr || lpBits == nullptr || usage != DIB_RGB_COLORS ||
        !ValidDibHeader(lpbmi->bmiHeader)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const BITMAPINFOHEADER& h = lpbmi->bmiHeader;
    const WORD bpp = h.biBitCount;
    const LONG dibHeight = std::abs(h.biHeight);
    if (start >= static_cast<UINT>(dibHeight)) return 0;
    const LONG lines = static_cast<LONG>(std::min<UINT>(cLines, dibHeight - start));
    const std::int64_t stride = DibStride(h.biWidth, bpp);
    std::vector<RGBQUAD> colors;
    if (bpp <= 8) {
        const DWORD full = 1u << bpp;
        const DWORD n = (h.biClrUsed == 0 || h.biClrUsed > full) ? full : h.biClrUsed;
        colors.assign(ColorsOf(lpbmi), ColorsOf(lpbmi) + n);
        colors.resize(full, RGBQUAD{0, 0, 0, 0});
    }
    const auto* in = static_cast<const BYTE*>(lpBits);
    for (LONG r = 0; r < lines; ++r) {
        const LONG dibLine = static_cast<LONG>(start) + r;
        const LONG y = h.biHeight > 0 ? dibHeight - 1 - dibLine : dibLine;
        if (y < 0 || y >= b->height) continue;
        Bitmap view;
        RowView(view, const_cast<BYTE*>(in + r * stride), h.biWidth, bpp);
        const LONG w = std::min(h.biWidth, b->width);
        for (LONG x = 0; x < w; ++x) {
            const std::uint32_t raw = view.GetRaw(x, 0);
            COLORREF c = raw;
            if (bpp <= 8) {
                const RGBQUAD& q = colors[raw];
                c = RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
            }
            b->SetRaw(x, y, b->ColorToRaw(c));
        }
    }
    return lines;
}

}  // extern "C"
