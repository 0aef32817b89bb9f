// Internal face of the allocation fault switch (see win32/heap.h).
#pragma once

namespace platform::detail {

// Counts one allocation attempt; true when this attempt is to fail.
bool NextAllocationFails();

}  // namespace platform::detail
