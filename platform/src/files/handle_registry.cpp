// The platform's handle table: every handle kind (files, find handles and those of other
// services) lives here, so that CloseHandle can close any of them.
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "win32/files.h"

namespace platform {
namespace {

std::mutex g_handleMutex;
std::unordered_map<std::uintptr_t, std::unique_ptr<HandleObject>> g_handles;
// Handle values start well above small integers and move in steps of 4, as on Windows; they
// never reach the value of INVALID_HANDLE_VALUE.
std::uintptr_t g_nextHandle = 0x1000;

}  // namespace

HandleObject::~HandleObject() = default;

DWORD HandleObject::Read(void*, DWORD, DWORD& done) {
    done = 0;
    return ERROR_INVALID_HANDLE;
}

DWORD HandleObject::Write(const void*, DWORD, DWORD& done) {
    done = 0;
    return ERROR_INVALID_HANDLE;
}

HANDLE RegisterHandle(std::unique_ptr<HandleObject> object) {
    if (!object) return nullptr;
    std::lock_guard lock(g_handleMutex);
    std::uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    g_handles.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

HandleObject* LookupHandle(HANDLE handle) {
    std::lock_guard lock(g_handleMutex);
    auto it = g_handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == g_handles.end() ? nullptr : it->second.get();
}

bool CloseRegisteredHandle(HANDLE handle) {
    std::unique_ptr<HandleObject> object;
    {
        std::lock_guard lock(g_handleMutex);
        auto it = g_handles.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == g_handles.end()) return false;
        object = std::move(it->second);
        g_handles.erase(it);
    }
    // Destroyed outside the lock: a destructor may use the table itself.
    object.reset();
    return true;
}

}  // namespace platform

extern "C" BOOL CloseHandle(HANDLE hObject) {
    if (!platform::CloseRegisteredHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
