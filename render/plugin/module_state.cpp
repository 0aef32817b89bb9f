// Module-wide values of the rendering plug-in.
#include "module_state.h"

LONG g_cLocks = 0;
LONG g_cObjects = 0;
RECTL g_rcPendingBitmap = {0, 0, 0, 0};
DWORD g_dwCurrentJobId = 0;
