// ImageProcessing: the host hands every rendered band of a page to the plug-in, which collects
// them into the page bitmap (page/band_capture.cpp).
#include "intrface.h"
#include "page/band_capture.h"

// pColorTable is not used: the plug-in builds its own colour table.
HRESULT CRenderPlugin::ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                       PBITMAPINFOHEADER pBitmapInfoHeader, PBYTE /*pColorTable*/,
                                       DWORD dwCallbackID, PIPPARAMS pIPParams, PBYTE* ppbResult) {
    return OEMImageProcessing(pdevobj, pSrcBitmap, pBitmapInfoHeader, dwCallbackID, pIPParams,
                              ppbResult);
}
