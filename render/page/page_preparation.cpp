// Page preparation: at the end of every page the collected page bitmap becomes a CxImage,
// is turned, cropped, brightened, dithered and reduced, gets the page's TrueType text drawn
// in, and goes with the device text of the page to the interleaving that emits the commands.
#include "page/page_preparation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "page/band_capture.h"
#include "page/interleave.h"
#include "plugin/debug_log.h"
#include "plugin/module_state.h"
#include "text/text_records.h"
#include "win32/clock.h"
#include "win32/files.h"
#include "win32/heap.h"
#include "win32/strings.h"
#include "ximage.h"

namespace {

constexpr const char* kModelName = "LBR-KV580";
constexpr DWORD kImgRectBytes = 8;

WORD ReadWord(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}
void WriteWord(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v & 0xFF);
    p[1] = static_cast<BYTE>(v >> 8);
}

// True when the colour is pure white (red + green + blue = 765).
bool IsWhite(RGBQUAD c) {
    return c.rgbRed + c.rgbGreen + c.rgbBlue == 765;
}

// True when row y holds a pixel that is not pure white.
bool RowHasContent(const CxImage& image, DWORD y, const bool (&whiteIndex)[256]) {
    const DWORD width = image.GetWidth();
    const WORD bpp = image.GetBpp();
    const BYTE* row = image.GetRow(y);
    if (row == nullptr) return false;
    if (bpp == 24) {
        for (DWORD x = 0; x < width; ++x) {
            const BYTE* p = row + static_cast<size_t>(x) * 3;
            if (p[0] + p[1] + p[2] != 765) return true;
        }
        return false;
    }
    if (image.GetNumColors() == 0) {
        for (DWORD x = 0; x < width; ++x) {
            if (!IsWhite(image.GetPixelColor(static_cast<long>(x), static_cast<long>(y)))) {
                return true;
            }
        }
        return false;
    }
    if (bpp == 1 && whiteIndex[0] != whiteIndex[1]) {
        // Whole bytes: the non-white index is a set or a clear bit.
        const BYTE contentIsOne = whiteIndex[1] ? 0 : 1;
        const DWORD full = width / 8;
        for (DWORD i = 0; i < full; ++i) {
            const BYTE b = contentIsOne ? row[i] : static_cast<BYTE>(~row[i]);
            if (b != 0) return true;
        }
        for (DWORD x = full * 8; x < width; ++x) {
            const BYTE bit = static_cast<BYTE>((row[x >> 3] >> (7 - (x & 7))) & 1);
            if (bit == contentIsOne) return true;
        }
        return false;
    }
    for (DWORD x = 0; x < width; ++x) {
        if (!whiteIndex[image.GetPixelIndexUnchecked(static_cast<long>(x), static_cast<long>(y))]) {
            return true;
        }
    }
    return false;
}

// Writes the diagnostic page dump of the current job; a file that cannot be opened is skipped.
void WritePageDump(CxImage* pImage) {
    WCHAR wszPath[MAX_PATH] = {};
    PageDumpFileName(g_dwCurrentJobId, wszPath, MAX_PATH);
    std::FILE* file = _wfopen(wszPath, u"wb");
    if (file == nullptr) return;
    {
        FileImageStream stream(file, false);
        pImage->WriteBmp(&stream);
    }
    std::fclose(file);
}

// The image library's diagnostic lines go to the plug-in's log.
void ImageLogToDebugLog(const char* line) {
    DebugLog("%s", line);
}

}  // namespace

float PageReduceRate(POEMPDEV pOemPDEV) {
    BYTE* v = pOemPDEV->UIInfo.byteValue;
    if (v[38] != 1) return 1.0f;
    switch (v[40]) {
        case 1:
            return 0.75f;
        case 2:
            return 0.5f;
        case 3:
            return 0.25f;
        case 4:
            v[41] = std::clamp<BYTE>(v[41], 10, 100);
            return static_cast<float>(v[41] / 100.0);
        default:
            return 1.0f;
    }
}

void PageDumpFileName(DWORD dwJobId, WCHAR* pszPath, size_t cchPath) {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    // The name keeps at most 31 characters.
    char name[64] = {};
    std::snprintf(name, sizeof(name), "%s_%02u%02u_%02u%02u_%05u.bmp", kModelName, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, static_cast<unsigned>(dwJobId));
    name[31] = '\0';
    char path[MAX_PATH] = {};
    std::snprintf(path, sizeof(path), "c:\\temp\\%s\\%s", kModelName, name);
    size_t i = 0;
    for (; path[i] != '\0' && i + 1 < cchPath; ++i) {
        pszPath[i] = static_cast<WCHAR>(static_cast<unsigned char>(path[i]));
    }
    if (cchPath > 0) pszPath[i] = 0;
}

/*
 * SortImageRects: stable insertion sort of the 8-byte records (left, top, right, bottom) by top.
 * A slot whose left and right are both 0 counts as empty, so a real record of that shape lets
 * the next record go in front of it.
 */
int SortImageRects(PBYTE pImgRectBuf, DWORD dwImgRectBufSize) {
    DebugLog("SortImageRects : START");
    const DWORD count = dwImgRectBufSize / kImgRectBytes;
    if (pImgRectBuf == nullptr || count == 0) {
        DebugLog("SortImageRects : END");
        return 1;
    }
    const SIZE_T bytes = static_cast<SIZE_T>(count) * kImgRectBytes;
    auto* copy = static_cast<PBYTE>(LocalAlloc(LPTR, bytes));
    if (copy == nullptr) {
        DebugLog("SortImageRects : LocalAlloc failed with (%d)", GetLastError());
        return 0;
    }
    std::memcpy(copy, pImgRectBuf, bytes);
    std::memset(pImgRectBuf, 0, bytes);
    for (DWORD i = 0; i < count; ++i) {
        const BYTE* r = copy + static_cast<size_t>(i) * kImgRectBytes;
        const WORD top = ReadWord(r + 2);
        DWORD slot = i;
        for (DWORD j = 0; j <= i; ++j) {
            const BYTE* s = pImgRectBuf + static_cast<size_t>(j) * kImgRectBytes;
            const bool empty = ReadWord(s) == 0 && ReadWord(s + 4) == 0;
            if (empty || ReadWord(s + 2) > top) {
                slot = j;
                break;
            }
        }
        PBYTE dst = pImgRectBuf + static_cast<size_t>(slot) * kImgRectBytes;
        std::memmove(dst + kImgRectBytes, dst, static_cast<size_t>(i - slot) * kImgRectBytes);
        std::memcpy(dst, r, kImgRectBytes);
    }
    LocalFree(copy);
    DebugLog("SortImageRects : END");
    return 1;
}

/*
 * RePositionDevTxt_R180: for the half turn, every device record's Y becomes dwLastPosY - Y
 * (low 16 bits) and the records are written back in reverse order.
 */
int RePositionDevTxt_R180(PBYTE pDevTxtBuf, DWORD dwDevTxtBufSize, DWORD dwLastPosY) {
    DebugLog("RePositionDevTxt_R180 : START");
    if (pDevTxtBuf == nullptr || dwDevTxtBufSize == 0) {
        DebugLog("RePositionDevTxt_R180 : END");
        return 0;
    }
    auto* copy = static_cast<PBYTE>(LocalAlloc(LPTR, dwDevTxtBufSize));
    if (copy == nullptr) {
        DebugLog("RePositionDevTxt_R180 : LocalAlloc failed with (%d)", GetLastError());
        return 0;
    }
    std::memcpy(copy, pDevTxtBuf, dwDevTxtBufSize);
    std::memset(pDevTxtBuf, 0, dwDevTxtBufSize);
    DWORD pos = 0;
    while (pos + kTxtRecHeaderSize <= dwDevTxtBufSize) {
        const DWORD len = TxtRecLength(copy + pos);
        if (len > dwDevTxtBufSize - pos) {
            DebugLog("RePositionDevTxt_R180 : a record runs past the buffer (%d)", pos);
            break;
        }
        const DWORD end = pos + len;
        PBYTE dst = pDevTxtBuf + (dwDevTxtBufSize - end);
        std::memcpy(dst, copy + pos, len);
        WriteWord(dst + kTxtRecY, static_cast<WORD>(dwLastPosY - TxtRecWord(copy + pos, kTxtRecY)));
        pos = end;
    }
    LocalFree(copy);
    DebugLog("RePositionDevTxt_R180 : END");
    return 0;
}

/*
 * CropBottomBlankArea: finds the last row with a non-white pixel (rows H - 1 .. 1) and cuts
 * everything more than one row below it, or below the lowest text record when that lies lower.
 */
int CropBottomBlankArea(PDEVOBJ pdevobj, CxImage* pImage) {
    DebugLog("CropBottomBlankArea : START");
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    if (pOemPDEV == nullptr || pImage == nullptr || !pImage->IsValid() ||
        pOemPDEV->UIInfo.byteValue[31] != 0) {
        DebugLog("CropBottomBlankArea : END");
        return 0;
    }
    const DWORD width = pImage->GetWidth();
    const DWORD height = pImage->GetHeight();
    bool whiteIndex[256] = {};
    for (DWORD i = 0; i < pImage->GetNumColors() && i < 256; ++i) {
        whiteIndex[i] = IsWhite(pImage->GetPaletteColor(i));
    }
    DWORD y = 0;
    for (DWORD row = height - 1; row >= 1 && row < height; --row) {
        if (RowHasContent(*pImage, row, whiteIndex)) {
            y = row;
            break;
        }
    }
    if (y == 0) {
        DebugLog("CropBottomBlankArea : no content row found");
        DebugLog("CropBottomBlankArea : END");
        return 0;
    }
    long long cut = static_cast<long long>(height) - y;
    if (pOemPDEV->pTxtBufStart != nullptr && y < pOemPDEV->dwBottomTxtCoordinate) {
        cut = static_cast<long long>(height) - pOemPDEV->dwBottomTxtCoordinate;
    }
    const long bottom = static_cast<long>(std::max<long long>(cut - 2, 0));
    DebugLog("CropBottomBlankArea : last row = %d, cut = %d", y, static_cast<int>(bottom));
    if (!pImage->Crop(0, static_cast<long>(height), static_cast<long>(width), bottom)) {
        DebugLog("CropBottomBlankArea : CxImage Crop failed");
        DebugLog("CropBottomBlankArea : END");
        return 0;
    }
    pOemPDEV->bBlankBand = 0;
    pOemPDEV->dwBlankHeight = 0;
    pOemPDEV->dwBlankSize = 0;
    DebugLog("CropBottomBlankArea : END");
    return 1;
}

int CropImageTopAndBottom(PDEVOBJ pdevobj, CxImage* pImage, DWORD dwOrgWidth, DWORD dwOrgHeight,
                          DWORD dw_Y_Last) {
    (void)dwOrgHeight;
    DebugLog("CropImageTopAndBottom : START");
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    if (pOemPDEV == nullptr || pImage == nullptr || !pImage->IsValid()) {
        DebugLog("CropImageTopAndBottom : END");
        return 0;
    }
    const BYTE* v = pOemPDEV->UIInfo.byteValue;
    const long long W = pImage->GetWidth();
    const long long H = pImage->GetHeight();
    long long byTopCrop = v[23] != 0 ? v[24] : 0;
    long long byBottomCrop = v[25] != 0 ? v[26] : 0;
    if (byTopCrop + byBottomCrop > H) {
        byTopCrop = 0;
        byBottomCrop = 0;
    }
    if (v[21] == 0 && byTopCrop == 0 && byBottomCrop == 0) {
        DebugLog("CropImageTopAndBottom : DO NOTHING. (NO CROP)");
        DebugLog("CropImageTopAndBottom : END");
        return 1;
    }
    if (v[21] != 0 && pOemPDEV->bBlankBand != 0) {
        DebugLog("CropImageTopAndBottom : CASE #1");
        // The page-length crop of a page that will be turned by a quarter or a half turn.
        long long first;
        long long last;
        const long long yLast = dw_Y_Last;
        const auto lastByBottom = [&]() {
            // H - dw_Y_Last as an unsigned difference.
            const DWORD gap = static_cast<DWORD>(H) - dw_Y_Last;
            return gap <= byBottomCrop ? H - byBottomCrop : yLast;
        };
        if (v[21] == 1) {
            first = byTopCrop;
            last = byTopCrop + dwOrgWidth;
        } else if (v[21] == 3) {
            last = lastByBottom();
            first = last - dwOrgWidth;
        } else {
            first = byTopCrop;
            last = lastByBottom();
        }
        if (!pImage->Crop(0, static_cast<long>(H - first - 1), static_cast<long>(W),
                          static_cast<long>(H - last - 1))) {
            DebugLog("CropImageTopAndBottom  : CxImage Crop failed");
            DebugLog("CropImageTopAndBottom : END");
            return 0;
        }
        pOemPDEV->bBlankBand = 0;
        DebugLog("CropImageTopAndBottom : END");
        return 1;
    }
    if (byTopCrop == 0 && byBottomCrop == 0) {
        DebugLog("CropImageTopAndBottom : CASE #3");
        DebugLog("CropImageTopAndBottom : DO NOTHING. (NO CROP)");
        DebugLog("CropImageTopAndBottom : END");
        return 1;
    }
    DebugLog("CropImageTopAndBottom : CASE #2");
    if (!pImage->Crop(0, static_cast<long>(H - byTopCrop - 1), static_cast<long>(W),
                      static_cast<long>(byBottomCrop - 1))) {
        DebugLog("CropImageTopAndBottom  : CxImage Crop failed.");
        DebugLog("CropImageTopAndBottom : END");
        return 0;
    }
    DebugLog("CropImageTopAndBottom : END");
    return 1;
}

DWORD DrawResizedText(PDEVOBJ pdevobj, CxImage* pImage, float fReduceRate, DWORD dwLastPosY) {
    DebugLog("DrawResizedText : START");
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    if (pOemPDEV == nullptr || pImage == nullptr) {
        DebugLog("DrawResizedText : END");
        return dwLastPosY;
    }
    DWORD X = 0;
    DWORD Y = 0;
    DWORD offset = 0;
    auto* pText = static_cast<WCHAR*>(LocalAlloc(LPTR, kTxtTrueTypeTextBufBytes));
    if (pText == nullptr) {
        DebugLog("DrawResizedText : LocalAlloc failed with (%d)", GetLastError());
        DebugLog("DrawResizedText : END");
        return dwLastPosY;
    }
    while (offset < pOemPDEV->dwTxtBufSize && pOemPDEV->pTxtBufStart != nullptr) {
        LOGFONTW lf = {};
        std::memset(pText, 0, kTxtTrueTypeTextBufBytes);
        const BYTE* rec = pOemPDEV->pTxtBufStart + offset;
        const BYTE type = rec[0];
        const DWORD height =
            offset + kTxtRecY <= pOemPDEV->dwTxtBufSize ? TxtRecWord(rec, kTxtRecHeight) : 0;
        const DWORD last =
            ExtractFontInfoFromBuf(pOemPDEV, offset, &lf, &X, &Y, pText, kTxtTrueTypeTextBufBytes);
        if (last == 0) {
            DebugLog("DrawResizedText : CxImage : BREAK LOOP");
            break;
        }
        if (type == FTYPE_TRUETYPE) {
            Y = pImage->DrawString(X, Y, pText, lf, fReduceRate, pOemPDEV->UIInfo.byteValue[21]);
        } else {
            Y = Y + height;
        }
        if (Y > dwLastPosY) dwLastPosY = Y;
        offset = last + 1;
    }
    LocalFree(pText);
    DebugLog("DrawResizedText : END");
    return dwLastPosY;
}

/*
 * CreateImageData: the whole preparation of one page, in this order: blank-tail flag,
 * reduction rate, decode, landscape turn, bottom blank cut, diagnostic dump, lowest used row,
 * brightness, dithering or reduction to black and white, resampling, TrueType text, top and
 * bottom crop, the user's rotation; then the interleaving of rows and device text.
 */
HRESULT CreateImageData(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    DebugLog("CreateImageData : START");
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    if (pOemPDEV == nullptr) {
        DebugLog("CreateImageData : END");
        return E_FAIL;
    }
    BYTE* v = pOemPDEV->UIInfo.byteValue;
    CxImageSetLogHook(ImageLogToDebugLog);
    auto* pImage = new (std::nothrow) CxImage();
    if (pImage == nullptr) {
        DebugLog("CreateImageData : new CxImage failed.");
        DebugLog("CreateImageData : END");
        return E_FAIL;
    }

    pOemPDEV->bBlankBand = 0;
    if (v[31] == 0 || IsReceiptPrintSelected(pOemCP, pdevobj)) {
        pOemPDEV->bBlankBand = 1;
        v[31] = 0;
    }
    const float fReduceRate = PageReduceRate(pOemPDEV);

    BITMAPINFOHEADER header = pOemPDEV->bmInfoHeader;
    if (!pImage->Decode(&header, pOemPDEV->pBufStart,
                        reinterpret_cast<const RGBQUAD*>(pOemPDEV->pColorTable),
                        pOemPDEV->dwColorTableEntries * 4, pOemPDEV->dwBufSize)) {
        delete pImage;
        DebugLog("CreateImageData : Decode failed.");
        DebugLog("CreateImageData : END");
        return E_FAIL;
    }
    // The image holds the page now; the page bitmap is not read again.
    FreeBuffer(&pOemPDEV->pBufStart, &pOemPDEV->dwBufSize);

    if (v[42] == 1) {
        DebugLog("CreateImageData : LANDSCAPE_270 MODE");
        pImage->RotateLeft();
    }
    CropBottomBlankArea(pdevobj, pImage);
    if (g_bDebugLog && g_dwCurrentJobId != 0) {
        WritePageDump(pImage);
    }

    DWORD dwLastPosY = pImage->GetHeight();
    SortImageRects(pOemPDEV->pImgRectBufStart, pOemPDEV->dwImgRectBufSize);
    if (pOemPDEV->pImgRectBufStart != nullptr && pOemPDEV->dwImgRectBufSize >= kImgRectBytes) {
        const DWORD lastRec = (pOemPDEV->dwImgRectBufSize / kImgRectBytes - 1) * kImgRectBytes;
        const DWORD dwTempY = ReadWord(pOemPDEV->pImgRectBufStart + lastRec + 6);
        if (dwTempY > dwLastPosY) {
            dwLastPosY = dwTempY;
            DebugLog("CreateImageData : dwTempY : %d", dwTempY);
        }
    }

    pImage->AdjustBrightness((10 - static_cast<long>(v[35])) * 10);
    if (v[33] == 0) {
        switch (v[34]) {
            case 1:
                pImage->Dither(CxImage::DITHER_ERROR_DIFFUSION);
                break;
            case 2:
                pImage->Dither(CxImage::DITHER_ORDERED_4X4);
                break;
            case 3:
                pImage->Dither(CxImage::DITHER_MATRIX_4X4);
                break;
            case 4:
                pImage->Dither(CxImage::DITHER_MATRIX_8X8);
                break;
            default:
                if (pImage->GetBpp() > 1) pImage->DecreaseBpp(1);
                break;
        }
    }
    if (fReduceRate < 1.0f) {
        pImage->Resample(static_cast<long>(ScaledValue(pImage->GetWidth(), fReduceRate)),
                         static_cast<long>(ScaledValue(pImage->GetHeight(), fReduceRate)));
    }
    dwLastPosY = ScaledValue(dwLastPosY, fReduceRate);
    const DWORD dwOrgWidth = pImage->GetWidth();
    const DWORD dwOrgHeight = pImage->GetHeight();
    if (pOemPDEV->dwTxtBufSize != 0) {
        dwLastPosY = DrawResizedText(pdevobj, pImage, fReduceRate, dwLastPosY);
    }
    CropImageTopAndBottom(pdevobj, pImage, dwOrgWidth, dwOrgHeight, dwLastPosY);
    switch (v[21]) {
        case 1:
            DebugLog("CreateImageData : ROTATE_90");
            pImage->RotateLeft();
            break;
        case 2:
            DebugLog("CreateImageData : ROTATE_180");
            pImage->Rotate180();
            RePositionDevTxt_R180(pOemPDEV->pDevTxtBufStart, pOemPDEV->dwDevTxtBufSize, dwLastPosY);
            break;
        case 3:
            DebugLog("CreateImageData : ROTATE_270");
            pImage->RotateRight();
            break;
        default:
            break;
    }
    const HRESULT hResult = AddImageAndDevFontData(pOemCP, pdevobj, pImage, fReduceRate);
    delete pImage;
    DebugLog("CreateImageData : END");
    return hResult;
}
