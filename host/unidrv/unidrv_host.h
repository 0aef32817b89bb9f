// The universal-driver host: the stand-in for Unidrv that loads a rendering plug-in library,
// publishes its driver services to it, takes its graphics hooks and drives its device entry
// points the way Unidrv does.
//
// Life of a host:
//   Load(library)     dlopen, DllGetClassObject(CLSID_OEMRENDER), IID_IPrintOemUni,
//                     PublishDriverInterface, GetInfo, GetImplementedMethod for each optional
//                     method, EnableDriver (the plug-in's hook table), DevMode size / default
//   EnablePDEV(...)   a DEVOBJ (pdevOEM, hPrinter, pPublicDM) and the host's own table of the
//                     29 graphics functions; the plug-in's device state lands in pdevOEM
//   job calls         StartDoc / StartPage / SendPage / EndDoc through the plug-in's hooks and
//                     its CommandCallback (the job-script player builds on these)
//   DisablePDEV()     the plug-in releases its device state
//   Unload()          DisableDriver, the last Release, DllCanUnloadNow, dlclose
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win32/devmode.h"
#include "win32/printoem.h"
#include "win32/types.h"
#include "win32/winddi.h"

namespace unidrv {

// Command callback ids of the plug-in's printer description.
constexpr DWORD kCallbackStartDoc = 1;
constexpr DWORD kCallbackStartPage = 2;
constexpr DWORD kCallbackEndPage = 3;
constexpr DWORD kCallbackEndDoc = 4;

// The job's current options, as DrvGetDriverSetting reports them.
struct JobOptions {
    std::string inputBin = "Option1";      // "Option1" receipt paper, "Option2" ticket paper
    std::string orientation = "PORTRAIT";  // "PORTRAIT", "LANDSCAPE_CC270", "LANDSCAPE_CC90"
};

// The host's driver services (IPrintOemDriverUni) that the plug-in receives.
class DriverServices final : public IPrintOemDriverUni {
public:
    // Receives every byte the plug-in writes to the spooler; returns the count it accepted.
    using SpoolSink = std::function<DWORD(const BYTE* bytes, DWORD count)>;

    JobOptions options;
    // DrvGetDriverSetting fails (E_FAIL, this last error) when set.
    bool failDriverSetting = false;
    DWORD driverSettingError = ERROR_INVALID_PARAMETER;
    // At most this many bytes are taken per DrvWriteSpoolBuf call (0 = no limit).
    DWORD maxBytesPerWrite = 0;
    // DrvWriteSpoolBuf fails (E_FAIL, nothing written) when set.
    bool failWrites = false;
    // Where spooled bytes go; without a sink they collect in `spooled`.
    SpoolSink sink;
    std::string spooled;
    // Sizes of the DrvWriteSpoolBuf calls, in order.
    std::vector<DWORD> writeSizes;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID pdriverobj, PCSTR Feature, PVOID pOutput,
                                                  DWORD cbSize, PDWORD pcbNeeded,
                                                  PDWORD pdwOptionsReturned) override;
    HRESULT STDMETHODCALLTYPE DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                               DWORD* pdwResult) override;
    HRESULT STDMETHODCALLTYPE DrvXMoveTo(PDEVOBJ, INT, DWORD, INT*) override;
    HRESULT STDMETHODCALLTYPE DrvYMoveTo(PDEVOBJ, INT, DWORD, INT*) override;
    HRESULT STDMETHODCALLTYPE DrvGetStandardVariable(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) override;
    HRESULT STDMETHODCALLTYPE DrvGetGPDData(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) override;
    HRESULT STDMETHODCALLTYPE DrvUniTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                                            BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) override;
    HRESULT STDMETHODCALLTYPE DrvWriteAbortBuf(PDEVOBJ, PVOID, DWORD, DWORD) override;

    // References the plug-in holds (the object itself belongs to the host).
    LONG references() const { return m_cRef; }

private:
    LONG m_cRef = 0;
};

class UnidrvHost;

// One device context: the DEVOBJ the plug-in sees, with the host behind it.
struct HostDevice {
    DEVOBJ devobj{};  // first: the plug-in's hooks reach the device through this address
    UnidrvHost* host = nullptr;
    SURFOBJ surface{};
    GDIINFO gdiInfo{};
    DEVINFO devInfo{};
    HPALETTE hostPalette = nullptr;
    std::vector<BYTE> privateDevmode;
};

class UnidrvHost {
public:
    UnidrvHost();
    ~UnidrvHost();
    UnidrvHost(const UnidrvHost&) = delete;
    UnidrvHost& operator=(const UnidrvHost&) = delete;

    // File name of a plug-in library on this machine: "UNIKV580R.DLL" -> "UNIKV580R.so".
    static std::string LibraryFileName(const std::string& driverFileName);
    // Where a plug-in library is found: $KV580_PLUGIN_DIR, else the running program's folder.
    static std::filesystem::path FindPlugin(const std::string& driverFileName);

    // Loads the plug-in and takes its hooks. False with `error` on any failed step (the
    // library is then unloaded again).
    bool Load(const std::filesystem::path& library, std::string& error);
    bool loaded() const { return m_plugin != nullptr; }

    // Creates the device context. `publicDM` (the job's DEVMODE) must outlive the device.
    // bitsPerPixel: 1, 8 or 24 (the host's default palette follows it).
    bool EnablePDEV(HANDLE hPrinter, const std::u16string& printerName, DEVMODEW* publicDM,
                    ULONG bitsPerPixel, std::string& error);
    // Destroys the device context (no-op without one).
    void DisablePDEV();

    // Job calls, in Unidrv's order: the plug-in's hook first (it forwards to the host's own
    // function), then the command callback. The BOOL / HRESULT of the plug-in is returned.
    BOOL StartDoc(const std::u16string& docName, DWORD jobId);
    BOOL StartPage();
    BOOL SendPage();
    BOOL EndDoc();
    HRESULT CommandCallback(DWORD callbackId);

    // Drops the driver, releases the plug-in and unloads the library when it allows it.
    // Returns the DllCanUnloadNow answer (S_OK when the library was unloaded).
    HRESULT Unload();

    IPrintOemUni* plugin() const { return m_plugin; }
    DriverServices& services() { return m_services; }
    HostDevice* device() { return m_device.get(); }
    PDEVOBJ devobj() { return m_device ? &m_device->devobj : nullptr; }
    SURFOBJ* surface() { return m_device ? &m_device->surface : nullptr; }

    // The plug-in's hook of a graphics function index; null when it does not hook it.
    PFN Hook(ULONG index) const;
    template <typename F>
    F HookAs(ULONG index) const {
        PFN fn = Hook(index);
        return fn == nullptr ? nullptr : FromPfn<F>(fn);
    }
    // The hook table in the plug-in's order (index of each entry), and its version.
    const std::vector<ULONG>& hookOrder() const { return m_hookOrder; }
    ULONG hookDriverVersion() const { return m_hookVersion; }

    // Answers the plug-in gave while loading.
    DWORD signature() const { return m_signature; }
    DWORD version() const { return m_version; }
    const std::map<std::string, HRESULT>& implementedMethods() const { return m_implemented; }
    DWORD privateDevmodeSize() const { return m_privateDevmodeSize; }

    // Names of the host's own graphics functions the plug-in forwarded to ("DrvBitBlt", ...).
    std::vector<std::string>& hostCalls() { return m_hostCalls; }
    void RecordHostCall(const char* name) { m_hostCalls.emplace_back(name); }

private:
    void CloseLibrary();

    void* m_library = nullptr;
    PFN_DllCanUnloadNow m_canUnloadNow = nullptr;
    IPrintOemUni* m_plugin = nullptr;
    DriverServices m_services;
    std::unique_ptr<HostDevice> m_device;
    std::map<ULONG, PFN> m_hooks;
    std::vector<ULONG> m_hookOrder;
    ULONG m_hookVersion = 0;
    DWORD m_signature = 0;
    DWORD m_version = 0;
    DWORD m_privateDevmodeSize = 0;
    std::map<std::string, HRESULT> m_implemented;
    std::vector<std::string> m_hostCalls;
};

}  // namespace unidrv
