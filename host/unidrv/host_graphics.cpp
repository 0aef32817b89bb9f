// The host's graphics functions: the end of every forwarded hook.
#include "host_graphics.h"

#include "text_objects.h"
#include "unidrv_host.h"

namespace unidrv {
namespace {

// The host of the device a surface or device handle leads to.
UnidrvHost* HostOf(DHPDEV dhpdev) {
    if (dhpdev == nullptr) {
        return nullptr;
    }
    // HostDevice starts with its DEVOBJ, so the DEVOBJ's address is the device's.
    return reinterpret_cast<HostDevice*>(dhpdev)->host;
}
UnidrvHost* HostOf(SURFOBJ* pso) {
    return pso == nullptr ? nullptr : HostOf(pso->dhpdev);
}

template <typename Handle>
void Note(Handle handle, const char* name) {
    if (UnidrvHost* host = HostOf(handle)) {
        host->RecordHostCall(name);
    }
}

BOOL AlphaBlend(SURFOBJ* pso, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, BLENDOBJ*) {
    Note(pso, "DrvAlphaBlend");
    return TRUE;
}
BOOL BitBlt(SURFOBJ* pso, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*,
            BRUSHOBJ*, POINTL*, ROP4) {
    Note(pso, "DrvBitBlt");
    return TRUE;
}
BOOL CopyBits(SURFOBJ* pso, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) {
    Note(pso, "DrvCopyBits");
    return TRUE;
}
ULONG DitherColor(DHPDEV dhpdev, ULONG, ULONG, ULONG*) {
    Note(dhpdev, "DrvDitherColor");
    return 0;
}
BOOL FillPath(SURFOBJ* pso, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG) {
    Note(pso, "DrvFillPath");
    return TRUE;
}
ULONG FontManagement(SURFOBJ* pso, FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) {
    Note(pso, "DrvFontManagement");
    return 0;
}
ULONG GetGlyphMode(DHPDEV dhpdev, FONTOBJ*) {
    Note(dhpdev, "DrvGetGlyphMode");
    return 0;
}
BOOL GradientFill(SURFOBJ* pso, CLIPOBJ*, XLATEOBJ*, TRIVERTEX*, ULONG, PVOID, ULONG, RECTL*,
                  POINTL*, ULONG) {
    Note(pso, "DrvGradientFill");
    return TRUE;
}
BOOL LineTo(SURFOBJ* pso, CLIPOBJ*, BRUSHOBJ*, LONG, LONG, LONG, LONG, RECTL*, MIX) {
    Note(pso, "DrvLineTo");
    return TRUE;
}
BOOL Paint(SURFOBJ* pso, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX) {
    Note(pso, "DrvPaint");
    return TRUE;
}
BOOL PlgBlt(SURFOBJ* pso, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*,
            POINTFIX*, RECTL*, POINTL*, ULONG) {
    Note(pso, "DrvPlgBlt");
    return TRUE;
}
BOOL QueryAdvanceWidths(DHPDEV dhpdev, FONTOBJ*, ULONG, HGLYPH*, PVOID, ULONG) {
    Note(dhpdev, "DrvQueryAdvanceWidths");
    return TRUE;
}
PIFIMETRICS QueryFont(DHPDEV dhpdev, ULONG_PTR, ULONG, ULONG_PTR*) {
    Note(dhpdev, "DrvQueryFont");
    return nullptr;
}
LONG QueryFontData(DHPDEV dhpdev, FONTOBJ*, ULONG, HGLYPH, GLYPHDATA*, PVOID, ULONG) {
    Note(dhpdev, "DrvQueryFontData");
    return 0;
}
PVOID QueryFontTree(DHPDEV dhpdev, ULONG_PTR, ULONG, ULONG, ULONG_PTR*) {
    Note(dhpdev, "DrvQueryFontTree");
    return nullptr;
}
BOOL RealizeBrush(BRUSHOBJ*, SURFOBJ* pso, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
    Note(pso, "DrvRealizeBrush");
    return TRUE;
}
BOOL StretchBlt(SURFOBJ* pso, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*,
                RECTL*, RECTL*, POINTL*, ULONG) {
    Note(pso, "DrvStretchBlt");
    return TRUE;
}
BOOL StretchBltROP(SURFOBJ* pso, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*,
                   RECTL*, RECTL*, POINTL*, ULONG, BRUSHOBJ*, ROP4) {
    Note(pso, "DrvStretchBltROP");
    return TRUE;
}
BOOL StrokeAndFillPath(SURFOBJ* pso, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*,
                       BRUSHOBJ*, POINTL*, MIX, FLONG) {
    Note(pso, "DrvStrokeAndFillPath");
    return TRUE;
}
BOOL StrokePath(SURFOBJ* pso, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, MIX) {
    Note(pso, "DrvStrokePath");
    return TRUE;
}
// Text that reaches the host is drawn into the page by the job player's receiver (TrueType
// text with FreeType; a device font handed back as an approximation).
BOOL TextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
             BRUSHOBJ*, POINTL*, MIX) {
    Note(pso, "DrvTextOut");
    DeliverHostText(pstro, pfo);
    return TRUE;
}
BOOL TransparentBlt(SURFOBJ* pso, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, ULONG, ULONG) {
    Note(pso, "DrvTransparentBlt");
    return TRUE;
}
BOOL StartDoc(SURFOBJ* pso, LPWSTR, DWORD) {
    Note(pso, "DrvStartDoc");
    return TRUE;
}
BOOL EndDoc(SURFOBJ* pso, FLONG) {
    Note(pso, "DrvEndDoc");
    return TRUE;
}
BOOL StartPage(SURFOBJ* pso) {
    Note(pso, "DrvStartPage");
    return TRUE;
}
BOOL SendPage(SURFOBJ* pso) {
    Note(pso, "DrvSendPage");
    return TRUE;
}
BOOL StartBanding(SURFOBJ* pso, POINTL*) {
    Note(pso, "DrvStartBanding");
    return TRUE;
}
BOOL NextBand(SURFOBJ* pso, POINTL*) {
    Note(pso, "DrvNextBand");
    return TRUE;
}
ULONG Escape(SURFOBJ* pso, ULONG, ULONG, PVOID, ULONG, PVOID) {
    Note(pso, "DrvEscape");
    return 0;
}

DRVFN g_hostFunctions[] = {
    {INDEX_DrvRealizeBrush, ToPfn(&RealizeBrush)},
    {INDEX_DrvDitherColor, ToPfn(&DitherColor)},
    {INDEX_DrvStrokePath, ToPfn(&StrokePath)},
    {INDEX_DrvFillPath, ToPfn(&FillPath)},
    {INDEX_DrvStrokeAndFillPath, ToPfn(&StrokeAndFillPath)},
    {INDEX_DrvPaint, ToPfn(&Paint)},
    {INDEX_DrvBitBlt, ToPfn(&BitBlt)},
    {INDEX_DrvCopyBits, ToPfn(&CopyBits)},
    {INDEX_DrvStretchBlt, ToPfn(&StretchBlt)},
    {INDEX_DrvTextOut, ToPfn(&TextOut)},
    {INDEX_DrvEscape, ToPfn(&Escape)},
    {INDEX_DrvQueryFont, ToPfn(&QueryFont)},
    {INDEX_DrvQueryFontTree, ToPfn(&QueryFontTree)},
    {INDEX_DrvQueryFontData, ToPfn(&QueryFontData)},
    {INDEX_DrvLineTo, ToPfn(&LineTo)},
    {INDEX_DrvSendPage, ToPfn(&SendPage)},
    {INDEX_DrvStartPage, ToPfn(&StartPage)},
    {INDEX_DrvEndDoc, ToPfn(&EndDoc)},
    {INDEX_DrvStartDoc, ToPfn(&StartDoc)},
    {INDEX_DrvGetGlyphMode, ToPfn(&GetGlyphMode)},
    {INDEX_DrvFontManagement, ToPfn(&FontManagement)},
    {INDEX_DrvQueryAdvanceWidths, ToPfn(&QueryAdvanceWidths)},
    {INDEX_DrvStartBanding, ToPfn(&StartBanding)},
    {INDEX_DrvNextBand, ToPfn(&NextBand)},
    {INDEX_DrvGradientFill, ToPfn(&GradientFill)},
    {INDEX_DrvStretchBltROP, ToPfn(&StretchBltROP)},
    {INDEX_DrvPlgBlt, ToPfn(&PlgBlt)},
    {INDEX_DrvAlphaBlend, ToPfn(&AlphaBlend)},
    {INDEX_DrvTransparentBlt, ToPfn(&TransparentBlt)},
};

}  // namespace

DRVENABLEDATA HostGraphicsFunctions() {
    return {DDI_DRIVER_VERSION_NT5, sizeof(g_hostFunctions) / sizeof(g_hostFunctions[0]),
            g_hostFunctions};
}

}  // namespace unidrv
