// Makes `count` allocations through the platform heap (argument 1, default 5) and prints one
// character per allocation: "+" for a block, "-" for a failure. Used by the heap tests to see
// what KV580_FAIL_ALLOC does to a whole process.
#include <cstdio>
#include <cstdlib>

#include "win32/heap.h"

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 5;
    for (int i = 0; i < count; ++i) {
        void* p = (i % 2 == 0) ? LocalAlloc(LPTR, 16) : MemAlloc(16);
        std::putchar(p != nullptr ? '+' : '-');
        if (i % 2 == 0) {
            LocalFree(p);
        } else {
            MemFree(p);
        }
    }
    std::putchar('\n');
    return 0;
}
