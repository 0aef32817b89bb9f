// The barcode name table and the barcode settings records: which barcode a family name
// stands for, and the "BarcodeInfo" / "CodeData" record that a user-configured name uses.
#include <cstring>

#include "barcodes.h"
#include "plugin/debug_log.h"

const BARCODEFLAG BarcodeFlag[kBarcodeFlagRows] = {
    {"UPC-A", BARTYPE_UPC_A},
    {"UPC-E", BARTYPE_UPC_E},
    {"JAN13(EAN)", BARTYPE_JAN13},
    {"JAN13 (EAN)", BARTYPE_JAN13},
    {"JAN8(EAN)", BARTYPE_JAN8},
    {"JAN8 (EAN)", BARTYPE_JAN8},
    {"Code39", BARTYPE_CODE39},
    {"ITF", BARTYPE_ITF},
    {"Codabar", BARTYPE_CODABAR},
    {"Code93", BARTYPE_CODE93},
    {"Code128", BARTYPE_CODE128},
    {"Barcode1", BARTYPE_USER_1D},
    {"Barcode2", BARTYPE_USER_1D},
    {"Barcode3", BARTYPE_USER_1D},
    {"Barcode4", BARTYPE_USER_1D},
    {"Barcode5", BARTYPE_USER_1D},
    {"Barcode6", BARTYPE_USER_1D},
    {"Barcode7", BARTYPE_USER_1D},
    {"Barcode8", BARTYPE_USER_1D},
    {"Barcode9", BARTYPE_USER_1D},
    {"PDF417", BARTYPE_PDF417},
    {"QR Code", BARTYPE_QRCODE},
    {"MAXI Code", BARTYPE_MAXICODE_1},
    {"MAXI Code[Mode2]", BARTYPE_MAXICODE_2},
    {"MAXI Code[Mode3]", BARTYPE_MAXICODE_3},
    {"MAXI Code[Mode4]", BARTYPE_MAXICODE_4},
    {"DATAMATRIX Code", BARTYPE_DATAMATRIX},
    {"DATAMATRIX", BARTYPE_DATAMATRIX},
    {"2D-Code1", BARTYPE_USER_2D},
    {"2D-Code2", BARTYPE_USER_2D},
    {"2D-Code3", BARTYPE_USER_2D},
    {"2D-Code4", BARTYPE_USER_2D},
    {"2D-Code5", BARTYPE_USER_2D},
    {"2D-Code6", BARTYPE_USER_2D},
    {"2D-Code7", BARTYPE_USER_2D},
    {"2D-Code8", BARTYPE_USER_2D},
    {"", 0},
};

namespace {

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// TRUE when both strings are equal ignoring ASCII case. The flag is read within its 32 bytes.
bool EqualNoCase(const char* name, const char (&flag)[32]) {
    for (size_t i = 0; i < sizeof(flag); ++i) {
        if (UpperAscii(name[i]) != UpperAscii(flag[i])) {
            return false;
        }
        if (name[i] == '\0') {
            return true;
        }
    }
    return false;  // every flag ends within its 32 bytes
}

// The decimal number that starts after the prefix of a user-configured name ("Barcode",
// "2D-Code"); 0 when the name is shorter than the prefix or no digit follows. Large numbers
// saturate, so they stay out of range.
DWORD NumberAfterPrefix(const char* szFontName, size_t prefixLength) {
    if (std::strlen(szFontName) < prefixLength) {
        return 0;
    }
    DWORD number = 0;
    for (const char* p = szFontName + prefixLength; *p >= '0' && *p <= '9'; ++p) {
        number = number > 100000 ? number : number * 10 + static_cast<DWORD>(*p - '0');
    }
    return number;
}

void LogRecord(const char* what, const BYTE* record, size_t size) {
    char hex[3 * kCodeDataRecordBytes + 1] = {};
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < size && i < kCodeDataRecordBytes; ++i) {
        hex[3 * i] = kDigits[record[i] >> 4];
        hex[3 * i + 1] = kDigits[record[i] & 0x0F];
        hex[3 * i + 2] = ' ';
    }
    DebugLog("Get1d2dCodeSetting : %s = %s", what, hex);
}

}  // namespace

/*
 * GetBarcodeType: the barcode type of a barcode font's family name.
 *   szFontName - the family name (UTF-8); may be null.
 * Returns the type of the first table row equal to the name ignoring ASCII case, else 0.
 */
DWORD GetBarcodeType(const char* szFontName) {
    if (szFontName == nullptr || szFontName[0] == '\0') {
        return 0;
    }
    for (const BARCODEFLAG& row : BarcodeFlag) {
        if (row.dwBarType == 0 || row.szFlag[0] == '\0') {
            continue;
        }
        if (EqualNoCase(szFontName, row.szFlag)) {
            DebugLog("GetBarcodeType : MATCHED BARCODE = %s, %d", row.szFlag,
                     static_cast<int>(row.dwBarType));
            return row.dwBarType;
        }
    }
    return 0;
}

/*
 * Get1d2dCodeSetting: overlays the settings of a barcode font onto the caller's record.
 *   pOemPDEV      - device state with the settings copy ("BarcodeInfo", "CodeData").
 *   szFontName    - family name; "BarcodeN" and "2D-CodeN" select record N.
 *   dwBarType     - barcode type of the name (GetBarcodeType).
 *   pbyBarInfo    - 5-byte 1D record pre-filled by the caller, or null.
 *   pby2dCodeInfo - 20-byte 2D record pre-filled by the caller, or null.
 * Returns FALSE when the name (or the device state a user record needs) is missing or the
 * record number is out of range, else TRUE.
 */
BOOL Get1d2dCodeSetting(POEMPDEV pOemPDEV, const char* szFontName, DWORD dwBarType,
                        PBYTE pbyBarInfo, PBYTE pby2dCodeInfo) {
    DebugLog("Get1d2dCodeSetting : START");
    if (pbyBarInfo != nullptr) {
        LogRecord("DEFAULT BARCODE INFO", pbyBarInfo, kBarcodeRecordBytes);
    }
    if (pby2dCodeInfo != nullptr) {
        LogRecord("DEFAULT 2D CODE INFO", pby2dCodeInfo, kCodeDataRecordBytes);
    }
    if (szFontName == nullptr) {
        DebugLog("Get1d2dCodeSetting : szFontName is NULL.");
        return FALSE;
    }

    if (dwBarType == BARTYPE_USER_1D && pbyBarInfo != nullptr) {
        const DWORD number = NumberAfterPrefix(szFontName, 7);  // after "Barcode"
        if (number < 1 || number > 9 || pOemPDEV == nullptr) {
            DebugLog("Get1d2dCodeSetting : NOT SUPPORTTED BARCODE NUMBER");
            return FALSE;
        }
        std::memcpy(pbyBarInfo, pOemPDEV->UIInfo.BarcodeInfo + kBarcodeRecordBytes * (number - 1),
                    kBarcodeRecordBytes);
        LogRecord("BARCODE INFO", pbyBarInfo, kBarcodeRecordBytes);
    } else if (dwBarType == BARTYPE_USER_2D && pby2dCodeInfo != nullptr) {
        const DWORD number = NumberAfterPrefix(szFontName, 7);  // after "2D-Code"
        if (number < 1 || number > kCodeDataRecords || pOemPDEV == nullptr) {
            DebugLog("Get1d2dCodeSetting : NOT SUPPORTTED BARCODE NUMBER");
            return FALSE;
        }
        std::memcpy(pby2dCodeInfo, pOemPDEV->UIInfo.CodeData + kCodeDataRecordBytes * (number - 1),
                    kCodeDataRecordBytes);
        LogRecord("2D CODE INFO", pby2dCodeInfo, kCodeDataRecordBytes);
    } else if (dwBarType >= BARTYPE_2D_FIRST && dwBarType < BARTYPE_USER_2D &&
               pby2dCodeInfo != nullptr) {
        switch (dwBarType) {
            case BARTYPE_PDF417:
                pby2dCodeInfo[0] = CODE2D_PDF417;
                break;
            case BARTYPE_QRCODE:
                pby2dCodeInfo[0] = CODE2D_QRCODE;
                break;
            case BARTYPE_DATAMATRIX:
                pby2dCodeInfo[0] = CODE2D_DATAMATRIX;
                break;
            case BARTYPE_MAXICODE_1:
            case BARTYPE_MAXICODE_4:
                pby2dCodeInfo[0] = CODE2D_MAXICODE;
                pby2dCodeInfo[10] = '4';
                break;
            case BARTYPE_MAXICODE_2:
                pby2dCodeInfo[0] = CODE2D_MAXICODE;
                pby2dCodeInfo[10] = '2';
                break;
            case BARTYPE_MAXICODE_3:
                pby2dCodeInfo[0] = CODE2D_MAXICODE;
                pby2dCodeInfo[10] = '3';
                break;
            default:
                break;
        }
    }
    DebugLog("Get1d2dCodeSetting : END");
    return TRUE;
}
