// Text hook. Text capture into text records builds on this hook; until then every run is left
// to the host, which renders it into the page raster.
#include "ddihook.h"
#include "module_state.h"

// OEMTextOut: a held-back BitBlt target is discarded (text was drawn over it), then the run
// goes to the host's own DrvTextOut.
BOOL OEMTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                MIX mix) {
    ClearPendingBitmap();
    POEMPDEV p = DeviceState(DeviceObject(pso));
    if (p == nullptr || p->m_pfnDrvTextOut == nullptr) {
        return FALSE;
    }
    return p->m_pfnDrvTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque,
                              pptlOrg, mix);
}
