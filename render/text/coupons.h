// Coupon images collected from text keys during a job, sent once at its end.
#pragma once

#include "plugin/intrface.h"

// Sends the job's coupon images in one DrvWriteSpoolBuf call (and into the journal) and clears
// the coupon list. FALSE without a coupon list; otherwise TRUE when every byte was written.
BOOL SendCouponImageData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
