// CxImage::WriteBmp: the image as a BMP file (the diagnostic page dump).

#include <cstring>

#include "ximage.h"

namespace {

void PutWord(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

void PutDword(BYTE* p, DWORD v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

}  // namespace

/*
 * WriteBmp: writes the 14-byte file header ("BM", file size, offset of the rows) and the bitmap
 * block (header, palette, pixel rows in memory order) to the stream. True when every byte was
 * written; false with the last error set otherwise.
 */
bool CxImage::WriteBmp(ImageStream* pStream) {
    if (pStream == nullptr) {
        SetLastErrorText("null file handler");
        return false;
    }
    if (m_pDib == nullptr) {
        SetLastErrorText("null image!!!");
        return false;
    }
    const DWORD paletteBytes = m_head.biClrUsed * sizeof(RGBQUAD);
    const DWORD offBits = m_head.biSize + paletteBytes + 14;

    BYTE fileHeader[14];
    PutWord(fileHeader + 0, 0x4D42);                         // bfType "BM"
    PutDword(fileHeader + 2, offBits + m_head.biSizeImage);  // bfSize
    PutWord(fileHeader + 6, 0);                              // bfReserved1
    PutWord(fileHeader + 8, 0);                              // bfReserved2
    PutDword(fileHeader + 10, offBits);                      // bfOffBits
    static_assert(sizeof(fileHeader) == sizeof(BITMAPFILEHEADER));

    std::memcpy(m_pDib, &m_head, sizeof(m_head));
    const size_t blockBytes = m_head.biSize + paletteBytes + m_head.biSizeImage;
    if (pStream->Write(fileHeader, sizeof(fileHeader), 1) != 1 ||
        pStream->Write(m_pDib, blockBytes, 1) != 1) {
        SetLastErrorText("CxImage::WriteBmp : write failed");
        return false;
    }
    return true;
}
