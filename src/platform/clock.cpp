#include "platform/clock.h"

#include <cstdlib>

namespace platform {
namespace {

struct Scale {
  int64_t factor = 1;
  uint64_t startMs = 0;
  int64_t startUnix = 0;
};

const Scale& TheScale() {
  static const Scale scale = [] {
    Scale s;
#ifdef PELINOR_TEST_CLOCK
    if (const char* v = std::getenv("PELINOR_CLOCK_SCALE")) {
      const long long n = std::strtoll(v, nullptr, 10);
      if (n >= 2 && n <= 100000) s.factor = n;
    }
#endif
    s.startMs = MonotonicMs();
    s.startUnix = SystemUnixSeconds();
    return s;
  }();
  return scale;
}

// Seconds passed since the first reading, scaled.
int64_t ScaledSecondsSinceStart(const Scale& s) {
  return static_cast<int64_t>((MonotonicMs() - s.startMs) * static_cast<uint64_t>(s.factor) / 1000u);
}

}  // namespace

int64_t ClockScale() { return TheScale().factor; }

int64_t NowUnixSeconds() {
  const Scale& s = TheScale();
  if (s.factor == 1) return SystemUnixSeconds();
  return s.startUnix + ScaledSecondsSinceStart(s);
}

int64_t ScheduleSeconds() {
  const Scale& s = TheScale();
  return static_cast<int64_t>(s.startMs / 1000u) + ScaledSecondsSinceStart(s);
}

}  // namespace platform
