// DEVMODE handling: validation, the default of a new printer, merging, DocumentPropertiesW.
#include <cstddef>
#include <cstring>

#include "spooler/spooler_internal.h"

namespace platform::spooler {
namespace {

// The printer fields of a DEVMODE by their dmFields bit.
struct FieldSpan {
    DWORD bit;
    std::size_t offset;
    std::size_t size;
};

#define KV580_FIELD(bit, member)                                  \
    FieldSpan {                                                   \
        bit, offsetof(DEVMODEW, member), sizeof(DEVMODEW::member) \
    }

constexpr FieldSpan kFields[] = {
    KV580_FIELD(DM_ORIENTATION, dmOrientation),
    KV580_FIELD(DM_PAPERSIZE, dmPaperSize),
    KV580_FIELD(DM_PAPERLENGTH, dmPaperLength),
    KV580_FIELD(DM_PAPERWIDTH, dmPaperWidth),
    KV580_FIELD(DM_SCALE, dmScale),
    KV580_FIELD(DM_COPIES, dmCopies),
    KV580_FIELD(DM_DEFAULTSOURCE, dmDefaultSource),
    KV580_FIELD(DM_PRINTQUALITY, dmPrintQuality),
    KV580_FIELD(DM_COLOR, dmColor),
    KV580_FIELD(DM_DUPLEX, dmDuplex),
    KV580_FIELD(DM_YRESOLUTION, dmYResolution),
    KV580_FIELD(DM_TTOPTION, dmTTOption),
    KV580_FIELD(DM_COLLATE, dmCollate),
    KV580_FIELD(DM_FORMNAME, dmFormName),
    KV580_FIELD(DM_LOGPIXELS, dmLogPixels),
    KV580_FIELD(DM_BITSPERPEL, dmBitsPerPel),
    KV580_FIELD(DM_PELSWIDTH, dmPelsWidth),
    KV580_FIELD(DM_PELSHEIGHT, dmPelsHeight),
    KV580_FIELD(DM_NUP, dmNup),
    KV580_FIELD(DM_DISPLAYFREQUENCY, dmDisplayFrequency),
    KV580_FIELD(DM_ICMMETHOD, dmICMMethod),
    KV580_FIELD(DM_ICMINTENT, dmICMIntent),
    KV580_FIELD(DM_MEDIATYPE, dmMediaType),
    KV580_FIELD(DM_DITHERTYPE, dmDitherType),
    KV580_FIELD(DM_PANNINGWIDTH, dmPanningWidth),
    KV580_FIELD(DM_PANNINGHEIGHT, dmPanningHeight),
};

#undef KV580_FIELD

constexpr SHORT kReceiptSource = 265;
constexpr LONG kIdOk = 1;

}  // namespace

std::size_t DevModeBytes(const DEVMODEW* devmode) {
    if (!devmode || devmode->dmSize != sizeof(DEVMODEW)) return 0;
    return sizeof(DEVMODEW) + devmode->dmDriverExtra;
}

std::vector<BYTE> DefaultDevMode(std::string_view printerName) {
    DEVMODEW dm{};
    std::u16string name = store::ToUtf16(printerName);
    std::size_t n = std::min<std::size_t>(name.size(), CCHDEVICENAME - 1);
    std::memcpy(dm.dmDeviceName, name.data(), n * sizeof(WCHAR));
    dm.dmSpecVersion = DM_SPECVERSION;
    dm.dmSize = sizeof(DEVMODEW);
    dm.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_SCALE |
                  DM_COPIES | DM_DEFAULTSOURCE | DM_PRINTQUALITY | DM_COLOR | DM_YRESOLUTION |
                  DM_TTOPTION | DM_COLLATE;
    dm.dmOrientation = DMORIENT_PORTRAIT;
    dm.dmPaperSize = DMPAPER_USER;
    dm.dmPaperWidth = 800;
    dm.dmPaperLength = 32760;
    dm.dmScale = 100;
    dm.dmCopies = 1;
    dm.dmDefaultSource = kReceiptSource;
    dm.dmPrintQuality = 203;
    dm.dmYResolution = 203;
    dm.dmColor = DMCOLOR_MONOCHROME;
    dm.dmTTOption = DMTT_DOWNLOAD;
    dm.dmCollate = DMCOLLATE_FALSE;
    const auto* bytes = reinterpret_cast<const BYTE*>(&dm);
    return std::vector<BYTE>(bytes, bytes + sizeof dm);
}

std::vector<BYTE> MergeDevMode(const std::vector<BYTE>& base, const DEVMODEW* input) {
    std::vector<BYTE> result = base;
    if (!input || result.size() < sizeof(DEVMODEW)) return result;
    const auto* in = reinterpret_cast<const BYTE*>(input);
    std::size_t inputSize = input->dmSize;
    DWORD fields = 0;
    std::memcpy(&fields, result.data() + offsetof(DEVMODEW, dmFields), sizeof fields);
    for (const auto& field : kFields) {
        if ((input->dmFields & field.bit) && field.offset + field.size <= inputSize) {
            std::memcpy(result.data() + field.offset, in + field.offset, field.size);
            fields |= field.bit;
        }
    }
    std::memcpy(result.data() + offsetof(DEVMODEW, dmFields), &fields, sizeof fields);
    // The driver's private bytes follow when they are of the same driver version and size.
    WORD baseExtra = 0;
    WORD baseVersion = 0;
    std::memcpy(&baseExtra, result.data() + offsetof(DEVMODEW, dmDriverExtra), sizeof baseExtra);
    std::memcpy(&baseVersion, result.data() + offsetof(DEVMODEW, dmDriverVersion),
                sizeof baseVersion);
    if (input->dmSize == sizeof(DEVMODEW) && input->dmDriverExtra == baseExtra &&
        input->dmDriverVersion == baseVersion && baseExtra > 0 &&
        result.size() == sizeof(DEVMODEW) + baseExtra) {
        std::memcpy(result.data() + sizeof(DEVMODEW), in + sizeof(DEVMODEW), baseExtra);
    }
    return result;
}

}  // namespace platform::spooler

using namespace platform::spooler;
using platform::store::Connection;

extern "C" LONG DocumentPropertiesW(HWND, HANDLE hPrinter, LPCWSTR pDeviceName,
                                    PDEVMODEW pDevModeOutput, PDEVMODEW pDevModeInput,
                                    DWORD fMode) {
    HANDLE own = nullptr;
    if (!hPrinter) {
        if (!OpenPrinterW(pDeviceName, &own, nullptr)) return -1;
        hPrinter = own;
    }
    LONG result = -1;
    PrinterHandle* handle = FindHandle(hPrinter);
    if (handle && handle->server) {
        SetLastError(ERROR_INVALID_HANDLE);
    } else if (handle) {
        if ((fMode & DM_IN_BUFFER) && pDevModeInput &&
            pDevModeInput->dmSize < offsetof(DEVMODEW, dmOrientation)) {
            SetLastError(ERROR_INVALID_PARAMETER);
        } else if ((fMode & DM_OUT_BUFFER) && !pDevModeOutput) {
            SetLastError(ERROR_INVALID_PARAMETER);
        } else {
            Run([&](Connection& db) -> BOOL {
                auto printer = LoadPrinter(db, handle->printerId);
                if (!printer) return Fail(ERROR_INVALID_PRINTER_NAME);
                std::vector<BYTE> devmode = printer->devmode.size() >= sizeof(DEVMODEW)
                                                ? printer->devmode
                                                : DefaultDevMode(printer->name);
                if (fMode == 0) {
                    result = static_cast<LONG>(devmode.size());
                    return TRUE;
                }
                if ((fMode & DM_IN_BUFFER) && pDevModeInput) {
                    devmode = MergeDevMode(devmode, pDevModeInput);
                }
                if (fMode & DM_OUT_BUFFER) {
                    std::memcpy(pDevModeOutput, devmode.data(), devmode.size());
                }
                result = kIdOk;
                return TRUE;
            });
        }
    }
    if (own) ClosePrinter(own);
    return result;
}
