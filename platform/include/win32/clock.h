// Clock services: local and system time, file times, tick counts, sleeping.
//
// The clock can be pinned for tests: the environment variable KV580_FAKE_TIME (an ISO date and
// time such as "2026-05-10T06:45:00" or "2026-05-10T06:45:00.250", read at every call) or
// platform::SetFakeTime (which wins over the variable) fixes local time; system time is then
// the same value (the simulated machine runs in UTC) and the pinned clock does not advance.
// Tick counts and Sleep always use the real monotonic clock.
#pragma once

#include <optional>
#include <string_view>

#include "win32/types.h"

extern "C" {

void GetLocalTime(LPSYSTEMTIME lpSystemTime);
void GetSystemTime(LPSYSTEMTIME lpSystemTime);
void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void Sleep(DWORD dwMilliseconds);

// FILETIME (100 ns units since 1601-01-01) <-> SYSTEMTIME. FALSE with ERROR_INVALID_PARAMETER
// for values out of range (wDayOfWeek is ignored on input and computed on output).
BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);
BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime);
// MS-DOS date and time (years 1980 to 2107, seconds in two-second steps).
BOOL FileTimeToDosDateTime(const FILETIME* lpFileTime, WORD* lpFatDate, WORD* lpFatTime);
BOOL DosDateTimeToFileTime(WORD wFatDate, WORD wFatTime, LPFILETIME lpFileTime);
LONG CompareFileTime(const FILETIME* a, const FILETIME* b);  // -1, 0 or 1

BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);  // 1 000 000 000 per second

}  // extern "C"

namespace platform {

// Pins the clock for this process (nullopt releases it; KV580_FAKE_TIME then applies again).
void SetFakeTime(std::optional<SYSTEMTIME> time);
// Parses "YYYY-MM-DDTHH:MM:SS[.mmm]" (a space may stand for the T) into a SYSTEMTIME with
// wDayOfWeek filled in. nullopt for anything else or an impossible date.
std::optional<SYSTEMTIME> ParseIsoDateTime(std::string_view text);

}  // namespace platform
