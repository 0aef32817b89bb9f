// Printer handles: the table of open handles, OpenPrinterW and ClosePrinter.
#include <memory>
#include <mutex>
#include <unordered_map>

#include "spooler/spooler_internal.h"

namespace platform::spooler {
namespace {

std::mutex g_handleMutex;
std::unordered_map<HANDLE, std::unique_ptr<PrinterHandle>>& Handles() {
    static auto* handles = new std::unordered_map<HANDLE, std::unique_ptr<PrinterHandle>>();
    return *handles;
}

constexpr DWORD kGenericRead = 0x80000000;
constexpr DWORD kGenericWrite = 0x40000000;
constexpr DWORD kGenericExecute = 0x20000000;
constexpr DWORD kGenericAll = 0x10000000;
constexpr DWORD kMaximumAllowed = 0x02000000;

// The rights a request grants: generic rights map onto printer rights; no request means use.
DWORD GrantedAccess(const PRINTER_DEFAULTSW* defaults, bool server) {
    DWORD wanted = defaults ? defaults->DesiredAccess : 0;
    if (wanted == 0) return server ? SERVER_ACCESS_ENUMERATE : (READ_CONTROL | PRINTER_ACCESS_USE);
    DWORD granted =
        wanted & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll | kMaximumAllowed);
    if (wanted & (kGenericAll | kMaximumAllowed)) {
        granted |= server ? SERVER_ALL_ACCESS : PRINTER_ALL_ACCESS;
    }
    if (wanted & (kGenericRead | kGenericWrite | kGenericExecute)) {
        granted |= server ? (READ_CONTROL | SERVER_ACCESS_ENUMERATE) : PRINTER_READ;
    }
    return granted;
}

}  // namespace

HANDLE AddHandle(PrinterHandle handle) {
    auto object = std::make_unique<PrinterHandle>(std::move(handle));
    HANDLE key = object.get();
    std::lock_guard lock(g_handleMutex);
    Handles().emplace(key, std::move(object));
    return key;
}

PrinterHandle* FindHandle(HANDLE handle) {
    std::lock_guard lock(g_handleMutex);
    auto found = Handles().find(handle);
    if (found == Handles().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return found->second.get();
}

bool RemoveHandle(HANDLE handle) {
    std::unique_ptr<PrinterHandle> gone;
    {
        std::lock_guard lock(g_handleMutex);
        auto found = Handles().find(handle);
        if (found == Handles().end()) return false;
        gone = std::move(found->second);
        Handles().erase(found);
    }
    return true;
}

}  // namespace platform::spooler

using namespace platform::spooler;

extern "C" BOOL OpenPrinterW(LPCWSTR pPrinterName, LPHANDLE phPrinter,
                             PRINTER_DEFAULTSW* pDefault) {
    if (!phPrinter) return Fail(ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    std::string name = platform::store::Narrow(pPrinterName);
    if (name.empty()) {
        PrinterHandle handle;
        handle.server = true;
        handle.access = GrantedAccess(pDefault, true);
        *phPrinter = AddHandle(std::move(handle));
        return TRUE;
    }
    return Run([&](platform::store::Connection& db) -> BOOL {
        auto id = FindPrinterId(db, name);
        if (!id) return Fail(ERROR_INVALID_PRINTER_NAME);
        PrinterHandle handle;
        handle.printerId = *id;
        handle.access = GrantedAccess(pDefault, false);
        if (pDefault && pDefault->pDatatype) {
            handle.datatype = platform::store::Narrow(pDefault->pDatatype);
        }
        *phPrinter = AddHandle(std::move(handle));
        return TRUE;
    });
}

extern "C" BOOL ClosePrinter(HANDLE hPrinter) {
    PrinterHandle* handle = FindHandle(hPrinter);
    if (!handle) return FALSE;
    BOOL result = TRUE;
    if (handle->job) {
        // A job left open is finished as EndDocPrinter would finish it.
        result = FinishJob(*handle) ? TRUE : FALSE;
    }
    RemoveHandle(hPrinter);
    return result;
}
