// The job's journal file, extra copies, the preview copy and the DEVMODE report.
#pragma once

#include "intrface.h"

// Opens the journal of the job (named from the local time) into m_hFileHandle.
BOOL GetFileHandle(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
// Writes the extra copies of the job into the journal and finishes it.
BOOL SendMultipleCopies(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
// Starts the preview application for the finished job.
BOOL StartPreviewApplication(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
// Logs the job's DEVMODE and the printer's information.
void PrintDevModeInformation(CRenderPlugin* pOemCP, PDEVOBJ pdevobj);
