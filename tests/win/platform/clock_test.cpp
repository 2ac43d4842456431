// The clock's conversion of a moment to the local wall time, through the system's zone.
#include "platform/clock.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

bool SameMinute(const LocalTime& a, const LocalTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute;
}

TEST(Clock, AMomentReadsOnTheLocalClockAsNowDoes) {
  // Read twice over a minute's turn.
  bool same = false;
  for (int attempt = 0; attempt < 2 && !same; ++attempt) {
    LocalTime now = NowLocal();
    same = SameMinute(LocalFromUnixSeconds(NowUnixSeconds()), now);
  }
  EXPECT_TRUE(same);
  // Before the system's calendar begins: nothing, rather than a wrong day.
  EXPECT_EQ(LocalFromUnixSeconds(-20000000000LL).year, 0);
}

}  // namespace
}  // namespace platform
