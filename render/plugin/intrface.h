// The rendering plug-in object CRenderPlugin (IPrintOemUni) and its class factory.
#pragma once

#include <cstddef>
#include <new>

#include "oempdev.h"
#include "win32/printoem.h"

// Both objects come from the platform heap, so its fault switch reaches their creation.
struct PlatformHeapObject {
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* p) noexcept;
    static void operator delete(void* p, const std::nothrow_t&) noexcept;
};

class CRenderPlugin final : public IPrintOemUni, public PlatformHeapObject {
public:
    CRenderPlugin();
    CRenderPlugin(const CRenderPlugin&) = delete;
    CRenderPlugin& operator=(const CRenderPlugin&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IPrintOemUni
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize,
                                      PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) override;
    HRESULT STDMETHODCALLTYPE EnableDriver(DWORD DriverVersion, DWORD cbSize,
                                           PDRVENABLEDATA pded) override;
    HRESULT STDMETHODCALLTYPE DisableDriver() override;
    HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns,
                                         HSURF* phsurfPatterns, ULONG cjGdiInfo, GDIINFO* pGdiInfo,
                                         ULONG cjDevInfo, DEVINFO* pDevInfo, DRVENABLEDATA* pded,
                                         PDEVOEM* pDevOem) override;
    HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ pdevobj) override;
    HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) override;
    HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown* pIUnknown) override;
    HRESULT STDMETHODCALLTYPE GetImplementedMethod(PSTR pMethodName) override;
    HRESULT STDMETHODCALLTYPE DriverDMS(PVOID pDevObj, PVOID pBuffer, DWORD cbSize,
                                        PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount,
                                              PDWORD pdwParams, INT* piResult) override;
    HRESULT STDMETHODCALLTYPE ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                              PBITMAPINFOHEADER pBitmapInfoHeader,
                                              PBYTE pColorTable, DWORD dwCallbackID,
                                              PIPPARAMS pIPParams, PBYTE* ppbResult) override;
    HRESULT STDMETHODCALLTYPE FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) override;
    HRESULT STDMETHODCALLTYPE Compression(PDEVOBJ pdevobj, PBYTE pInBuf, PBYTE pOutBuf,
                                          DWORD dwInLen, DWORD dwOutLen, INT* piResult) override;
    HRESULT STDMETHODCALLTYPE HalftonePattern(PDEVOBJ pdevobj, PBYTE pHTPattern, DWORD dwHTPatternX,
                                              DWORD dwHTPatternY, DWORD dwHTNumPatterns,
                                              DWORD dwCallbackID, PBYTE pResource,
                                              DWORD dwResourceSize) override;
    HRESULT STDMETHODCALLTYPE MemoryUsage(PDEVOBJ pdevobj, POEMMEMORYUSAGE pMemoryUsage) override;
    HRESULT STDMETHODCALLTYPE TTYGetInfo(PDEVOBJ pdevobj, DWORD dwInfoIndex, PVOID pOutputBuf,
                                         DWORD dwSize, DWORD* pcbcNeeded) override;
    HRESULT STDMETHODCALLTYPE DownloadFontHeader(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                 DWORD* pdwResult) override;
    HRESULT STDMETHODCALLTYPE DownloadCharGlyph(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, HGLYPH hGlyph,
                                                PDWORD pdwWidth, DWORD* pdwResult) override;
    HRESULT STDMETHODCALLTYPE TTDownloadMethod(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                               DWORD* pdwResult) override;
    HRESULT STDMETHODCALLTYPE OutputCharStr(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, DWORD dwType,
                                            DWORD dwCount, PVOID pGlyph) override;
    HRESULT STDMETHODCALLTYPE SendFontCmd(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                          PFINVOCATION pFInv) override;
    HRESULT STDMETHODCALLTYPE TextOutAsBitmap(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo,
                                              CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                                              BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque,
                                              POINTL* pptlOrg, MIX mix) override;

    // Output buffer of the current page (job command flow).
    PBYTE m_pPrintBuf;
    DWORD m_dwTotalBufSize;
    // Journal of the current job.
    HANDLE m_hFileHandle;
    WCHAR m_szJournalPath[512];
    // Where this job's bytes start in the journal (a journal of the same second is appended to).
    DWORD m_dwJournalJobStart;
    LONG m_cRef;
    // The host's driver services; null until PublishDriverInterface.
    IPrintOemDriverUni* m_pDriverServices;

private:
    ~CRenderPlugin();
};

class CRenderPluginFactory final : public IClassFactory, public PlatformHeapObject {
public:
    CRenderPluginFactory() = default;
    CRenderPluginFactory(const CRenderPluginFactory&) = delete;
    CRenderPluginFactory& operator=(const CRenderPluginFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

private:
    ~CRenderPluginFactory() = default;
    LONG m_cRef = 1;
};

// Private part of the DEVMODE kept by the host for this plug-in (24 bytes, little-endian).
struct OEMDEV_PRIVATE {
    OEM_DMEXTRAHEADER dmOEMExtra;  // dwSize 24, dwSignature, dwVersion 1
    DWORD dwValue1;                // 0..100
    DWORD dwValue2;                // 0..100
    DWORD dwReserved;              // the record is 24 bytes long; nothing uses these 4
};
static_assert(sizeof(OEMDEV_PRIVATE) == 24);

constexpr DWORD OEM_SIGNATURE = 0x4D534654;
constexpr DWORD OEM_VERSION = 0x00000001;

// DevMode handling (devmode.cpp).
HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam);

// Queries of the host's current options (pdev.cpp).
BOOL IsReceiptPrintSelected(CRenderPlugin* pPlugin, PDEVOBJ pdevobj);
BOOL IsLandscapeMode(CRenderPlugin* pPlugin, PDEVOBJ pdevobj);

// Creates the device state and loads the settings (pdev.cpp); null when out of memory.
POEMPDEV OEMEnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns, HSURF* phsurfPatterns,
                       ULONG cjGdiInfo, GDIINFO* pGdiInfo, ULONG cjDevInfo, DEVINFO* pDevInfo,
                       DRVENABLEDATA* pded);
// Releases the device state's buffers and the state itself (pdev.cpp).
void OEMDisablePDEV(PDEVOBJ pdevobj);

// The plug-in's DDI hook table (ddihook.cpp).
extern DRVFN g_OEMHookFuncs[];
extern const ULONG g_OEMHookCount;  // 29
