// The host's own implementation of the 29 graphics functions a plug-in may hook. They do no
// drawing on this platform except DrvTextOut, which hands the run to the job player's text
// receiver (text_objects.h); each notes its call on the host of the device it was given.
#pragma once

#include "win32/winddi.h"

namespace unidrv {

// The host's function table (index and function of all 29), as EnablePDEV hands it over.
DRVENABLEDATA HostGraphicsFunctions();

}  // namespace unidrv
