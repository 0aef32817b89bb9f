// Printers: AddPrinterW, DeletePrinter, GetPrinterW, SetPrinterW and EnumPrintersW.
#include <cstring>

#include "spooler/spooler_internal.h"

namespace platform::spooler {
namespace {

using store::Connection;
using store::Narrow;

constexpr std::size_t kMaxPrinterName = 220;

constexpr const char* kSelectPrinter =
    "SELECT id, name, share_name, port_name, driver_name, comment, location, sep_file,"
    " print_processor, datatype, parameters, attributes, priority, default_priority, start_time,"
    " until_time, status, devmode,"
    " (SELECT count(*) FROM jobs WHERE jobs.printer_id = printers.id AND jobs.status & 8)"
    " FROM printers WHERE id = ?";

std::optional<std::string> OptionalNarrow(const WCHAR* text) {
    if (!text) return std::nullopt;
    return Narrow(text);
}

DWORD ValidatePrinterName(const std::string& name) {
    if (name.empty() || store::ToUtf16(name).size() > kMaxPrinterName ||
        name.find_first_of("\\,") != std::string::npos) {
        return ERROR_INVALID_PRINTER_NAME;
    }
    return ERROR_SUCCESS;
}

// The printer's data written with every new printer and rename: "DsSpooler" "printerName".
void PutDsName(Connection& db, std::int64_t id, const std::string& name) {
    std::u16string wide = store::ToUtf16(name);
    PutPrinterData(db, id, "DsSpooler", "printerName", REG_SZ,
                   reinterpret_cast<const BYTE*>(wide.c_str()), (wide.size() + 1) * sizeof(WCHAR));
}

// Fills one record of level 1, 2 or 4 for `p`; strings and DEVMODE go through the packer.
void FillRecord(DWORD level, const PrinterRecord& p, BYTE* record, Packer& packer) {
    switch (level) {
        case 1: {
            PRINTER_INFO_1W info{};
            info.Flags = PRINTER_ENUM_ICON8;
            std::string description =
                p.name + "," + p.driverName.value_or("") + "," + p.location.value_or("");
            info.pDescription = packer.Text(description);
            info.pName = packer.Text(p.name);
            info.pComment = packer.String(p.comment);
            if (record) std::memcpy(record, &info, sizeof info);
            break;
        }
        case 2: {
            PRINTER_INFO_2W info{};
            if (!p.devmode.empty()) {
                info.pDevMode = reinterpret_cast<LPDEVMODEW>(
                    packer.Bytes(p.devmode.data(), p.devmode.size(), alignof(DEVMODEW)));
            }
            info.pPrinterName = packer.Text(p.name);
            info.pShareName = packer.String(p.shareName);
            info.pPortName = packer.String(p.portName);
            info.pDriverName = packer.String(p.driverName);
            info.pComment = packer.String(p.comment);
            info.pLocation = packer.String(p.location);
            info.pSepFile = packer.String(p.sepFile);
            info.pPrintProcessor = packer.String(p.printProcessor);
            info.pDatatype = packer.String(p.datatype);
            info.pParameters = packer.String(p.parameters);
            info.Attributes = p.attributes;
            info.Priority = p.priority;
            info.DefaultPriority = p.defaultPriority;
            info.StartTime = p.startTime;
            info.UntilTime = p.untilTime;
            info.Status = p.status;
            info.cJobs = p.jobs;
            if (record) std::memcpy(record, &info, sizeof info);
            break;
        }
        case 4: {
            PRINTER_INFO_4W info{};
            info.pPrinterName = packer.Text(p.name);
            info.Attributes = p.attributes;
            if (record) std::memcpy(record, &info, sizeof info);
            break;
        }
        default:
            break;
    }
}

std::size_t RecordSize(DWORD level) {
    switch (level) {
        case 1:
            return sizeof(PRINTER_INFO_1W);
        case 2:
            return sizeof(PRINTER_INFO_2W);
        case 4:
            return sizeof(PRINTER_INFO_4W);
        default:
            return 0;
    }
}

// Packs records of `printers` into the caller's buffer (measure, then write when it fits).
BOOL PackPrinters(DWORD level, const std::vector<PrinterRecord>& printers, LPBYTE buffer,
                  DWORD cbBuf, LPDWORD pcbNeeded) {
    std::size_t recordSize = RecordSize(level);
    auto fill = [&](BYTE* base) {
        Packer packer(base, recordSize * printers.size());
        for (std::size_t i = 0; i < printers.size(); ++i) {
            FillRecord(level, printers[i], base ? base + i * recordSize : nullptr, packer);
        }
        return packer.Used();
    };
    std::size_t needed = fill(nullptr);
    if (needed > 0xFFFFFFFFu) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    *pcbNeeded = static_cast<DWORD>(needed);
    if (!buffer || cbBuf < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
    fill(buffer);
    return TRUE;
}

}  // namespace

std::optional<PrinterRecord> LoadPrinter(Connection& db, std::int64_t id) {
    auto stmt = db.Prepare(kSelectPrinter);
    stmt.Bind(1, id);
    if (!stmt.Step()) return std::nullopt;
    PrinterRecord p;
    p.id = stmt.Int(0);
    p.name = stmt.Text(1);
    p.shareName = stmt.OptionalText(2);
    p.portName = stmt.OptionalText(3);
    p.driverName = stmt.OptionalText(4);
    p.comment = stmt.OptionalText(5);
    p.location = stmt.OptionalText(6);
    p.sepFile = stmt.OptionalText(7);
    p.printProcessor = stmt.OptionalText(8);
    p.datatype = stmt.OptionalText(9);
    p.parameters = stmt.OptionalText(10);
    p.attributes = static_cast<DWORD>(stmt.Int(11));
    p.priority = static_cast<DWORD>(stmt.Int(12));
    p.defaultPriority = static_cast<DWORD>(stmt.Int(13));
    p.startTime = static_cast<DWORD>(stmt.Int(14));
    p.untilTime = static_cast<DWORD>(stmt.Int(15));
    p.status = static_cast<DWORD>(stmt.Int(16));
    p.devmode = stmt.Blob(17);
    p.jobs = static_cast<DWORD>(stmt.Int(18));
    return p;
}

std::optional<std::int64_t> FindPrinterId(Connection& db, std::string_view name) {
    auto stmt = db.Prepare("SELECT id FROM printers WHERE name = ?");
    stmt.Bind(1, name);
    if (!stmt.Step()) return std::nullopt;
    return stmt.Int(0);
}

std::vector<std::int64_t> AllPrinterIds(Connection& db) {
    auto stmt = db.Prepare("SELECT id FROM printers ORDER BY id");
    std::vector<std::int64_t> ids;
    while (stmt.Step()) ids.push_back(stmt.Int(0));
    return ids;
}

}  // namespace platform::spooler

using namespace platform::spooler;
using platform::store::Connection;
using platform::store::Narrow;

extern "C" HANDLE AddPrinterW(LPCWSTR pName, DWORD Level, LPBYTE pPrinter) {
    if (pName && *pName) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (Level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return nullptr;
    }
    if (!pPrinter) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto& info = *reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter);
    std::string name = Narrow(info.pPrinterName);
    if (DWORD code = ValidatePrinterName(name)) {
        SetLastError(code);
        return nullptr;
    }
    if (!info.pPortName || !*info.pPortName) {
        SetLastError(ERROR_UNKNOWN_PORT);
        return nullptr;
    }
    if (!info.pDriverName || !*info.pDriverName) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return nullptr;
    }
    std::vector<BYTE> devmode;
    if (info.pDevMode) {
        std::size_t size = DevModeBytes(info.pDevMode);
        if (size == 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        const auto* bytes = reinterpret_cast<const BYTE*>(info.pDevMode);
        devmode.assign(bytes, bytes + size);
    } else {
        devmode = DefaultDevMode(name);
    }
    HANDLE result = nullptr;
    Run([&](Connection& db) -> BOOL {
        std::int64_t id = db.Write([&]() -> std::int64_t {
            if (FindPrinterId(db, name)) return 0;
            auto stmt = db.Prepare(
                "INSERT INTO printers(name, share_name, port_name, driver_name, comment, location,"
                " sep_file, print_processor, datatype, parameters, attributes, priority,"
                " default_priority, start_time, until_time, status, devmode)"
                " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,0,?)");
            stmt.Bind(1, name)
                .BindOptional(2, OptionalNarrow(info.pShareName))
                .Bind(3, Narrow(info.pPortName))
                .Bind(4, Narrow(info.pDriverName))
                .BindOptional(5, OptionalNarrow(info.pComment))
                .BindOptional(6, OptionalNarrow(info.pLocation))
                .BindOptional(7, OptionalNarrow(info.pSepFile))
                .Bind(8, info.pPrintProcessor && *info.pPrintProcessor
                             ? Narrow(info.pPrintProcessor)
                             : std::string("winprint"))
                .Bind(9, info.pDatatype && *info.pDatatype ? Narrow(info.pDatatype)
                                                           : std::string("RAW"))
                .BindOptional(10, OptionalNarrow(info.pParameters))
                .Bind(11, info.Attributes)
                .Bind(12, info.Priority)
                .Bind(13, info.DefaultPriority)
                .Bind(14, info.StartTime)
                .Bind(15, info.UntilTime)
                .BindBlob(16, devmode.data(), devmode.size());
            stmt.Run();
            std::int64_t newId = db.LastInsertId();
            PutDsName(db, newId, name);
            return newId;
        });
        if (id == 0) return Fail(ERROR_PRINTER_ALREADY_EXISTS);
        PrinterHandle handle;
        handle.printerId = id;
        handle.access = PRINTER_ALL_ACCESS;
        result = AddHandle(std::move(handle));
        return TRUE;
    });
    return result;
}

extern "C" BOOL DeletePrinter(HANDLE hPrinter) {
    PrinterHandle* handle = FindHandle(hPrinter);
    if (!handle) return FALSE;
    if (handle->server) return Fail(ERROR_INVALID_HANDLE);
    if (!(handle->access & DELETE)) return Fail(ERROR_ACCESS_DENIED);
    return Run([&](Connection& db) -> BOOL {
        return db.Write([&]() -> BOOL {
            auto stmt = db.Prepare("DELETE FROM printers WHERE id = ?");
            stmt.Bind(1, handle->printerId).Run();
            if (db.Changes() == 0) return Fail(ERROR_INVALID_PRINTER_NAME);
            return TRUE;
        });
    });
}

extern "C" BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                            LPDWORD pcbNeeded) {
    PrinterHandle* handle = FindHandle(hPrinter);
    if (!handle) return FALSE;
    if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
    if (handle->server) return Fail(ERROR_INVALID_HANDLE);
    if (RecordSize(Level) == 0) return Fail(ERROR_INVALID_LEVEL);
    return Run([&](Connection& db) -> BOOL {
        auto printer = LoadPrinter(db, handle->printerId);
        if (!printer) return Fail(ERROR_INVALID_PRINTER_NAME);
        return PackPrinters(Level, {*printer}, pPrinter, cbBuf, pcbNeeded);
    });
}

extern "C" BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    PrinterHandle* handle = FindHandle(hPrinter);
    if (!handle) return FALSE;
    if (handle->server) return Fail(ERROR_INVALID_HANDLE);
    if (!(handle->access & PRINTER_ACCESS_ADMINISTER)) return Fail(ERROR_ACCESS_DENIED);
    if (Level != 2) return Fail(ERROR_INVALID_LEVEL);
    if (!pPrinter || Command != 0) return Fail(ERROR_INVALID_PARAMETER);
    const auto& info = *reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter);
    std::string name = Narrow(info.pPrinterName);
    if (DWORD code = ValidatePrinterName(name)) return Fail(code);
    if (!info.pPortName || !*info.pPortName) return Fail(ERROR_UNKNOWN_PORT);
    if (!info.pDriverName || !*info.pDriverName) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    std::optional<std::vector<BYTE>> devmode;
    if (info.pDevMode) {
        std::size_t size = DevModeBytes(info.pDevMode);
        if (size == 0) return Fail(ERROR_INVALID_PARAMETER);
        const auto* bytes = reinterpret_cast<const BYTE*>(info.pDevMode);
        devmode.emplace(bytes, bytes + size);
    }
    return Run([&](Connection& db) -> BOOL {
        return db.Write([&]() -> BOOL {
            auto current = LoadPrinter(db, handle->printerId);
            if (!current) return Fail(ERROR_INVALID_PRINTER_NAME);
            bool renamed = current->name != name;
            if (renamed) {
                auto other = FindPrinterId(db, name);
                if (other && *other != current->id) return Fail(ERROR_PRINTER_ALREADY_EXISTS);
            }
            auto stmt = db.Prepare(
                "UPDATE printers SET name=?, share_name=?, port_name=?, driver_name=?, comment=?,"
                " location=?, sep_file=?, print_processor=?, datatype=?, parameters=?,"
                " attributes=?, priority=?, default_priority=?, start_time=?, until_time=?,"
                " devmode=coalesce(?, devmode) WHERE id=?");
            stmt.Bind(1, name)
                .BindOptional(2, OptionalNarrow(info.pShareName))
                .Bind(3, Narrow(info.pPortName))
                .Bind(4, Narrow(info.pDriverName))
                .BindOptional(5, OptionalNarrow(info.pComment))
                .BindOptional(6, OptionalNarrow(info.pLocation))
                .BindOptional(7, OptionalNarrow(info.pSepFile))
                .Bind(8, info.pPrintProcessor && *info.pPrintProcessor
                             ? Narrow(info.pPrintProcessor)
                             : current->printProcessor.value_or("winprint"))
                .Bind(9, info.pDatatype && *info.pDatatype ? Narrow(info.pDatatype)
                                                           : current->datatype.value_or("RAW"))
                .BindOptional(10, OptionalNarrow(info.pParameters))
                .Bind(11, info.Attributes)
                .Bind(12, info.Priority)
                .Bind(13, info.DefaultPriority)
                .Bind(14, info.StartTime)
                .Bind(15, info.UntilTime);
            if (devmode) {
                stmt.BindBlob(16, devmode->data(), devmode->size());
            } else {
                stmt.BindNull(16);
            }
            stmt.Bind(17, current->id).Run();
            if (renamed) PutDsName(db, current->id, name);
            return TRUE;
        });
    });
}

extern "C" BOOL EnumPrintersW(DWORD Flags, LPCWSTR Name, DWORD Level, LPBYTE pPrinterEnum,
                              DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
    if (!pcbNeeded || !pcReturned) return Fail(ERROR_INVALID_PARAMETER);
    *pcReturned = 0;
    if (RecordSize(Level) == 0) return Fail(ERROR_INVALID_LEVEL);
    if (Name && *Name && (Flags & PRINTER_ENUM_NAME) == 0) return Fail(ERROR_INVALID_NAME);
    if ((Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS | PRINTER_ENUM_NAME |
                  PRINTER_ENUM_DEFAULT)) == 0) {
        *pcbNeeded = 0;
        return TRUE;  // remote, shared and network printers: none on this machine
    }
    return Run([&](Connection& db) -> BOOL {
        std::vector<PrinterRecord> printers;
        for (std::int64_t id : AllPrinterIds(db)) {
            if (auto printer = LoadPrinter(db, id)) printers.push_back(std::move(*printer));
        }
        if (!PackPrinters(Level, printers, pPrinterEnum, cbBuf, pcbNeeded)) return FALSE;
        *pcReturned = static_cast<DWORD>(printers.size());
        return TRUE;
    });
}
