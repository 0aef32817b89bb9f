// Interleaving of image rows and device text. A receipt printer prints strictly from the top:
// the image rows above a device-text line go out as raster commands, then the line's own
// command bytes (a device-font line ends with its own paper feed), then the image goes on
// below the rows the line took.
#include "page/interleave.h"

#include <cstring>

#include "page/page_preparation.h"
#include "page/raster_commands.h"
#include "plugin/debug_log.h"
#include "plugin/job_flow.h"
#include "text/text_records.h"
#include "win32/heap.h"
#include "ximage.h"

namespace {

constexpr DWORD kImgRectBytes = 8;

WORD ReadWord(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

// Rows of the page after the user's crops that the lowest TrueType text still needs.
DWORD RemainWithoutDeviceText(POEMPDEV pOemPDEV, DWORD H, float fReduceRate) {
    const BYTE* v = pOemPDEV->UIInfo.byteValue;
    DWORD dwRemainHeight = H;
    if (v[21] != 0) return dwRemainHeight;
    if (pOemPDEV->bBlankBand) {
        const DWORD blank = ScaledValue(pOemPDEV->dwBlankHeight, fReduceRate);
        dwRemainHeight = blank < dwRemainHeight ? dwRemainHeight - blank : 0;
    }
    if (ScaledValue(pOemPDEV->dwLastTxt_PosY, fReduceRate) >= dwRemainHeight) {
        dwRemainHeight =
            ScaledValue(pOemPDEV->dwLastTxt_PosY + pOemPDEV->dwLastTxt_Height, fReduceRate);
        if (v[23] != 0 && v[24] != 0 && dwRemainHeight > v[24]) dwRemainHeight -= v[24];
        if (v[25] != 0 && v[26] != 0 && dwRemainHeight > v[26]) dwRemainHeight -= v[26];
    }
    return dwRemainHeight;
}

// The picture rectangles that begin on a device-text line are sent beside it: the first
// rectangle whose top is the line's top (overlap h) or lies inside the line (the rows of the
// line below that top).
void DevTextInImage(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, CxImage* pImage, DWORD dwY_DevFont,
                    DWORD h, BOOL bRLE, BOOL bMultiTone) {
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    const BYTE* rects = pOemPDEV->pImgRectBufStart;
    if (rects == nullptr) return;
    const DWORD count = pOemPDEV->dwImgRectBufSize / kImgRectBytes;
    for (DWORD i = 0; i < count; ++i) {
        const DWORD top = ReadWord(rects + static_cast<size_t>(i) * kImgRectBytes + 2);
        DWORD overlap = 0;
        if (top == dwY_DevFont) {
            overlap = h;
        } else if (top > dwY_DevFont && top < dwY_DevFont + h) {
            overlap = h - (top - dwY_DevFont);
        } else {
            continue;
        }
        DebugLog("AddImageAndDevFontData : The corrected image height = %d", overlap);
        AddImageCommands(pOemCP, pdevobj, pImage, dwY_DevFont, overlap, bRLE, bMultiTone);
        return;
    }
}

}  // namespace

HRESULT AddImageAndDevFontData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, CxImage* pImage,
                               float fReduceRate) {
    DebugLog("AddImageAndDevFontData : START");
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    if (pOemPDEV == nullptr || pImage == nullptr) {
        DebugLog("AddImageAndDevFontData : END");
        return E_FAIL;
    }
    const BYTE* v = pOemPDEV->UIInfo.byteValue;
    const BOOL bRLE = v[36] == 1;
    const BOOL bMultiTone = v[33] == 1;
    const DWORD H = pImage->GetHeight();

    if (pOemPDEV->pDevTxtBufStart == nullptr) {
        DebugLog("AddImageAndDevFontData : Device Fonts does not exist.");
        const DWORD dwRemainHeight = RemainWithoutDeviceText(pOemPDEV, H, fReduceRate);
        const HRESULT hr =
            AddImageCommands(pOemCP, pdevobj, pImage, 0, dwRemainHeight, bRLE, bMultiTone);
        DebugLog("AddImageAndDevFontData : END");
        return hr;
    }

    HRESULT result = E_FAIL;
    DWORD dwY_ImgHeight = 0;
    DWORD dwY_ImgStart = 0;
    DWORD dwDevTxtStart = 0;
    const PBYTE buf = pOemPDEV->pDevTxtBufStart;
    const DWORD size = pOemPDEV->dwDevTxtBufSize;
    while (dwY_ImgHeight < H) {
        if (dwDevTxtStart >= size) {
            DebugLog("AddImageAndDevFontData : dwDevTxtStart >= pOemPDEV->dwDevTxtBufSize");
            break;
        }
        const BYTE* rec = buf + dwDevTxtStart;
        // A record that does not fit in the list ends the walk (a damaged list is not read
        // past its end).
        if (size - dwDevTxtStart < kTxtRecHeaderSize || TxtRecLength(rec) > size - dwDevTxtStart) {
            DebugLog("AddImageAndDevFontData : a device-text record runs past the list (%d)",
                     dwDevTxtStart);
            break;
        }
        const DWORD dwY_DevFont = ScaledValue(TxtRecWord(rec, kTxtRecY), fReduceRate);
        if (dwY_DevFont > dwY_ImgHeight) {
            if (dwY_DevFont >= H) break;  // lines at or below the image's end are not sent
            dwY_ImgHeight = dwY_DevFont;
        }
        if (dwY_DevFont != 0 && dwY_DevFont > dwY_ImgStart + 1) {
            AddImageCommands(pOemCP, pdevobj, pImage, dwY_ImgStart, dwY_DevFont - dwY_ImgStart - 1,
                             bRLE, bMultiTone);
        }
        const DWORD lenA = TxtRecWord(rec, kTxtRecLengthA);
        const DWORD lenB = TxtRecWord(rec, kTxtRecLengthB);
        // Field A and field B lie back to back after the header; the terminating 00 follows.
        const DWORD lineBytes = lenA + lenB + 1;
        auto* line = static_cast<PBYTE>(LocalAlloc(LPTR, lineBytes));
        BOOL sent = FALSE;
        if (line != nullptr) {
            std::memcpy(line, rec + kTxtRecHeaderSize, lenA + lenB);
            sent = AddPrintDataTobeSent(pOemCP, line, lineBytes);
            LocalFree(line);
        }
        if (!sent) {
            result = S_FALSE;
            break;
        }
        const BYTE type = rec[kTxtRecType];
        DWORD h;
        if (type == FTYPE_DEVICE_BARCODE) {
            DebugLog("AddImageAndDevFontData : uiFontType : FTYPE_DEVICE_BARCODE");
            h = 0;
        } else if (type == FTYPE_DEVICE_FONT_CONTROL || type == FTYPE_DEVICE_FONT_CONTROL_A) {
            h = v[21] != 0 ? 0 : ScaledValue(TxtRecWord(rec, kTxtRecHeight), fReduceRate);
        } else {
            h = ScaledValue(TxtRecWord(rec, kTxtRecHeight), fReduceRate);
        }
        DevTextInImage(pOemCP, pdevobj, pImage, dwY_DevFont, h, bRLE, bMultiTone);
        dwY_ImgHeight += h;
        dwY_ImgStart = dwY_ImgHeight;
        dwDevTxtStart += TxtRecLength(rec);
        result = S_OK;
    }

    DebugLog("AddImageAndDevFontData : The buffer remained : dwImgStartY = %d, ImageHeight = %d",
             dwY_ImgStart, H);
    DWORD dwRemainHeight = 0;
    if (v[21] != 0) {
        dwRemainHeight = dwY_ImgStart < H ? H - dwY_ImgStart : 0;
    } else {
        DWORD end = H;
        if (pOemPDEV->bBlankBand) {
            const DWORD blank = ScaledValue(pOemPDEV->dwBlankHeight, fReduceRate);
            end = blank < H ? H - blank : 0;
        }
        if (dwY_ImgStart < end) {
            dwRemainHeight = end - dwY_ImgStart;
        } else if (ScaledValue(pOemPDEV->dwLastTxt_PosY, fReduceRate) < dwY_ImgStart) {
            dwRemainHeight = 0;
        } else {
            dwRemainHeight =
                ScaledValue(pOemPDEV->dwLastTxt_PosY + pOemPDEV->dwLastTxt_Height, fReduceRate) -
                dwY_ImgStart;
        }
    }
    if (dwRemainHeight != 0) {
        result = AddImageCommands(pOemCP, pdevobj, pImage, dwY_ImgStart, dwRemainHeight, bRLE,
                                  bMultiTone);
    }
    DebugLog("AddImageAndDevFontData : END");
    return result;
}
