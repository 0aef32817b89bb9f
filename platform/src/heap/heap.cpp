// The platform heap: local, global, process and private heaps and the plain heap, all drawn
// from one allocator so that the fault switch reaches every allocation.
//
// Every block carries a header in front of the caller's bytes: its size, a tag that marks a
// live block, and for private heaps the links of that heap's block list (so HeapDestroy can
// release what is left in it).
#include "win32/heap.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "heap/fault_switch.h"

namespace {

constexpr std::uint32_t kLiveTag = 0x4B563538;  // "KV58"
constexpr std::uint32_t kFreedTag = 0xDEADF00D;

struct PrivateHeap;

struct alignas(16) BlockHeader {
    SIZE_T size;
    std::uint32_t tag;
    std::uint32_t reserved;
    PrivateHeap* heap;  // NULL for blocks of the shared heaps
    BlockHeader* prev;
    BlockHeader* next;
};
static_assert(sizeof(BlockHeader) % 16 == 0);

// A heap made by HeapCreate: a list of its live blocks under a lock.
struct PrivateHeap {
    std::uint32_t tag = kLiveTag;
    std::mutex lock;
    BlockHeader* first = nullptr;
};

// The token GetProcessHeap hands out; blocks of the process heap carry heap == NULL.
int g_processHeapToken = 0;

HANDLE ProcessHeap() {
    return &g_processHeapToken;
}

BlockHeader* HeaderOf(LPCVOID p) {
    return reinterpret_cast<BlockHeader*>(
        const_cast<unsigned char*>(static_cast<const unsigned char*>(p)) - sizeof(BlockHeader));
}

void* PayloadOf(BlockHeader* h) {
    return reinterpret_cast<unsigned char*>(h) + sizeof(*h);
}

bool IsLive(LPCVOID p) {
    return p != nullptr && HeaderOf(p)->tag == kLiveTag;
}

// Resolves a heap handle: NULL heap for the process heap, the private heap, or failure.
bool ResolveHeap(HANDLE hHeap, PrivateHeap*& heap) {
    if (hHeap == nullptr) return false;
    if (hHeap == ProcessHeap()) {
        heap = nullptr;
        return true;
    }
    heap = static_cast<PrivateHeap*>(hHeap);
    return heap->tag == kLiveTag;
}

void Link(PrivateHeap* heap, BlockHeader* h) {
    h->heap = heap;
    h->prev = nullptr;
    h->next = nullptr;
    if (heap == nullptr) return;
    std::lock_guard<std::mutex> guard(heap->lock);
    h->next = heap->first;
    if (heap->first != nullptr) heap->first->prev = h;
    heap->first = h;
}

void Unlink(BlockHeader* h) {
    PrivateHeap* heap = h->heap;
    if (heap == nullptr) return;
    std::lock_guard<std::mutex> guard(heap->lock);
    if (h->prev != nullptr) h->prev->next = h->next;
    if (h->next != nullptr) h->next->prev = h->prev;
    if (heap->first == h) heap->first = h->next;
    h->prev = h->next = nullptr;
}

// Allocates a block of `bytes`, zero-filled when asked. Counts towards the fault switch.
void* AllocateBlock(SIZE_T bytes, bool zero, PrivateHeap* heap) {
    if (platform::detail::NextAllocationFails() || bytes > platform::kMaxHeapBlockBytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* raw = zero ? std::calloc(1, sizeof(BlockHeader) + bytes)
                     : std::malloc(sizeof(BlockHeader) + bytes);
    if (raw == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* h = static_cast<BlockHeader*>(raw);
    h->size = bytes;
    h->tag = kLiveTag;
    h->reserved = 0;
    Link(heap, h);
    return PayloadOf(h);
}

void ReleaseBlock(void* p) {
    BlockHeader* h = HeaderOf(p);
    Unlink(h);
    h->tag = kFreedTag;
    std::free(h);
}

}  // namespace

// ---- Local and global heap ------------------------------------------------------------------

extern "C" HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    return AllocateBlock(uBytes, (uFlags & LMEM_ZEROINIT) != 0, nullptr);
}

extern "C" HLOCAL LocalFree(HLOCAL hMem) {
    if (hMem == nullptr) return nullptr;
    if (!IsLive(hMem) || HeaderOf(hMem)->heap != nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    ReleaseBlock(hMem);
    return nullptr;
}

extern "C" SIZE_T LocalSize(HLOCAL hMem) {
    if (!IsLive(hMem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return HeaderOf(hMem)->size;
}

extern "C" LPVOID LocalLock(HLOCAL hMem) {
    if (!IsLive(hMem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return hMem;
}

extern "C" BOOL LocalUnlock(HLOCAL hMem) {
    SetLastError(IsLive(hMem) ? NO_ERROR : ERROR_INVALID_HANDLE);
    return FALSE;
}

extern "C" HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    return AllocateBlock(dwBytes, (uFlags & GMEM_ZEROINIT) != 0, nullptr);
}

extern "C" HGLOBAL GlobalFree(HGLOBAL hMem) {
    return LocalFree(hMem);
}
extern "C" SIZE_T GlobalSize(HGLOBAL hMem) {
    return LocalSize(hMem);
}
extern "C" LPVOID GlobalLock(HGLOBAL hMem) {
    return LocalLock(hMem);
}
extern "C" BOOL GlobalUnlock(HGLOBAL hMem) {
    return LocalUnlock(hMem);
}

// ---- Process and private heaps -------------------------------------------------------------

extern "C" HANDLE GetProcessHeap() {
    return ProcessHeap();
}

extern "C" HANDLE HeapCreate(DWORD, SIZE_T, SIZE_T) {
    if (platform::detail::NextAllocationFails()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* heap = new (std::nothrow) PrivateHeap;
    if (heap == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return heap;
}

extern "C" BOOL HeapDestroy(HANDLE hHeap) {
    PrivateHeap* heap = nullptr;
    if (!ResolveHeap(hHeap, heap) || heap == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    BlockHeader* h = heap->first;
    while (h != nullptr) {
        BlockHeader* next = h->next;
        h->tag = kFreedTag;
        std::free(h);
        h = next;
    }
    heap->first = nullptr;
    heap->tag = kFreedTag;
    delete heap;
    return TRUE;
}

extern "C" LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    PrivateHeap* heap = nullptr;
    if (!ResolveHeap(hHeap, heap)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return AllocateBlock(dwBytes, (dwFlags & HEAP_ZERO_MEMORY) != 0, heap);
}

extern "C" LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
    PrivateHeap* heap = nullptr;
    if (!ResolveHeap(hHeap, heap) || !IsLive(lpMem) || HeaderOf(lpMem)->heap != heap) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const SIZE_T oldSize = HeaderOf(lpMem)->size;
    if ((dwFlags & HEAP_REALLOC_IN_PLACE_ONLY) != 0 && dwBytes > oldSize) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* fresh = AllocateBlock(dwBytes, (dwFlags & HEAP_ZERO_MEMORY) != 0, heap);
    if (fresh == nullptr) return nullptr;  // the old block stays as it was
    std::memcpy(fresh, lpMem, oldSize < dwBytes ? oldSize : dwBytes);
    ReleaseBlock(lpMem);
    return fresh;
}

extern "C" BOOL HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
    if (lpMem == nullptr) return TRUE;
    PrivateHeap* heap = nullptr;
    if (!ResolveHeap(hHeap, heap) || !IsLive(lpMem) || HeaderOf(lpMem)->heap != heap) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ReleaseBlock(lpMem);
    return TRUE;
}

extern "C" SIZE_T HeapSize(HANDLE hHeap, DWORD, LPCVOID lpMem) {
    PrivateHeap* heap = nullptr;
    if (!ResolveHeap(hHeap, heap) || !IsLive(lpMem) || HeaderOf(lpMem)->heap != heap) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<SIZE_T>(-1);
    }
    return HeaderOf(lpMem)->size;
}

// ---- Plain heap ----------------------------------------------------------------------------

extern "C" void* MemAlloc(SIZE_T bytes) {
    return AllocateBlock(bytes, false, nullptr);
}

extern "C" void* MemCalloc(SIZE_T count, SIZE_T size) {
    SIZE_T total = 0;
    if (__builtin_mul_overflow(count, size, &total)) {
        platform::detail::NextAllocationFails();  // still one attempt for the count
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return AllocateBlock(total, true, nullptr);
}

extern "C" void MemFree(void* p) {
    if (p == nullptr) return;
    if (!IsLive(p) || HeaderOf(p)->heap != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    ReleaseBlock(p);
}
