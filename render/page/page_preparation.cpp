// Page preparation. The conversion of the page bitmap into raster commands is the next stage
// of the pipeline; until it is in place a page converts to nothing, and the job flow then
// sends nothing for the page.
#include "page/page_preparation.h"

#include "plugin/debug_log.h"

HRESULT CreateImageData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    (void)pOemCP;
    (void)pdevobj;
    DebugLog("CreateImageData : START");
    DebugLog("CreateImageData : END");
    return E_FAIL;
}
