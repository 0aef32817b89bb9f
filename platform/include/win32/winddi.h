// Graphics engine (DDI) types that printer drivers and their plug-ins receive.
//
// Written from the published meanings of the display and printer driver interface: surface and
// device objects, the driver's function table (DRVENABLEDATA / DRVFN), the device capability
// records (GDIINFO, DEVINFO) and the signatures of the drawing functions a plug-in may hook.
// Objects the engine owns and the drivers only pass along (CLIPOBJ, XLATEOBJ, BRUSHOBJ, ...)
// are declared with their public fields where a driver reads them, else left opaque.
#pragma once

#include "win32/types.h"
#include "win32/wingdi.h"  // LOGFONTW

// ---- Handles of the engine -------------------------------------------------------------------
struct DHPDEV__;
using DHPDEV = DHPDEV__*;  // the driver's device (for Unidrv plug-ins: the PDEVOBJ)
struct DHSURF__;
using DHSURF = DHSURF__*;
struct HSURF__;
using HSURF = HSURF__*;
struct HDEV__;
using HDEV = HDEV__*;
using HGLYPH = ULONG;
using MIX = ULONG;
using ROP4 = ULONG;
using FIX = LONG;
using PFN = LONG_PTR (*)();

// ---- Surfaces -----------------------------------------------------------------------------
constexpr USHORT STYPE_BITMAP = 0;
constexpr USHORT STYPE_DEVICE = 1;
constexpr USHORT STYPE_DEVBITMAP = 3;

constexpr ULONG BMF_1BPP = 1;
constexpr ULONG BMF_4BPP = 2;
constexpr ULONG BMF_8BPP = 3;
constexpr ULONG BMF_16BPP = 4;
constexpr ULONG BMF_24BPP = 5;
constexpr ULONG BMF_32BPP = 6;

constexpr USHORT BMF_TOPDOWN = 0x0001;
constexpr USHORT BMF_NOZEROINIT = 0x0002;
constexpr USHORT BMF_DONTCACHE = 0x0004;
constexpr USHORT BMF_USERMEM = 0x0008;
constexpr USHORT BMF_KMSECTION = 0x0010;

// A drawing surface. For printer drivers `dhpdev` leads to the device; a Unidrv plug-in's hooks
// find their device object (PDEVOBJ) there.
struct SURFOBJ {
    DHSURF dhsurf;
    HSURF hsurf;
    DHPDEV dhpdev;
    HDEV hdev;
    SIZEL sizlBitmap;
    ULONG cjBits;
    PVOID pvBits;
    PVOID pvScan0;
    LONG lDelta;
    ULONG iUniq;
    ULONG iBitmapFormat;
    USHORT iType;
    USHORT fjBitmap;
};
using PSURFOBJ = SURFOBJ*;

// ---- Objects drivers receive and pass on ----------------------------------------------------
struct CLIPOBJ {
    ULONG iUniq;
    RECTL rclBounds;
    BYTE iDComplexity;
    BYTE iFComplexity;
    BYTE iMode;
    BYTE fjOptions;
};
struct XLATEOBJ {
    ULONG iUniq;
    FLONG flXlate;
    USHORT iSrcType;
    USHORT iDstType;
    ULONG cEntries;
    ULONG* pulXlate;
};
struct BRUSHOBJ {
    ULONG iSolidColor;
    PVOID pvRbrush;
    FLONG flColorType;
};
struct PATHOBJ {
    FLONG fl;
    ULONG cCurves;
};
struct XFORMOBJ {
    ULONG ulReserved;
};
struct LINEATTRS;
struct BLENDOBJ;
struct COLORADJUSTMENT;
struct TRIVERTEX;
struct GLYPHDATA;
struct IFIMETRICS;
using PIFIMETRICS = IFIMETRICS*;

struct POINTFIX {
    FIX x;
    FIX y;
};

// One glyph of a text run as the engine hands it out.
struct GLYPHBITS;
struct GLYPHDEF {
    union {
        GLYPHBITS* pgb;
        PATHOBJ* ppo;
    };
};
struct GLYPHPOS {
    HGLYPH hg;
    GLYPHDEF* pgdf;
    POINTL ptl;
};

// A run of text to draw: glyph count, accelerators, background box, positions, the characters.
struct STROBJ {
    ULONG cGlyphs;
    FLONG flAccel;
    ULONG ulCharInc;
    RECTL rclBkGround;
    GLYPHPOS* pgp;
    LPWSTR pwszOrg;
};

// The font a text run is drawn with.
struct FONTOBJ {
    ULONG iUniq;
    ULONG iFace;
    ULONG cxMax;
    FLONG flFontType;
    ULONG_PTR iTTUniq;
    ULONG_PTR iFile;
    SIZE sizLogResPpi;
    ULONG ulStyleSize;
    PVOID pvConsumer;
    PVOID pvProducer;
};

// ---- The driver's function table -------------------------------------------------------------
constexpr ULONG DDI_DRIVER_VERSION_NT4 = 0x00020000;
constexpr ULONG DDI_DRIVER_VERSION_NT5 = 0x00030000;

struct DRVFN {
    ULONG iFunc;
    PFN pfn;
};
using PDRVFN = DRVFN*;

struct DRVENABLEDATA {
    ULONG iDriverVersion;
    ULONG c;
    DRVFN* pdrvfn;
};
using PDRVENABLEDATA = DRVENABLEDATA*;

// Function table entries are untyped; these convert a typed function to and from the entry form.
template <typename F>
inline PFN ToPfn(F function) {
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(function));
}
template <typename F>
inline F FromPfn(PFN function) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(function));
}

// Published indexes of the drawing functions in a driver's function table.
constexpr ULONG INDEX_DrvRealizeBrush = 12;
constexpr ULONG INDEX_DrvDitherColor = 13;
constexpr ULONG INDEX_DrvStrokePath = 14;
constexpr ULONG INDEX_DrvFillPath = 15;
constexpr ULONG INDEX_DrvStrokeAndFillPath = 16;
constexpr ULONG INDEX_DrvPaint = 17;
constexpr ULONG INDEX_DrvBitBlt = 18;
constexpr ULONG INDEX_DrvCopyBits = 19;
constexpr ULONG INDEX_DrvStretchBlt = 20;
constexpr ULONG INDEX_DrvTextOut = 23;
constexpr ULONG INDEX_DrvEscape = 24;
constexpr ULONG INDEX_DrvQueryFont = 26;
constexpr ULONG INDEX_DrvQueryFontTree = 27;
constexpr ULONG INDEX_DrvQueryFontData = 28;
constexpr ULONG INDEX_DrvLineTo = 31;
constexpr ULONG INDEX_DrvSendPage = 32;
constexpr ULONG INDEX_DrvStartPage = 33;
constexpr ULONG INDEX_DrvEndDoc = 34;
constexpr ULONG INDEX_DrvStartDoc = 35;
constexpr ULONG INDEX_DrvGetGlyphMode = 37;
constexpr ULONG INDEX_DrvFontManagement = 47;
constexpr ULONG INDEX_DrvQueryAdvanceWidths = 53;
constexpr ULONG INDEX_DrvStartBanding = 57;
constexpr ULONG INDEX_DrvNextBand = 58;
constexpr ULONG INDEX_DrvGradientFill = 68;
constexpr ULONG INDEX_DrvStretchBltROP = 69;
constexpr ULONG INDEX_DrvPlgBlt = 70;
constexpr ULONG INDEX_DrvAlphaBlend = 71;
constexpr ULONG INDEX_DrvTransparentBlt = 74;

// Signatures of the hookable drawing functions.
using PFN_DrvAlphaBlend = BOOL (*)(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*,
                                   BLENDOBJ*);
using PFN_DrvBitBlt = BOOL (*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*,
                               POINTL*, BRUSHOBJ*, POINTL*, ROP4);
using PFN_DrvCopyBits = BOOL (*)(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*);
using PFN_DrvDitherColor = ULONG (*)(DHPDEV, ULONG, ULONG, ULONG*);
using PFN_DrvFillPath = BOOL (*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG);
using PFN_DrvFontManagement = ULONG (*)(SURFOBJ*, FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID);
using PFN_DrvGetGlyphMode = ULONG (*)(DHPDEV, FONTOBJ*);
using PFN_DrvGradientFill = BOOL (*)(SURFOBJ*, CLIPOBJ*, XLATEOBJ*, TRIVERTEX*, ULONG, PVOID, ULONG,
                                     RECTL*, POINTL*, ULONG);
using PFN_DrvLineTo = BOOL (*)(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, LONG, LONG, LONG, LONG, RECTL*, MIX);
using PFN_DrvPaint = BOOL (*)(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX);
using PFN_DrvPlgBlt = BOOL (*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*,
                               POINTL*, POINTFIX*, RECTL*, POINTL*, ULONG);
using PFN_DrvQueryAdvanceWidths = BOOL (*)(DHPDEV, FONTOBJ*, ULONG, HGLYPH*, PVOID, ULONG);
using PFN_DrvQueryFont = PIFIMETRICS (*)(DHPDEV, ULONG_PTR, ULONG, ULONG_PTR*);
using PFN_DrvQueryFontData = LONG (*)(DHPDEV, FONTOBJ*, ULONG, HGLYPH, GLYPHDATA*, PVOID, ULONG);
using PFN_DrvQueryFontTree = PVOID (*)(DHPDEV, ULONG_PTR, ULONG, ULONG, ULONG_PTR*);
using PFN_DrvRealizeBrush = BOOL (*)(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG);
using PFN_DrvStretchBlt = BOOL (*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*,
                                   COLORADJUSTMENT*, POINTL*, RECTL*, RECTL*, POINTL*, ULONG);
using PFN_DrvStretchBltROP = BOOL (*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*,
                                      COLORADJUSTMENT*, POINTL*, RECTL*, RECTL*, POINTL*, ULONG,
                                      BRUSHOBJ*, ROP4);
using PFN_DrvStrokeAndFillPath = BOOL (*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*,
                                          LINEATTRS*, BRUSHOBJ*, POINTL*, MIX, FLONG);
using PFN_DrvStrokePath = BOOL (*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*,
                                   LINEATTRS*, MIX);
using PFN_DrvTextOut = BOOL (*)(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                                BRUSHOBJ*, POINTL*, MIX);
using PFN_DrvTransparentBlt = BOOL (*)(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*,
                                       ULONG, ULONG);
using PFN_DrvStartDoc = BOOL (*)(SURFOBJ*, LPWSTR, DWORD);
using PFN_DrvEndDoc = BOOL (*)(SURFOBJ*, FLONG);
using PFN_DrvStartPage = BOOL (*)(SURFOBJ*);
using PFN_DrvSendPage = BOOL (*)(SURFOBJ*);
using PFN_DrvStartBanding = BOOL (*)(SURFOBJ*, POINTL*);
using PFN_DrvNextBand = BOOL (*)(SURFOBJ*, POINTL*);
using PFN_DrvEscape = ULONG (*)(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID);

// ---- Device capabilities -------------------------------------------------------------------
struct CIECHROMA {
    LONG x;
    LONG y;
    LONG Y;
};
struct COLORINFO {
    CIECHROMA Red;
    CIECHROMA Green;
    CIECHROMA Blue;
    CIECHROMA Cyan;
    CIECHROMA Magenta;
    CIECHROMA Yellow;
    CIECHROMA AlignmentWhite;
    LONG RedGamma;
    LONG GreenGamma;
    LONG BlueGamma;
    LONG MagentaInCyanDye;
    LONG YellowInCyanDye;
    LONG CyanInMagentaDye;
    LONG YellowInMagentaDye;
    LONG CyanInYellowDye;
    LONG MagentaInYellowDye;
};

// What the device reports about itself when it is enabled.
struct GDIINFO {
    ULONG ulVersion;
    ULONG ulTechnology;
    ULONG ulHorzSize;
    ULONG ulVertSize;
    ULONG ulHorzRes;
    ULONG ulVertRes;
    ULONG cBitsPixel;
    ULONG cPlanes;
    ULONG ulNumColors;
    FLONG flRaster;
    ULONG ulLogPixelsX;
    ULONG ulLogPixelsY;
    FLONG flTextCaps;
    ULONG ulDACRed;
    ULONG ulDACGreen;
    ULONG ulDACBlue;
    ULONG ulAspectX;
    ULONG ulAspectY;
    ULONG ulAspectXY;
    LONG xStyleStep;
    LONG yStyleStep;
    LONG denStyleStep;
    POINTL ptlPhysOffset;
    SIZEL szlPhysSize;
    ULONG ulNumPalReg;
    COLORINFO ciDevice;
    ULONG ulDevicePelsDPI;
    ULONG ulPrimaryOrder;
    ULONG ulHTPatternSize;
    ULONG ulHTOutputFormat;
    FLONG flHTFlags;
    ULONG ulVRefresh;
    ULONG ulBltAlignment;
    ULONG ulPanningHorzRes;
    ULONG ulPanningVertRes;
    ULONG xPanningAlignment;
    ULONG yPanningAlignment;
    ULONG cxHTPat;
    ULONG cyHTPat;
    LPBYTE pHTPatA;
    LPBYTE pHTPatB;
    LPBYTE pHTPatC;
    ULONG flShadeBlend;
    ULONG ulPhysicalPixelCharacteristics;
    ULONG ulPhysicalPixelGamma;
};
using PGDIINFO = GDIINFO*;

// The device's drawing capabilities, default fonts and default palette.
struct DEVINFO {
    FLONG flGraphicsCaps;
    LOGFONTW lfDefaultFont;
    LOGFONTW lfAnsiVarFont;
    LOGFONTW lfAnsiFixFont;
    ULONG cFonts;
    ULONG iDitherFormat;
    USHORT cxDither;
    USHORT cyDither;
    HPALETTE hpalDefault;
    FLONG flGraphicsCaps2;
};
using PDEVINFO = DEVINFO*;

// ---- Fonts and text objects -------------------------------------------------------------------
// Kinds of font a FONTOBJ stands for, and the simulations the engine applies.
constexpr FLONG FO_TYPE_RASTER = 0x00000001;
constexpr FLONG FO_TYPE_DEVICE = 0x00000002;
constexpr FLONG FO_TYPE_TRUETYPE = 0x00000004;
constexpr FLONG FO_TYPE_OPENTYPE = 0x00000008;
constexpr FLONG FO_SIM_BOLD = 0x00002000;
constexpr FLONG FO_SIM_ITALIC = 0x00004000;

// IFIMETRICS fsSelection bits.
constexpr USHORT FM_SEL_ITALIC = 0x0001;
constexpr USHORT FM_SEL_UNDERSCORE = 0x0002;
constexpr USHORT FM_SEL_NEGATIVE = 0x0004;
constexpr USHORT FM_SEL_OUTLINED = 0x0008;
constexpr USHORT FM_SEL_STRIKEOUT = 0x0010;
constexpr USHORT FM_SEL_BOLD = 0x0020;
constexpr USHORT FM_SEL_REGULAR = 0x0040;

// Complexity of a transform (XFORMOBJ_iGetXform).
constexpr ULONG GX_IDENTITY = 0;
constexpr ULONG GX_OFFSET = 1;
constexpr ULONG GX_SCALE = 2;
constexpr ULONG GX_GENERAL = 3;
constexpr ULONG DDI_ERROR = 0xFFFFFFFF;

using FLOATL = float;
using FWORD = SHORT;
using PTRDIFF = LONG_PTR;

// A transform in floating point: x' = eM11 x + eM21 y + eDx, y' = eM12 x + eM22 y + eDy.
struct XFORML {
    FLOATL eM11;
    FLOATL eM12;
    FLOATL eM21;
    FLOATL eM22;
    FLOATL eDx;
    FLOATL eDy;
};
using PXFORML = XFORML*;

struct PANOSE {
    BYTE bFamilyType;
    BYTE bSerifStyle;
    BYTE bWeight;
    BYTE bProportion;
    BYTE bContrast;
    BYTE bStrokeVariation;
    BYTE bArmStyle;
    BYTE bLetterform;
    BYTE bMidline;
    BYTE bXHeight;
};

// What the engine knows about a font face. The names are UTF-16 strings stored after the
// record; the dpwsz members are their byte offsets from the start of the record.
struct IFIMETRICS {
    ULONG cjThis;
    ULONG cjIfiExtra;
    PTRDIFF dpwszFamilyName;
    PTRDIFF dpwszStyleName;
    PTRDIFF dpwszFaceName;
    PTRDIFF dpwszUniqueName;
    PTRDIFF dpFontSim;
    LONG lEmbedId;
    LONG lItalicAngle;
    LONG lCharBias;
    PTRDIFF dpCharSets;
    BYTE jWinCharSet;
    BYTE jWinPitchAndFamily;
    USHORT usWinWeight;
    ULONG flInfo;
    USHORT fsSelection;
    USHORT fsType;
    FWORD fwdUnitsPerEm;
    FWORD fwdLowestPPEm;
    FWORD fwdWinAscender;
    FWORD fwdWinDescender;
    FWORD fwdMacAscender;
    FWORD fwdMacDescender;
    FWORD fwdMacLineGap;
    FWORD fwdTypoAscender;
    FWORD fwdTypoDescender;
    FWORD fwdTypoLineGap;
    FWORD fwdAveCharWidth;
    FWORD fwdMaxCharInc;
    FWORD fwdCapHeight;
    FWORD fwdXHeight;
    FWORD fwdSubscriptXSize;
    FWORD fwdSubscriptYSize;
    FWORD fwdSubscriptXOffset;
    FWORD fwdSubscriptYOffset;
    FWORD fwdSuperscriptXSize;
    FWORD fwdSuperscriptYSize;
    FWORD fwdSuperscriptXOffset;
    FWORD fwdSuperscriptYOffset;
    FWORD fwdUnderscoreSize;
    FWORD fwdUnderscorePosition;
    FWORD fwdStrikeoutSize;
    FWORD fwdStrikeoutPosition;
    BYTE chFirstChar;
    BYTE chLastChar;
    BYTE chDefaultChar;
    BYTE chBreakChar;
    WCHAR wcFirstChar;
    WCHAR wcLastChar;
    WCHAR wcDefaultChar;
    WCHAR wcBreakChar;
    POINTL ptlBaseline;
    POINTL ptlAspect;
    POINTL ptlCaret;
    RECTL rclFontBox;
    BYTE achVendId[4];
    ULONG cKerningPairs;
    ULONG ulPanoseCulture;
    PANOSE panose;
};

// Engine services for the text objects a driver receives (DrvTextOut). They answer only for
// objects the engine made; any other pointer gives null (DDI_ERROR for XFORMOBJ_iGetXform).
extern "C" {
// The metrics of the font's face.
IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo);
// The transform from the font's notional space (em units) to device space.
XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* pfo);
// Copies the transform into *pxform and returns its complexity (GX_*).
ULONG XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform);
}
