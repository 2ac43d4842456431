#include <windows.h>
#include <gtest/gtest.h>

#include "ui/arrow_tip_win.h"
#include "ui/toast_win.h"
#include "win/win_test_util.h"

namespace ui {
namespace {

uint32_t PixelAt(const DibSurface& s, int x, int y) { return s.pixels()[y * s.width() + x]; }

// A plain top-level window to anchor toasts to.
HWND MakeAnchor(int x, int y, int w, int h) {
  return CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"anchor", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

TEST(Toast, ShowsNearItsAnchorFadesAndGoesAway) {
  HWND anchor = MakeAnchor(100, 100, 300, 300);
  ASSERT_TRUE(anchor);
  ToastList toasts;
  EXPECT_EQ(toasts.Show(anchor, 2, u"", 3000), nullptr);  // an empty text shows nothing
  EXPECT_EQ(toasts.size(), 0u);

  HWND first = toasts.Show(anchor, 2, u"读取失败！访问服务器失败", 400);
  ASSERT_TRUE(first);
  RECT r;
  GetWindowRect(first, &r);
  EXPECT_EQ(r.top, 100 + 240);  // 300-pixel anchor, mode 2
  EXPECT_EQ((r.left + r.right) / 2, 250);
  EXPECT_TRUE(GetWindowLongW(first, GWL_EXSTYLE) & WS_EX_TOPMOST);
  wchar_t title[64] = {};
  GetWindowTextW(first, title, 64);
  EXPECT_STREQ(title, L"读取失败！访问服务器失败");

  HWND second = toasts.Show(anchor, 0, u"第二条", 3000);
  EXPECT_EQ(toasts.size(), 2u);
  EXPECT_NE(second, first);  // a second toast is independent
  EXPECT_TRUE(IsWindow(first));

  // Fades in within about half a second, then the first fades out and is destroyed.
  EXPECT_TRUE(wintest::PumpUntil([&] { return !IsWindow(first); }, 15000));
  EXPECT_TRUE(IsWindow(second));
  toasts.Show(nullptr, 0, u"x", 50);  // purges toasts whose window is gone
  EXPECT_EQ(toasts.size(), 2u);  // the first one's object is gone, "x" joined
  DestroyWindow(second);
  DestroyWindow(anchor);
}

// A toast shown while another toast's window is being made (here from a hook on window
// creation, as any message handler could) must not wait for the list's lock.
ToastList* g_reentrantList = nullptr;
HWND g_innerToast = nullptr;
LRESULT CALLBACK ShowAnotherOnCreate(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && g_reentrantList) {
    ToastList* list = g_reentrantList;
    g_reentrantList = nullptr;  // once
    g_innerToast = list->Show(nullptr, 0, u"里面", 3000);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Toast, AToastMayBeShownWhileAnotherIsBeingMade) {
  ToastList toasts;
  g_reentrantList = &toasts;
  HHOOK hook = SetWindowsHookExW(WH_CBT, ShowAnotherOnCreate, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(hook);
  HWND outer = toasts.Show(nullptr, 0, u"外面", 3000);
  UnhookWindowsHookEx(hook);
  ASSERT_TRUE(outer);
  ASSERT_TRUE(g_innerToast);
  EXPECT_NE(outer, g_innerToast);
  EXPECT_EQ(toasts.size(), 2u);
  DestroyWindow(outer);
  DestroyWindow(g_innerToast);
}

TEST(Toast, PillIsHalfTransparentAndCornersClear) {
  Toast t;
  ASSERT_TRUE(t.Show(nullptr, 0, u"提示文字", 5000));
  wintest::PumpUntil([&] { return t.fadeLevel() == 255; }, 15000);
  EXPECT_EQ(t.fadeLevel(), 255);
  InvalidateRect(t.hwnd(), nullptr, FALSE);
  UpdateWindow(t.hwnd());
  const DibSurface& s = t.colorSurface();
  ASSERT_TRUE(s.ready());
  EXPECT_EQ(PixelAt(s, s.width() / 2, 1) >> 24, 128u);  // the pill
  EXPECT_EQ(PixelAt(s, 0, 0) >> 24, 0u);                // rounded corner: see-through
  // Some white text pixels exist.
  int white = 0;
  for (size_t i = 0; i < s.count(); ++i) white += (s.pixels()[i] & 0xFFFFFF) == 0xFFFFFF;
  EXPECT_GT(white, 5);
  t.DestroyWindow();
}

TEST(ArrowTip, CloseBoxClosesAndTheRestIsInert) {
  CArrowTip tip;
  tip.SetText(u"点击这里可以订阅您喜欢的内容，还可以自定义订阅的网站哦！");
  tip.SetDirection(3);
  HWND hwnd = tip.Show(200, 200, 400, 300);
  ASSERT_TRUE(hwnd);
  EXPECT_EQ(tip.closeBox(), (Rect{170, 20, 200, 50}));
  wintest::PumpFor(100);
  const DibSurface& s = tip.colorSurface();
  ASSERT_TRUE(s.ready());
  EXPECT_EQ(PixelAt(s, 199, 10) >> 24, 0u);   // beside the arrow: see-through
  EXPECT_EQ(PixelAt(s, 100, 90) >> 24, 255u);  // balloon body
  EXPECT_EQ(PixelAt(s, 100, 90) & 0xFFFFFF, 0xFFFFE1u);

  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
  EXPECT_TRUE(IsWindow(hwnd));
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(185, 30));
  EXPECT_FALSE(IsWindow(hwnd));

  tip.SetDirection(7);  // ignored
  EXPECT_EQ(tip.direction(), 3);
  ASSERT_TRUE(tip.Show(200, 200, 400, 300));  // can be shown again
  tip.DestroyWindow();
}

}  // namespace
}  // namespace ui
