// Printer data: values under keys of a printer (GetPrinterDataExW and its companions).
#include <cstring>

#include "spooler/spooler_internal.h"

namespace platform::spooler {
namespace {

using store::Connection;
using store::Narrow;

// The key of GetPrinterDataW / SetPrinterDataW.
constexpr const char* kTopLevelKey = "PrinterDriverData";

constexpr const char* kUpsert =
    "INSERT INTO printer_data(printer_id, key_name, value_name, type, data) VALUES(?,?,?,?,?)"
    " ON CONFLICT(printer_id, key_name, value_name) DO UPDATE SET type=excluded.type,"
    " data=excluded.data";

// A key name as stored: separators are backslashes; leading and trailing ones are dropped.
std::string KeyName(const WCHAR* key) {
    std::string name = Narrow(key);
    for (char& c : name) {
        if (c == '/') c = '\\';
    }
    std::size_t first = name.find_first_not_of('\\');
    if (first == std::string::npos) return std::string();
    std::size_t last = name.find_last_not_of('\\');
    return name.substr(first, last - first + 1);
}

// The printer handle of a printer-data call, or the code to return.
DWORD CheckHandle(HANDLE hPrinter, bool write, PrinterHandle*& handle) {
    handle = FindHandle(hPrinter);
    if (!handle) return ERROR_INVALID_HANDLE;
    if (handle->server) return ERROR_INVALID_HANDLE;
    if (write && !(handle->access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

bool PrinterExists(Connection& db, std::int64_t id) {
    auto stmt = db.Prepare("SELECT 1 FROM printers WHERE id = ?");
    stmt.Bind(1, id);
    return stmt.Step();
}

// Whether the key has values itself or below it.
bool KeyExists(Connection& db, std::int64_t id, const std::string& key) {
    auto stmt = db.Prepare(
        "SELECT 1 FROM printer_data WHERE printer_id = ?1 AND (key_name = ?2 OR"
        " (length(key_name) > length(?2) AND substr(key_name, 1, length(?2) + 1) = (?2 || '\\') "
        "COLLATE NOCASE))"
        " LIMIT 1");
    stmt.Bind(1, id).Bind(2, key);
    return stmt.Step();
}

DWORD Finish(DWORD code) {
    if (code != ERROR_SUCCESS) SetLastError(code);
    return code;
}

DWORD GetValue(HANDLE hPrinter, const std::string& key, const WCHAR* valueName, LPDWORD pType,
               LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded) {
    PrinterHandle* handle = nullptr;
    if (DWORD code = CheckHandle(hPrinter, false, handle)) return Finish(code);
    if (!pcbNeeded || key.empty()) return Finish(ERROR_INVALID_PARAMETER);
    std::string value = Narrow(valueName);
    return Finish(store::Guarded([&](Connection& db) -> DWORD {
        auto stmt = db.Prepare(
            "SELECT type, data FROM printer_data WHERE printer_id = ? AND key_name = ? AND"
            " value_name = ?");
        stmt.Bind(1, handle->printerId).Bind(2, key).Bind(3, value);
        if (!stmt.Step()) return ERROR_FILE_NOT_FOUND;
        std::size_t size = stmt.BlobSize(1);
        if (size > 0xFFFFFFFFu) return ERROR_NOT_ENOUGH_MEMORY;
        *pcbNeeded = static_cast<DWORD>(size);
        if (pType) *pType = static_cast<DWORD>(stmt.Int(0));
        if (size > nSize || (size > 0 && !pData)) return ERROR_MORE_DATA;
        if (size > 0) std::memcpy(pData, stmt.BlobData(1), size);
        return ERROR_SUCCESS;
    }));
}

DWORD SetValue(HANDLE hPrinter, const std::string& key, const WCHAR* valueName, DWORD type,
               const BYTE* pData, DWORD cbData) {
    PrinterHandle* handle = nullptr;
    if (DWORD code = CheckHandle(hPrinter, true, handle)) return Finish(code);
    if (key.empty() || (cbData > 0 && !pData)) return Finish(ERROR_INVALID_PARAMETER);
    std::string value = Narrow(valueName);
    return Finish(store::Guarded([&](Connection& db) -> DWORD {
        return db.Write([&]() -> DWORD {
            if (!PrinterExists(db, handle->printerId)) return ERROR_INVALID_HANDLE;
            PutPrinterData(db, handle->printerId, key, value, type, pData, cbData);
            return ERROR_SUCCESS;
        });
    }));
}

}  // namespace

void PutPrinterData(Connection& db, std::int64_t printerId, std::string_view key,
                    std::string_view value, DWORD type, const BYTE* data, std::size_t size) {
    auto stmt = db.Prepare(kUpsert);
    stmt.Bind(1, printerId).Bind(2, key).Bind(3, value).Bind(4, type).BindBlob(5, data, size);
    stmt.Run();
}

}  // namespace platform::spooler

using namespace platform::spooler;
using platform::store::Connection;

extern "C" DWORD GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName,
                                   LPDWORD pType, LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded) {
    return GetValue(hPrinter, KeyName(pKeyName), pValueName, pType, pData, nSize, pcbNeeded);
}

extern "C" DWORD SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName,
                                   DWORD Type, const BYTE* pData, DWORD cbData) {
    return SetValue(hPrinter, KeyName(pKeyName), pValueName, Type, pData, cbData);
}

extern "C" DWORD GetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData,
                                 DWORD nSize, LPDWORD pcbNeeded) {
    return GetValue(hPrinter, kTopLevelKey, pValueName, pType, pData, nSize, pcbNeeded);
}

extern "C" DWORD SetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, DWORD Type, const BYTE* pData,
                                 DWORD cbData) {
    return SetValue(hPrinter, kTopLevelKey, pValueName, Type, pData, cbData);
}

extern "C" DWORD DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName) {
    PrinterHandle* handle = nullptr;
    if (DWORD code = CheckHandle(hPrinter, true, handle)) return Finish(code);
    std::string key = KeyName(pKeyName);
    if (key.empty()) return Finish(ERROR_INVALID_PARAMETER);
    std::string value = platform::store::Narrow(pValueName);
    return Finish(platform::store::Guarded([&](Connection& db) -> DWORD {
        return db.Write([&]() -> DWORD {
            auto stmt = db.Prepare(
                "DELETE FROM printer_data WHERE printer_id = ? AND key_name = ? AND"
                " value_name = ?");
            stmt.Bind(1, handle->printerId).Bind(2, key).Bind(3, value).Run();
            return db.Changes() > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
    }));
}

extern "C" DWORD DeletePrinterKeyW(HANDLE hPrinter, LPCWSTR pKeyName) {
    PrinterHandle* handle = nullptr;
    if (DWORD code = CheckHandle(hPrinter, true, handle)) return Finish(code);
    std::string key = KeyName(pKeyName);
    if (key.empty()) return Finish(ERROR_INVALID_PARAMETER);
    return Finish(platform::store::Guarded([&](Connection& db) -> DWORD {
        return db.Write([&]() -> DWORD {
            auto stmt = db.Prepare(
                "DELETE FROM printer_data WHERE printer_id = ?1 AND (key_name = ?2 OR"
                " (length(key_name) > length(?2) AND"
                " substr(key_name, 1, length(?2) + 1) = (?2 || '\\') COLLATE NOCASE))");
            stmt.Bind(1, handle->printerId).Bind(2, key).Run();
            return db.Changes() > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
    }));
}

extern "C" DWORD EnumPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPBYTE pEnumValues,
                                    DWORD cbEnumValues, LPDWORD pcbEnumValues,
                                    LPDWORD pnEnumValues) {
    PrinterHandle* handle = nullptr;
    if (DWORD code = CheckHandle(hPrinter, false, handle)) return Finish(code);
    std::string key = KeyName(pKeyName);
    if (key.empty() || !pcbEnumValues || !pnEnumValues) return Finish(ERROR_INVALID_PARAMETER);
    *pnEnumValues = 0;
    return Finish(platform::store::Guarded([&](Connection& db) -> DWORD {
        if (!KeyExists(db, handle->printerId, key)) return ERROR_FILE_NOT_FOUND;
        struct Entry {
            std::string name;
            DWORD type;
            std::vector<BYTE> data;
        };
        std::vector<Entry> entries;
        auto stmt = db.Prepare(
            "SELECT value_name, type, data FROM printer_data WHERE printer_id = ? AND"
            " key_name = ? ORDER BY rowid");
        stmt.Bind(1, handle->printerId).Bind(2, key);
        while (stmt.Step()) {
            entries.push_back({stmt.Text(0), static_cast<DWORD>(stmt.Int(1)), stmt.Blob(2)});
        }
        auto fill = [&](BYTE* base) {
            Packer packer(base, entries.size() * sizeof(PRINTER_ENUM_VALUESW));
            for (std::size_t i = 0; i < entries.size(); ++i) {
                PRINTER_ENUM_VALUESW record{};
                record.pValueName = packer.Text(entries[i].name);
                record.cbValueName = static_cast<DWORD>(
                    (platform::store::ToUtf16(entries[i].name).size() + 1) * sizeof(WCHAR));
                record.dwType = entries[i].type;
                record.pData =
                    packer.Bytes(entries[i].data.data(), entries[i].data.size(), sizeof(DWORD));
                record.cbData = static_cast<DWORD>(entries[i].data.size());
                if (base) {
                    std::memcpy(base + i * sizeof(PRINTER_ENUM_VALUESW), &record, sizeof record);
                }
            }
            return packer.Used();
        };
        std::size_t needed = fill(nullptr);
        if (needed > 0xFFFFFFFFu) return ERROR_NOT_ENOUGH_MEMORY;
        *pcbEnumValues = static_cast<DWORD>(needed);
        if (cbEnumValues < needed || (needed > 0 && !pEnumValues)) return ERROR_MORE_DATA;
        fill(pEnumValues);
        *pnEnumValues = static_cast<DWORD>(entries.size());
        return ERROR_SUCCESS;
    }));
}
