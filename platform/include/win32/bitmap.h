// Device-independent bitmap records: the byte layouts of BMP files and DIB sections.
//
// These records travel as bytes (BMP files, packed DIBs, colour tables), so their layouts are
// exact and checked: BITMAPFILEHEADER 14 bytes packed, BITMAPINFOHEADER 40, RGBQUAD 4.
#pragma once

#include "win32/types.h"

// ---- Compression values of biCompression ----------------------------------------------------
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr DWORD BI_JPEG = 4;
constexpr DWORD BI_PNG = 5;

// One colour table entry: blue, green, red, reserved.
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
using LPRGBQUAD = RGBQUAD*;

// The header of a device-independent bitmap.
struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
using PBITMAPINFOHEADER = BITMAPINFOHEADER*;
using LPBITMAPINFOHEADER = BITMAPINFOHEADER*;

// Header followed by the colour table (bmiColors holds as many entries as the bitmap needs).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
using PBITMAPINFO = BITMAPINFO*;
using LPBITMAPINFO = BITMAPINFO*;

// The 14-byte header at the start of a BMP file ("BM", file size, offset of the pixel rows).
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
using PBITMAPFILEHEADER = BITMAPFILEHEADER*;
using LPBITMAPFILEHEADER = BITMAPFILEHEADER*;

static_assert(sizeof(RGBQUAD) == 4);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPFILEHEADER) == 14);
static_assert(sizeof(BITMAPINFO) == 44);
