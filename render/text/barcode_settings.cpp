#include "barcodes.h"

const BARCODEFLAG BarcodeFlag[kBarcodeFlagRows] = {};

DWORD GetBarcodeType(const char*) {
    return 0;
}

BOOL Get1d2dCodeSetting(POEMPDEV, const char*, DWORD, PBYTE, PBYTE) {
    return FALSE;
}
