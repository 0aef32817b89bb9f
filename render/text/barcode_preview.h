// Barcode preview data: in print preview every barcode record carries a ready-made picture of
// its kind for the preview application, taken from "C:\Windows\LBR-KV580\PreviewBin\".
#pragma once

#include "oempdev.h"
#include "win32/types.h"

// Preview block header: 00 00 00, 1B 40, length (16-bit LE, 14 + file size), "ORVANEX".
constexpr DWORD kBarcodePreviewHeaderBytes = 14;

// The preview file name of a barcode type; null when the kind has no preview picture.
const char* BarcodePreviewFileName(PDEVOBJ pdevobj, const char* pFamilyName, DWORD dwBarcodeType);

// Appends the preview block of the barcode's kind to field B (*ppbyText, a LocalAlloc block):
// on success the old block is freed, *ppbyText is the new one and *pdwTextLength grows by 14 +
// the file size. Any failure leaves field B as it was and returns FALSE.
BOOL AddBarCodePreviewData(PDEVOBJ pdevobj, const char* pFamilyName, PBYTE* ppbyText,
                           PDWORD pdwTextLength, DWORD dwBarcodeType);
