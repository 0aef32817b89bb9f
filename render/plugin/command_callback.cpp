// Job command flow: the host's command callbacks at the start and end of the job and of every
// page. This file holds the sequencer; the command blocks and the page conversion are added
// beside it.
#include "debug_log.h"
#include "intrface.h"

// CommandCallback: S_OK for every id; *piResult is never written.
HRESULT CRenderPlugin::CommandCallback(PDEVOBJ /*pdevobj*/, DWORD dwCallbackID, DWORD /*dwCount*/,
                                       PDWORD /*pdwParams*/, INT* /*piResult*/) {
    DebugLog("CommandCallback : START, CallBack ID = %d", dwCallbackID);
    DebugLog("CommandCallback : END, CallBack ID = %d", dwCallbackID);
    return S_OK;
}
