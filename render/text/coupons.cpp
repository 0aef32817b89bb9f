// Coupon images. Text keys do not collect coupons yet, so a job has none to send.
#include "text/coupons.h"

BOOL SendCouponImageData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    (void)pOemCP;
    (void)pdevobj;
    return TRUE;
}
