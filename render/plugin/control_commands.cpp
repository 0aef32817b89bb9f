// The job and page command blocks, one small builder per printer command.
#include "control_commands.h"

#include <cstring>
#include <vector>

#include "debug_log.h"
#include "job_flow.h"
#include "win32/heap.h"
#include "win32/registry.h"
#include "win32/winspool.h"

namespace {

// Bytes of a block being built in a fixed-size heap area.
class CommandBlock {
public:
    CommandBlock(BYTE* area, DWORD capacity) : m_area(area), m_capacity(capacity) {}

    void Put(std::initializer_list<BYTE> bytes) {
        Put(std::data(bytes), static_cast<DWORD>(bytes.size()));
    }
    void Put(const BYTE* bytes, DWORD length) {
        if (length > m_capacity - m_length) {  // the areas are sized for every piece
            length = m_capacity - m_length;
        }
        std::memcpy(m_area + m_length, bytes, length);
        m_length += length;
    }
    BYTE* data() const { return m_area; }
    DWORD size() const { return m_length; }

private:
    BYTE* m_area;
    DWORD m_capacity;
    DWORD m_length = 0;
};

// 1B 40 1B 3D 01: initialise the printer and select it.
void PutReset(CommandBlock& b) {
    b.Put({0x1B, 0x40, 0x1B, 0x3D, 0x01});
}

// 1B 70 m t FF: drawer pulse, m 0 = drawer 1, 1 = drawer 2; t on-time in 2 ms units.
void PutDrawerPulse(CommandBlock& b, BYTE drawer, BYTE onTime) {
    b.Put({0x1B, 0x70, drawer, onTime, 0xFF});
}

// 1B 42 00 t: beep of t units.
void PutBeep(CommandBlock& b, BYTE duration) {
    b.Put({0x1B, 0x42, 0x00, duration});
}

// 1B 4A 00: feed by 0 dots, closes every user command string.
void PutStringEnd(CommandBlock& b) {
    b.Put({0x1B, 0x4A, 0x00});
}

// Print stored NV image n (1..10): "GS ( L" with key code 30 (n + 2F), or "FS p" n.
void PutNvImage(CommandBlock& b, const UIInfo& ui, BYTE n) {
    if (ui.byteValue[20] != 0) {
        b.Put({0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x45, 0x30, static_cast<BYTE>(n + 0x2F), 0x01,
               0x01});
    } else {
        b.Put({0x1C, 0x70, n, 0x00});
    }
}

constexpr BYTE kCutSequence[] = {0x00, 0x1B, 0x33, 0x00, 0x00, 0x0A,
                                 0x1D, 0x56, 0x42, 0x00, 0x1B, 0x32};
constexpr BYTE kNoCutSequence[] = {0x00, 0x1B, 0x33, 0x00, 0x00, 0x0A,
                                   0x1B, 0x4A, 0x00, 0x1B, 0x32, 0x0C};
static_assert(sizeof kCutSequence == 12 && sizeof kNoCutSequence == 12);

// 00 08 lo hi: the page marker with the page counter after the page.
void PutPageMarker(CommandBlock& b, WORD page) {
    b.Put({0x00, 0x08, LOBYTE(page), HIBYTE(page)});
}

// Start- and end-of-page blocks share their shape: the string, then string end + NV image.
BOOL AddPageBlock(CRenderPlugin* pOemCP, const UIInfo& ui, const char* name, const BYTE* pCmd,
                  DWORD dwCmd, BYTE nvImage) {
    auto* pbyCmd = static_cast<BYTE*>(LocalAlloc(LPTR, dwCmd + 32));
    if (pbyCmd == nullptr) {
        DebugLog("%s : Failed to allocate the buffer. (pbyCmd)", name);
        return FALSE;
    }
    CommandBlock block(pbyCmd, dwCmd + 32);
    if (dwCmd != 0) {
        block.Put(pCmd, dwCmd);
        PutStringEnd(block);
    }
    if (nvImage != 0) {
        PutStringEnd(block);
        PutNvImage(block, ui, nvImage);
    }
    DebugLog("%s : dwCmdLength : %d", name, block.size());
    BOOL ok = TRUE;
    if (block.size() != 0) {
        ok = AddPrintDataTobeSent(pOemCP, block.data(), block.size());
    }
    LocalFree(pbyCmd);
    return ok;
}

// The cut or feed sequence for a cut mode and a point; empty when nothing is written.
// `name` is the function that logs the choice.
void PutCutSequence(CommandBlock& b, const char* name, BYTE mode, DWORD dwPoint, WORD page) {
    const bool pageEnd = dwPoint == OVX_ENDPAGE;
    if (!pageEnd && dwPoint != OVX_ENDDOC) {
        return;
    }
    const char* point = pageEnd ? "OVX_ENDPAGE" : "OVX_ENDDOC";
    switch (mode) {
        case 0:
            DebugLog("%s : 0x00, %s", name, point);
            b.Put(kNoCutSequence, sizeof kNoCutSequence);
            break;
        case 1:
            DebugLog("%s : 0x01, %s", name, point);
            b.Put(pageEnd ? kNoCutSequence : kCutSequence, sizeof kCutSequence);
            break;
        case 2:
            DebugLog("%s : 0x02", name);
            if (pageEnd) {
                DebugLog("%s : 0x02, OVX_ENDPAGE", name);
            }
            b.Put(kCutSequence, sizeof kCutSequence);
            break;
        default:
            return;
    }
    if (pageEnd) {
        PutPageMarker(b, page);
    }
}

// Logs the cut settings; TRUE when the drawer-only flags forbid any cut or feed.
bool NoCutNoFeeds(const char* name, POEMPDEV pOemPDEV) {
    DebugLog("%s : CUT : %x", name, pOemPDEV->UIInfo.byteValue[5]);
    DebugLog("%s : pOemPDEV->bNoCutNoFeeds : %x", name, pOemPDEV->bNoCutNoFeeds);
    DebugLog("%s : pOemPDEV->bNoCutNoFeeds2 : %x", name, pOemPDEV->bNoCutNoFeeds2);
    if (pOemPDEV->bNoCutNoFeeds || pOemPDEV->bNoCutNoFeeds2) {
        DebugLog("%s : NO CUT & NO FEEDS.", name);
        return true;
    }
    return false;
}

// The cut or feed sequence that `name` (AddCutCommand or SendCutCommand) writes at a point,
// in a fresh block of the plain heap (*ppbyCmd, released by the caller with MemFree).
// *pdwLength is 0 when nothing is to be written; FALSE when the block cannot be allocated.
BOOL BuildCutSequence(const char* name, POEMPDEV pOemPDEV, DWORD dwPoint, BYTE** ppbyCmd,
                      DWORD* pdwLength) {
    *ppbyCmd = nullptr;
    *pdwLength = 0;
    if (NoCutNoFeeds(name, pOemPDEV)) {
        return TRUE;
    }
    auto* pbyCmd = static_cast<BYTE*>(MemAlloc(16));
    if (pbyCmd == nullptr) {
        DebugLog("%s : malloc failed.", name);
        return FALSE;
    }
    CommandBlock block(pbyCmd, 16);
    PutCutSequence(block, name, pOemPDEV->UIInfo.byteValue[5], dwPoint, pOemPDEV->UIInfo.byPage);
    *ppbyCmd = pbyCmd;
    *pdwLength = block.size();
    return TRUE;
}

}  // namespace

BOOL SendStartDocCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    const UIInfo& ui = pOemPDEV->UIInfo;
    const DWORD capacity = ui.dwStartDoc + 285;
    auto* pbyCmd = static_cast<BYTE*>(LocalAlloc(LPTR, capacity));
    if (pbyCmd == nullptr) {
        DebugLog("SendStartDocCmd : Failed to allocate the buffer. (pbyCmd)");
        return FALSE;
    }
    CommandBlock block(pbyCmd, capacity);
    PutReset(block);
    if (ui.byteValue[6] != 0) PutDrawerPulse(block, 0x00, ui.byteValue[7]);
    if (ui.byteValue[8] != 0) PutDrawerPulse(block, 0x01, ui.byteValue[9]);
    if (ui.byteValue[10] != 0) PutBeep(block, ui.byteValue[11]);
    if (ui.dwStartDoc != 0) {
        block.Put(ui.byStartDocCmd, ui.dwStartDoc);
        PutStringEnd(block);
    }
    if (ui.byteValue[15] != 0) PutNvImage(block, ui, ui.byteValue[15]);
    DebugLog("SendStartDocCmd : dwCmdLength : %d", block.size());
    DWORD dwResult = 0;
    BOOL ok = WriteDirect(pOemCP, pdevobj, block.data(), block.size(), &dwResult);
    DebugLog("SendStartDocCmd : dwResult : %d", dwResult);
    LocalFree(pbyCmd);
    return ok;
}

BOOL AddStartPageCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    const UIInfo& ui = DeviceState(pdevobj)->UIInfo;
    return AddPageBlock(pOemCP, ui, "AddStartPageCmd", ui.byStartPageCmd, ui.dwStartPage,
                        ui.byteValue[16]);
}

BOOL AddEndPageCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    const UIInfo& ui = DeviceState(pdevobj)->UIInfo;
    return AddPageBlock(pOemCP, ui, "AddEndPageCmd", ui.byEndPageCmd, ui.dwEndPage,
                        ui.byteValue[17]);
}

BOOL SendEndDocCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    const UIInfo& ui = pOemPDEV->UIInfo;
    const DWORD capacity = ui.dwEndDoc + 480;
    auto* pbyCmd = static_cast<BYTE*>(LocalAlloc(LPTR, capacity));
    if (pbyCmd == nullptr) {
        DebugLog("SendEndDocCmd : failed to allocate the buffer.");
        return FALSE;
    }
    CommandBlock block(pbyCmd, capacity);
    DebugLog("SendEndDocCmd : pUIInfo->dwEndDoc = %x", ui.dwEndDoc);
    if (ui.dwEndDoc != 0) {
        block.Put(ui.byEndDocCmd, ui.dwEndDoc);
        PutStringEnd(block);
    }
    for (int i : {18, 20, 1, 2, 3, 4, 12, 13, 0}) {
        DebugLog("SendEndDocCmd : pUIInfo->byteValue[%d] = %x", i, ui.byteValue[i]);
    }
    if (ui.byteValue[18] != 0) PutNvImage(block, ui, ui.byteValue[18]);
    if (ui.byteValue[1] != 0) PutDrawerPulse(block, 0x00, ui.byteValue[2]);
    if (ui.byteValue[3] != 0) PutDrawerPulse(block, 0x01, ui.byteValue[4]);
    if (ui.byteValue[12] != 0) PutBeep(block, ui.byteValue[13]);
    const BYTE lineFeeds =
        ui.byteValue[0] > kMaxJobEndLineFeeds ? kMaxJobEndLineFeeds : ui.byteValue[0];
    for (BYTE i = 0; i < lineFeeds; ++i) block.Put({0x0A});
    DebugLog("SendEndDocCmd : dwCmdLength : %d", block.size());
    BOOL ok = TRUE;
    if (block.size() != 0) {
        DWORD dwResult = 0;
        ok = WriteDirect(pOemCP, pdevobj, block.data(), block.size(), &dwResult);
        DebugLog("SendEndDocCmd : dwResult : %d", dwResult);
    }
    LocalFree(pbyCmd);
    return ok;
}

BOOL AddCutCommand(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, DWORD dwPoint) {
    BYTE* pbyCmd = nullptr;
    DWORD dwLength = 0;
    if (!BuildCutSequence("AddCutCommand", DeviceState(pdevobj), dwPoint, &pbyCmd, &dwLength)) {
        return FALSE;
    }
    BOOL ok = dwLength == 0 || AddPrintDataTobeSent(pOemCP, pbyCmd, dwLength);
    MemFree(pbyCmd);
    return ok;
}

BOOL SendCutCommand(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, DWORD dwPoint) {
    BYTE* pbyCmd = nullptr;
    DWORD dwLength = 0;
    if (!BuildCutSequence("SendCutCommand", DeviceState(pdevobj), dwPoint, &pbyCmd, &dwLength)) {
        return FALSE;
    }
    BOOL ok = TRUE;
    if (dwLength != 0) {
        DWORD dwResult = 0;
        ok = WriteDirect(pOemCP, pdevobj, pbyCmd, dwLength, &dwResult);
        DebugLog("SendCutCommand : dwWrite : %d", dwLength);
        DebugLog("SendCutCommand : dwResult : %d", dwResult);
    }
    MemFree(pbyCmd);
    return ok;
}

BOOL SendOpenCashDrawerCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    BOOL anyComplete = FALSE;
    if (pOemPDEV->bNoCutNoFeeds) {
        DebugLog("SendOpenCashDrawerCmd : pOemPDEV->bNoCutNoFeeds : TRUE");
        const BYTE cmd[] = {0x1B, 0x70, 0x00, 0x19, 0xFF};
        DWORD dwResult = 0;
        anyComplete |= WriteDirect(pOemCP, pdevobj, cmd, sizeof cmd, &dwResult, FALSE);
        DebugLog("dwResult : %d", dwResult);
    }
    if (pOemPDEV->bNoCutNoFeeds2) {
        DebugLog("SendOpenCashDrawerCmd : pOemPDEV->bNoCutNoFeeds2 : TRUE");
        const BYTE cmd[] = {0x1B, 0x70, 0x01, 0x19, 0xFF};
        DWORD dwResult = 0;
        anyComplete |= WriteDirect(pOemCP, pdevobj, cmd, sizeof cmd, &dwResult, FALSE);
        DebugLog("SendOpenCashDrawerCmd : dwResult : %d", dwResult);
    }
    return anyComplete;
}

BOOL SetPrintPageNumber(CRenderPlugin* pOemCP, PDEVOBJ pdevobj) {
    (void)pOemCP;
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    UIInfo& ui = pOemPDEV->UIInfo;
    ui.byPage = static_cast<WORD>(ui.byPage + 1);
    const BYTE pages[2] = {LOBYTE(ui.byPage), HIBYTE(ui.byPage)};
    DebugLog("SetPrintPageNumber : pUIInfo->byPage[0] : %x", pages[0]);
    DebugLog("SetPrintPageNumber : pUIInfo->byPage[1] : %x", pages[1]);

    DebugLog("SetPrinterDataToReg : START");
    DebugLog("SetPrinterDataToReg : pValueName = %ws", u"PAGES");
    HANDLE hPrinter = nullptr;
    PRINTER_DEFAULTSW full = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(pOemPDEV->wszPrinterName, &hPrinter, &full)) {
        DebugLog("SetPrinterDataToReg : OpenPrinter failed with = %d", GetLastError());
        PRINTER_DEFAULTSW use = {nullptr, nullptr, READ_CONTROL | PRINTER_ACCESS_USE};
        if (!OpenPrinterW(pOemPDEV->wszPrinterName, &hPrinter, &use)) {
            DebugLog("SetPrinterDataToReg : OpenPrinter failed with = %d", GetLastError());
            DebugLog("SetPrinterDataToReg : END");
            return FALSE;
        }
    }
    DWORD err = SetPrinterDataExW(hPrinter, u"PrinterDriverData\\Properties", u"PAGES", REG_BINARY,
                                  pages, sizeof pages);
    if (err != ERROR_SUCCESS) {
        DebugLog("SetPrinterDataToReg : SetPrinterDataEx failed. with %d", err);
    }
    ClosePrinter(hPrinter);
    DebugLog("SetPrinterDataToReg : END");
    return err == ERROR_SUCCESS;
}
