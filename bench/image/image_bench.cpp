// The image operations of the page pipeline on a 576 x 10000 page at 1 and 8 bits per pixel.
//
// At 1 bpp Dither returns at once (the page is already black and white); it is listed so
// that the table is complete.
//
// Each iteration copies a prepared page (not timed) and runs one operation on it; the rate
// reported as "rows/s" counts source rows.

#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <random>

#include "ximage.h"

namespace {

constexpr DWORD kWidth = 576;
constexpr DWORD kHeight = 10000;

// A receipt-like page: white with bands of text-like dots (1 bpp) or grey ramps (8 bpp).
const CxImage& Page(DWORD bpp) {
    static CxImage pages[2];
    CxImage& page = pages[bpp == 1 ? 0 : 1];
    if (!page.IsValid()) {
        page.Create(kWidth, kHeight, bpp);
        std::mt19937 rng(42);
        if (bpp == 1) {
            page.SetStandardPalette();
            for (DWORD y = 0; y < kHeight; ++y) {
                BYTE* row = page.GetRow(y);
                const bool text = (y / 24) % 3 != 2;
                for (DWORD i = 0; i < kWidth / 8; ++i) {
                    row[i] = text ? static_cast<BYTE>(rng() | rng()) : 0xFF;
                }
            }
        } else {
            page.SetGreyPalette();
            for (DWORD y = 0; y < kHeight; ++y) {
                BYTE* row = page.GetRow(y);
                for (DWORD x = 0; x < kWidth; ++x) {
                    row[x] = static_cast<BYTE>((x + y / 8 + (rng() & 15)) & 0xFF);
                }
            }
        }
    }
    return page;
}

void CopyPage(const CxImage& from, CxImage& to) {
    to.Create(from.GetWidth(), from.GetHeight(), from.GetBpp());
    to.SetPalette(from.GetPalette(), from.GetNumColors());
    std::memcpy(to.GetBits(), from.GetBits(), from.GetHeader().biSizeImage);
}

void Run(benchmark::State& state, DWORD bpp, const std::function<bool(CxImage&)>& op) {
    const CxImage& page = Page(bpp);
    CxImage img;
    for (auto _ : state) {
        state.PauseTiming();
        CopyPage(page, img);
        state.ResumeTiming();
        if (!op(img)) state.SkipWithError("operation failed");
        benchmark::DoNotOptimize(img.GetBits());
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(kHeight),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void RegisterAll() {
    struct Op {
        const char* name;
        std::function<bool(CxImage&)> run;
    };
    const Op ops[] = {
        {"RotateLeft", [](CxImage& i) { return i.RotateLeft(); }},
        {"Rotate180", [](CxImage& i) { return i.Rotate180(); }},
        {"Crop", [](CxImage& i) { return i.Crop(13, kHeight - 100, kWidth - 27, 200); }},
        {"Resample50", [](CxImage& i) { return i.Resample(kWidth / 2, kHeight / 2); }},
        {"AdjustBrightness", [](CxImage& i) { return i.AdjustBrightness(30); }},
        {"DitherErrorDiffusion",
         [](CxImage& i) { return i.Dither(CxImage::DITHER_ERROR_DIFFUSION); }},
        {"DitherThreeRow", [](CxImage& i) { return i.Dither(CxImage::DITHER_THREE_ROW); }},
        {"DitherOrdered4x4", [](CxImage& i) { return i.Dither(CxImage::DITHER_ORDERED_4X4); }},
        {"DitherMatrix4x4", [](CxImage& i) { return i.Dither(CxImage::DITHER_MATRIX_4X4); }},
        {"DitherMatrix8x8", [](CxImage& i) { return i.Dither(CxImage::DITHER_MATRIX_8X8); }},
        {"DecreaseBpp", [](CxImage& i) { return i.DecreaseBpp(1); }},
    };
    for (DWORD bpp : {1u, 8u}) {
        for (const Op& op : ops) {
            const std::string name = std::string(op.name) + "/" + std::to_string(bpp) + "bpp";
            auto fn = op.run;
            benchmark::RegisterBenchmark(name.c_str(), [fn, bpp](benchmark::State& s) {
                Run(s, bpp, fn);
            })->Unit(benchmark::kMillisecond);
        }
    }
}

const int kRegistered = (RegisterAll(), 0);

}  // namespace
