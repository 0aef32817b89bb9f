// The plug-in object and the library's entry points, loaded through dlopen.
#include <dlfcn.h>

#include "plugin_fixture.h"
#include "win32/heap.h"

namespace render_test {
namespace {

// The plug-in library opened directly, for the checks below the host's normal road.
class RawLibrary {
public:
    RawLibrary() {
        handle = dlopen(unidrv::UnidrvHost::FindPlugin("UNIKV580R.DLL").c_str(), RTLD_NOW);
        if (handle != nullptr) {
            getClassObject =
                reinterpret_cast<PFN_DllGetClassObject>(dlsym(handle, "DllGetClassObject"));
            canUnloadNow = reinterpret_cast<PFN_DllCanUnloadNow>(dlsym(handle, "DllCanUnloadNow"));
        }
    }
    ~RawLibrary() {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
    void* handle = nullptr;
    PFN_DllGetClassObject getClassObject = nullptr;
    PFN_DllCanUnloadNow canUnloadNow = nullptr;
};

constexpr IID kOtherIid = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

class EntryPointsTest : public PluginTest {};

TEST_F(EntryPointsTest, ClassObjectOnlyForTheRenderingPluginClass) {
    RawLibrary lib;
    ASSERT_NE(lib.getClassObject, nullptr);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(lib.getClassObject(kOtherIid, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(
        lib.getClassObject(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown*>(factory));
    unknown->Release();
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->QueryInterface(kOtherIid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(unknown, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);

    // While an object lives or a lock is held the library stays.
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
    IPrintOemUni* plugin = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPrintOemUni, reinterpret_cast<void**>(&plugin)),
              S_OK);
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
    factory->Release();
}

TEST_F(EntryPointsTest, ObjectOffersOnlyIPrintOemUni) {
    RawLibrary lib;
    IClassFactory* factory = nullptr;
    ASSERT_EQ(
        lib.getClassObject(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown)),
              S_OK);
    factory->Release();
    IPrintOemUni* plugin = nullptr;
    EXPECT_EQ(unknown->QueryInterface(IID_IPrintOemUni, reinterpret_cast<void**>(&plugin)), S_OK);
    // Newer plug-in interfaces (and anything else) are refused, although the object says
    // it implements "WritePrinter".
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(unknown->QueryInterface(kOtherIid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(plugin->GetImplementedMethod(const_cast<PSTR>("WritePrinter")), S_OK);
    EXPECT_EQ(plugin->AddRef(), 3u);
    EXPECT_EQ(plugin->Release(), 2u);
    EXPECT_EQ(plugin->Release(), 1u);
    EXPECT_EQ(unknown->Release(), 0u);
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
}

TEST_F(EntryPointsTest, OutOfMemoryForFactoryAndObject) {
    RawLibrary lib;
    void* out = nullptr;
    platform::FailAllocation(1);
    EXPECT_EQ(lib.getClassObject(CLSID_OEMRENDER, IID_IClassFactory, &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(
        lib.getClassObject(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    platform::FailAllocation(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPrintOemUni, &out), E_OUTOFMEMORY);
    platform::ResetAllocationFaults();
    factory->Release();
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
}

TEST_F(EntryPointsTest, HostRoadTakesTheHooksAndAnswers) {
    Load();
    EXPECT_EQ(host->signature(), 0x4D534654u);
    EXPECT_EQ(host->version(), 1u);
    EXPECT_EQ(host->hookDriverVersion(), 0x00010000u);
    const std::vector<ULONG> order = {71, 18, 19, 13, 15, 47, 37, 68, 31, 17, 70, 53, 26, 28, 27,
                                      12, 20, 69, 16, 14, 23, 74, 35, 34, 33, 32, 57, 58, 24};
    EXPECT_EQ(host->hookOrder(), order);
    EXPECT_EQ(host->privateDevmodeSize(), 24u);
    EXPECT_EQ(host->services().references(), 1);  // the plug-in keeps one reference
    EXPECT_EQ(host->Unload(), S_OK);
    EXPECT_EQ(host->services().references(), 0);
}

TEST_F(EntryPointsTest, ImplementedMethods) {
    Load();
    IPrintOemUni* plugin = host->plugin();
    const std::pair<const char*, HRESULT> cases[] = {
        {"CommandCallback", S_OK},    {"Compression", S_OK},        {"DownloadCharGlyph", S_OK},
        {"DownloadFontHeader", S_OK}, {"FilterGraphics", S_OK},     {"HalftonePattern", S_OK},
        {"ImageProcessing", S_OK},    {"MemoryUsage", S_OK},        {"OutputCharStr", S_OK},
        {"SendFontCmd", S_OK},        {"TextOutAsBitmap", S_OK},    {"TTDownloadMethod", S_OK},
        {"TTYGetInfo", S_OK},         {"WritePrinter", S_OK},       {"DriverDMS", S_FALSE},
        {"imageprocessing", S_FALSE}, {"COMMANDCALLBACK", S_FALSE}, {"", S_FALSE},
        {"ImageProcessingX", S_FALSE}};
    for (auto [name, expected] : cases) {
        EXPECT_EQ(plugin->GetImplementedMethod(const_cast<PSTR>(name)), expected) << name;
    }
    EXPECT_EQ(plugin->GetImplementedMethod(nullptr), S_FALSE);
    const std::string log = NoJobLog();
    EXPECT_TRUE(HasLine(log, "GetImplementedMethod CALLED : NAME_ImageProcessing OK"));
}

TEST_F(EntryPointsTest, GetInfo) {
    Load();
    IPrintOemUni* plugin = host->plugin();
    DWORD needed = 0;
    DWORD value = 0;
    struct Case {
        DWORD mode;
        DWORD size;
        bool buffer;
        HRESULT result;
        DWORD needed;
        DWORD error;  // last error; ~0 = untouched
        DWORD value;
    };
    const Case cases[] = {
        {OEMGI_GETSIGNATURE, 4, true, S_OK, 4, ~0u, 0x4D534654},
        {OEMGI_GETVERSION, 8, true, S_OK, 4, ~0u, 1},
        {OEMGI_GETSIGNATURE, 3, true, E_FAIL, 4, ERROR_INSUFFICIENT_BUFFER, 0},
        {OEMGI_GETVERSION, 4, false, E_FAIL, 4, ERROR_INSUFFICIENT_BUFFER, 0},
        {OEMGI_GETPUBLISHERINFO, 64, true, E_FAIL, 8, ~0u, 0},
        {OEMGI_GETINTERFACEVERSION, 4, true, E_FAIL, 0, ERROR_INVALID_PARAMETER, 0},
        {99, 4, true, E_FAIL, 0, ERROR_INVALID_PARAMETER, 0},
    };
    for (const Case& c : cases) {
        needed = 0;
        value = 0;
        SetLastError(~0u);
        EXPECT_EQ(plugin->GetInfo(c.mode, c.buffer ? &value : nullptr, c.size, &needed), c.result)
            << c.mode;
        EXPECT_EQ(needed, c.needed) << c.mode;
        EXPECT_EQ(GetLastError(), c.error) << c.mode;
        EXPECT_EQ(value, c.value) << c.mode;
    }
    SetLastError(0);
    EXPECT_EQ(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, 4, nullptr), E_FAIL);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(HasLine(NoJobLog(), "GetInfo : START"));
    EXPECT_TRUE(HasLine(NoJobLog(), "GetInfo : END"));
}

// The private DEVMODE part: {dwSize, dwSignature, dwVersion, dwValue1, dwValue2, reserved}.
struct Private {
    DWORD v[6];
};

TEST_F(EntryPointsTest, DevModeSizeDefaultConvertMerge) {
    Load();
    IPrintOemUni* plugin = host->plugin();
    OEMDMPARAM param = {};
    EXPECT_EQ(plugin->DevMode(OEMDM_SIZE, &param), S_OK);
    EXPECT_EQ(param.cbBufSize, 24u);

    Private out = {{0, 0, 0, 7, 7, 0}};
    param.pOEMDMOut = &out;
    EXPECT_EQ(plugin->DevMode(OEMDM_DEFAULT, &param), S_OK);
    EXPECT_EQ(out.v[0], 24u);
    EXPECT_EQ(out.v[1], 0x4D534654u);
    EXPECT_EQ(out.v[2], 1u);
    EXPECT_EQ(out.v[3], 0u);
    EXPECT_EQ(out.v[4], 0u);

    // Same signature: the input is carried over.
    Private in = {{24, 0x4D534654, 1, 55, 101, 0}};
    out = {{24, 0x4D534654, 1, 9, 9, 0}};
    param.pOEMDMIn = &in;
    EXPECT_EQ(plugin->DevMode(OEMDM_CONVERT, &param), S_OK);
    EXPECT_EQ(out.v[3], 55u);
    EXPECT_EQ(out.v[4], 101u);
    // Merge limits the values to 100: 101 becomes 0, 100 stays.
    in = {{24, 0x4D534654, 1, 100, 101, 0}};
    EXPECT_EQ(plugin->DevMode(OEMDM_MERGE, &param), S_OK);
    EXPECT_EQ(out.v[3], 100u);
    EXPECT_EQ(out.v[4], 0u);

    // Another signature: nothing copied, our signature, values 0.
    in = {{24, 0x11111111, 5, 42, 42, 0}};
    out = {{24, 0x22222222, 3, 9, 9, 0}};
    EXPECT_EQ(plugin->DevMode(OEMDM_CONVERT, &param), S_OK);
    EXPECT_EQ(out.v[0], 24u);
    EXPECT_EQ(out.v[1], 0x4D534654u);
    EXPECT_EQ(out.v[2], 1u);
    EXPECT_EQ(out.v[3], 0u);
    EXPECT_EQ(out.v[4], 0u);

    // A size field larger than the record copies no more than the record.
    struct Guarded {
        Private record;
        DWORD guard[4];
    } guarded = {{{4096, 0x4D534654, 1, 0, 0, 0}},
                 {0xAAAAAAAA, 0xAAAAAAAA, 0xAAAAAAAA, 0xAAAAAAAA}};
    struct Source {
        Private record;
        DWORD tail[4];
    } source = {{{4096, 0x4D534654, 1, 3, 4, 0}}, {1, 2, 3, 4}};
    param.pOEMDMIn = &source;
    param.pOEMDMOut = &guarded;
    EXPECT_EQ(plugin->DevMode(OEMDM_CONVERT, &param), S_OK);
    EXPECT_EQ(guarded.record.v[3], 3u);
    EXPECT_EQ(guarded.record.v[0], 24u);
    EXPECT_EQ(guarded.guard[0], 0xAAAAAAAAu);

    SetLastError(0);
    EXPECT_EQ(plugin->DevMode(5, &param), E_FAIL);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(plugin->DevMode(0, &param), E_FAIL);
    EXPECT_EQ(plugin->DevMode(OEMDM_SIZE, nullptr), E_FAIL);

    const std::string log = NoJobLog();
    for (const char* line : {"hrOEMDevMode : hrOEMDevMode entry.", "hrOEMDevMode : OEMDM_SIZE",
                             "hrOEMDevMode : OEMDM_DEFAULT", "hrOEMDevMode : OEMDM_CONVERT",
                             "hrOEMDevMode : OEMDM_MERGE"}) {
        EXPECT_TRUE(HasLine(log, line)) << line;
    }
}

// An IUnknown without the driver-services interface.
struct NoServices final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

TEST_F(EntryPointsTest, PublishDriverInterfaceAndFilterGraphics) {
    SetMisc();
    Load();
    IPrintOemUni* plugin = host->plugin();
    NoServices none;
    // Already set: S_OK without asking again.
    EXPECT_EQ(plugin->PublishDriverInterface(&none), S_OK);
    EXPECT_EQ(plugin->DisableDriver(), S_OK);
    EXPECT_EQ(host->services().references(), 0);
    EXPECT_EQ(plugin->PublishDriverInterface(&none), E_FAIL);
    EXPECT_EQ(plugin->PublishDriverInterface(nullptr), E_FAIL);
    BYTE bytes[3] = {1, 2, 3};
    EXPECT_EQ(plugin->FilterGraphics(nullptr, bytes, 3), E_FAIL);  // no services
    EXPECT_EQ(plugin->PublishDriverInterface(&host->services()), S_OK);
    EXPECT_EQ(host->services().references(), 1);

    Enable();
    EXPECT_EQ(plugin->FilterGraphics(host->devobj(), bytes, 3), S_OK);
    EXPECT_EQ(host->services().spooled, std::string("\x01\x02\x03", 3));
    host->services().maxBytesPerWrite = 2;
    EXPECT_EQ(plugin->FilterGraphics(host->devobj(), bytes, 3), E_FAIL);
    EXPECT_TRUE(HasLine(NoJobLog(), "FilterGraphics : START"));
}

TEST_F(EntryPointsTest, MethodsLeftToTheHost) {
    Load();
    IPrintOemUni* p = host->plugin();
    DWORD result = 0;
    INT iResult = 0;
    EXPECT_EQ(p->DriverDMS(nullptr, nullptr, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(p->Compression(nullptr, nullptr, nullptr, 0, 0, &iResult), E_NOTIMPL);
    EXPECT_EQ(p->HalftonePattern(nullptr, nullptr, 0, 0, 0, 0, nullptr, 0), E_NOTIMPL);
    EXPECT_EQ(p->MemoryUsage(nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(p->TTYGetInfo(nullptr, 0, nullptr, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(p->DownloadFontHeader(nullptr, nullptr, &result), E_NOTIMPL);
    EXPECT_EQ(p->DownloadCharGlyph(nullptr, nullptr, 0, nullptr, &result), E_NOTIMPL);
    EXPECT_EQ(p->TTDownloadMethod(nullptr, nullptr, &result), 0);
    EXPECT_EQ(p->OutputCharStr(nullptr, nullptr, 0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(p->SendFontCmd(nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(p->TextOutAsBitmap(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, 0),
              E_NOTIMPL);
    EXPECT_EQ(p->ResetPDEV(nullptr, nullptr), S_OK);
    const std::string log = NoJobLog();
    for (const char* line :
         {"DriverDMS : START", "Compression : END", "HalftonePattern : START", "TTYGetInfo : END",
          "OutputCharStr : START", "SendFontCmd : END", "TextOutAsBitmap : START",
          "ResetPDEV : START", "OEMResetPDEV : START", "OEMResetPDEV : END", "ResetPDEV : END",
          "EnableDriver : START", "OEMEnableDriver : END", "PublishDriverInterface : END"}) {
        EXPECT_TRUE(HasLine(log, line)) << line;
    }
    EXPECT_EQ(log.find("MemoryUsage"), std::string::npos);
    EXPECT_EQ(log.find("TTDownloadMethod"), std::string::npos);
}

TEST_F(EntryPointsTest, LoadAndUnloadAreLogged) {
    Load();
    EXPECT_TRUE(HasLine(NoJobLog(), "DLL_PROCESS_ATTACH"));
    EXPECT_EQ(NoJobLog().find("DLL_PROCESS_DETACH"), std::string::npos);
    EXPECT_EQ(host->Unload(), S_OK);
    const std::string log = NoJobLog();
    EXPECT_TRUE(HasLine(log, "DLL_PROCESS_DETACH"));
    EXPECT_TRUE(HasLine(log, "DisableDriver : START"));
    EXPECT_TRUE(HasLine(log, "OEMDisableDriver : END"));
    EXPECT_LT(log.find("DisableDriver : END"), log.find("DLL_PROCESS_DETACH"));
}

}  // namespace
}  // namespace render_test
