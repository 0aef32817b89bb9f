// Coupon images collected from text keys during a job, sent once at its end.
#pragma once

#include "plugin/intrface.h"

// Sends the job's coupon images directly; TRUE when there was nothing to send or all was sent.
BOOL SendCouponImageData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
