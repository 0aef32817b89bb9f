// 1D barcode commands: the set-up commands (field A) and the barcode print command (field B)
// for a run in a 1D barcode font.
#include <cstring>

#include "barcodes.h"
#include "plugin/debug_log.h"
#include "win32/heap.h"

namespace {

constexpr DWORD kCommandBufferBytes = 256;
constexpr DWORD kFieldALength = 16;
constexpr DWORD kPrintCommandLength = 4;  // GS k m n
constexpr DWORD kMaxDataLength = 255;     // n of GS k is one byte
constexpr BYTE kHighestSystemIndex = 8;   // 0 UPC-A .. 8 Code128

// value x rate + 0.5, truncated: the product in single precision, the sum in double.
DWORD Scale(DWORD value, float fRate) {
    const float product = static_cast<float>(value) * fRate;
    return static_cast<DWORD>(static_cast<double>(product) + 0.5);
}

// GS w n: module width.
PBYTE PutModuleWidth(PBYTE p, BYTE n) {
    *p++ = 0x1D;
    *p++ = 0x77;
    *p++ = n;
    return p;
}
// GS h n: bar height in dots.
PBYTE PutBarHeight(PBYTE p, BYTE n) {
    *p++ = 0x1D;
    *p++ = 0x68;
    *p++ = n;
    return p;
}
// GS H n: position of the human-readable interpretation.
PBYTE PutHriPosition(PBYTE p, BYTE n) {
    *p++ = 0x1D;
    *p++ = 0x48;
    *p++ = n;
    return p;
}
// GS f n: font of the human-readable interpretation.
PBYTE PutHriFont(PBYTE p, BYTE n) {
    *p++ = 0x1D;
    *p++ = 0x66;
    *p++ = n;
    return p;
}
// Three zero bytes in place of an HRI command, so the printer keeps its current setting.
PBYTE PutNothing(PBYTE p) {
    *p++ = 0x00;
    *p++ = 0x00;
    *p++ = 0x00;
    return p;
}
// ESC $ nL nH: absolute horizontal print position.
PBYTE PutAbsolutePosition(PBYTE p, DWORD x) {
    *p++ = 0x1B;
    *p++ = 0x24;
    *p++ = static_cast<BYTE>(x % 256);
    *p++ = static_cast<BYTE>(x / 256);
    return p;
}
// GS k m n: print the barcode of system m with the n data bytes that follow.
PBYTE PutPrintBarcode(PBYTE p, BYTE m, BYTE n) {
    *p++ = 0x1D;
    *p++ = 0x6B;
    *p++ = m;
    *p++ = n;
    return p;
}

// Code128 subset C: "{C" followed by digit pairs, each pair packed into one byte in place.
void PackCode128SubsetC(PBYTE pbyText, PDWORD pdwLength) {
    const DWORD length = *pdwLength;
    if (length % 2 != 0 || length <= 2) {
        DebugLog("Get1dCodeCommand : not satisfy conditions for code128 subset C.");
        return;
    }
    DebugLog("Get1dCodeCommand : BARTYPE_CODE128 TYPE");
    if (pbyText[0] != '{' || pbyText[1] != 'C') {
        DebugLog("Get1dCodeCommand : not satisfy conditions for code128 subset C.");
        return;
    }
    DebugLog("Get1dCodeCommand : CODE128 SUBSET C");
    DWORD out = 2;
    for (DWORD in = 2; in + 1 < length; in += 2) {
        pbyText[out++] = static_cast<BYTE>(10 * pbyText[in] + pbyText[in + 1] - 528);
    }
    *pdwLength = length / 2 + 1;
}

}  // namespace

/*
 * Get1dCodeCommand: the commands of a 1D barcode.
 *   pOemPDEV          - device state (settings copy for "Barcode1" .. "Barcode9").
 *   ppbyCommand       - receives field A, a 256-byte LocalAlloc block the caller frees.
 *   szFontName        - family name of the run.
 *   pbyAnsiText       - the run's text; rewritten into GS k m n and the data.
 *   pdwAnsiTextLength - text length in, field B length out.
 *   dwAnsiTextBufSize - size of the text buffer.
 *   dwBarType         - barcode type (65..73 fixed systems, 129 user-configured).
 *   pdwHeight         - receives the bar height in dots.
 *   dwX               - left edge of the run.
 *   fRate             - reduction rate for barcodes.
 * Returns 16, or 0 when no barcode can be made.
 */
DWORD Get1dCodeCommand(POEMPDEV pOemPDEV, PBYTE* ppbyCommand, const char* szFontName,
                       PBYTE pbyAnsiText, PDWORD pdwAnsiTextLength, DWORD dwAnsiTextBufSize,
                       DWORD dwBarType, PDWORD pdwHeight, DWORD dwX, float fRate) {
    DebugLog("Get1dCodeCommand : START");
    if (ppbyCommand == nullptr || pbyAnsiText == nullptr || pdwAnsiTextLength == nullptr ||
        pdwHeight == nullptr) {
        DebugLog("Get1dCodeCommand : invalid parameter.");
        return 0;
    }
    DWORD dwWidth = 2;
    DWORD dwBarHeight = 50;
    BYTE byHriPosition = 0;
    BYTE byHriFont = 0;
    BYTE bySystem = 0;
    const bool bUserBarcode = dwBarType == BARTYPE_USER_1D;

    if (bUserBarcode) {
        BYTE byBarInfo[kBarcodeRecordBytes] = {0, 2, 50, 0, 0};
        if (!Get1d2dCodeSetting(pOemPDEV, szFontName, dwBarType, byBarInfo, nullptr)) {
            return 0;
        }
        if (byBarInfo[0] > kHighestSystemIndex) {
            DebugLog("Get1dCodeCommand : NOT SUPPORTTED BARCODE SYSTEM. (%d)", byBarInfo[0]);
            return 0;
        }
        bySystem = static_cast<BYTE>(byBarInfo[0] + BARTYPE_UPC_A);
        dwWidth = byBarInfo[1];
        dwBarHeight = byBarInfo[2];
        byHriPosition = byBarInfo[3];
        byHriFont = byBarInfo[4];
    } else if (dwBarType >= BARTYPE_UPC_A && dwBarType <= BARTYPE_CODE128) {
        bySystem = static_cast<BYTE>(dwBarType);
    } else {
        DebugLog("Get1dCodeCommand : NOT SUPPORTTED BARCODE TYPE.");
        return 0;
    }

    if (fRate < 1.0f) {
        dwX = Scale(dwX, fRate);
        dwWidth = static_cast<BYTE>(Scale(dwWidth, fRate));
        dwBarHeight = static_cast<BYTE>(Scale(dwBarHeight, fRate));
    }
    if (dwWidth < 2) {
        dwWidth = 2;
    } else if (dwWidth > 6) {
        dwWidth = 6;
    }
    if (dwBarHeight == 0) {
        dwBarHeight = 1;
    }
    *pdwHeight = dwBarHeight;

    if (bySystem == BARTYPE_CODE128) {
        PackCode128SubsetC(pbyAnsiText, pdwAnsiTextLength);
    }
    const DWORD dwDataLength = *pdwAnsiTextLength;
    // n is one byte: longer data would spill into the command stream, so it makes no barcode.
    if (dwDataLength > kMaxDataLength) {
        DebugLog("Get1dCodeCommand : DATA IS TOO LONG FOR A BARCODE. (%d)",
                 static_cast<int>(dwDataLength));
        return 0;
    }
    if (dwAnsiTextBufSize < dwDataLength + kPrintCommandLength) {
        DebugLog("Get1dCodeCommand : BUFFER SIZE IS NOT ENOUGH. (dwAnsiTextBufSize)");
        return 0;
    }

    auto* pbyBuffer = static_cast<PBYTE>(LocalAlloc(LPTR, kCommandBufferBytes));
    auto* pbyData = static_cast<PBYTE>(LocalAlloc(LPTR, dwDataLength + 1));
    if (pbyBuffer == nullptr || pbyData == nullptr) {
        DebugLog("Get1dCodeCommand : failed to allocate the buffer. (pbyBuffer)");
        LocalFree(pbyBuffer);
        LocalFree(pbyData);
        return 0;
    }

    PBYTE p = PutModuleWidth(pbyBuffer, static_cast<BYTE>(dwWidth));
    p = PutBarHeight(p, static_cast<BYTE>(dwBarHeight));
    if (bUserBarcode) {
        p = PutHriPosition(p, byHriPosition);
        p = PutHriFont(p, byHriFont);
    } else {
        p = PutNothing(p);
        p = PutNothing(p);
    }
    PutAbsolutePosition(p, dwX);

    std::memcpy(pbyData, pbyAnsiText, dwDataLength);
    std::memset(pbyAnsiText, 0, dwAnsiTextBufSize);
    p = PutPrintBarcode(pbyAnsiText, bySystem, static_cast<BYTE>(dwDataLength));
    std::memcpy(p, pbyData, dwDataLength);
    LocalFree(pbyData);
    *pdwAnsiTextLength = dwDataLength + kPrintCommandLength;

    *ppbyCommand = pbyBuffer;
    DebugLog("Get1dCodeCommand : END");
    return kFieldALength;
}
