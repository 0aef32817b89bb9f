// The COM side of the rendering plug-in: CRenderPlugin's IUnknown, GetInfo, driver and device
// entry points, the methods it leaves to the host (E_NOTIMPL), and the class factory.
#include "intrface.h"

#include <cstring>

#include "debug_log.h"
#include "module_state.h"
#include "win32/heap.h"
#include "win32/strings.h"

// ---- Allocation ------------------------------------------------------------------------------

void* PlatformHeapObject::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return MemAlloc(size);
}
void PlatformHeapObject::operator delete(void* p) noexcept {
    MemFree(p);
}
void PlatformHeapObject::operator delete(void* p, const std::nothrow_t&) noexcept {
    MemFree(p);
}

// ---- CRenderPlugin -----------------------------------------------------------------------------

CRenderPlugin::CRenderPlugin()
    : m_pPrintBuf(nullptr),
      m_dwTotalBufSize(0),
      m_hFileHandle(nullptr),
      m_szJournalPath{},
      m_dwJournalJobStart(0),
      m_cRef(1),
      m_pDriverServices(nullptr) {
    InterlockedIncrement(&g_cObjects);
}

CRenderPlugin::~CRenderPlugin() {
    InterlockedDecrement(&g_cObjects);
}

// QueryInterface: only IUnknown and IPrintOemUni; the newer plug-in interfaces are not offered.
HRESULT CRenderPlugin::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPrintOemUni)) {
        *ppv = static_cast<IPrintOemUni*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CRenderPlugin::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

// Release: the last reference drops the driver services and deletes the object.
ULONG CRenderPlugin::Release() {
    const LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) {
        if (m_pDriverServices != nullptr) {
            m_pDriverServices->Release();
            m_pDriverServices = nullptr;
        }
        delete this;
    }
    return static_cast<ULONG>(count);
}

// GetInfo: the plug-in's signature and version; every other question fails.
HRESULT CRenderPlugin::GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) {
    DebugLog("GetInfo : START");
    HRESULT result = E_FAIL;
    if (pcbNeeded == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
    } else if (dwMode == OEMGI_GETPUBLISHERINFO) {
        *pcbNeeded = 8;
    } else if (dwMode == OEMGI_GETSIGNATURE || dwMode == OEMGI_GETVERSION) {
        *pcbNeeded = sizeof(DWORD);
        if (cbSize < sizeof(DWORD) || pBuffer == nullptr) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
        } else {
            const DWORD value = dwMode == OEMGI_GETSIGNATURE ? OEM_SIGNATURE : OEM_VERSION;
            std::memcpy(pBuffer, &value, sizeof(value));
            result = S_OK;
        }
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
    }
    DebugLog("GetInfo : END");
    return result;
}

HRESULT CRenderPlugin::DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) {
    return hrOEMDevMode(dwMode, pOemDMParam);
}

// EnableDriver: hands the host the 29 graphics hooks.
HRESULT CRenderPlugin::EnableDriver(DWORD /*DriverVersion*/, DWORD /*cbSize*/,
                                    PDRVENABLEDATA pded) {
    DebugLog("EnableDriver : START");
    DebugLog("OEMEnableDriver : START");
    HRESULT result = S_OK;
    if (pded == nullptr) {
        result = E_FAIL;
    } else {
        pded->iDriverVersion = 0x00010000;
        pded->c = g_OEMHookCount;
        pded->pdrvfn = g_OEMHookFuncs;
    }
    DebugLog("OEMEnableDriver : END");
    DebugLog("EnableDriver : END");
    return result;
}

// DisableDriver: drops the driver services.
HRESULT CRenderPlugin::DisableDriver() {
    DebugLog("DisableDriver : START");
    DebugLog("OEMDisableDriver : START");
    if (m_pDriverServices != nullptr) {
        m_pDriverServices->Release();
        m_pDriverServices = nullptr;
    }
    DebugLog("OEMDisableDriver : END");
    DebugLog("DisableDriver : END");
    return S_OK;
}

// EnablePDEV: cleans the log folder, creates the device state and recomputes the settings
// that depend on the job's options (landscape, rotation, paper type).
HRESULT CRenderPlugin::EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns,
                                  HSURF* phsurfPatterns, ULONG cjGdiInfo, GDIINFO* pGdiInfo,
                                  ULONG cjDevInfo, DEVINFO* pDevInfo, DRVENABLEDATA* pded,
                                  PDEVOEM* pDevOem) {
    DebugDeleteFilesbySize();
    DebugLog(kDebugSeparatorLine);
    DebugLog("EnablePDEV : START");

    POEMPDEV pOemPDEV = OEMEnablePDEV(pdevobj, pPrinterName, cPatterns, phsurfPatterns, cjGdiInfo,
                                      pGdiInfo, cjDevInfo, pDevInfo, pded);
    if (pDevOem != nullptr) {
        *pDevOem = pOemPDEV;
    }
    if (pOemPDEV != nullptr) {
        UIInfo& info = pOemPDEV->UIInfo;
        info.byteValue[42] = IsLandscapeMode(this, pdevobj) ? 1 : 0;
        info.byteValue[21] = static_cast<BYTE>(info.byteValue[21] % 4);
        info.byteValue[31] = IsReceiptPrintSelected(this, pdevobj) ? 0 : 1;
        DebugLog("EnablePDEV : pUIInfo->byteValue[42] : %x", info.byteValue[42]);
        DebugLog("EnablePDEV : pUIInfo->byteValue[21] : %x", info.byteValue[21]);
        DebugLog("EnablePDEV : pUIInfo->byteValue[31] : %x", info.byteValue[31]);
    }
    DebugLog("EnablePDEV : END");
    DebugLog(kDebugSeparatorLine);
    return pOemPDEV != nullptr ? S_OK : E_FAIL;
}

HRESULT CRenderPlugin::DisablePDEV(PDEVOBJ pdevobj) {
    DebugLog("DisablePDEV : START");
    DebugLog("OEMDisablePDEV : START");
    OEMDisablePDEV(pdevobj);
    DebugLog("OEMDisablePDEV : END");
    DebugLog("DisablePDEV : END");
    return S_OK;
}

// ResetPDEV: nothing carries over from the old device state to the new one.
HRESULT CRenderPlugin::ResetPDEV(PDEVOBJ /*pdevobjOld*/, PDEVOBJ /*pdevobjNew*/) {
    DebugLog("ResetPDEV : START");
    DebugLog("OEMResetPDEV : START");
    DebugLog("OEMResetPDEV : END");
    DebugLog("ResetPDEV : END");
    return S_OK;
}

// PublishDriverInterface: keeps the host's driver services (IPrintOemDriverUni).
HRESULT CRenderPlugin::PublishDriverInterface(IUnknown* pIUnknown) {
    DebugLog("PublishDriverInterface : START");
    HRESULT result = S_OK;
    if (m_pDriverServices == nullptr) {
        void* services = nullptr;
        HRESULT hr = E_NOINTERFACE;
        if (pIUnknown != nullptr) {
            hr = pIUnknown->QueryInterface(IID_IPrintOemDriverUni, &services);
        }
        if (SUCCEEDED(hr) && services != nullptr) {
            m_pDriverServices = static_cast<IPrintOemDriverUni*>(services);
        } else {
            m_pDriverServices = nullptr;
            result = E_FAIL;
        }
    }
    DebugLog("PublishDriverInterface : END");
    return result;
}

// GetImplementedMethod: S_OK for the optional methods the host should call.
HRESULT CRenderPlugin::GetImplementedMethod(PSTR pMethodName) {
    static constexpr const char* kImplemented[] = {
        "CommandCallback", "Compression",     "DownloadCharGlyph", "DownloadFontHeader",
        "FilterGraphics",  "HalftonePattern", "ImageProcessing",   "MemoryUsage",
        "OutputCharStr",   "SendFontCmd",     "TextOutAsBitmap",   "TTDownloadMethod",
        "TTYGetInfo",      "WritePrinter"};
    if (pMethodName == nullptr) {
        return S_FALSE;
    }
    const bool startsWithI = pMethodName[0] == 'I';
    if (startsWithI) {
        DebugLog("GetImplementedMethod CALLED : NAME_ImageProcessing");
    }
    for (const char* name : kImplemented) {
        if (std::strcmp(pMethodName, name) == 0) {
            if (startsWithI) {
                DebugLog("GetImplementedMethod CALLED : NAME_ImageProcessing OK");
            }
            return S_OK;
        }
    }
    return S_FALSE;
}

HRESULT CRenderPlugin::DriverDMS(PVOID, PVOID, DWORD, PDWORD) {
    DebugLog("DriverDMS : START");
    DebugLog("DriverDMS : END");
    return E_NOTIMPL;
}

// FilterGraphics: the host's raster bytes go to the spooler unchanged (no journal copy).
HRESULT CRenderPlugin::FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) {
    DebugLog("FilterGraphics : START");
    HRESULT result = E_FAIL;
    if (m_pDriverServices != nullptr) {
        DWORD written = 0;
        m_pDriverServices->DrvWriteSpoolBuf(pdevobj, pBuf, dwLen, &written);
        result = written == dwLen ? S_OK : E_FAIL;
    }
    DebugLog("FilterGraphics : END");
    return result;
}

HRESULT CRenderPlugin::Compression(PDEVOBJ, PBYTE, PBYTE, DWORD, DWORD, INT*) {
    DebugLog("Compression : START");
    DebugLog("Compression : END");
    return E_NOTIMPL;
}

HRESULT CRenderPlugin::HalftonePattern(PDEVOBJ, PBYTE, DWORD, DWORD, DWORD, DWORD, PBYTE, DWORD) {
    DebugLog("HalftonePattern : START");
    DebugLog("HalftonePattern : END");
    return E_NOTIMPL;
}

HRESULT CRenderPlugin::MemoryUsage(PDEVOBJ, POEMMEMORYUSAGE) {
    return E_NOTIMPL;
}

HRESULT CRenderPlugin::TTYGetInfo(PDEVOBJ, DWORD, PVOID, DWORD, DWORD*) {
    DebugLog("TTYGetInfo : START");
    DebugLog("TTYGetInfo : END");
    return E_NOTIMPL;
}

HRESULT CRenderPlugin::DownloadFontHeader(PDEVOBJ, PUNIFONTOBJ, DWORD*) {
    return E_NOTIMPL;
}

HRESULT CRenderPlugin::DownloadCharGlyph(PDEVOBJ, PUNIFONTOBJ, HGLYPH, PDWORD, DWORD*) {
    return E_NOTIMPL;
}

HRESULT CRenderPlugin::TTDownloadMethod(PDEVOBJ, PUNIFONTOBJ, DWORD*) {
    return 0;
}

HRESULT CRenderPlugin::OutputCharStr(PDEVOBJ, PUNIFONTOBJ, DWORD, DWORD, PVOID) {
    DebugLog("OutputCharStr : START");
    DebugLog("OutputCharStr : END");
    return E_NOTIMPL;
}

HRESULT CRenderPlugin::SendFontCmd(PDEVOBJ, PUNIFONTOBJ, PFINVOCATION) {
    DebugLog("SendFontCmd : START");
    DebugLog("SendFontCmd : END");
    return E_NOTIMPL;
}

HRESULT CRenderPlugin::TextOutAsBitmap(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                                       BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) {
    DebugLog("TextOutAsBitmap : START");
    DebugLog("TextOutAsBitmap : END");
    return E_NOTIMPL;
}

// ---- CRenderPluginFactory ----------------------------------------------------------------------

HRESULT CRenderPluginFactory::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CRenderPluginFactory::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

ULONG CRenderPluginFactory::Release() {
    const LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

// CreateInstance: a new CRenderPlugin, no aggregation.
HRESULT CRenderPluginFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (ppv != nullptr) {
        *ppv = nullptr;
    }
    if (pUnkOuter != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    auto* plugin = new (std::nothrow) CRenderPlugin();
    if (plugin == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = plugin->QueryInterface(riid, ppv);
    plugin->Release();
    return hr;
}

HRESULT CRenderPluginFactory::LockServer(BOOL fLock) {
    if (fLock) {
        InterlockedIncrement(&g_cLocks);
    } else {
        InterlockedDecrement(&g_cLocks);
    }
    return S_OK;
}
