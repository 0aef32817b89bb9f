// Barcode preview data (stub: no preview block yet).
#include "text/barcode_preview.h"

const char* BarcodePreviewFileName(PDEVOBJ, const char*, DWORD) {
    return nullptr;
}
BOOL AddBarCodePreviewData(PDEVOBJ, const char*, PBYTE*, PDWORD, DWORD) {
    return FALSE;
}
