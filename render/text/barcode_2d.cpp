// 2D code commands (GS ( k family): the option commands and the print position (field A) and
// the store-and-print commands (field B) for a run in a 2D code font.
#include <cstring>

#include "barcodes.h"
#include "plugin/debug_log.h"
#include "win32/heap.h"

namespace {

constexpr DWORD kPositionLength = 4;  // ESC $ nL nH
constexpr DWORD kMaxStoreLength = 0xFFFF;

// Symbology byte cn of each record kind.
constexpr BYTE kSymbology[] = {0x30, 0x31, 0x3D, 0x33, 0x34, 0x32};

// Starting 2D record of a run, before the font's settings are laid over it.
constexpr BYTE kStart2dCodeInfo[kCodeDataRecordBytes] = {0x00, 0x00, 0x03, 0x00, 0x03, 0x00,
                                                         0x00, 0x01, 0x03, 0x00, 0x00, 0x03};

// value x rate + 0.5, truncated: the product in single precision, the sum in double.
DWORD Scale(DWORD value, float fRate) {
    const float product = static_cast<float>(value) * fRate;
    return static_cast<DWORD>(static_cast<double>(product) + 0.5);
}

BYTE Limit(DWORD value, DWORD low, DWORD high) {
    return static_cast<BYTE>(value < low ? low : (value > high ? high : value));
}

// GS ( k 03 00 cn fn n: a one-parameter function of symbology cn.
PBYTE PutFunction(PBYTE p, BYTE cn, BYTE fn, BYTE n) {
    const BYTE bytes[] = {0x1D, 0x28, 0x6B, 0x03, 0x00, cn, fn, n};
    std::memcpy(p, bytes, sizeof(bytes));
    return p + sizeof(bytes);
}
// GS ( k 04 00 cn fn n1 n2: a two-parameter function of symbology cn.
PBYTE PutFunction2(PBYTE p, BYTE cn, BYTE fn, BYTE n1, BYTE n2) {
    const BYTE bytes[] = {0x1D, 0x28, 0x6B, 0x04, 0x00, cn, fn, n1, n2};
    std::memcpy(p, bytes, sizeof(bytes));
    return p + sizeof(bytes);
}
// GS ( k pL pH cn 50 30 [extra] data: store the symbol data.
PBYTE PutStoreData(PBYTE p, BYTE cn, const BYTE* extra, DWORD extraLength, const BYTE* data,
                   DWORD dataLength) {
    const DWORD count = 3 + extraLength + dataLength;  // cn fn m, extra, data
    const BYTE bytes[] = {
        0x1D, 0x28, 0x6B, static_cast<BYTE>(count % 256), static_cast<BYTE>(count / 256),
        cn,   0x50, 0x30};
    std::memcpy(p, bytes, sizeof(bytes));
    p += sizeof(bytes);
    if (extraLength != 0) {
        std::memcpy(p, extra, extraLength);
        p += extraLength;
    }
    if (dataLength != 0) {
        std::memcpy(p, data, dataLength);
        p += dataLength;
    }
    return p;
}
// GS ( k 03 00 cn 51 30: print the stored symbol.
PBYTE PutPrintSymbol(PBYTE p, BYTE cn) {
    return PutFunction(p, cn, 0x51, 0x30);
}
// ESC $ nL nH: absolute horizontal print position.
PBYTE PutAbsolutePosition(PBYTE p, DWORD x) {
    *p++ = 0x1B;
    *p++ = 0x24;
    *p++ = static_cast<BYTE>(x % 256);
    *p++ = static_cast<BYTE>(x / 256);
    return p;
}

// Field A length of a record kind, 0 for a kind that makes no code.
DWORD FieldALength(BYTE kind) {
    switch (kind) {
        case CODE2D_PDF417:
            return kPositionLength + sizeof(CODE2D_OPTION_CMDS::byPdf417);
        case CODE2D_QRCODE:
            return kPositionLength + sizeof(CODE2D_OPTION_CMDS::byQrCode);
        case CODE2D_DATAMATRIX:
        case CODE2D_DATABAR:
        case CODE2D_COMPOSITE:
        case CODE2D_MAXICODE:
            return kPositionLength + 8;
        default:
            return 0;
    }
}

// Field B length of a record kind for L data bytes.
DWORD FieldBLength(BYTE kind, DWORD dataLength) {
    switch (kind) {
        case CODE2D_DATABAR:
            return dataLength + 17;
        case CODE2D_COMPOSITE:
            return 2 * dataLength + 28;
        default:
            return dataLength + 16;
    }
}

// Bytes a b of the composite symbol's linear component, chosen by record byte 14.
void CompositeLinearChoice(BYTE choice, BYTE* ab) {
    static constexpr BYTE kChoices[][2] = {
        {0x30, 0x41}, {0x30, 0x42}, {0x30, 0x43}, {0x30, 0x45}, {0x30, 0x46},
        {0x30, 0x47}, {0x30, 0x48}, {0x30, 0x49}, {0x30, 0x4A}, {0x30, 0x4B},
        {0x30, 0x4D}, {0x31, 0x41}, {0x31, 0x42},
    };
    const BYTE index = choice < sizeof(kChoices) / sizeof(kChoices[0]) ? choice : 0;
    ab[0] = kChoices[index][0];
    ab[1] = kChoices[index][1];
}

// Field B of a record kind: store the data (twice for a composite symbol), then print.
void WriteFieldB(PBYTE p, const BYTE* info, const BYTE* data, DWORD dataLength) {
    const BYTE kind = info[0];
    const BYTE cn = kSymbology[kind];
    if (kind == CODE2D_DATABAR) {
        const BYTE type = info[12] == 1 ? 0x49 : 0x48;  // type code 73 or 72
        p = PutStoreData(p, cn, &type, 1, data, dataLength);
    } else if (kind == CODE2D_COMPOSITE) {
        BYTE ab[2] = {};
        CompositeLinearChoice(info[14], ab);
        p = PutStoreData(p, cn, ab, 2, data, dataLength);
        const BYTE twoDimensional[2] = {0x31, 0x41};
        p = PutStoreData(p, cn, twoDimensional, 2, data, dataLength);
    } else {
        p = PutStoreData(p, cn, nullptr, 0, data, dataLength);
    }
    PutPrintSymbol(p, cn);
}

// The MaxiCode mode character of record byte 10. The modes this driver offers are "2", "3"
// and "4"; a record that holds none of them (the user interface's own records hold 0) prints
// in mode 4, the standard symbol, as the plain "MAXI Code" font does. A mode written as the
// number 2, 3 or 4 instead of its character is taken as that mode.
BYTE MaxiCodeMode(BYTE value) {
    if (value >= '2' && value <= '4') {
        return value;
    }
    if (value >= 2 && value <= 4) {
        return static_cast<BYTE>('0' + value);
    }
    return '4';
}

}  // namespace

/*
 * Set2dCodeOptionCmd: writes a 2D record's option values into the option commands.
 *   dwBarType     - barcode type of the run (the record's kind chooses the commands used).
 *   pby2dCodeInfo - the 20-byte 2D record.
 *   pOptionCmds   - receives the option commands of all six kinds.
 *   fRate         - reduction rate; below 1.0 the sizes are scaled and limited.
 */
void Set2dCodeOptionCmd(DWORD dwBarType, const BYTE* pby2dCodeInfo, CODE2D_OPTION_CMDS* pOptionCmds,
                        float fRate) {
    DebugLog("Set2dCodeOptionCmd : START");
    if (pby2dCodeInfo == nullptr || pOptionCmds == nullptr) {
        DebugLog("Set2dCodeOptionCmd : invalid parameter.");
        return;
    }
    DebugLog("Set2dCodeOptionCmd : BARCODE TYPE = %d, KIND = %d", static_cast<int>(dwBarType),
             static_cast<int>(pby2dCodeInfo[0]));
    const BYTE* info = pby2dCodeInfo;
    BYTE columns = info[1];
    BYTE moduleWidth = info[2];
    BYTE rows = info[3];
    BYTE rowHeight = info[4];
    BYTE qrSize = info[8];
    BYTE dataMatrixSize = info[11];
    BYTE dataBarWidth = info[13];
    BYTE compositeWidth = info[15];
    if (fRate < 1.0f) {
        const DWORD scaledColumns = Scale(columns, fRate);
        columns = static_cast<BYTE>(scaledColumns > 30 ? 30 : scaledColumns);
        const DWORD scaledRows = Scale(rows, fRate);
        rows = static_cast<BYTE>(scaledRows < 3 ? 0 : (scaledRows > 90 ? 90 : scaledRows));
        moduleWidth = Limit(Scale(moduleWidth, fRate), 2, 8);
        rowHeight = Limit(Scale(rowHeight, fRate), 2, 8);
        qrSize = Limit(Scale(qrSize, fRate), 1, 8);
        dataMatrixSize = Limit(Scale(dataMatrixSize, fRate), 2, 3);
        dataBarWidth = Limit(Scale(dataBarWidth, fRate), 1, 8);
        compositeWidth = Limit(Scale(compositeWidth, fRate), 1, 8);
    }

    const BYTE pdfLevel = static_cast<BYTE>('0' + (info[5] <= 8 ? info[5] : 0));
    PBYTE p = PutFunction(pOptionCmds->byPdf417, 0x30, 0x41, columns);
    p = PutFunction(p, 0x30, 0x42, rows);
    p = PutFunction(p, 0x30, 0x43, moduleWidth);
    p = PutFunction(p, 0x30, 0x44, rowHeight);
    p = PutFunction2(p, 0x30, 0x45, 0x30, pdfLevel);
    PutFunction(p, 0x30, 0x46, info[6]);

    const BYTE qrModel = info[7] == 1 ? '2' : '1';
    const BYTE qrLevel = static_cast<BYTE>('0' + (info[9] <= 3 ? info[9] : 0));
    p = PutFunction2(pOptionCmds->byQrCode, 0x31, 0x41, qrModel, 0x00);
    p = PutFunction(p, 0x31, 0x43, qrSize);
    PutFunction(p, 0x31, 0x45, qrLevel);

    PutFunction(pOptionCmds->byDataMatrix, 0x3D, 0x43, dataMatrixSize);
    PutFunction(pOptionCmds->byDataBar, 0x33, 0x43, dataBarWidth);
    PutFunction(pOptionCmds->byComposite, 0x34, 0x43, compositeWidth);
    PutFunction(pOptionCmds->byMaxiCode, 0x32, 0x41, MaxiCodeMode(info[10]));
    DebugLog("Set2dCodeOptionCmd : END");
}

/*
 * Get2dCodeCommand: the commands of a 2D code.
 *   pOemPDEV          - device state (settings copy for "2D-Code1" .. "2D-Code8").
 *   ppbyCommand       - receives field A (LocalAlloc; the caller frees it); a block already
 *                       there is released first.
 *   szFontName        - family name of the run.
 *   pbyAnsiText       - the run's data; rewritten into the store and print commands.
 *   pdwAnsiTextLength - data length in, field B length out.
 *   dwAnsiTextBufSize - size of the text buffer.
 *   dwBarType         - barcode type (130..152).
 *   pdwHeight         - height of the run; left as it is.
 *   dwX               - left edge of the run.
 *   fRate             - reduction rate for barcodes.
 * Returns the field A length (53, 29 or 12), or 0 when no code can be made.
 */
DWORD Get2dCodeCommand(POEMPDEV pOemPDEV, PBYTE* ppbyCommand, const char* szFontName,
                       PBYTE pbyAnsiText, PDWORD pdwAnsiTextLength, DWORD dwAnsiTextBufSize,
                       DWORD dwBarType, PDWORD /*pdwHeight*/, DWORD dwX, float fRate) {
    DebugLog("Get2dCodeCommand : START");
    if (ppbyCommand == nullptr || pbyAnsiText == nullptr || pdwAnsiTextLength == nullptr) {
        DebugLog("Get2dCodeCommand : invalid parameter.");
        return 0;
    }
    BYTE info[kCodeDataRecordBytes] = {};
    std::memcpy(info, kStart2dCodeInfo, sizeof(info));
    if (!Get1d2dCodeSetting(pOemPDEV, szFontName, dwBarType, nullptr, info)) {
        return 0;
    }

    if (*ppbyCommand != nullptr) {
        LocalFree(*ppbyCommand);
        *ppbyCommand = nullptr;
    }
    const BYTE kind = info[0];
    const DWORD dwFieldALength = FieldALength(kind);
    if (dwFieldALength == 0) {
        DebugLog("Get2dCodeCommand : NOT SUPPORTTED 2D CODE KIND. (%d)", static_cast<int>(kind));
        return 0;
    }

    const DWORD dwDataLength = *pdwAnsiTextLength;
    // The store command counts its bytes in 16 bits and a record field holds at most 65535
    // bytes: data that does not fit makes no code rather than a broken command stream.
    if (dwDataLength > kMaxStoreLength || FieldBLength(kind, dwDataLength) > kMaxStoreLength) {
        DebugLog("Get2dCodeCommand : DATA IS TOO LONG FOR A 2D CODE. (%d)",
                 static_cast<int>(dwDataLength));
        return 0;
    }
    const DWORD dwFieldBLength = FieldBLength(kind, dwDataLength);
    if (dwAnsiTextBufSize < dwFieldBLength) {
        DebugLog("Get2dCodeCommand : BUFFER SIZE IS NOT ENOUGH. (AnsiTextBufSize)");
        return 0;
    }

    auto* pbyBuffer = static_cast<PBYTE>(LocalAlloc(LPTR, dwFieldALength));
    auto* pbyData = static_cast<PBYTE>(LocalAlloc(LPTR, dwDataLength + 1));
    if (pbyBuffer == nullptr || pbyData == nullptr) {
        DebugLog("Get2dCodeCommand : failed to allocate the buffer. (pbyBuffer)");
        LocalFree(pbyBuffer);
        LocalFree(pbyData);
        return 0;
    }

    CODE2D_OPTION_CMDS options = {};
    Set2dCodeOptionCmd(dwBarType, info, &options, fRate);
    const DWORD dwPosition = fRate < 1.0f ? Scale(dwX, fRate) : dwX;

    std::memcpy(pbyData, pbyAnsiText, dwDataLength);
    std::memset(pbyAnsiText, 0, dwAnsiTextBufSize);
    WriteFieldB(pbyAnsiText, info, pbyData, dwDataLength);
    LocalFree(pbyData);
    *pdwAnsiTextLength = dwFieldBLength;

    PBYTE p = PutAbsolutePosition(pbyBuffer, dwPosition);
    const BYTE* options2d[] = {options.byPdf417,  options.byQrCode,    options.byDataMatrix,
                               options.byDataBar, options.byComposite, options.byMaxiCode};
    std::memcpy(p, options2d[kind], dwFieldALength - kPositionLength);

    *ppbyCommand = pbyBuffer;
    DebugLog("Get2dCodeCommand : END");
    return dwFieldALength;
}
