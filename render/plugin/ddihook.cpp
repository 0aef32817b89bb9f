// The 29 graphics hooks. Each logs what it is told to, keeps the image-rectangle list where it
// concerns bitmaps, and forwards the call unchanged to the host's own function saved in the
// device state. A device without state or without the host's function answers FALSE / 0.
#include "ddihook.h"

#include <algorithm>
#include <cstring>

#include "debug_log.h"
#include "intrface.h"
#include "module_state.h"
#include "win32/codepage.h"
#include "win32/heap.h"
#include "win32/strings.h"

namespace {

POEMPDEV StateOf(SURFOBJ* pso) {
    return DeviceState(DeviceObject(pso));
}
POEMPDEV StateOf(DHPDEV dhpdev) {
    return DeviceState(reinterpret_cast<PDEVOBJ>(dhpdev));
}

void StoreCoordinate(BYTE* out, LONG value) {
    // Low byte = value modulo 256, high byte = value / 256, both on the signed value.
    out[0] = static_cast<BYTE>(value % 256);
    out[1] = static_cast<BYTE>(value / 256);
}

bool IsEmpty(const RECTL& r) {
    return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
}

}  // namespace

void AddImageRect(POEMPDEV pOemPDEV, const RECTL& rect) {
    if (pOemPDEV == nullptr) {
        return;
    }
    const DWORD oldSize = pOemPDEV->dwImgRectBufSize;
    auto* grown = static_cast<PBYTE>(LocalAlloc(LPTR, static_cast<SIZE_T>(oldSize) + 8));
    if (grown == nullptr) {
        LocalFree(pOemPDEV->pImgRectBufStart);
        pOemPDEV->pImgRectBufStart = nullptr;
        pOemPDEV->dwImgRectBufSize = 0;
        return;
    }
    if (pOemPDEV->pImgRectBufStart != nullptr && oldSize != 0) {
        std::memcpy(grown, pOemPDEV->pImgRectBufStart, oldSize);
    }
    LocalFree(pOemPDEV->pImgRectBufStart);
    StoreCoordinate(grown + oldSize + 0, rect.left);
    StoreCoordinate(grown + oldSize + 2, rect.top);
    StoreCoordinate(grown + oldSize + 4, rect.right);
    StoreCoordinate(grown + oldSize + 6, rect.bottom);
    pOemPDEV->pImgRectBufStart = grown;
    pOemPDEV->dwImgRectBufSize = oldSize + 8;
}

namespace {

BOOL OEMAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                   RECTL* prclSrc, BLENDOBJ* pBlendObj) {
    DebugLog("OEMAlphaBlend CALLED");
    POEMPDEV p = StateOf(psoDest);
    if (p == nullptr || p->m_pfnDrvAlphaBlend == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvAlphaBlend(psoDest, psoSrc, pco, pxlo, prclDest, prclSrc, pBlendObj);
}

// BitBlt: the target is held back one call; the one held before it is entered now.
BOOL OEMBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
               RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
               ROP4 rop4) {
    POEMPDEV p = StateOf(psoTrg);
    if (prclTrg != nullptr) {
        if (!IsPendingBitmapEmpty()) {
            AddImageRect(p, g_rcPendingBitmap);
        }
        g_rcPendingBitmap = *prclTrg;
    }
    if (p == nullptr || p->m_pfnDrvBitBlt == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvBitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo,
                             pptlBrush, rop4);
}

BOOL OEMCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                 POINTL* pptlSrc) {
    DebugLog("OEMCopyBits CALLED, m_pfnDrvCopyBits");
    // The destination surface may be the engine's bitmap; the source then carries the device.
    POEMPDEV p = StateOf(psoDest);
    if (p == nullptr) {
        p = StateOf(psoSrc);
    }
    if (p == nullptr || p->m_pfnDrvCopyBits == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvCopyBits(psoDest, psoSrc, pco, pxlo, prclDest, pptlSrc);
}

ULONG OEMDitherColor(DHPDEV dhpdev, ULONG iMode, ULONG rgb, ULONG* pul) {
    POEMPDEV p = StateOf(dhpdev);
    if (p == nullptr || p->m_pfnDrvDitherColor == nullptr) {
        return 0;
    }
    return p->m_pfnDrvDitherColor(dhpdev, iMode, rgb, pul);
}

BOOL OEMFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                 MIX mix, FLONG flOptions) {
    DebugLog("OEMFillPath CALLED, m_pfnDrvFillPath");
    POEMPDEV p = StateOf(pso);
    if (p == nullptr || p->m_pfnDrvFillPath == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvFillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
}

ULONG OEMFontManagement(SURFOBJ* pso, FONTOBJ* pfo, ULONG iMode, ULONG cjIn, PVOID pvIn,
                        ULONG cjOut, PVOID pvOut) {
    DebugLog("OEMFontManagement CALLED, pOemPDEV->m_pfnDrvFontManagement");
    POEMPDEV p = StateOf(pso);
    if (p == nullptr || p->m_pfnDrvFontManagement == nullptr) {
        return 0;
    }
    return p->m_pfnDrvFontManagement(pso, pfo, iMode, cjIn, pvIn, cjOut, pvOut);
}

ULONG OEMGetGlyphMode(DHPDEV dhpdev, FONTOBJ* pfo) {
    DebugLog("OEMGetGlyphMode CALLED, pOemPDEV->m_pfnDrvGetGlyphMode");
    POEMPDEV p = StateOf(dhpdev);
    if (p == nullptr || p->m_pfnDrvGetGlyphMode == nullptr) {
        return 0;
    }
    return p->m_pfnDrvGetGlyphMode(dhpdev, pfo);
}

BOOL OEMGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex,
                     ULONG nVertex, PVOID pMesh, ULONG nMesh, RECTL* prclExtents,
                     POINTL* pptlDitherOrg, ULONG ulMode) {
    DebugLog("OEMGradientFill CALLED");
    POEMPDEV p = StateOf(psoDest);
    if (p == nullptr || p->m_pfnDrvGradientFill == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvGradientFill(psoDest, pco, pxlo, pVertex, nVertex, pMesh, nMesh, prclExtents,
                                   pptlDitherOrg, ulMode);
}

BOOL OEMLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
               RECTL* prclBounds, MIX mix) {
    DebugLog("OEMLineTo CALLED");
    POEMPDEV p = StateOf(pso);
    if (p == nullptr || p->m_pfnDrvLineTo == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvLineTo(pso, pco, pbo, x1, y1, x2, y2, prclBounds, mix);
}

BOOL OEMPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix) {
    DebugLog("OEMPaint CALLED");
    POEMPDEV p = StateOf(pso);
    if (p == nullptr || p->m_pfnDrvPaint == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvPaint(pso, pco, pbo, pptlBrushOrg, mix);
}

BOOL OEMPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
               COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl,
               POINTL* pptl, ULONG iMode) {
    DebugLog("OEMPlgBlt CALLED");
    POEMPDEV p = StateOf(psoTrg);
    if (p == nullptr || p->m_pfnDrvPlgBlt == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvPlgBlt(psoTrg, psoSrc, psoMsk, pco, pxlo, pca, pptlBrushOrg, pptfx, prcl,
                             pptl, iMode);
}

BOOL OEMQueryAdvanceWidths(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH* phg, PVOID pvWidths,
                           ULONG cGlyphs) {
    DebugLog("OEMQueryAdvanceWidths CALLED, pOemPDEV->m_pfnDrvQueryAdvanceWidths");
    POEMPDEV p = StateOf(dhpdev);
    if (p == nullptr || p->m_pfnDrvQueryAdvanceWidths == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvQueryAdvanceWidths(dhpdev, pfo, iMode, phg, pvWidths, cGlyphs);
}

PIFIMETRICS OEMQueryFont(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR* pid) {
    POEMPDEV p = StateOf(dhpdev);
    if (p == nullptr || p->m_pfnDrvQueryFont == nullptr) {
        return nullptr;
    }
    return p->m_pfnDrvQueryFont(dhpdev, iFile, iFace, pid);
}

LONG OEMQueryFontData(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH hg, GLYPHDATA* pgd, PVOID pv,
                      ULONG cjSize) {
    DebugLog("OEMQueryFontData CALLED, pOemPDEV->m_pfnDrvQueryFontData");
    POEMPDEV p = StateOf(dhpdev);
    if (p == nullptr || p->m_pfnDrvQueryFontData == nullptr) {
        return -1;  // FD_ERROR
    }
    return p->m_pfnDrvQueryFontData(dhpdev, pfo, iMode, hg, pgd, pv, cjSize);
}

PVOID OEMQueryFontTree(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR* pid) {
    POEMPDEV p = StateOf(dhpdev);
    if (p == nullptr || p->m_pfnDrvQueryFontTree == nullptr) {
        return nullptr;
    }
    return p->m_pfnDrvQueryFontTree(dhpdev, iFile, iFace, iMode, pid);
}

// RealizeBrush: answered here; the host's function is not called.
BOOL OEMRealizeBrush(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
    DebugLog("OEMRealizeBrush CALLED");
    return TRUE;
}

// StretchBlt: the destination is entered at once; a held-back BitBlt target is dropped.
BOOL OEMStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                   XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                   RECTL* prclSrc, POINTL* pptlMask, ULONG iMode) {
    DebugLog("OEMStretchBlt CALLED, m_pfnDrvStretchBlt");
    POEMPDEV p = StateOf(psoDest);
    if (prclDest != nullptr) {
        DebugLog("OEMStretchBlt : L=%d, T=%d, R=%d, B=%d", prclDest->left, prclDest->top,
                 prclDest->right, prclDest->bottom);
        AddImageRect(p, *prclDest);
        ClearPendingBitmap();
    }
    if (p == nullptr || p->m_pfnDrvStretchBlt == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest,
                                 prclSrc, pptlMask, iMode);
}

BOOL OEMStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                      XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                      RECTL* prclSrc, POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, ROP4 rop4) {
    POEMPDEV p = StateOf(psoDest);
    if (prclDest != nullptr) {
        DebugLog("OEMStretchBltROP : L=%d, T=%d, R=%d, B=%d", prclDest->left, prclDest->top,
                 prclDest->right, prclDest->bottom);
        AddImageRect(p, *prclDest);
        ClearPendingBitmap();
    }
    if (p == nullptr || p->m_pfnDrvStretchBltROP == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvStretchBltROP(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest,
                                    prclSrc, pptlMask, iMode, pbo, rop4);
}

BOOL OEMStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                          BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                          POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions) {
    DebugLog("OEMStrokeAndFillPath CALLED, m_pfnDrvStrokeAndFillPath");
    POEMPDEV p = StateOf(pso);
    if (p == nullptr || p->m_pfnDrvStrokeAndFillPath == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvStrokeAndFillPath(pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill,
                                        pptlBrushOrg, mixFill, flOptions);
}

BOOL OEMStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                   POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
    DebugLog("OEMStrokePath CALLED, m_pfnDrvStrokePath");
    POEMPDEV p = StateOf(pso);
    if (p == nullptr || p->m_pfnDrvStrokePath == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
}

BOOL OEMTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                       RECTL* prclDst, RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved) {
    DebugLog("OEMTransparentBlt CALLED");
    POEMPDEV p = StateOf(psoDst);
    if (p == nullptr || p->m_pfnDrvTransparentBlt == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvTransparentBlt(psoDst, psoSrc, pco, pxlo, prclDst, prclSrc, iTransColor,
                                     ulReserved);
}

// StartDoc: the job id becomes current for the device and for the log file names.
BOOL OEMStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
    POEMPDEV p = StateOf(pso);
    g_dwCurrentJobId = dwJobId;
    if (p != nullptr) {
        p->dwJobId = dwJobId;
    }
    constexpr int kDocNameBytes = 4096;
    char szDocName[kDocNameBytes] = {};
    if (pwszDocName != nullptr) {
        // Cut, not lost, when the ANSI form does not fit.
        int chars = static_cast<int>(std::min<size_t>(WcsLen(pwszDocName), kDocNameBytes - 1));
        while (chars > 0 && WideCharToMultiByte(CP_ACP, 0, pwszDocName, chars, szDocName,
                                                kDocNameBytes - 1, nullptr, nullptr) == 0) {
            --chars;
        }
        szDocName[kDocNameBytes - 1] = '\0';
    }
    DebugLog("OEMStartDoc : START");
    DebugLog("OEMStartDoc : dwJobId = %d", dwJobId);
    DebugLog("OEMStartDoc : szDocName = %s", szDocName);
    DebugLogW(u"OEMStartDoc:  START");
    DebugLogW(u"OEMStartDoc:  dwJobId = %d", dwJobId);
    DebugLogW(u"OEMStartDoc:  pwszDocName = %ws", pwszDocName);
    if (p == nullptr || p->m_pfnDrvStartDoc == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvStartDoc(pso, pwszDocName, dwJobId);
}

BOOL OEMEndDoc(SURFOBJ* pso, FLONG fl) {
    POEMPDEV p = StateOf(pso);
    const DWORD jobId = p != nullptr ? p->dwJobId : 0;
    DebugLog("OEMEndDoc : START");
    DebugLog("OEMEndDoc : pOemPDEV->dwJobId = %d", jobId);
    DebugLogW(u"OEMEndDoc : START");
    DebugLogW(u"OEMEndDoc : pOemPDEV->dwJobId = %d", jobId);
    if (p == nullptr || p->m_pfnDrvEndDoc == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvEndDoc(pso, fl);
}

BOOL OEMStartPage(SURFOBJ* pso) {
    DebugLog("");
    DebugLog("OEMStartPage CALLED, m_pfnDrvStartPage");
    POEMPDEV p = StateOf(pso);
    if (p == nullptr || p->m_pfnDrvStartPage == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvStartPage(pso);
}

BOOL OEMSendPage(SURFOBJ* pso) {
    POEMPDEV p = StateOf(pso);
    DebugLogW(u"OEMSendPage: START");
    DebugLogW(u"OEMSendPage: pOemPDEV->dwJobId = %d", p != nullptr ? p->dwJobId : 0);
    if (pso != nullptr && pso->iType == STYPE_BITMAP) {
        DebugLog("OEMSendPage : STYPE_BITMAP");
    }
    if (p == nullptr || p->m_pfnDrvSendPage == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvSendPage(pso);
}

BOOL OEMStartBanding(SURFOBJ* pso, POINTL* pptl) {
    DebugLog("OEMStartBanding CALLED");
    ClearPendingBitmap();
    POEMPDEV p = StateOf(pso);
    if (p == nullptr || p->m_pfnDrvStartBanding == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvStartBanding(pso, pptl);
}

// NextBand: a BitBlt target still held back belongs to the band just finished.
BOOL OEMNextBand(SURFOBJ* pso, POINTL* pptl) {
    DebugLog("OEMNextBand CALLED, pOemPDEV->m_pfnDrvNextBand");
    DebugLog("OEMNextBand : L=%d, T=%d, R=%d, B=%d", g_rcPendingBitmap.left, g_rcPendingBitmap.top,
             g_rcPendingBitmap.right, g_rcPendingBitmap.bottom);
    POEMPDEV p = StateOf(pso);
    if (!IsEmpty(g_rcPendingBitmap)) {
        AddImageRect(p, g_rcPendingBitmap);
    }
    ClearPendingBitmap();
    if (p == nullptr || p->m_pfnDrvNextBand == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvNextBand(pso, pptl);
}

ULONG OEMEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
    DebugLog("OEMEscape CALLED, pOemPDEV->m_pfnDrvEscape");
    DebugLogW(u"OEMEscape CALLED");
    POEMPDEV p = StateOf(pso);
    if (p == nullptr || p->m_pfnDrvEscape == nullptr) {
        return 0;
    }
    return p->m_pfnDrvEscape(pso, iEsc, cjIn, pvIn, cjOut, pvOut);
}

}  // namespace

// The hook table handed to the host by EnableDriver, in this order.
DRVFN g_OEMHookFuncs[] = {
    {INDEX_DrvAlphaBlend, ToPfn(&OEMAlphaBlend)},
    {INDEX_DrvBitBlt, ToPfn(&OEMBitBlt)},
    {INDEX_DrvCopyBits, ToPfn(&OEMCopyBits)},
    {INDEX_DrvDitherColor, ToPfn(&OEMDitherColor)},
    {INDEX_DrvFillPath, ToPfn(&OEMFillPath)},
    {INDEX_DrvFontManagement, ToPfn(&OEMFontManagement)},
    {INDEX_DrvGetGlyphMode, ToPfn(&OEMGetGlyphMode)},
    {INDEX_DrvGradientFill, ToPfn(&OEMGradientFill)},
    {INDEX_DrvLineTo, ToPfn(&OEMLineTo)},
    {INDEX_DrvPaint, ToPfn(&OEMPaint)},
    {INDEX_DrvPlgBlt, ToPfn(&OEMPlgBlt)},
    {INDEX_DrvQueryAdvanceWidths, ToPfn(&OEMQueryAdvanceWidths)},
    {INDEX_DrvQueryFont, ToPfn(&OEMQueryFont)},
    {INDEX_DrvQueryFontData, ToPfn(&OEMQueryFontData)},
    {INDEX_DrvQueryFontTree, ToPfn(&OEMQueryFontTree)},
    {INDEX_DrvRealizeBrush, ToPfn(&OEMRealizeBrush)},
    {INDEX_DrvStretchBlt, ToPfn(&OEMStretchBlt)},
    {INDEX_DrvStretchBltROP, ToPfn(&OEMStretchBltROP)},
    {INDEX_DrvStrokeAndFillPath, ToPfn(&OEMStrokeAndFillPath)},
    {INDEX_DrvStrokePath, ToPfn(&OEMStrokePath)},
    {INDEX_DrvTextOut, ToPfn(&OEMTextOut)},
    {INDEX_DrvTransparentBlt, ToPfn(&OEMTransparentBlt)},
    {INDEX_DrvStartDoc, ToPfn(&OEMStartDoc)},
    {INDEX_DrvEndDoc, ToPfn(&OEMEndDoc)},
    {INDEX_DrvStartPage, ToPfn(&OEMStartPage)},
    {INDEX_DrvSendPage, ToPfn(&OEMSendPage)},
    {INDEX_DrvStartBanding, ToPfn(&OEMStartBanding)},
    {INDEX_DrvNextBand, ToPfn(&OEMNextBand)},
    {INDEX_DrvEscape, ToPfn(&OEMEscape)},
};
const ULONG g_OEMHookCount = sizeof(g_OEMHookFuncs) / sizeof(g_OEMHookFuncs[0]);
static_assert(sizeof(g_OEMHookFuncs) / sizeof(g_OEMHookFuncs[0]) == 29);
