// Band capture: the bands of a page collected into one page bitmap with its header, colour
// table and blank-band counters, and the byte-buffer routines of the page pipeline.
#pragma once

#include "plugin/oempdev.h"

// ImageProcessing body: takes over one band (top band first).
HRESULT OEMImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                           DWORD dwCallbackID, PIPPARAMS pIPParams, PBYTE* ppbResult);

// Builds the page colour table for a band format (BMF_1BPP or BMF_8BPP).
bool bFillColorTable(POEMPDEV pOemPDEV, DWORD dwFormat);
bool UpdateBitmapInfoHeader(POEMPDEV pOemPDEV, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBand);
bool UpdateBlankBandInfo(POEMPDEV pOemPDEV, PBITMAPINFOHEADER pBand, PIPPARAMS pIPParams);
void UpdateBitmapFileHeader(POEMPDEV pOemPDEV);

// Grows a byte buffer by n zero bytes: 1 on success; on failure the old buffer is released
// (its content lost, size 0) and the result is 0.
int bGrowBuffer(PBYTE* ppBuffer, DWORD* pdwSize, DWORD n);
// Releases a byte buffer: pointer null, size 0.
void FreeBuffer(PBYTE* ppBuffer, DWORD* pdwSize);
