// The print spooler: printers, printer data, default DEVMODEs, forms and print jobs.
//
// All spooler state lives in the system root's store (system.db) and is shared safely by
// every process that uses the same root. Results follow the published rules: BOOL functions
// set the last error on failure; the printer-data functions return the Win32 error code
// directly (and leave it as the last error as well); a buffer too small for a GetPrinterW /
// EnumPrintersW / EnumFormsW / GetFormW answer gives ERROR_INSUFFICIENT_BUFFER with the needed
// size, for printer data ERROR_MORE_DATA.
#pragma once

#include <filesystem>
#include <string>

#include "win32/devmode.h"
#include "win32/registry.h"
#include "win32/types.h"

using PSECURITY_DESCRIPTOR = void*;

// ---- Access rights of printer handles ------------------------------------------------------
constexpr DWORD SERVER_ACCESS_ADMINISTER = 0x00000001;
constexpr DWORD SERVER_ACCESS_ENUMERATE = 0x00000002;
constexpr DWORD PRINTER_ACCESS_ADMINISTER = 0x00000004;
constexpr DWORD PRINTER_ACCESS_USE = 0x00000008;
constexpr DWORD PRINTER_ACCESS_MANAGE_LIMITED = 0x00000040;
constexpr DWORD PRINTER_ALL_ACCESS =
    STANDARD_RIGHTS_REQUIRED | PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE;  // 0xF000C
constexpr DWORD PRINTER_READ = STANDARD_RIGHTS_READ | PRINTER_ACCESS_USE;
constexpr DWORD PRINTER_WRITE = STANDARD_RIGHTS_WRITE | PRINTER_ACCESS_USE;
constexpr DWORD PRINTER_EXECUTE = STANDARD_RIGHTS_EXECUTE | PRINTER_ACCESS_USE;
constexpr DWORD SERVER_ALL_ACCESS =
    STANDARD_RIGHTS_REQUIRED | SERVER_ACCESS_ADMINISTER | SERVER_ACCESS_ENUMERATE;

// ---- Printer attributes and status -----------------------------------------------------------
constexpr DWORD PRINTER_ATTRIBUTE_QUEUED = 0x00000001;
constexpr DWORD PRINTER_ATTRIBUTE_DIRECT = 0x00000002;
constexpr DWORD PRINTER_ATTRIBUTE_DEFAULT = 0x00000004;
constexpr DWORD PRINTER_ATTRIBUTE_SHARED = 0x00000008;
constexpr DWORD PRINTER_ATTRIBUTE_NETWORK = 0x00000010;
constexpr DWORD PRINTER_ATTRIBUTE_HIDDEN = 0x00000020;
constexpr DWORD PRINTER_ATTRIBUTE_LOCAL = 0x00000040;
constexpr DWORD PRINTER_ATTRIBUTE_ENABLE_DEVQ = 0x00000080;
constexpr DWORD PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS = 0x00000100;
constexpr DWORD PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST = 0x00000200;
constexpr DWORD PRINTER_ATTRIBUTE_WORK_OFFLINE = 0x00000400;
constexpr DWORD PRINTER_ATTRIBUTE_ENABLE_BIDI = 0x00000800;
constexpr DWORD PRINTER_ATTRIBUTE_RAW_ONLY = 0x00001000;
constexpr DWORD PRINTER_ATTRIBUTE_PUBLISHED = 0x00002000;

constexpr DWORD PRINTER_STATUS_PAUSED = 0x00000001;
constexpr DWORD PRINTER_STATUS_ERROR = 0x00000002;
constexpr DWORD PRINTER_STATUS_PENDING_DELETION = 0x00000004;
constexpr DWORD PRINTER_STATUS_PRINTING = 0x00000400;
constexpr DWORD PRINTER_STATUS_PROCESSING = 0x00004000;
constexpr DWORD PRINTER_STATUS_INITIALIZING = 0x00008000;

// EnumPrintersW flags.
constexpr DWORD PRINTER_ENUM_DEFAULT = 0x00000001;
constexpr DWORD PRINTER_ENUM_LOCAL = 0x00000002;
constexpr DWORD PRINTER_ENUM_CONNECTIONS = 0x00000004;
constexpr DWORD PRINTER_ENUM_FAVORITE = 0x00000004;
constexpr DWORD PRINTER_ENUM_NAME = 0x00000008;
constexpr DWORD PRINTER_ENUM_REMOTE = 0x00000010;
constexpr DWORD PRINTER_ENUM_SHARED = 0x00000020;
constexpr DWORD PRINTER_ENUM_NETWORK = 0x00000040;

// PRINTER_INFO_1W flags.
constexpr DWORD PRINTER_ENUM_ICON8 = 0x00800000;

// Forms.
constexpr DWORD FORM_USER = 0x00000000;
constexpr DWORD FORM_BUILTIN = 0x00000001;
constexpr DWORD FORM_PRINTER = 0x00000002;

// Job status (the few the platform's jobs pass through).
constexpr DWORD JOB_STATUS_PAUSED = 0x00000001;
constexpr DWORD JOB_STATUS_ERROR = 0x00000002;
constexpr DWORD JOB_STATUS_DELETING = 0x00000004;
constexpr DWORD JOB_STATUS_SPOOLING = 0x00000008;
constexpr DWORD JOB_STATUS_PRINTING = 0x00000010;
constexpr DWORD JOB_STATUS_PRINTED = 0x00000080;
constexpr DWORD JOB_STATUS_DELETED = 0x00000100;
constexpr DWORD JOB_STATUS_COMPLETE = 0x00001000;

// ---- Records ----------------------------------------------------------------------------------
struct PRINTER_DEFAULTSW {
    LPWSTR pDatatype;
    LPDEVMODEW pDevMode;
    DWORD DesiredAccess;
};
using PPRINTER_DEFAULTSW = PRINTER_DEFAULTSW*;
using LPPRINTER_DEFAULTSW = PRINTER_DEFAULTSW*;

struct PRINTER_INFO_1W {
    DWORD Flags;
    LPWSTR pDescription;
    LPWSTR pName;
    LPWSTR pComment;
};
using PPRINTER_INFO_1W = PRINTER_INFO_1W*;

struct PRINTER_INFO_2W {
    LPWSTR pServerName;
    LPWSTR pPrinterName;
    LPWSTR pShareName;
    LPWSTR pPortName;
    LPWSTR pDriverName;
    LPWSTR pComment;
    LPWSTR pLocation;
    LPDEVMODEW pDevMode;
    LPWSTR pSepFile;
    LPWSTR pPrintProcessor;
    LPWSTR pDatatype;
    LPWSTR pParameters;
    PSECURITY_DESCRIPTOR pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
};
using PPRINTER_INFO_2W = PRINTER_INFO_2W*;
using LPPRINTER_INFO_2W = PRINTER_INFO_2W*;

struct PRINTER_INFO_4W {
    LPWSTR pPrinterName;
    LPWSTR pServerName;
    DWORD Attributes;
};
using PPRINTER_INFO_4W = PRINTER_INFO_4W*;

struct FORM_INFO_1W {
    DWORD Flags;
    LPWSTR pName;
    SIZEL Size;           // thousandths of a millimetre
    RECTL ImageableArea;  // thousandths of a millimetre
};
using PFORM_INFO_1W = FORM_INFO_1W*;
using LPFORM_INFO_1W = FORM_INFO_1W*;

struct DOC_INFO_1W {
    LPWSTR pDocName;
    LPWSTR pOutputFile;  // print to this file instead of the port (null: the port)
    LPWSTR pDatatype;
};
using PDOC_INFO_1W = DOC_INFO_1W*;
using LPDOC_INFO_1W = DOC_INFO_1W*;

struct PRINTER_ENUM_VALUESW {
    LPWSTR pValueName;
    DWORD cbValueName;  // bytes, terminator included
    DWORD dwType;
    LPBYTE pData;
    DWORD cbData;
};
using PPRINTER_ENUM_VALUESW = PRINTER_ENUM_VALUESW*;

// The unsuffixed names the code of the package uses.
using PRINTER_DEFAULTS = PRINTER_DEFAULTSW;
using PRINTER_INFO_2 = PRINTER_INFO_2W;
using FORM_INFO_1 = FORM_INFO_1W;
using DOC_INFO_1 = DOC_INFO_1W;

extern "C" {

// ---- Printers -------------------------------------------------------------------------------
// Opens a printer by name (null: the local print server, for forms). pDefault null asks for
// PRINTER_ACCESS_USE. An unknown name fails with ERROR_INVALID_PRINTER_NAME.
BOOL OpenPrinterW(LPCWSTR pPrinterName, LPHANDLE phPrinter, PRINTER_DEFAULTSW* pDefault);
BOOL ClosePrinter(HANDLE hPrinter);

// Level 2: creates a printer (pName, the server, must be null or empty) and returns a handle
// with PRINTER_ALL_ACCESS, or null. Printer name, port and driver are required; the print
// processor defaults to "winprint", the data type to "RAW". The new printer carries printer
// data "DsSpooler" / "printerName" = its name. A taken name: ERROR_PRINTER_ALREADY_EXISTS.
HANDLE AddPrinterW(LPCWSTR pName, DWORD Level, LPBYTE pPrinter);
// Deletes the printer with its data and jobs (needs DELETE access, e.g. PRINTER_ALL_ACCESS).
BOOL DeletePrinter(HANDLE hPrinter);

// Levels 1, 2 and 4: the record, then its strings and the DEVMODE, packed in pPrinter.
BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded);
// Level 2 (Command 0): stores every field; pDevMode null keeps the stored DEVMODE;
// pSecurityDescriptor, Status, cJobs and AveragePPM are ignored. Needs administer access.
BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command);
BOOL EnumPrintersW(DWORD Flags, LPCWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                   LPDWORD pcbNeeded, LPDWORD pcReturned);

// fMode 0: the size of the printer's full DEVMODE (public and private part). DM_OUT_BUFFER:
// the printer's default DEVMODE, with the fields of pDevModeInput (DM_IN_BUFFER) merged in,
// is copied to pDevModeOutput (which may be the input itself). Returns IDOK (1), or a
// negative value on failure. hPrinter null: the printer is opened by pDeviceName.
LONG DocumentPropertiesW(HWND hWnd, HANDLE hPrinter, LPCWSTR pDeviceName, PDEVMODEW pDevModeOutput,
                         PDEVMODEW pDevModeInput, DWORD fMode);

// ---- Printer data -----------------------------------------------------------------------------
// Keys are paths like "PrinterDriverData\Properties"; GetPrinterDataW / SetPrinterDataW use the
// key "PrinterDriverData". A missing value or key: ERROR_FILE_NOT_FOUND; a buffer too small:
// ERROR_MORE_DATA with *pcbNeeded set; writes through a handle without administer access:
// ERROR_ACCESS_DENIED.
DWORD GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType,
                        LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded);
DWORD SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type,
                        const BYTE* pData, DWORD cbData);
DWORD DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName);
// Deletes a key with all its values and subkeys.
DWORD DeletePrinterKeyW(HANDLE hPrinter, LPCWSTR pKeyName);
// The values of one key: *pnEnumValues records, then their names and data, in pEnumValues.
DWORD EnumPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPBYTE pEnumValues, DWORD cbEnumValues,
                         LPDWORD pcbEnumValues, LPDWORD pnEnumValues);
DWORD GetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                      LPDWORD pcbNeeded);
DWORD SetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, DWORD Type, const BYTE* pData,
                      DWORD cbData);

// ---- Forms (level 1; one forms database for the whole system) --------------------------------
// Built-in forms carry FORM_BUILTIN and can be neither changed nor deleted
// (ERROR_INVALID_PARAMETER). A missing form: ERROR_INVALID_FORM_NAME; a taken name on AddFormW:
// ERROR_FILE_EXISTS; an empty size or an imageable area outside it: ERROR_INVALID_FORM_SIZE.
BOOL EnumFormsW(HANDLE hPrinter, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded,
                LPDWORD pcReturned);
BOOL GetFormW(HANDLE hPrinter, LPCWSTR pFormName, DWORD Level, LPBYTE pForm, DWORD cbBuf,
              LPDWORD pcbNeeded);
BOOL AddFormW(HANDLE hPrinter, DWORD Level, LPBYTE pForm);
BOOL SetFormW(HANDLE hPrinter, LPCWSTR pFormName, DWORD Level, LPBYTE pForm);
BOOL DeleteFormW(HANDLE hPrinter, LPCWSTR pFormName);

// ---- Jobs -------------------------------------------------------------------------------------
// Level 1: starts a job on the handle and returns its id (0 on failure). The bytes written go
// to a spool file under Windows\System32\spool\PRINTERS; EndDocPrinter hands the finished job
// to pOutputFile when given, else to the printer's port ("FILE:" needs pOutputFile; any other
// port is the file ports/<port name without trailing colon>.prn under the root, appended to).
DWORD StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo);
BOOL StartPagePrinter(HANDLE hPrinter);
BOOL WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten);
BOOL EndPagePrinter(HANDLE hPrinter);
BOOL EndDocPrinter(HANDLE hPrinter);
// Drops the job of the handle without delivering it.
BOOL AbortPrinter(HANDLE hPrinter);

}  // extern "C"

namespace platform {

// Creates <root>/system.db with the schema and the built-in forms (an existing store is kept
// as it is). Returns false with `error` naming the file when it cannot be created or is not
// a store of this system; such a file is never changed.
bool CreateStore(const std::filesystem::path& root, std::string& error);

// Checks that the store of the current system root can be used (creating it when missing).
// Returns false with `error` naming the file otherwise. The spooler and registry functions
// open the store the same way on first use.
bool OpenStore(std::string& error);

// The message of the last store failure of this process ("" when none), for the tools.
std::string LastStoreError();

// The file a port name is delivered to: <root>/ports/<name>.prn, the name without trailing
// colons and with every character that is not a letter, digit, '.', '-', '_' or blank
// replaced by '_' (so no port name leaves the folder).
std::filesystem::path PortFilePath(const std::filesystem::path& root, std::u16string_view port);

}  // namespace platform

// ---- Print processor folder -------------------------------------------------------------------
// The folder of the print processors of an environment: "C:\Windows\System32\spool\prtprocs\"
// followed by "x64" ("Windows x64", and the current environment when pEnvironment is null or
// empty) or "W32X86" ("Windows NT x86"). Level must be 1; pName null or empty (this machine).
// *pcbNeeded counts the terminator (bytes; for the W form, bytes of UTF-16). Errors:
// ERROR_INVALID_LEVEL, ERROR_INVALID_ENVIRONMENT, ERROR_INVALID_NAME (another server),
// ERROR_INSUFFICIENT_BUFFER (nothing written), ERROR_INVALID_PARAMETER (pcbNeeded null).
extern "C" {
BOOL GetPrintProcessorDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                 LPBYTE pPrintProcessorInfo, DWORD cbBuf, LPDWORD pcbNeeded);
BOOL GetPrintProcessorDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level,
                                 LPBYTE pPrintProcessorInfo, DWORD cbBuf, LPDWORD pcbNeeded);
}
