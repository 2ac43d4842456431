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

TEST(NetworkWatch, SaysWhenTheNetworkCameBackLookingEveryFewTicks) {
  app::NetworkWatch w;
  std::vector<bool> states = {true, false, false, true, true, false, true};
  size_t next = 0;
  int looks = 0;
  std::vector<int> cameBack;
  for (int tick = 1; tick <= 35; ++tick) {
    if (w.Tick([&] {
          ++looks;
          return states[next++];
        }))
      cameBack.push_back(tick);
  }
  EXPECT_EQ(looks, 7);  // every fifth tick
  // Online at first is no return; offline, offline, online returns on the 4th look; the
  // 7th look comes back after one offline look again.
  EXPECT_EQ(cameBack, (std::vector<int>{20, 35}));
}

}  // namespace
