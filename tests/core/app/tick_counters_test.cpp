#include "app/tick_counters.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TickCounters, FirstFiringsAndPeriods) {
  app::TickCounters c;
  std::vector<int> adverts, configs;
  for (int tick = 1; tick <= 40000; ++tick) {
    auto a = c.Tick();
    if (a.runAdvertScheduler) adverts.push_back(tick);
    if (a.requestRemoteConfig) configs.push_back(tick);
  }
  ASSERT_GE(adverts.size(), 3u);
  EXPECT_EQ(adverts[0], 12);
  EXPECT_EQ(adverts[1] - adverts[0], 11);
  EXPECT_EQ(adverts[2] - adverts[1], 11);
  ASSERT_EQ(configs.size(), 2u);
  EXPECT_EQ(configs[0], 18002);
  EXPECT_EQ(configs[1], 18002 + 18001);
}

TEST(NetworkWatch, SaysWhenTheNetworkCameBackLookingEveryFewTicks) {
  app::NetworkWatch w;
  std::vector<bool> states = {true, false, false, true, true, false, true};
  size_t next = 0;
  int looks = 0;
  std::vector<int> cameBack;
  for (int tick = 1; tick <= 35; ++tick) {
    if (w.Tick(true, [&] {
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

TEST(NetworkWatch, LooksOnlyWhileSomethingWaitsAndThenStartsAfresh) {
  app::NetworkWatch w;
  int looks = 0;
  bool online = false;
  auto isOnline = [&] {
    ++looks;
    return online;
  };
  for (int tick = 0; tick < 60; ++tick) EXPECT_FALSE(w.Tick(false, isOnline));
  EXPECT_EQ(looks, 0);  // nothing waits: the system is never asked

  for (int tick = 0; tick < 4; ++tick) EXPECT_FALSE(w.Tick(true, isOnline));
  EXPECT_EQ(looks, 0);  // the first look comes a whole period after the wait began
  EXPECT_FALSE(w.Tick(true, isOnline));
  EXPECT_EQ(looks, 1);  // offline

  // The wait ended (the feed answered, say) while offline; the network returned meanwhile.
  // When another wait begins, its first look finds the network up but says nothing: that
  // return was not what the new failure waits for.
  EXPECT_FALSE(w.Tick(false, isOnline));
  online = true;
  bool told = false;
  for (int tick = 0; tick < 5; ++tick) told = w.Tick(true, isOnline) || told;
  EXPECT_EQ(looks, 2);
  EXPECT_FALSE(told);

  online = false;
  for (int tick = 0; tick < 5; ++tick) told = w.Tick(true, isOnline) || told;
  online = true;
  for (int tick = 0; tick < 4; ++tick) told = w.Tick(true, isOnline) || told;
  EXPECT_FALSE(told);
  EXPECT_TRUE(w.Tick(true, isOnline));  // offline, then online on the next look
  EXPECT_EQ(looks, 4);
}

}  // namespace
