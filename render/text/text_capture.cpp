// Text capture: the text record writer, the two readers the page pipeline walks the records
// with, the font height and the code-page helpers.
#include <cmath>
#include <cstring>

#include "debug_log.h"
#include "device_fonts.h"
#include "oempdev.h"
#include "text_records.h"
#include "win32/codepage.h"
#include "win32/heap.h"

namespace {

void PutWord(BYTE* p, DWORD value) {
    p[0] = static_cast<BYTE>(value & 0xFF);
    p[1] = static_cast<BYTE>((value >> 8) & 0xFF);
}

// A coordinate as a record stores it: clamped into 0..65535.
DWORD RecordCoordinate(LONG value) {
    if (value < 0) {
        return 0;
    }
    return value > kTxtRecMaxCoordinate ? static_cast<DWORD>(kTxtRecMaxCoordinate)
                                        : static_cast<DWORD>(value);
}

// Length of a NUL-terminated UTF-16 string.
DWORD WideLength(const WCHAR* s) {
    DWORD n = 0;
    while (s[n] != 0) {
        ++n;
    }
    return n;
}

// Writes count UTF-16 characters as little-endian bytes.
void PutWide(BYTE* out, const WCHAR* s, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        PutWord(out + 2 * i, s[i]);
    }
}

}  // namespace

/*
 * GetTextReduceRate: the reduction rate of the page from the settings copy (bytes 38, 40,
 * 41). Choice 4 clamps byte 41 into byMinPercent..100 and writes it back into the copy.
 */
float GetTextReduceRate(OEMPDEV* pOemPDEV, BYTE byMinPercent) {
    if (pOemPDEV == nullptr || pOemPDEV->UIInfo.byteValue[38] != 1) {
        return 1.0f;
    }
    BYTE* settings = pOemPDEV->UIInfo.byteValue;
    switch (settings[40]) {
        case 1:
            return 0.75f;
        case 2:
            return 0.5f;
        case 3:
            return 0.25f;
        case 4:
            if (settings[41] < byMinPercent) {
                settings[41] = byMinPercent;
            } else if (settings[41] > 100) {
                settings[41] = 100;
            }
            return static_cast<float>(static_cast<double>(settings[41]) / 100.0);
        default:
            return 1.0f;
    }
}

/*
 * GetFontHeight: the em height of the font in device pixels, from the font transform and the
 * face's units per em. 0xFFFFFFFF without a font; 0 when the engine knows nothing of it.
 */
DWORD GetFontHeight(FONTOBJ* pfo) {
    if (pfo == nullptr) {
        return 0xFFFFFFFF;
    }
    IFIMETRICS* pifi = FONTOBJ_pifi(pfo);
    XFORMOBJ* pxo = FONTOBJ_pxoGetXform(pfo);
    XFORML xform = {};
    if (pifi == nullptr || pxo == nullptr || XFORMOBJ_iGetXform(pxo, &xform) == DDI_ERROR) {
        DebugLog("GetFontHeight : the font has no metrics or transform.");
        return 0;
    }
    const float s = std::sqrt(xform.eM21 * xform.eM21 + xform.eM22 * xform.eM22);
    const double height = static_cast<double>(pifi->fwdUnitsPerEm) * s + 0.5;
    if (!(height > 0.0)) {
        return 0;
    }
    return height >= 4294967295.0 ? 0xFFFFFFFF : static_cast<DWORD>(height);
}

/*
 * AddFontDataToBuf: appends one record (header from pstro and pfo, then the two fields) to
 * the page's text record buffer. Returns TRUE when appended; on failure the buffer is as it
 * was. A field longer than 65535 bytes cannot be described by the header and is refused.
 */
BOOL AddFontDataToBuf(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, BYTE byFontType, DWORD dwHeight,
                      const BYTE* pFieldA, DWORD dwFieldA, const BYTE* pFieldB, DWORD dwFieldB) {
    POEMPDEV pOemPDEV = DeviceState(DeviceObject(pso));
    if (pOemPDEV == nullptr || pstro == nullptr) {
        DebugLog("AddFontDataToBuf : pOemPDEV or pstro is NULL.");
        return FALSE;
    }
    if (dwFieldA > 0xFFFF || dwFieldB > 0xFFFF || (dwFieldA != 0 && pFieldA == nullptr) ||
        (dwFieldB != 0 && pFieldB == nullptr)) {
        DebugLog("AddFontDataToBuf : a field does not fit in a record. (%d, %d)", dwFieldA,
                 dwFieldB);
        return FALSE;
    }
    const DWORD dwOld = pOemPDEV->pTxtBufStart != nullptr ? pOemPDEV->dwTxtBufSize : 0;
    const DWORD dwRecord = kTxtRecHeaderSize + dwFieldA + dwFieldB;
    if (dwOld > 0xFFFFFFFF - dwRecord) {
        DebugLog("AddFontDataToBuf : the text buffer is full.");
        return FALSE;
    }
    PBYTE pNew = static_cast<PBYTE>(LocalAlloc(LPTR, dwOld + dwRecord));
    if (pNew == nullptr) {
        DebugLog("AddFontDataToBuf : LocalAlloc failed with (%d)", GetLastError());
        return FALSE;
    }
    if (dwOld != 0) {
        std::memcpy(pNew, pOemPDEV->pTxtBufStart, dwOld);
    }
    if (pOemPDEV->pTxtBufStart != nullptr) {
        LocalFree(pOemPDEV->pTxtBufStart);
    }
    pOemPDEV->pTxtBufStart = pNew;
    pOemPDEV->dwTxtBufSize = dwOld + dwRecord;

    IFIMETRICS* pifi = pfo != nullptr ? FONTOBJ_pifi(pfo) : nullptr;
    const DWORD dwHeightField = dwHeight > 0xFFFF ? 0xFFFF : dwHeight;
    const DWORD dwX = RecordCoordinate(pstro->rclBkGround.left);
    const DWORD dwY = RecordCoordinate(pstro->rclBkGround.top);
    BYTE* r = pNew + dwOld;
    r[kTxtRecType] = byFontType;
    PutWord(r + kTxtRecHeight, dwHeightField);
    r[kTxtRecWidth] = 0;
    r[kTxtRecEscapement] = 0;
    r[kTxtRecOrientation] = 0;
    PutWord(r + kTxtRecWeight, pifi != nullptr ? pifi->usWinWeight : 0);
    r[kTxtRecItalic] = (pfo != nullptr && (pfo->flFontType & FO_SIM_ITALIC) != 0) ? 1 : 0;
    r[kTxtRecUnderline] = (pifi != nullptr && (pifi->fsSelection & FM_SEL_UNDERSCORE) != 0) ? 1 : 0;
    r[kTxtRecStrikeOut] = (pifi != nullptr && (pifi->fsSelection & FM_SEL_STRIKEOUT) != 0) ? 1 : 0;
    r[kTxtRecCharSet] = pifi != nullptr ? pifi->jWinCharSet : 0;
    r[kTxtRecPitchAndFamily] = pifi != nullptr ? pifi->jWinPitchAndFamily : 0;
    PutWord(r + kTxtRecX, dwX);
    PutWord(r + kTxtRecY, dwY);
    PutWord(r + kTxtRecLengthA, dwFieldA);
    PutWord(r + kTxtRecLengthB, dwFieldB);
    if (dwFieldA != 0) {
        std::memcpy(r + kTxtRecHeaderSize, pFieldA, dwFieldA);
    }
    if (dwFieldB != 0) {
        std::memcpy(r + kTxtRecHeaderSize + dwFieldA, pFieldB, dwFieldB);
    }
    if (dwHeightField + dwY > pOemPDEV->dwBottomTxtCoordinate) {
        pOemPDEV->dwBottomTxtCoordinate = dwHeightField + dwY;
    }
    DebugLog("AddFontDataToBuf : type = %d, height = %d, X = %d, Y = %d, A = %d, B = %d",
             byFontType, dwHeightField, dwX, dwY, dwFieldA, dwFieldB);
    return TRUE;
}

/*
 * AddTtfFontInfoToBuf: appends a type-5 record for the run: the family name and the text in
 * UTF-16LE, each followed by one zero byte. A run longer than kTxtMaxTrueTypeChars keeps its
 * first kTxtMaxTrueTypeChars characters (the page pipeline's text buffer holds no more).
 */
BOOL AddTtfFontInfoToBuf(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo) {
    DebugLog("AddTtfFontInfoToBuf : START");
    POEMPDEV pOemPDEV = DeviceState(DeviceObject(pso));
    IFIMETRICS* pifi = pfo != nullptr ? FONTOBJ_pifi(pfo) : nullptr;
    if (pOemPDEV == nullptr || pstro == nullptr || pstro->pwszOrg == nullptr || pifi == nullptr) {
        DebugLog("AddTtfFontInfoToBuf : no device state, text or font metrics.");
        return FALSE;
    }
    DWORD dwChars = pstro->cGlyphs;
    if (dwChars == 0) {
        DebugLog("AddTtfFontInfoToBuf : empty run.");
        return FALSE;
    }
    if (dwChars > kTxtMaxTrueTypeChars) {
        DebugLog("AddTtfFontInfoToBuf : the run has %d characters; the first %d are kept.", dwChars,
                 kTxtMaxTrueTypeChars);
        dwChars = kTxtMaxTrueTypeChars;
    }
    const WCHAR* pwszFamily =
        reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(pifi) + pifi->dpwszFamilyName);
    DWORD dwFamilyChars = WideLength(pwszFamily);
    if (dwFamilyChars > (0xFFFF - 1) / 2) {
        dwFamilyChars = (0xFFFF - 1) / 2;
    }
    const DWORD dwFieldA = 2 * dwFamilyChars + 1;
    const DWORD dwFieldB = 2 * dwChars + 1;
    PBYTE pFieldA = static_cast<PBYTE>(LocalAlloc(LPTR, dwFieldA));
    PBYTE pFieldB = static_cast<PBYTE>(LocalAlloc(LPTR, dwFieldB));
    BOOL bResult = FALSE;
    if (pFieldA == nullptr || pFieldB == nullptr) {
        DebugLog("AddTtfFontInfoToBuf : LocalAlloc failed with (%d)", GetLastError());
    } else {
        PutWide(pFieldA, pwszFamily, dwFamilyChars);
        PutWide(pFieldB, pstro->pwszOrg, dwChars);
        bResult = AddFontDataToBuf(pso, pstro, pfo, FTYPE_TRUETYPE, GetFontHeight(pfo), pFieldA,
                                   dwFieldA, pFieldB, dwFieldB);
    }
    LocalFree(pFieldA);
    LocalFree(pFieldB);
    DebugLog("AddTtfFontInfoToBuf : END");
    return bResult;
}

/*
 * AddFontsInfoToBuf: a device-font run goes to the device-font dispatcher, every other run
 * becomes a TrueType record. Returns 0.
 */
LONG AddFontsInfoToBuf(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo) {
    if (pfo == nullptr) {
        return 0;
    }
    if ((pfo->flFontType & FO_TYPE_DEVICE) != 0) {
        AddDevFontInfoToBuf(pso, pstro, pfo);
    } else {
        AddTtfFontInfoToBuf(pso, pstro, pfo);
    }
    return 0;
}

/*
 * ExtractDevFontsInfo: copies the device record at pos into the device-text buffer, before
 * the first stored record with a greater Y (records with equal Y keep their arrival order).
 * Returns pos + record length, or 0 (buffer unchanged) when memory runs out.
 */
DWORD ExtractDevFontsInfo(OEMPDEV* pOemPDEV, DWORD pos, DWORD* pY) {
    const BYTE* pRecord = pOemPDEV->pTxtBufStart + pos;
    const DWORD dwY = TxtRecWord(pRecord, kTxtRecY);
    const DWORD dwLength = TxtRecLength(pRecord);
    if (pY != nullptr) {
        *pY = dwY;
    }
    const DWORD dwOld = pOemPDEV->pDevTxtBufStart != nullptr ? pOemPDEV->dwDevTxtBufSize : 0;
    PBYTE pNew = static_cast<PBYTE>(LocalAlloc(LPTR, dwOld + dwLength));
    if (pNew == nullptr) {
        DebugLog("ExtractDevFontsInfo : LocalAlloc failed with (%d)", GetLastError());
        return 0;
    }
    if (pOemPDEV->pDevTxtBufStart == nullptr) {
        DebugLog("ExtractDevFontsInfo [DEVFONT] : First time allocation");
        std::memcpy(pNew, pRecord, dwLength);
    } else {
        DebugLog("ExtractDevFontsInfo [DEVFONT] : Growing an existing buffer");
        const BYTE* pStored = pOemPDEV->pDevTxtBufStart;
        DWORD at = 0;
        while (at + kTxtRecHeaderSize <= dwOld && TxtRecWord(pStored + at, kTxtRecY) <= dwY) {
            at += TxtRecLength(pStored + at);
        }
        if (at > dwOld) {
            at = dwOld;
        }
        std::memcpy(pNew, pStored, at);
        std::memcpy(pNew + at, pRecord, dwLength);
        std::memcpy(pNew + at + dwLength, pStored + at, dwOld - at);
        LocalFree(pOemPDEV->pDevTxtBufStart);
    }
    pOemPDEV->pDevTxtBufStart = pNew;
    pOemPDEV->dwDevTxtBufSize = dwOld + dwLength;
    return pos + dwLength;
}

/*
 * ExtractTTFInfo: rebuilds the LOGFONTW, position and text of the type-5 record at pos.
 * Returns pos + record length; pos itself for a record of another type.
 */
DWORD ExtractTTFInfo(OEMPDEV* pOemPDEV, DWORD pos, LOGFONTW* plf, DWORD* pX, DWORD* pY,
                     WCHAR* pText, DWORD cbText) {
    const BYTE* r = pOemPDEV->pTxtBufStart + pos;
    if (r[kTxtRecType] != FTYPE_TRUETYPE) {
        return pos;
    }
    const DWORD dwFieldA = TxtRecWord(r, kTxtRecLengthA);
    const DWORD dwFieldB = TxtRecWord(r, kTxtRecLengthB);
    const LONG lHeight = -static_cast<LONG>(TxtRecWord(r, kTxtRecHeight));
    const DWORD dwX = TxtRecWord(r, kTxtRecX);
    const DWORD dwY = TxtRecWord(r, kTxtRecY);
    if (plf != nullptr) {
        plf->lfHeight = lHeight;
        plf->lfWidth = r[kTxtRecWidth];
        plf->lfEscapement = r[kTxtRecEscapement];
        plf->lfOrientation = r[kTxtRecOrientation];
        plf->lfWeight = TxtRecWord(r, kTxtRecWeight);
        plf->lfItalic = r[kTxtRecItalic];
        plf->lfUnderline = r[kTxtRecUnderline];
        plf->lfStrikeOut = r[kTxtRecStrikeOut];
        plf->lfCharSet = r[kTxtRecCharSet];
        plf->lfPitchAndFamily = r[kTxtRecPitchAndFamily];
        // The face name: field A read as UTF-16, at most 31 characters and a terminator.
        const BYTE* pName = r + kTxtRecHeaderSize;
        DWORD i = 0;
        for (; i < LF_FACESIZE - 1 && 2 * i + 1 < dwFieldA; ++i) {
            const WCHAR c = static_cast<WCHAR>(pName[2 * i] | (pName[2 * i + 1] << 8));
            if (c == 0) {
                break;
            }
            plf->lfFaceName[i] = c;
        }
        plf->lfFaceName[i] = 0;
    }
    if (pX != nullptr) {
        *pX = dwX;
    }
    if (pY != nullptr) {
        *pY = dwY;
    }
    if (dwY > pOemPDEV->dwLastTxt_PosY) {
        pOemPDEV->dwLastTxt_PosY = dwY;
        pOemPDEV->dwLastTxt_Height = static_cast<DWORD>(lHeight < 0 ? -lHeight : lHeight);
    }
    if (pText != nullptr && cbText >= 2) {
        // Whole characters only, and room for the terminator the caller zeroed.
        DWORD dwCopy = dwFieldB < cbText - 2 ? dwFieldB : cbText - 2;
        const BYTE* pB = r + kTxtRecHeaderSize + dwFieldA;
        for (DWORD i = 0; 2 * i + 1 < dwCopy; ++i) {
            pText[i] = static_cast<WCHAR>(pB[2 * i] | (pB[2 * i + 1] << 8));
        }
    }
    return pos + kTxtRecHeaderSize + dwFieldA + dwFieldB;
}

/*
 * ExtractFontInfoFromBuf: reads the record at pos of the text record buffer (see the header).
 * Returns the offset of the record's last byte, or 0 to end the walk.
 */
DWORD ExtractFontInfoFromBuf(OEMPDEV* pOemPDEV, DWORD pos, LOGFONTW* plf, DWORD* pX, DWORD* pY,
                             WCHAR* pText, DWORD cbText) {
    if (pOemPDEV == nullptr || pOemPDEV->pTxtBufStart == nullptr || pos >= pOemPDEV->dwTxtBufSize ||
        pOemPDEV->dwTxtBufSize - pos < kTxtRecHeaderSize) {
        DebugLog("ExtractFontInfoFromBuf : no record at (%d)", pos);
        return 0;
    }
    const BYTE* r = pOemPDEV->pTxtBufStart + pos;
    if (TxtRecLength(r) > pOemPDEV->dwTxtBufSize - pos) {
        DebugLog("ExtractFontInfoFromBuf : the record at (%d) runs past the buffer.", pos);
        return 0;
    }
    DWORD dwNext = 0;
    switch (r[kTxtRecType]) {
        case FTYPE_DEVICE_FONT:
        case FTYPE_DEVICE_BARCODE:
        case FTYPE_DEVICE_FONT_CONTROL:
        case FTYPE_DEVICE_FONT_CONTROL_A:
            dwNext = ExtractDevFontsInfo(pOemPDEV, pos, pY);
            break;
        case FTYPE_TRUETYPE:
            dwNext = ExtractTTFInfo(pOemPDEV, pos, plf, pX, pY, pText, cbText);
            break;
        default:
            DebugLog("ExtractFontInfoFromBuf : FTYPE_UNKNOWN. (%x)", r[kTxtRecType]);
            return 0;
    }
    return dwNext == 0 ? 0 : dwNext - 1;
}

/*
 * WideToCodePage: converts a NUL-terminated UTF-16 string to the code page into pszOut,
 * which is zeroed first. Returns the byte count with the terminator, or 0 when it does not
 * fit (or there is nothing to convert).
 */
DWORD WideToCodePage(const WCHAR* pwszWide, char* pszOut, DWORD cbOut, UINT codePage) {
    if (pszOut != nullptr && cbOut != 0) {
        std::memset(pszOut, 0, cbOut);
    }
    if (pwszWide == nullptr || pszOut == nullptr || cbOut == 0) {
        return 0;
    }
    const int needed = WideCharToMultiByte(codePage, 0, pwszWide, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0 || static_cast<DWORD>(needed) > cbOut) {
        return 0;
    }
    const int written =
        WideCharToMultiByte(codePage, 0, pwszWide, -1, pszOut, needed, nullptr, nullptr);
    return written <= 0 ? 0 : static_cast<DWORD>(written);
}

/*
 * Utf8ToWide: converts a NUL-terminated UTF-8 string into a 256-character buffer, zeroed
 * first. Returns the character count with the terminator, or 0 when it does not fit.
 */
DWORD Utf8ToWide(const char* pszUtf8, WCHAR* pwszOut) {
    if (pwszOut != nullptr) {
        std::memset(pwszOut, 0, kUtf8ToWideChars * sizeof(WCHAR));
    }
    if (pszUtf8 == nullptr || pwszOut == nullptr) {
        return 0;
    }
    const int needed = MultiByteToWideChar(CP_UTF8, 0, pszUtf8, -1, nullptr, 0);
    if (needed <= 0 || static_cast<DWORD>(needed) > kUtf8ToWideChars) {
        return 0;
    }
    const int written = MultiByteToWideChar(CP_UTF8, 0, pszUtf8, -1, pwszOut, needed);
    return written <= 0 ? 0 : static_cast<DWORD>(written);
}
