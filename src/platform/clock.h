// The clock, behind a small interface so that the core can be tested natively.
#pragma once
#include <cstdint>

namespace platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalTime NowLocal();
// The local wall time (by the system's time zone and its daylight-saving rules at that
// moment) of a moment given as seconds since 1970 UTC.
LocalTime LocalFromUnixSeconds(int64_t seconds);
// The moment, as seconds since 1970 UTC, that a local wall time names, by the system's
// time zone and the daylight-saving rule in force on that day. Fields out of range carry
// over (month 13 is January of the next year, minute 60 the next hour). -1 when the
// system cannot place it (before 1601 or far beyond 9999).
int64_t UnixSecondsFromLocal(const LocalTime& t);
// Seconds since 1970 UTC (see ClockScale).
int64_t NowUnixSeconds();
uint64_t MonotonicMs();
// Seconds on a clock that only goes forward, for the refresh schedule (see ClockScale).
int64_t ScheduleSeconds();
// How many times faster than real time NowUnixSeconds and ScheduleSeconds run from their
// first reading: 1, except in a test build (PELINOR_TEST_CLOCK) started with the
// environment variable PELINOR_CLOCK_SCALE set to a number from 2 to 100000, where an
// end-to-end test lives through a day of refreshes in minutes.
int64_t ClockScale();
// The system's own wall clock, never scaled.
int64_t SystemUnixSeconds();

}  // namespace platform
