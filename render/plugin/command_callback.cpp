// CommandCallback: the host's command callbacks at the start and end of the job and of every
// page; the sequencer is in job_flow.cpp.
#include "intrface.h"
#include "job_flow.h"

// S_OK for every id; *piResult is never written, dwCount and pdwParams are not used.
HRESULT CRenderPlugin::CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD /*dwCount*/,
                                       PDWORD /*pdwParams*/, INT* /*piResult*/) {
    return OEMCommandCallback(this, pdevobj, dwCallbackID);
}
