// Engine palettes: EngCreatePalette, EngDeletePalette, GetPaletteEntries.
//
// A palette handle is the address of a Palette record that lives in a table of live palettes,
// so a stale or foreign handle is recognised and refused instead of being read.
#include "win32/palette.h"

#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

struct Palette {
    ULONG mode = 0;
    std::vector<PALETTEENTRY> entries;
    FLONG masks[3] = {0, 0, 0};
};

std::mutex g_paletteLock;

std::unordered_map<HPALETTE, std::unique_ptr<Palette>>& LivePalettes() {
    static auto* table = new std::unordered_map<HPALETTE, std::unique_ptr<Palette>>();
    return *table;
}

constexpr ULONG kMaxPaletteEntries = 65536;

HPALETTE Register(std::unique_ptr<Palette> palette) {
    auto handle = reinterpret_cast<HPALETTE>(palette.get());
    std::lock_guard<std::mutex> lock(g_paletteLock);
    LivePalettes().emplace(handle, std::move(palette));
    return handle;
}

}  // namespace

extern "C" HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed,
                                     FLONG flGreen, FLONG flBlue) {
    auto palette = std::unique_ptr<Palette>(new (std::nothrow) Palette());
    if (!palette) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    palette->mode = iMode;
    switch (iMode) {
        case PAL_INDEXED:
            if (pulColors == nullptr || cColors == 0 || cColors > kMaxPaletteEntries) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            palette->entries.resize(cColors);
            for (ULONG i = 0; i < cColors; ++i) {
                // Engine colours are 0x00BBGGRR.
                palette->entries[i] = {GetRValue(pulColors[i]), GetGValue(pulColors[i]),
                                       GetBValue(pulColors[i]), 0};
            }
            break;
        case PAL_BITFIELDS:
            palette->masks[0] = flRed;
            palette->masks[1] = flGreen;
            palette->masks[2] = flBlue;
            break;
        case PAL_RGB:
        case PAL_BGR:
        case PAL_CMYK:
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
    return Register(std::move(palette));
}

extern "C" BOOL EngDeletePalette(HPALETTE hpal) {
    std::lock_guard<std::mutex> lock(g_paletteLock);
    if (LivePalettes().erase(hpal) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

extern "C" UINT GetPaletteEntries(HPALETTE hpal, UINT iStartIndex, UINT cEntries,
                                  LPPALETTEENTRY lppe) {
    std::lock_guard<std::mutex> lock(g_paletteLock);
    auto it = LivePalettes().find(hpal);
    if (it == LivePalettes().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const auto& entries = it->second->entries;
    const auto count = static_cast<UINT>(entries.size());
    if (lppe == nullptr) {
        return count;
    }
    if (iStartIndex >= count) {
        return 0;
    }
    UINT copied = 0;
    for (UINT i = iStartIndex; i < count && copied < cEntries; ++i, ++copied) {
        lppe[copied] = entries[i];
    }
    return copied;
}

namespace platform {

HPALETTE CreateIndexedPalette(const PALETTEENTRY* entries, UINT count) {
    if (entries == nullptr || count == 0 || count > kMaxPaletteEntries) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto palette = std::unique_ptr<Palette>(new (std::nothrow) Palette());
    if (!palette) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    palette->mode = PAL_INDEXED;
    palette->entries.assign(entries, entries + count);
    return Register(std::move(palette));
}

ULONG PaletteMode(HPALETTE hpal) {
    std::lock_guard<std::mutex> lock(g_paletteLock);
    auto it = LivePalettes().find(hpal);
    return it == LivePalettes().end() ? 0 : it->second->mode;
}

}  // namespace platform
