// Settings load of a device context: "MISC", the configuration-file fallback, the barcode
// records and the user's command strings.
#include "settings.h"

#include <cstring>

#include "debug_log.h"
#include "win32/files.h"
#include "win32/paths.h"
#include "win32/profile.h"
#include "win32/strings.h"
#include "win32/winspool.h"

namespace {

// Reads one binary printer-data value of the properties key into `buffer`. The size the
// spooler reports is stored in `size`. Non-zero result: the platform error code.
DWORD ReadProperty(HANDLE hPrinter, const WCHAR* name, BYTE* buffer, DWORD bufferSize,
                   DWORD& size) {
    DWORD type = 0;
    size = 0;
    return GetPrinterDataExW(hPrinter, kPropertiesKey, name, &type, buffer, bufferSize, &size);
}

// The decimal value of a profile string as the C library's atoi reads it (leading blanks,
// a sign, then digits; no digits gives 0), in 32 bits.
DWORD ProfileNumber(const WCHAR* text) {
    while (*text == u' ' || *text == u'\t') {
        ++text;
    }
    bool negative = false;
    if (*text == u'+' || *text == u'-') {
        negative = *text == u'-';
        ++text;
    }
    DWORD value = 0;
    while (*text >= u'0' && *text <= u'9') {
        value = value * 10 + static_cast<DWORD>(*text - u'0');
        ++text;
    }
    return negative ? 0u - value : value;
}

// "C:\Windows\LBR-KV580\LBRKV580R_Config.OVX"
bool ConfigurationFilePath(WCHAR (&path)[MAX_PATH]) {
    if (GetWindowsDirectoryW(path, MAX_PATH) == 0) {
        return false;
    }
    return SUCCEEDED(StringCchCatW(path, MAX_PATH, u"\\")) &&
           SUCCEEDED(StringCchCatW(path, MAX_PATH, u"LBR-KV580")) &&
           SUCCEEDED(StringCchCatW(path, MAX_PATH, u"\\")) &&
           SUCCEEDED(StringCchCatW(path, MAX_PATH, u"LBRKV580R_Config.OVX"));
}

// Takes the setting bytes the configuration file names; the others keep their defaults.
void ReadConfigurationFile(UIInfo& info) {
    WCHAR path[MAX_PATH] = {};
    if (!ConfigurationFilePath(path)) {
        return;
    }
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    CloseHandle(file);
    for (DWORD i = 0; i < kSettingBytes; ++i) {
        WCHAR key[32] = {};
        StringCchPrintfW(key, 32, u"PREFERENCE[%d]", static_cast<int>(i));
        WCHAR value[256] = {};
        const DWORD chars = GetPrivateProfileStringW(u"LBRKV580R", key, nullptr, value, 255, path);
        if (chars > 0) {
            info.byteValue[i] = static_cast<BYTE>(ProfileNumber(value) & 0xFF);
            DebugLog("OEMEnablePDEV : m_UIInfo->byteValue[%d] = %d", static_cast<int>(i),
                     info.byteValue[i]);
        } else {
            DebugLog("OEMEnablePDEV : PREFERENCE[%d], GetPrivateProfileString failed with %d",
                     static_cast<int>(i), static_cast<int>(GetLastError()));
        }
    }
    info.dwStartDoc = 0;
    info.dwStartPage = 0;
    info.dwEndPage = 0;
    info.dwEndDoc = 0;
}

}  // namespace

void SetDefaultSettings(BYTE (&byteValue)[kSettingBytes]) {
    std::memset(byteValue, 0, sizeof(byteValue));
    for (int index : {2, 4, 7, 9, 11, 13}) {
        byteValue[index] = 25;
    }
    byteValue[5] = 1;
    byteValue[19] = 1;
    byteValue[20] = 1;
    byteValue[35] = 10;
    byteValue[36] = 1;
}

void LoadMiscSettings(HANDLE hPrinter, UIInfo& info) {
    DWORD size = 0;
    if (ReadProperty(hPrinter, u"MISC", info.byteValue, kSettingBytes, size) != ERROR_SUCCESS) {
        DebugLog("OEMEnablePDEV : failed to get data from the windows registry. (MISC)");
        SetDefaultSettings(info.byteValue);
        ReadConfigurationFile(info);
    }
}

void LoadBarcodeSettings(HANDLE hPrinter, UIInfo& info) {
    DWORD size = 0;
    if (ReadProperty(hPrinter, u"BarcodeInfo", info.BarcodeInfo, kBarcodeInfoBytes, size) !=
        ERROR_SUCCESS) {
        DebugLog("OEMEnablePDEV : failed to get data from the windows registry. (BarcodeInfo)");
        for (DWORD i = 0; i < kBarcodeRecords; ++i) {
            BYTE* record = info.BarcodeInfo + i * kBarcodeRecordBytes;
            record[0] = static_cast<BYTE>(i);
            record[1] = 3;
            record[2] = 50;
            record[3] = 0;
            record[4] = 0;
        }
    }
    if (ReadProperty(hPrinter, u"CodeData", info.CodeData, kCodeDataBytes, size) != ERROR_SUCCESS) {
        DebugLog("OEMEnablePDEV : failed to get data from the windows registry. (CodeData)");
        static constexpr BYTE kCodeDataDefault[kCodeDataRecordBytes - 1] = {
            0x00, 0x03, 0x00, 0x03, 0x00, 0x00, 0x01, 0x03, 0x00, 0x34,
            0x03, 0x32, 0x02, 0x02, 0x20, 0x02, 0x02, 0x31, 0x00};
        static constexpr BYTE kFirstBytes[kCodeDataRecords] = {0, 1, 2, 3, 4, 0, 1, 2};
        for (DWORD i = 0; i < kCodeDataRecords; ++i) {
            BYTE* record = info.CodeData + i * kCodeDataRecordBytes;
            record[0] = kFirstBytes[i];
            std::memcpy(record + 1, kCodeDataDefault, sizeof(kCodeDataDefault));
        }
    }
}

void LoadCommandSettings(HANDLE hPrinter, UIInfo& info) {
    struct Command {
        const WCHAR* name;
        const char* logName;
        BYTE* bytes;
        DWORD* length;
    };
    const Command commands[] = {
        {u"StartDoc", "StartDoc", info.byStartDocCmd, &info.dwStartDoc},
        {u"StartPage", "StartPage", info.byStartPageCmd, &info.dwStartPage},
        {u"EndPage", "EndPage", info.byEndPageCmd, &info.dwEndPage},
        {u"EndDoc", "EndDoc", info.byEndDocCmd, &info.dwEndDoc},
    };
    for (const Command& command : commands) {
        DWORD size = 0;
        if (ReadProperty(hPrinter, command.name, command.bytes, kMaxCommandBytes, size) !=
                ERROR_SUCCESS ||
            size > kMaxCommandBytes) {
            // A value too large is ignored whole, not cut.
            std::memset(command.bytes, 0, kMaxCommandBytes);
            *command.length = 0;
            DebugLog("OEMEnablePDEV : failed to get data from the windows registry. (%s)",
                     command.logName);
        } else {
            *command.length = size;
        }
    }
}
