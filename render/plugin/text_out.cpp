// Text hook: every run of text either goes to the host's own DrvTextOut (rendered into the page
// raster) or is captured as text records (device fonts always; other fonts on a reduced page).
#include <cstring>

#include "ddihook.h"
#include "debug_log.h"
#include "module_state.h"
#include "oempdev.h"
#include "text/text_records.h"

namespace {

// The first characters of a run as a terminated string for the log.
void RunForLog(const STROBJ* pstro, WCHAR* out, DWORD chars) {
    DWORD n = 0;
    if (pstro->pwszOrg != nullptr) {
        for (; n < pstro->cGlyphs && n + 1 < chars && pstro->pwszOrg[n] != 0; ++n) {
            out[n] = pstro->pwszOrg[n];
        }
    }
    out[n] = 0;
}

}  // namespace

/*
 * OEMTextOut: the DDI text hook. Hands the run to the host's DrvTextOut (and returns its
 * result) when there is no device state, on a landscape page, for a run that is not in a
 * device font on an unreduced page, and for a run without Unicode text. Every other run is
 * captured as text records and FALSE is returned: the host does not draw it.
 */
BOOL OEMTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                MIX mix) {
    ClearPendingBitmap();  // text drawn over a held-back BitBlt target
    if (pstro == nullptr || pfo == nullptr) {
        DebugLog("OEMTextOut : pstro or pfo is NULL.");
        return FALSE;
    }
    WCHAR wszRun[128];
    RunForLog(pstro, wszRun, 128);
    const WCHAR* pwszFamily = u"";
    if (IFIMETRICS* pifi = FONTOBJ_pifi(pfo)) {
        pwszFamily = reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(pifi) +
                                                    pifi->dpwszFamilyName);
    }
    DebugLogW(
        u"OEMTextOut : rclBkGround.left = %d, rclBkGround.top = %d, FamilyName = %s, "
        u"cxMax = %d, Text = %s",
        pstro->rclBkGround.left, pstro->rclBkGround.top, pwszFamily, pfo->cxMax, wszRun);

    POEMPDEV pOemPDEV = DeviceState(DeviceObject(pso));
    const float fReduceRate = GetTextReduceRate(pOemPDEV, 10);
    const bool bHandOver = pOemPDEV == nullptr || pOemPDEV->UIInfo.byteValue[42] != 0 ||
                           (fReduceRate >= 1.0f && (pfo->flFontType & FO_TYPE_DEVICE) == 0) ||
                           pstro->pwszOrg == nullptr;
    if (bHandOver) {
        if (pOemPDEV == nullptr || pOemPDEV->m_pfnDrvTextOut == nullptr) {
            return FALSE;
        }
        return pOemPDEV->m_pfnDrvTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore,
                                         pboOpaque, pptlOrg, mix);
    }
    AddFontsInfoToBuf(pso, pstro, pfo);
    return FALSE;
}
