#include "menus/settings_values.h"

#include <tinyxml.h>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "store/data_store.h"

namespace menus {
namespace {

TEST(SettingsValues, RefreshIntervalFromFiveMinutesToADay) {
  EXPECT_EQ(EffectiveRefreshSeconds(0), 1800);  // never chosen: as before
  EXPECT_EQ(EffectiveRefreshSeconds(299), 1800);
  EXPECT_EQ(EffectiveRefreshSeconds(300), 300);
  EXPECT_EQ(EffectiveRefreshSeconds(86400), 86400);
  EXPECT_EQ(EffectiveRefreshSeconds(86401), 1800);
  EXPECT_EQ(EffectiveRefreshSeconds(-300), 1800);
  const auto& choices = RefreshChoices();
  EXPECT_EQ(choices.front().seconds, 300);
  EXPECT_EQ(choices.back().seconds, 86400);
  EXPECT_EQ(choices[NearestRefreshChoice(1800)].seconds, 1800);
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
  EXPECT_EQ(v.refreshSeconds, 1800);
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
  EXPECT_EQ(EffectiveRefreshSeconds(old.refresh_interval), 1800);
}

}  // namespace
}  // namespace menus
