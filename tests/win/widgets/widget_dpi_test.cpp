// A widget on a monitor of another DPI, and a widget whose stored place is on no monitor.
#include "widgets/news_notes_win.h"

#include <gtest/gtest.h>

#include "ui/dpi_win.h"
#include "widgets/widget_placement.h"
#include "win/widgets/fake_widget_env.h"

namespace {

RECT WindowRect(const CNewsNotes& w) {
  RECT rc{};
  GetWindowRect(w.hwnd(), &rc);
  return rc;
}

int FontHeight(HFONT font) {
  LOGFONTW lf{};
  GetObjectW(font, sizeof lf, &lf);
  return lf.lfHeight;
}

class WidgetDpiTest : public ::testing::Test {
 protected:
  void Show(int x, int y) {
    w_.x = x;
    w_.y = y;
    w_.width = 260;
    w_.height = 200;
    w_.SetFont(90, 0, u"宋体");
    w_.SetLineSpace(6);
    w_.KeepImage(true);
    w_.ShowWidget();
    ASSERT_TRUE(w_.IsWindow());
  }
  void TearDown() override { w_.DestroyWidget(); }

  wintest::FakeWidgetEnv env_;
  CNewsNotes w_{env_};
};

TEST_F(WidgetDpiTest, ADpiChangeScalesTheWindowButNotTheRecord) {
  Show(100, 100);
  ASSERT_EQ(w_.dpi(), 96) << "the test prefix runs at 96 DPI";
  const int font96 = FontHeight(w_.contentFont());
  EXPECT_EQ(WindowRect(w_).right - WindowRect(w_).left, 260);

  RECT suggested{100, 100, 620, 500};
  SendMessageW(w_.hwnd(), kWmDpiChanged, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(w_.dpi(), 192);
  RECT rc = WindowRect(w_);
  EXPECT_EQ(rc.right - rc.left, 520);
  EXPECT_EQ(rc.bottom - rc.top, 400);
  EXPECT_EQ(w_.width, 260) << "data.dat keeps sizes at 96 DPI";
  EXPECT_EQ(w_.height, 200);
  EXPECT_EQ(FontHeight(w_.contentFont()), 2 * font96);
  EXPECT_EQ(w_.surfaceFont(), w_.contentFont());
  EXPECT_EQ(w_.surface().width(), 520);
  EXPECT_EQ(w_.rects().menu.width(), 40);
  EXPECT_EQ(w_.rects().content.left, 20);
  EXPECT_EQ(w_.rects().content.right, 520 - 20);

  // Resizing at 192 DPI stores the size at 96 (the window takes it with its next image).
  w_.ResizeTo(300, 220);
  w_.ComposeIfPending();
  rc = WindowRect(w_);
  EXPECT_EQ(rc.right - rc.left, 600);
  EXPECT_EQ(w_.width, 300);
  EXPECT_EQ(w_.height, 220);

  suggested = {100, 100, 400, 320};
  SendMessageW(w_.hwnd(), kWmDpiChanged, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  rc = WindowRect(w_);
  EXPECT_EQ(rc.right - rc.left, 300);
  EXPECT_EQ(FontHeight(w_.contentFont()), font96);
  EXPECT_EQ(w_.width, 300);
}

// A widget whose title strip just fits above the bottom of the work area at 100 %: at
// 200 % the strip is twice as tall, and the widget comes up onto the work area, its stored
// place kept.
TEST_F(WidgetDpiTest, AfterAScaleChangeTheTitleStripStaysOnTheWorkArea) {
  RECT work;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  Show(work.left + 100, work.bottom - 40);
  ASSERT_EQ(WindowRect(w_).top, work.bottom - 40) << "its strip is on the work area at 100 %";
  RECT suggested{work.left + 100, work.bottom - 40, work.left + 620, work.bottom + 360};
  SendMessageW(w_.hwnd(), kWmDpiChanged, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  const RECT rc = WindowRect(w_);
  EXPECT_TRUE(widgets::TitleStripOnWorkArea({{rc.left, rc.top, rc.right, rc.bottom}, 192}, ui::MonitorAreas()));
  EXPECT_LT(rc.top, work.bottom - 40);
  EXPECT_EQ(w_.y, work.bottom - 40) << "the stored place is kept";
}

TEST_F(WidgetDpiTest, AWidgetStoredOnNoMonitorShowsInTheWorkAreaAndKeepsItsPlace) {
  const std::vector<ui::MonitorArea> monitors = ui::MonitorAreas();
  ASSERT_FALSE(monitors.empty());
  Show(-5000, 120);  // a monitor on the left that is no longer there
  EXPECT_TRUE(w_.displaced());
  RECT rc = WindowRect(w_);
  EXPECT_TRUE(widgets::TitleStripOnWorkArea({{rc.left, rc.top, rc.right, rc.bottom}, w_.dpi()}, monitors));
  EXPECT_EQ(rc.top, 120);
  EXPECT_EQ(w_.x, -5000) << "the stored place is kept until the user moves the widget";

  // A display change keeps it in view and its place stored; a resize does not store the
  // place it is shown at either.
  SendMessageW(w_.hwnd(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 800));
  w_.ResizeTo(280, 200);
  EXPECT_EQ(w_.x, -5000);
  EXPECT_TRUE(w_.displaced());

  // Put somewhere by the program or the user, that place is its place.
  w_.MoveTo(50, 60);
  EXPECT_FALSE(w_.displaced());
  rc = WindowRect(w_);
  EXPECT_EQ(rc.left, 50);
  EXPECT_EQ(w_.x, 50);
  EXPECT_EQ(w_.y, 60);
}

}  // namespace
