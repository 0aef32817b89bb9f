// Band capture: a 576 x 20000 page handed to ImageProcessing in 256-row bands, at 1 and 8 bits
// per pixel, through the plug-in loaded as the host loads it.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "oempdev.h"
#include "unidrv_host.h"
#include "win32/heap.h"
#include "win32/system_root.h"
#include "win32/winspool.h"

namespace {

constexpr LONG kWidth = 576;
constexpr LONG kHeight = 20000;
constexpr LONG kBand = 256;

// A fresh root with one printer and the plug-in enabled on it, for the whole run.
struct Device {
    Device() {
        char dir[] = "/tmp/kv580-bench-XXXXXX";
        if (!mkdtemp(dir)) throw std::runtime_error("mkdtemp");
        root = dir;
        std::string error;
        platform::CreateRootTree(root, error);
        platform::SetSystemRoot(root);
        std::u16string name = u"Bench", port = u"KV580:", driver = u"LBR-KV580";
        PRINTER_INFO_2W info = {};
        info.pPrinterName = name.data();
        info.pPortName = port.data();
        info.pDriverName = driver.data();
        printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
        devmode.dmSize = sizeof devmode;
        devmode.dmCopies = 1;
    }
    ~Device() {
        host.reset();
        ClosePrinter(printer);
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    void Enable(ULONG bpp) {
        host = std::make_unique<unidrv::UnidrvHost>();
        std::string error;
        if (!host->Load(unidrv::UnidrvHost::FindPlugin("UNIKV580R.DLL"), error) ||
            !host->EnablePDEV(printer, u"Bench", &devmode, bpp, error)) {
            throw std::runtime_error(error);
        }
    }
    POEMPDEV State() { return static_cast<POEMPDEV>(host->devobj()->pdevOEM); }

    std::filesystem::path root;
    HANDLE printer = nullptr;
    DEVMODEW devmode = {};
    std::unique_ptr<unidrv::UnidrvHost> host;
};

Device& TheDevice() {
    static Device device;
    return device;
}

void CaptureBands(benchmark::State& state) {
    const ULONG bpp = static_cast<ULONG>(state.range(0));
    Device& device = TheDevice();
    device.Enable(bpp);
    const DWORD stride = ((kWidth * bpp + 31) / 32) * 4;
    std::vector<BYTE> band(stride * kBand);
    for (size_t i = 0; i < band.size(); ++i) band[i] = static_cast<BYTE>(i * 131);
    SIZE_T peakBlock = 0;
    for (auto _ : state) {
        for (LONG top = 0; top < kHeight; top += kBand) {
            const LONG rows = kHeight - top < kBand ? kHeight - top : kBand;
            BITMAPINFOHEADER header = {};
            header.biSize = sizeof header;
            header.biWidth = kWidth;
            header.biHeight = rows;
            header.biPlanes = 1;
            header.biBitCount = static_cast<WORD>(bpp);
            header.biSizeImage = stride * rows;
            IPPARAMS params = {};
            params.dwSize = sizeof params;
            params.bBanding = TRUE;
            PBYTE result = nullptr;
            device.host->plugin()->ImageProcessing(device.host->devobj(), band.data(), &header,
                                                   nullptr, bpp == 1 ? BMF_1BPP : BMF_8BPP, &params,
                                                   &result);
        }
        state.PauseTiming();
        POEMPDEV s = device.State();
        peakBlock = LocalSize(s->pBufStart);
        benchmark::DoNotOptimize(s->pBufStart);
        LocalFree(s->pBufStart);
        s->pBufStart = nullptr;
        s->dwBufSize = 0;
        s->bmInfoHeader = {};
        state.ResumeTiming();
    }
    const double pageBytes = static_cast<double>(stride) * kHeight;
    state.counters["page_MB"] = pageBytes / 1e6;
    // The page block is the capture's memory: its size at the end of the page.
    state.counters["page_block_MB"] = static_cast<double>(peakBlock) / 1e6;
    state.counters["rows_per_s"] = benchmark::Counter(
        static_cast<double>(kHeight), benchmark::Counter::kIsIterationInvariantRate);
    device.host.reset();
}

BENCHMARK(CaptureBands)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace
