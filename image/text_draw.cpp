// Text drawing into an image: the platform's text rasteriser draws the text into a one-bit
// bitmap, which is read back into a temporary CxImage and copied dot by dot as black pixels.
#include <cstdarg>
#include <cstdio>

#include "ximage.h"

namespace {

CxImageLogHook g_imageLogHook = nullptr;

void ImageLog(const char* format, ...) {
    if (g_imageLogHook == nullptr) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    g_imageLogHook(line);
}

int TextLength(const WCHAR* pText) {
    int n = 0;
    if (pText == nullptr) return 0;
    while (pText[n] != 0) ++n;
    return n;
}

}  // namespace

void CxImageSetLogHook(CxImageLogHook hook) {
    g_imageLogHook = hook;
}

/*
 * LoadFromBitmapHandle: the image becomes a copy of the bitmap (its size and depth, a depth
 * above 8 becoming 24), rows as GetDIBits delivers them: row 0 is the bitmap's bottom row.
 */
bool CxImage::LoadFromBitmapHandle(HBITMAP hBitmap) {
    Release();
    if (hBitmap == nullptr) return false;
    BITMAP bm = {};
    if (GetObjectW(hBitmap, sizeof(bm), &bm) == 0 || bm.bmWidth <= 0 || bm.bmHeight <= 0) {
        SetLastErrorText("GetObject failed");
        return false;
    }
    const DWORD bpp = bm.bmBitsPixel > 8 ? 24 : bm.bmBitsPixel;
    if (Create(static_cast<DWORD>(bm.bmWidth), static_cast<DWORD>(bm.bmHeight), bpp) == nullptr) {
        return false;
    }
    HDC hdcScreen = GetDC(nullptr);
    if (hdcScreen == nullptr) {
        Release();
        SetLastErrorText("GetDC failed");
        return false;
    }
    const int rows = GetDIBits(hdcScreen, hBitmap, 0, static_cast<UINT>(bm.bmHeight), GetBits(),
                               GetBitmapInfo(), DIB_RGB_COLORS);
    ReleaseDC(nullptr, hdcScreen);
    if (rows == 0) {
        Release();
        SetLastErrorText("GetDIBits failed");
        return false;
    }
    // GetDIBits wrote the colour table straight into the image's palette.
    return true;
}

/*
 * DrawString: the text's dots as black pixels at (x, y), font height and position scaled by
 * fScale. The text picture is exactly as large as the text extent (italic text adds the
 * extent's height to its width). Dots outside the image are dropped, except that a page that
 * will be turned by a quarter turn (rotation 1 or 3) is first widened to take a text wider
 * than the page.
 */
DWORD CxImage::DrawString(DWORD x, DWORD y, const WCHAR* pText, LOGFONTW lf, float fScale,
                          BYTE byRotation) {
    ImageLog("CxImage::DrawString : START");
    if (!IsValid()) {
        ImageLog("CxImage::DrawString : END");
        return 0;
    }
    HDC hdcScreen = GetDC(nullptr);
    if (hdcScreen == nullptr) {
        ImageLog("CxImage::DrawString : GetDC failed with (%d)", static_cast<int>(GetLastError()));
    }
    HDC hdcMem = hdcScreen != nullptr ? CreateCompatibleDC(hdcScreen) : nullptr;
    if (hdcScreen != nullptr && hdcMem == nullptr) {
        ImageLog("CxImage::DrawString : CreateCompatibleDC failed with (%d)",
                 static_cast<int>(GetLastError()));
    }
    if (hdcScreen == nullptr || hdcMem == nullptr) {
        if (hdcScreen != nullptr) ReleaseDC(nullptr, hdcScreen);
        ImageLog("CxImage::DrawString : END");
        return y;
    }

    if (fScale != 1.0f) {
        lf.lfHeight = static_cast<LONG>(static_cast<float>(lf.lfHeight) * fScale + 0.5);
        x = static_cast<DWORD>(static_cast<float>(x) * fScale + 0.5);
        y = static_cast<DWORD>(static_cast<float>(y) * fScale + 0.5);
    }

    HFONT hFont = CreateFontIndirectW(&lf);
    const bool ownFont = hFont != nullptr;
    if (hFont == nullptr) hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ hOldFont = SelectObject(hdcMem, hFont);

    const int length = TextLength(pText);
    SIZE extent = {0, 0};
    if (!GetTextExtentPointW(hdcMem, pText != nullptr ? pText : u"", length, &extent)) {
        ImageLog("CxImage::DrawString : GetTextExtentPoint failed with (%d)",
                 static_cast<int>(GetLastError()));
        extent = {0, 0};
    }
    const long width = extent.cx + (lf.lfItalic ? extent.cy : 0);
    const long height = extent.cy;

    if ((byRotation == 1 || byRotation == 3) && width > static_cast<long>(GetWidth())) {
        ImageLog("CxImage::DrawString : Width = %d, Height = %d", static_cast<int>(GetWidth()),
                 static_cast<int>(GetHeight()));
        ExtendCanvas(0, 0, static_cast<long>(x) + width - static_cast<long>(GetWidth()), 0,
                     RGBQUAD{255, 255, 255, 0});
        ImageLog("CxImage::DrawString : Width = %d, Height = %d", static_cast<int>(GetWidth()),
                 static_cast<int>(GetHeight()));
    }

    HBITMAP hBitmap = nullptr;
    HGDIOBJ hOldBitmap = nullptr;
    CxImage text;
    if (width > 0 && height > 0) {
        hBitmap = CreateCompatibleBitmap(hdcMem, static_cast<int>(width), static_cast<int>(height));
    }
    if (hBitmap != nullptr) {
        SetTextColor(hdcMem, 0xFFFFFF);
        SetBkColor(hdcMem, 0);
        SetBkMode(hdcMem, OPAQUE);
        hOldBitmap = SelectObject(hdcMem, hBitmap);
        PatBlt(hdcMem, 0, 0, static_cast<int>(width), static_cast<int>(height), BLACKNESS);
        TextOutW(hdcMem, 0, 0, pText, length);
        // The bitmap is read back while it is still selected; the platform allows that.
        if (text.LoadFromBitmapHandle(hBitmap) && text.IsValid()) {
            text.FlipVertical();
        }
    }
    if (text.IsValid()) {
        const RGBQUAD black = {0, 0, 0, 0};
        for (long i = 0; i < width; ++i) {
            for (long j = 0; j < height; ++j) {
                if (text.GetPixelColor(i, j).rgbBlue != 0) {
                    SetPixelColor(static_cast<long>(x) + i, static_cast<long>(y) + j, black);
                }
            }
        }
    }

    if (hOldBitmap != nullptr) SelectObject(hdcMem, hOldBitmap);
    if (hOldFont != nullptr) SelectObject(hdcMem, hOldFont);
    DeleteDC(hdcMem);
    if (ownFont) DeleteObject(hFont);
    if (hBitmap != nullptr) DeleteObject(hBitmap);
    ReleaseDC(nullptr, hdcScreen);
    text.Release();
    ImageLog("CxImage::DrawString : END");
    return y + static_cast<DWORD>(height);
}
