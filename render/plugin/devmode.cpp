// The plug-in's private part of the DEVMODE: its size, default, conversion and merge.
#include <algorithm>
#include <cstring>

#include "debug_log.h"
#include "intrface.h"

namespace {

// Converts one private part into another: values reset, same-signature contents carried over
// (never more than the record itself), header made current.
void ConvertOEMDevmode(const OEMDEV_PRIVATE* pIn, OEMDEV_PRIVATE* pOut) {
    if (pIn == nullptr || pOut == nullptr) {
        return;
    }
    pOut->dwValue1 = 0;
    pOut->dwValue2 = 0;
    if (pIn->dmOEMExtra.dwSignature == pOut->dmOEMExtra.dwSignature) {
        // Sizes come from outside; a size beyond the record would copy past both buffers.
        const DWORD bytes = std::min({pIn->dmOEMExtra.dwSize, pOut->dmOEMExtra.dwSize,
                                      static_cast<DWORD>(sizeof(OEMDEV_PRIVATE))});
        std::memmove(pOut, pIn, bytes);
    } else {
        pOut->dmOEMExtra.dwSignature = OEM_SIGNATURE;
    }
    pOut->dmOEMExtra.dwSize = sizeof(OEMDEV_PRIVATE);
    pOut->dmOEMExtra.dwVersion = OEM_VERSION;
}

// Converts, then makes the output valid: current header, values limited to 0..100.
void MakeOEMDevmodeValid(const OEMDEV_PRIVATE* pIn, OEMDEV_PRIVATE* pOut) {
    ConvertOEMDevmode(pIn, pOut);
    if (pOut == nullptr) {
        return;
    }
    pOut->dmOEMExtra.dwSize = sizeof(OEMDEV_PRIVATE);
    pOut->dmOEMExtra.dwSignature = OEM_SIGNATURE;
    pOut->dmOEMExtra.dwVersion = OEM_VERSION;
    if (pOut->dwValue1 > 100) {
        pOut->dwValue1 = 0;
    }
    if (pOut->dwValue2 > 100) {
        pOut->dwValue2 = 0;
    }
}

}  // namespace

// hrOEMDevMode: answers the host's DevMode questions about the private part.
HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) {
    DebugLog("hrOEMDevMode : hrOEMDevMode entry.");
    if (pOemDMParam == nullptr || dwMode < OEMDM_SIZE || dwMode > OEMDM_MERGE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    auto* pIn = static_cast<OEMDEV_PRIVATE*>(pOemDMParam->pOEMDMIn);
    auto* pOut = static_cast<OEMDEV_PRIVATE*>(pOemDMParam->pOEMDMOut);
    switch (dwMode) {
        case OEMDM_SIZE:
            DebugLog("hrOEMDevMode : OEMDM_SIZE");
            pOemDMParam->cbBufSize = sizeof(OEMDEV_PRIVATE);
            break;
        case OEMDM_DEFAULT:
            DebugLog("hrOEMDevMode : OEMDM_DEFAULT");
            if (pOut != nullptr) {
                pOut->dmOEMExtra.dwSize = sizeof(OEMDEV_PRIVATE);
                pOut->dmOEMExtra.dwSignature = OEM_SIGNATURE;
                pOut->dmOEMExtra.dwVersion = OEM_VERSION;
                pOut->dwValue1 = 0;
                pOut->dwValue2 = 0;
            }
            break;
        case OEMDM_CONVERT:
            DebugLog("hrOEMDevMode : OEMDM_CONVERT");
            ConvertOEMDevmode(pIn, pOut);
            break;
        case OEMDM_MERGE:
            DebugLog("hrOEMDevMode : OEMDM_MERGE");
            MakeOEMDevmodeValid(pIn, pOut);
            break;
        default:
            break;
    }
    return S_OK;
}
