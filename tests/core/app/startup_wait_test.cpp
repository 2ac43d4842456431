#include "app/startup_wait.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Step = app::StartupWait::Step;

TEST(StartupWait, OfflineForHalfAMinuteGivesTheFallbackOnceThenWaitsOnForTheRequest) {
  app::StartupWait w;
  std::vector<int> fallbacks;
  for (int second = 1; second <= 70; ++second) {
    const Step s = w.Tick(false);
    EXPECT_NE(s, Step::kRequestConfig);
    if (s == Step::kFallbackWidget) fallbacks.push_back(second);
  }
  EXPECT_EQ(fallbacks, std::vector<int>{app::StartupWait::kFallbackAfterOfflineTicks});
  EXPECT_FALSE(w.over());
  EXPECT_EQ(w.Tick(true), Step::kRequestConfig);
  EXPECT_TRUE(w.over());
  // Over: nothing more, whatever the network does.
  EXPECT_EQ(w.Tick(true), Step::kWait);
  EXPECT_EQ(w.Tick(false), Step::kWait);
}

TEST(StartupWait, OnlineAtOnceAsksAtOnceAndNeverFallsBack) {
  app::StartupWait w;
  EXPECT_EQ(w.Tick(true), Step::kRequestConfig);
  for (int second = 0; second < 40; ++second) EXPECT_EQ(w.Tick(false), Step::kWait);
  EXPECT_EQ(app::StartupWait::Query("1%3D12%2C"), "run=1&stat=1%3D12%2C");
  EXPECT_EQ(app::StartupWait::Query(""), "run=1&stat=");
}

}  // namespace
