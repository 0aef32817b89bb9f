// The rendering plug-in's records: the driver settings record UIInfo and the device state
// OEMPDEV that lives from EnablePDEV to DisablePDEV.
#pragma once

#include "win32/bitmap.h"
#include "win32/printoem.h"
#include "win32/types.h"
#include "win32/winddi.h"

// ---- Driver settings record --------------------------------------------------------------------
constexpr DWORD kSettingBytes = 44;      // printer data "MISC"
constexpr DWORD kMaxCommandBytes = 512;  // "StartDoc", "StartPage", "EndPage", "EndDoc"
constexpr DWORD kCodeDataBytes = 160;    // "CodeData": eight 20-byte 2D-code records
constexpr DWORD kBarcodeInfoBytes = 65;  // "BarcodeInfo": up to thirteen 5-byte records
constexpr DWORD kBarcodeRecords = 13;
constexpr DWORD kBarcodeRecordBytes = 5;
constexpr DWORD kCodeDataRecords = 8;
constexpr DWORD kCodeDataRecordBytes = 20;

struct UIInfo {
    WORD byPage;  // page counter of the device context
    BYTE byteValue[kSettingBytes];
    BYTE byStartDocCmd[kMaxCommandBytes];
    BYTE byStartPageCmd[kMaxCommandBytes];
    BYTE byEndPageCmd[kMaxCommandBytes];
    BYTE byEndDocCmd[kMaxCommandBytes];
    BYTE CodeData[kCodeDataBytes];
    BYTE BarcodeInfo[kBarcodeInfoBytes];
    DWORD dwStartDoc;
    DWORD dwStartPage;
    DWORD dwEndPage;
    DWORD dwEndDoc;
};
using PUIInfo = UIInfo*;

// ---- Device state ----------------------------------------------------------------------------
struct OEMPDEV {
    // The host's own implementation of every hooked graphics function.
    PFN_DrvAlphaBlend m_pfnDrvAlphaBlend;
    PFN_DrvBitBlt m_pfnDrvBitBlt;
    PFN_DrvCopyBits m_pfnDrvCopyBits;
    PFN_DrvDitherColor m_pfnDrvDitherColor;
    PFN_DrvEndDoc m_pfnDrvEndDoc;
    PFN_DrvEscape m_pfnDrvEscape;
    PFN_DrvFillPath m_pfnDrvFillPath;
    PFN_DrvFontManagement m_pfnDrvFontManagement;
    PFN_DrvGetGlyphMode m_pfnDrvGetGlyphMode;
    PFN_DrvGradientFill m_pfnDrvGradientFill;
    PFN_DrvLineTo m_pfnDrvLineTo;
    PFN_DrvNextBand m_pfnDrvNextBand;
    PFN_DrvPaint m_pfnDrvPaint;
    PFN_DrvPlgBlt m_pfnDrvPlgBlt;
    PFN_DrvQueryAdvanceWidths m_pfnDrvQueryAdvanceWidths;
    PFN_DrvQueryFont m_pfnDrvQueryFont;
    PFN_DrvQueryFontData m_pfnDrvQueryFontData;
    PFN_DrvQueryFontTree m_pfnDrvQueryFontTree;
    PFN_DrvRealizeBrush m_pfnDrvRealizeBrush;
    PFN_DrvSendPage m_pfnDrvSendPage;
    PFN_DrvStartBanding m_pfnDrvStartBanding;
    PFN_DrvStartDoc m_pfnDrvStartDoc;
    PFN_DrvStartPage m_pfnDrvStartPage;
    PFN_DrvStretchBlt m_pfnDrvStretchBlt;
    PFN_DrvStretchBltROP m_pfnDrvStretchBltROP;
    PFN_DrvStrokeAndFillPath m_pfnDrvStrokeAndFillPath;
    PFN_DrvStrokePath m_pfnDrvStrokePath;
    PFN_DrvTextOut m_pfnDrvTextOut;
    PFN_DrvTransparentBlt m_pfnDrvTransparentBlt;

    DWORD dwJobId;
    WCHAR wszPrinterName[256];
    char szPrinterName[256];
    struct UIInfo UIInfo;  // driver settings record of this device context

    // Page bitmap built from the bands (band capture).
    PBYTE pBufStart;
    DWORD dwBufSize;
    BITMAPFILEHEADER bmFileHeader;
    BITMAPINFOHEADER bmInfoHeader;
    DWORD dwColorTableEntries;
    PBYTE pColorTable;
    HPALETTE hPalette;
    BOOL bBlankBand;
    DWORD dwBlankHeight;
    DWORD dwBlankSize;

    // Text capture.
    DWORD dwLastTxt_PosY;
    DWORD dwLastTxt_Height;
    DWORD dwBottomTxtCoordinate;

    // Image-rectangle list: 8-byte records (left, top, right, bottom; two bytes each).
    PBYTE pImgRectBufStart;
    DWORD dwImgRectBufSize;

    // Text records and device-text list of the page.
    PBYTE pTxtBufStart;
    DWORD dwTxtBufSize;
    PBYTE pDevTxtBufStart;
    DWORD dwDevTxtBufSize;

    // Drawer-only pages and coupon images of the job.
    BOOL bNoCutNoFeeds;
    BOOL bNoCutNoFeeds2;
    DWORD dwCouponImgNameLength;
    char* szCouponImgName;
};
using POEMPDEV = OEMPDEV*;

// The device state of a device object; null when there is none.
inline POEMPDEV DeviceState(PDEVOBJ pdevobj) {
    return pdevobj == nullptr ? nullptr : static_cast<POEMPDEV>(pdevobj->pdevOEM);
}
// The device object a surface leads to (Unidrv passes its DEVOBJ as the surface's device).
inline PDEVOBJ DeviceObject(SURFOBJ* pso) {
    return pso == nullptr ? nullptr : reinterpret_cast<PDEVOBJ>(pso->dhpdev);
}
