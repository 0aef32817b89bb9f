// Text keys: the key table under "TextKeyFunction", text replacement, image keys and the
// collection of coupon names.
//
// A key value is "TEXT_KEY<TAB>REPLACE_IMAGE<TAB>ALTERNATE_TEXT<TAB>COUPON_IMAGE"; a token that
// starts with "_NULL_" holds a place and means "none". The key table is read anew for every
// run. Image and coupon names come from printer data and are used only as plain file names of
// the folder "LBR-KV580": a name with a path separator, a drive colon or ".." reads nothing.
#include "text/text_keys.h"

#include <cstring>

#include "debug_log.h"
#include "text/device_fonts.h"
#include "text/text_records.h"
#include "win32/codepage.h"
#include "win32/files.h"
#include "win32/heap.h"
#include "win32/paths.h"
#include "win32/strings.h"
#include "win32/winspool.h"

namespace {

constexpr DWORD kWindowsDirChars = 512;
constexpr DWORD kImageNameChars = 256;  // 255 characters and the terminator
constexpr DWORD kImagePathChars = kWindowsDirChars + kImageNameChars + 32;
constexpr DWORD kTokenCount = 4;
constexpr DWORD kPieceSpareBytes = 128;  // room for the feed trailer of a text piece
constexpr DWORD kMaxRecordField = 0xFFFF;
constexpr char kNullToken[] = "_NULL_";

// Frees a LocalAlloc block and nulls the pointer.
template <typename T>
void FreeLocal(T*& p) {
    if (p != nullptr) {
        LocalFree(p);
        p = nullptr;
    }
}

// The "TextKey%02d" value name of key k.
void KeyValueName(DWORD k, WCHAR* name, size_t cch) {
    StringCchPrintfW(name, cch, u"TextKey%02u", k);
}

// "NumTextKey": the first byte of the value as read; FALSE when it cannot be read.
BOOL ReadNumTextKey(PDEVOBJ pdevobj, DWORD* pdwCount) {
    DWORD dwSize = 0;
    char* pValue = GetPrinterDataFromReg(pdevobj, kNumTextKeyValue, &dwSize, CP_UTF8);
    if (pValue == nullptr) {
        return FALSE;
    }
    *pdwCount = static_cast<BYTE>(pValue[0]);
    LocalFree(pValue);
    return TRUE;
}

// One key of the table with the tokens that are given (null for "none").
struct TextKey {
    char* token[kTokenCount] = {};
    DWORD length[kTokenCount] = {};

    TextKey() = default;
    TextKey(const TextKey&) = delete;
    TextKey& operator=(const TextKey&) = delete;
    ~TextKey() {
        for (char*& t : token) FreeLocal(t);
    }
    bool Has(DWORD index) const { return token[index] != nullptr; }
};

// Reads key k in the code page; FALSE when the value cannot be read or is empty.
BOOL ReadTextKey(PDEVOBJ pdevobj, DWORD k, UINT uCodePage, TextKey& key) {
    WCHAR name[32] = {};
    KeyValueName(k, name, 32);
    DWORD dwSize = 0;
    char* pValue = GetPrinterDataFromReg(pdevobj, name, &dwSize, uCodePage);
    if (pValue == nullptr) {
        return FALSE;
    }
    if (dwSize == 0) {  // does not fit its own size: reads as empty
        LocalFree(pValue);
        return FALSE;
    }
    for (DWORD i = 0; i < kTokenCount; ++i) {
        DWORD len = 0;
        char* token = GetTokenFromTextKeyData(pValue, dwSize, &len, i);
        if (token != nullptr && std::strncmp(token, kNullToken, sizeof kNullToken - 1) == 0) {
            FreeLocal(token);
            len = 0;
        }
        key.token[i] = token;
        key.length[i] = len;
    }
    LocalFree(pValue);
    return TRUE;
}

// A name that stays inside its folder: not empty, no separator, no drive colon, no "..".
bool IsPlainFileName(const char* name, DWORD length) {
    if (name == nullptr || length == 0) return false;
    for (DWORD i = 0; i < length; ++i) {
        const char c = name[i];
        if (c == '\\' || c == '/' || c == ':' || c == '\0') return false;
        if (c == '.' && i + 1 < length && name[i + 1] == '.') return false;
    }
    return true;
}

// Position of the first occurrence of key in text[from, end); -1 when there is none.
LONG FindKey(const char* text, DWORD from, DWORD end, const char* key, DWORD keyLength) {
    if (keyLength == 0 || end < keyLength) return -1;
    for (DWORD s = from; s + keyLength <= end; ++s) {
        if (std::memcmp(text + s, key, keyLength) == 0) return static_cast<LONG>(s);
    }
    return -1;
}

// Appends the device-text record of text[0, length) at the run's position; returns the command
// length added (0 when no record was made).
DWORD AddTextPiece(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, const char* pFamilyName,
                   const char* pText, DWORD length, DWORD dwX) {
    char* piece = static_cast<char*>(LocalAlloc(LPTR, SIZE_T{length} + kPieceSpareBytes));
    if (piece == nullptr) {
        DebugLog("AddTextKeyImgBufAndDevFontData : LocalAlloc failed with (%d)", GetLastError());
        return 0;
    }
    std::memcpy(piece, pText, length);
    DWORD dwPieceLength = length;
    PBYTE pCommand = nullptr;
    DWORD dwCommand = GetDevFontCommand(&pCommand, pFamilyName, piece, &dwPieceLength,
                                        static_cast<LONG>(dwX), pfo);
    DWORD dwAdded = 0;
    if (dwCommand != 0 && pCommand != nullptr && dwPieceLength <= kMaxRecordField &&
        AddFontDataToBuf(pso, pstro, pfo, FTYPE_DEVICE_FONT, GetFontHeight(pfo), pCommand,
                         dwCommand, reinterpret_cast<const BYTE*>(piece), dwPieceLength)) {
        dwAdded = dwCommand;
    }
    FreeLocal(pCommand);
    LocalFree(piece);
    return dwAdded;
}

// Appends the image bytes as type-1 records with an empty field B; an image longer than a
// record field is carried by several records in a row. Returns the bytes added.
DWORD AddImagePieces(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, const BYTE* pImage, DWORD dwImage) {
    DWORD dwAdded = 0;
    const DWORD dwHeight = GetFontHeight(pfo);
    while (dwAdded < dwImage) {
        const DWORD chunk =
            dwImage - dwAdded > kMaxRecordField ? kMaxRecordField : dwImage - dwAdded;
        if (!AddFontDataToBuf(pso, pstro, pfo, FTYPE_DEVICE_FONT, dwHeight, pImage + dwAdded, chunk,
                              nullptr, 0)) {
            break;
        }
        dwAdded += chunk;
    }
    return dwAdded;
}

}  // namespace

char* GetPrinterDataFromReg(PDEVOBJ pdevobj, const WCHAR* pValueName, DWORD* pdwSize,
                            UINT uCodePage) {
    if (pdwSize != nullptr) *pdwSize = 0;
    if (pdevobj == nullptr || pdevobj->hPrinter == nullptr) {
        DebugLog("GetPrinterDataFromReg : pdevobj->hPrinter is NULL.");
        return nullptr;
    }
    DWORD dwType = 0;
    DWORD dwNeeded = 0;
    DWORD dwError = GetPrinterDataExW(pdevobj->hPrinter, kTextKeyFunctionKey, pValueName, &dwType,
                                      nullptr, 0, &dwNeeded);
    if (dwError != ERROR_SUCCESS && dwError != ERROR_MORE_DATA) {
        DebugLog("GetPrinterDataFromReg : GetPrinterDataEx failed. (%d)", dwError);
        return nullptr;
    }
    // Two zero bytes after the value, so that it always ends as a UTF-16 string.
    PBYTE pRaw = static_cast<PBYTE>(LocalAlloc(LPTR, SIZE_T{dwNeeded} + 2));
    if (pRaw == nullptr) {
        DebugLog("GetPrinterDataFromReg : LocalAlloc failed with (%d)", GetLastError());
        return nullptr;
    }
    DWORD dwRead = 0;
    dwError = GetPrinterDataExW(pdevobj->hPrinter, kTextKeyFunctionKey, pValueName, &dwType, pRaw,
                                dwNeeded, &dwRead);
    if (dwError != ERROR_SUCCESS) {
        DebugLog("GetPrinterDataFromReg : GetPrinterDataEx failed. (%d)", dwError);
        LocalFree(pRaw);
        return nullptr;
    }
    if (dwRead <= 1) {  // a single byte (or nothing) is returned as it is
        if (pdwSize != nullptr) *pdwSize = dwRead;
        return reinterpret_cast<char*>(pRaw);
    }
    // UTF-16 text: the characters up to the first NUL within the value.
    const DWORD cchMax = dwRead / 2;
    DWORD cch = 0;
    while (cch < cchMax && (pRaw[2 * cch] != 0 || pRaw[2 * cch + 1] != 0)) ++cch;
    WCHAR* pWide = static_cast<WCHAR*>(LocalAlloc(LPTR, (SIZE_T{cch} + 1) * sizeof(WCHAR)));
    char* pOut = static_cast<char*>(LocalAlloc(LPTR, SIZE_T{dwRead} + 1));
    if (pWide == nullptr || pOut == nullptr) {
        DebugLog("GetPrinterDataFromReg : LocalAlloc failed with (%d)", GetLastError());
        FreeLocal(pWide);
        FreeLocal(pOut);
        LocalFree(pRaw);
        return nullptr;
    }
    for (DWORD i = 0; i < cch; ++i) {
        pWide[i] = static_cast<WCHAR>(pRaw[2 * i] | (pRaw[2 * i + 1] << 8));
    }
    LocalFree(pRaw);
    // The converted text with its terminator must fit in the value's size + 1 bytes.
    int n = WideCharToMultiByte(uCodePage, 0, pWide, static_cast<int>(cch) + 1, pOut,
                                static_cast<int>(dwRead) + 1, nullptr, nullptr);
    LocalFree(pWide);
    if (n <= 0) {
        std::memset(pOut, 0, SIZE_T{dwRead} + 1);
        n = 0;
    }
    if (pdwSize != nullptr) *pdwSize = static_cast<DWORD>(n);
    return pOut;
}

char* GetTokenFromTextKeyData(const char* pValue, DWORD dwValueSize, DWORD* pdwLength,
                              DWORD dwTokenIndex) {
    if (pdwLength != nullptr) *pdwLength = 0;
    if (pValue == nullptr || dwValueSize == 0 || dwTokenIndex >= kTokenCount) {
        return nullptr;
    }
    // Walk the value (up to its size or its NUL) token by token; runs of TABs separate as one.
    DWORD pos = 0;
    DWORD index = 0;
    while (pos < dwValueSize && pValue[pos] != '\0') {
        while (pos < dwValueSize && pValue[pos] == '\t') ++pos;
        if (pos >= dwValueSize || pValue[pos] == '\0') break;
        const DWORD start = pos;
        while (pos < dwValueSize && pValue[pos] != '\0' && pValue[pos] != '\t') ++pos;
        if (index == dwTokenIndex) {
            const DWORD len = pos - start;
            char* token = static_cast<char*>(LocalAlloc(LPTR, SIZE_T{len} + 1));
            if (token == nullptr) {
                DebugLog("GetTokenFromTextKeyData : LocalAlloc failed with (%d)", GetLastError());
                return nullptr;
            }
            std::memcpy(token, pValue + start, len);
            if (pdwLength != nullptr) *pdwLength = len;
            return token;
        }
        ++index;
    }
    return nullptr;
}

BOOL CheckCouponNameAlreadyExist(PDEVOBJ pdevobj, const char* pName, DWORD dwNameLength) {
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    if (pOemPDEV == nullptr || pName == nullptr || pOemPDEV->szCouponImgName == nullptr ||
        pOemPDEV->dwCouponImgNameLength <= 1) {
        return FALSE;
    }
    const char* list = pOemPDEV->szCouponImgName;
    const DWORD listLength = pOemPDEV->dwCouponImgNameLength - 1;  // without the NUL
    DWORD start = 0;
    for (DWORD i = 0; i <= listLength; ++i) {
        if (i == listLength || list[i] == '/' || list[i] == '\0') {
            if (i - start == dwNameLength && std::memcmp(list + start, pName, dwNameLength) == 0) {
                return TRUE;
            }
            if (i < listLength && list[i] == '\0') break;
            start = i + 1;
        }
    }
    return FALSE;
}

BOOL SaveCouponImgName(PDEVOBJ pdevobj, char** ppText, DWORD* pdwTextLength) {
    DebugLog("SaveCouponImgName : START");
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    DWORD dwKeys = 0;
    if (pOemPDEV == nullptr || ppText == nullptr || *ppText == nullptr ||
        pdwTextLength == nullptr || !ReadNumTextKey(pdevobj, &dwKeys)) {
        DebugLog("SaveCouponImgName : NumTextKey cannot be read.");
        return FALSE;
    }
    const char* text = *ppText;
    const DWORD textLength = *pdwTextLength;
    for (DWORD k = 0; k < dwKeys; ++k) {
        TextKey key;
        if (!ReadTextKey(pdevobj, k, CP_UTF8, key) || !key.Has(TEXT_KEY) ||
            !key.Has(COUPON_IMAGE)) {
            continue;
        }
        const char* coupon = key.token[COUPON_IMAGE];
        const DWORD couponLength = key.length[COUPON_IMAGE];
        if (!IsPlainFileName(coupon, couponLength) || couponLength >= kImageNameChars) {
            DebugLog("SaveCouponImgName : The coupon name, '%s' is not a file name.", coupon);
            continue;
        }
        const DWORD keyLength = key.length[TEXT_KEY];
        for (DWORD s = 0; s + keyLength <= textLength; ++s) {
            if (std::memcmp(text + s, key.token[TEXT_KEY], keyLength) != 0) continue;
            if (pOemPDEV->szCouponImgName == nullptr || pOemPDEV->dwCouponImgNameLength <= 1) {
                DebugLog(
                    "SaveCouponImgName : adding a coupon name without checking at first time.");
                char* list = static_cast<char*>(MemCalloc(SIZE_T{couponLength} + 1, 1));
                if (list == nullptr) {
                    DebugLog("SaveCouponImgName : malloc failed.");
                    return TRUE;
                }
                std::memcpy(list, coupon, couponLength);
                MemFree(pOemPDEV->szCouponImgName);
                pOemPDEV->szCouponImgName = list;
                pOemPDEV->dwCouponImgNameLength = couponLength + 1;
                continue;
            }
            if (CheckCouponNameAlreadyExist(pdevobj, coupon, couponLength)) {
                DebugLog("SaveCouponImgName : The coupon name, '%s' already exist.", coupon);
                break;
            }
            // The list grows by "/" and the name; it has no fixed size to overflow.
            const DWORD oldLength = pOemPDEV->dwCouponImgNameLength - 1;
            char* list = static_cast<char*>(MemCalloc(SIZE_T{oldLength} + 1 + couponLength + 1, 1));
            if (list == nullptr) {
                DebugLog("SaveCouponImgName : malloc failed.");
                return TRUE;
            }
            std::memcpy(list, pOemPDEV->szCouponImgName, oldLength);
            list[oldLength] = '/';
            std::memcpy(list + oldLength + 1, coupon, couponLength);
            MemFree(pOemPDEV->szCouponImgName);
            pOemPDEV->szCouponImgName = list;
            pOemPDEV->dwCouponImgNameLength = oldLength + 1 + couponLength + 1;
        }
    }
    DebugLog("SaveCouponImgName : END");
    return TRUE;
}

BOOL TextReplacementWithText(PDEVOBJ pdevobj, char** ppText, DWORD* pdwTextLength,
                             DWORD* pdwTextBufSize) {
    DebugLog("TextReplacementWithText : START");
    DWORD dwKeys = 0;
    if (ppText == nullptr || *ppText == nullptr || pdwTextLength == nullptr ||
        pdwTextBufSize == nullptr || !ReadNumTextKey(pdevobj, &dwKeys)) {
        DebugLog("TextReplacementWithText : NumTextKey cannot be read.");
        return FALSE;
    }
    if (*pdwTextBufSize <= *pdwTextLength) {
        DebugLog("TextReplacementWithText : the text buffer is too small. (%d)", *pdwTextBufSize);
        return FALSE;
    }
    for (DWORD k = 0; k < dwKeys; ++k) {
        TextKey key;
        if (!ReadTextKey(pdevobj, k, CP_OEMCP, key) || !key.Has(TEXT_KEY) ||
            !key.Has(ALTERNATE_TEXT)) {
            continue;
        }
        const DWORD keyLength = key.length[TEXT_KEY];
        const DWORD altLength = key.length[ALTERNATE_TEXT];
        DWORD s = 0;
        while (s + keyLength <= *pdwTextLength) {
            char* text = *ppText;
            if (std::memcmp(text + s, key.token[TEXT_KEY], keyLength) != 0) {
                ++s;
                continue;
            }
            if (altLength == keyLength) {
                std::memcpy(text + s, key.token[ALTERNATE_TEXT], altLength);
            } else {
                const unsigned long long newSize =
                    static_cast<unsigned long long>(*pdwTextBufSize) + altLength - keyLength;
                if (newSize > 0xFFFFFFFFull) {
                    DebugLog("TextReplacementWithText : the text would be too long.");
                    break;
                }
                char* pNew = static_cast<char*>(LocalAlloc(LPTR, static_cast<SIZE_T>(newSize)));
                if (pNew == nullptr) {
                    DebugLog("TextReplacementWithText : LocalAlloc failed with (%d)",
                             GetLastError());
                    DebugLog("TextReplacementWithText : END");
                    return TRUE;
                }
                std::memcpy(pNew, text, s);
                std::memcpy(pNew + s, key.token[ALTERNATE_TEXT], altLength);
                std::memcpy(pNew + s + altLength, text + s + keyLength,
                            *pdwTextBufSize - s - keyLength);
                LocalFree(text);
                *ppText = pNew;
                *pdwTextLength = *pdwTextLength + altLength - keyLength;
                *pdwTextBufSize = static_cast<DWORD>(newSize);
            }
            s += altLength;
        }
    }
    DebugLog("TextReplacementWithText : END");
    return TRUE;
}

DWORD AddTextKeyImgBufAndDevFontData(PDEVOBJ pdevobj, SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo,
                                     const char* pFamilyName, const char* pText, DWORD dwTextLength,
                                     DWORD dwX) {
    DebugLog("AddTextKeyImgBufAndDevFontData : START");
    DWORD dwKeys = 0;
    if (pText == nullptr || !ReadNumTextKey(pdevobj, &dwKeys)) {
        DebugLog("AddTextKeyImgBufAndDevFontData : NumTextKey cannot be read.");
        return 0;
    }
    // The text ends at its length or at its NUL, whichever comes first.
    DWORD end = 0;
    while (end < dwTextLength && pText[end] != '\0') ++end;

    DWORD dwTotal = 0;
    DWORD p = 0;
    while (p < end) {
        // The lowest-numbered image key that occurs from p on.
        LONG found = -1;
        DWORD foundLength = 0;
        char* image = nullptr;
        for (DWORD k = 0; k < dwKeys && found < 0; ++k) {
            TextKey key;
            if (!ReadTextKey(pdevobj, k, CP_UTF8, key) || !key.Has(TEXT_KEY) ||
                !key.Has(REPLACE_IMAGE)) {
                continue;
            }
            found = FindKey(pText, p, end, key.token[TEXT_KEY], key.length[TEXT_KEY]);
            if (found >= 0) {
                foundLength = key.length[TEXT_KEY];
                image = key.token[REPLACE_IMAGE];
                key.token[REPLACE_IMAGE] = nullptr;  // kept past the key's lifetime
            }
        }
        const DWORD pieceEnd = found >= 0 ? static_cast<DWORD>(found) : end;
        if (pieceEnd > p) {
            dwTotal += AddTextPiece(pso, pstro, pfo, pFamilyName, pText + p, pieceEnd - p, dwX);
        }
        if (found < 0) {
            break;
        }
        PBYTE pImage = nullptr;
        DWORD dwImage = 0;
        if (GetTextKeyImgBufFromFile(image, &pImage, &dwImage) != 0) {
            dwTotal += AddImagePieces(pso, pstro, pfo, pImage, dwImage);
        }
        FreeLocal(pImage);
        FreeLocal(image);
        p = pieceEnd + foundLength;
    }
    DebugLog("AddTextKeyImgBufAndDevFontData : dwTotal : %d", dwTotal);
    DebugLog("AddTextKeyImgBufAndDevFontData : END");
    return dwTotal;
}

DWORD GetTextKeyImgBufFromFile(const char* pImageName, PBYTE* ppBuffer, DWORD* pdwSize) {
    if (ppBuffer != nullptr) *ppBuffer = nullptr;
    if (pdwSize != nullptr) *pdwSize = 0;
    if (pImageName == nullptr || ppBuffer == nullptr) {
        return 0;
    }
    const DWORD nameLength = static_cast<DWORD>(std::strlen(pImageName));
    if (!IsPlainFileName(pImageName, nameLength)) {
        DebugLog("GetTextKeyImgBufFromFile : '%s' is not a file name.", pImageName);
        return 0;
    }
    WCHAR windows[kWindowsDirChars] = {};
    WCHAR name[kImageNameChars] = {};
    WCHAR path[kImagePathChars] = {};
    const UINT n = GetWindowsDirectoryW(windows, kWindowsDirChars);
    if (n == 0 || n >= kWindowsDirChars ||
        MultiByteToWideChar(CP_UTF8, 0, pImageName, -1, name, kImageNameChars) == 0 ||
        FAILED(StringCchPrintfW(path, kImagePathChars, u"%s\\LBR-KV580\\%s.bin", windows, name))) {
        DebugLog("GetTextKeyImgBufFromFile : the path cannot be built for '%s'.", pImageName);
        return 0;
    }
    HANDLE hFile =
        CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        DebugLog("GetTextKeyImgBufFromFile : CreateFile returned NULL. (%d)", GetLastError());
        return 0;
    }
    const DWORD dwSize = SetFilePointer(hFile, 0, nullptr, FILE_END);
    if (dwSize == INVALID_SET_FILE_POINTER) {
        DebugLog("GetTextKeyImgBufFromFile : SetFilePointer failed. (%d)", GetLastError());
        CloseHandle(hFile);
        return 0;
    }
    PBYTE pBuffer = nullptr;
    DWORD dwRead = 0;
    if (dwSize != 0 && SetFilePointer(hFile, 0, nullptr, FILE_BEGIN) == 0) {
        pBuffer = static_cast<PBYTE>(LocalAlloc(LPTR, dwSize));
        if (pBuffer == nullptr) {
            DebugLog("GetTextKeyImgBufFromFile : LocalAlloc failed with (%d)", GetLastError());
        } else if (!ReadFile(hFile, pBuffer, dwSize, &dwRead, nullptr) || dwRead != dwSize) {
            DebugLog("GetTextKeyImgBufFromFile : ReadFile failed with (%d)", GetLastError());
            FreeLocal(pBuffer);
            dwRead = 0;
        }
    }
    CloseHandle(hFile);
    *ppBuffer = pBuffer;
    if (pdwSize != nullptr) *pdwSize = dwRead;
    return dwRead;
}
