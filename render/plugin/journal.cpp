// The job's journal file, its extra copies, the preview copy and the preview start, and the
// informational report of the job's DEVMODE and printer.
#include "journal.h"

#include <cstring>

#include "debug_log.h"
#include "win32/clock.h"
#include "win32/files.h"
#include "win32/heap.h"
#include "win32/paths.h"
#include "win32/shellapi.h"
#include "win32/strings.h"
#include "win32/winspool.h"

namespace {

constexpr DWORD kJournalPathChars = 512;

// "C:\Windows\LBR-KV580\" into `folder`; FALSE when the Windows directory cannot be read.
BOOL ProgramFolder(WCHAR* folder, size_t cch) {
    WCHAR windows[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return FALSE;
    }
    return SUCCEEDED(StringCchPrintfW(folder, cch, u"%s\\LBR-KV580\\", windows));
}

}  // namespace

BOOL GetFileHandle(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    DebugLog("GetFileHandle : START");
    DebugLog("GetFileHandle : pUIInfo->byteValue[19] : %x", pOemPDEV->UIInfo.byteValue[19]);
    DebugLog("GetFileHandle : pUIInfo->byteValue[29] : %x", pOemPDEV->UIInfo.byteValue[29]);
    DebugLog("GetFileHandle : pUIInfo->byteValue[30] : %x", pOemPDEV->UIInfo.byteValue[30]);

    WCHAR folder[MAX_PATH] = {};
    WCHAR path[kJournalPathChars] = {};
    SYSTEMTIME st = {};
    GetLocalTime(&st);
    HANDLE hFile = INVALID_HANDLE_VALUE;
    if (ProgramFolder(folder, MAX_PATH) &&
        SUCCEEDED(StringCchPrintfW(path, kJournalPathChars, u"%s%02u%02u%02u_%02u%02u%02u.jnl",
                                   folder, st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                                   st.wSecond))) {
        hFile = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    StringCchCopyW(pOemCP->m_szJournalPath, kJournalPathChars, path);
    if (hFile == INVALID_HANDLE_VALUE) {
        DebugLog("GetFileHandle : CreateFile failed.");
        pOemCP->m_hFileHandle = nullptr;
        return FALSE;
    }
    const DWORD dwEnd = SetFilePointer(hFile, 0, nullptr, FILE_END);
    pOemCP->m_dwJournalJobStart = dwEnd == INVALID_SET_FILE_POINTER ? 0 : dwEnd;
    pOemCP->m_hFileHandle = hFile;
    DebugLog("GetFileHandle : END");
    return TRUE;
}

BOOL SendMultipleCopies(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    const UIInfo& ui = pOemPDEV->UIInfo;
    DebugLog("SendMultipleCopies : START");
    DebugLog("SendMultipleCopies : pUIInfo->byteValue[19] : %d", ui.byteValue[19]);
    DebugLog("SendMultipleCopies : pDevObj->pPublicDM->dmCopies : %d",
             pdevobj->pPublicDM != nullptr ? pdevobj->pPublicDM->dmCopies : 0);
    if (pOemCP->m_hFileHandle == nullptr) {
        DebugLog("SendMultipleCopies : m_hFileHandle is NULL.");
        return FALSE;
    }
    if (pdevobj->pPublicDM == nullptr) {
        DebugLog("SendMultipleCopies : pDevObj->pPublicDM is NULL.");
        return FALSE;
    }
    const int nCopies =
        pdevobj->pPublicDM->dmCopies > 1 ? pdevobj->pPublicDM->dmCopies : ui.byteValue[19];
    PBYTE pSendbuf = nullptr;
    if (nCopies > 1) {
        DebugLog("SendMultipleCopies : nCopies : %d", nCopies);
        DWORD dwPointerLow = SetFilePointer(pOemCP->m_hFileHandle, 0, nullptr, FILE_END);
        if (dwPointerLow == INVALID_SET_FILE_POINTER || dwPointerLow == INVALID_FILE_SIZE) {
            DebugLog("SendMultipleCopies : INVALID_FILE_SIZE || INVALID_SET_FILE_POINTER");
            return FALSE;
        }
        DebugLog("SendMultipleCopies : FILE SIZE  = dwPointerLow : %d", dwPointerLow);
        // Only this job is copied: a journal kept from an earlier job of the same second holds
        // that job's bytes in front of it.
        const DWORD dwJobStart =
            pOemCP->m_dwJournalJobStart <= dwPointerLow ? pOemCP->m_dwJournalJobStart : 0;
        const DWORD dwJobSize = dwPointerLow - dwJobStart;
        pSendbuf = static_cast<PBYTE>(LocalAlloc(LPTR, dwJobSize ? dwJobSize : 1));
        if (pSendbuf == nullptr) {
            DebugLog("SendMultipleCopies : pSendbuf is NULL.");
            return FALSE;
        }
        DWORD dwRead = 0;
        SetFilePointer(pOemCP->m_hFileHandle, static_cast<LONG>(dwJobStart), nullptr, FILE_BEGIN);
        if (!ReadFile(pOemCP->m_hFileHandle, pSendbuf, dwJobSize, &dwRead, nullptr)) {
            DebugLog("SendMultipleCopies : ReadFile failed with (%d)", GetLastError());
            LocalFree(pSendbuf);
            return FALSE;
        }
        DebugLog("SendMultipleCopies : READ SIZE = dwPointerLow : %d", dwRead);
        SetFilePointer(pOemCP->m_hFileHandle, 0, nullptr, FILE_END);
        for (int copy = 1; copy < nCopies; ++copy) {
            DWORD dwWritten = 0;
            WriteFile(pOemCP->m_hFileHandle, pSendbuf, dwRead, &dwWritten, nullptr);
        }
    }
    CloseHandle(pOemCP->m_hFileHandle);
    pOemCP->m_hFileHandle = nullptr;
    if (ui.byteValue[29] != 0) {
        WCHAR folder[MAX_PATH] = {};
        WCHAR preview[MAX_PATH] = {};
        if (!ProgramFolder(folder, MAX_PATH) ||
            FAILED(StringCchPrintfW(preview, MAX_PATH, u"%sOVXPreview.prn", folder)) ||
            !CopyFileW(pOemCP->m_szJournalPath, preview, FALSE)) {
            DebugLog("SendMultipleCopies : CopyFile failed. (%d)", GetLastError());
        }
    }
    if (ui.byteValue[30] == 0) {
        DeleteFileW(pOemCP->m_szJournalPath);
    }
    if (pSendbuf != nullptr) {
        LocalFree(pSendbuf);
    }
    DebugLog("SendMultipleCopies : END");
    return TRUE;
}

BOOL StartPreviewApplication(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    (void)pOemCP;
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    if (pOemPDEV == nullptr || pOemPDEV->UIInfo.byteValue[29] == 0) {
        return FALSE;
    }
    WCHAR folder[MAX_PATH] = {};
    ProgramFolder(folder, MAX_PATH);
    HINSTANCE hInst = ShellExecuteW(nullptr, u"open", u"OVXPreview.exe", pOemPDEV->wszPrinterName,
                                    folder, SW_SHOWNORMAL);
    const auto result = static_cast<INT_PTR>(reinterpret_cast<ULONG_PTR>(hInst));
    if (result > 32) {
        DebugLog("CommandCallback : OVX_ENDDOC / ShellExecute succeeded. (%d)",
                 static_cast<int>(result));
        return TRUE;
    }
    DebugLog("CommandCallback : OVX_ENDDOC / ShellExecute failed. (ErrCode : %d), (%d)",
             static_cast<int>(result), GetLastError());
    return FALSE;
}

void PrintDevModeInformation(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    (void)pOemCP;
    DebugLog("PrintDevModeInformation : START");
    if (const DEVMODEW* dm = pdevobj->pPublicDM; dm != nullptr) {
        DebugLog("PrintDevModeInformation : pPublicDM->dmFormName = %ws", dm->dmFormName);
        DebugLogW(u"PrintDevModeInformation : pPublicDM->dmFormName = %s", dm->dmFormName);
        struct Field {
            const char* name;
            int value;
        } const fields[] = {
            {"dmPaperWidth", dm->dmPaperWidth},
            {"dmPaperLength", dm->dmPaperLength},
            {"dmOrientation", dm->dmOrientation},
            {"dmScale", dm->dmScale},
            {"dmCopies", dm->dmCopies},
            {"dmDefaultSource", dm->dmDefaultSource},
            {"dmPrintQuality", dm->dmPrintQuality},
            {"dmColor", dm->dmColor},
            {"dmDuplex", dm->dmDuplex},
            {"dmYResolution", dm->dmYResolution},
            {"dmTTOption", dm->dmTTOption},
            {"dmCollate", dm->dmCollate},
            {"dmLogPixels", dm->dmLogPixels},
            {"dmBitsPerPel", static_cast<int>(dm->dmBitsPerPel)},
            {"dmPelsWidth", static_cast<int>(dm->dmPelsWidth)},
            {"dmPelsHeight", static_cast<int>(dm->dmPelsHeight)},
        };
        for (const Field& f : fields) {
            const char* object =
                std::strcmp(f.name, "dmPaperLength") == 0 ? "pDevmode" : "pPublicDM";
            DebugLog("PrintDevModeInformation : %s->%s = %d", object, f.name, f.value);
            DebugLogW(u"PrintDevModeInformation : %s->%s = %d",
                      platform::Utf8ToUtf16(object).c_str(), platform::Utf8ToUtf16(f.name).c_str(),
                      f.value);
        }
    }
    DWORD cbNeeded = 0;
    GetPrinterW(pdevobj->hPrinter, 2, nullptr, 0, &cbNeeded);
    if (cbNeeded != 0) {
        auto* info = static_cast<PRINTER_INFO_2W*>(LocalAlloc(LPTR, cbNeeded));
        if (info != nullptr && GetPrinterW(pdevobj->hPrinter, 2, reinterpret_cast<LPBYTE>(info),
                                           cbNeeded, &cbNeeded)) {
            auto text = [](LPCWSTR s) { return s != nullptr ? s : u""; };
            const struct {
                const char* name;
                LPCWSTR value;
            } strings[] = {{"pServerName", text(info->pServerName)},
                           {"pPrinterName", text(info->pPrinterName)},
                           {"pShareName", text(info->pShareName)},
                           {"pPortName", text(info->pPortName)},
                           {"pDriverName", text(info->pDriverName)},
                           {"pLocation", text(info->pLocation)},
                           {"pSepFile", text(info->pSepFile)},
                           {"pPrintProcessor", text(info->pPrintProcessor)},
                           {"pDatatype", text(info->pDatatype)},
                           {"pParameters", text(info->pParameters)}};
            for (const auto& s : strings) {
                DebugLog("PrintDevModeInformation : pPrinterInfo2->%s = %ws", s.name, s.value);
                std::u16string wname = platform::Utf8ToUtf16(s.name);
                DebugLogW(u"PrintDevModeInformation : pPrinterInfo2->%s = %s", wname.c_str(),
                          s.value);
            }
            const struct {
                const char* name;
                DWORD value;
            } numbers[] = {{"Attributes", info->Attributes},
                           {"Priority", info->Priority},
                           {"DefaultPriority", info->DefaultPriority},
                           {"StartTime", info->StartTime},
                           {"UntilTime", info->UntilTime},
                           {"Status", info->Status},
                           {"cJobs", info->cJobs},
                           {"AveragePPM", info->AveragePPM}};
            for (const auto& n : numbers) {
                DebugLog("PrintDevModeInformation : pPrinterInfo2->%s = %d", n.name, n.value);
                std::u16string wname = platform::Utf8ToUtf16(n.name);
                DebugLogW(u"PrintDevModeInformation : pPrinterInfo2->%s = %d", wname.c_str(),
                          n.value);
            }
        }
        if (info != nullptr) {
            LocalFree(info);
        }
    }
    DebugLog("PrintDevModeInformation : END");
}
