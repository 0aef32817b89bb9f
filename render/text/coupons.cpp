// Coupon images: the names collected from text keys during the job (joined by "/") are read
// from the folder "LBR-KV580" and sent once, in list order, when the job ends.
#include "text/coupons.h"

#include <cstring>

#include "debug_log.h"
#include "job_flow.h"
#include "text/text_keys.h"
#include "win32/heap.h"

BOOL SendCouponImageData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    DebugLog("SendCouponImageData : START");
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    if (pOemCP == nullptr || pOemPDEV == nullptr || pOemPDEV->szCouponImgName == nullptr) {
        DebugLog("SendCouponImageData : no coupon image.");
        return FALSE;
    }
    // Take the list over; the device state starts the next job without one.
    char* list = pOemPDEV->szCouponImgName;
    const DWORD listLength =
        pOemPDEV->dwCouponImgNameLength > 0 ? pOemPDEV->dwCouponImgNameLength - 1 : 0;
    pOemPDEV->szCouponImgName = nullptr;
    pOemPDEV->dwCouponImgNameLength = 0;

    PBYTE pBlock = nullptr;
    DWORD dwBlock = 0;
    DWORD start = 0;
    for (DWORD i = 0; i <= listLength; ++i) {
        if (i < listLength && list[i] != '/' && list[i] != '\0') continue;
        const bool last = i == listLength || list[i] == '\0';
        if (i > start) {
            list[i] = '\0';
            DebugLog("SendCouponImageData : coupon image '%s'", list + start);
            PBYTE pImage = nullptr;
            DWORD dwImage = 0;
            if (GetTextKeyImgBufFromFile(list + start, &pImage, &dwImage) != 0) {
                const unsigned long long total = static_cast<unsigned long long>(dwBlock) + dwImage;
                PBYTE pNew = total <= 0xFFFFFFFFull
                                 ? static_cast<PBYTE>(LocalAlloc(LPTR, static_cast<SIZE_T>(total)))
                                 : nullptr;
                if (pNew == nullptr) {
                    DebugLog("SendCouponImageData : LocalAlloc failed with (%d)", GetLastError());
                } else {
                    if (dwBlock != 0) std::memcpy(pNew, pBlock, dwBlock);
                    std::memcpy(pNew + dwBlock, pImage, dwImage);
                    if (pBlock != nullptr) LocalFree(pBlock);
                    pBlock = pNew;
                    dwBlock = static_cast<DWORD>(total);
                }
            }
            if (pImage != nullptr) LocalFree(pImage);
        }
        if (last) break;
        start = i + 1;
    }
    MemFree(list);

    BOOL bResult = TRUE;
    if (dwBlock != 0) {
        DWORD dwWritten = 0;
        WriteDirect(pOemCP, pdevobj, pBlock, dwBlock, &dwWritten);
        DebugLog("SendCouponImageData : dwBlock : %d, dwWritten : %d", dwBlock, dwWritten);
        bResult = dwWritten == dwBlock;
    }
    if (pBlock != nullptr) LocalFree(pBlock);
    DebugLog("SendCouponImageData : END");
    return bResult;
}
