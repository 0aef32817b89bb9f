// Page preparation: the captured page bitmap turned into the image that is printed (turned,
// cropped, brightened, dithered, reduced, TrueType text drawn in) and handed on to the
// interleaving of image rows and device text.
#pragma once

#include "plugin/intrface.h"

class CxImage;

// Appends the page's commands to the output buffer. Returns the result of
// AddImageAndDevFontData, or E_FAIL when the page cannot be decoded.
HRESULT CreateImageData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);

// The reduction factor from settings bytes 38, 40 and 41 (1.0 = none). For choice 4 byte 41 is
// clamped into 10..100 and written back into the device's settings record.
float PageReduceRate(POEMPDEV pOemPDEV);

// scaled(v): v x fReduceRate as a single-precision product, plus 0.5, truncated.
inline DWORD ScaledValue(DWORD v, float fReduceRate) {
    const float product = static_cast<float>(v) * fReduceRate;
    return static_cast<DWORD>(static_cast<double>(product) + 0.5);
}

// Cuts the white area below the last printed row (settings byte 31 = 0 only). 1 when it cut.
int CropBottomBlankArea(PDEVOBJ pdevobj, CxImage* pImage);
// The user's top and bottom crops and the page-length crop of a page that will be turned.
// 1, or 0 when a crop failed.
int CropImageTopAndBottom(PDEVOBJ pdevobj, CxImage* pImage, DWORD dwOrgWidth, DWORD dwOrgHeight,
                          DWORD dw_Y_Last);
// Draws the page's TrueType text records into the image and moves its device records into the
// device-text list. Returns the lowest row used (at least dwLastPosY).
DWORD DrawResizedText(PDEVOBJ pdevobj, CxImage* pImage, float fReduceRate, DWORD dwLastPosY);
// Mirrors the device-text records for a half-turned page: Y becomes dwLastPosY - Y and the
// record order is reversed. Returns 0.
int RePositionDevTxt_R180(PBYTE pDevTxtBuf, DWORD dwDevTxtBufSize, DWORD dwLastPosY);
// Stable insertion sort of the image-rectangle list by top edge. 1, or 0 when the work copy
// cannot be allocated (list unchanged).
int SortImageRects(PBYTE pImgRectBuf, DWORD dwImgRectBufSize);

// Name of the diagnostic page dump of a job: "c:\temp\LBR-KV580\LBR-KV580_MMDD_HHMM_JJJJJ.bmp".
void PageDumpFileName(DWORD dwJobId, WCHAR* pszPath, size_t cchPath);
