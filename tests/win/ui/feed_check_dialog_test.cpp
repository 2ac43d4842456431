// The link input dialog of the program, which looks at a newly typed address before it
// keeps it: a web page stands for the feed it announces, a page without one is refused,
// an address that does not answer is kept only when the user insists. Against a loopback
// server.
#include "win/net/loopback_server.h"  // winsock2.h before windows.h
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/message_loop_win.h"
#include "framework/wstr_win.h"
#include "res/dialogs_res.h"
#include "ui/input_rss_dlg_win.h"
#include "win/ui/dialog_script.h"

namespace {

using wintest::Click;
using wintest::DialogScript;
using wintest::ItemText;
using wintest::LoopbackServer;

class CheckingHost : public ui::LinkDialogHost {
 public:
  ManagerData& Settings() override { return settings; }
  void RequestSave(unsigned) override {}
  void SendSubscribeNotice(const std::u16string& url, const std::u16string& name) override {
    notices.push_back(NewsLink{name, url});
  }
  bool ChecksNewAddresses() override { return true; }
  void NameAfterFeedTitle(const std::u16string& url) override { untitled.push_back(url); }
  ManagerData settings;
  std::vector<NewsLink> notices;
  std::vector<std::u16string> untitled;
};

const char kFeed[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>t</title>"
    "<item><title>一</title><link>http://127.0.0.1/1</link></item></channel></rss>";

class FeedCheckDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { fw::AppModule::AddMessageLoop(&loop_); }
  void TearDown() override { fw::AppModule::RemoveMessageLoop(); }

  // Serves a feed at /feed.xml, a page announcing it (relative to the page) at
  // /news/index.html, and a page without any at /plain.html.
  LoopbackServer server_{[](LoopbackServer&, SOCKET s, const std::string& head) {
    std::string body = "<html><body>nothing</body></html>", type = "text/html";
    if (head.find("GET /feed.xml") == 0) {
      body = kFeed;
      type = "application/rss+xml";
    } else if (head.find("GET /empty.xml") == 0) {
      body = "<rss version=\"2.0\"><channel><title>新博客</title></channel></rss>";
      type = "application/rss+xml";
    } else if (head.find("GET /news/index.html") == 0 || head.find("GET / ") == 0) {
      body = "<html><head><link rel=\"stylesheet\" href=\"a.css\">"
             "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"新闻\" href=\"../feed.xml\"></head>"
             "<body>页面</body></html>";
    } else if (head.find("GET /plain.html") != 0) {
      LoopbackServer::Send(s, LoopbackServer::Response("404 Not Found", "missing"));
      return;
    }
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", body, "Content-Type: " + type + "\r\n"));
  }};
  fw::MessageLoop loop_;
  CheckingHost host_;
};

void Type(HWND d, const std::u16string& name, const std::u16string& url) {
  SetDlgItemTextW(d, IDC_RSS_NAME, as_wcstr(name));
  SetDlgItemTextW(d, IDC_RSS_URL, as_wcstr(url));
  Click(d, IDOK);
}

TEST_F(FeedCheckDialogTest, APagesAddressSubscribesToItsFeed) {
  CInputRssDlg dlg(&host_);
  DialogScript script;
  const std::u16string page = server_.Url("/news/index.html");
  script.On(L"新增订阅源", [&](HWND d) { Type(d, u"新闻站", page); });
  EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
  EXPECT_TRUE(script.finished()) << script.stepsDone();
  EXPECT_EQ(dlg.GetLink(), (NewsLink{u"新闻站", server_.Url("/feed.xml")}));
  ASSERT_EQ(host_.notices.size(), 1u);
  EXPECT_EQ(host_.notices[0].url, server_.Url("/feed.xml"));

  // A feed's own address is kept as typed; a name left empty becomes the feed's title,
  // also when the feed came through its page.
  CInputRssDlg direct(&host_);
  DialogScript script2;
  script2.On(L"新增订阅源", [&](HWND d) { Type(d, u"", server_.Url("/feed.xml")); });
  EXPECT_EQ(direct.DoModal(nullptr), IDOK);
  EXPECT_EQ(direct.GetLink(), (NewsLink{u"t", server_.Url("/feed.xml")}));
  CInputRssDlg viaPage(&host_);
  DialogScript script3;
  script3.On(L"新增订阅源", [&](HWND d) { Type(d, u" ", page); });
  EXPECT_EQ(viaPage.DoModal(nullptr), IDOK);
  EXPECT_EQ(viaPage.GetLink(), (NewsLink{u"t", server_.Url("/feed.xml")}));
  EXPECT_TRUE(host_.untitled.empty());  // nothing left to name later
}

TEST_F(FeedCheckDialogTest, ASitesBareAddressFindsTheFeedItsHomePageAnnounces) {
  // Typed as people type a site: no scheme, no path. The home page's relative "../feed.xml"
  // stays at the root.
  const std::u16string site = server_.Url("").substr(std::u16string(u"http://").size());
  CInputRssDlg dlg(&host_);
  DialogScript script;
  script.On(L"新增订阅源", [&](HWND d) { Type(d, u"站", site); });
  EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
  EXPECT_TRUE(script.finished()) << script.stepsDone();
  EXPECT_EQ(dlg.GetLink(), (NewsLink{u"站", server_.Url("/feed.xml")}));
}

// A feed with nothing in it yet (a new blog) is a feed: its entries come later.
TEST_F(FeedCheckDialogTest, AFeedWithNothingInItYetIsSubscribed) {
  CInputRssDlg dlg(&host_);
  DialogScript script;
  script.On(L"新增订阅源", [&](HWND d) { Type(d, u"", server_.Url("/empty.xml")); });
  EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
  EXPECT_TRUE(script.finished()) << script.stepsDone();
  EXPECT_EQ(dlg.GetLink(), (NewsLink{u"新博客", server_.Url("/empty.xml")}));
}

TEST_F(FeedCheckDialogTest, APageWithoutAFeedIsRefusedAndNothingKept) {
  CInputRssDlg dlg(&host_);
  std::wstring said, urlAfter;
  DialogScript script;
  script.On(L"新增订阅源", [&](HWND d) { Type(d, u"x", server_.Url("/plain.html")); })
      .On(L"提示", [&](HWND box) {
        said = ItemText(box, 0xFFFF);  // the message box's text
        Click(box, IDOK);
      })
      .On(L"新增订阅源", [&](HWND d) {  // back in the dialog, which stays open
        urlAfter = ItemText(d, IDC_RSS_URL);
        Click(d, IDCANCEL);
      });
  EXPECT_EQ(dlg.DoModal(nullptr), IDCANCEL);
  EXPECT_TRUE(script.finished()) << script.stepsDone();
  EXPECT_EQ(said, kNoFeedText);
  EXPECT_EQ(urlAfter, as_wcstr(server_.Url("/plain.html")));
  EXPECT_EQ(dlg.GetLink(), NewsLink());
  EXPECT_TRUE(host_.notices.empty());
}

TEST_F(FeedCheckDialogTest, AnUnansweredAddressIsKeptOnlyWhenTheUserInsists) {
  const std::u16string closed = u"http://127.0.0.1:1/feed.xml";  // port 1 refuses at once
  CInputRssDlg dlg(&host_);
  DialogScript script;
  script.On(L"新增订阅源", [&](HWND d) { Type(d, u"离线", closed); })
      .On(L"提示", [](HWND box) { Click(box, IDNO); })
      .On(L"新增订阅源", [&](HWND d) { Click(d, IDOK); })  // asked again
      .On(L"提示", [](HWND box) { Click(box, IDYES); });
  EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
  EXPECT_TRUE(script.finished()) << script.stepsDone();
  EXPECT_EQ(dlg.GetLink(), (NewsLink{u"离线", closed}));
  EXPECT_EQ(host_.notices.size(), 1u);

  // Kept unread and unnamed: named after its host until a widget reads its title.
  CInputRssDlg unnamed(&host_);
  DialogScript script3;
  script3.On(L"新增订阅源", [&](HWND d) { Type(d, u"", closed); })
      .On(L"提示", [](HWND box) { Click(box, IDYES); });
  EXPECT_EQ(unnamed.DoModal(nullptr), IDOK);
  EXPECT_EQ(unnamed.GetLink(), (NewsLink{u"127.0.0.1", closed}));
  EXPECT_EQ(host_.untitled, (std::vector<std::u16string>{closed}));

  // Editing a link without changing its address asks nothing.
  CInputRssDlg edit(&host_);
  edit.SetLink({u"离线", closed});
  DialogScript script2;
  script2.On(L"编辑订阅源", [&](HWND d) { Type(d, u"改名", closed); });
  EXPECT_EQ(edit.DoModal(nullptr), IDOK);
  EXPECT_TRUE(script2.finished()) << script2.stepsDone();
  EXPECT_EQ(edit.GetLink(), (NewsLink{u"改名", closed}));
}

}  // namespace
