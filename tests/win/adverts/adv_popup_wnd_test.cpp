#include "win/net/loopback_server.h"

#include "adverts/adv_popup_wnd_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/dib_surface_win.h"
#include "win/win_test_util.h"

namespace adverts {
namespace {

using wintest::LoopbackServer;

uint32_t Rgb(const ui::DibSurface& s, int x, int y) { return s.pixels()[y * s.width() + x] & 0xFFFFFF; }

AdvertRecord TextAdvert(int id, int showtimeMs) {
  AdvertRecord a;
  a.id = id;
  a.type = kAdvertText;
  a.position = 2;
  a.showtime = showtimeMs;
  a.title = u"今日推荐";
  a.text = u"<font color=\"#000000\">桌面订阅新版发布</font><br><a href=\"http://127.0.0.1:9/news\">了解更多</a>";
  a.url = u"http://127.0.0.1:9/ad";
  return a;
}

struct Opened {
  std::vector<std::u16string> addresses;
  OpenInBrowser opener() {
    return [this](const std::u16string& a) { addresses.push_back(a); };
  }
};

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

TEST(AdvPopupWnd, TextAdvertSlidesUpAtTheLowerRightPaintsItsPartsAndFadesAway) {
  Opened opened;
  CAdvPopupWnd popup(opened.opener());
  HWND hwnd = popup.ShowAdvert(TextAdvert(7, 1000));
  ASSERT_TRUE(hwnd);
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & WS_POPUP, static_cast<LONG>(WS_POPUP));
  const LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
  EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST),
            static_cast<LONG>(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  RECT r;
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.top, sh);  // starts below the screen
  ASSERT_TRUE(wintest::PumpUntil([&] { return popup.animation()->phase() == PopupPhase::kShown; }, 3000));
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.left, sw - 250 - 20);
  EXPECT_EQ(r.top, sh - 180 - 40);
  EXPECT_EQ(r.right - r.left, 250);
  EXPECT_EQ(r.bottom - r.top, 180);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  wchar_t title[32] = {};
  GetWindowTextW(hwnd, title, 32);
  EXPECT_STREQ(title, L"今日推荐");

  ui::DibSurface dib;
  ASSERT_TRUE(dib.Resize(nullptr, 250, 180));
  popup.PaintTo(dib.dc());
  GdiFlush();
  EXPECT_EQ(Rgb(dib, 10, 180 - 10), 0xF3F4F5u);   // bottom bar
  EXPECT_EQ(Rgb(dib, 0, 90), 0xDCDCDCu);          // frame, left edge
  EXPECT_EQ(Rgb(dib, 125, 179), 0xDCDCDCu);       // frame, bottom edge
  EXPECT_EQ(Rgb(dib, 249, 90), 0xDCDCDCu);        // frame, right edge
  EXPECT_EQ(Rgb(dib, 8, 180 - 34), 0xCDCDCDu);    // first dot of the dotted line
  EXPECT_EQ(Rgb(dib, 60, 100), 0xFFFFFFu);        // white body
  const uint32_t top = Rgb(dib, 100, 2), bottom = Rgb(dib, 100, 34);
  EXPECT_LE(top >> 16, 0xEBu);                    // the title gradient starts grey...
  EXPECT_GE(bottom >> 16, 0xFBu);                 // ...and ends white
  // The close cross (image 303) is drawn in its button; the view text in blue.
  bool cross = false, blue = false, text = false;
  for (int y = 2; y < 17; ++y)
    for (int x = 250 - 41 + 12; x < 250 - 41 + 27; ++x) cross |= Rgb(dib, x, y) < 0xA0A0A0u;
  for (int y = 180 - 25; y < 180 - 8; ++y)
    for (int x = 250 - 50; x < 250; ++x) {
      uint32_t p = Rgb(dib, x, y);
      blue |= (p & 0xFF) > ((p >> 16) & 0xFF) + 40;
    }
  for (int y = 35; y < 143; ++y)
    for (int x = 20; x < 230; ++x) text |= Rgb(dib, x, y) < 0x808080u;
  EXPECT_TRUE(cross);
  EXPECT_TRUE(blue);
  EXPECT_TRUE(text);

  // 1000 ms shows it for two seconds, then it fades out and is destroyed.
  EXPECT_TRUE(wintest::PumpUntil([&] { return !IsWindow(hwnd); }, 6000));
  EXPECT_FALSE(popup.IsOpen());
  EXPECT_TRUE(opened.addresses.empty());
}

TEST(AdvPopupWnd, HoverHoldsTheCountdownAndTheCloseButtonSlidesItDown) {
  CAdvPopupWnd popup(Opened().opener());
  HWND hwnd = popup.ShowAdvert(TextAdvert(8, 1000));
  ASSERT_TRUE(hwnd);
  SendMessageW(hwnd, WM_MOUSEHOVER, 0, Point(60, 60));
  EXPECT_FALSE(popup.animation()->countingDown());
  wintest::PumpFor(2500);
  EXPECT_TRUE(IsWindow(hwnd));  // held while the pointer rests on it
  EXPECT_EQ(popup.animation()->secondsLeft(), 2);
  SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(popup.animation()->countingDown());
  ASSERT_TRUE(wintest::PumpUntil([&] { return popup.animation()->phase() == PopupPhase::kShown; }, 3000));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, Point(250 - 20, 10));  // the close button
  EXPECT_TRUE(popup.animation()->closingBySlide());
  EXPECT_TRUE(wintest::PumpUntil([&] { return !IsWindow(hwnd); }, 3000));
}

TEST(AdvPopupWnd, ClicksOpenOnlyWebAddressesInTheBrowserAndANewAdvertReplacesTheOld) {
  Opened opened;
  CAdvPopupWnd popup(opened.opener());
  AdvertRecord a = TextAdvert(9, 0);
  a.url = u"file:///C:/windows/system32/calc.exe";
  HWND first = popup.ShowAdvert(a);
  ASSERT_TRUE(first);
  SendMessageW(first, WM_LBUTTONUP, 0, Point(250 - 40, 180 - 16));  // the view button
  EXPECT_TRUE(opened.addresses.empty());
  EXPECT_TRUE(IsWindow(first));  // refused: the popup stays

  a.url = u"http://127.0.0.1:9/ad";
  HWND second = popup.ShowAdvert(a);
  ASSERT_TRUE(second);
  EXPECT_FALSE(IsWindow(first));
  SendMessageW(second, WM_LBUTTONUP, 0, Point(250 - 40, 180 - 16));
  ASSERT_EQ(opened.addresses.size(), 1u);
  EXPECT_EQ(opened.addresses[0], u"http://127.0.0.1:9/ad");
  EXPECT_FALSE(IsWindow(second));  // closes at once after opening
}

TEST(AdvPopupWnd, AWebPageOutsideTheWebIsNeverShown) {
  CAdvPopupWnd popup(Opened().opener());
  AdvertRecord a = TextAdvert(10, 5000);
  a.type = kAdvertWebPage;
  for (const char16_t* page : {u"adv\\page.html", u"page.html", u"file:///C:/page.html", u"javascript:1"}) {
    a.htmlurl = page;
    EXPECT_EQ(popup.ShowAdvert(a), nullptr);
    EXPECT_FALSE(popup.IsOpen());
  }
}

// A solid 24-bit BMP of w x h in the temporary folder; returns its path.
std::u16string WriteBmp(const wchar_t* name, int w, int h, COLORREF colour) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  std::wstring path = std::wstring(folder) + name;
  const int stride = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{sizeof ih, w, h, 1, 24, BI_RGB};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + stride * h;
  std::string row(stride, '\0');
  for (int x = 0; x < w; ++x) {
    row[x * 3] = static_cast<char>(GetBValue(colour));
    row[x * 3 + 1] = static_cast<char>(GetGValue(colour));
    row[x * 3 + 2] = static_cast<char>(GetRValue(colour));
  }
  FILE* f = _wfopen(path.c_str(), L"wb");
  fwrite(&fh, sizeof fh, 1, f);
  fwrite(&ih, sizeof ih, 1, f);
  for (int y = 0; y < h; ++y) fwrite(row.data(), 1, row.size(), f);
  fclose(f);
  return std::u16string(path.begin(), path.end());
}

TEST(AdvPopupWnd, PicturesSitCentredOrScaledInTheirBoxAndAClickOpensTheAdvert) {
  Opened opened;
  CAdvPopupWnd popup(opened.opener());
  AdvertRecord a = TextAdvert(13, 0);
  a.type = kAdvertPicture;
  a.pic = WriteBmp(L"adv_small.bmp", 40, 20, RGB(255, 0, 0));
  HWND hwnd = popup.ShowAdvert(a);
  ASSERT_TRUE(hwnd);
  ui::DibSurface dib;
  ASSERT_TRUE(dib.Resize(nullptr, 250, 180));
  popup.PaintTo(dib.dc());
  GdiFlush();
  // Content (20, 35)-(230, 143): a picture that fits keeps its size, centred.
  EXPECT_EQ(Rgb(dib, 105, 79), 0xFF0000u);
  EXPECT_EQ(Rgb(dib, 144, 98), 0xFF0000u);
  EXPECT_EQ(Rgb(dib, 104, 79), 0xFFFFFFu);
  EXPECT_EQ(Rgb(dib, 145, 79), 0xFFFFFFu);
  EXPECT_EQ(Rgb(dib, 105, 99), 0xFFFFFFu);

  // Picture and text: a wide picture is scaled into the square left of the text.
  a.type = kAdvertPictureText;
  a.pic = WriteBmp(L"adv_wide.bmp", 400, 100, RGB(0, 0, 255));
  hwnd = popup.ShowAdvert(a);
  ASSERT_TRUE(hwnd);
  popup.PaintTo(dib.dc());
  GdiFlush();
  // The square is 86 x 86 at (20, 35); 400 x 100 becomes 86 x 21, centred in it.
  EXPECT_EQ(Rgb(dib, 60, 77), 0x0000FFu);
  EXPECT_EQ(Rgb(dib, 60, 60), 0xFFFFFFu);
  EXPECT_EQ(Rgb(dib, 110, 77), 0xFFFFFFu);
  bool text = false;
  for (int y = 35; y < 143; ++y)
    for (int x = 116; x < 230; ++x) text |= Rgb(dib, x, y) < 0x808080u;
  EXPECT_TRUE(text);
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(60, 77));
  ASSERT_EQ(opened.addresses.size(), 1u);
  EXPECT_EQ(opened.addresses[0], u"http://127.0.0.1:9/ad");
  EXPECT_FALSE(IsWindow(hwnd));

  // A picture that cannot be read leaves its place empty.
  a.type = kAdvertPicture;
  a.pic = u"C:\\no\\such\\picture.png";
  hwnd = popup.ShowAdvert(a);
  ASSERT_TRUE(hwnd);
  popup.PaintTo(dib.dc());
  GdiFlush();
  EXPECT_EQ(Rgb(dib, 125, 89), 0xFFFFFFu);
  popup.Close();
}

struct Receiver : IWebBrowserEvent {
  std::vector<long> errors;
  int completed = 0;
  void OnDocumentComplete(const std::u16string&) override { ++completed; }
  void OnNavigateError(const std::u16string&, long status, bool* cancel) override {
    errors.push_back(status);
    *cancel = true;
  }
};

LoopbackServer::Handler Page() {
  return [](LoopbackServer&, SOCKET s, const std::string&) {
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", "<html><body>ad</body></html>"));
  };
}

bool Requested(LoopbackServer& server, const std::string& path) {
  for (const std::string& head : server.heads())
    if (head.rfind("GET " + path + " ", 0) == 0) return true;
  return false;
}

TEST(WebBrowserCtrl, HostsTheControlNavigatesOnlyTheWebAndReportsTheOutcome) {
  LoopbackServer server(Page());
  HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(parent);
  CWebBrowserCtrl browser;
  Receiver receiver;
  browser.SetEventReceiver(&receiver);
  EXPECT_EQ(browser.Navigate(server.Url("/early.html")), 0);  // no browser yet
  ASSERT_EQ(browser.Create(parent, RECT{5, 35, 245, 143}), 1);
  HWND host = browser.GetHostWindow();
  ASSERT_TRUE(IsWindow(host));
  EXPECT_EQ(GetParent(host), parent);
  RECT r;
  GetWindowRect(host, &r);
  EXPECT_EQ(r.right - r.left, 240);
  EXPECT_EQ(browser.Navigate(u"file:///C:/windows/win.ini"), 0);
  EXPECT_EQ(browser.Navigate(u"adv\\page.html"), 0);
  ASSERT_EQ(browser.Navigate(server.Url("/page.html?id=3")), 1);
  EXPECT_EQ(browser.GetNavigateError(), 0);
  // The request reaches the server; the page then completes or, where the system has no
  // HTML engine, fails: either way the receiver hears of it.
  EXPECT_TRUE(wintest::PumpUntil([&] { return Requested(server, "/page.html?id=3"); }, 20000));
  EXPECT_TRUE(wintest::PumpUntil([&] { return receiver.completed > 0 || !receiver.errors.empty(); }, 35000));
  if (!receiver.errors.empty()) {
    EXPECT_NE(browser.GetNavigateError(), 0);
  }
  browser.Close();
  EXPECT_FALSE(IsWindow(host));
  EXPECT_FALSE(browser.HasBrowser());
  DestroyWindow(parent);
}

TEST(AdvPopupWnd, WebPageAdvertHostsTheBrowserHiddenAndClosesWhenThePageFails) {
  LoopbackServer server(Page());
  CAdvPopupWnd popup(Opened().opener());
  AdvertRecord a = TextAdvert(11, 5000);
  a.type = kAdvertWebPage;
  a.htmlurl = server.Url("/ad/page.html");
  HWND hwnd = popup.ShowAdvert(a);
  ASSERT_TRUE(hwnd);
  EXPECT_FALSE(IsWindowVisible(hwnd));  // hidden until its page is there
  HWND host = popup.browser().GetHostWindow();
  ASSERT_TRUE(IsWindow(host));
  EXPECT_EQ(GetParent(host), hwnd);
  EXPECT_TRUE(wintest::PumpUntil([&] { return Requested(server, "/ad/page.html"); }, 20000));
  bool closed = wintest::PumpUntil([&] { return !IsWindow(hwnd); }, kPageTimeoutMs + 5000);
  if (!closed) {
    // A system that renders the page shows it instead.
    EXPECT_TRUE(IsWindowVisible(hwnd));
    popup.Close();
  }
  EXPECT_FALSE(IsWindow(host));
}

TEST(AdvPopupWnd, AWebPageThatNeverArrivesClosesThePopupAfterItsTimeOut) {
  // The server takes the request and never answers.
  LoopbackServer server([](LoopbackServer& self, SOCKET, const std::string&) {
    while (!self.stopping()) Sleep(20);
  });
  CAdvPopupWnd popup(Opened().opener());
  popup.SetPageTimeout(1500);
  AdvertRecord a = TextAdvert(12, 5000);
  a.type = kAdvertWebPage;
  a.htmlurl = server.Url("/slow.html");
  HWND hwnd = popup.ShowAdvert(a);
  ASSERT_TRUE(hwnd);
  EXPECT_TRUE(wintest::PumpUntil([&] { return Requested(server, "/slow.html"); }, 20000));
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(wintest::PumpUntil([&] { return !IsWindow(hwnd); }, 10000));
  EXPECT_FALSE(popup.browser().HasBrowser());
}

}  // namespace
}  // namespace adverts
