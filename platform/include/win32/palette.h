// Palettes of the graphics engine: device palettes made by drivers and read back by entries.
//
// A palette handle (HPALETTE) made by EngCreatePalette stays valid until EngDeletePalette.
// Indexed palettes hold their colours (0x00BBGGRR per entry, as the engine takes them);
// bit-field and RGB/BGR palettes hold no entries.
#pragma once

#include "win32/types.h"

constexpr ULONG PAL_INDEXED = 0x00000001;
constexpr ULONG PAL_BITFIELDS = 0x00000002;
constexpr ULONG PAL_RGB = 0x00000004;
constexpr ULONG PAL_BGR = 0x00000008;
constexpr ULONG PAL_CMYK = 0x00000010;

// One palette entry as GetPaletteEntries hands it out.
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};
using PPALETTEENTRY = PALETTEENTRY*;
using LPPALETTEENTRY = PALETTEENTRY*;
static_assert(sizeof(PALETTEENTRY) == 4);

extern "C" {

// EngCreatePalette: a new palette. PAL_INDEXED copies cColors entries from pulColors (which
// must then be given, cColors 1..65536); PAL_BITFIELDS keeps the three masks; PAL_RGB and
// PAL_BGR need nothing. NULL for an unknown mode or bad arguments, or when memory runs out.
HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed, FLONG flGreen,
                          FLONG flBlue);
// EngDeletePalette: releases the palette; FALSE for a handle that is not a live palette.
BOOL EngDeletePalette(HPALETTE hpal);

// GetPaletteEntries: copies up to cEntries entries from iStartIndex into lppe and returns how
// many were copied; with lppe NULL returns the number of entries of the palette. 0 for a bad
// handle (ERROR_INVALID_HANDLE), a palette without entries, or a start beyond the last entry.
UINT GetPaletteEntries(HPALETTE hpal, UINT iStartIndex, UINT cEntries, LPPALETTEENTRY lppe);

}  // extern "C"

namespace platform {
// Test helper: makes an indexed palette from entries (what a host driver would hand out as
// its default device palette). Delete with EngDeletePalette.
HPALETTE CreateIndexedPalette(const PALETTEENTRY* entries, UINT count);
// The mode a live palette was made with (PAL_INDEXED, ...); 0 for a bad handle.
ULONG PaletteMode(HPALETTE hpal);
}  // namespace platform
