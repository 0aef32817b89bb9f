// Text keys (stub until the key table is read).
#include "text/text_keys.h"

char* GetPrinterDataFromReg(PDEVOBJ, const WCHAR*, DWORD* pdwSize, UINT) {
    if (pdwSize != nullptr) *pdwSize = 0;
    return nullptr;
}
char* GetTokenFromTextKeyData(const char*, DWORD, DWORD* pdwLength, DWORD) {
    if (pdwLength != nullptr) *pdwLength = 0;
    return nullptr;
}
BOOL SaveCouponImgName(PDEVOBJ, char**, DWORD*) {
    return FALSE;
}
BOOL CheckCouponNameAlreadyExist(PDEVOBJ, const char*, DWORD) {
    return FALSE;
}
BOOL TextReplacementWithText(PDEVOBJ, char**, DWORD*, DWORD*) {
    return FALSE;
}
DWORD AddTextKeyImgBufAndDevFontData(PDEVOBJ, SURFOBJ*, STROBJ*, FONTOBJ*, const char*, const char*,
                                     DWORD, DWORD) {
    return 0;
}
DWORD GetTextKeyImgBufFromFile(const char*, PBYTE* ppBuffer, DWORD* pdwSize) {
    if (ppBuffer != nullptr) *ppBuffer = nullptr;
    if (pdwSize != nullptr) *pdwSize = 0;
    return 0;
}
