// Page preparation: the captured page bitmap turned into raster and device-text commands.
#pragma once

#include "plugin/intrface.h"

// Appends the page's commands to the output buffer; E_FAIL when the page cannot be decoded.
HRESULT CreateImageData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
