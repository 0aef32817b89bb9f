// CxImage: the in-memory raster image of the page pipeline and the dithering preview.
//
// Storage is one heap block laid out like a packed DIB: a 40-byte BITMAPINFOHEADER, the palette
// (blue, green, red, reserved per entry) and the pixel rows, each padded to a multiple of
// 4 bytes. Row 0 is the first row in memory (for the page image, the top of the page).
// Depths: 1, 4, 8 (palette images) and 24 bits per pixel (blue, green, red).
//
// Transforms build a new image and move it into this one with TakeOver; only FlipVertical and
// ApplyLookupTable change pixels or palette in place.
#pragma once

#include <cstddef>

#include "image_stream.h"
#include "win32/bitmap.h"
#include "win32/types.h"
#include "win32/wingdi.h"

class CxImage {
public:
    // Dithering methods of Dither.
    enum DitherMethod : long {
        DITHER_ERROR_DIFFUSION = 0,  // Floyd-Steinberg, threshold 128
        DITHER_THREE_ROW = 1,        // Sierra three-row diffusion, threshold 128
        DITHER_ORDERED_4X4 = 2,      // Bayer 4x4 against the level in 17 steps
        DITHER_MATRIX_4X4 = 3,       // Bayer 4x4 thresholds 0..240
        DITHER_MATRIX_8X8 = 4,       // Bayer 8x8 against the level in 64 steps
    };

    CxImage();
    virtual ~CxImage();
    CxImage(const CxImage&) = delete;
    CxImage& operator=(const CxImage&) = delete;

    // ---- Life cycle ----------------------------------------------------------------------
    // Makes a width x height image of 1, 4, 8 or 24 bpp (bpp rounded up to the next of these).
    // The palette is all black and the pixel rows are zero. Returns the bitmap block, or null
    // with the last error set.
    void* Create(DWORD dwWidth, DWORD dwHeight, DWORD dwBpp);
    // Frees the storage; the image is empty again. Always true.
    bool Release();
    // Releases this image and moves other's storage and settings into it; other becomes empty.
    bool TakeOver(CxImage& other);

    // ---- Accessors -----------------------------------------------------------------------
    bool IsValid() const { return m_pDib != nullptr; }
    DWORD GetWidth() const { return static_cast<DWORD>(m_head.biWidth); }
    DWORD GetHeight() const { return static_cast<DWORD>(m_head.biHeight); }
    WORD GetBpp() const { return m_head.biBitCount; }
    DWORD GetEffWidth() const { return m_dwEffWidth; }
    // Palette entry count: 2, 16, 256, or 0 for 24 bpp and for an empty image.
    DWORD GetNumColors() const { return m_pDib ? m_head.biClrUsed : 0; }
    // Pointer to row y; null when y is outside the image.
    BYTE* GetRow(DWORD y) const;
    // First pixel row; null for an empty image.
    BYTE* GetBits() const { return m_pPixels; }
    // The palette entries; null when there is no palette.
    RGBQUAD* GetPalette() const;
    const BITMAPINFOHEADER& GetHeader() const { return m_head; }
    // The bitmap block as a BITMAPINFO (header refreshed, palette after it); null when empty.
    BITMAPINFO* GetBitmapInfo();
    // Bytes of the bitmap block: header, palette and pixel rows.
    SIZE_T GetBitmapBlockSize() const;
    void SetClrImportant(DWORD n) { m_head.biClrImportant = n; }

    // ---- Resolution (dots per inch; the header holds pels per metre) -------------------
    long GetXDpi() const { return m_lXDpi; }
    long GetYDpi() const { return m_lYDpi; }
    void SetXDpi(long dpi);
    void SetYDpi(long dpi);

    // ---- Background (pixels outside the image) ----------------------------------------
    long GetBackgroundIndex() const { return m_lBackgroundIndex; }
    void SetBackgroundIndex(long index) { m_lBackgroundIndex = index; }
    RGBQUAD GetBackgroundColor() const { return m_backgroundColor; }
    void SetBackgroundColor(RGBQUAD color) { m_backgroundColor = color; }

    // ---- Palette ---------------------------------------------------------------------------
    RGBQUAD GetPaletteColor(DWORD index) const;
    void SetPalette(const RGBQUAD* entries, DWORD count);
    void SetGreyPalette();
    bool IsGreyScale() const;
    BYTE FindNearestIndex(RGBQUAD color);

    // ---- Pixels ----------------------------------------------------------------------------
    // Guarded forms test the range; the Unchecked forms leave that to the caller.
    BYTE GetPixelIndex(long x, long y) const;
    BYTE GetPixelIndexUnchecked(long x, long y) const;
    void SetPixelIndex(long x, long y, BYTE index);
    void SetPixelIndexUnchecked(long x, long y, BYTE index);
    RGBQUAD GetPixelColor(long x, long y, bool bWithAlpha = true) const;
    void SetPixelColor(long x, long y, RGBQUAD color);
    void SetPixelColorUnchecked(long x, long y, RGBQUAD color);

    // ---- Decoding, writing, grey -------------------------------------------------------
    // Builds the image from an in-memory bitmap. bitsBytes, when known, limits what is read
    // from bits. False only when the image cannot be created.
    bool Decode(const BITMAPINFOHEADER* pHeader, const BYTE* pBits, const RGBQUAD* pPalette,
                DWORD dwPaletteBytes, SIZE_T bitsBytes = static_cast<SIZE_T>(-1));
    // Writes the image as a BMP file (rows in memory order).
    bool WriteBmp(ImageStream* pStream);
    // Turns the image into 8-bit grey levels with the identity palette.
    bool ConvertToGrey();

    // ---- Geometric transforms -----------------------------------------------------------
    bool RotateLeft();   // 90 degrees clockwise: the left edge becomes the top edge
    bool RotateRight();  // 90 degrees counter-clockwise: the top edge becomes the left edge
    bool Rotate180();
    // Keeps columns min(l, r) .. max(l, r) - 1 and, counted from the last row, rows
    // H - max(t, b) .. H - min(t, b) - 1.
    bool Crop(long left, long top, long right, long bottom);
    bool Resample(long newWidth, long newHeight);
    bool ExtendCanvas(long left, long top, long right, long bottom, RGBQUAD color);
    bool FlipVertical();

    // ---- Tone and bit depth ----------------------------------------------------------------
    bool AdjustBrightness(long offset);
    bool ApplyLookupTable(const BYTE* pTable);
    bool Dither(long method);
    bool DecreaseBpp(DWORD nBits);
    void SetStandardPalette();

    // ---- Text drawing (text_draw.cpp) -------------------------------------------------------
    // Draws the text in the font lf as black dots at (x, y) (page pixels before scaling; the
    // font height and the position are scaled by fScale). Rotation 1 or 3 (a quarter turn
    // follows) widens the image when the text is wider than it. Returns the first row below
    // the text; y unchanged when no drawing context is available; 0 for an empty image.
    DWORD DrawString(DWORD x, DWORD y, const WCHAR* pText, LOGFONTW lf, float fScale,
                     BYTE byRotation);
    // Replaces the image by a copy of a platform bitmap (rows as GetDIBits delivers them,
    // bottom row first). False without a bitmap or when it cannot be read.
    bool LoadFromBitmapHandle(HBITMAP hBitmap);

    // ---- Last error --------------------------------------------------------------------------
    const char* GetLastErrorText() const { return m_szLastError; }
    void SetLastErrorText(const char* text);

private:
    void InvalidateCache() { m_bCacheValid = false; }
    void ClearState();
    // A new image of the given size and this image's depth, palette and resolution.
    void* CreateLike(CxImage& dest, DWORD width, DWORD height) const;

    void* m_pDib;  // bitmap block; null for an empty image
    BITMAPINFOHEADER m_head;
    DWORD m_dwEffWidth;
    BYTE* m_pPixels;
    char m_szLastError[256];
    long m_lBackgroundIndex;
    RGBQUAD m_backgroundColor;
    long m_lXDpi;
    long m_lYDpi;
    RGBQUAD m_cacheColor;
    BYTE m_byCacheIndex;
    bool m_bCacheValid;
};

// Where the image library writes its diagnostic lines (one formatted line per call); none by
// default. The rendering plug-in points it at its diagnostic log.
using CxImageLogHook = void (*)(const char* line);
void CxImageSetLogHook(CxImageLogHook hook);

// Bytes per row of an image: rows are padded to a multiple of 4 bytes.
constexpr DWORD CxImageEffWidth(DWORD width, DWORD bpp) {
    return static_cast<DWORD>(((static_cast<ULONGLONG>(width) * bpp + 31) / 32) * 4);
}

// ---- Unchecked pixel access (inner loops; the caller guarantees 0 <= x < W, 0 <= y < H) ------

inline BYTE CxImage::GetPixelIndexUnchecked(long x, long y) const {
    const BYTE* row = m_pPixels + static_cast<size_t>(y) * m_dwEffWidth;
    switch (m_head.biBitCount) {
        case 8:
            return row[x];
        case 1:
            return static_cast<BYTE>((row[x >> 3] >> (7 - (x & 7))) & 1);
        case 4:
            return static_cast<BYTE>((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
        default:
            return 0;
    }
}

inline void CxImage::SetPixelIndexUnchecked(long x, long y, BYTE index) {
    BYTE* row = m_pPixels + static_cast<size_t>(y) * m_dwEffWidth;
    switch (m_head.biBitCount) {
        case 8:
            row[x] = index;
            break;
        case 1: {
            const BYTE mask = static_cast<BYTE>(0x80 >> (x & 7));
            if (index & 1) {
                row[x >> 3] |= mask;
            } else {
                row[x >> 3] &= static_cast<BYTE>(~mask);
            }
            break;
        }
        case 4: {
            BYTE& b = row[x >> 1];
            if (x & 1) {
                b = static_cast<BYTE>((b & 0xF0) | (index & 0x0F));
            } else {
                b = static_cast<BYTE>((b & 0x0F) | ((index & 0x0F) << 4));
            }
            break;
        }
        default:
            break;
    }
}
