// The clock's conversion of a moment to the local wall time, through the system's zone.
#include "platform/clock_win.h"

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

LocalTime At(int year, int month, int day, int hour, int minute) { return LocalTime{year, month, day, hour, minute}; }

TEST(Clock, ALocalTimeCountsTheSummerTimeOfItsDay) {
  // Central European time: UTC+1, summer time (UTC+2) from the last Sunday of March at
  // 02:00 to the last Sunday of October at 03:00.
  TIME_ZONE_INFORMATION berlin{};
  berlin.Bias = -60;
  berlin.StandardDate.wMonth = 10;
  berlin.StandardDate.wDay = 5;  // the last one of the month
  berlin.StandardDate.wHour = 3;
  berlin.DaylightDate.wMonth = 3;
  berlin.DaylightDate.wDay = 5;
  berlin.DaylightDate.wHour = 2;
  berlin.DaylightBias = -60;
  EXPECT_EQ(UnixSecondsFromLocalIn(&berlin, At(2021, 7, 1, 12, 0)), 1625133600);  // 10:00 UTC
  EXPECT_EQ(UnixSecondsFromLocalIn(&berlin, At(2021, 1, 1, 12, 0)), 1609498800);  // 11:00 UTC
  EXPECT_EQ(UnixSecondsFromLocalIn(&berlin, At(2021, 10, 31, 3, 0)), 1635645600);
  // Fields out of range carry over, as the C library's conversion does.
  EXPECT_EQ(UnixSecondsFromLocalIn(&berlin, At(2020, 13, 1, 12, 0)), 1609498800);
  EXPECT_EQ(UnixSecondsFromLocalIn(&berlin, At(2021, 6, 30, 35, 60)), 1625133600);
  EXPECT_EQ(UnixSecondsFromLocalIn(&berlin, At(1500, 1, 1, 0, 0)), -1);
  EXPECT_EQ(UnixSecondsFromLocalIn(&berlin, At(2021, 1, 2147483647, 0, 0)), -1);
  // In the system's zone, whichever it is, a local time reads back as itself.
  for (const LocalTime& t : {At(2021, 7, 1, 12, 0), At(2021, 1, 1, 12, 0)}) {
    LocalTime back = LocalFromUnixSeconds(UnixSecondsFromLocal(t));
    EXPECT_TRUE(SameMinute(back, t)) << back.hour << ":" << back.minute;
  }
}

}  // namespace
}  // namespace platform
