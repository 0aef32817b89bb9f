// Band capture: the host hands every rendered band of a page to ImageProcessing. Until the
// page pipeline takes bands over, a band is left to the host (*ppbResult stays null).
#include "intrface.h"

HRESULT CRenderPlugin::ImageProcessing(PDEVOBJ /*pdevobj*/, PBYTE /*pSrcBitmap*/,
                                       PBITMAPINFOHEADER /*pBitmapInfoHeader*/,
                                       PBYTE /*pColorTable*/, DWORD /*dwCallbackID*/,
                                       PIPPARAMS /*pIPParams*/, PBYTE* ppbResult) {
    if (ppbResult != nullptr) {
        *ppbResult = nullptr;
    }
    return E_FAIL;
}
