// Barcodes printed by the printer's own generators: the barcode name table, the barcode
// settings records ("BarcodeInfo", "CodeData") and the 1D and 2D barcode commands that the
// device-font dispatcher turns a run in a barcode font into.
//
// Command buffers handed out by Get1dCodeCommand and Get2dCodeCommand come from LocalAlloc;
// the caller releases them with LocalFree.
#pragma once

#include "plugin/oempdev.h"
#include "win32/types.h"

// ---- Barcode types ---------------------------------------------------------------------------
constexpr DWORD BARTYPE_UPC_A = 65;  // 65..73: the fixed 1D systems, m of GS k is the type
constexpr DWORD BARTYPE_UPC_E = 66;
constexpr DWORD BARTYPE_JAN13 = 67;
constexpr DWORD BARTYPE_JAN8 = 68;
constexpr DWORD BARTYPE_CODE39 = 69;
constexpr DWORD BARTYPE_ITF = 70;
constexpr DWORD BARTYPE_CODABAR = 71;
constexpr DWORD BARTYPE_CODE93 = 72;
constexpr DWORD BARTYPE_CODE128 = 73;
constexpr DWORD BARTYPE_USER_1D = 129;  // "Barcode1" .. "Barcode9"
constexpr DWORD BARTYPE_PDF417 = 130;
constexpr DWORD BARTYPE_QRCODE = 131;
constexpr DWORD BARTYPE_DATAMATRIX = 132;
constexpr DWORD BARTYPE_MAXICODE_1 = 133;
constexpr DWORD BARTYPE_MAXICODE_2 = 134;
constexpr DWORD BARTYPE_MAXICODE_3 = 135;
constexpr DWORD BARTYPE_MAXICODE_4 = 136;
constexpr DWORD BARTYPE_USER_2D = 152;  // "2D-Code1" .. "2D-Code8"

// 1D types are 65..129 (Get1dCodeCommand), 2D types 130..152 (Get2dCodeCommand).
constexpr DWORD BARTYPE_1D_FIRST = 65;
constexpr DWORD BARTYPE_1D_LAST = 129;
constexpr DWORD BARTYPE_2D_FIRST = 130;
constexpr DWORD BARTYPE_2D_LAST = 152;

// ---- Name table ------------------------------------------------------------------------------
struct BARCODEFLAG {
    char szFlag[32];  // family name, NUL-padded
    DWORD dwBarType;  // barcode type; 0 ends the table
};
constexpr DWORD kBarcodeFlagRows = 37;
extern const BARCODEFLAG BarcodeFlag[kBarcodeFlagRows];

// ---- 2D record kinds (byte 0 of a "CodeData" record) ----------------------------------------
constexpr BYTE CODE2D_PDF417 = 0;
constexpr BYTE CODE2D_QRCODE = 1;
constexpr BYTE CODE2D_DATAMATRIX = 2;
constexpr BYTE CODE2D_DATABAR = 3;
constexpr BYTE CODE2D_COMPOSITE = 4;
constexpr BYTE CODE2D_MAXICODE = 5;

// The option commands of the six 2D kinds (GS ( k ...), filled by Set2dCodeOptionCmd.
struct CODE2D_OPTION_CMDS {
    BYTE byPdf417[49];     // columns, rows, module width, row height, level, options
    BYTE byQrCode[25];     // model, module size, error correction
    BYTE byDataMatrix[8];  // module size
    BYTE byDataBar[8];     // module width
    BYTE byComposite[8];   // module width
    BYTE byMaxiCode[8];    // mode
};

// The barcode type of a family name (equal ignoring ASCII case to a table row), or 0.
DWORD GetBarcodeType(const char* szFontName);

// Overlays the settings of the family name onto the caller's pre-filled 1D record (5 bytes)
// or 2D record (20 bytes); either may be null. FALSE when the name is missing or its
// "BarcodeN" / "2D-CodeN" number is out of range.
BOOL Get1d2dCodeSetting(POEMPDEV pOemPDEV, const char* szFontName, DWORD dwBarType,
                        PBYTE pbyBarInfo, PBYTE pby2dCodeInfo);

// Builds field A (16 bytes: GS w, GS h, GS H, GS f, ESC $) of a 1D barcode into a new
// 256-byte buffer at *ppbyCommand and rewrites the text buffer into GS k m n data (field B).
// Returns 16, or 0 when no barcode can be made (nothing allocated, text untouched).
// *pdwHeight becomes the bar height in dots.
DWORD Get1dCodeCommand(POEMPDEV pOemPDEV, PBYTE* ppbyCommand, const char* szFontName,
                       PBYTE pbyAnsiText, PDWORD pdwAnsiTextLength, DWORD dwAnsiTextBufSize,
                       DWORD dwBarType, PDWORD pdwHeight, DWORD dwX, float fRate);

// Builds field A (ESC $ and the kind's option commands) of a 2D code into a new buffer at
// *ppbyCommand (a buffer already there is released first) and rewrites the text buffer into
// the store and print commands (field B). Returns 53, 29 or 12, or 0 when no code can be
// made. The height is left as it is.
DWORD Get2dCodeCommand(POEMPDEV pOemPDEV, PBYTE* ppbyCommand, const char* szFontName,
                       PBYTE pbyAnsiText, PDWORD pdwAnsiTextLength, DWORD dwAnsiTextBufSize,
                       DWORD dwBarType, PDWORD pdwHeight, DWORD dwX, float fRate);

// Writes the 2D record's option values into the option commands of all six kinds, scaled and
// limited when the rate is below 1.0.
void Set2dCodeOptionCmd(DWORD dwBarType, const BYTE* pby2dCodeInfo, CODE2D_OPTION_CMDS* pOptionCmds,
                        float fRate);
