// Heap services: the local, global and process heaps and the plain heap ("malloc").
//
// All of them draw from one allocator. Moveable blocks are treated as fixed: the handle IS the
// pointer. A failed allocation returns NULL with the last error ERROR_NOT_ENOUGH_MEMORY.
//
// Fault switch for tests: platform::FailAllocation makes the n-th allocation from now fail
// (through any of the functions below, HeapReAlloc included). The environment variable
// KV580_FAIL_ALLOC, read once at the first allocation, does the same for a whole process:
// "N" fails the N-th allocation of the process, "N+" the N-th and every later one.
#pragma once

#include <string_view>

#include "win32/types.h"

// ---- Flags ---------------------------------------------------------------------------------
constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_MOVEABLE = 0x0002;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LPTR = 0x0040;  // LMEM_FIXED | LMEM_ZEROINIT
constexpr UINT LHND = 0x0042;  // LMEM_MOVEABLE | LMEM_ZEROINIT

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GPTR = 0x0040;  // GMEM_FIXED | GMEM_ZEROINIT
constexpr UINT GHND = 0x0042;  // GMEM_MOVEABLE | GMEM_ZEROINIT

constexpr DWORD HEAP_NO_SERIALIZE = 0x00000001;
constexpr DWORD HEAP_GENERATE_EXCEPTIONS = 0x00000004;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
constexpr DWORD HEAP_REALLOC_IN_PLACE_ONLY = 0x00000010;

extern "C" {

// ---- Local heap ----------------------------------------------------------------------------
// LocalAlloc: a block of uBytes (zero-filled with LMEM_ZEROINIT); NULL on failure.
HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes);
// LocalFree: releases the block; NULL on success (also for NULL), the handle on failure.
HLOCAL LocalFree(HLOCAL hMem);
// LocalSize: the size asked for when the block was made; 0 (ERROR_INVALID_HANDLE) for NULL.
SIZE_T LocalSize(HLOCAL hMem);
// LocalLock/LocalUnlock: the handle is the pointer; Lock returns it, Unlock returns FALSE.
LPVOID LocalLock(HLOCAL hMem);
BOOL LocalUnlock(HLOCAL hMem);

// ---- Global heap ---------------------------------------------------------------------------
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
HGLOBAL GlobalFree(HGLOBAL hMem);
SIZE_T GlobalSize(HGLOBAL hMem);
LPVOID GlobalLock(HGLOBAL hMem);
BOOL GlobalUnlock(HGLOBAL hMem);

// ---- Process heap and private heaps ---------------------------------------------------------
HANDLE GetProcessHeap();
// HeapCreate: a private heap; HeapDestroy releases it with every block still in it.
HANDLE HeapCreate(DWORD flOptions, SIZE_T dwInitialSize, SIZE_T dwMaximumSize);
BOOL HeapDestroy(HANDLE hHeap);
LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
// HeapReAlloc: a new size for the block (contents kept, new bytes zeroed with
// HEAP_ZERO_MEMORY); on failure NULL and the old block is untouched.
LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes);
// HeapFree: TRUE on success (and for NULL); FALSE with ERROR_INVALID_PARAMETER otherwise.
BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
// HeapSize: the block's size, (SIZE_T)-1 on failure.
SIZE_T HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem);

// ---- Plain heap (what the system's log lines call "malloc") ---------------------------------
void* MemAlloc(SIZE_T bytes);
void* MemCalloc(SIZE_T count, SIZE_T size);  // zero-filled; count * size overflow fails
void MemFree(void* p);                       // NULL is allowed

}  // extern "C"

// ---- Fault switch ---------------------------------------------------------------------------
namespace platform {

// The largest block the platform hands out; larger requests fail like an exhausted heap.
inline constexpr SIZE_T kMaxHeapBlockBytes = SIZE_T{1} << 32;

// The n-th allocation from now (1 = the next) fails; with everyLater, every later one too.
// n = 0 disarms. Resets the allocation count.
void FailAllocation(unsigned long n, bool everyLater = false);
// Disarms the switch and resets the allocation count.
void ResetAllocationFaults();
// Allocation attempts (failed ones included) since the last reset or arming.
unsigned long AllocationCount();
// Parses a KV580_FAIL_ALLOC value ("N" or "N+", N >= 1). False for anything else.
bool ParseAllocationFaultSpec(std::string_view text, unsigned long& n, bool& everyLater);

}  // namespace platform
