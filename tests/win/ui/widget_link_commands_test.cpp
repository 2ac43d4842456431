// The widget menu's "新增订阅" and "管理自定义链接" and the counting of opened links, as
// the widget manager carries them out, on a real feed widget.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include "feed/feed_fetch_win.h"
#include "framework/message_loop_win.h"
#include "framework/wstr_win.h"
#include "platform/text.h"
#include "res/dialogs_res.h"
#include "store/statistics.h"
#include "test_util.h"
#include "ui/input_rss_dlg_win.h"
#include "ui/opml_dialogs_win.h"
#include "widgets/news_notes_win.h"
#include "widgets/notes_manager_win.h"
#include "widgets/widget_geometry.h"
#include "widgets/widget_menu.h"
#include "win/ui/dialog_script.h"
#include "win/win_test_util.h"

namespace {

using wintest::Click;
using wintest::DialogScript;

// Port 1 refuses at once: the new widgets' first retrievals end quickly and quietly.
constexpr char16_t kOwnFeed[] = u"http://127.0.0.1:1/own.xml";
constexpr char16_t kMineFeed[] = u"http://127.0.0.1:1/mine.xml";

// The program around the manager: counts save requests, sends no notices.
class QuietHost : public widgets::ProgramHost {
 public:
  void ScheduleSave(unsigned) override { ++saveRequests; }
  void RemoveWidgetLater(CNewsNotes*) override {}
  void SendSubscribeNotice(const std::u16string&, const std::u16string&) override { ++notices; }
  bool StartFeedRefresh(HWND window, const std::u16string& url, const feed::RefreshOptions& options) override {
    return feeds.Start(window, feed::kFeedResultMessage, as_wcstr(url), options) == 1;
  }
  bool IsAutoStartOn() override { return false; }
  bool SetAutoStart(bool) override { return false; }
  void ShowAbout() override {}
  void OpenHelp() override {}
  void Quit() override {}
  int saveRequests = 0, notices = 0;
  feed::FeedRefresher feeds;
};

class WidgetLinkCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::AppModule::AddMessageLoop(&loop_);
    main_.remote_links = {{u"remote", u"http://127.0.0.1:1/remote.xml"}};
    main_.custom_links = {{u"mine", kMineFeed}};
    widget_ = new CNewsNotes(main_);
    widget_->x = 100;
    widget_->y = 100;
    widget_->rssurl = kOwnFeed;
    widget_->tmpl.bkcolor_id = 3;
    widget_->alpha = 153;
    widget_->ShowWidget();
    main_.AddWidget(widget_);
  }
  void TearDown() override {
    for (CNewsNotes* w : main_.WidgetList())
      wintest::PumpUntil([w] { return !w->refreshing(); }, 5000);
    fw::AppModule::RemoveMessageLoop();
  }

  fw::MessageLoop loop_;
  QuietHost host_;
  CNotesManager main_{host_};  // the manager, as the main window has it
  CNewsNotes* widget_ = nullptr;
};

TEST_F(WidgetLinkCommandsTest, NewSubscriptionMakesAWidgetFromThisOne) {
  DialogScript script;
  script.On(L"选择订阅源", [](HWND d) {
    SendDlgItemMessageW(d, IDC_RSS_COMBO, CB_SETCURSEL, 1, 0);  // after the one remote link: "mine"
    Click(d, IDOK);
  });
  widget_->RunMenuCommand(widgets::kCmdAddSubscription);
  EXPECT_TRUE(script.finished()) << script.stepsDone();
  ASSERT_EQ(main_.WidgetList().size(), 2u);
  CNewsNotes* made = main_.WidgetList().back();
  int x = 0, y = 0;
  widgets::NewWidgetPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), &x, &y);
  EXPECT_EQ(made->rssurl, kMineFeed);
  EXPECT_EQ(made->x, x);
  EXPECT_EQ(made->y, y);
  // This widget was the template: its opacity and colour theme carry over.
  EXPECT_EQ(made->tmpl.bkcolor_id, 3);
  EXPECT_EQ(made->alpha, 153);

  // No valid choice: the new widget takes this widget's own feed. A cancel makes none.
  DialogScript script2;
  script2.On(L"选择订阅源", [](HWND d) {
    SendDlgItemMessageW(d, IDC_RSS_COMBO, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Click(d, IDOK);
  });
  widget_->RunMenuCommand(widgets::kCmdAddSubscription);
  ASSERT_EQ(main_.WidgetList().size(), 3u);
  EXPECT_EQ(main_.WidgetList().back()->rssurl, kOwnFeed);
  // The second new widget does not cover the first.
  RECT first, second, both;
  GetWindowRect(made->hwnd(), &first);
  GetWindowRect(main_.WidgetList().back()->hwnd(), &second);
  EXPECT_FALSE(IntersectRect(&both, &first, &second));
  DialogScript script3;
  script3.On(L"选择订阅源", [](HWND d) { Click(d, IDCANCEL); });
  widget_->RunMenuCommand(widgets::kCmdAddSubscription);
  EXPECT_TRUE(script3.finished());
  EXPECT_EQ(main_.WidgetList().size(), 3u);
}

TEST_F(WidgetLinkCommandsTest, AddedLinkIsOfferedByTheMenuAfterwards) {
  DialogScript script;
  script.On(L"自定义", [](HWND d) { Click(d, IDC_LINK_ADD); })
      .On(L"新增订阅源", [](HWND d) {
        SetDlgItemTextW(d, IDC_RSS_NAME, L"新的");
        SetDlgItemTextW(d, IDC_RSS_URL, L"http://127.0.0.1:1/new.xml");
        Click(d, IDOK);
      })
      // The program looks at a new address first; this one does not answer, and the user
      // keeps it all the same.
      .On(L"提示", [](HWND d) { Click(d, IDYES); })
      .On(L"自定义", [](HWND d) { wintest::PressKey(d, IDC_LINK_LIST, VK_ESCAPE); });
  widget_->RunMenuCommand(widgets::kCmdManageCustom);
  EXPECT_TRUE(script.finished()) << script.stepsDone();
  ASSERT_EQ(main_.custom_links.size(), 2u);
  EXPECT_EQ(main_.custom_links[1].name, u"新的");
  EXPECT_EQ(host_.notices, 1) << "the new link is announced";
  EXPECT_GT(host_.saveRequests, 0);
  // The menu's second custom entry now switches the widget to it.
  widget_->RunMenuCommand(widgets::kCmdCustomFirst + 1);
  EXPECT_EQ(widget_->rssurl, u"http://127.0.0.1:1/new.xml");
}

// The OPML commands' file dialogs and message box, answered by the test.
class ScriptedOpmlDialogs : public ui::OpmlDialogs {
 public:
  bool ChooseExportFile(HWND, std::u16string* p) override { return Choose(p); }
  bool ChooseImportFile(HWND, std::u16string* p) override { return Choose(p); }
  void Tell(HWND, const ui::TransferOutcome& outcome) override { told.push_back(outcome.message); }
  bool Choose(std::u16string* p) {
    ++asked;
    if (path.empty()) return false;
    *p = path;
    return true;
  }
  std::u16string path;  // empty: the user cancels
  int asked = 0;
  std::vector<std::u16string> told;
};

TEST_F(WidgetLinkCommandsTest, ExportedSubscriptionsImportBackIntoTheSameList) {
  testutil::TempDir dir;
  ScriptedOpmlDialogs dialogs;
  main_.SetOpmlDialogs(&dialogs);
  main_.custom_links.push_back({u"新闻 & <更多>", u"http://127.0.0.1:1/more.xml?a=1&b=2"});
  const std::vector<NewsLink> exported = {
      {u"127.0.0.1", kOwnFeed}, {u"mine", kMineFeed}, {u"新闻 & <更多>", u"http://127.0.0.1:1/more.xml?a=1&b=2"}};

  widget_->RunMenuCommand(widgets::kCmdExportOpml);  // cancelled: nothing written, nothing said
  EXPECT_EQ(dialogs.asked, 1);
  EXPECT_TRUE(dialogs.told.empty());
  dialogs.path = platform::Utf8ToU16(dir.file("订阅.opml"));
  widget_->RunMenuCommand(widgets::kCmdExportOpml);
  ASSERT_EQ(dialogs.told.size(), 1u);
  EXPECT_EQ(dialogs.told[0], u"已导出 3 个订阅源。");

  // A program with no custom links takes the whole list back, in order.
  main_.custom_links.clear();
  const int savesBefore = host_.saveRequests;
  widget_->RunMenuCommand(widgets::kCmdImportOpml);
  ASSERT_EQ(dialogs.told.size(), 2u);
  EXPECT_EQ(dialogs.told[1], u"已导入 3 个订阅源，跳过 0 个。");
  EXPECT_EQ(main_.custom_links, exported);
  EXPECT_GT(host_.saveRequests, savesBefore);
  // The menu offers them at once; a second import only finds repeats.
  widget_->RunMenuCommand(widgets::kCmdCustomFirst + 2);
  EXPECT_EQ(widget_->rssurl, u"http://127.0.0.1:1/more.xml?a=1&b=2");
  widget_->RunMenuCommand(widgets::kCmdImportOpml);
  EXPECT_EQ(dialogs.told.back(), u"已导入 0 个订阅源，跳过 3 个。");
  EXPECT_EQ(main_.custom_links, exported);
  main_.SetOpmlDialogs(nullptr);
}

TEST_F(WidgetLinkCommandsTest, OpenedLinksAreCounted) {
  testutil::TempDir dir;
  store::SetStatisticsFolders(u"", platform::Utf8ToU16(dir.path().string() + "\\"));
  main_.CountEvent(store::kEventLinkOpened);
  main_.CountEvent(store::kEventLinkOpened);
  EXPECT_EQ(testutil::ReadAll(dir.file("statistics.dat")), std::string("1=2,\0", 5));
  store::SetStatisticsFolders(u"", u"");
}

}  // namespace
