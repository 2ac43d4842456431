#include "menus/settings_values.h"

#include <tinyxml.h>

#include <gtest/gtest.h>

#include "app/tick_counters.h"
#include "platform/text.h"
#include "store/data_store.h"

namespace menus {
namespace {

TEST(SettingsValues, RefreshIntervalFromFiveMinutesToADay) {
  EXPECT_EQ(EffectiveRefreshSeconds(0), 1801);  // never chosen: as before
  EXPECT_EQ(EffectiveRefreshSeconds(299), 1801);
  EXPECT_EQ(EffectiveRefreshSeconds(300), 300);
  EXPECT_EQ(EffectiveRefreshSeconds(86400), 86400);
  EXPECT_EQ(EffectiveRefreshSeconds(86401), 1801);
  EXPECT_EQ(EffectiveRefreshSeconds(-300), 1801);
  const auto& choices = RefreshChoices();
  EXPECT_EQ(choices.front().seconds, 300);
  EXPECT_EQ(choices.back().seconds, 86400);
  EXPECT_EQ(choices[NearestRefreshChoice(1801)].seconds, 1800);
  EXPECT_EQ(NearestRefreshChoice(1), 0u);
  EXPECT_EQ(NearestRefreshChoice(1000000), choices.size() - 1);
  EXPECT_EQ(choices[NearestRefreshChoice(7000)].seconds, 7200);
}

TEST(SettingsValues, ReadAndWrittenThroughTheManagerSettings) {
  ManagerData m;
  m.refresh_interval = 5;      // out of range: shown as the default
  m.new_widget_place = 9;
  m.new_widget_theme = 7;
  m.new_widget_alpha = 300;
  SettingsValues v = ValuesFrom(m, true);
  EXPECT_TRUE(v.autoStart);
  EXPECT_EQ(v.refreshSeconds, 1801);
  EXPECT_EQ(v.place, kPlaceNormal);
  EXPECT_EQ(v.theme, 0);
  EXPECT_EQ(v.alpha, 0);

  v.refreshSeconds = 600;
  v.place = kPlaceDesktop;
  v.theme = 3;
  v.alpha = 153;
  ApplyTo(v, &m);
  EXPECT_EQ(m.refresh_interval, 600);
  EXPECT_EQ(ValuesFrom(m, false).place, kPlaceDesktop);
  EXPECT_EQ(ValuesFrom(m, false).theme, 3);
  EXPECT_EQ(ValuesFrom(m, false).alpha, 153);
}

TEST(SettingsValues, ThePlaceForNewWidgetsLeavesTheWidgetsThereWhereTheyAre) {
  for (int32_t embedded : {0, 1}) {
    for (int32_t place : {kPlaceNormal, kPlaceOnTop, kPlaceDesktop}) {
      ManagerData m;
      m.embed_desktop = embedded;
      SettingsValues v = ValuesFrom(m, false);
      v.place = place;
      ApplyTo(v, &m);
      EXPECT_EQ(m.embed_desktop, embedded) << "place " << place;
      EXPECT_EQ(m.new_widget_place, place);
    }
  }
}

TEST(SettingsValues, KeptInDataDatAndMissingInAnOlderFile) {
  platform::SetAnsiCodePageForTests(936);
  if (platform::AnsiCodePage() != 936) GTEST_SKIP() << "needs the GBK code page";
  ManagerData m;
  m.refresh_interval = 3600;
  m.new_widget_place = kPlaceOnTop;
  m.new_widget_theme = 2;
  m.new_widget_alpha = 204;
  std::string text = store::BuildDataDocument({m, {}}, store::ScreenSize{1024, 768});
  EXPECT_NE(text.find("<refresh_interval>3600</refresh_interval>"), std::string::npos);
  TiXmlDocument doc;
  ASSERT_EQ(store::ParseDataFile(store::EncodeDataFile(text), &doc), store::LoadStatus::kOk);
  ManagerData back;
  store::ReadSettings(doc.RootElement(), &back);
  EXPECT_EQ(back.refresh_interval, 3600);
  EXPECT_EQ(back.new_widget_place, kPlaceOnTop);
  EXPECT_EQ(back.new_widget_theme, 2);
  EXPECT_EQ(back.new_widget_alpha, 204);

  TiXmlDocument older;
  older.Parse("<config ver=\"1.5\"><ctrl_lclick>1</ctrl_lclick></config>");
  ManagerData old;
  store::ReadSettings(older.RootElement(), &old);
  EXPECT_EQ(old.refresh_interval, 0);
  EXPECT_EQ(EffectiveRefreshSeconds(old.refresh_interval), 1801);
}

TEST(SettingsValues, TheTickFollowsTheChosenInterval) {
  app::TickCounters c;
  c.SetRefreshPeriod(300);
  std::vector<int> refreshes;
  for (int tick = 1; tick <= 1000; ++tick)
    if (c.Tick().refreshAllWidgets) refreshes.push_back(tick);
  ASSERT_EQ(refreshes.size(), 3u);
  EXPECT_EQ(refreshes[0], 301);
  EXPECT_EQ(refreshes[1], 601);
  EXPECT_EQ(refreshes[2], 901);
  // The default period is the one the program always had.
  app::TickCounters d;
  d.SetRefreshPeriod(EffectiveRefreshSeconds(0));
  int first = 0;
  for (int tick = 1; tick <= 2000 && !first; ++tick)
    if (d.Tick().refreshAllWidgets) first = tick;
  EXPECT_EQ(first, 1802);
}

TEST(SettingsValues, OnlyAChosenIntervalPassesFasterInATestBuild) {
  EXPECT_EQ(RefreshPeriodSeconds(600, 1), 600);
  EXPECT_EQ(RefreshPeriodSeconds(600, 60), 10);
  EXPECT_EQ(RefreshPeriodSeconds(300, 1000), 2);  // never a refresh on every tick
  // Never chosen or out of range: the default, whatever the divisor.
  EXPECT_EQ(RefreshPeriodSeconds(0, 60), 1801);
  EXPECT_EQ(RefreshPeriodSeconds(120, 60), 1801);
  EXPECT_EQ(RefreshPeriodSeconds(600, 0), 600);
}

}  // namespace
}  // namespace menus
