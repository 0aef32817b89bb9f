// Loading the rendering plug-in and driving its driver and device entry points.
#include "unidrv_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

#include "host_graphics.h"
#include "win32/palette.h"

namespace unidrv {
namespace {

// The optional methods Unidrv asks a plug-in about.
constexpr const char* kOptionalMethods[] = {
    "CommandCallback",   "ImageProcessing",  "FilterGraphics", "Compression",
    "HalftonePattern",   "MemoryUsage",      "TTYGetInfo",     "DownloadFontHeader",
    "DownloadCharGlyph", "TTDownloadMethod", "OutputCharStr",  "SendFontCmd",
    "TextOutAsBitmap",   "DriverDMS",        "WritePrinter"};

std::string HResultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(hr));
    return text;
}

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

// The host's default device palette: black and white for 1 bit, a grey ramp for 8 bits.
HPALETTE MakeHostPalette(ULONG bitsPerPixel) {
    if (bitsPerPixel == 1) {
        const PALETTEENTRY mono[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
        return platform::CreateIndexedPalette(mono, 2);
    }
    if (bitsPerPixel == 8) {
        PALETTEENTRY grey[256];
        for (int i = 0; i < 256; ++i) {
            grey[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        }
        return platform::CreateIndexedPalette(grey, 256);
    }
    return nullptr;  // 24 bits: the plug-in makes its own RGB palette
}

}  // namespace

UnidrvHost::UnidrvHost() = default;

UnidrvHost::~UnidrvHost() {
    Unload();
}

std::string UnidrvHost::LibraryFileName(const std::string& driverFileName) {
    std::string name = driverFileName;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) {
        std::string extension = name.substr(dot);
        for (char& c : extension) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (extension == ".DLL") {
            name.erase(dot);
        }
    }
    if (name.size() < 3 || name.compare(name.size() - 3, 3, ".so") != 0) {
        name += ".so";
    }
    return name;
}

std::filesystem::path UnidrvHost::FindPlugin(const std::string& driverFileName) {
    const std::string fileName = LibraryFileName(driverFileName);
    // Only a plain file name is looked up; a name with folders cannot leave the plug-in folder.
    if (fileName.find('/') != std::string::npos || fileName.find('\\') != std::string::npos) {
        return {};
    }
    if (const char* dir = std::getenv("KV580_PLUGIN_DIR"); dir != nullptr && *dir != '\0') {
        return std::filesystem::path(dir) / fileName;
    }
    return ProgramFolder() / fileName;
}

bool UnidrvHost::Load(const std::filesystem::path& library, std::string& error) {
    if (loaded()) {
        error = "a plug-in is already loaded";
        return false;
    }
    m_library = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_library == nullptr) {
        const char* why = dlerror();
        error = "cannot load " + library.string() + ": " + (why != nullptr ? why : "unknown");
        return false;
    }
    auto getClassObject =
        reinterpret_cast<PFN_DllGetClassObject>(dlsym(m_library, "DllGetClassObject"));
    m_canUnloadNow = reinterpret_cast<PFN_DllCanUnloadNow>(dlsym(m_library, "DllCanUnloadNow"));
    if (getClassObject == nullptr || m_canUnloadNow == nullptr) {
        error = library.string() + " does not export DllGetClassObject and DllCanUnloadNow";
        CloseLibrary();
        return false;
    }

    IClassFactory* factory = nullptr;
    HRESULT hr =
        getClassObject(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || factory == nullptr) {
        error = "DllGetClassObject failed: " + HResultText(hr);
        CloseLibrary();
        return false;
    }
    IUnknown* unknown = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown));
    factory->Release();
    if (FAILED(hr) || unknown == nullptr) {
        error = "CreateInstance failed: " + HResultText(hr);
        CloseLibrary();
        return false;
    }
    hr = unknown->QueryInterface(IID_IPrintOemUni, reinterpret_cast<void**>(&m_plugin));
    unknown->Release();
    if (FAILED(hr) || m_plugin == nullptr) {
        m_plugin = nullptr;
        error = "the plug-in does not offer IPrintOemUni: " + HResultText(hr);
        CloseLibrary();
        return false;
    }

    hr = m_plugin->PublishDriverInterface(static_cast<IPrintOemDriverUni*>(&m_services));
    if (FAILED(hr)) {
        error = "PublishDriverInterface failed: " + HResultText(hr);
        Unload();
        return false;
    }
    DWORD needed = 0;
    m_plugin->GetInfo(OEMGI_GETSIGNATURE, &m_signature, sizeof(m_signature), &needed);
    m_plugin->GetInfo(OEMGI_GETVERSION, &m_version, sizeof(m_version), &needed);
    for (const char* method : kOptionalMethods) {
        m_implemented[method] = m_plugin->GetImplementedMethod(const_cast<PSTR>(method));
    }

    DRVENABLEDATA ded = {};
    hr = m_plugin->EnableDriver(DDI_DRIVER_VERSION_NT5, sizeof(ded), &ded);
    if (FAILED(hr)) {
        error = "EnableDriver failed: " + HResultText(hr);
        Unload();
        return false;
    }
    m_hookVersion = ded.iDriverVersion;
    for (ULONG i = 0; ded.pdrvfn != nullptr && i < ded.c; ++i) {
        m_hooks[ded.pdrvfn[i].iFunc] = ded.pdrvfn[i].pfn;
        m_hookOrder.push_back(ded.pdrvfn[i].iFunc);
    }

    OEMDMPARAM dmParam = {};
    dmParam.cbSize = sizeof(dmParam);
    if (SUCCEEDED(m_plugin->DevMode(OEMDM_SIZE, &dmParam))) {
        m_privateDevmodeSize = dmParam.cbBufSize;
    }
    return true;
}

bool UnidrvHost::EnablePDEV(HANDLE hPrinter, const std::u16string& printerName, DEVMODEW* publicDM,
                            ULONG bitsPerPixel, std::string& error) {
    if (!loaded()) {
        error = "no plug-in is loaded";
        return false;
    }
    if (m_device) {
        error = "the device context is already enabled";
        return false;
    }
    auto device = std::make_unique<HostDevice>();
    device->host = this;
    device->devobj.dwSize = sizeof(DEVOBJ);
    device->devobj.hEngine = reinterpret_cast<HANDLE>(device.get());
    device->devobj.hPrinter = hPrinter;
    device->devobj.pPublicDM = publicDM;
    if (m_privateDevmodeSize != 0 && m_privateDevmodeSize <= 0x10000) {
        device->privateDevmode.assign(m_privateDevmodeSize, 0);
        OEMDMPARAM dmParam = {};
        dmParam.cbSize = sizeof(dmParam);
        dmParam.hPrinter = hPrinter;
        dmParam.pPublicDMOut = publicDM;
        dmParam.pOEMDMOut = device->privateDevmode.data();
        dmParam.cbBufSize = m_privateDevmodeSize;
        m_plugin->DevMode(OEMDM_DEFAULT, &dmParam);
        device->devobj.pOEMDM = device->privateDevmode.data();
    }
    device->gdiInfo.ulVersion = 0x5000;
    device->gdiInfo.cBitsPixel = bitsPerPixel;
    device->gdiInfo.cPlanes = 1;
    device->hostPalette = MakeHostPalette(bitsPerPixel);
    device->devInfo.hpalDefault = device->hostPalette;
    device->surface.dhpdev = reinterpret_cast<DHPDEV>(&device->devobj);
    device->surface.iType = STYPE_BITMAP;
    device->surface.iBitmapFormat = bitsPerPixel == 1   ? BMF_1BPP
                                    : bitsPerPixel == 8 ? BMF_8BPP
                                                        : BMF_24BPP;

    std::u16string name = printerName;
    DRVENABLEDATA hostFunctions = HostGraphicsFunctions();
    PDEVOEM pdevOEM = nullptr;
    const HRESULT hr = m_plugin->EnablePDEV(&device->devobj, name.data(), 0, nullptr,
                                            sizeof(GDIINFO), &device->gdiInfo, sizeof(DEVINFO),
                                            &device->devInfo, &hostFunctions, &pdevOEM);
    if (FAILED(hr) || pdevOEM == nullptr) {
        error = "EnablePDEV failed: " + HResultText(hr);
        if (device->devInfo.hpalDefault != nullptr &&
            device->devInfo.hpalDefault != device->hostPalette) {
            EngDeletePalette(device->devInfo.hpalDefault);
        }
        if (device->hostPalette != nullptr) {
            EngDeletePalette(device->hostPalette);
        }
        return false;
    }
    device->devobj.pdevOEM = pdevOEM;
    m_device = std::move(device);
    return true;
}

void UnidrvHost::DisablePDEV() {
    if (!m_device) {
        return;
    }
    if (m_plugin != nullptr) {
        m_plugin->DisablePDEV(&m_device->devobj);
    }
    // The engine owns the device palettes: the host's own and one the plug-in made.
    if (m_device->devInfo.hpalDefault != nullptr &&
        m_device->devInfo.hpalDefault != m_device->hostPalette) {
        EngDeletePalette(m_device->devInfo.hpalDefault);
    }
    if (m_device->hostPalette != nullptr) {
        EngDeletePalette(m_device->hostPalette);
    }
    m_device.reset();
}

PFN UnidrvHost::Hook(ULONG index) const {
    auto it = m_hooks.find(index);
    return it == m_hooks.end() ? nullptr : it->second;
}

BOOL UnidrvHost::StartDoc(const std::u16string& docName, DWORD jobId) {
    auto hook = HookAs<PFN_DrvStartDoc>(INDEX_DrvStartDoc);
    if (hook == nullptr || !m_device) {
        return FALSE;
    }
    std::u16string name = docName;
    const BOOL result = hook(&m_device->surface, name.data(), jobId);
    CommandCallback(kCallbackStartDoc);
    return result;
}

BOOL UnidrvHost::StartPage() {
    auto hook = HookAs<PFN_DrvStartPage>(INDEX_DrvStartPage);
    if (hook == nullptr || !m_device) {
        return FALSE;
    }
    const BOOL result = hook(&m_device->surface);
    CommandCallback(kCallbackStartPage);
    return result;
}

BOOL UnidrvHost::SendPage() {
    auto hook = HookAs<PFN_DrvSendPage>(INDEX_DrvSendPage);
    if (hook == nullptr || !m_device) {
        return FALSE;
    }
    // The plug-in's hook forwards to the host's DrvSendPage, which sends the page end.
    const BOOL result = hook(&m_device->surface);
    CommandCallback(kCallbackEndPage);
    return result;
}

BOOL UnidrvHost::EndDoc() {
    auto hook = HookAs<PFN_DrvEndDoc>(INDEX_DrvEndDoc);
    if (hook == nullptr || !m_device) {
        return FALSE;
    }
    // The plug-in's hook forwards to the host's DrvEndDoc, which sends the job end.
    const BOOL result = hook(&m_device->surface, 0);
    CommandCallback(kCallbackEndDoc);
    return result;
}

HRESULT UnidrvHost::CommandCallback(DWORD callbackId) {
    if (m_plugin == nullptr || !m_device) {
        return E_FAIL;
    }
    INT result = 0;
    return m_plugin->CommandCallback(&m_device->devobj, callbackId, 0, nullptr, &result);
}

HRESULT UnidrvHost::Unload() {
    if (m_library == nullptr) {
        return S_OK;
    }
    DisablePDEV();
    if (m_plugin != nullptr) {
        m_plugin->DisableDriver();
        m_plugin->Release();
        m_plugin = nullptr;
    }
    m_hooks.clear();
    m_hookOrder.clear();
    const HRESULT canUnload = m_canUnloadNow != nullptr ? m_canUnloadNow() : S_OK;
    if (canUnload == S_OK) {
        CloseLibrary();
    }
    return canUnload;
}

void UnidrvHost::CloseLibrary() {
    if (m_library != nullptr) {
        dlclose(m_library);
        m_library = nullptr;
    }
    m_canUnloadNow = nullptr;
}

}  // namespace unidrv
