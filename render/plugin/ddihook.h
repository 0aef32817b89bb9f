// The plug-in's graphics hooks and the image-rectangle list they keep.
#pragma once

#include "oempdev.h"

// Appends one 8-byte record (left, top, right, bottom; low byte, high byte each) to the
// device's image-rectangle list. When memory runs out the whole list is released.
void AddImageRect(POEMPDEV pOemPDEV, const RECTL& rect);

// Text capture hook (text_out.cpp).
BOOL OEMTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                MIX mix);
