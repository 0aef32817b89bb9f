// The engine side of text output: the font objects GDI hands a driver's DrvTextOut.
//
// A host (the universal-driver stand-in) describes the font of a text run and gets a FONTOBJ
// whose IFIMETRICS and font transform the engine services of win32/winddi.h answer for
// (FONTOBJ_pifi, FONTOBJ_pxoGetXform, XFORMOBJ_iGetXform). Deliverables never call this.
#pragma once

#include <string>

#include "win32/winddi.h"

namespace platform {

struct EngineFontDescription {
    std::u16string family;                // IFIMETRICS family name
    FLONG flFontType = FO_TYPE_TRUETYPE;  // FO_TYPE_DEVICE for a printer-resident font
    USHORT weight = 400;                  // usWinWeight
    bool italic = false;                  // FO_SIM_ITALIC and FM_SEL_ITALIC
    bool underline = false;               // FM_SEL_UNDERSCORE
    bool strikeout = false;               // FM_SEL_STRIKEOUT
    BYTE charSet = 0;                     // jWinCharSet (ANSI_CHARSET)
    BYTE pitchAndFamily = 0;              // jWinPitchAndFamily
    SHORT unitsPerEm = 2048;              // fwdUnitsPerEm
    double emHeight = 24.0;               // em height in device pixels (the font transform)
    ULONG cxMax = 0;                      // widest glyph in device pixels
};

// Makes a font object for the description; null when the description is unusable (units per
// em below 1, a negative or non-finite height) or memory runs out. Release with
// DeleteEngineFont.
FONTOBJ* CreateEngineFont(const EngineFontDescription& description);
// Releases a font object made by CreateEngineFont; other pointers are ignored.
void DeleteEngineFont(FONTOBJ* pfo);

}  // namespace platform
