// The fixed command blocks that frame a job and its pages: reset, drawer pulses, beeps, the
// user's command strings, NV images, line feeds, cuts and feeds with the page marker.
#pragma once

#include "intrface.h"

// Start-of-job block, written directly (spooler and journal).
BOOL SendStartDocCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
// Start-of-page block, appended to the output buffer.
BOOL AddStartPageCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
// End-of-page block, appended to the output buffer.
BOOL AddEndPageCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
// End-of-job block, written directly.
BOOL SendEndDocCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
// Page-end cut or feed sequence with the page marker, appended to the output buffer.
BOOL AddCutCommand(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, DWORD dwPoint);
// Job-end cut or feed sequence, written directly.
BOOL SendCutCommand(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, DWORD dwPoint);
// Drawer-only command(s) of a drawer-only page, written directly and not to the journal.
BOOL SendOpenCashDrawerCmd(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
// Raises the page counter and stores it as printer data "PAGES".
BOOL SetPrintPageNumber(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);

// Line feeds at the job end are built in a 100-byte area: larger settings are cut to this.
constexpr BYTE kMaxJobEndLineFeeds = 99;
