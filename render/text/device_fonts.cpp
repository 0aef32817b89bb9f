// Device fonts: the device-font dispatcher, the family-name classes and code pages, and the
// font-selection commands of the printer's resident text fonts.
#include "device_fonts.h"

#include <cstring>

#include "barcode_preview.h"
#include "barcodes.h"
#include "debug_log.h"
#include "oempdev.h"
#include "text_keys.h"
#include "text_records.h"
#include "win32/codepage.h"
#include "win32/heap.h"

namespace {

constexpr DWORD kFontCommandBytes = 256;
constexpr DWORD kFamilyNameBytes = 512;
// Longest run the dispatcher takes: every field of a record stays below 65536 bytes.
constexpr DWORD kMaxDeviceRunChars = 16000;

// ---- Font-selection building blocks ------------------------------------------------------------
// ESC $ nL nH: absolute print position.
DWORD PutPosition(BYTE* p, DWORD x) {
    p[0] = 0x1B;
    p[1] = 0x24;
    p[2] = static_cast<BYTE>(x % 256);
    p[3] = static_cast<BYTE>(x / 256);
    return 4;
}
// GS ! n: character size.
DWORD PutCharacterSize(BYTE* p, BYTE n) {
    p[0] = 0x1D;
    p[1] = 0x21;
    p[2] = n;
    return 3;
}
// FS &: Kanji (double-byte) character mode on.
DWORD PutDoubleByteModeOn(BYTE* p) {
    p[0] = 0x1C;
    p[1] = 0x26;
    return 2;
}
// FS C 1: Shift-JIS code system.
DWORD PutShiftJis(BYTE* p) {
    p[0] = 0x1C;
    p[1] = 0x43;
    p[2] = 0x01;
    return 3;
}
// ESC t e: character code table.
DWORD PutCodeTable(BYTE* p, BYTE e) {
    p[0] = 0x1B;
    p[1] = 0x74;
    p[2] = e;
    return 3;
}
// 08 M 0 L: resident font selection.
DWORD PutResidentFont(BYTE* p, BYTE letter) {
    p[0] = 0x08;
    p[1] = 0x4D;
    p[2] = 0x00;
    p[3] = letter;
    return 4;
}

// The character at a position of the name; '1' (size 1) when the name is shorter.
char NameCharAt(const char* name, size_t index) {
    return index < std::strlen(name) ? name[index] : '1';
}
BYTE SizeByte(char width, char height) {
    return static_cast<BYTE>(
        ((static_cast<unsigned>(static_cast<unsigned char>(width)) - '1') * 16 +
         (static_cast<unsigned>(static_cast<unsigned char>(height)) - '1')) &
        0xFF);
}

bool Contains(const char* text, const char* pattern) {
    return FindSubstringNoCase(text, pattern) != kNotFound;
}

enum class TextFont { Korean, Chinese, Japanese, Standard };

TextFont TextFontOf(const char* name) {
    if (Contains(name, "Korean")) {
        return TextFont::Korean;
    }
    if (Contains(name, "Chinese2312") || Contains(name, "ChineseBIG5")) {
        return TextFont::Chinese;
    }
    if (Contains(name, "Japanese")) {
        return TextFont::Japanese;
    }
    return TextFont::Standard;
}

DWORD ClampX(LONG x) {
    return x < 0 ? 0 : (x > kTxtRecMaxCoordinate ? kTxtRecMaxCoordinate : static_cast<DWORD>(x));
}

}  // namespace

/*
 * GetDeviceFontType: the class of a device-font family name (record type 1 to 4).
 */
BYTE GetDeviceFontType(const char* szFontName) {
    if (szFontName == nullptr) {
        return FTYPE_DEVICE_BARCODE;
    }
    if (std::strcmp(szFontName, "FontControl") == 0 || std::strcmp(szFontName, "Control") == 0) {
        return FTYPE_DEVICE_FONT_CONTROL;
    }
    if (std::strcmp(szFontName, "FontControlA") == 0) {
        return FTYPE_DEVICE_FONT_CONTROL_A;
    }
    // The control names must match exactly: another spelling of them is no text font (it would
    // otherwise pass for a "FontC" name) but a barcode name that matches no barcode.
    for (const char* control : {"FontControl", "Control", "FontControlA"}) {
        if (std::strlen(szFontName) == std::strlen(control) &&
            FindSubstringNoCase(szFontName, control) == 0) {
            return FTYPE_DEVICE_BARCODE;
        }
    }
    for (const char* text : {"FontA", "FontB", "FontC", "Chinese", "Korean", "Japanese"}) {
        if (Contains(szFontName, text)) {
            return FTYPE_DEVICE_FONT;
        }
    }
    return FTYPE_DEVICE_BARCODE;
}

/*
 * GetDevFontCodePage: the code page of a device-font text, first match of the family name.
 */
UINT GetDevFontCodePage(const char* szFontName) {
    if (Contains(szFontName, "Chinese2312")) {
        return 936;
    }
    if (Contains(szFontName, "ChineseBIG5")) {
        return 950;
    }
    if (Contains(szFontName, "Korean")) {
        return 949;
    }
    if (Contains(szFontName, "Japanese")) {
        return 932;
    }
    return CP_ACP;
}

/*
 * GetDevFontCommand: the font-selection command of a text font and its trailer (see the
 * header). Returns the command length, or 0.
 */
DWORD GetDevFontCommand(PBYTE* ppbyCommand, const char* szFontName, char* szAnsiText,
                        DWORD* pdwAnsiTextLength, LONG lX, FONTOBJ* pfo) {
    DebugLog("GetDevFontCommand : START");
    const DWORD dwHeight = pfo != nullptr ? GetFontHeight(pfo) : 0;
    if (szAnsiText == nullptr || pdwAnsiTextLength == nullptr) {
        DebugLog("GetDevFontCommand : szAnsiText is NULL.");
        return 0;
    }
    if (szFontName == nullptr) {
        DebugLog("GetDevFontCommand : szFontName is NULL.");
        return 0;
    }
    if (ppbyCommand == nullptr) {
        return 0;
    }
    PBYTE pbyBuffer = static_cast<PBYTE>(LocalAlloc(LPTR, kFontCommandBytes));
    if (pbyBuffer == nullptr) {
        DebugLog("GetDevFontCommand : Failed to allocate the buffer. (pbyBuffer)");
        return 0;
    }
    const DWORD dwX = ClampX(lX);
    const TextFont font = TextFontOf(szFontName);
    DWORD n = 0;
    switch (font) {
        case TextFont::Korean:
            n += PutDoubleByteModeOn(pbyBuffer + n);
            n += PutCharacterSize(pbyBuffer + n,
                                  SizeByte(NameCharAt(szFontName, 6), NameCharAt(szFontName, 8)));
            break;
        case TextFont::Chinese:
            n += PutDoubleByteModeOn(pbyBuffer + n);
            n += PutCharacterSize(pbyBuffer + n,
                                  SizeByte(NameCharAt(szFontName, 12), NameCharAt(szFontName, 14)));
            break;
        case TextFont::Japanese:
            n += PutDoubleByteModeOn(pbyBuffer + n);
            n += PutShiftJis(pbyBuffer + n);
            n += PutCharacterSize(pbyBuffer + n,
                                  SizeByte(NameCharAt(szFontName, 8), NameCharAt(szFontName, 10)));
            break;
        case TextFont::Standard: {
            BYTE e = 16;
            if (Contains(szFontName, "Ext")) {
                e = 0;
            } else if (Contains(szFontName, "255")) {
                e = 255;
            }
            const char sep = NameCharAt(szFontName, 6);
            const char heightDigit = (sep == 'x' || sep == 'X') ? NameCharAt(szFontName, 7) : sep;
            n += PutCodeTable(pbyBuffer + n, e);
            n += PutResidentFont(
                pbyBuffer + n,
                static_cast<BYTE>(std::strlen(szFontName) > 4 ? szFontName[4] : 'A'));
            n += PutCharacterSize(pbyBuffer + n, SizeByte(NameCharAt(szFontName, 5), heightDigit));
            break;
        }
    }
    n += PutPosition(pbyBuffer + n, dwX);

    // Trailer: FS . (double-byte mode off) for the double-byte fonts, then the feed ESC J h.
    BYTE* pTail = reinterpret_cast<BYTE*>(szAnsiText) + *pdwAnsiTextLength;
    DWORD t = 0;
    if (font != TextFont::Standard) {
        pTail[t++] = 0x1C;
        pTail[t++] = 0x2E;
    }
    const BYTE h = static_cast<BYTE>(dwHeight > 255 ? 255 : dwHeight);
    pTail[t++] = 0x1B;
    pTail[t++] = 0x4A;
    pTail[t++] = h;
    *pdwAnsiTextLength += t;
    DebugLog("GetDevFontCommand : FEED COMMANDS ADDED : 1B 4A %x", h);
    *ppbyCommand = pbyBuffer;
    DebugLog("GetDevFontCommand : END");
    return n;
}

/*
 * AddDevFontInfoToBuf: turns one device-font run into its record (text, barcode, font
 * control or INI commands), or into a TrueType record when the page is reduced, turned or
 * previewed. TRUE when a record (or a text-key sequence) was added.
 */
BOOL AddDevFontInfoToBuf(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo) {
    DebugLog("AddDevFontInfoToBuf : START");
    PDEVOBJ pdevobj = DeviceObject(pso);
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    const bool bTextKey = pOemPDEV != nullptr && pOemPDEV->UIInfo.byteValue[27] == 1;
    const float fReduceRate = GetTextReduceRate(pOemPDEV, 25);
    if (pOemPDEV == nullptr || pstro == nullptr || pstro->pwszOrg == nullptr || pfo == nullptr) {
        DebugLog("AddDevFontInfoToBuf : no device state or no Unicode text.");
        return FALSE;
    }
    IFIMETRICS* pifi = FONTOBJ_pifi(pfo);
    if (pifi == nullptr) {
        DebugLog("AddDevFontInfoToBuf : FONTOBJ_pifi failed.");
        return FALSE;
    }
    const DWORD dwGlyphs = pstro->cGlyphs;
    if (dwGlyphs == 0 || dwGlyphs > kMaxDeviceRunChars) {
        DebugLog("AddDevFontInfoToBuf : unusable glyph count (%d).", dwGlyphs);
        return FALSE;
    }
    const BYTE* pifiBytes = reinterpret_cast<const BYTE*>(pifi);
    const WCHAR* pwszFamily = reinterpret_cast<const WCHAR*>(pifiBytes + pifi->dpwszFamilyName);
    DWORD dwFamilyChars = 0;
    while (pwszFamily[dwFamilyChars] != 0 && dwFamilyChars < (0xFFFF - 1) / 2) {
        ++dwFamilyChars;
    }

    BOOL bResult = FALSE;
    PBYTE pbyFamilyW = static_cast<PBYTE>(LocalAlloc(LPTR, 2 * dwFamilyChars + 2));
    char* szFamily = static_cast<char*>(LocalAlloc(LPTR, kFamilyNameBytes));
    PBYTE pbyTextW = static_cast<PBYTE>(LocalAlloc(LPTR, 2 * dwGlyphs + 2));
    DWORD dwTextBufSize = 4 * dwGlyphs + 1028;
    PBYTE pbyText = static_cast<PBYTE>(LocalAlloc(LPTR, dwTextBufSize));
    PBYTE pbyCommand = nullptr;
    DWORD dwCommand = 0;
    BYTE byType = 0;
    DWORD dwTextLength = 0;
    DWORD dwHeight = 0;
    LONG lX = pstro->rclBkGround.left;
    do {
        if (pbyFamilyW == nullptr || szFamily == nullptr || pbyTextW == nullptr ||
            pbyText == nullptr) {
            DebugLog("AddDevFontInfoToBuf : LocalAlloc failed with (%d)", GetLastError());
            break;
        }
        std::memcpy(pbyFamilyW, pwszFamily, 2 * dwFamilyChars);
        const WCHAR* pwszFamilyCopy = reinterpret_cast<const WCHAR*>(pbyFamilyW);
        WideToCodePage(pwszFamilyCopy, szFamily, kFamilyNameBytes, CP_UTF8);
        std::memcpy(pbyTextW, pstro->pwszOrg, 2 * dwGlyphs);
        const WCHAR* pwszText = reinterpret_cast<const WCHAR*>(pbyTextW);
        const UINT codePage = GetDevFontCodePage(szFamily);
        if (WideToCodePage(pwszText, reinterpret_cast<char*>(pbyText), dwTextBufSize, codePage) <=
            1) {
            DebugLog("AddDevFontInfoToBuf : the text converts to nothing (code page %d).",
                     codePage);
            break;
        }
        dwHeight = GetFontHeight(pfo);
        dwTextLength = static_cast<DWORD>(std::strlen(reinterpret_cast<char*>(pbyText)));
        byType = GetDeviceFontType(szFamily);
        DebugLog("AddDevFontInfoToBuf : font = %s, type = %d, height = %d, X = %d", szFamily,
                 byType, dwHeight, lX);

        if (byType == FTYPE_DEVICE_FONT) {
            if (bTextKey) {
                char* pText = reinterpret_cast<char*>(pbyText);
                SaveCouponImgName(pdevobj, &pText, &dwTextLength);
                TextReplacementWithText(pdevobj, &pText, &dwTextLength, &dwTextBufSize);
                pbyText = reinterpret_cast<PBYTE>(pText);
            }
            const BYTE* settings = pOemPDEV->UIInfo.byteValue;
            if (fReduceRate != 1.0f || settings[21] != 0 || settings[29] != 0) {
                DebugLog("AddDevFontInfoToBuf : Set the font type as TTF");
                DWORD dwChars = dwGlyphs > kTxtMaxTrueTypeChars ? kTxtMaxTrueTypeChars : dwGlyphs;
                if (dwChars < dwGlyphs) {
                    pbyTextW[2 * dwChars] = 0;
                    pbyTextW[2 * dwChars + 1] = 0;
                }
                bResult = AddFontDataToBuf(pso, pstro, pfo, FTYPE_TRUETYPE, dwHeight, pbyFamilyW,
                                           2 * dwFamilyChars + 1, pbyTextW, 2 * dwChars + 2);
                break;
            }
            if (bTextKey && AddTextKeyImgBufAndDevFontData(pdevobj, pso, pstro, pfo, szFamily,
                                                           reinterpret_cast<char*>(pbyText),
                                                           dwTextLength, ClampX(lX)) != 0) {
                bResult = TRUE;
                break;
            }
            if (pbyText == nullptr || dwTextLength + 5 > dwTextBufSize) {
                DebugLog("AddDevFontInfoToBuf : no room for the trailer.");
                break;
            }
            dwCommand = GetDevFontCommand(&pbyCommand, szFamily, reinterpret_cast<char*>(pbyText),
                                          &dwTextLength, lX, pfo);
        } else if (byType == FTYPE_DEVICE_BARCODE) {
            const DWORD dwBarType = GetBarcodeType(szFamily);
            if (dwBarType == 0) {
                DebugLog("AddDevFontInfoToBuf : %s is no barcode name.", szFamily);
                break;
            }
            const float fRate = pOemPDEV->UIInfo.byteValue[39] != 0 ? fReduceRate : 1.0f;
            if (dwBarType >= BARTYPE_1D_FIRST && dwBarType <= BARTYPE_1D_LAST) {
                dwCommand =
                    Get1dCodeCommand(pOemPDEV, &pbyCommand, szFamily, pbyText, &dwTextLength,
                                     dwTextBufSize, dwBarType, &dwHeight, ClampX(lX), fRate);
            } else if (dwBarType >= BARTYPE_2D_FIRST && dwBarType <= BARTYPE_2D_LAST) {
                dwCommand =
                    Get2dCodeCommand(pOemPDEV, &pbyCommand, szFamily, pbyText, &dwTextLength,
                                     dwTextBufSize, dwBarType, &dwHeight, ClampX(lX), fRate);
            }
            if (dwCommand != 0 && pOemPDEV->UIInfo.byteValue[29] != 0) {
                AddBarCodePreviewData(pdevobj, szFamily, &pbyText, &dwTextLength, dwBarType);
            }
        } else if (byType == FTYPE_DEVICE_FONT_CONTROL) {
            dwCommand = GetFontControlCommand(pOemPDEV, &pbyCommand,
                                              reinterpret_cast<char*>(pbyText), dwTextLength);
            dwTextLength = 0;
        } else {
            dwCommand = GetCommandFromFile(pOemPDEV, &pbyCommand, reinterpret_cast<char*>(pbyText),
                                           dwTextLength);
            dwTextLength = 0;
        }
        if (dwCommand == 0 || pbyCommand == nullptr) {
            DebugLog("AddDevFontInfoToBuf : no command for the run.");
            break;
        }
        bResult = AddFontDataToBuf(pso, pstro, pfo, byType, dwHeight, pbyCommand, dwCommand,
                                   pbyText, dwTextLength);
    } while (false);

    LocalFree(pbyCommand);
    LocalFree(pbyText);
    LocalFree(pbyTextW);
    LocalFree(szFamily);
    LocalFree(pbyFamilyW);
    DebugLog("AddDevFontInfoToBuf : END");
    return bResult;
}
