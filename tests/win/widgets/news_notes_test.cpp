#include "win/net/loopback_server.h"  // winsock2.h before windows.h
#include "widgets/news_notes_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_dlg_win.h"
#include "model/feed_item.h"
#include "widgets/layered_pixels.h"
#include "widgets/news_content.h"
#include "widgets/widget_compose.h"
#include "widgets/widget_env_win.h"
#include "widgets/notes_manager_win.h"
#include "widgets/widget_wiring_win.h"
#include "win/win_test_util.h"

namespace {


std::vector<FeedItem> Items(int n) {
  std::vector<FeedItem> v;
  for (int i = 0; i < n; ++i)
    v.push_back({u"第" + std::u16string(1, u'0' + i % 10) + u"条新闻：桌面订阅测试标题", u"http://127.0.0.1/" + std::u16string(1, u'a' + i)});
  return v;
}

void Deliver(CNewsNotes& w, std::vector<FeedItem>& items) {
  SendMessageW(w.hwnd(), WM_WIDGET_FEED_RESULT, items.size(), reinterpret_cast<LPARAM>(items.data()));
}

uint32_t Pixel(const ui::DibSurface& s, int x, int y) { return s.pixels()[y * s.width() + x]; }

// Writes the widget's image over a light checkerboard to a BMP file, to look at.
void SaveForViewing(const ui::DibSurface& s, const char* name) {
  const int w = s.width(), h = s.height();
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> rows(stride * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t p = Pixel(s, x, y);
      uint32_t a = p >> 24;
      uint32_t bg = ((x / 8 + y / 8) % 2) ? 0xE0 : 0xB0;
      uint8_t* o = &rows[static_cast<size_t>(h - 1 - y) * stride + static_cast<size_t>(x) * 3];
      for (int c = 0; c < 3; ++c) o[c] = static_cast<uint8_t>(((p >> (8 * c)) & 0xFF) + bg * (255 - a) / 255);
    }
  }
  FILE* f = fopen(name, "wb");
  if (!f) return;
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(54 + rows.size()), 0, 0, 54};
  BITMAPINFOHEADER ih{sizeof ih, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  fwrite(&fh, sizeof fh, 1, f);
  fwrite(&ih, sizeof ih, 1, f);
  fwrite(rows.data(), 1, rows.size(), f);
  fclose(f);
}

class NewsNotesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dlg_.Create(nullptr));
    widgets::InstallWidgetHooks(dlg_);
    dlg_.hooks().saveData = [this] { ++saves_; };
  }
  void TearDown() override { DestroyWindow(dlg_.hwnd()); }

  CNewsNotes* Make(uint8_t alpha, int theme) {
    auto* w = new CNewsNotes;
    w->x = 100;
    w->y = 100;
    w->alpha = alpha;
    w->tmpl.bkcolor_id = theme;
    w->SetFont(90, 0, u"宋体");
    w->SetLineSpace(6);
    w->ShowWidget();
    dlg_.AddWidget(w);
    return w;
  }

  app::CMainDlg dlg_;
  int saves_ = 0;
};

TEST_F(NewsNotesTest, FaintBackgroundOpaqueText) {
  CNewsNotes* w = Make(51, 6);
  ASSERT_TRUE(w->ready());
  auto items = Items(3);
  Deliver(*w, items);
  w->Compose();
  const ui::DibSurface& a = w->surface();
  const ui::DibSurface& b = w->markSurface();
  ASSERT_TRUE(a.ready());
  EXPECT_EQ(a.width(), w->width);
  size_t text = 0;
  for (size_t i = 0; i < a.count(); ++i) {
    if (widgets::Touched(b.pixels()[i])) {
      ++text;
      ASSERT_EQ(a.pixels()[i] >> 24, 255u) << "text pixel " << i;
    } else {
      ASSERT_LE(a.pixels()[i] >> 24, 51u) << "background pixel " << i;
    }
  }
  EXPECT_GT(text, 300u);  // three lines of Chinese text were drawn
  EXPECT_EQ(Pixel(a, 5, a.height() - 12) >> 24, 51u);  // the body near the bottom-left
  SaveForViewing(a, "widget_alpha51.bmp");
  w->SetAlpha(255);
  w->Compose();
  SaveForViewing(w->surface(), "widget_alpha255.bmp");
}

TEST_F(NewsNotesTest, ThemeTwoPaintsAndStores) {
  CNewsNotes* w = Make(255, 6);
  EXPECT_FALSE(w->ApplyColorTheme(9));
  EXPECT_EQ(w->tmpl.bkcolor_id, 6);
  w->RunMenuCommand(0x1081);  // "绿色"
  EXPECT_EQ(w->tmpl.bkcolor_id, 2);
  w->Compose();
  EXPECT_EQ(Pixel(w->surface(), 20, 20), widgets::OpaquePixel(0xC1F7C5));
  w->RunMenuCommand(0x2005);  // "20%"
  EXPECT_EQ(w->alpha, 51);
  EXPECT_EQ(w->GetAlpha(), 51);
}

TEST_F(NewsNotesTest, ButtonsOnlyOnHover) {
  CNewsNotes* w = Make(255, 6);
  w->Compose();
  const widgets::Rect r = w->rects().refresh;
  const int cx = (r.left + r.right) / 2 - 6, cy = (r.top + r.bottom) / 2;  // on the arrow's arc
  const uint32_t strip = widgets::OpaquePixel(0xF8ECC9);
  EXPECT_EQ(Pixel(w->surface(), cx, cy), strip);
  SendMessageW(w->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(30, 60));
  w->Compose();
  EXPECT_NE(Pixel(w->surface(), cx, cy), strip);
  const widgets::Rect m = w->rects().menu;
  EXPECT_NE(Pixel(w->surface(), (m.left + m.right) / 2, m.top + 2), strip);
  SaveForViewing(w->surface(), "widget_hover.bmp");
  SendMessageW(w->hwnd(), WM_MOUSELEAVE, 0, 0);
  w->Compose();
  EXPECT_EQ(Pixel(w->surface(), cx, cy), strip);
}

TEST_F(NewsNotesTest, SizesFollowTheFeedAndIdenticalResultsSaveNothing) {
  CNewsNotes* w = Make(200, 6);
  w->advlink_title = u"推广链接";
  w->advlink_url = u"http://127.0.0.1/ad";
  auto items = Items(25);
  Deliver(*w, items);
  EXPECT_EQ(w->items().size(), 11u);
  EXPECT_EQ(w->width, 250);  // short titles
  RECT rc;
  GetWindowRect(w->hwnd(), &rc);
  EXPECT_EQ(rc.right - rc.left, 250);
  EXPECT_EQ(rc.bottom - rc.top, w->height);
  EXPECT_EQ(w->height, w->engine()->GetContentHeight() + 60);
  EXPECT_NE(w->GetContent().find(u"推广链接"), std::u16string::npos);

  // The same feed again asks for no save. Counted during the delivery itself: a save
  // requested later may come from activation changes caused by other programs' windows.
  int scheduled = 0;
  dlg_.hooks().saveScheduled = [&scheduled](UINT) { ++scheduled; };
  Deliver(*w, items);
  dlg_.hooks().saveScheduled = nullptr;
  EXPECT_EQ(scheduled, 0);

  std::vector<FeedItem> one = {{std::u16string(120, u'宽'), u"http://127.0.0.1/w"}};
  dlg_.hooks().saveScheduled = [&scheduled](UINT) { ++scheduled; };
  Deliver(*w, one);
  dlg_.hooks().saveScheduled = nullptr;
  EXPECT_GT(scheduled, 0) << "a changed feed is saved";
  EXPECT_EQ(w->width, 700);
  EXPECT_GE(w->height, 80);
}

TEST_F(NewsNotesTest, ClampsCloseAndFailures) {
  auto* w = new CNewsNotes;
  w->width = 50;
  w->height = 1000;
  w->ShowWidget();
  dlg_.AddWidget(w);
  RECT rc;
  GetWindowRect(w->hwnd(), &rc);
  EXPECT_EQ(rc.right - rc.left, 100);
  EXPECT_EQ(rc.bottom - rc.top, 600);
  SendMessageW(w->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(w->hwnd()));

  SendMessageW(w->hwnd(), WM_WIDGET_FEED_RESULT, static_cast<WPARAM>(-3), 0);
  ASSERT_TRUE(w->lastToast());
  wchar_t text[64] = {};
  GetWindowTextW(w->lastToast(), text, 64);
  EXPECT_STREQ(text, L"读取失败！访问服务器失败");
  EXPECT_TRUE(w->items().empty());
}

TEST_F(NewsNotesTest, ManagerListAndRemoval) {
  CNewsNotes* a = Make(200, 1);
  CNewsNotes* b = Make(200, 2);
  CNewsNotes* c = Make(200, 3);
  HWND bw = b->hwnd();
  CNewsNotes stranger;
  dlg_.RemoveWidget(&stranger);  // not in the list: nothing happens
  EXPECT_EQ(dlg_.WidgetList().size(), 3u);
  // "取消订阅" posts the removal to the main window.
  b->RunMenuCommand(4);
  wintest::PumpFor(50);
  ASSERT_EQ(dlg_.WidgetList().size(), 2u);
  EXPECT_EQ(dlg_.WidgetList()[0], a);
  EXPECT_EQ(dlg_.WidgetList()[1], c);
  EXPECT_FALSE(IsWindow(bw));

  using wintest::LoopbackServer;
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string&) {
    LoopbackServer::Send(s, LoopbackServer::Response(
        "200 OK", "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel>"
                  "<item><title>one</title><link>http://127.0.0.1/1</link></item>"
                  "<item><title>two</title><link>http://127.0.0.1/2</link></item></channel></rss>"));
  });
  CNewsNotes* made = dlg_.CreateFeedWidget(server.Url("/feed.xml"), 40, 50, c);
  EXPECT_EQ(dlg_.WidgetList().back(), made);
  EXPECT_EQ(made->tmpl.bkcolor_id, 3);
  EXPECT_EQ(made->font_size, 90);
  EXPECT_EQ(made->linespace, 6);
  EXPECT_TRUE(made->refreshing());  // its first retrieval started, and it arrives
  EXPECT_TRUE(wintest::PumpUntil([&] { return made->items().size() == 2; }, 15000));
  EXPECT_EQ(CNotesManager::CanEmbedInDesktop(), 0);
}

TEST_F(NewsNotesTest, FirstRunTipPointsAtTheMenuButton) {
  dlg_.first_run = 1;
  CNewsNotes* w = Make(200, 6);
  EXPECT_EQ(dlg_.first_run, 0);  // only the first widget window shows it
  ASSERT_TRUE(w->firstRunTipShown());
  HWND tip = w->firstRunTipWindow();
  ASSERT_TRUE(tip);
  RECT tr, wr;
  GetWindowRect(tip, &tr);
  GetWindowRect(w->hwnd(), &wr);
  EXPECT_EQ(tr.top, wr.top + 30);
  EXPECT_EQ(tr.right - tr.left, 200);
  EXPECT_EQ(tr.left, wr.right - 20);  // room on the right of a widget at x 100
  // The buttons stay visible while the tip points at them, mouse or not.
  w->Compose();
  const widgets::Rect m = w->rects().menu;
  EXPECT_NE(Pixel(w->surface(), (m.left + m.right) / 2, m.top + 2), widgets::OpaquePixel(0xF8ECC9));
  CNewsNotes* second = Make(200, 6);
  EXPECT_FALSE(second->firstRunTipShown());
  w->ResizeTo(300, 200);  // the tip follows the widget's right edge
  GetWindowRect(tip, &tr);
  GetWindowRect(w->hwnd(), &wr);
  EXPECT_EQ(tr.left, wr.right - 20);
}

TEST_F(NewsNotesTest, HostileFeedTextStaysText) {
  CNewsNotes* w = Make(255, 6);
  std::vector<FeedItem> items = {
      {u"<a href=\"file:///C:/evil.exe\">点我</a><img src=\"C:\\x.png\" width=\"9\" height=\"9\"/>",
       u"http://127.0.0.1/a\"><a href=\"file:///C:/evil.exe"},
      {u"正常标题", u"http://127.0.0.1/b"}};
  Deliver(*w, items);
  richtext::CRichDrawWin* e = w->engine();
  int images = 0, lines = 0;
  for (int i = 0; i < e->GetItemCount(); ++i) {
    const richtext::RichItem& it = e->GetItem(i);
    if (!it.IsText()) ++images;
    if (it.ch == u'\n') ++lines;
    // Every link is one of the two items' own (the first percent-encoded): the feed
    // made no link of its own.
    if (it.link) {
      EXPECT_TRUE(*it.link == widgets::LinkAsHref(items[0].link) || *it.link == items[1].link);
    }
  }
  EXPECT_EQ(images, 0);
  EXPECT_EQ(lines, 2);
  EXPECT_NE(w->GetContent().find(u"＜a href"), std::u16string::npos);
}

TEST_F(NewsNotesTest, StackingFollowsTheTopmostFlag) {
  CNewsNotes* w = Make(200, 6);
  EXPECT_FALSE(GetWindowLongW(w->hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  w->SetTopmost(1);
  EXPECT_TRUE(GetWindowLongW(w->hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetParent(w->hwnd()), nullptr);
  dlg_.embed_desktop = 1;  // no embedding on this system version, whatever the setting says
  w->SetTopmost(0);
  EXPECT_FALSE(GetWindowLongW(w->hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetParent(w->hwnd()), nullptr);
  EXPECT_EQ(w->topmost, 0);
  w->MoveTo(321, 123);
  RECT rc;
  GetWindowRect(w->hwnd(), &rc);
  EXPECT_EQ(rc.left, 321);
  EXPECT_EQ(rc.top, 123);
  int saves = saves_;
  EXPECT_TRUE(wintest::PumpUntil([&] { return saves_ > saves; }, 5000));  // one deferred save
}

TEST_F(NewsNotesTest, CtrlClickRuleAndCornerGesture) {
  CNewsNotes* w = Make(255, 6);
  std::vector<FeedItem> items = {{u"一条不能打开的链接", u"ftp://127.0.0.1/x"}};
  Deliver(*w, items);
  // A point on the link.
  POINT on{-1, -1};
  for (int y = 39; y < 60 && on.x < 0; ++y)
    for (int x = 12; x < 120 && on.x < 0; ++x)
      if (w->engine()->GetLinkAt(x, y, nullptr)) on = {x, y};
  ASSERT_GE(on.x, 0);
  int opened = 0;
  auto saved = widgets::GetWidgetHooks().countEvent;
  widgets::GetWidgetHooks().countEvent = [&](int event) { opened += event == 1; };
  auto press = [&](WPARAM keys) { SendMessageW(w->hwnd(), WM_LBUTTONDOWN, keys, MAKELPARAM(on.x, on.y)); };

  dlg_.ctrl_lclick = 1;
  press(MK_LBUTTON);
  EXPECT_EQ(opened, 0);  // only the hint
  press(MK_LBUTTON | MK_CONTROL | MK_SHIFT);
  EXPECT_EQ(opened, 0);
  press(MK_LBUTTON | MK_CONTROL);
  EXPECT_EQ(opened, 1);  // counted; the ftp address itself is refused and logged
  dlg_.ctrl_lclick = 0;
  press(MK_LBUTTON);
  EXPECT_EQ(opened, 2);
  widgets::GetWidgetHooks().countEvent = saved;

  dlg_.usecount = 9;
  for (int i = 0; i < 4; ++i) SendMessageW(w->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(dlg_.usecount, 9);
  SendMessageW(w->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(dlg_.usecount, 0);
}

TEST_F(NewsNotesTest, KeysReachTheEngineWhichStaysReadOnly) {
  CNewsNotes* w = Make(255, 6);
  std::vector<FeedItem> items = Items(3);
  Deliver(*w, items);
  richtext::CRichDrawWin* e = w->engine();
  auto chars = [e] {
    std::u16string s;
    for (int i = 0; i < e->GetItemCount(); ++i) s += e->GetItem(i).ch;
    return s;
  };
  const std::u16string before = chars();
  // Ctrl held for this thread while the keys are sent.
  BYTE keys[256];
  ASSERT_TRUE(GetKeyboardState(keys));
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageW(w->hwnd(), WM_KEYDOWN, 'A', 0);
  SendMessageW(w->hwnd(), WM_KEYDOWN, 'C', 0);
  SendMessageW(w->hwnd(), WM_KEYDOWN, 'X', 0);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_TRUE(IsClipboardFormatAvailable(513));
  HANDLE text = GetClipboardData(CF_UNICODETEXT);
  std::wstring copied = text ? static_cast<const wchar_t*>(GlobalLock(text)) : L"";
  if (text) GlobalUnlock(text);
  CloseClipboard();
  EXPECT_NE(copied.find(reinterpret_cast<const wchar_t*>(items[1].title.c_str())), std::wstring::npos);
  // Typing into a widget changes nothing.
  SendMessageW(w->hwnd(), WM_CHAR, 'z', 0);
  SendMessageW(w->hwnd(), WM_KEYDOWN, VK_DELETE, 0);
  SendMessageW(w->hwnd(), WM_KEYDOWN, VK_BACK, 0);
  EXPECT_EQ(chars(), before);
}

}  // namespace

