// Recording stand-ins for the plug-in functions the text-key sources call.
#include "fakes.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "debug_log.h"
#include "job_flow.h"
#include "text/barcodes.h"
#include "text/device_fonts.h"
#include "text/text_records.h"
#include "win32/heap.h"

namespace textkeys_test {

Recorder& Recorded() {
    static Recorder recorder;
    return recorder;
}

bool Recorder::Logged(const std::string& line) const {
    for (const std::string& l : log) {
        if (l == line) return true;
    }
    return false;
}

}  // namespace textkeys_test

using textkeys_test::Recorded;

BOOL g_bDebugLog = TRUE;

void DebugLog(const char* format, ...) {
    char line[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Recorded().log.emplace_back(line);
}

void DebugLogW(const WCHAR*, ...) {}

DWORD GetFontHeight(FONTOBJ*) {
    return 24;
}

BOOL AddFontDataToBuf(SURFOBJ*, STROBJ*, FONTOBJ*, BYTE byFontType, DWORD dwHeight,
                      const BYTE* pFieldA, DWORD dwFieldA, const BYTE* pFieldB, DWORD dwFieldB) {
    if (Recorded().failRecords) return FALSE;
    textkeys_test::Record r;
    r.type = byFontType;
    r.height = dwHeight;
    if (dwFieldA) r.fieldA.assign(reinterpret_cast<const char*>(pFieldA), dwFieldA);
    if (dwFieldB) r.fieldB.assign(reinterpret_cast<const char*>(pFieldB), dwFieldB);
    Recorded().records.push_back(r);
    return TRUE;
}

DWORD GetDevFontCommand(PBYTE* ppbyCommand, const char*, char* szAnsiText, DWORD* pdwAnsiTextLength,
                        LONG, FONTOBJ*) {
    const std::string& cmd = textkeys_test::kFakeCommand;
    *ppbyCommand = static_cast<PBYTE>(LocalAlloc(LPTR, 256));
    std::memcpy(*ppbyCommand, cmd.data(), cmd.size());
    std::memcpy(szAnsiText + *pdwAnsiTextLength, textkeys_test::kFakeFeed.data(), 3);
    *pdwAnsiTextLength += 3;
    return static_cast<DWORD>(cmd.size());
}

// The kinds of the fixed 2D types; user types take the kind from "CodeData".
BOOL Get1d2dCodeSetting(POEMPDEV pOemPDEV, const char*, DWORD dwBarType, PBYTE,
                        PBYTE pby2dCodeInfo) {
    if (pby2dCodeInfo == nullptr) return TRUE;
    switch (dwBarType) {
        case 130:
            pby2dCodeInfo[0] = 0;
            break;
        case 131:
            pby2dCodeInfo[0] = 1;
            break;
        case 132:
            pby2dCodeInfo[0] = 2;
            break;
        case 133:
        case 134:
        case 135:
        case 136:
            pby2dCodeInfo[0] = 5;
            break;
        case 152:
            if (pOemPDEV) std::memcpy(pby2dCodeInfo, pOemPDEV->UIInfo.CodeData, 20);
            break;
        default:
            break;
    }
    return TRUE;
}

BOOL WriteDirect(CRenderPlugin*, PDEVOBJ, const BYTE* pBuffer, DWORD dwLength, DWORD* pdwWritten,
                 BOOL) {
    Recorded().directWrites.emplace_back(reinterpret_cast<const char*>(pBuffer), dwLength);
    const DWORD taken = dwLength < Recorded().spoolLimit ? dwLength : Recorded().spoolLimit;
    if (pdwWritten) *pdwWritten = taken;
    return taken == dwLength;
}
