// Shared pieces of the spooler functions: printer handles, the printer record as stored, the
// packing of answers into callers' buffers, and DEVMODE helpers. Internal to the platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/store.h"
#include "win32/winspool.h"

namespace platform::spooler {

// ---- Handles --------------------------------------------------------------------------------
// An open print job of a handle.
struct OpenJob {
    DWORD id = 0;
    std::FILE* spool = nullptr;
    std::filesystem::path spoolPath;
    std::filesystem::path destination;  // the port file or the output file
    bool appendToDestination = true;    // ports receive job after job; output files are new
    std::uint64_t size = 0;
    DWORD pages = 0;
    bool keepSpoolFile = false;
};

struct PrinterHandle {
    bool server = false;         // the local print server (OpenPrinterW with no name)
    std::int64_t printerId = 0;  // row of the printer in the store
    DWORD access = 0;            // granted rights
    std::optional<std::string> datatype;
    std::optional<OpenJob> job;
};

// A new handle (owned by the handle table until ClosePrinter).
HANDLE AddHandle(PrinterHandle handle);
// The object of a live handle, or null (last error ERROR_INVALID_HANDLE).
PrinterHandle* FindHandle(HANDLE handle);
// Removes a handle from the table; false when it is not one.
bool RemoveHandle(HANDLE handle);

// ---- Printers as stored -----------------------------------------------------------------------
struct PrinterRecord {
    std::int64_t id = 0;
    std::string name;
    std::optional<std::string> shareName, portName, driverName, comment, location, sepFile,
        printProcessor, datatype, parameters;
    DWORD attributes = 0, priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0,
          status = 0, jobs = 0;
    std::vector<BYTE> devmode;  // full DEVMODE, private bytes included (may be empty)
};

std::optional<PrinterRecord> LoadPrinter(store::Connection& db, std::int64_t id);
std::optional<std::int64_t> FindPrinterId(store::Connection& db, std::string_view name);
std::vector<std::int64_t> AllPrinterIds(store::Connection& db);

// Stores printer data of a printer (inside a write transaction).
void PutPrinterData(store::Connection& db, std::int64_t printerId, std::string_view key,
                    std::string_view value, DWORD type, const BYTE* data, std::size_t size);

// Finishes the open job of a handle (delivers it); false with the last error on failure.
bool FinishJob(PrinterHandle& handle);

// ---- Packing answers ----------------------------------------------------------------------------
// Lays out fixed records at the start of a caller's buffer and their strings and blobs after
// them. Run a fill once with a null buffer to measure, then again to write.
class Packer {
public:
    Packer(BYTE* buffer, std::size_t fixedBytes) : m_buffer(buffer), m_used(fixedBytes) {}
    // Places a UTF-16 copy of `text` (terminated); null when absent or when measuring.
    LPWSTR String(const std::optional<std::string>& text);
    LPWSTR Text(std::string_view text) {
        return String(std::optional<std::string>(std::string(text)));
    }
    // Places bytes aligned to `align`; null when empty or when measuring.
    BYTE* Bytes(const void* data, std::size_t size, std::size_t align = 1);
    std::size_t Used() const { return m_used; }

private:
    BYTE* m_buffer;
    std::size_t m_used;
};

// ---- DEVMODE ------------------------------------------------------------------------------------
// The size of a caller's DEVMODE with its private bytes, or 0 when it is not one the
// platform understands (dmSize must be sizeof(DEVMODEW)).
std::size_t DevModeBytes(const DEVMODEW* devmode);
// A default DEVMODE for a new printer: a receipt roll of 80 x 3276 mm from the receipt
// tray (source 265), portrait, one copy, monochrome, 203 dpi.
std::vector<BYTE> DefaultDevMode(std::string_view printerName);
// `base` with the fields that `input` marks in dmFields copied over (and its private bytes
// when they match the base's driver version and size).
std::vector<BYTE> MergeDevMode(const std::vector<BYTE>& base, const DEVMODEW* input);

// Runs a spooler body under the store lock, turning store failures into the last error.
// The body returns the BOOL result and sets the last error itself.
template <typename Body>
BOOL Run(Body&& body) {
    BOOL result = FALSE;
    DWORD code = store::Guarded([&](store::Connection& db) -> DWORD {
        result = body(db);
        return ERROR_SUCCESS;
    });
    if (code != ERROR_SUCCESS) {
        SetLastError(code);
        return FALSE;
    }
    return result;
}

// Sets the last error and gives FALSE, for short failure returns.
inline BOOL Fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

}  // namespace platform::spooler
