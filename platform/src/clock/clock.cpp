// The platform clock: local and system time (pinnable for tests), file-time arithmetic,
// MS-DOS date and time, tick counts and sleeping.
#include "win32/clock.h"

#include <time.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

namespace {

constexpr ULONGLONG kTicksPerMillisecond = 10000;
constexpr ULONGLONG kTicksPerSecond = 10000000;
constexpr ULONGLONG kTicksPerDay = 86400 * kTicksPerSecond;
constexpr long long kDaysFrom1601To1970 = 134774;

std::mutex g_fakeLock;
std::optional<SYSTEMTIME> g_fakeTime;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The civil date of a day count since 1970-01-01.
void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool IsLeap(unsigned y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(unsigned y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool IsValid(const SYSTEMTIME& t) {
    return t.wYear >= 1601 && t.wYear <= 30827 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= DaysInMonth(t.wYear, t.wMonth) && t.wHour < 24 && t.wMinute < 60 &&
           t.wSecond < 60 && t.wMilliseconds < 1000;
}

// 100 ns ticks since 1601-01-01 of a valid SYSTEMTIME.
ULONGLONG TicksOf(const SYSTEMTIME& t) {
    const long long days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) + kDaysFrom1601To1970;
    return static_cast<ULONGLONG>(days) * kTicksPerDay +
           (t.wHour * 3600ULL + t.wMinute * 60ULL + t.wSecond) * kTicksPerSecond +
           t.wMilliseconds * kTicksPerMillisecond;
}

SYSTEMTIME FromTicks(ULONGLONG ticks) {
    const auto days = static_cast<long long>(ticks / kTicksPerDay);
    ULONGLONG rest = ticks % kTicksPerDay;
    long long y = 0;
    unsigned m = 0;
    unsigned d = 0;
    CivilFromDays(days - kDaysFrom1601To1970, y, m, d);
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(m);
    t.wDay = static_cast<WORD>(d);
    t.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
    t.wHour = static_cast<WORD>(rest / (3600 * kTicksPerSecond));
    rest %= 3600 * kTicksPerSecond;
    t.wMinute = static_cast<WORD>(rest / (60 * kTicksPerSecond));
    rest %= 60 * kTicksPerSecond;
    t.wSecond = static_cast<WORD>(rest / kTicksPerSecond);
    rest %= kTicksPerSecond;
    t.wMilliseconds = static_cast<WORD>(rest / kTicksPerMillisecond);
    return t;
}

ULONGLONG ToValue(const FILETIME& ft) {
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME FromValue(ULONGLONG v) {
    return FILETIME{static_cast<DWORD>(v & 0xFFFFFFFF), static_cast<DWORD>(v >> 32)};
}

// The pinned time, if any: SetFakeTime first, then KV580_FAKE_TIME.
std::optional<SYSTEMTIME> PinnedTime() {
    {
        std::lock_guard<std::mutex> guard(g_fakeLock);
        if (g_fakeTime) return g_fakeTime;
    }
    const char* text = std::getenv("KV580_FAKE_TIME");
    if (text == nullptr || *text == 0) return std::nullopt;
    auto parsed = platform::ParseIsoDateTime(text);
    if (!parsed) {
        // Tell once per bad value, then run on the real clock.
        static std::mutex warnedLock;
        static std::set<std::string> warned;
        std::lock_guard<std::mutex> guard(warnedLock);
        if (warned.insert(text).second) {
            std::fprintf(stderr,
                         "kv580: KV580_FAKE_TIME \"%s\" is not a date and time like "
                         "2026-05-10T06:45:00; the real clock is used\n",
                         text);
        }
    }
    return parsed;
}

timespec Now(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts;
}

ULONGLONG RealSystemTicks() {
    const timespec ts = Now(CLOCK_REALTIME);
    return static_cast<ULONGLONG>(ts.tv_sec + kDaysFrom1601To1970 * 86400) * kTicksPerSecond +
           static_cast<ULONGLONG>(ts.tv_nsec) / 100;
}

// Local time minus UTC in 100 ns ticks (0 on a pinned clock: the machine runs in UTC).
long long LocalBiasTicks() {
    if (PinnedTime()) return 0;
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return static_cast<long long>(local.tm_gmtoff) * static_cast<long long>(kTicksPerSecond);
}

bool ParseNumber(std::string_view text, size_t pos, size_t digits, unsigned& value) {
    if (pos + digits > text.size()) return false;
    for (size_t i = pos; i < pos + digits; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return std::from_chars(text.data() + pos, text.data() + pos + digits, value).ec == std::errc();
}

}  // namespace

namespace platform {

std::optional<SYSTEMTIME> ParseIsoDateTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS[.mmm]
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (text.size() != 19 && text.size() != 23) return std::nullopt;
    if (!ParseNumber(text, 0, 4, y) || text[4] != '-' || !ParseNumber(text, 5, 2, mo) ||
        text[7] != '-' || !ParseNumber(text, 8, 2, d) || (text[10] != 'T' && text[10] != ' ') ||
        !ParseNumber(text, 11, 2, h) || text[13] != ':' || !ParseNumber(text, 14, 2, mi) ||
        text[16] != ':' || !ParseNumber(text, 17, 2, s)) {
        return std::nullopt;
    }
    if (text.size() == 23 && (text[19] != '.' || !ParseNumber(text, 20, 3, ms))) {
        return std::nullopt;
    }
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(mo);
    t.wDay = static_cast<WORD>(d);
    t.wHour = static_cast<WORD>(h);
    t.wMinute = static_cast<WORD>(mi);
    t.wSecond = static_cast<WORD>(s);
    t.wMilliseconds = static_cast<WORD>(ms);
    if (!IsValid(t)) return std::nullopt;
    return FromTicks(TicksOf(t));  // fills in the day of the week
}

void SetFakeTime(std::optional<SYSTEMTIME> time) {
    if (time && IsValid(*time)) time = FromTicks(TicksOf(*time));
    std::lock_guard<std::mutex> guard(g_fakeLock);
    g_fakeTime = time;
}

}  // namespace platform

extern "C" {

void GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime == nullptr) return;
    if (auto pinned = PinnedTime()) {
        *lpSystemTime = *pinned;
        return;
    }
    *lpSystemTime = FromTicks(RealSystemTicks());
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime == nullptr) return;
    if (auto pinned = PinnedTime()) {
        *lpSystemTime = *pinned;
        return;
    }
    const timespec ts = Now(CLOCK_REALTIME);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(local.tm_year + 1900);
    t.wMonth = static_cast<WORD>(local.tm_mon + 1);
    t.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    t.wDay = static_cast<WORD>(local.tm_mday);
    t.wHour = static_cast<WORD>(local.tm_hour);
    t.wMinute = static_cast<WORD>(local.tm_min);
    t.wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
    t.wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000);
    *lpSystemTime = t;
}

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    if (lpSystemTimeAsFileTime == nullptr) return;
    auto pinned = PinnedTime();
    *lpSystemTimeAsFileTime = FromValue(pinned ? TicksOf(*pinned) : RealSystemTicks());
}

ULONGLONG GetTickCount64() {
    const timespec ts = Now(CLOCK_MONOTONIC);
    return static_cast<ULONGLONG>(ts.tv_sec) * 1000 + static_cast<ULONGLONG>(ts.tv_nsec) / 1000000;
}

DWORD GetTickCount() {
    return static_cast<DWORD>(GetTickCount64());
}

void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == INFINITE) {
        for (;;) {
            timespec ts{3600, 0};
            nanosleep(&ts, nullptr);
        }
    }
    timespec ts{static_cast<time_t>(dwMilliseconds / 1000),
                static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (lpFileTime == nullptr || lpSystemTime == nullptr ||
        ToValue(*lpFileTime) > 0x7FFFFFFFFFFFFFFFULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpSystemTime = FromTicks(ToValue(*lpFileTime));
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    if (lpSystemTime == nullptr || lpFileTime == nullptr || !IsValid(*lpSystemTime)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpFileTime = FromValue(TicksOf(*lpSystemTime));
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
    if (lpFileTime == nullptr || lpLocalFileTime == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpLocalFileTime = FromValue(ToValue(*lpFileTime) + static_cast<ULONGLONG>(LocalBiasTicks()));
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
    if (lpFileTime == nullptr || lpLocalFileTime == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpFileTime = FromValue(ToValue(*lpLocalFileTime) - static_cast<ULONGLONG>(LocalBiasTicks()));
    return TRUE;
}

BOOL FileTimeToDosDateTime(const FILETIME* lpFileTime, WORD* lpFatDate, WORD* lpFatTime) {
    SYSTEMTIME t{};
    if (lpFatDate == nullptr || lpFatTime == nullptr || !FileTimeToSystemTime(lpFileTime, &t) ||
        t.wYear < 1980 || t.wYear > 2107) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpFatDate = static_cast<WORD>(((t.wYear - 1980) << 9) | (t.wMonth << 5) | t.wDay);
    *lpFatTime = static_cast<WORD>((t.wHour << 11) | (t.wMinute << 5) | (t.wSecond / 2));
    return TRUE;
}

BOOL DosDateTimeToFileTime(WORD wFatDate, WORD wFatTime, LPFILETIME lpFileTime) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(1980 + (wFatDate >> 9));
    t.wMonth = static_cast<WORD>((wFatDate >> 5) & 0x0F);
    t.wDay = static_cast<WORD>(wFatDate & 0x1F);
    t.wHour = static_cast<WORD>(wFatTime >> 11);
    t.wMinute = static_cast<WORD>((wFatTime >> 5) & 0x3F);
    t.wSecond = static_cast<WORD>((wFatTime & 0x1F) * 2);
    return SystemTimeToFileTime(&t, lpFileTime);
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
    const ULONGLONG va = ToValue(*a);
    const ULONGLONG vb = ToValue(*b);
    return va < vb ? -1 : va > vb ? 1 : 0;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    if (lpPerformanceCount == nullptr) return FALSE;
    const timespec ts = Now(CLOCK_MONOTONIC);
    lpPerformanceCount->QuadPart = static_cast<LONGLONG>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    if (lpFrequency == nullptr) return FALSE;
    lpFrequency->QuadPart = 1000000000LL;
    return TRUE;
}

}  // extern "C"
