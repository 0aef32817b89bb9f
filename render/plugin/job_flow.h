// The job command flow: what the plug-in sends at the start and end of a job and of every page,
// and the output buffer that collects the bytes of the current page.
#pragma once

#include "intrface.h"

// Callback ids of CommandCallback.
constexpr DWORD OVX_STARTDOC = 1;
constexpr DWORD OVX_STARTPAGE = 2;
constexpr DWORD OVX_ENDPAGE = 3;
constexpr DWORD OVX_ENDDOC = 4;

// Largest number of bytes handed to the spooler in one DrvWriteSpoolBuf call.
constexpr DWORD kSpoolChunkBytes = 4096;

// A spooler that reports S_OK but takes no byte makes no progress; after this many such
// calls in a row the page is given up as a short write.
constexpr int kSpoolNoProgressRetries = 3;

// CommandCallback body: runs the work of one callback id; always S_OK.
HRESULT OEMCommandCallback(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, DWORD dwCallbackID);

// Appends dwLength bytes to the page's output buffer; FALSE when pBuffer is null or no memory
// is left (the buffer is then unchanged).
BOOL AddPrintDataTobeSent(CRenderPlugin* pOemCP, const BYTE* pBuffer, DWORD dwLength);

// Writes the whole output buffer to the spooler in chunks of at most 4096 bytes and to the
// journal; TRUE when the spooler took every byte (or there was nothing to send).
BOOL SendPrintDataToPrinter(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);

// Appends bytes to the journal of the current job; FALSE without a journal or on a short write.
BOOL WritePrintDataToFile(CRenderPlugin* pOemCP, const BYTE* pBuffer, DWORD dwLength);

// Converts the captured page into commands in the output buffer and resets the page state.
// S_OK when the conversion added bytes; E_FAIL otherwise.
HRESULT AddImageDataPerEachPage(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);

// Releases the output buffer.
void InitPrintCommandsBuffer(CRenderPlugin* pOemCP);

// Writes one block directly: one DrvWriteSpoolBuf call, then the journal when one is open.
// Returns the spooler's written count in *pdwWritten (0 when the call failed).
BOOL WriteDirect(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, const BYTE* pBuffer, DWORD dwLength,
                 DWORD* pdwWritten, BOOL bJournal = TRUE);

// Releases the page-level buffers of the device state and zeroes its page counters.
void ResetPageState(POEMPDEV pOemPDEV);
