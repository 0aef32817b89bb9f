// Module-wide values of the rendering plug-in (one set per loaded library).
#pragma once

#include "win32/types.h"

extern LONG g_cLocks;    // class-factory lock count
extern LONG g_cObjects;  // live CRenderPlugin objects

// Last bitmap drawn through the BitBlt hook that is not yet in the image-rectangle list;
// all zero when none is held back.
extern RECTL g_rcPendingBitmap;

// Id of the job being printed, 0 outside a job; the log file names carry it.
extern DWORD g_dwCurrentJobId;

// True when no rectangle is held back.
inline bool IsPendingBitmapEmpty() {
    return g_rcPendingBitmap.left == 0 && g_rcPendingBitmap.top == 0 &&
           g_rcPendingBitmap.right == 0 && g_rcPendingBitmap.bottom == 0;
}
inline void ClearPendingBitmap() {
    g_rcPendingBitmap = {0, 0, 0, 0};
}
