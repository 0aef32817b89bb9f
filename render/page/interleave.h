// Interleaving of image rows and device text: the page is sent from the top, image rows as
// raster commands and every device-text line (device fonts, barcodes, font controls) at its
// height between them.
#pragma once

#include "plugin/intrface.h"

class CxImage;

// Sends the prepared page: raster rows and device-text records in page order, leaving out the
// blank tail where wanted. Called once per page by CreateImageData.
HRESULT AddImageAndDevFontData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, CxImage* pImage,
                               float fReduceRate);
