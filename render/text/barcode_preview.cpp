// Barcode preview data: the preview application cannot draw the printer's barcode commands,
// so in preview every barcode record carries a ready-made picture of its kind from the folder
// "C:\Windows\LBR-KV580\PreviewBin\", behind a 14-byte header.
#include "text/barcode_preview.h"

#include <cstring>

#include "debug_log.h"
#include "text/barcodes.h"
#include "win32/files.h"
#include "win32/heap.h"
#include "win32/paths.h"
#include "win32/strings.h"

namespace {

constexpr DWORD kWindowsDirChars = 512;
constexpr DWORD kPreviewPathChars = kWindowsDirChars + 64;
constexpr DWORD kMaxRecordField = 0xFFFF;  // field B of a record is at most this long

// The 2D record the kind is taken from, before the family name's own settings.
constexpr BYTE kDefault2dCodeInfo[kCodeDataRecordBytes] = {0x00, 0x00, 0x03, 0x00, 0x03, 0x00, 0x00,
                                                           0x01, 0x03, 0x00, 0x32, 0x03, 0x32, 0x02,
                                                           0x02, 0x20, 0x02, 0x02, 0x31, 0x00};

}  // namespace

const char* BarcodePreviewFileName(PDEVOBJ pdevobj, const char* pFamilyName, DWORD dwBarcodeType) {
    if (dwBarcodeType >= BARTYPE_1D_FIRST && dwBarcodeType <= BARTYPE_1D_LAST) {
        return "1D_CODE.bin";
    }
    BYTE record[kCodeDataRecordBytes];
    std::memcpy(record, kDefault2dCodeInfo, sizeof record);
    Get1d2dCodeSetting(DeviceState(pdevobj), pFamilyName, dwBarcodeType, nullptr, record);
    switch (record[0]) {
        case CODE2D_PDF417:
            return "2D_PDF417.bin";
        case CODE2D_QRCODE:
            return "2D_QRCODE.bin";
        case CODE2D_DATAMATRIX:
            return "2D_DATAMATRIX.bin";
        case CODE2D_DATABAR:
        case CODE2D_COMPOSITE:
            return "2D_GS1DATABAR.bin";
        default:
            return nullptr;  // MaxiCode and unknown kinds have no picture
    }
}

BOOL AddBarCodePreviewData(PDEVOBJ pdevobj, const char* pFamilyName, PBYTE* ppbyText,
                           PDWORD pdwTextLength, DWORD dwBarcodeType) {
    DebugLog("AddBarCodePreviewData : START");
    if (pdevobj == nullptr || ppbyText == nullptr || *ppbyText == nullptr ||
        pdwTextLength == nullptr) {
        DebugLog("AddBarCodePreviewData : pdevobj or the text is NULL.");
        return FALSE;
    }
    WCHAR windows[kWindowsDirChars] = {};
    const UINT n = GetWindowsDirectoryW(windows, kWindowsDirChars);
    if (n == 0 || n >= kWindowsDirChars) {
        DebugLog("AddBarCodePreviewData : GetWindowsDirectory failed with (%d)", GetLastError());
        return FALSE;
    }
    const char* file = BarcodePreviewFileName(pdevobj, pFamilyName, dwBarcodeType);
    if (file == nullptr) {
        DebugLog("AddBarCodePreviewData : no preview data for the barcode type %d.", dwBarcodeType);
        return FALSE;
    }
    WCHAR wfile[32] = {};
    for (DWORD i = 0; file[i] != '\0' && i + 1 < 32; ++i) wfile[i] = static_cast<WCHAR>(file[i]);
    WCHAR path[kPreviewPathChars] = {};
    if (FAILED(StringCchPrintfW(path, kPreviewPathChars, u"%s\\LBR-KV580\\PreviewBin\\%s", windows,
                                wfile))) {
        DebugLog("AddBarCodePreviewData : GetWindowsDirectory failed with (%d)",
                 ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    HANDLE hFile =
        CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        DebugLog("AddBarCodePreviewData : CreateFile returned NULL. (%d)", GetLastError());
        return FALSE;
    }
    BOOL bResult = FALSE;
    const DWORD dwFileSize = SetFilePointer(hFile, 0, nullptr, FILE_END);
    if (dwFileSize == INVALID_SET_FILE_POINTER ||
        SetFilePointer(hFile, 0, nullptr, FILE_BEGIN) != 0) {
        DebugLog("AddBarCodePreviewData : SetFilePointer failed with (%d)", GetLastError());
        CloseHandle(hFile);
        return FALSE;
    }
    const DWORD dwOld = *pdwTextLength;
    const unsigned long long total =
        static_cast<unsigned long long>(dwOld) + kBarcodePreviewHeaderBytes + dwFileSize;
    if (total > kMaxRecordField) {
        // Field B could not hold it; the barcode prints without its picture.
        DebugLog("AddBarCodePreviewData : the preview data is too large. (%d)", dwFileSize);
        CloseHandle(hFile);
        return FALSE;
    }
    PBYTE pNew = static_cast<PBYTE>(LocalAlloc(LPTR, static_cast<SIZE_T>(total)));
    if (pNew == nullptr) {
        DebugLog("AddBarCodePreviewData : failed to allocate the buffer.");
        CloseHandle(hFile);
        return FALSE;
    }
    std::memcpy(pNew, *ppbyText, dwOld);
    PBYTE header = pNew + dwOld;
    const DWORD blockLength = kBarcodePreviewHeaderBytes + dwFileSize;
    header[0] = 0x00;
    header[1] = 0x00;
    header[2] = 0x00;
    header[3] = 0x1B;  // ESC @
    header[4] = 0x40;
    header[5] = static_cast<BYTE>(blockLength & 0xFF);
    header[6] = static_cast<BYTE>((blockLength >> 8) & 0xFF);
    std::memcpy(header + 7, "ORVANEX", 7);
    DWORD dwRead = 0;
    if (ReadFile(hFile, header + kBarcodePreviewHeaderBytes, dwFileSize, &dwRead, nullptr) &&
        dwRead == dwFileSize) {
        LocalFree(*ppbyText);
        *ppbyText = pNew;
        *pdwTextLength = static_cast<DWORD>(total);
        bResult = TRUE;
        DebugLog("AddBarCodePreviewData : preview block of %d bytes added.", blockLength);
    } else {
        DebugLog("AddBarCodePreviewData : ReadFile failed with (%d)", GetLastError());
        LocalFree(pNew);
    }
    CloseHandle(hFile);
    DebugLog("AddBarCodePreviewData : END");
    return bResult;
}
