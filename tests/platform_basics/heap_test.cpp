// The platform heap: blocks from every family, sizes, zero fill, re-allocation, private heaps
// and the allocation fault switch (in process and through KV580_FAIL_ALLOC).
#include "win32/heap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

class HeapTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ResetAllocationFaults(); }
    void TearDown() override { platform::ResetAllocationFaults(); }
};

// One allocation family: how to make a zero-filled block, its size and how to free it.
struct Family {
    const char* name;
    std::function<void*(SIZE_T)> allocZeroed;
    std::function<SIZE_T(void*)> size;
    std::function<void(void*)> release;
};

std::vector<Family> Families() {
    return {
        {"LocalAlloc", [](SIZE_T n) { return LocalAlloc(LPTR, n); },
         [](void* p) { return LocalSize(p); }, [](void* p) { EXPECT_EQ(LocalFree(p), nullptr); }},
        {"LocalAlloc LHND", [](SIZE_T n) { return LocalAlloc(LHND, n); },
         [](void* p) { return LocalSize(p); }, [](void* p) { EXPECT_EQ(LocalFree(p), nullptr); }},
        {"GlobalAlloc", [](SIZE_T n) { return GlobalAlloc(GPTR, n); },
         [](void* p) { return GlobalSize(p); }, [](void* p) { EXPECT_EQ(GlobalFree(p), nullptr); }},
        {"HeapAlloc", [](SIZE_T n) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, n); },
         [](void* p) { return HeapSize(GetProcessHeap(), 0, p); },
         [](void* p) { EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, p)); }},
        {"MemCalloc", [](SIZE_T n) { return MemCalloc(n, 1); },
         [](void* p) { return LocalSize(p); }, [](void* p) { MemFree(p); }},
    };
}

TEST_F(HeapTest, EveryFamilyGivesZeroFilledBlocksOfTheAskedSize) {
    for (const Family& family : Families()) {
        SCOPED_TRACE(family.name);
        for (SIZE_T n : {SIZE_T{0}, SIZE_T{1}, SIZE_T{4096}, SIZE_T{100000}}) {
            auto* p = static_cast<unsigned char*>(family.allocZeroed(n));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(family.size(p), n);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
            for (SIZE_T i = 0; i < n; ++i) ASSERT_EQ(p[i], 0) << i;
            std::memset(p, 0xAB, n);  // the whole block is usable (ASan checks the bounds)
            family.release(p);
        }
    }
}

TEST_F(HeapTest, FreeingNullIsHarmless) {
    EXPECT_EQ(LocalFree(nullptr), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, nullptr));
    MemFree(nullptr);
}

TEST_F(HeapTest, HeapReAllocKeepsContentsAndZeroesTheGrowth) {
    HANDLE heap = GetProcessHeap();
    auto* p = static_cast<unsigned char*>(HeapAlloc(heap, 0, 4));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "abcd", 4);
    auto* q = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 8));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(std::memcmp(q, "abcd\0\0\0\0", 8), 0);
    EXPECT_EQ(HeapSize(heap, 0, q), 8u);
    q = static_cast<unsigned char*>(HeapReAlloc(heap, 0, q, 2));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(std::memcmp(q, "ab", 2), 0);
    EXPECT_TRUE(HeapFree(heap, 0, q));
}

TEST_F(HeapTest, FailedReAllocLeavesTheOldBlockIntact) {
    HANDLE heap = GetProcessHeap();
    auto* p = static_cast<char*>(HeapAlloc(heap, 0, 4));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "wxyz", 4);
    platform::FailAllocation(1);
    SetLastError(0);
    EXPECT_EQ(HeapReAlloc(heap, 0, p, 64), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(std::memcmp(p, "wxyz", 4), 0);
    EXPECT_EQ(HeapSize(heap, 0, p), 4u);
    EXPECT_TRUE(HeapFree(heap, 0, p));
}

TEST_F(HeapTest, ImpossibleSizesFailCleanly) {
    SetLastError(0);
    EXPECT_EQ(MemCalloc(SIZE_MAX / 2, 3), nullptr);  // count * size overflows
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(0);
    EXPECT_EQ(LocalAlloc(LPTR, SIZE_MAX - 8), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(MemAlloc(platform::kMaxHeapBlockBytes + 1), nullptr);
}

TEST_F(HeapTest, BlocksOfOtherHeapsAreRefused) {
    HANDLE priv = HeapCreate(0, 0, 0);
    ASSERT_NE(priv, nullptr);
    void* p = HeapAlloc(priv, 0, 8);
    ASSERT_NE(p, nullptr);
    SetLastError(0);
    EXPECT_FALSE(HeapFree(GetProcessHeap(), 0, p));  // not the process heap's block
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(LocalFree(p), p);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(HeapAlloc(nullptr, 0, 8), nullptr);
    EXPECT_TRUE(HeapFree(priv, 0, p));
    EXPECT_TRUE(HeapDestroy(priv));
}

TEST_F(HeapTest, HeapDestroyReleasesBlocksStillInIt) {
    HANDLE priv = HeapCreate(0, 0, 0);
    ASSERT_NE(priv, nullptr);
    for (int i = 0; i < 10; ++i) ASSERT_NE(HeapAlloc(priv, HEAP_ZERO_MEMORY, 100 + i), nullptr);
    void* kept = HeapAlloc(priv, 0, 5);
    void* grown = HeapReAlloc(priv, 0, kept, 50);  // re-linked into the same heap
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(HeapSize(priv, 0, grown), 50u);
    EXPECT_TRUE(HeapDestroy(priv));  // LeakSanitizer would report anything left
    EXPECT_FALSE(HeapDestroy(GetProcessHeap()));
}

// The fault switch: which of the next allocations fail for a given arming.
struct FaultCase {
    unsigned long n;
    bool everyLater;
    std::string expected;  // one character per allocation: + made, - failed
};

TEST_F(HeapTest, FaultSwitchFailsTheChosenAllocations) {
    const FaultCase cases[] = {
        {1, false, "-+++++"}, {3, false, "++-+++"}, {3, true, "++----"},
        {1, true, "------"},  {0, false, "++++++"}, {7, false, "++++++"},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.n << (c.everyLater ? "+" : ""));
        platform::FailAllocation(c.n, c.everyLater);
        std::string seen;
        // Each family in turn, so the switch is seen to reach all of them.
        void* blocks[6] = {
            LocalAlloc(LPTR, 8), GlobalAlloc(GPTR, 8), HeapAlloc(GetProcessHeap(), 0, 8),
            MemAlloc(8),         MemCalloc(2, 4),      LocalAlloc(LMEM_FIXED, 8)};
        for (void* b : blocks) seen += b != nullptr ? '+' : '-';
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(platform::AllocationCount(), 6u);
        LocalFree(blocks[0]);
        GlobalFree(blocks[1]);
        HeapFree(GetProcessHeap(), 0, blocks[2]);
        MemFree(blocks[3]);
        MemFree(blocks[4]);
        LocalFree(blocks[5]);
    }
}

TEST_F(HeapTest, FailedAllocationSetsTheLastError) {
    platform::FailAllocation(1);
    SetLastError(0);
    EXPECT_EQ(LocalAlloc(LPTR, 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(HeapTest, ResetDisarmsAndCounts) {
    platform::FailAllocation(1, true);
    platform::ResetAllocationFaults();
    EXPECT_EQ(platform::AllocationCount(), 0u);
    void* p = MemAlloc(1);
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(platform::AllocationCount(), 1u);
    MemFree(p);
    EXPECT_EQ(platform::AllocationCount(), 1u);  // freeing is not counted
}

TEST_F(HeapTest, FaultSwitchCountsAcrossThreads) {
    platform::FailAllocation(500);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i) {
                void* p = MemAlloc(16);
                if (p == nullptr) ++failures;
                MemFree(p);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(platform::AllocationCount(), 1000u);
}

TEST(AllocationFaultSpec, Parses) {
    struct Case {
        const char* text;
        bool ok;
        unsigned long n;
        bool later;
    };
    const Case cases[] = {
        {"1", true, 1, false},   {"42", true, 42, false},
        {"3+", true, 3, true},   {"0", false, 0, false},
        {"", false, 0, false},   {"+", false, 0, false},
        {"x", false, 0, false},  {"3x", false, 0, false},
        {"-2", false, 0, false}, {"3++", false, 0, false},
        {" 3", false, 0, false}, {"99999999999999999999999", false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        unsigned long n = 0;
        bool later = false;
        EXPECT_EQ(platform::ParseAllocationFaultSpec(c.text, n, later), c.ok);
        if (c.ok) {
            EXPECT_EQ(n, c.n);
            EXPECT_EQ(later, c.later);
        }
    }
}

TEST(AllocationFaultEnvironment, FailsTheNthAllocationOfAProcess) {
    const auto child = testing_support::BinDir() / "basics_fault_child";
    struct Case {
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"KV580_FAIL_ALLOC=3", "++-+++\n"},
        {"KV580_FAIL_ALLOC=2+", "+-----\n"},
        {"KV580_FAIL_ALLOC=junk", "++++++\n"},  // not a count: ignored
        {"KV580_FAIL_ALLOC=", "++++++\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        auto result = testing_support::Run(child, {"6"}, {c.value});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, c.expected);
    }
}

}  // namespace
