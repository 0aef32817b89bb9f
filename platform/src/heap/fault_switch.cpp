// The allocation fault switch: makes the n-th allocation (and optionally every later one)
// fail, armed by tests in process or by KV580_FAIL_ALLOC for a whole process.
#include "heap/fault_switch.h"

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <mutex>

#include "win32/heap.h"

namespace {

// The armed state in one word: bit 63 = every later one too, low bits = n (0 = disarmed).
constexpr std::uint64_t kEveryLaterBit = std::uint64_t{1} << 63;

std::atomic<std::uint64_t> g_armed{0};
std::atomic<unsigned long> g_count{0};
std::once_flag g_envOnce;

void Arm(unsigned long n, bool everyLater) {
    g_count.store(0);
    g_armed.store(n == 0 ? 0 : (static_cast<std::uint64_t>(n) | (everyLater ? kEveryLaterBit : 0)));
}

// Reads KV580_FAIL_ALLOC once, at the first allocation (or the first use of the switch).
void ReadEnvironmentOnce() {
    std::call_once(g_envOnce, [] {
        const char* text = std::getenv("KV580_FAIL_ALLOC");
        unsigned long n = 0;
        bool everyLater = false;
        if (text != nullptr && platform::ParseAllocationFaultSpec(text, n, everyLater)) {
            Arm(n, everyLater);
        }
    });
}

}  // namespace

namespace platform {

bool ParseAllocationFaultSpec(std::string_view text, unsigned long& n, bool& everyLater) {
    bool later = false;
    if (!text.empty() && text.back() == '+') {
        later = true;
        text.remove_suffix(1);
    }
    if (text.empty()) return false;
    unsigned long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0) return false;
    n = value;
    everyLater = later;
    return true;
}

void FailAllocation(unsigned long n, bool everyLater) {
    ReadEnvironmentOnce();  // an explicit arming wins over the environment
    Arm(n, everyLater);
}

void ResetAllocationFaults() {
    ReadEnvironmentOnce();
    Arm(0, false);
}

unsigned long AllocationCount() {
    ReadEnvironmentOnce();
    return g_count.load();
}

namespace detail {

bool NextAllocationFails() {
    ReadEnvironmentOnce();
    const unsigned long attempt = g_count.fetch_add(1) + 1;
    const std::uint64_t armed = g_armed.load();
    if (armed == 0) return false;
    const std::uint64_t n = armed & ~kEveryLaterBit;
    if (attempt == n) return true;
    return (armed & kEveryLaterBit) != 0 && attempt > n;
}

}  // namespace detail
}  // namespace platform
