// Playing a job script into the rendering plug-in and the print job around it.
#include "job_player.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <unordered_set>
#include <vector>

#include "page_surface.h"
#include "printer_description.h"
#include "text_objects.h"
#include "win32/bitmap.h"
#include "win32/devmode.h"
#include "win32/strings.h"
#include "win32/system_root.h"
#include "win32/winspool.h"

namespace unidrv {
namespace {

RECTL ToRectl(const jobscript::DestRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The printer description of the host: read once per process; an unreadable file is an
// error of the job, a missing one leaves the printer without device fonts.
const PrinterDescription& Description() {
    static const PrinterDescription description = [] {
        const std::filesystem::path file = FindPrinterDescription();
        return file.empty() ? PrinterDescription{} : LoadPrinterDescription(file);
    }();
    return description;
}

bool IsDeviceFont(const jobscript::TextItem& item) {
    return !Description().FindDeviceFont(item.font).empty();
}

// The text items of a page whose runs reached the host's own DrvTextOut.
using HostDrawnText = std::unordered_set<const jobscript::TextItem*>;

// A text item through the text hook as GDI makes it (DrvTextOut), or straight to the host's
// own DrvTextOut when the plug-in does not hook text. Items whose run reaches the host are
// noted in `hostText`: the host draws them into the page.
void PlayTextCall(UnidrvHost& host, const jobscript::Page& page, std::size_t index,
                  HostDrawnText& hostText) {
    const auto& item = std::get<jobscript::TextItem>(page.items[index]);
    TextRun run(item, Description());
    if (run.fontobj() == nullptr) {
        return;  // the engine has no font for it: GDI draws nothing
    }
    SetHostTextReceiver([&](STROBJ*, FONTOBJ*) { hostText.insert(&item); });
    BRUSHOBJ foreground = {0, nullptr, 0};
    BRUSHOBJ background = {0x00FFFFFF, nullptr, 0};
    POINTL origin = {0, 0};
    SURFOBJ* surface = host.surface();
    if (auto textOut = host.HookAs<PFN_DrvTextOut>(INDEX_DrvTextOut)) {
        textOut(surface, run.strobj(), run.fontobj(), nullptr, nullptr, nullptr, &foreground,
                &background, &origin, 0x0D0D /* R2_COPYPEN */);
    } else {
        DeliverHostText(run.strobj(), run.fontobj());
    }
    SetHostTextReceiver({});
}

// The drawing calls of a page's items through the plug-in's hooks as GDI makes them: fills and
// unscaled pictures as DrvBitBlt, scaled pictures as DrvStretchBlt, text as DrvTextOut.
void PlayDrawCalls(UnidrvHost& host, const jobscript::Page& page, HostDrawnText& hostText) {
    SURFOBJ* surface = host.surface();
    auto bitBlt = host.HookAs<PFN_DrvBitBlt>(INDEX_DrvBitBlt);
    auto stretchBlt = host.HookAs<PFN_DrvStretchBlt>(INDEX_DrvStretchBlt);
    for (const jobscript::DrawCall& call : jobscript::DrawCalls(page)) {
        RECTL dest = ToRectl(call.dest);
        switch (call.kind) {
            case jobscript::DrawCallKind::FillRect:
                if (bitBlt)
                    bitBlt(surface, nullptr, nullptr, nullptr, nullptr, &dest, nullptr, nullptr,
                           nullptr, nullptr, 0xF0F0 /* PATCOPY */);
                break;
            case jobscript::DrawCallKind::BitBlt: {
                POINTL source = {0, 0};
                if (bitBlt)
                    bitBlt(surface, surface, nullptr, nullptr, nullptr, &dest, &source, nullptr,
                           nullptr, nullptr, 0xCCCC /* SRCCOPY */);
                break;
            }
            case jobscript::DrawCallKind::StretchBlt: {
                RECTL source = {0, 0, call.sourceWidth, call.sourceHeight};
                if (stretchBlt)
                    stretchBlt(surface, surface, nullptr, nullptr, nullptr, nullptr, nullptr, &dest,
                               &source, nullptr, 3 /* COLORONCOLOR */);
                break;
            }
            case jobscript::DrawCallKind::TextOut:
                PlayTextCall(host, page, call.item, hostText);
                break;
        }
    }
}

// Hands the page to ImageProcessing in bands from the top, each followed by the NextBand hook.
void PlayBands(UnidrvHost& host, const jobscript::PageSurface& surface, std::int32_t bandHeight) {
    SURFOBJ* so = host.surface();
    auto nextBand = host.HookAs<PFN_DrvNextBand>(INDEX_DrvNextBand);
    const DWORD format = surface.bpp() == 1 ? BMF_1BPP : BMF_8BPP;
    for (const jobscript::Band& band : jobscript::SplitIntoBands(surface, bandHeight)) {
        BITMAPINFOHEADER header = {};
        header.biSize = sizeof(BITMAPINFOHEADER);
        header.biWidth = surface.width();
        header.biHeight = band.height;
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(surface.bpp());
        header.biCompression = BI_RGB;
        header.biSizeImage = static_cast<DWORD>(band.bits.size());
        header.biXPelsPerMeter = header.biYPelsPerMeter = 7992;  // 203 dpi
        header.biClrUsed = surface.bpp() == 1 ? 2 : 256;
        IPPARAMS params = {};
        params.dwSize = sizeof(IPPARAMS);
        POINT offset = {0, band.top};
        params.ptOffset = &offset;
        params.bBanding = TRUE;
        params.bBlankBand = band.blank ? TRUE : FALSE;
        PBYTE result = nullptr;
        host.plugin()->ImageProcessing(host.devobj(), const_cast<PBYTE>(band.bits.data()), &header,
                                       nullptr, format, &params, &result);
        POINTL next = {0, band.top + band.height};
        if (nextBand) nextBand(so, &next);
    }
}

std::u16string Wide(const std::string& s) {
    return platform::Utf8ToUtf16(s);
}

// The printer handle, closed on every path.
class PrinterHandle {
public:
    PrinterHandle(const std::u16string& name, DWORD access) {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
        if (!OpenPrinterW(name.c_str(), &m_handle, &defaults)) m_handle = nullptr;
    }
    ~PrinterHandle() {
        if (m_handle) ClosePrinter(m_handle);
    }
    PrinterHandle(const PrinterHandle&) = delete;
    PrinterHandle& operator=(const PrinterHandle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle = nullptr;
};

bool AnyPrinter() {
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    return needed != 0;
}

void CreateDefaultPrinter() {
    std::u16string name = Wide(kDefaultPrinterName), driver = Wide(kDriverName);
    std::u16string port = u"KV580:", processor = u"winprint", datatype = u"RAW";
    PRINTER_INFO_2W info{};
    info.pPrinterName = name.data();
    info.pPortName = port.data();
    info.pDriverName = driver.data();
    info.pPrintProcessor = processor.data();
    info.pDatatype = datatype.data();
    info.Priority = 1;
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (printer == nullptr) {
        throw std::runtime_error("cannot create the printer '" + std::string(kDefaultPrinterName) +
                                 "' (error " + std::to_string(GetLastError()) + ")");
    }
    ClosePrinter(printer);
}

// The job's DEVMODE: the printer's default, with the script's choices applied.
std::vector<BYTE> JobDevmode(HANDLE printer, const std::u16string& name,
                             const jobscript::DevmodeChoices& choices) {
    LONG size = DocumentPropertiesW(nullptr, printer, name.c_str(), nullptr, nullptr, 0);
    std::vector<BYTE> buffer(size > static_cast<LONG>(sizeof(DEVMODEW)) ? size : sizeof(DEVMODEW));
    auto* dm = reinterpret_cast<DEVMODEW*>(buffer.data());
    if (size <= 0 ||
        DocumentPropertiesW(nullptr, printer, name.c_str(), dm, nullptr, DM_OUT_BUFFER) < 0) {
        std::memset(buffer.data(), 0, buffer.size());
        dm->dmSpecVersion = DM_SPECVERSION;
        dm->dmSize = sizeof(DEVMODEW);
    }
    dm->dmFields |= DM_COPIES | DM_ORIENTATION | DM_DEFAULTSOURCE | DM_COLOR;
    dm->dmCopies = static_cast<SHORT>(choices.copies);
    dm->dmOrientation = choices.orientation == jobscript::Orientation::Landscape
                            ? DMORIENT_LANDSCAPE
                            : DMORIENT_PORTRAIT;
    dm->dmDefaultSource = choices.source == jobscript::PaperSource::Ticket ? 266 : 265;
    dm->dmColor = choices.color == jobscript::ColorMode::Color ? DMCOLOR_COLOR : DMCOLOR_MONOCHROME;
    return buffer;
}

}  // namespace

bool PlayJob(UnidrvHost& host, const jobscript::JobScript& script, DWORD jobId,
             std::string& error) {
    if (host.devobj() == nullptr || host.plugin() == nullptr) {
        error = "no device context is enabled";
        return false;
    }
    host.StartDoc(Wide(script.document), jobId);
    for (const jobscript::Page& page : script.pages) {
        host.StartPage();
        jobscript::PageSurface surface(script.paper.width, script.paper.height, script.paper.bpp);
        // Banding starts before the drawing calls, as the engine plays a page's calls into its
        // bands: a picture drawn with BitBlt is then entered at the next band (the start of
        // banding discards a held-back rectangle).
        POINTL origin = {0, 0};
        if (auto startBanding = host.HookAs<PFN_DrvStartBanding>(INDEX_DrvStartBanding)) {
            startBanding(host.surface(), &origin);
        }
        HostDrawnText hostText;
        PlayDrawCalls(host, page, hostText);
        // Text the plug-in left to the host is part of the page raster, in drawing order.
        jobscript::RasterisePage(page, surface,
                                 [&](const jobscript::TextItem& item, jobscript::PageSurface& s) {
                                     if (hostText.count(&item) != 0) {
                                         DrawTextItem(item, IsDeviceFont(item), s);
                                     }
                                 });
        PlayBands(host, surface, script.paper.band);
        host.SendPage();
    }
    host.EndDoc();
    return true;
}

PrintOutcome PrintJob(const PrintRequest& request) {
    jobscript::JobScript script = jobscript::LoadJobScript(request.script);
    Description();  // a damaged printer description stops the job before anything is spooled

    std::string storeError;
    if (!platform::OpenStore(storeError)) throw std::runtime_error(storeError);
    std::string rootError;
    if (!platform::CreateRootTree(platform::SystemRoot(), rootError)) {
        throw std::runtime_error(rootError);
    }
    PrintOutcome outcome;
    outcome.printer = request.printer.empty() ? kDefaultPrinterName : request.printer;
    if (request.printer.empty() && !AnyPrinter()) {
        CreateDefaultPrinter();
    }
    const std::u16string printerName = Wide(outcome.printer);
    PrinterHandle printer(printerName, PRINTER_ACCESS_USE);
    if (printer.get() == nullptr) {
        throw std::runtime_error("no printer named '" + outcome.printer + "'");
    }
    std::vector<BYTE> devmode = JobDevmode(printer.get(), printerName, script.devmode);

    UnidrvHost host;
    std::string error;
    if (!host.Load(UnidrvHost::FindPlugin(kRenderPluginFile), error)) {
        throw std::runtime_error("cannot load the rendering plug-in: " + error);
    }
    std::u16string document = Wide(script.document);
    std::u16string datatype = u"RAW";
    DOC_INFO_1W docInfo = {document.data(), nullptr, datatype.data()};
    outcome.jobId = StartDocPrinterW(printer.get(), 1, reinterpret_cast<LPBYTE>(&docInfo));
    if (outcome.jobId == 0) {
        throw std::runtime_error("the spooler refused the job (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    DriverServices& services = host.services();
    services.options.inputBin =
        script.options.count("InputBin") ? script.options.at("InputBin") : "Option1";
    services.options.orientation =
        script.options.count("Orientation") ? script.options.at("Orientation") : "PORTRAIT";
    services.maxBytesPerWrite = request.maxBytesPerWrite;
    std::string spooled;
    bool spoolFailed = false;
    services.sink = [&](const BYTE* bytes, DWORD count) -> DWORD {
        DWORD written = 0;
        if (!WritePrinter(printer.get(), const_cast<BYTE*>(bytes), count, &written)) {
            spoolFailed = true;
            return 0;
        }
        spooled.append(reinterpret_cast<const char*>(bytes), written);
        return written;
    };
    if (!host.EnablePDEV(printer.get(), printerName, reinterpret_cast<DEVMODEW*>(devmode.data()),
                         static_cast<ULONG>(script.paper.bpp), error)) {
        AbortPrinter(printer.get());
        throw std::runtime_error(error);
    }
    PlayJob(host, script, outcome.jobId, error);
    host.DisablePDEV();
    host.Unload();
    if (spoolFailed) {
        AbortPrinter(printer.get());
        throw std::runtime_error("the spooler could not take the job's bytes (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    if (!EndDocPrinter(printer.get())) {
        throw std::runtime_error("the job could not be delivered to the printer's port (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    outcome.pages = script.pages.size();
    outcome.bytes = spooled.size();
    if (!request.out.empty()) {
        std::filesystem::path partial = request.out;
        partial += ".partial";
        {
            std::ofstream out(partial, std::ios::binary | std::ios::trunc);
            out.write(spooled.data(), static_cast<std::streamsize>(spooled.size()));
            if (!out) {
                std::error_code ec;
                std::filesystem::remove(partial, ec);
                throw std::runtime_error("cannot write '" + request.out.string() + "'");
            }
        }
        std::error_code ec;
        std::filesystem::rename(partial, request.out, ec);
        if (ec) {
            std::filesystem::remove(partial, ec);
            throw std::runtime_error("cannot write '" + request.out.string() + "'");
        }
    }
    return outcome;
}

}  // namespace unidrv
