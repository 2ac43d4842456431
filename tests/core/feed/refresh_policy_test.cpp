#include "feed/refresh_policy.h"

#include <gtest/gtest.h>

#include <set>

namespace feed {
namespace {

TEST(RefreshPolicy, IntervalsFromTheWidgetOrTheSettings) {
  EXPECT_EQ(WidgetInterval(0, 0), kDefaultIntervalSeconds);  // nothing chosen anywhere
  EXPECT_EQ(WidgetInterval(0, 7200), 7200);                   // the settings' default
  EXPECT_EQ(WidgetInterval(300, 7200), 300);                  // the widget's own
  EXPECT_EQ(WidgetInterval(299, 7200), 7200);                 // not one a widget may have
  EXPECT_EQ(WidgetInterval(86401, 5), kDefaultIntervalSeconds);
  EXPECT_EQ(WidgetInterval(86400, 0), 86400);
}

TEST(RefreshPolicy, BackOffDoublesUpToTheIntervalAndNeverUndercutsRetryAfter) {
  EXPECT_EQ(RetryWait(1, 3600), 60);
  EXPECT_EQ(RetryWait(2, 3600), 120);
  EXPECT_EQ(RetryWait(6, 3600), 1920);
  EXPECT_EQ(RetryWait(7, 3600), 3600);  // never longer than the interval
  EXPECT_EQ(RetryWait(1000, 3600), 3600);
  EXPECT_EQ(RetryWait(1000, 300), 300);
  EXPECT_EQ(RetryWait(1000, 86400), 86400);
  // A server's Retry-After is waited out even beyond the interval (up to a day).
  EXPECT_EQ(RetryWait(1, 300, 7200), 7200);
  EXPECT_EQ(RetryWait(20, 300, 30), 300);
  EXPECT_EQ(RetryWait(1, 300, 999999), 86400);
  EXPECT_EQ(RetryWait(1, 300, -5), 60);

  EXPECT_EQ(NextDue(1000, 0, 0, 300), 1300);
  EXPECT_EQ(NextDue(1000, 0, 7200, 300), 8200);  // a success that asked for a pause
  EXPECT_EQ(NextDue(1000, 3, 0, 300), 1240);
  EXPECT_EQ(NextDue(1000, 1, 7200, 300), 8200);
}

TEST(RefreshPolicy, FeedsDueTogetherSpreadOverAMinuteInSecondsOfTheirOwn) {
  EXPECT_EQ(SpreadDelay(0, 3), 0);
  EXPECT_EQ(SpreadDelay(1, 3), 20);
  EXPECT_EQ(SpreadDelay(2, 3), 40);
  for (size_t n : {2u, 10u, 60u, 200u}) {
    std::set<int64_t> seconds;
    for (size_t i = 0; i < n; ++i) {
      const int64_t d = SpreadDelay(i, n);
      EXPECT_TRUE(seconds.insert(d).second) << i << " of " << n;
      if (n <= 60) {
        EXPECT_LT(d, kSpreadSeconds);
      }
    }
  }
}

}  // namespace
}  // namespace feed
