#include <windows.h>

#include <ctime>

#include "platform/clock.h"

namespace platform {

LocalTime NowLocal() {
  SYSTEMTIME st;
  GetLocalTime(&st);
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

int64_t NowUnixSeconds() { return static_cast<int64_t>(time(nullptr)); }

uint64_t MonotonicMs() { return GetTickCount64(); }

}  // namespace platform
