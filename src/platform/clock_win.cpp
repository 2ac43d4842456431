#include <windows.h>

#include <ctime>

#include "platform/clock.h"

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

}  // namespace

LocalTime NowLocal() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return FromSystemTime(st);
}

LocalTime LocalFromUnixSeconds(int64_t seconds) {
  if (seconds < -11644473600LL) return LocalTime();  // before 1601, where FILETIME begins
  // FILETIME counts 100-ns steps from 1601.
  const uint64_t ticks = static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return LocalTime();
  return FromSystemTime(local);
}

int64_t NowUnixSeconds() { return static_cast<int64_t>(time(nullptr)); }

uint64_t MonotonicMs() { return GetTickCount64(); }

}  // namespace platform
