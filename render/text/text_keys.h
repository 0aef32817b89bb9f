// Text keys: configured key strings in device-font text are replaced by other text, replaced
// by a stored printer image, or call for a coupon image printed once at the end of the job.
// The key table is printer data under "TextKeyFunction"; images are raw printer data in
// "C:\Windows\LBR-KV580\<name>.bin".
//
// Every block these functions return comes from LocalAlloc; the caller frees it with LocalFree.
// Text buffers handed in and out are LocalAlloc blocks too (a replaced one is LocalFree'd).
#pragma once

#include "oempdev.h"
#include "win32/types.h"
#include "win32/winddi.h"

// Printer-data key of the key table and its values.
inline constexpr const WCHAR* kTextKeyFunctionKey = u"TextKeyFunction";
inline constexpr const WCHAR* kNumTextKeyValue = u"NumTextKey";

// Token indexes of a key value ("TEXT_KEY\tREPLACE_IMAGE\tALTERNATE_TEXT\tCOUPON_IMAGE").
constexpr DWORD TEXT_KEY = 0;
constexpr DWORD REPLACE_IMAGE = 1;
constexpr DWORD ALTERNATE_TEXT = 2;
constexpr DWORD COUPON_IMAGE = 3;

// Reads one value under "TextKeyFunction". A value of more than one byte is UTF-16 text and is
// returned converted to uCodePage, NUL-terminated, with *pdwSize the converted length including
// the terminator (0 when it does not fit in the value's size + 1 bytes). A value of one byte is
// returned as it is with *pdwSize 1. Null when there is no printer handle, no memory or the
// value cannot be read.
char* GetPrinterDataFromReg(PDEVOBJ pdevobj, const WCHAR* pValueName, DWORD* pdwSize,
                            UINT uCodePage);

// A copy of token dwTokenIndex (0..3) of a key value split at TAB characters (runs of TABs
// separate like one), with its length without terminator in *pdwLength; null when the token
// is missing or the value is empty.
char* GetTokenFromTextKeyData(const char* pValue, DWORD dwValueSize, DWORD* pdwLength,
                              DWORD dwTokenIndex);

// Adds the coupon names that the text calls for to the device state's coupon list. FALSE when
// "NumTextKey" cannot be read.
BOOL SaveCouponImgName(PDEVOBJ pdevobj, char** ppText, DWORD* pdwTextLength);

// TRUE when the name (dwNameLength bytes) is in the device state's coupon list.
BOOL CheckCouponNameAlreadyExist(PDEVOBJ pdevobj, const char* pName, DWORD dwNameLength);

// Replaces every key by its alternate text; may replace *ppText by a new block and changes
// *pdwTextLength and *pdwTextBufSize by the same difference. FALSE when "NumTextKey" cannot be
// read.
BOOL TextReplacementWithText(PDEVOBJ pdevobj, char** ppText, DWORD* pdwTextLength,
                             DWORD* pdwTextBufSize);

// Splits the text at image keys and appends device-text and image records (type 1) at the
// run's position. Returns the number of command and image bytes added; 0 when it added nothing
// (the run then becomes an ordinary device-text record).
DWORD AddTextKeyImgBufAndDevFontData(PDEVOBJ pdevobj, SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo,
                                     const char* pFamilyName, const char* pText, DWORD dwTextLength,
                                     DWORD dwX);

// Reads "C:\Windows\LBR-KV580\<name>.bin" whole into *ppBuffer (LocalAlloc). Returns the size
// read (also in *pdwSize); 0 on failure, for an empty file and for a name that is not a plain
// file name (a path separator, "..", a drive colon) -- such a name reads nothing.
DWORD GetTextKeyImgBufFromFile(const char* pImageName, PBYTE* ppBuffer, DWORD* pdwSize);
