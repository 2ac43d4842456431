#include "app/tick_counters.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TickCounters, FirstFiringsAndPeriods) {
  app::TickCounters c;
  std::vector<int> adverts, configs, refreshes;
  for (int tick = 1; tick <= 40000; ++tick) {
    auto a = c.Tick();
    if (a.runAdvertScheduler) adverts.push_back(tick);
    if (a.requestRemoteConfig) configs.push_back(tick);
    if (a.refreshAllWidgets) refreshes.push_back(tick);
  }
  ASSERT_GE(adverts.size(), 3u);
  EXPECT_EQ(adverts[0], 12);
  EXPECT_EQ(adverts[1] - adverts[0], 11);
  EXPECT_EQ(adverts[2] - adverts[1], 11);
  ASSERT_EQ(configs.size(), 2u);
  EXPECT_EQ(configs[0], 18002);
  EXPECT_EQ(configs[1], 18002 + 18001);
  ASSERT_GE(refreshes.size(), 2u);
  EXPECT_EQ(refreshes[0], 1802);
  EXPECT_EQ(refreshes[1] - refreshes[0], 1801);
}

}  // namespace
