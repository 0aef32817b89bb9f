// The job command flow: the four command callbacks, the page output buffer and its way to the
// spooler and the journal.
#include "job_flow.h"

#include <cstring>

#include "control_commands.h"
#include "debug_log.h"
#include "journal.h"
#include "module_state.h"
#include "page/band_capture.h"
#include "page/page_preparation.h"
#include "text/coupons.h"
#include "win32/files.h"
#include "win32/heap.h"

namespace {

// The name the log gives a callback id.
const char* CallbackName(DWORD dwCallbackID) {
    switch (dwCallbackID) {
        case OVX_STARTDOC:
            return "OVX_STARTDOC";
        case OVX_STARTPAGE:
            return "OVX_STARTPAGE";
        case OVX_ENDPAGE:
            return "OVX_ENDPAGE";
        case OVX_ENDDOC:
            return "OVX_ENDDOC";
        default:
            return nullptr;
    }
}

// Start of the job: journal, start-of-job block.
void OnStartDoc(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, POEMPDEV pOemPDEV) {
    PrintDevModeInformation(pOemCP, pdevobj);
    for (DWORD i = 0; i < kSettingBytes; ++i) {
        DebugLog("CommandCallback : pUIInfo->byteValue[%d] : 0x%02x", i,
                 pOemPDEV->UIInfo.byteValue[i]);
    }
    DebugLog("CommandCallback : OVX_STARTDOC / m_dwTotalBufSize = %d (0)",
             pOemCP->m_dwTotalBufSize);
    DebugLog("CommandCallback : OVX_STARTDOC / m_hFileHandle = %x",
             static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(pOemCP->m_hFileHandle)));
    pOemPDEV->bNoCutNoFeeds = FALSE;
    pOemPDEV->bNoCutNoFeeds2 = FALSE;
    if (pOemCP->m_hFileHandle == nullptr) {
        GetFileHandle(pOemCP, pdevobj);
    }
    SendStartDocCmd(pOemCP, pdevobj);
    DebugLog("CommandCallback : OVX_STARTDOC / m_dwTotalBufSize = %d (1)",
             pOemCP->m_dwTotalBufSize);
}

// End of a page: page counter, conversion, end-of-page block and cut, one write.
void OnEndPage(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, POEMPDEV pOemPDEV) {
    SetPrintPageNumber(pOemCP, pdevobj);
    if (AddImageDataPerEachPage(pOemCP, pdevobj) == S_OK) {
        AddEndPageCmd(pOemCP, pdevobj);
        AddCutCommand(pOemCP, pdevobj, OVX_ENDPAGE);
        if (pOemPDEV->bNoCutNoFeeds || pOemPDEV->bNoCutNoFeeds2) {
            SendOpenCashDrawerCmd(pOemCP, pdevobj);
        } else {
            SendPrintDataToPrinter(pOemCP, pdevobj);
        }
    } else {
        DebugLog("CommandCallback : OVX_ENDPAGE / AddImageDataPerEachPage is not S_OK");
        if (pOemPDEV->bNoCutNoFeeds || pOemPDEV->bNoCutNoFeeds2) {
            SendOpenCashDrawerCmd(pOemCP, pdevobj);
        }
    }
    InitPrintCommandsBuffer(pOemCP);
}

// End of the job: coupons, end-of-job block, job-end cut, copies, journal, preview.
void OnEndDoc(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, POEMPDEV pOemPDEV) {
    SendCouponImageData(pOemCP, pdevobj);
    SendEndDocCmd(pOemCP, pdevobj);
    SendCutCommand(pOemCP, pdevobj, OVX_ENDDOC);
    SendMultipleCopies(pOemCP, pdevobj);
    if (pOemCP->m_hFileHandle != nullptr) {
        CloseHandle(pOemCP->m_hFileHandle);
        pOemCP->m_hFileHandle = nullptr;
    }
    if (pOemPDEV->UIInfo.byteValue[29] != 0) {
        StartPreviewApplication(pOemCP, pdevobj);
    }
    g_dwCurrentJobId = 0;
}

}  // namespace

HRESULT OEMCommandCallback(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, DWORD dwCallbackID) {
    DebugLog("CommandCallback : START, CallBack ID = %d", dwCallbackID);
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    const char* name = CallbackName(dwCallbackID);
    if (name != nullptr && pOemPDEV != nullptr) {
        DebugLog("CommandCallback : %s, START", name);
        switch (dwCallbackID) {
            case OVX_STARTDOC:
                OnStartDoc(pOemCP, pdevobj, pOemPDEV);
                break;
            case OVX_STARTPAGE:
                AddStartPageCmd(pOemCP, pdevobj);
                break;
            case OVX_ENDPAGE:
                OnEndPage(pOemCP, pdevobj, pOemPDEV);
                break;
            case OVX_ENDDOC:
                OnEndDoc(pOemCP, pdevobj, pOemPDEV);
                break;
        }
        DebugLog("CommandCallback : %s, END", name);
    }
    DebugLog("CommandCallback : END, CallBack ID = %d", dwCallbackID);
    return S_OK;
}

BOOL AddPrintDataTobeSent(CRenderPlugin* pOemCP, const BYTE* pBuffer, DWORD dwLength) {
    if (pBuffer == nullptr) {
        DebugLog("AddPrintDataTobeSent : pBuffer is NULL.");
        return FALSE;
    }
    const DWORD dwOldBufferSize = pOemCP->m_dwTotalBufSize;
    const DWORD dwNewBufferSize = dwOldBufferSize + dwLength;
    DebugLog("AddPrintDataTobeSent : dwOldBufferSize : %d", dwOldBufferSize);
    DebugLog("AddPrintDataTobeSent : dwNewBufferSize : %d", dwNewBufferSize);
    if (dwNewBufferSize < dwOldBufferSize) {  // would wrap past 4 GiB
        DebugLog("AddPrintDataTobeSent : LocalAlloc failed (%d)", ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    auto* pNew = static_cast<PBYTE>(LocalAlloc(LPTR, dwNewBufferSize));
    if (pNew == nullptr) {
        DebugLog("AddPrintDataTobeSent : LocalAlloc failed (%d)", GetLastError());
        return FALSE;
    }
    if (pOemCP->m_pPrintBuf != nullptr) {
        std::memcpy(pNew, pOemCP->m_pPrintBuf, dwOldBufferSize);
        LocalFree(pOemCP->m_pPrintBuf);
    }
    if (dwLength > 0) {
        std::memcpy(pNew + dwOldBufferSize, pBuffer, dwLength);
    }
    pOemCP->m_pPrintBuf = pNew;
    pOemCP->m_dwTotalBufSize = dwNewBufferSize;
    DebugLog("AddPrintDataTobeSent : m_dwTotalBufSize : %d", pOemCP->m_dwTotalBufSize);
    return TRUE;
}

BOOL SendPrintDataToPrinter(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    if (pOemCP->m_pPrintBuf == nullptr || pOemCP->m_dwTotalBufSize == 0) {
        return TRUE;
    }
    BOOL bResult = TRUE;
    DWORD dwWritten = 0;
    DWORD dwRestBufSize = pOemCP->m_dwTotalBufSize;
    DWORD dwResult = 0;
    int noProgress = 0;
    if (pOemCP->m_pDriverServices != nullptr) {
        while (dwRestBufSize > 0) {
            const DWORD dwChunk =
                dwRestBufSize < kSpoolChunkBytes ? dwRestBufSize : kSpoolChunkBytes;
            dwResult = 0;
            HRESULT hr = pOemCP->m_pDriverServices->DrvWriteSpoolBuf(
                pdevobj, pOemCP->m_pPrintBuf + dwWritten, dwChunk, &dwResult);
            if (hr != S_OK) {
                break;
            }
            if (dwResult > dwChunk) {  // a host that claims more than it was offered
                dwResult = dwChunk;
            }
            if (dwResult == 0 && ++noProgress >= kSpoolNoProgressRetries) {
                break;
            }
            if (dwResult != 0) {
                noProgress = 0;
            }
            dwWritten += dwResult;
            dwRestBufSize -= dwResult;
        }
    }
    if (dwWritten != pOemCP->m_dwTotalBufSize) {
        DebugLog("SendPrintDataToPrinter : DrvWriteSpoolBuf failed.");
        DebugLog("SendPrintDataToPrinter : m_dwTotalBufSize = %d", pOemCP->m_dwTotalBufSize);
        DebugLog("SendPrintDataToPrinter : dwWritten = %d", dwWritten);
        bResult = FALSE;
    }
    DebugLog("SendPrintDataToPrinter : m_dwTotalBufSize : %d", pOemCP->m_dwTotalBufSize);
    DebugLog("SendPrintDataToPrinter : dwWritten : %d", dwWritten);
    DebugLog("SendPrintDataToPrinter : dwRestBufSize : %d", dwRestBufSize);
    DebugLog("SendPrintDataToPrinter : dwResult : %d", dwResult);
    if (pOemCP->m_hFileHandle != nullptr) {
        WritePrintDataToFile(pOemCP, pOemCP->m_pPrintBuf, pOemCP->m_dwTotalBufSize);
    }
    return bResult;
}

BOOL WritePrintDataToFile(CRenderPlugin* pOemCP, const BYTE* pBuffer, DWORD dwLength) {
    DebugLog("WritePrintDataToFile : dwNumberOfBytes : %d", dwLength);
    if (pOemCP->m_hFileHandle == nullptr || pBuffer == nullptr) {
        return FALSE;
    }
    DWORD dwWritten = 0;
    BOOL ok = WriteFile(pOemCP->m_hFileHandle, pBuffer, dwLength, &dwWritten, nullptr);
    DebugLog("WritePrintDataToFile : dwWritten : %d", dwWritten);
    return ok && dwWritten == dwLength;
}

BOOL WriteDirect(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, const BYTE* pBuffer, DWORD dwLength,
                 DWORD* pdwWritten, BOOL bJournal) {
    DWORD dwResult = 0;
    if (pOemCP->m_pDriverServices != nullptr) {
        if (pOemCP->m_pDriverServices->DrvWriteSpoolBuf(pdevobj, const_cast<BYTE*>(pBuffer),
                                                        dwLength, &dwResult) != S_OK) {
            dwResult = 0;
        }
    }
    if (pdwWritten != nullptr) {
        *pdwWritten = dwResult;
    }
    if (bJournal && pOemCP->m_hFileHandle != nullptr) {
        WritePrintDataToFile(pOemCP, pBuffer, dwLength);
    }
    return dwResult == dwLength;
}

void ResetPageState(POEMPDEV pOemPDEV) {
    std::memset(&pOemPDEV->bmInfoHeader, 0, sizeof pOemPDEV->bmInfoHeader);
    std::memset(&pOemPDEV->bmFileHeader, 0, sizeof pOemPDEV->bmFileHeader);
    pOemPDEV->bBlankBand = 0;
    pOemPDEV->dwBlankHeight = 0;
    pOemPDEV->dwBlankSize = 0;
    pOemPDEV->dwLastTxt_PosY = 0;
    pOemPDEV->dwLastTxt_Height = 0;
    pOemPDEV->dwBottomTxtCoordinate = 0;
    DWORD dwColorTableSize = 0;
    FreeBuffer(&pOemPDEV->pColorTable, &dwColorTableSize);
    FreeBuffer(&pOemPDEV->pBufStart, &pOemPDEV->dwBufSize);
    FreeBuffer(&pOemPDEV->pTxtBufStart, &pOemPDEV->dwTxtBufSize);
    FreeBuffer(&pOemPDEV->pDevTxtBufStart, &pOemPDEV->dwDevTxtBufSize);
    FreeBuffer(&pOemPDEV->pImgRectBufStart, &pOemPDEV->dwImgRectBufSize);
}

HRESULT AddImageDataPerEachPage(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    const DWORD dwBufSize = pOemCP->m_dwTotalBufSize;
    DebugLog("AddImageDataPerEachPage : dwBufSize = %d", dwBufSize);
    HRESULT hResult = S_OK;
    if (pOemPDEV->pBufStart != nullptr) {
        CreateImageData(pOemCP, pdevobj);
        if (pOemCP->m_dwTotalBufSize == dwBufSize) {
            DebugLog("AddImageDataPerEachPage : hResult == E_FAIL");
            DebugLog("AddImageDataPerEachPage : dwBufSize = %d", dwBufSize);
            DebugLog("AddImageDataPerEachPage : m_dwTotalBufSize = %d", pOemCP->m_dwTotalBufSize);
            hResult = E_FAIL;
        }
    } else {
        DebugLog("AddImageDataPerEachPage : hResult == E_FAIL");
        DebugLog("AddImageDataPerEachPage : pOemPDEV->pBufStart is NULL");
        hResult = E_FAIL;
    }
    ResetPageState(pOemPDEV);
    DebugLog("AddImageDataPerEachPage : hResult = 0x%x", static_cast<unsigned>(hResult));
    return hResult;
}

void InitPrintCommandsBuffer(CRenderPlugin* pOemCP) {
    DebugLog("InitPrintCommandsBuffer : START");
    if (pOemCP->m_pPrintBuf != nullptr) {
        LocalFree(pOemCP->m_pPrintBuf);
    }
    pOemCP->m_pPrintBuf = nullptr;
    pOemCP->m_dwTotalBufSize = 0;
    DebugLog("InitPrintCommandsBuffer : END");
}
