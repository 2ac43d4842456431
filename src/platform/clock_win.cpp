#include <windows.h>

#include <ctime>

#include "platform/clock_win.h"

namespace platform {
namespace {

LocalTime FromSystemTime(const SYSTEMTIME& st) {
  LocalTime r;
  r.year = st.wYear;
  r.month = st.wMonth;
  r.day = st.wDay;
  r.hour = st.wHour;
  r.minute = st.wMinute;
  r.second = st.wSecond;
  r.millisecond = st.wMilliseconds % 1000;
  return r;
}

constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar (month 1-12).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, int64_t* m, int64_t* d) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = yoe + era * 400 + (*m <= 2 ? 1 : 0);
}

}  // namespace

int64_t UnixSecondsFromLocalIn(const TIME_ZONE_INFORMATION* zone, const LocalTime& t) {
  // Fields carried over into a valid date first: the system's conversion takes none other.
  const int64_t months = static_cast<int64_t>(t.month) - 1;
  const int64_t year = static_cast<int64_t>(t.year) + FloorDiv(months, 12);
  const int64_t wall = (DaysFromCivil(year, months - FloorDiv(months, 12) * 12 + 1, 1) + t.day - 1) * 86400 +
                       static_cast<int64_t>(t.hour) * 3600 + static_cast<int64_t>(t.minute) * 60 + t.second;
  const int64_t days = FloorDiv(wall, 86400);
  const int64_t secondOfDay = wall - days * 86400;
  int64_t y, m, d;
  CivilFromDays(days, &y, &m, &d);
  if (y < 1601 || y > 30827) return -1;
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(y);
  local.wMonth = static_cast<WORD>(m);
  local.wDay = static_cast<WORD>(d);
  local.wHour = static_cast<WORD>(secondOfDay / 3600);
  local.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
  local.wSecond = static_cast<WORD>(secondOfDay % 60);
  // The zone's rule for that day decides between standard and daylight time.
  SYSTEMTIME utc;
  FILETIME ft;
  if (!TzSpecificLocalTimeToSystemTime(zone, &local, &utc) || !SystemTimeToFileTime(&utc, &ft)) return -1;
  const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000ULL) - kSecondsFrom1601To1970;
}

int64_t UnixSecondsFromLocal(const LocalTime& t) { return UnixSecondsFromLocalIn(nullptr, t); }

LocalTime NowLocal() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return FromSystemTime(st);
}

LocalTime LocalFromUnixSeconds(int64_t seconds) {
  if (seconds < -kSecondsFrom1601To1970) return LocalTime();  // before 1601, where FILETIME begins
  // FILETIME counts 100-ns steps from 1601.
  const uint64_t ticks = static_cast<uint64_t>(seconds + kSecondsFrom1601To1970) * 10000000ULL;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return LocalTime();
  return FromSystemTime(local);
}

int64_t SystemUnixSeconds() { return static_cast<int64_t>(time(nullptr)); }

uint64_t MonotonicMs() { return GetTickCount64(); }

}  // namespace platform
