// Whole page conversion: the captured page bitmap of one page (as band capture leaves it)
// turned into queued raster commands by CreateImageData. Pages of 576 x 2000 and 576 x 20000
// dots: monochrome compressed and plain (1 bpp captured), greyscale compressed and error
// diffusion (8 bpp captured). Counters: rows per second, bytes out.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <vector>

#include "intrface.h"
#include "oempdev.h"
#include "page/page_preparation.h"
#include "plugin/debug_log.h"
#include "win32/heap.h"
#include "win32/system_root.h"

namespace {

constexpr DWORD kWidth = 576;

// A receipt-like page: lines of text-like dots, white gaps, a grey picture every 1000 rows.
std::vector<BYTE> MakePage(DWORD height, WORD bpp) {
    const DWORD eff = bpp == 1 ? kWidth / 8 : kWidth;
    std::vector<BYTE> bits(static_cast<size_t>(eff) * height, bpp == 1 ? 0xFF : 0xFF);
    std::mt19937 rng(42);
    for (DWORD y = 0; y < height; ++y) {
        const DWORD block = y % 1000;
        BYTE* row = bits.data() + static_cast<size_t>(y) * eff;
        if (block < 200) {  // picture: grey gradient
            for (DWORD x = 100; x < 476; ++x) {
                const BYTE level = static_cast<BYTE>((x + block) & 0xFF);
                if (bpp == 8) {
                    row[x] = level;
                } else if (((x * 7 + y * 3) & 0xFF) > level) {
                    row[x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
                }
            }
        } else if ((y % 40) < 24) {  // a text line: glyph-like dots in 12-dot cells
            for (DWORD x = 8; x < kWidth - 8; ++x) {
                if ((x % 12) < 9 && (rng() % 3) == 0) {
                    if (bpp == 8) {
                        row[x] = 0;
                    } else {
                        row[x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
                    }
                }
            }
        }
    }
    return bits;
}

struct Fixture {
    CRenderPlugin* plugin = new (std::nothrow) CRenderPlugin();
    POEMPDEV state = static_cast<POEMPDEV>(LocalAlloc(LPTR, sizeof(OEMPDEV)));
    DEVOBJ devobj{};
    Fixture() { devobj.pdevOEM = state; }
    ~Fixture() {
        LocalFree(state->pColorTable);
        LocalFree(state->pBufStart);
        LocalFree(state);
        if (plugin->m_pPrintBuf) LocalFree(plugin->m_pPrintBuf);
        plugin->m_pPrintBuf = nullptr;
        plugin->Release();
    }
    // The page as band capture leaves it.
    void Capture(const std::vector<BYTE>& bits, DWORD height, WORD bpp) {
        state->pBufStart = static_cast<PBYTE>(LocalAlloc(0, bits.size()));
        std::memcpy(state->pBufStart, bits.data(), bits.size());
        state->dwBufSize = static_cast<DWORD>(bits.size());
        state->dwColorTableEntries = bpp == 1 ? 2 : 256;
        LocalFree(state->pColorTable);
        state->pColorTable = static_cast<PBYTE>(LocalAlloc(LPTR, state->dwColorTableEntries * 4));
        for (DWORD i = 0; i < state->dwColorTableEntries; ++i) {
            const BYTE v = bpp == 1 ? static_cast<BYTE>(i * 255) : static_cast<BYTE>(i);
            state->pColorTable[i * 4] = state->pColorTable[i * 4 + 1] =
                state->pColorTable[i * 4 + 2] = v;
        }
        state->bmInfoHeader = {};
        state->bmInfoHeader.biSize = 40;
        state->bmInfoHeader.biWidth = kWidth;
        state->bmInfoHeader.biHeight = static_cast<LONG>(height);
        state->bmInfoHeader.biPlanes = 1;
        state->bmInfoHeader.biBitCount = bpp;
        state->bmInfoHeader.biSizeImage = static_cast<DWORD>(bits.size());
        if (plugin->m_pPrintBuf) LocalFree(plugin->m_pPrintBuf);
        plugin->m_pPrintBuf = nullptr;
        plugin->m_dwTotalBufSize = 0;
    }
};

enum Mode { kMonoRle, kMonoPlain, kGreyRle, kDiffusion };

void BM_PageConversion(benchmark::State& st) {
    static bool rootReady = false;
    if (!rootReady) {
        const auto dir = std::filesystem::temp_directory_path() / "kv580_page_bench";
        std::filesystem::create_directories(dir);
        platform::SetSystemRoot(dir);
        rootReady = true;
    }
    g_bDebugLog = FALSE;
    const DWORD height = static_cast<DWORD>(st.range(0));
    const Mode mode = static_cast<Mode>(st.range(1));
    const WORD bpp = (mode == kGreyRle || mode == kDiffusion) ? 8 : 1;
    const std::vector<BYTE> bits = MakePage(height, bpp);
    Fixture f;
    BYTE* v = f.state->UIInfo.byteValue;
    v[31] = 1;   // ticket paper: the whole page, no blank-tail scan
    v[35] = 10;  // brightness unchanged
    v[36] = (mode == kMonoPlain) ? 0 : 1;
    v[33] = (mode == kGreyRle) ? 1 : 0;
    v[34] = (mode == kDiffusion) ? 1 : 0;
    DWORD bytesOut = 0;
    for (auto _ : st) {
        st.PauseTiming();
        f.Capture(bits, height, bpp);
        st.ResumeTiming();
        CreateImageData(f.plugin, &f.devobj);
        bytesOut = f.plugin->m_dwTotalBufSize;
    }
    st.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(height),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    st.counters["bytes_out"] = bytesOut;
}

void Args(benchmark::internal::Benchmark* b) {
    for (int h : {2000, 20000}) {
        for (int m : {kMonoRle, kMonoPlain, kGreyRle, kDiffusion}) b->Args({h, m});
    }
    b->ArgNames({"rows", "mode"})->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_PageConversion)->Apply(Args);

}  // namespace
