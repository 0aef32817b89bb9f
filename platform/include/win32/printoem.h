// The Unidrv plug-in interfaces: what the universal printer driver and a rendering plug-in
// exchange. Slot orders and identifiers are the published ones.
#pragma once

#include "win32/bitmap.h"
#include "win32/devmode.h"
#include "win32/types.h"
#include "win32/winddi.h"

// ---- Class and interface identifiers -------------------------------------------------------
// Class id under which Unidrv asks a rendering plug-in library for its object.
inline constexpr CLSID CLSID_OEMRENDER = {
    0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
// Class id of user-interface plug-ins.
inline constexpr CLSID CLSID_OEMUI = {
    0xABCE80D7, 0x9F46, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
inline constexpr IID IID_IPrintOemUni = {
    0xD67EBBF0, 0x78BF, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
inline constexpr IID IID_IPrintOemDriverUni = {
    0xD67EBBF1, 0x78BF, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};

// ---- GetInfo modes ---------------------------------------------------------------------------
constexpr DWORD OEMGI_GETSIGNATURE = 1;
constexpr DWORD OEMGI_GETINTERFACEVERSION = 2;
constexpr DWORD OEMGI_GETVERSION = 3;
constexpr DWORD OEMGI_GETPUBLISHERINFO = 4;

// ---- DevMode modes ---------------------------------------------------------------------------
constexpr DWORD OEMDM_SIZE = 1;
constexpr DWORD OEMDM_DEFAULT = 2;
constexpr DWORD OEMDM_CONVERT = 3;
constexpr DWORD OEMDM_MERGE = 4;

// The header that starts a plug-in's private part of the DEVMODE.
struct OEM_DMEXTRAHEADER {
    DWORD dwSize;
    DWORD dwSignature;
    DWORD dwVersion;
};
using POEM_DMEXTRAHEADER = OEM_DMEXTRAHEADER*;
static_assert(sizeof(OEM_DMEXTRAHEADER) == 12);

// Parameter block of IPrintOemUni::DevMode.
struct OEMDMPARAM {
    DWORD cbSize;
    PVOID pdriverobj;
    HANDLE hPrinter;
    HANDLE hModule;
    PDEVMODEW pPublicDMIn;
    PDEVMODEW pPublicDMOut;
    PVOID pOEMDMIn;
    PVOID pOEMDMOut;
    DWORD cbBufSize;
};
using POEMDMPARAM = OEMDMPARAM*;

// ---- The device object Unidrv passes to every plug-in call ---------------------------------
struct DRVPROCS;
using PDRVPROCS = DRVPROCS*;
struct DEVOBJ {
    DWORD dwSize;
    PVOID pdevOEM;  // the plug-in's own device state, as its EnablePDEV returned it
    HANDLE hEngine;
    HANDLE hPrinter;  // printer handle for printer data and printer information
    HANDLE hOEM;
    PDEVMODEW pPublicDM;  // the job's DEVMODE
    PVOID pOEMDM;
    PDRVPROCS pDrvProcs;
};
using PDEVOBJ = DEVOBJ*;
using PDEVOEM = PVOID;

// ---- ImageProcessing parameters -------------------------------------------------------------
struct IPPARAMS {
    DWORD dwSize;
    POINT* ptOffset;
    PSTR pHalftoneOption;
    BOOL bBanding;
    BOOL bBlankBand;
};
using PIPPARAMS = IPPARAMS*;

// ---- Opaque records of the font callbacks (not used by this package) ------------------------
struct UNIFONTOBJ;
using PUNIFONTOBJ = UNIFONTOBJ*;
struct FINVOCATION {
    DWORD dwCount;
    PBYTE pubCommand;
};
using PFINVOCATION = FINVOCATION*;
struct OEMMEMORYUSAGE {
    DWORD dwFixedMemoryUsage;
    DWORD dwPercentMemoryUsage;
    DWORD dwMaxBandSize;
};
using POEMMEMORYUSAGE = OEMMEMORYUSAGE*;

// ---- The rendering plug-in interface (slot order as published) ------------------------------
struct IPrintOemUni : IUnknown {
    // IPrintOemCommon
    virtual HRESULT STDMETHODCALLTYPE GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize,
                                              PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) = 0;
    // IPrintOemEngine
    virtual HRESULT STDMETHODCALLTYPE EnableDriver(DWORD DriverVersion, DWORD cbSize,
                                                   PDRVENABLEDATA pded) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisableDriver() = 0;
    virtual HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName,
                                                 ULONG cPatterns, HSURF* phsurfPatterns,
                                                 ULONG cjGdiInfo, GDIINFO* pGdiInfo,
                                                 ULONG cjDevInfo, DEVINFO* pDevInfo,
                                                 DRVENABLEDATA* pded, PDEVOEM* pDevOem) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ pdevobj) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) = 0;
    // IPrintOemUni
    virtual HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown* pIUnknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetImplementedMethod(PSTR pMethodName) = 0;
    virtual HRESULT STDMETHODCALLTYPE DriverDMS(PVOID pDevObj, PVOID pBuffer, DWORD cbSize,
                                                PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID,
                                                      DWORD dwCount, PDWORD pdwParams,
                                                      INT* piResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                                      PBITMAPINFOHEADER pBitmapInfoHeader,
                                                      PBYTE pColorTable, DWORD dwCallbackID,
                                                      PIPPARAMS pIPParams, PBYTE* ppbResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE Compression(PDEVOBJ pdevobj, PBYTE pInBuf, PBYTE pOutBuf,
                                                  DWORD dwInLen, DWORD dwOutLen, INT* piResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE HalftonePattern(PDEVOBJ pdevobj, PBYTE pHTPattern,
                                                      DWORD dwHTPatternX, DWORD dwHTPatternY,
                                                      DWORD dwHTNumPatterns, DWORD dwCallbackID,
                                                      PBYTE pResource, DWORD dwResourceSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE MemoryUsage(PDEVOBJ pdevobj,
                                                  POEMMEMORYUSAGE pMemoryUsage) = 0;
    virtual HRESULT STDMETHODCALLTYPE TTYGetInfo(PDEVOBJ pdevobj, DWORD dwInfoIndex,
                                                 PVOID pOutputBuf, DWORD dwSize,
                                                 DWORD* pcbcNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE DownloadFontHeader(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                         DWORD* pdwResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DownloadCharGlyph(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                        HGLYPH hGlyph, PDWORD pdwWidth,
                                                        DWORD* pdwResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE TTDownloadMethod(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                       DWORD* pdwResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE OutputCharStr(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                    DWORD dwType, DWORD dwCount, PVOID pGlyph) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendFontCmd(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                  PFINVOCATION pFInv) = 0;
    virtual HRESULT STDMETHODCALLTYPE TextOutAsBitmap(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo,
                                                      CLIPOBJ* pco, RECTL* prclExtra,
                                                      RECTL* prclOpaque, BRUSHOBJ* pboFore,
                                                      BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                                                      MIX mix) = 0;

protected:
    ~IPrintOemUni() = default;
};

// ---- The driver services Unidrv offers its plug-ins (slot order as published) ----------------
struct IPrintOemDriverUni : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID pdriverobj, PCSTR Feature,
                                                          PVOID pOutput, DWORD cbSize,
                                                          PDWORD pcbNeeded,
                                                          PDWORD pdwOptionsReturned) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                                       DWORD* pdwResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvXMoveTo(PDEVOBJ pdevobj, INT x, DWORD dwFlags,
                                                 INT* piResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvYMoveTo(PDEVOBJ pdevobj, INT y, DWORD dwFlags,
                                                 INT* piResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvGetStandardVariable(PDEVOBJ pdevobj, DWORD dwIndex,
                                                             PVOID pBuffer, DWORD cbSize,
                                                             PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvGetGPDData(PDEVOBJ pdevobj, DWORD dwType, PVOID pInputData,
                                                    PVOID pBuffer, DWORD cbSize,
                                                    PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvUniTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo,
                                                    CLIPOBJ* pco, RECTL* prclExtra,
                                                    RECTL* prclOpaque, BRUSHOBJ* pboFore,
                                                    BRUSHOBJ* pboOpaque, POINTL* pptlBrushOrg,
                                                    MIX mix) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvWriteAbortBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                                       DWORD dwWait) = 0;

protected:
    ~IPrintOemDriverUni() = default;
};

// Exports of a plug-in library, as a host looks them up.
using PFN_DllGetClassObject = HRESULT (*)(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
using PFN_DllCanUnloadNow = HRESULT (*)();
