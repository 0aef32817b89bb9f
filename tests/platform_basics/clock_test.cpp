// The clock: pinning through KV580_FAKE_TIME and SetFakeTime, file-time conversions and
// MS-DOS date and time.
#include "win32/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace {

bool Same(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek &&
           a.wDay == b.wDay && a.wHour == b.wHour && a.wMinute == b.wMinute &&
           a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

SYSTEMTIME Make(WORD y, WORD mo, WORD dow, WORD d, WORD h, WORD mi, WORD s, WORD ms) {
    return SYSTEMTIME{y, mo, dow, d, h, mi, s, ms};
}

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("KV580_FAKE_TIME");
        platform::SetFakeTime(std::nullopt);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(ClockTest, EnvironmentPinsLocalAndSystemTime) {
    setenv("KV580_FAKE_TIME", "2017-05-10T06:45:27", 1);
    SYSTEMTIME local{};
    SYSTEMTIME utc{};
    GetLocalTime(&local);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    GetSystemTime(&utc);
    const SYSTEMTIME expected = Make(2017, 5, 3 /* Wednesday */, 10, 6, 45, 27, 0);
    EXPECT_TRUE(Same(local, expected));
    EXPECT_TRUE(Same(utc, expected));  // the pinned clock does not advance
    // The variable is read at every call.
    setenv("KV580_FAKE_TIME", "2026-12-11T23:59:59.999", 1);
    GetLocalTime(&local);
    EXPECT_TRUE(Same(local, Make(2026, 12, 5 /* Friday */, 11, 23, 59, 59, 999)));
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_TRUE(Same(back, local));
}

TEST_F(ClockTest, InProcessPinWinsOverTheEnvironment) {
    setenv("KV580_FAKE_TIME", "2017-05-10T06:45:27", 1);
    platform::SetFakeTime(Make(2024, 2, 0, 29, 12, 0, 0, 5));
    SYSTEMTIME t{};
    GetLocalTime(&t);
    EXPECT_TRUE(Same(t, Make(2024, 2, 4 /* Thursday, filled in */, 29, 12, 0, 0, 5)));
    platform::SetFakeTime(std::nullopt);
    GetLocalTime(&t);
    EXPECT_EQ(t.wYear, 2017);
}

TEST_F(ClockTest, UnpinnedClockRuns) {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    EXPECT_GE(t.wYear, 2024);
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    SYSTEMTIME fromFileTime{};
    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &fromFileTime));
    EXPECT_EQ(fromFileTime.wYear, utc.wYear);
    const ULONGLONG a = GetTickCount64();
    Sleep(30);
    const ULONGLONG b = GetTickCount64();
    EXPECT_GE(b - a, 29u);
    EXPECT_LT(b - a, 5000u);
    LARGE_INTEGER f{};
    LARGE_INTEGER c{};
    EXPECT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_TRUE(QueryPerformanceCounter(&c));
    EXPECT_GT(c.QuadPart, 0);
}

TEST_F(ClockTest, ParsesOnlyRealDateTimes) {
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        {"2026-05-10T06:45:00", true},  {"2026-05-10 06:45:00", true},
        {"2024-02-29T00:00:00", true},  {"2026-05-10T06:45:00.123", true},
        {"2023-02-29T00:00:00", false}, {"2026-13-01T00:00:00", false},
        {"2026-05-10T24:00:00", false}, {"2026-05-10T06:60:00", false},
        {"2026-05-10", false},          {"2026-05-10T06:45:00Z", false},
        {"20260510T064500", false},     {"2026-05-10T06:45:0x", false},
        {"1600-01-01T00:00:00", false}, {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(platform::ParseIsoDateTime(c.text).has_value(), c.ok);
    }
}

TEST_F(ClockTest, BadEnvironmentValueFallsBackToTheRealClock) {
    setenv("KV580_FAKE_TIME", "yesterday", 1);
    SYSTEMTIME t{};
    GetLocalTime(&t);
    EXPECT_GE(t.wYear, 2024);
}

TEST_F(ClockTest, FileTimeConversions) {
    struct Case {
        SYSTEMTIME time;
        ULONGLONG ticks;
    };
    const Case cases[] = {
        {Make(1601, 1, 1, 1, 0, 0, 0, 0), 0},
        {Make(1970, 1, 4, 1, 0, 0, 0, 0), 116444736000000000ULL},
        {Make(2000, 2, 2, 29, 12, 30, 15, 250), 125963010152500000ULL},
        {Make(2017, 5, 3, 10, 6, 45, 27, 0), 131388723270000000ULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ticks);
        FILETIME ft{};
        ASSERT_TRUE(SystemTimeToFileTime(&c.time, &ft));
        EXPECT_EQ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime, c.ticks);
        SYSTEMTIME back{};
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
        EXPECT_TRUE(Same(back, c.time));
    }
    SYSTEMTIME bad = Make(2023, 2, 0, 29, 0, 0, 0, 0);
    FILETIME ft{};
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    const FILETIME tooLarge{0, 0x80000000};
    SYSTEMTIME t{};
    EXPECT_FALSE(FileTimeToSystemTime(&tooLarge, &t));
    const FILETIME early{1, 0};
    const FILETIME late{0, 1};
    EXPECT_EQ(CompareFileTime(&early, &late), -1);
    EXPECT_EQ(CompareFileTime(&late, &early), 1);
    EXPECT_EQ(CompareFileTime(&late, &late), 0);
}

TEST_F(ClockTest, LocalFileTimeEqualsSystemTimeWhenPinned) {
    setenv("KV580_FAKE_TIME", "2026-05-10T06:45:00", 1);
    FILETIME utc{};
    FILETIME local{};
    FILETIME again{};
    GetSystemTimeAsFileTime(&utc);
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(CompareFileTime(&utc, &local), 0);
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &again));
    EXPECT_EQ(CompareFileTime(&utc, &again), 0);
}

TEST_F(ClockTest, DosDateAndTime) {
    const SYSTEMTIME t = Make(2017, 5, 3, 10, 6, 45, 27, 500);
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&t, &ft));
    WORD date = 0;
    WORD time = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&ft, &date, &time));
    EXPECT_EQ(date, ((2017 - 1980) << 9) | (5 << 5) | 10);
    EXPECT_EQ(time, (6 << 11) | (45 << 5) | 13);  // seconds in two-second steps
    FILETIME back{};
    ASSERT_TRUE(DosDateTimeToFileTime(date, time, &back));
    SYSTEMTIME b{};
    ASSERT_TRUE(FileTimeToSystemTime(&back, &b));
    EXPECT_EQ(b.wSecond, 26);
    const SYSTEMTIME before = Make(1979, 12, 1, 31, 0, 0, 0, 0);
    ASSERT_TRUE(SystemTimeToFileTime(&before, &ft));
    EXPECT_FALSE(FileTimeToDosDateTime(&ft, &date, &time));
}

}  // namespace
