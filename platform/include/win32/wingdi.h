// GDI subset of the host platform: device contexts, fonts, bitmaps and text drawing.
//
// Text is rasterised by FreeType; face names are matched through fontconfig. What this GDI
// offers and how it answers:
//
// - Device contexts. GetDC(any window) gives a screen context: 32 bits per pixel, 1920 x 1080,
//   96 dots per inch (LOGPIXELSX/LOGPIXELSY). Drawing on a screen context succeeds and is
//   discarded. CreateCompatibleDC makes a memory context that starts with a stock 1 x 1
//   monochrome bitmap selected; it reports the screen's device capabilities, except BITSPIXEL,
//   which is the depth of the bitmap selected into it.
// - Bitmaps. Device-dependent bitmaps are monochrome (1 bpp; 0 = black, 1 = white) or colour
//   (24 or 32 bpp); CreateCompatibleBitmap on a memory context gives the format of the bitmap
//   selected into it (so 1 bpp right after CreateCompatibleDC), on the screen 32 bpp.
//   A size of 0 gives a 1 x 1 monochrome bitmap. DIB sections keep the layout their
//   BITMAPINFOHEADER describes (1, 4, 8, 16 (5-5-5), 24 or 32 bpp, BI_RGB, bottom-up or
//   top-down, rows padded to 4 bytes) and their colour table. Bitmap bits come from the
//   platform heap (LocalAlloc), so the heap's fault switch reaches them.
// - Colours onto monochrome and paletted surfaces: a colour maps to the nearest entry (for a
//   monochrome bitmap: white when (2 R + 5 G + B) / 8 >= 128, else black). The grey stock
//   brushes are therefore not dithered: LTGRAY and GRAY give white, DKGRAY black.
// - Fonts. lfHeight < 0 is the character (em) height in pixels, > 0 the cell height
//   (ascent + descent), 0 the default of 16 pixels em height. lfWidth != 0 sets the average
//   character width. Weights from 600 ask fontconfig for a bold face, and a face lighter than
//   that is emboldened by FreeType (1/24 em, at least one pixel wider per character); italic
//   asks for an italic or oblique face, else the outlines are slanted. Underline and
//   strike-out use the face's own positions. Escapement and orientation are ignored.
//   Unknown face names fall back to the sans face of fontconfig (DejaVu Sans).
// - Text. TextOutW places the top-left corner of the character cell at (x, y); the baseline is
//   at y + ascent. Glyphs are drawn without anti-aliasing: a pixel takes the text colour where
//   the glyph covers at least half of it. Advances are the hinted advances of the face, no
//   kerning, as GDI does. With OPAQUE background the cell box (extent) is first filled with
//   the background colour.
// - Handles are checked: a wrong, deleted or foreign handle gives FALSE/NULL/0 with
//   ERROR_INVALID_HANDLE. An object selected into a context is not deleted (DeleteObject gives
//   FALSE); stock objects ignore DeleteObject and answer TRUE.
// - All functions may be called from any thread; one lock serialises them.
#pragma once

#include <string_view>

#include "win32/bitmap.h"
#include "win32/types.h"

// ---- Sizes and limits -----------------------------------------------------------------------
constexpr int LF_FACESIZE = 32;

// ---- Font weights, character sets, pitch and family ----------------------------------------
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_THIN = 100;
constexpr LONG FW_EXTRALIGHT = 200;
constexpr LONG FW_LIGHT = 300;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_MEDIUM = 500;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_EXTRABOLD = 800;
constexpr LONG FW_HEAVY = 900;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE HANGUL_CHARSET = 129;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE CHINESEBIG5_CHARSET = 136;
constexpr BYTE OEM_CHARSET = 255;

constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE OUT_TT_PRECIS = 4;
constexpr BYTE OUT_TT_ONLY_PRECIS = 7;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;

constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;
constexpr BYTE FF_SCRIPT = 0x40;
constexpr BYTE FF_DECORATIVE = 0x50;

// ---- Stock objects --------------------------------------------------------------------------
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;

// ---- Object types (GetObjectType, GetCurrentObject) ----------------------------------------
constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_DC = 3;
constexpr UINT OBJ_FONT = 6;
constexpr UINT OBJ_BITMAP = 7;
constexpr UINT OBJ_MEMDC = 10;

// ---- Background modes, colours, raster operations -------------------------------------------
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// ---- DIB colour usage -----------------------------------------------------------------------
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

// ---- Device capabilities --------------------------------------------------------------------
constexpr int DRIVERVERSION = 0;
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;
constexpr int DT_RASDISPLAY = 1;
constexpr int RC_BITBLT = 0x0001;
constexpr int RC_DI_BITMAP = 0x0080;
constexpr int RC_DIBTODEV = 0x0200;
constexpr int RC_STRETCHBLT = 0x0800;

// ---- Records --------------------------------------------------------------------------------
struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
using PLOGFONTW = LOGFONTW*;
using LPLOGFONTW = LOGFONTW*;
static_assert(sizeof(LOGFONTW) == 92);

struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
using LPTEXTMETRICW = TEXTMETRICW*;
static_assert(sizeof(TEXTMETRICW) == 60);

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};
using PBITMAP = BITMAP*;
using LPBITMAP = BITMAP*;

struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
};
using PDIBSECTION = DIBSECTION*;
static_assert(sizeof(void*) != 8 || (sizeof(BITMAP) == 32 && sizeof(DIBSECTION) == 104));

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
};
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;

extern "C" {

// ---- Device contexts ------------------------------------------------------------------------
// GetDC: a screen context (whatever the window); NULL only when the platform cannot make one.
HDC GetDC(HWND hWnd);
// ReleaseDC: 1 for a context from GetDC, else 0.
int ReleaseDC(HWND hWnd, HDC hDC);
// CreateCompatibleDC: a memory context like hdc (NULL: like the screen), with a stock 1 x 1
// monochrome bitmap selected.
HDC CreateCompatibleDC(HDC hdc);
// DeleteDC: releases a memory context; the objects selected into it stay alive.
BOOL DeleteDC(HDC hdc);
// SelectObject: selects a font, bitmap, brush or pen; returns the object it replaces, NULL on
// failure (a bitmap goes into one memory context at a time, never into a screen context).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
int GetDeviceCaps(HDC hdc, int index);

// ---- Objects --------------------------------------------------------------------------------
HGDIOBJ GetStockObject(int i);
BOOL DeleteObject(HGDIOBJ ho);
// GetObjectW: with pv NULL the size needed; else the record (BITMAP or DIBSECTION, LOGFONTW,
// LOGBRUSH) copied into pv, cb bytes at most, and the number of bytes written; 0 on failure.
int GetObjectW(HANDLE h, int c, LPVOID pv);
DWORD GetObjectType(HGDIOBJ h);

// ---- Fonts and text -------------------------------------------------------------------------
HFONT CreateFontIndirectW(const LOGFONTW* lplf);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl);
BOOL GetTextExtentPointW(HDC hdc, LPCWSTR lpString, int c, LPSIZE lpsz);
BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm);
BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR lpString, int c);
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);

// ---- Brushes and pens -----------------------------------------------------------------------
HBRUSH CreateSolidBrush(COLORREF color);

// ---- Bitmaps --------------------------------------------------------------------------------
// CreateBitmap: 1, 24 or 32 bits per pixel, one plane; lpBits (rows padded to 2 bytes, top row
// first) may be NULL.
HBITMAP CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits);
HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy);
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits,
                         HANDLE hSection, DWORD offset);
// GetDIBits: rows start .. start + cLines - 1 of the DIB described by lpbmi (row 0 is the
// bottom row when biHeight > 0, the top row when < 0) in the format of lpbmi (1, 4, 8, 16, 24
// or 32 bpp, BI_RGB), rows padded to 4 bytes, with the colour table filled (the bitmap's own
// when it has one of that depth; black and white for 1 bpp; greys for 4 and 8 bpp). lpvBits
// NULL: biBitCount 0 fills the header with the bitmap's format, else biSizeImage and the
// colour table are filled. Returns the number of rows copied (or non-zero for a query).
int GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits, LPBITMAPINFO lpbmi,
              UINT usage);
// SetDIBits: the reverse of GetDIBits, rows of lpBits in the format of lpbmi into the bitmap.
int SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, const void* lpBits,
              const BITMAPINFO* lpbmi, UINT usage);

// ---- Drawing --------------------------------------------------------------------------------
BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop);
BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);
COLORREF GetPixel(HDC hdc, int x, int y);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);

}  // extern "C"

namespace platform {

// Fault switch for tests: the nth call from now (1 = the next one) of the GDI function named
// `function` ("GetDC", "CreateCompatibleDC", "CreateFontIndirectW", "GetTextExtentPointW",
// "GetTextExtentPoint32W", "CreateCompatibleBitmap", "TextOutW", "GetDIBits",
// "CreateDIBSection") fails as if the system had refused it. nth 0 clears the switch.
void FailGdiCall(std::string_view function, int nth);

// Number of GDI objects and device contexts alive now (stock objects not counted): lets tests
// check that a drawing routine released everything it made.
int LiveGdiObjectCount();

}  // namespace platform
