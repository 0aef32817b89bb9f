// Library entry points: DllGetClassObject, DllCanUnloadNow, and the load / unload lines of the
// diagnostic log (the library's attach and detach).
#include "debug_log.h"
#include "intrface.h"
#include "module_state.h"

#define KV580_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Runs when the host loads the library.
__attribute__((constructor)) void OnProcessAttach() {
    DebugLog("DLL_PROCESS_ATTACH");
}

// Runs when the host unloads the library.
__attribute__((destructor)) void OnProcessDetach() {
    DebugLog("DLL_PROCESS_DETACH");
}

}  // namespace

// DllGetClassObject: the class factory of the rendering plug-in class, asked for `riid`.
KV580_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (ppv != nullptr) {
        *ppv = nullptr;
    }
    if (!IsEqualCLSID(rclsid, CLSID_OEMRENDER)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    auto* factory = new (std::nothrow) CRenderPluginFactory();
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

// DllCanUnloadNow: S_OK when no object lives and no lock is held.
KV580_EXPORT HRESULT DllCanUnloadNow() {
    return (g_cObjects == 0 && g_cLocks == 0) ? S_OK : S_FALSE;
}
