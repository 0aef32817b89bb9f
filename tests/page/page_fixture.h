// The page pipeline called directly: a plug-in object for the output buffer, a device state
// with its settings, images built from rows, and the emulator's decoder to read the commands.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "intrface.h"
#include "oempdev.h"
#include "plugin/debug_log.h"
#include "test_support.h"
#include "win32/heap.h"
#include "ximage.h"

namespace page_test {

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::make_unique<testing_support::TempRoot>();
        g_bDebugLog = FALSE;
        plugin = new (std::nothrow) CRenderPlugin();
        state = static_cast<POEMPDEV>(LocalAlloc(LPTR, sizeof(OEMPDEV)));
        ASSERT_NE(state, nullptr);
        devobj.pdevOEM = state;
    }
    void TearDown() override {
        LocalFree(state->pTxtBufStart);
        LocalFree(state->pDevTxtBufStart);
        LocalFree(state->pImgRectBufStart);
        LocalFree(state->pBufStart);
        LocalFree(state->pColorTable);
        LocalFree(state);
        if (plugin->m_pPrintBuf != nullptr) LocalFree(plugin->m_pPrintBuf);
        plugin->m_pPrintBuf = nullptr;
        plugin->Release();
        root.reset();
    }

    BYTE* settings() { return state->UIInfo.byteValue; }

    // The bytes queued so far.
    std::string Output() const {
        return std::string(reinterpret_cast<const char*>(plugin->m_pPrintBuf),
                           plugin->m_dwTotalBufSize);
    }
    void ClearOutput() {
        if (plugin->m_pPrintBuf != nullptr) LocalFree(plugin->m_pPrintBuf);
        plugin->m_pPrintBuf = nullptr;
        plugin->m_dwTotalBufSize = 0;
    }

public:
    // Sets a heap copy of bytes as a page buffer of the device state.
    static void SetBuffer(PBYTE& buf, DWORD& size, const std::vector<BYTE>& bytes) {
        LocalFree(buf);
        buf = static_cast<PBYTE>(LocalAlloc(LPTR, bytes.size() + 1));
        std::memcpy(buf, bytes.data(), bytes.size());
        size = static_cast<DWORD>(bytes.size());
    }

protected:
    void SetImageRects(const std::vector<std::array<WORD, 4>>& rects) {
        std::vector<BYTE> bytes;
        for (const auto& r : rects) {
            for (WORD w : r) {
                bytes.push_back(static_cast<BYTE>(w & 0xFF));
                bytes.push_back(static_cast<BYTE>(w >> 8));
            }
        }
        SetBuffer(state->pImgRectBufStart, state->dwImgRectBufSize, bytes);
    }

    std::unique_ptr<testing_support::TempRoot> root;
    CRenderPlugin* plugin = nullptr;
    POEMPDEV state = nullptr;
    DEVOBJ devobj{};
};

// A device-text record: 21-byte header, field A, field B.
inline std::vector<BYTE> DeviceRecord(BYTE type, WORD height, WORD y, const std::string& a,
                                      const std::string& b = {}) {
    // Sized once and filled in place (GCC 12 warns falsely about inserting into a short vector).
    std::vector<BYTE> r(21 + a.size() + b.size(), 0);
    r[0] = type;
    r[1] = static_cast<BYTE>(height);
    r[2] = static_cast<BYTE>(height >> 8);
    r[15] = static_cast<BYTE>(y);
    r[16] = static_cast<BYTE>(y >> 8);
    r[17] = static_cast<BYTE>(a.size());
    r[18] = static_cast<BYTE>(a.size() >> 8);
    r[19] = static_cast<BYTE>(b.size());
    r[20] = static_cast<BYTE>(b.size() >> 8);
    std::copy(a.begin(), a.end(), r.begin() + 21);
    std::copy(b.begin(), b.end(), r.begin() + 21 + static_cast<std::ptrdiff_t>(a.size()));
    return r;
}

// A 1-bpp image (palette 0 black, 1 white) whose dot (x, y) is black when black(x, y).
template <typename F>
void MakeMono(CxImage& image, DWORD w, DWORD h, F black) {
    ASSERT_NE(image.Create(w, h, 1), nullptr);
    const RGBQUAD pal[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    image.SetPalette(pal, 2);
    for (DWORD y = 0; y < h; ++y) {
        for (DWORD x = 0; x < w; ++x) {
            image.SetPixelIndex(static_cast<long>(x), static_cast<long>(y), black(x, y) ? 0 : 1);
        }
    }
}

// Row y carries its own number: dots 0..15 hold y in binary (most significant first).
inline bool RowNumberDot(DWORD x, DWORD y) {
    return x < 16 && ((y >> (15 - x)) & 1) != 0;
}

// One raster command read back: its plane bytes, width in bytes, rows and plane selector.
struct Raster {
    emulator::CommandKind kind;
    int widthBytes = 0;
    int rows = 0;
    int plane = 0;
    std::vector<uint8_t> data;
};

inline std::vector<emulator::Command> DecodeCommands(const std::string& bytes) {
    return emulator::Decode(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

inline std::vector<Raster> Rasters(const std::string& bytes) {
    std::vector<Raster> out;
    for (const auto& c : DecodeCommands(bytes)) {
        Raster r;
        r.kind = c.kind;
        if (c.kind == emulator::CommandKind::RasterImage) {
            r.widthBytes = static_cast<int>(c.arg("width_bytes"));
        } else if (c.kind == emulator::CommandKind::CompressedRaster) {
            r.widthBytes = static_cast<int>((c.arg("width_dots") + 7) / 8);
            r.plane = static_cast<int>(c.arg("plane"));
        } else {
            continue;
        }
        r.rows = static_cast<int>(c.arg("height"));
        r.data = c.data;
        out.push_back(r);
    }
    return out;
}

// The monochrome dots of all raster commands of the bytes, stacked: one string per row,
// '#' black, '.' white, width dots wide.
inline std::vector<std::string> DecodedRows(const std::string& bytes, int width) {
    std::vector<std::string> rows;
    for (const auto& r : Rasters(bytes)) {
        for (int y = 0; y < r.rows; ++y) {
            std::string row(static_cast<size_t>(width), '.');
            for (int x = 0; x < width && x / 8 < r.widthBytes; ++x) {
                const uint8_t b = r.data[static_cast<size_t>(y * r.widthBytes + x / 8)];
                if ((b >> (7 - x % 8)) & 1) row[static_cast<size_t>(x)] = '#';
            }
            rows.push_back(row);
        }
    }
    return rows;
}

// The rows of an image in the same form (black: red, green or blue below 128).
inline std::vector<std::string> ImageRows(const CxImage& image, DWORD first, DWORD count) {
    std::vector<std::string> rows;
    for (DWORD y = first; y < first + count; ++y) {
        std::string row(image.GetWidth(), '.');
        for (DWORD x = 0; x < image.GetWidth(); ++x) {
            const RGBQUAD c = image.GetPixelColor(static_cast<long>(x), static_cast<long>(y));
            if (c.rgbRed < 128 || c.rgbGreen < 128 || c.rgbBlue < 128) row[x] = '#';
        }
        rows.push_back(row);
    }
    return rows;
}

// The row number a decoded row carries (see RowNumberDot).
inline int RowNumberOf(const std::string& row) {
    int n = 0;
    for (int x = 0; x < 16; ++x) n = n * 2 + (row[static_cast<size_t>(x)] == '#' ? 1 : 0);
    return n;
}

}  // namespace page_test
