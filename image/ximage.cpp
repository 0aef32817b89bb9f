// CxImage: storage, life cycle, palette and pixel access, decoding, resolution and grey levels.

#include "ximage.h"

#include <cmath>
#include <cstring>

#include "win32/heap.h"

namespace {

constexpr char kErrZeroSize[] = "CxImage::Create : width and height must be greater than zero";
constexpr char kErrNoMemory[] = "CxImage::Create can't allocate memory";

// Palette entries for a bit depth: 2, 16, 256, none for 24 bpp.
DWORD EntriesFor(DWORD bpp) {
    switch (bpp) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

// Pels per metre for a resolution in dots per inch.
LONG PelsPerMeter(long dpi) {
    return static_cast<LONG>(std::floor(static_cast<double>(dpi) * 10000.0 / 254.0 + 0.5));
}

// Dots per inch for pels per metre.
long DpiFromPelsPerMeter(LONG ppm) {
    const double dpi = std::floor(static_cast<double>(ppm) * 254.0 / 10000.0 + 0.5);
    return dpi < 1.0 ? 96 : static_cast<long>(dpi);
}

// The grey level of a colour: (306 red + 601 green + 117 blue) / 1024.
inline BYTE GreyOf(const RGBQUAD& c) {
    return static_cast<BYTE>((306u * c.rgbRed + 601u * c.rgbGreen + 117u * c.rgbBlue) >> 10);
}

}  // namespace

CxImage::CxImage() {
    m_pDib = nullptr;
    m_szLastError[0] = '\0';
    m_lBackgroundIndex = -1;
    m_backgroundColor = RGBQUAD{0, 0, 0, 0};
    m_lXDpi = 96;
    m_lYDpi = 96;
    ClearState();
}

CxImage::~CxImage() {
    Release();
}

// Zero header and storage settings, cache invalid (the block itself is not touched).
void CxImage::ClearState() {
    std::memset(&m_head, 0, sizeof(m_head));
    m_dwEffWidth = 0;
    m_pPixels = nullptr;
    m_cacheColor = RGBQUAD{0, 0, 0, 0};
    m_byCacheIndex = 0;
    m_bCacheValid = false;
}

void CxImage::SetLastErrorText(const char* text) {
    if (text == nullptr) text = "";
    std::strncpy(m_szLastError, text, sizeof(m_szLastError) - 1);
    m_szLastError[sizeof(m_szLastError) - 1] = '\0';
}

/*
 * Create: makes a dwWidth x dwHeight image; dwBpp is rounded up to 1, 4, 8 or 24. The header is
 * filled with the current resolution, the palette zeroed (all black), the rows zeroed.
 * An image that already has pixels lets them go first. Returns the bitmap block or null.
 */
void* CxImage::Create(DWORD dwWidth, DWORD dwHeight, DWORD dwBpp) {
    if (m_pDib != nullptr) Release();
    if (dwWidth == 0 || dwHeight == 0) {
        SetLastErrorText(kErrZeroSize);
        return nullptr;
    }
    DWORD bpp;
    if (dwBpp <= 1) {
        bpp = 1;
    } else if (dwBpp <= 4) {
        bpp = 4;
    } else if (dwBpp <= 8) {
        bpp = 8;
    } else {
        bpp = 24;
    }
    // The header keeps width and height as positive 32-bit values and the pixel area size in
    // 32 bits; anything larger cannot be held.
    if (dwWidth > 0x7FFFFFFFu || dwHeight > 0x7FFFFFFFu) {
        SetLastErrorText(kErrNoMemory);
        return nullptr;
    }
    const DWORD entries = EntriesFor(bpp);
    const DWORD effWidth = CxImageEffWidth(dwWidth, bpp);
    const ULONGLONG pixelBytes = static_cast<ULONGLONG>(effWidth) * dwHeight;
    if (pixelBytes > 0xFFFFFFFFull) {
        SetLastErrorText(kErrNoMemory);
        return nullptr;
    }
    const ULONGLONG total = sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD) + pixelBytes;
    void* block = MemCalloc(1, static_cast<SIZE_T>(total));
    if (block == nullptr) {
        SetLastErrorText(kErrNoMemory);
        return nullptr;
    }

    ClearState();
    m_head.biSize = sizeof(BITMAPINFOHEADER);
    m_head.biWidth = static_cast<LONG>(dwWidth);
    m_head.biHeight = static_cast<LONG>(dwHeight);
    m_head.biPlanes = 1;
    m_head.biBitCount = static_cast<WORD>(bpp);
    m_head.biCompression = BI_RGB;
    m_head.biSizeImage = static_cast<DWORD>(pixelBytes);
    m_head.biXPelsPerMeter = PelsPerMeter(m_lXDpi);
    m_head.biYPelsPerMeter = PelsPerMeter(m_lYDpi);
    m_head.biClrUsed = entries;
    m_head.biClrImportant = 0;
    m_dwEffWidth = effWidth;
    m_pDib = block;
    m_pPixels = static_cast<BYTE*>(block) + sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD);
    std::memcpy(block, &m_head, sizeof(m_head));
    return block;
}

// Release: frees the bitmap block; the image is empty again.
bool CxImage::Release() {
    if (m_pDib != nullptr) {
        MemFree(m_pDib);
        m_pDib = nullptr;
    }
    ClearState();
    return true;
}

/*
 * TakeOver: this image lets its storage go and receives other's header, settings and bitmap
 * block; other is left empty.
 */
bool CxImage::TakeOver(CxImage& other) {
    if (&other == this) return true;
    Release();
    m_pDib = other.m_pDib;
    m_head = other.m_head;
    m_dwEffWidth = other.m_dwEffWidth;
    m_pPixels = other.m_pPixels;
    std::memcpy(m_szLastError, other.m_szLastError, sizeof(m_szLastError));
    m_lBackgroundIndex = other.m_lBackgroundIndex;
    m_backgroundColor = other.m_backgroundColor;
    m_lXDpi = other.m_lXDpi;
    m_lYDpi = other.m_lYDpi;
    m_cacheColor = other.m_cacheColor;
    m_byCacheIndex = other.m_byCacheIndex;
    m_bCacheValid = other.m_bCacheValid;

    other.m_pDib = nullptr;
    other.ClearState();
    other.m_szLastError[0] = '\0';
    other.m_lBackgroundIndex = -1;
    other.m_backgroundColor = RGBQUAD{0, 0, 0, 0};
    other.m_lXDpi = 96;
    other.m_lYDpi = 96;
    return true;
}

// A new image in dest of width x height with this image's depth, palette and resolution.
void* CxImage::CreateLike(CxImage& dest, DWORD width, DWORD height) const {
    dest.m_lXDpi = m_lXDpi;
    dest.m_lYDpi = m_lYDpi;
    void* block = dest.Create(width, height, m_head.biBitCount);
    if (block != nullptr) dest.SetPalette(GetPalette(), GetNumColors());
    return block;
}

BYTE* CxImage::GetRow(DWORD y) const {
    if (m_pPixels == nullptr || y >= GetHeight()) return nullptr;
    return m_pPixels + static_cast<size_t>(y) * m_dwEffWidth;
}

RGBQUAD* CxImage::GetPalette() const {
    if (m_pDib == nullptr || m_head.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(static_cast<BYTE*>(m_pDib) + sizeof(BITMAPINFOHEADER));
}

BITMAPINFO* CxImage::GetBitmapInfo() {
    if (m_pDib == nullptr) return nullptr;
    std::memcpy(m_pDib, &m_head, sizeof(m_head));
    return static_cast<BITMAPINFO*>(m_pDib);
}

SIZE_T CxImage::GetBitmapBlockSize() const {
    if (m_pDib == nullptr) return 0;
    return sizeof(BITMAPINFOHEADER) + m_head.biClrUsed * sizeof(RGBQUAD) + m_head.biSizeImage;
}

// ---- Resolution ---------------------------------------------------------------------------

void CxImage::SetXDpi(long dpi) {
    if (dpi < 1) dpi = 96;
    m_lXDpi = dpi;
    m_head.biXPelsPerMeter = PelsPerMeter(dpi);
    if (m_pDib != nullptr)
        static_cast<BITMAPINFOHEADER*>(m_pDib)->biXPelsPerMeter = m_head.biXPelsPerMeter;
}

void CxImage::SetYDpi(long dpi) {
    if (dpi < 1) dpi = 96;
    m_lYDpi = dpi;
    m_head.biYPelsPerMeter = PelsPerMeter(dpi);
    if (m_pDib != nullptr)
        static_cast<BITMAPINFOHEADER*>(m_pDib)->biYPelsPerMeter = m_head.biYPelsPerMeter;
}

// ---- Palette ------------------------------------------------------------------------------

RGBQUAD CxImage::GetPaletteColor(DWORD index) const {
    const RGBQUAD* pal = GetPalette();
    if (pal == nullptr || index >= m_head.biClrUsed) return RGBQUAD{0, 0, 0, 0};
    return pal[index];
}

void CxImage::SetPalette(const RGBQUAD* entries, DWORD count) {
    RGBQUAD* pal = GetPalette();
    if (pal == nullptr || entries == nullptr) return;
    const DWORD n = count < m_head.biClrUsed ? count : m_head.biClrUsed;
    std::memcpy(pal, entries, n * sizeof(RGBQUAD));
    InvalidateCache();
}

// Entry i = (g, g, g) with g = i x (255 / (entries - 1)).
void CxImage::SetGreyPalette() {
    RGBQUAD* pal = GetPalette();
    if (pal == nullptr) return;
    const DWORD n = m_head.biClrUsed;
    const DWORD step = 255 / (n - 1);
    for (DWORD i = 0; i < n; ++i) {
        const BYTE g = static_cast<BYTE>(i * step);
        pal[i] = RGBQUAD{g, g, g, 0};
    }
    InvalidateCache();
}

bool CxImage::IsGreyScale() const {
    const RGBQUAD* pal = GetPalette();
    if (pal == nullptr) return false;
    for (DWORD i = 0; i < m_head.biClrUsed; ++i) {
        if (pal[i].rgbBlue != i || pal[i].rgbGreen != i || pal[i].rgbRed != i) return false;
    }
    return true;
}

/*
 * FindNearestIndex: the palette index nearest to colour by squared distance over the first
 * biClrImportant entries (all when 0). An exact match ends the search; ties keep the lower
 * index. The last answer is cached.
 */
BYTE CxImage::FindNearestIndex(RGBQUAD color) {
    const RGBQUAD* pal = GetPalette();
    if (m_pPixels == nullptr || pal == nullptr) return 0;
    if (m_bCacheValid && std::memcmp(&m_cacheColor, &color, sizeof(RGBQUAD)) == 0) {
        return m_byCacheIndex;
    }
    DWORD n = m_head.biClrImportant != 0 ? m_head.biClrImportant : m_head.biClrUsed;
    if (n > m_head.biClrUsed) n = m_head.biClrUsed;
    long best = 200000;
    DWORD found = 0;
    for (DWORD i = 0; i < n; ++i) {
        const long dg = static_cast<long>(pal[i].rgbGreen) - color.rgbGreen;
        const long db = static_cast<long>(pal[i].rgbBlue) - color.rgbBlue;
        const long dr = static_cast<long>(pal[i].rgbRed) - color.rgbRed;
        const long d = dg * dg + db * db + dr * dr;
        if (d == 0) {
            found = i;
            break;
        }
        if (d < best) {
            best = d;
            found = i;
        }
    }
    m_cacheColor = color;
    m_byCacheIndex = static_cast<BYTE>(found);
    m_bCacheValid = true;
    return m_byCacheIndex;
}

// ---- Pixels -------------------------------------------------------------------------------

BYTE CxImage::GetPixelIndex(long x, long y) const {
    if (m_pPixels == nullptr || m_head.biClrUsed == 0) return 0;
    if (x < 0 || y < 0 || x >= m_head.biWidth || y >= m_head.biHeight) {
        if (m_lBackgroundIndex >= 0) return static_cast<BYTE>(m_lBackgroundIndex);
        return m_pPixels[0];
    }
    return GetPixelIndexUnchecked(x, y);
}

void CxImage::SetPixelIndex(long x, long y, BYTE index) {
    if (m_pPixels == nullptr || m_head.biClrUsed == 0) return;
    if (x < 0 || y < 0 || x >= m_head.biWidth || y >= m_head.biHeight) return;
    SetPixelIndexUnchecked(x, y, index);
}

RGBQUAD CxImage::GetPixelColor(long x, long y, bool /*bWithAlpha*/) const {
    if (m_pPixels == nullptr || x < 0 || y < 0 || x >= m_head.biWidth || y >= m_head.biHeight) {
        if (m_lBackgroundIndex >= 0) {
            if (m_head.biBitCount == 24) return m_backgroundColor;
            return GetPaletteColor(static_cast<DWORD>(m_lBackgroundIndex));
        }
        if (m_pPixels == nullptr) return m_backgroundColor;
        x = 0;
        y = 0;
    }
    if (m_head.biClrUsed != 0) return GetPaletteColor(GetPixelIndexUnchecked(x, y));
    const BYTE* p = m_pPixels + static_cast<size_t>(y) * m_dwEffWidth + static_cast<size_t>(x) * 3;
    return RGBQUAD{p[0], p[1], p[2], m_backgroundColor.rgbReserved};
}

void CxImage::SetPixelColorUnchecked(long x, long y, RGBQUAD color) {
    if (m_head.biClrUsed != 0) {
        SetPixelIndexUnchecked(x, y, FindNearestIndex(color));
        return;
    }
    BYTE* p = m_pPixels + static_cast<size_t>(y) * m_dwEffWidth + static_cast<size_t>(x) * 3;
    p[0] = color.rgbBlue;
    p[1] = color.rgbGreen;
    p[2] = color.rgbRed;
}

void CxImage::SetPixelColor(long x, long y, RGBQUAD color) {
    if (m_pPixels == nullptr) return;
    if (x < 0 || y < 0 || x >= m_head.biWidth || y >= m_head.biHeight) return;
    SetPixelColorUnchecked(x, y, color);
}

// ---- Decoding -----------------------------------------------------------------------------

/*
 * Decode: builds the image from a bitmap held in memory: header, pixel bytes (rows in memory
 * order, copied as they are) and colour table of paletteBytes bytes. A negative height counts
 * as its absolute value. Pixels are copied only for uncompressed 1, 4, 8, 16 and 24 bpp data,
 * at most biSizeImage bytes and never more than the image holds (or bitsBytes offers).
 * Returns false only when the image cannot be created.
 */
bool CxImage::Decode(const BITMAPINFOHEADER* pHeader, const BYTE* pBits, const RGBQUAD* pPalette,
                     DWORD dwPaletteBytes, SIZE_T bitsBytes) {
    if (pHeader == nullptr) {
        SetLastErrorText("CxImage::Decode : no bitmap header");
        return false;
    }
    const LONG width = pHeader->biWidth;
    const LONG height = pHeader->biHeight;
    const WORD bitCount = pHeader->biBitCount;
    const DWORD compression = pHeader->biCompression;
    ULONGLONG sizeImage = pHeader->biSizeImage;
    if (sizeImage == 0 && width > 0) {
        sizeImage = ((static_cast<ULONGLONG>(bitCount) * static_cast<ULONGLONG>(width) + 31) / 32) *
                    4 *
                    static_cast<ULONGLONG>(height < 0 ? -static_cast<LONGLONG>(height) : height);
    }
    const LONGLONG absHeight = height < 0 ? -static_cast<LONGLONG>(height) : height;
    const DWORD createWidth = width > 0 ? static_cast<DWORD>(width) : 0;
    const DWORD createHeight = static_cast<DWORD>(absHeight > 0xFFFFFFFFLL ? 0 : absHeight);
    if (Create(createWidth, createHeight, bitCount) == nullptr) return false;

    SetXDpi(DpiFromPelsPerMeter(pHeader->biXPelsPerMeter));
    SetYDpi(DpiFromPelsPerMeter(pHeader->biYPelsPerMeter));

    RGBQUAD* pal = GetPalette();
    if (pal != nullptr && pPalette != nullptr) {
        const DWORD own = m_head.biClrUsed * sizeof(RGBQUAD);
        std::memcpy(pal, pPalette, dwPaletteBytes < own ? dwPaletteBytes : own);
        for (DWORD i = 0; i < m_head.biClrUsed; ++i) pal[i].rgbReserved = 0;
        InvalidateCache();
    }

    if (pBits != nullptr && compression == BI_RGB &&
        (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24)) {
        ULONGLONG n = sizeImage;
        if (n > m_head.biSizeImage) n = m_head.biSizeImage;
        if (n > bitsBytes) n = bitsBytes;
        std::memcpy(m_pPixels, pBits, static_cast<size_t>(n));
    }
    return true;
}

// ---- Grey levels --------------------------------------------------------------------------

/*
 * ConvertToGrey: the image becomes 8-bit grey levels (0 black .. 255 white) with the identity
 * palette. Palette images keep the grey of each entry in its blue byte; 24-bpp pixels become
 * (117 blue + 601 green + 306 red) / 1024. False for an empty image or when the new image
 * cannot be made (the image is then unchanged).
 */
bool CxImage::ConvertToGrey() {
    if (m_pDib == nullptr) return false;
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    RGBQUAD* pal = GetPalette();

    if (pal != nullptr) {
        BYTE grey[256] = {};
        for (DWORD i = 0; i < m_head.biClrUsed; ++i) grey[i] = GreyOf(pal[i]);

        if (m_head.biBitCount == 8) {
            for (DWORD i = 0; i < 256; ++i) pal[i].rgbBlue = grey[i];
            if (m_lBackgroundIndex >= 0 && m_lBackgroundIndex < 256) {
                m_lBackgroundIndex = grey[m_lBackgroundIndex];
            }
            for (DWORD y = 0; y < height; ++y) {
                BYTE* row = GetRow(y);
                for (DWORD x = 0; x < width; ++x) row[x] = grey[row[x]];
            }
            SetGreyPalette();
            return true;
        }

        CxImage dest;
        dest.m_lXDpi = m_lXDpi;
        dest.m_lYDpi = m_lYDpi;
        if (dest.Create(width, height, 8) == nullptr) {
            SetLastErrorText(dest.GetLastErrorText());
            return false;
        }
        dest.SetGreyPalette();
        for (DWORD i = 0; i < m_head.biClrUsed; ++i) pal[i].rgbBlue = grey[i];
        if (m_lBackgroundIndex >= 0 && static_cast<DWORD>(m_lBackgroundIndex) < m_head.biClrUsed) {
            m_lBackgroundIndex = grey[m_lBackgroundIndex];
        }
        for (DWORD y = 0; y < height; ++y) {
            BYTE* out = dest.GetRow(y);
            for (DWORD x = 0; x < width; ++x) out[x] = grey[GetPixelIndexUnchecked(x, y)];
        }
        dest.m_lBackgroundIndex = m_lBackgroundIndex;
        dest.m_backgroundColor = m_backgroundColor;
        TakeOver(dest);
        return true;
    }

    CxImage dest;
    dest.m_lXDpi = m_lXDpi;
    dest.m_lYDpi = m_lYDpi;
    if (dest.Create(width, height, 8) == nullptr) {
        SetLastErrorText(dest.GetLastErrorText());
        return false;
    }
    dest.SetGreyPalette();
    for (DWORD y = 0; y < height; ++y) {
        const BYTE* in = GetRow(y);
        BYTE* out = dest.GetRow(y);
        for (DWORD x = 0; x < width; ++x, in += 3) {
            out[x] = static_cast<BYTE>((117u * in[0] + 601u * in[1] + 306u * in[2]) >> 10);
        }
    }
    dest.m_lBackgroundIndex = m_lBackgroundIndex;
    dest.m_backgroundColor = m_backgroundColor;
    TakeOver(dest);
    return true;
}
