// The device state: creation with the settings load (OEMEnablePDEV), destruction, and the two
// queries of the host's current options (paper source, orientation).
#include <cstring>

#include "debug_log.h"
#include "intrface.h"
#include "settings.h"
#include "win32/codepage.h"
#include "win32/heap.h"
#include "win32/palette.h"
#include "win32/strings.h"
#include "win32/winspool.h"

namespace {

void LogDevmode(const DEVMODEW* dm) {
    if (dm == nullptr) {
        return;
    }
    DebugLog("OEMEnablePDEV : dmFormName = %ws", dm->dmFormName);
    DebugLog("OEMEnablePDEV : dmPaperWidth = %d", dm->dmPaperWidth);
    DebugLog("OEMEnablePDEV : dmPaperLength = %d", dm->dmPaperLength);
    DebugLog("OEMEnablePDEV : dmOrientation = %d", dm->dmOrientation);
    DebugLog("OEMEnablePDEV : dmCopies = %d", dm->dmCopies);
    DebugLog("OEMEnablePDEV : dmScale = %d", dm->dmScale);
    DebugLog("OEMEnablePDEV : dmDefaultSource = %d", dm->dmDefaultSource);
    DebugLog("OEMEnablePDEV : dmPrintQuality = %d", dm->dmPrintQuality);
    DebugLog("OEMEnablePDEV : dmColor = %d", dm->dmColor);
    DebugLog("OEMEnablePDEV : dmDuplex = %d", dm->dmDuplex);
    DebugLog("OEMEnablePDEV : dmYResolution = %d", dm->dmYResolution);
    DebugLog("OEMEnablePDEV : dmTTOption = %d", dm->dmTTOption);
    DebugLog("OEMEnablePDEV : dmCollate = %d", dm->dmCollate);
    DebugLog("OEMEnablePDEV : dmLogPixels = %d", dm->dmLogPixels);
    DebugLog("OEMEnablePDEV : dmBitsPerPel = %d", dm->dmBitsPerPel);
    DebugLog("OEMEnablePDEV : dmPelsWidth = %d", dm->dmPelsWidth);
    DebugLog("OEMEnablePDEV : dmPelsHeight = %d", dm->dmPelsHeight);
}

// Stores the host's function of every index the plug-in hooks.
void SaveHostFunctions(POEMPDEV p, const DRVENABLEDATA* pded) {
    if (pded == nullptr || pded->pdrvfn == nullptr) {
        return;
    }
    for (ULONG i = 0; i < pded->c; ++i) {
        const PFN fn = pded->pdrvfn[i].pfn;
        switch (pded->pdrvfn[i].iFunc) {
#define KV580_SAVE(name)                                \
    case INDEX_Drv##name:                               \
        p->m_pfnDrv##name = FromPfn<PFN_Drv##name>(fn); \
        break;
            KV580_SAVE(RealizeBrush)
            KV580_SAVE(DitherColor)
            KV580_SAVE(StrokePath)
            KV580_SAVE(FillPath)
            KV580_SAVE(StrokeAndFillPath)
            KV580_SAVE(Paint)
            KV580_SAVE(BitBlt)
            KV580_SAVE(CopyBits)
            KV580_SAVE(StretchBlt)
            KV580_SAVE(TextOut)
            KV580_SAVE(Escape)
            KV580_SAVE(QueryFont)
            KV580_SAVE(QueryFontTree)
            KV580_SAVE(QueryFontData)
            KV580_SAVE(LineTo)
            KV580_SAVE(SendPage)
            KV580_SAVE(StartPage)
            KV580_SAVE(EndDoc)
            KV580_SAVE(StartDoc)
            KV580_SAVE(GetGlyphMode)
            KV580_SAVE(FontManagement)
            KV580_SAVE(QueryAdvanceWidths)
            KV580_SAVE(StartBanding)
            KV580_SAVE(NextBand)
            KV580_SAVE(GradientFill)
            KV580_SAVE(StretchBltROP)
            KV580_SAVE(PlgBlt)
            KV580_SAVE(AlphaBlend)
            KV580_SAVE(TransparentBlt)
#undef KV580_SAVE
            default:
                break;  // indexes the plug-in does not hook
        }
    }
}

// Printer name from printer data "DsSpooler" / "printerName", else the name the host passed.
void LoadPrinterName(POEMPDEV p, HANDLE hPrinter, const WCHAR* pPrinterName) {
    DWORD type = 0;
    DWORD needed = 0;
    const DWORD error = GetPrinterDataExW(hPrinter, u"DsSpooler", u"printerName", &type,
                                          reinterpret_cast<BYTE*>(p->wszPrinterName),
                                          sizeof(p->wszPrinterName), &needed);
    if (error != ERROR_SUCCESS) {
        DebugLog("OEMEnablePDEV : GetPrinterDataEx failed. (%d)", static_cast<int>(error));
        std::memset(p->wszPrinterName, 0, sizeof(p->wszPrinterName));
        if (pPrinterName != nullptr) {
            StringCchCopyNW(p->wszPrinterName, 256, pPrinterName, 255);
        }
    }
    p->wszPrinterName[255] = 0;  // a value that fills the field has no terminator of its own

    // ANSI form; a name that does not fit is cut at a whole character.
    int chars = lstrlenW(p->wszPrinterName);
    while (chars > 0 && WideCharToMultiByte(CP_ACP, 0, p->wszPrinterName, chars, p->szPrinterName,
                                            255, nullptr, nullptr) == 0) {
        --chars;
    }
    if (chars == 0) {
        p->szPrinterName[0] = '\0';
    } else {
        const int bytes = WideCharToMultiByte(CP_ACP, 0, p->wszPrinterName, chars, p->szPrinterName,
                                              255, nullptr, nullptr);
        p->szPrinterName[bytes > 0 ? bytes : 0] = '\0';
    }
    DebugLog("OEMEnablePDEV : PRINTER NAME = %s", p->szPrinterName);
}

// Asks the host for the current option of `feature`. True with `setting` on success.
bool QueryDriverSetting(CRenderPlugin* pPlugin, PDEVOBJ pdevobj, const char* feature,
                        const char* functionName, char (&setting)[256]) {
    std::memset(setting, 0, sizeof(setting));
    DWORD needed = 0;
    DWORD optionsReturned = 0;
    HRESULT hr = E_FAIL;
    if (pPlugin != nullptr && pPlugin->m_pDriverServices != nullptr) {
        SetLastError(ERROR_SUCCESS);
        hr = pPlugin->m_pDriverServices->DrvGetDriverSetting(
            pdevobj, feature, setting, sizeof(setting), &needed, &optionsReturned);
    } else {
        SetLastError(ERROR_INVALID_FUNCTION);
    }
    if (hr != S_OK) {
        DebugLog("%s : DrvGetDriverSetting failed with (%d)", functionName,
                 static_cast<int>(GetLastError()));
        DebugLog("%s : dwNeeded = %d", functionName, static_cast<int>(needed));
        DebugLog("%s : dwOptionsReturned = %d", functionName, static_cast<int>(optionsReturned));
        return false;
    }
    setting[sizeof(setting) - 1] = '\0';  // whatever the host wrote, the text ends here
    DebugLog("%s : szDrvSetting = %s", functionName, setting);
    return true;
}

}  // namespace

POEMPDEV OEMEnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG /*cPatterns*/,
                       HSURF* /*phsurfPatterns*/, ULONG /*cjGdiInfo*/, GDIINFO* pGdiInfo,
                       ULONG /*cjDevInfo*/, DEVINFO* pDevInfo, DRVENABLEDATA* pded) {
    auto* p = static_cast<POEMPDEV>(LocalAlloc(LPTR, sizeof(OEMPDEV)));
    DebugLog("OEMEnablePDEV : START");
    if (p == nullptr) {
        DebugLog("OEMEnablePDEV : pOemPDEV is NULL.");
        return nullptr;
    }
    const HANDLE hPrinter = pdevobj != nullptr ? pdevobj->hPrinter : nullptr;

    LogDevmode(pdevobj != nullptr ? pdevobj->pPublicDM : nullptr);
    SaveHostFunctions(p, pded);
    LoadPrinterName(p, hPrinter, pPrinterName);

    if (pDevInfo != nullptr) {
        if (pGdiInfo != nullptr && pGdiInfo->cBitsPixel == 24) {
            pDevInfo->hpalDefault = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
        }
        p->hPalette = pDevInfo->hpalDefault;
    }

    UIInfo& info = p->UIInfo;
    LoadMiscSettings(hPrinter, info);
    for (DWORD i = 0; i < kSettingBytes; ++i) {
        DebugLog("OEMEnablePDEV : m_UIInfo->byteValue[%d] : %x", static_cast<int>(i),
                 info.byteValue[i]);
    }
    info.byPage = 0;

    if (info.byteValue[43] == 0) {
        g_bDebugLog = FALSE;
        DebugDeleteAllFiles();
    }

    LoadBarcodeSettings(hPrinter, info);
    LoadCommandSettings(hPrinter, info);

    DebugLog("OEMEnablePDEV : END");
    return p;
}

void OEMDisablePDEV(PDEVOBJ pdevobj) {
    POEMPDEV p = DeviceState(pdevobj);
    if (p == nullptr) {
        return;
    }
    LocalFree(p->pColorTable);
    LocalFree(p->pBufStart);
    LocalFree(p->pTxtBufStart);
    LocalFree(p->pDevTxtBufStart);
    LocalFree(p->pImgRectBufStart);
    MemFree(p->szCouponImgName);  // the coupon names of an unfinished job
    LocalFree(p);
    pdevobj->pdevOEM = nullptr;
}

BOOL IsReceiptPrintSelected(CRenderPlugin* pPlugin, PDEVOBJ pdevobj) {
    DebugLog("IsReceiptPrintSelected : START");
    BOOL result = FALSE;
    char setting[256];
    if (QueryDriverSetting(pPlugin, pdevobj, "InputBin", "IsReceiptPrintSelected", setting)) {
        if (std::strstr(setting, "Option1") != nullptr) {
            DebugLog("IsReceiptPrintSelected : Option1 / RECEIPT");
            result = TRUE;
        } else if (std::strstr(setting, "Option2") != nullptr) {
            DebugLog("IsReceiptPrintSelected : Option2 / TICKET");
        }
    }
    DebugLog("IsReceiptPrintSelected : END");
    return result;
}

BOOL IsLandscapeMode(CRenderPlugin* pPlugin, PDEVOBJ pdevobj) {
    DebugLog("IsLandscapeMode : START");
    BOOL result = FALSE;
    char setting[256];
    if (QueryDriverSetting(pPlugin, pdevobj, "Orientation", "IsLandscapeMode", setting)) {
        if (std::strstr(setting, "LANDSCAPE_CC270") != nullptr) {
            DebugLog("IsLandscapeMode : LANDSCAPE_CC270");
            result = TRUE;
        }
    }
    DebugLog("IsLandscapeMode : END");
    return result;
}
