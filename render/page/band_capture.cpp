// Band capture of the page bitmap.
#include "page/band_capture.h"

#include <cstring>

#include "plugin/debug_log.h"
#include "win32/heap.h"
#include "win32/palette.h"

namespace {

bool IsLandscapePage(POEMPDEV pOemPDEV) {
    return pOemPDEV->UIInfo.byteValue[42] == 1;
}

}  // namespace

HRESULT OEMImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                           DWORD dwCallbackID, PIPPARAMS pIPParams, PBYTE* ppbResult) {
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    if (pOemPDEV == nullptr || pBitmapInfoHeader == nullptr || ppbResult == nullptr) {
        return E_FAIL;
    }
    const DWORD dwOffset = pOemPDEV->dwBufSize;
    *ppbResult = nullptr;
    bool filled;
    if (dwCallbackID == BMF_1BPP) {
        DebugLog("ImageProcessing : BMF_1BPP, dwCallback ID = %d", dwCallbackID);
        filled = bFillColorTable(pOemPDEV, BMF_1BPP);
    } else if (dwCallbackID == BMF_8BPP) {
        DebugLog("ImageProcessing : BMF_8BPP, dwCallback ID = %d", dwCallbackID);
        filled = bFillColorTable(pOemPDEV, BMF_8BPP);
    } else {
        DebugLog("ImageProcessing : OTHER, dwCallback ID = %d", dwCallbackID);
        DebugLog("ImageProcessing : NOT SUPPORTED COLOR TYPE");
        return E_FAIL;
    }
    if (!filled) {
        DebugLog("ImageProcessing : bFillColorTable returns false");
    }
    *ppbResult = reinterpret_cast<PBYTE>(static_cast<ULONG_PTR>(TRUE));

    const bool blank = pIPParams != nullptr && pIPParams->bBlankBand;
    if (IsLandscapePage(pOemPDEV) && blank) {
        return S_OK;
    }
    const DWORD dwBandSize = pBitmapInfoHeader->biSizeImage;
    if (!bGrowBuffer(&pOemPDEV->pBufStart, &pOemPDEV->dwBufSize, dwBandSize)) {
        DebugLog("ImageProcessing : bGrowBuffer failed.");
        return E_FAIL;
    }
    UpdateBitmapInfoHeader(pOemPDEV, pSrcBitmap, pBitmapInfoHeader);
    UpdateBlankBandInfo(pOemPDEV, pBitmapInfoHeader, pIPParams);
    if (blank) {
        std::memset(pOemPDEV->pBufStart + dwOffset, 0xFF, dwBandSize);
        DebugLog("ImageProcessing : a blank band was drawn");
    } else {
        if (pSrcBitmap != nullptr) {
            std::memcpy(pOemPDEV->pBufStart + dwOffset, pSrcBitmap, dwBandSize);
        }
        DebugLog("ImageProcessing : a blank band was NOT drawn");
    }
    UpdateBitmapFileHeader(pOemPDEV);
    return S_OK;
}

bool bFillColorTable(POEMPDEV pOemPDEV, DWORD dwFormat) {
    DWORD dwOldSize = pOemPDEV->dwColorTableEntries * 4;
    FreeBuffer(&pOemPDEV->pColorTable, &dwOldSize);
    if (dwFormat == BMF_1BPP) {
        pOemPDEV->dwColorTableEntries = 2;
        pOemPDEV->pColorTable = static_cast<PBYTE>(LocalAlloc(LPTR, 2 * 4));
        if (pOemPDEV->pColorTable == nullptr) {
            return false;
        }
        // Entry 0 black, entry 1 white (blue, green, red, 0).
        std::memset(pOemPDEV->pColorTable + 4, 0xFF, 3);
        return true;
    }
    if (dwFormat == BMF_8BPP) {
        pOemPDEV->dwColorTableEntries = 256;
        pOemPDEV->pColorTable = static_cast<PBYTE>(LocalAlloc(LPTR, 256 * 4));
        if (pOemPDEV->pColorTable == nullptr) {
            return false;
        }
        auto* entries = static_cast<PALETTEENTRY*>(LocalAlloc(LPTR, 256 * sizeof(PALETTEENTRY)));
        if (entries == nullptr) {
            return false;
        }
        bool ok = GetPaletteEntries(pOemPDEV->hPalette, 0, 256, entries) != 0;
        if (ok) {
            for (int i = 0; i < 256; ++i) {
                pOemPDEV->pColorTable[i * 4 + 0] = entries[i].peBlue;
                pOemPDEV->pColorTable[i * 4 + 1] = entries[i].peGreen;
                pOemPDEV->pColorTable[i * 4 + 2] = entries[i].peRed;
            }
            std::memset(pOemPDEV->pColorTable + 255 * 4, 0xFF, 3);
        }
        LocalFree(entries);
        return ok;
    }
    DebugLog("bFillColorTable : NOT SUPPORTED.");
    return false;
}

bool UpdateBitmapInfoHeader(POEMPDEV pOemPDEV, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBand) {
    if (pSrcBitmap == nullptr || pBand == nullptr) {
        return false;
    }
    BITMAPINFOHEADER& page = pOemPDEV->bmInfoHeader;
    page.biSize = pBand->biSize;
    page.biWidth = pBand->biWidth;
    page.biPlanes = pBand->biPlanes;
    page.biBitCount = pBand->biBitCount;
    page.biCompression = pBand->biCompression;
    page.biXPelsPerMeter = pBand->biXPelsPerMeter;
    page.biYPelsPerMeter = pBand->biYPelsPerMeter;
    page.biClrUsed = pBand->biClrUsed;
    page.biClrImportant = pBand->biClrImportant;
    page.biHeight += pBand->biHeight;
    page.biSizeImage += pBand->biSizeImage;
    return true;
}

bool UpdateBlankBandInfo(POEMPDEV pOemPDEV, PBITMAPINFOHEADER pBand, PIPPARAMS pIPParams) {
    if (pBand == nullptr || pIPParams == nullptr) {
        return false;
    }
    if (pIPParams->bBlankBand) {
        pOemPDEV->bBlankBand = pIPParams->bBlankBand;
        pOemPDEV->dwBlankSize += pBand->biSizeImage;
        pOemPDEV->dwBlankHeight += static_cast<DWORD>(pBand->biHeight);
    } else {
        pOemPDEV->bBlankBand = 0;
        pOemPDEV->dwBlankSize = 0;
        pOemPDEV->dwBlankHeight = 0;
    }
    return true;
}

void UpdateBitmapFileHeader(POEMPDEV pOemPDEV) {
    if (pOemPDEV->pBufStart == nullptr) {
        return;
    }
    BITMAPFILEHEADER& file = pOemPDEV->bmFileHeader;
    file.bfType = 0x4D42;
    file.bfReserved1 = 0;
    file.bfReserved2 = 0;
    file.bfSize = pOemPDEV->bmInfoHeader.biSizeImage + 54;
    file.bfOffBits = pOemPDEV->dwColorTableEntries * 4 + 54;
}

int bGrowBuffer(PBYTE* ppBuffer, DWORD* pdwSize, DWORD n) {
    const DWORD dwOld = *ppBuffer != nullptr ? *pdwSize : 0;
    const DWORD dwNew = dwOld + n;
    if (dwNew < dwOld) {  // past 4 GiB
        FreeBuffer(ppBuffer, pdwSize);
        return 0;
    }
    // A page grows by one band at a time; the block keeps room for growth (its size is what
    // LocalSize reports) so that a tall page is not copied once per band. Unused room is
    // zero-filled and never written, so the grown bytes are zero as the callers expect.
    if (*ppBuffer != nullptr && LocalSize(*ppBuffer) >= dwNew) {
        *pdwSize = dwNew;
        return 1;
    }
    SIZE_T capacity = dwNew;
    if (dwOld != 0) {
        const SIZE_T doubled = static_cast<SIZE_T>(dwOld) * 2;
        capacity = doubled > capacity ? doubled : capacity;
    }
    auto* pNew = static_cast<PBYTE>(LocalAlloc(LPTR, capacity));
    if (pNew == nullptr) {
        FreeBuffer(ppBuffer, pdwSize);
        return 0;
    }
    if (*ppBuffer != nullptr) {
        std::memcpy(pNew, *ppBuffer, dwOld);
        LocalFree(*ppBuffer);
    }
    *ppBuffer = pNew;
    *pdwSize = dwNew;
    return 1;
}

void FreeBuffer(PBYTE* ppBuffer, DWORD* pdwSize) {
    if (*ppBuffer != nullptr) {
        LocalFree(*ppBuffer);
    }
    *ppBuffer = nullptr;
    *pdwSize = 0;
}
