#include "app/advert_wiring_win.h"

#include <gtest/gtest.h>

#include <ctime>

#include "adverts/adv_popup_wnd_win.h"
#include "adverts/advert_store.h"
#include "app/main_dlg_win.h"
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

TEST(AdvertWiring, TwoAdvertsDueTogetherAreShownOneAfterTheOther) {
  fw::MessageLoop loop;
  fw::AppModule::AddMessageLoop(&loop);
  testutil::TempDir dir;
  adverts::AdvertStore store(platform::Utf8ToU16(dir.path().string() + "\\"));
  adverts::CAdvPopupWnd popup([](const std::u16string&) {});
  {
    app::CMainDlg dlg;
    // As the program wires its popup.
    app::AdvertScreen screen;
    screen.show = [&popup](const AdvertRecord& a) { return popup.ShowAdvert(a) != nullptr; };
    screen.isOpen = [&popup] { return popup.IsOpen(); };
    app::InstallAdvertHooks(dlg, &store, screen);
    store.AddAdverts({DueText(1, 300), DueText(2, 260)});
    dlg.hooks().runAdvertScheduler();
    ASSERT_TRUE(popup.IsOpen());
    EXPECT_EQ(popup.layout().width, 300);  // the first, not closed by the second
    dlg.hooks().runAdvertScheduler();
    EXPECT_EQ(popup.layout().width, 300);  // still on screen: the second waits
    popup.Close();
    dlg.hooks().runAdvertScheduler();
    ASSERT_TRUE(popup.IsOpen());
    EXPECT_EQ(popup.layout().width, 260);
    EXPECT_EQ(store.storedCount(), 0u);  // both retired
    popup.Close();
  }
  fw::AppModule::RemoveMessageLoop();
}

}  // namespace
