#include "app/program_win.h"

#include <gtest/gtest.h>

#include <ctime>

#include "adverts/adv_popup_wnd_win.h"
#include "adverts/advert_store.h"
#include "feed/default_feeds.h"
#include "widgets/news_notes_win.h"
#include "framework/message_loop_win.h"
#include "platform/text.h"
#include "test_util.h"

namespace {

AdvertRecord DueText(int32_t id, int width) {
  AdvertRecord a;
  a.id = id;
  a.type = adverts::kAdvertText;
  a.position = 2;
  a.width = width;
  a.height = 180;
  a.text = u"今日推荐";
  a.url = u"http://127.0.0.1:9/ad";
  a.starttime = static_cast<int64_t>(std::time(nullptr));
  return a;
}

// A program whose files are in a temporary folder, its window not made.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { fw::AppModule::AddMessageLoop(&loop_); }
  void TearDown() override {
    program_.reset();
    fw::AppModule::RemoveMessageLoop();
  }
  app::Program& Make() {
    const std::u16string folder = platform::Utf8ToU16(dir_.path().string() + "\\");
    program_ = std::make_unique<app::Program>(app::ProgramFolders{folder, folder});
    return *program_;
  }

  fw::MessageLoop loop_;
  testutil::TempDir dir_;
  std::unique_ptr<app::Program> program_;
};

TEST_F(ProgramTest, TwoAdvertsDueTogetherAreShownOneAfterTheOther) {
  app::Program& program = Make();
  adverts::AdvertStore& store = program.adverts();
  adverts::CAdvPopupWnd& popup = program.advertPopup();
  store.AddAdverts({DueText(1, 300), DueText(2, 260)});
  program.RunAdvertsDue();
  ASSERT_TRUE(popup.IsOpen());
  EXPECT_EQ(popup.layout().width, 300);  // the first, not closed by the second
  program.RunAdvertsDue();
  EXPECT_EQ(popup.layout().width, 300);  // still on screen: the second waits
  popup.Close();
  program.RunAdvertsDue();
  ASSERT_TRUE(popup.IsOpen());
  EXPECT_EQ(popup.layout().width, 260);
  EXPECT_EQ(store.storedCount(), 0u);  // both retired
  popup.Close();
}

// The one-second tick runs the advert scheduler on its 12th second, and every 11th after.
TEST_F(ProgramTest, TheTickShowsDueAdvertsOnTheTwelfthSecond) {
  app::Program& program = Make();
  program.adverts().AddAdverts({DueText(1, 300), DueText(2, 260)});
  for (int second = 1; second <= 11; ++second) program.Tick();
  EXPECT_FALSE(program.advertPopup().IsOpen());
  program.Tick();
  ASSERT_TRUE(program.advertPopup().IsOpen());
  EXPECT_EQ(program.advertPopup().layout().width, 300);
  program.advertPopup().Close();
  for (int second = 13; second <= 22; ++second) program.Tick();
  EXPECT_FALSE(program.advertPopup().IsOpen());
  program.Tick();
  ASSERT_TRUE(program.advertPopup().IsOpen());
  EXPECT_EQ(program.advertPopup().layout().width, 260);
  program.advertPopup().Close();
}

// A fresh installation shows its first widget at once, waiting for the configuration to
// name its feed; when the configuration cannot be had, it takes the first built-in feed.
TEST_F(ProgramTest, TheFirstWidgetWaitsForTheConfigurationThenFallsBack) {
  app::Program& program = Make();
  program.LoadData();
  CNotesManager& m = program.manager();
  ASSERT_EQ(m.WidgetList().size(), 1u);
  CNewsNotes* first = m.WaitingFirstWidget();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->rssurl.empty());
  program.ConfigResult(false);
  EXPECT_EQ(m.WaitingFirstWidget(), nullptr);
  ASSERT_EQ(m.WidgetList().size(), 1u);
  ASSERT_FALSE(feed::BuiltInFeeds().empty());
  EXPECT_EQ(first->rssurl, feed::BuiltInFeeds().front().url);
}

// An installation with widgets makes none at start, nor after a failed configuration.
TEST_F(ProgramTest, WidgetsOfTheLastRunAreAllThereIs) {
  app::Program& program = Make();
  program.LoadData();
  CNewsNotes* first = program.manager().WaitingFirstWidget();
  ASSERT_NE(first, nullptr);
  program.ConfigResult(false);
  program.SaveDue();
  program_.reset();
  app::Program& again = Make();
  again.LoadData();
  ASSERT_EQ(again.manager().WidgetList().size(), 1u);
  EXPECT_EQ(again.manager().WaitingFirstWidget(), nullptr);
  again.ConfigResult(false);
  EXPECT_EQ(again.manager().WidgetList().size(), 1u);
}

}  // namespace
