// Font control: printer commands spelled as characters in the "FontControl" / "Control" fonts
// (the built-in table) and in the "FontControlA" font (the LBRKV580R.INI file), and the
// case-blind substring search the name tests use.
#include <cstdio>
#include <cstring>

#include "debug_log.h"
#include "device_fonts.h"
#include "oempdev.h"
#include "win32/heap.h"
#include "win32/profile.h"
#include "win32/winspool.h"

namespace {

// Longest entry of the font-control table.
constexpr DWORD kMaxControlEntryBytes = 11;

struct ControlEntry {
    char character;
    BYTE length;
    BYTE bytes[kMaxControlEntryBytes];
};

// The built-in font-control table: character -> command bytes.
constexpr ControlEntry kFontControlTable[] = {
    {'(', 3, {0x1B, 0x45, 0x00}},              // emphasis off
    {')', 3, {0x1B, 0x45, 0x01}},              // emphasis on
    {'+', 3, {0x1B, 0x2D, 0x00}},              // underline off
    {'-', 3, {0x1B, 0x2D, 0x01}},              // underline on
    {'5', 1, {0x09}},                          // horizontal tab
    {'6', 1, {0x0A}},                          // line feed
    {'7', 1, {0x0D}},                          // carriage return
    {'A', 5, {0x1B, 0x70, 0x00, 0x19, 0xFF}},  // drawer 1 pulse, 50 ms
    {'B', 5, {0x1B, 0x70, 0x00, 0x32, 0xFF}},
    {'C', 5, {0x1B, 0x70, 0x00, 0x4B, 0xFF}},
    {'D', 5, {0x1B, 0x70, 0x00, 0x64, 0xFF}},
    {'E', 5, {0x1B, 0x70, 0x00, 0x7D, 0xFF}},
    {'a', 5, {0x1B, 0x70, 0x01, 0x19, 0xFF}},  // drawer 2 pulse
    {'b', 5, {0x1B, 0x70, 0x01, 0x32, 0xFF}},
    {'c', 5, {0x1B, 0x70, 0x01, 0x4B, 0xFF}},
    {'d', 5, {0x1B, 0x70, 0x01, 0x64, 0xFF}},
    {'e', 5, {0x1B, 0x70, 0x01, 0x7D, 0xFF}},
    {'G', 4, {0x1C, 0x70, 0x01, 0x00}},  // NV image 1..5, normal
    {'H', 4, {0x1C, 0x70, 0x02, 0x00}},
    {'I', 4, {0x1C, 0x70, 0x03, 0x00}},
    {'J', 4, {0x1C, 0x70, 0x04, 0x00}},
    {'K', 4, {0x1C, 0x70, 0x05, 0x00}},
    {'[', 4, {0x1C, 0x70, 0x01, 0x03}},  // NV image 1..5, quadruple
    {']', 4, {0x1C, 0x70, 0x02, 0x03}},
    {'^', 4, {0x1C, 0x70, 0x03, 0x03}},
    {'_', 4, {0x1C, 0x70, 0x04, 0x03}},
    {'`', 4, {0x1C, 0x70, 0x05, 0x03}},
    {'P', 5, {0x0A, 0x1D, 0x56, 0x42, 0x00}},  // feed and cut
    {'g', 3, {0x1D, 0x56, 0x01}},              // partial cut
    {'R', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x30, 0x01, 0x01}},
    {'S', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x31, 0x01, 0x01}},
    {'T', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x32, 0x01, 0x01}},
    {'U', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x33, 0x01, 0x01}},
    {'V', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x34, 0x01, 0x01}},
    {'i', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x30, 0x02, 0x02}},
    {'j', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x31, 0x02, 0x02}},
    {'k', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x32, 0x02, 0x02}},
    {'l', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x33, 0x02, 0x02}},
    {'m', 11, {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x34, 0x02, 0x02}},
    {'p', 3, {0x1D, 0x48, 0x00}},                    // HRI none
    {'q', 6, {0x1D, 0x48, 0x01, 0x1D, 0x66, 0x00}},  // HRI above, font A
    {'r', 6, {0x1D, 0x48, 0x02, 0x1D, 0x66, 0x00}},  // HRI below, font A
    {'s', 6, {0x1D, 0x48, 0x01, 0x1D, 0x66, 0x01}},  // HRI above, font B
    {'t', 6, {0x1D, 0x48, 0x02, 0x1D, 0x66, 0x01}},  // HRI below, font B
    {'u', 3, {0x1D, 0x42, 0x01}},                    // reverse on
    {'v', 3, {0x1D, 0x42, 0x00}},                    // reverse off
    {'w', 3, {0x1B, 0x61, 0x00}},                    // align left
    {'x', 3, {0x1B, 0x61, 0x01}},                    // align centre
    {'y', 3, {0x1B, 0x61, 0x02}},                    // align right
};

const ControlEntry* FindControlEntry(char c) {
    for (const ControlEntry& entry : kFontControlTable) {
        if (entry.character == c) {
            return &entry;
        }
    }
    return nullptr;
}

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Value of an upper-case hexadecimal digit, or -1.
int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

constexpr DWORD kIniPathBytes = 256;
constexpr DWORD kIniValueBytes = 2048;
constexpr const char* kIniFileName = "LBRKV580R.INI";
constexpr const char* kIniSection = "FontControlA";

}  // namespace

/*
 * FindSubstringNoCase: naive search comparing with ASCII upper-casing. Returns the position
 * of the first occurrence, or kNotFound (also for a missing or empty string).
 */
LONG FindSubstringNoCase(const char* szText, const char* szPattern) {
    if (szText == nullptr || szPattern == nullptr || szText[0] == '\0' || szPattern[0] == '\0') {
        return kNotFound;
    }
    for (LONG start = 0; szText[start] != '\0'; ++start) {
        LONG i = 0;
        while (szPattern[i] != '\0' && szText[start + i] != '\0' &&
               UpperAscii(szText[start + i]) == UpperAscii(szPattern[i])) {
            ++i;
        }
        if (szPattern[i] == '\0') {
            return start;
        }
        if (szText[start + i] == '\0') {
            return kNotFound;
        }
    }
    return kNotFound;
}

/*
 * GetFontControlCommand: the table commands of the text's characters in text order. "F" and
 * "f" add no bytes but set the drawer-only flags. Returns the command length, or 0.
 */
DWORD GetFontControlCommand(OEMPDEV* pOemPDEV, PBYTE* ppbyCommand, const char* szAnsiText,
                            DWORD dwAnsiTextLength) {
    DebugLog("GetFontControlCommand : START");
    if (ppbyCommand == nullptr || szAnsiText == nullptr || dwAnsiTextLength == 0) {
        DebugLog("GetFontControlCommand : dwAnsiTextLength is Zero.");
        return 0;
    }
    PBYTE pbyBuffer =
        static_cast<PBYTE>(LocalAlloc(LPTR, kMaxControlEntryBytes * dwAnsiTextLength + 1));
    if (pbyBuffer == nullptr) {
        DebugLog("GetFontControlCommand : Failed to allocate the buffer. (pbyBuffer)");
        return 0;
    }
    DWORD n = 0;
    for (DWORD i = 0; i < dwAnsiTextLength; ++i) {
        const char c = szAnsiText[i];
        if (c == 'F' || c == 'f') {
            if (pOemPDEV != nullptr) {
                (c == 'F' ? pOemPDEV->bNoCutNoFeeds : pOemPDEV->bNoCutNoFeeds2) = TRUE;
            }
            DebugLog("GetFontControlCommand : drawer-only page (%c)", c);
            continue;
        }
        if (c < 0x21 || c > 0x7E) {
            continue;
        }
        if (const ControlEntry* entry = FindControlEntry(c)) {
            std::memcpy(pbyBuffer + n, entry->bytes, entry->length);
            n += entry->length;
        }
    }
    DebugLog("GetFontControlCommand : The length to be returned : %d", n);
    if (n == 0) {
        LocalFree(pbyBuffer);
        pbyBuffer = nullptr;
    }
    *ppbyCommand = pbyBuffer;
    DebugLog("GetFontControlCommand : END");
    return n;
}

/*
 * GetCommandFromFile: the commands of the text's characters from the "FontControlA" section
 * of LBRKV580R.INI in the print processor folder. A value is upper-case hexadecimal digit
 * pairs; a value of odd length or with lower-case digits is skipped whole, a pair with another
 * character is skipped.
 * Returns the command length, or 0.
 */
DWORD GetCommandFromFile(OEMPDEV* pOemPDEV, PBYTE* ppbyCommand, const char* szAnsiText,
                         DWORD dwAnsiTextLength) {
    DebugLog("GetCommandFromFile : START");
    if (pOemPDEV == nullptr) {
        DebugLog("GetCommandFromFile : pOemPDEV is NULL.");
        return 0;
    }
    if (szAnsiText == nullptr || ppbyCommand == nullptr) {
        DebugLog("GetCommandFromFile : szAnsiText is NULL.");
        return 0;
    }
    if (dwAnsiTextLength == 0) {
        DebugLog("GetCommandFromFile : dwAnsiTextLength is Zero.");
        return 0;
    }
    char szIniPath[kIniPathBytes] = {};
    DWORD dwNeeded = 0;
    if (!GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(szIniPath),
                                     kIniPathBytes, &dwNeeded) ||
        std::strlen(szIniPath) + 1 + std::strlen(kIniFileName) + 1 > kIniPathBytes) {
        DebugLog("GetCommandFromFile : GetPrintProcessorDirectory failed. (%d)", GetLastError());
        return 0;
    }
    std::strcat(szIniPath, "\\");
    std::strcat(szIniPath, kIniFileName);
    DebugLog("GetCommandFromFile : INI file = %s, printer = %s", szIniPath,
             pOemPDEV->szPrinterName);

    PBYTE pbyBuffer = nullptr;
    DWORD dwSize = 0;  // allocated bytes
    DWORD n = 0;       // bytes produced
    char szValue[kIniValueBytes];
    for (DWORD i = 0; i < dwAnsiTextLength; ++i) {
        const unsigned char c = static_cast<unsigned char>(szAnsiText[i]);
        if (c < 0x20 || c > 0x7F) {
            continue;
        }
        char szKey[8];
        std::snprintf(szKey, sizeof(szKey), "%02x", c);
        const DWORD dwCount =
            GetPrivateProfileStringA(kIniSection, szKey, "", szValue, kIniValueBytes, szIniPath);
        if (dwCount == 0 || dwCount % 2 != 0) {
            continue;
        }
        // Digits written in lower case mark a value that was not written for this file: none of
        // it is sent (half a command would reach the printer otherwise).
        if (std::strpbrk(szValue, "abcdef") != nullptr) {
            DebugLog("GetCommandFromFile : lower-case digits in the value of %s; skipped.", szKey);
            continue;
        }
        PBYTE pbyNew = static_cast<PBYTE>(LocalAlloc(LPTR, dwSize + dwCount / 2));
        if (pbyNew == nullptr) {
            DebugLog("GetCommandFromFile : failed to allocate the buffer. (pbyBuffer)");
            LocalFree(pbyBuffer);
            return 0;
        }
        if (n != 0) {
            std::memcpy(pbyNew, pbyBuffer, n);
        }
        LocalFree(pbyBuffer);
        pbyBuffer = pbyNew;
        dwSize += dwCount / 2;
        for (DWORD k = 0; k + 1 < dwCount; k += 2) {
            const int hi = HexDigit(szValue[k]);
            const int lo = HexDigit(szValue[k + 1]);
            if (hi < 0 || lo < 0) {
                continue;
            }
            pbyBuffer[n++] = static_cast<BYTE>(hi * 16 + lo);
        }
    }
    DebugLog("GetCommandFromFile : The length to be returned : %d", n);
    if (n == 0) {
        LocalFree(pbyBuffer);
        pbyBuffer = nullptr;
    }
    *ppbyCommand = pbyBuffer;
    DebugLog("GetCommandFromFile : END");
    return n;
}
