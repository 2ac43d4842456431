#include <limits.h>
#include <time.h>

#include "platform/clock.h"

namespace platform {
namespace {

LocalTime FromTm(const tm& t, int millisecond) {
  LocalTime r;
  r.year = t.tm_year + 1900;
  r.month = t.tm_mon + 1;
  r.day = t.tm_mday;
  r.hour = t.tm_hour;
  r.minute = t.tm_min;
  r.second = t.tm_sec;
  r.millisecond = millisecond;
  return r;
}

}  // namespace

LocalTime NowLocal() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t{};
  time_t secs = ts.tv_sec;
  localtime_r(&secs, &t);
  return FromTm(t, static_cast<int>(ts.tv_nsec / 1000000) % 1000);
}

LocalTime LocalFromUnixSeconds(int64_t seconds) {
  tm t{};
  time_t secs = static_cast<time_t>(seconds);
  if (!localtime_r(&secs, &t)) return LocalTime();
  return FromTm(t, 0);
}

int64_t UnixSecondsFromLocal(const LocalTime& t) {
  if (t.year < 1601 || t.year > 30827) return -1;
  tm local{};
  local.tm_year = t.year - 1900;
  local.tm_mon = t.month > INT_MIN ? t.month - 1 : t.month;
  local.tm_mday = t.day;
  local.tm_hour = t.hour;
  local.tm_min = t.minute;
  local.tm_sec = t.second;
  local.tm_isdst = -1;  // whichever the zone's rule says for that day
  time_t r = mktime(&local);
  return r == static_cast<time_t>(-1) ? -1 : static_cast<int64_t>(r);
}

int64_t SystemUnixSeconds() { return static_cast<int64_t>(time(nullptr)); }

uint64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec / 1000000);
}

}  // namespace platform
