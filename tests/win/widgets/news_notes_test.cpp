#include "win/net/loopback_server.h"  // winsock2.h before windows.h
#include "widgets/news_notes_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include <memory>

#include "model/feed_item.h"
#include "ui/layered_pixels.h"
#include "widgets/desktop_embed_win.h"
#include "widgets/news_content.h"
#include "widgets/notes_manager_win.h"
#include "widgets/widget_compose.h"
#include "widgets/widget_placement.h"
#include "win/widgets/fake_widget_env.h"
#include "win/win_fake_program.h"
#include "win/win_test_util.h"

namespace {


std::vector<FeedItem> Items(int n) {
  std::vector<FeedItem> v;
  for (int i = 0; i < n; ++i)
    v.push_back({u"第" + std::u16string(1, u'0' + i % 10) + u"条新闻：桌面订阅测试标题", u"http://127.0.0.1/" + std::u16string(1, u'a' + i)});
  return v;
}

void Deliver(CNewsNotes& w, std::vector<FeedItem>& items) {
  auto* result = new feed::FeedResult{static_cast<int>(items.size()), items};  // the window's to free
  SendMessageW(w.hwnd(), feed::kFeedResultMessage, items.size(), reinterpret_cast<LPARAM>(result));
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

// Widgets on their own: a fake environment stands for the manager and the program.
class NewsNotesTest : public ::testing::Test {
 protected:
  CNewsNotes* Make(uint8_t alpha, int theme) {
    CNewsNotes* w = Add();
    w->x = 100;
    w->y = 100;
    w->alpha = alpha;
    w->tmpl.bkcolor_id = theme;
    w->SetFont(90, 0, u"宋体");
    w->SetLineSpace(6);
    w->ShowWidget();
    return w;
  }
  CNewsNotes* Add() {
    widgets_.push_back(std::make_unique<CNewsNotes>(env_));
    widgets_.back()->KeepImage(true);  // the tests read the composed pixels
    return widgets_.back().get();
  }

  wintest::FakeWidgetEnv env_;
  std::vector<std::unique_ptr<CNewsNotes>> widgets_;
};

// The manager with the main window that has it: lists, removal, new widgets.
class WidgetManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dlg_.Create()); }
  void TearDown() override { DestroyWindow(dlg_.hwnd()); }

  CNewsNotes* Make(int theme) {
    auto* w = new CNewsNotes(dlg_.manager());
    w->x = 100;
    w->y = 100;
    w->tmpl.bkcolor_id = theme;
    w->ShowWidget();
    dlg_.manager().AddWidget(w);
    return w;
  }

  wintest::FakeProgram dlg_;
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
    if (ui::Touched(b.pixels()[i])) {
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

// The pointer at a client point of the widget, as the system reports a move there.
void PointAt(CNewsNotes& w, int x, int y) {
  POINT screen{x, y};
  ClientToScreen(w.hwnd(), &screen);
  SetCursorPos(screen.x, screen.y);
  SendMessageW(w.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(w.hwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  SendMessageW(w.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

// A window just shown may still be asked by the system to paint (each paint pushes): waits
// until it has pushed nothing for a while, at most a few seconds.
void Settle(const CNewsNotes& w) {
  int last = w.pushCount();
  DWORD quietSince = GetTickCount(), start = quietSince;
  while (GetTickCount() - quietSince < 400 && GetTickCount() - start < 5000) {
    wintest::PumpFor(20);
    if (w.pushCount() != last) {
      last = w.pushCount();
      quietSince = GetTickCount();
    }
  }
}

// Whether the pointer is still where the test put it, over the widget, whose hover has not
// ended since it had counted `leaves` ends (a window of a test running beside this one may
// have come over it, or have been activated, meanwhile).
bool PointerStillAt(const CNewsNotes& w, int x, int y, int leaves) {
  POINT at, want{x, y};
  GetCursorPos(&at);
  ClientToScreen(w.hwnd(), &want);
  return at.x == want.x && at.y == want.y && WindowFromPoint(at) == w.hwnd() && w.hoverEnds() == leaves;
}

std::vector<uint32_t> Pixels(const ui::DibSurface& s) { return {s.pixels(), s.pixels() + s.count()}; }

size_t Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  size_t n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
  return n + (a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

TEST_F(NewsNotesTest, AHoverRepaintsItsLinesOnlyAndAsAWholePaintWould) {
  CNewsNotes* w = Make(153, 3);  // partly transparent: the text pass matters
  auto items = Items(6);
  Deliver(*w, items);
  w->ResizeTo(360, 300);  // room under the items
  const richtext::CRichDrawWin& e = *w->engine();
  ASSERT_GE(e.GetLines().size(), 6u);
  const int below = e.GetLines().back().bottom + 8;  // inside the content, under the last item
  ASSERT_LT(below, w->rects().content.bottom);
  // Inside: the buttons show. A window of a test running beside this one may come over
  // the widget meanwhile (widgets stay at the bottom) and take the pointer from it: then
  // the pointer comes again, and if it never stays, what follows says nothing.
  int leaves = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    leaves = w->hoverEnds();
    PointAt(*w, 40, below);
    Settle(*w);
    if (PointerStillAt(*w, 40, below, leaves)) break;
  }
  w->Compose();
  // Left alone, a widget pushes nothing more.
  const int idle = w->pushCount();
  wintest::PumpFor(10 * kWidgetFrameMs);
  if (!PointerStillAt(*w, 40, below, leaves)) GTEST_SKIP() << "the pointer is not over the widget";
  EXPECT_EQ(w->pushCount(), idle);
  const std::vector<uint32_t> plain = Pixels(w->surface());

  // Onto the third item's link: one push, and only its line changes.
  const richtext::RichLine& third = e.GetLines()[2];
  const richtext::RichItem& first = e.GetItem(third.first);
  const int pushes = w->pushCount();
  PointAt(*w, first.x + 3, first.y + first.height / 2);
  ASSERT_TRUE(wintest::PumpUntil([&] { return w->pushCount() > pushes; }, 2000));
  wintest::PumpFor(3 * kWidgetFrameMs);
  // Tests running beside this one move the same pointer; then the widget rightly repaints
  // its buttons as well, and what follows says nothing.
  if (!PointerStillAt(*w, first.x + 3, first.y + first.height / 2, leaves))
    GTEST_SKIP() << "the pointer was moved or left the widget meanwhile";
  EXPECT_EQ(w->pushCount(), pushes + 1);
  const std::vector<uint32_t> hovered = Pixels(w->surface());
  const int width = w->surface().width();
  size_t changed = 0;
  int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
  for (size_t i = 0; i < plain.size(); ++i) {
    if (plain[i] == hovered[i]) continue;
    ++changed;
    const int x = static_cast<int>(i) % width, y = static_cast<int>(i) / width;
    top = std::min(top, y), bottom = std::max(bottom, y), left = std::min(left, x), right = std::max(right, x);
  }
  EXPECT_GE(top, third.top - 1) << "changed outside the link's line: " << left << "," << top << " to " << right
                                << "," << bottom << "; line " << third.top << " to " << third.bottom;
  EXPECT_LE(bottom, third.bottom + 1) << "changed outside the link's line";
  EXPECT_GT(changed, 100u);  // the highlight colour and the underline
  SaveForViewing(w->surface(), "widget_link_hover.bmp");
  // The same pixels as composing everything again.
  w->Compose();
  EXPECT_EQ(Differing(hovered, Pixels(w->surface())), 0u);

  // Off the link again: back to the plain image, through another partial repaint.
  const int again = w->pushCount();
  PointAt(*w, 40, below);
  ASSERT_TRUE(wintest::PumpUntil([&] { return w->pushCount() > again; }, 2000));
  if (!PointerStillAt(*w, 40, below, leaves)) GTEST_SKIP() << "the pointer was moved or left the widget meanwhile";
  EXPECT_EQ(Differing(plain, Pixels(w->surface())), 0u);
}

TEST_F(NewsNotesTest, AScrollRecomposesTheContentOnlyAndAsAWholePaintWould) {
  CNewsNotes* w = Make(180, 4);
  auto items = Items(10);
  Deliver(*w, items);
  w->ResizeTo(300, 120);  // shorter than the list: it scrolls
  Settle(*w);
  w->Compose();
  const std::vector<uint32_t> top = Pixels(w->surface());
  const int pushes = w->pushCount();
  SendMessageW(w->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  ASSERT_TRUE(wintest::PumpUntil([&] { return w->pushCount() > pushes; }, 2000));
  ASSERT_LT(w->engine()->GetScrollPos(), 0);
  const std::vector<uint32_t> scrolled = Pixels(w->surface());
  EXPECT_GT(Differing(top, scrolled), 200u);
  // Only the text's view changed: the title strip and the frame stay as they were.
  const int width = w->surface().width();
  const widgets::Rect& c = w->rects().content;
  for (size_t i = 0; i < top.size(); ++i) {
    const int x = static_cast<int>(i) % width, y = static_cast<int>(i) / width;
    if (x < c.left - 1 || x >= c.right + 2 || y < c.top || y >= c.bottom) {
      ASSERT_EQ(top[i], scrolled[i]) << x << "," << y;
    }
  }
  w->Compose();
  EXPECT_EQ(Differing(scrolled, Pixels(w->surface())), 0u);
}

TEST_F(NewsNotesTest, AKeptBackgroundFollowsOpacityColourAndSize) {
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);  // off both widgets
  auto items = Items(5);
  CNewsNotes* kept = Make(200, 6);
  Deliver(*kept, items);
  kept->Compose();  // its background is kept beside the image from now on
  CNewsNotes* fresh = Make(120, 3);
  Deliver(*fresh, items);
  fresh->Compose();
  ASSERT_EQ(kept->surface().width(), fresh->surface().width());
  ASSERT_EQ(kept->surface().height(), fresh->surface().height());
  // Opacity and colour change: the next paints must not show the old background.
  kept->SetAlpha(120);
  kept->Compose();
  kept->ApplyColorTheme(3);
  kept->Compose();
  EXPECT_EQ(Differing(Pixels(kept->surface()), Pixels(fresh->surface())), 0u);
  // Nor after a resize.
  kept->ResizeTo(300, 220);
  kept->Compose();
  fresh->ResizeTo(300, 220);
  fresh->Compose();
  EXPECT_EQ(Differing(Pixels(kept->surface()), Pixels(fresh->surface())), 0u);
  // A part composed over the kept background is what a whole paint makes.
  const std::vector<uint32_t> whole = Pixels(kept->surface());
  kept->ComposeArea({0, 0, 120, 60});
  EXPECT_EQ(Differing(whole, Pixels(kept->surface())), 0u);
}

TEST_F(NewsNotesTest, ChangesInOneFrameMakeOnePushAndTheNextWaitsForTheNextFrame) {
  CNewsNotes* w = Make(200, 6);
  auto items = Items(8);
  Deliver(*w, items);
  Settle(*w);
  const int before = w->pushCount(), ends = w->hoverEnds();
  // Opacity, colour and a scroll asked for at once: one push shows them all.
  w->SetAlpha(120);
  w->ApplyColorTheme(2);
  SendMessageW(w->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  ASSERT_TRUE(wintest::PumpUntil([&] { return w->pushCount() > before; }, 2000));
  EXPECT_EQ(w->pushCount(), before + 1);
  EXPECT_EQ(Pixel(w->surface(), 20, 20) >> 24, 120u);
  // A change right after a push waits for the next frame, then shows.
  const DWORD pushed = GetTickCount();
  w->Compose();
  w->SetAlpha(90);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);  // the request, at once
  // (A machine too busy to get here within the frame has rightly pushed already.)
  if (GetTickCount() - pushed + 1 < static_cast<DWORD>(kWidgetFrameMs) / 2) {
    EXPECT_EQ(w->pushCount(), before + 2);
    EXPECT_EQ(Pixel(w->surface(), 20, 20) >> 24, 120u);
  }
  ASSERT_TRUE(wintest::PumpUntil([&] { return w->pushCount() > before + 2; }, 2000));
  EXPECT_EQ(Pixel(w->surface(), 20, 20) >> 24, 90u);
  wintest::PumpFor(4 * kWidgetFrameMs);
  // Another window activated meanwhile (a test running beside this one) rightly repaints.
  if (w->hoverEnds() != ends) GTEST_SKIP() << "another window became the active one meanwhile";
  EXPECT_EQ(w->pushCount(), before + 3);
}

TEST_F(NewsNotesTest, SizesFollowTheFeedAndIdenticalResultsSaveNothing) {
  CNewsNotes* w = Make(200, 6);
  w->advlink_title = u"推广链接";
  w->advlink_url = u"http://127.0.0.1/ad";
  auto items = Items(25);
  Deliver(*w, items);
  EXPECT_EQ(w->items().size(), 11u);
  EXPECT_EQ(w->width, 250);  // short titles
  w->ComposeIfPending();  // the window takes the size with the image made for it
  RECT rc;
  GetWindowRect(w->hwnd(), &rc);
  EXPECT_EQ(rc.right - rc.left, 250);
  EXPECT_EQ(rc.bottom - rc.top, w->height);
  EXPECT_EQ(w->height, w->engine()->GetContentHeight() + 60);
  EXPECT_NE(w->GetContent().find(u"推广链接"), std::u16string::npos);

  // The same feed again asks for no save. Counted during the delivery itself: a save
  // requested later may come from activation changes caused by other programs' windows.
  size_t before = env_.saveRequests.size();
  Deliver(*w, items);
  EXPECT_EQ(env_.saveRequests.size(), before);

  std::vector<FeedItem> one = {{std::u16string(120, u'宽'), u"http://127.0.0.1/w"}};
  Deliver(*w, one);
  EXPECT_GT(env_.saveRequests.size(), before) << "a changed feed is saved";
  EXPECT_EQ(w->width, 700);
  EXPECT_GE(w->height, 80);
}

// A new item's title is drawn in bold, which is wider: the widget is sized for that, so a
// new title that is the widest stays on one line.
TEST_F(NewsNotesTest, ANewItemsBoldTitleFitsOnOneLine) {
  CNewsNotes* w = Make(200, 6);
  const std::u16string title(36, u'宽');
  std::vector<FeedItem> first = {{title, u"http://127.0.0.1/old"}};
  Deliver(*w, first);
  const int oneLine = w->engine()->GetContentHeight();
  const int plainWidth = w->width;
  std::vector<FeedItem> next = {{std::u16string(36, u'新'), u"http://127.0.0.1/new"}, first[0]};
  next[0].fresh = true;  // as the refresh marks an item the widget has not shown
  Deliver(*w, next);
  ASSERT_NE(w->GetContent().find(u"bold=\"1\""), std::u16string::npos) << "the second item is new";
  EXPECT_GT(w->width, plainWidth);
  EXPECT_LE(w->engine()->GetContentHeight(), 2 * oneLine + 1) << "two items, two lines";
}

// A widget widens to the right for long titles: near the screen's right edge it moves back
// as far as it went over (a new subscription's widget is made there), and the place it
// shows at is the one it keeps. One the user left hanging over the bottom edge (its title
// strip on the screen) stays put.
TEST_F(NewsNotesTest, AWidgetThatWidensPastTheScreenEdgeMovesBackOntoIt) {
  RECT work;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  auto makeAt = [&](int left, int top) {
    CNewsNotes* w = Add();
    w->x = left;
    w->y = top;
    w->SetFont(90, 0, u"宋体");
    w->ShowWidget();
    w->ComposeIfPending();
    return w;
  };
  std::vector<FeedItem> wide = {{std::u16string(120, u'宽'), u"http://127.0.0.1/w"}};
  CNewsNotes* w = makeAt(work.right - 400, work.top + 50);
  const size_t saves = env_.saveRequests.size();
  Deliver(*w, wide);
  w->ComposeIfPending();
  RECT rc;
  GetWindowRect(w->hwnd(), &rc);
  EXPECT_EQ(rc.right - rc.left, 700);
  EXPECT_EQ(rc.right, work.right);
  EXPECT_EQ(rc.top, work.top + 50) << "only as far as it went over";
  EXPECT_EQ(w->x, work.right - 700);
  EXPECT_GT(env_.saveRequests.size(), saves);

  CNewsNotes* hanging = makeAt(work.left + 20, work.bottom - 60);
  Deliver(*hanging, wide);
  hanging->ComposeIfPending();
  GetWindowRect(hanging->hwnd(), &rc);
  EXPECT_EQ(rc.top, work.bottom - 60);
  EXPECT_EQ(hanging->y, work.bottom - 60);
}

// A new size goes to the window with the image laid out for it: one push, whose own size
// message asks for nothing more, at the place the widget had.
TEST_F(NewsNotesTest, ANewSizeComesWithTheNextImage) {
  CNewsNotes* w = Make(200, 2);
  w->ComposeIfPending();
  RECT before;
  GetWindowRect(w->hwnd(), &before);
  ASSERT_NE(before.right - before.left, 320);
  const int pushes = w->pushCount();
  w->ResizeTo(320, 240);
  EXPECT_EQ(w->width, 320);
  EXPECT_EQ(w->height, 240);
  EXPECT_EQ(w->rects().content.right, 320 - w->rects().content.left) << "laid out for the new size at once";
  ASSERT_TRUE(wintest::PumpUntil([&] { return w->pushCount() > pushes; }, 2000));
  RECT after;
  GetWindowRect(w->hwnd(), &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.right - after.left, 320);
  EXPECT_EQ(after.bottom - after.top, 240);
  EXPECT_EQ(w->surface().width(), 320);
  EXPECT_EQ(w->surface().height(), 240);
  wintest::PumpFor(5 * kWidgetFrameMs);
  EXPECT_EQ(w->pushCount(), pushes + 1);

  // Back to a size the window has before that image went: nothing waits for a push then.
  w->ResizeTo(300, 200);
  w->ResizeTo(320, 240);
  wintest::PumpFor(5 * kWidgetFrameMs);
  GetWindowRect(w->hwnd(), &after);
  EXPECT_EQ(after.right - after.left, 320);
  EXPECT_EQ(w->surface().width(), 320);

  // A size given meanwhile by someone else (the user's drag, the system) is the one kept.
  w->ResizeTo(400, 300);
  SetWindowPos(w->hwnd(), nullptr, 0, 0, 280, 210, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  wintest::PumpFor(5 * kWidgetFrameMs);
  GetWindowRect(w->hwnd(), &after);
  EXPECT_EQ(after.right - after.left, 280);
  EXPECT_EQ(after.bottom - after.top, 210);
  EXPECT_EQ(w->width, 280);
  EXPECT_EQ(w->height, 210);
  EXPECT_EQ(w->surface().width(), 280);
  EXPECT_EQ(w->rects().content.right, 280 - w->rects().content.left);
}

TEST_F(NewsNotesTest, ClampsCloseAndFailures) {
  CNewsNotes* w = Add();
  w->width = 50;
  w->height = 1000;
  w->ShowWidget();
  RECT rc;
  GetWindowRect(w->hwnd(), &rc);
  EXPECT_EQ(rc.right - rc.left, 100);
  EXPECT_EQ(rc.bottom - rc.top, 600);
  SendMessageW(w->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(w->hwnd()));

  auto* failed = new feed::FeedResult{-3, {}};
  SendMessageW(w->hwnd(), feed::kFeedResultMessage, static_cast<WPARAM>(-3), reinterpret_cast<LPARAM>(failed));
  ASSERT_EQ(env_.toasts.size(), 1u);
  EXPECT_EQ(env_.toasts[0], u"读取失败！访问服务器失败");
  EXPECT_TRUE(w->items().empty());
  w->Refresh(1);  // a silent refresh that fails shows nothing
  SendMessageW(w->hwnd(), feed::kFeedResultMessage, static_cast<WPARAM>(-2), 0);
  EXPECT_EQ(env_.toasts.size(), 1u);
}

TEST_F(WidgetManagerTest, ManagerListAndRemoval) {
  CNotesManager& m = dlg_.manager();
  CNewsNotes* a = Make(1);
  CNewsNotes* b = Make(2);
  CNewsNotes* c = Make(3);
  HWND bw = b->hwnd();
  CNewsNotes stranger(m);
  m.RemoveWidget(&stranger);  // not in the list: nothing happens
  EXPECT_EQ(m.WidgetList().size(), 3u);
  // "取消订阅" posts the removal to the main window.
  b->RunMenuCommand(4);
  EXPECT_EQ(m.WidgetList().size(), 3u) << "removed while its menu was still running";
  wintest::PumpFor(50);
  ASSERT_EQ(m.WidgetList().size(), 2u);
  EXPECT_EQ(m.WidgetList()[0], a);
  EXPECT_EQ(m.WidgetList()[1], c);
  EXPECT_FALSE(IsWindow(bw));

  using wintest::LoopbackServer;
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string&) {
    LoopbackServer::Send(s, LoopbackServer::Response(
        "200 OK", "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel>"
                  "<item><title>one</title><link>http://127.0.0.1/1</link></item>"
                  "<item><title>two</title><link>http://127.0.0.1/2</link></item></channel></rss>"));
  });
  CNewsNotes* made = m.CreateFeedWidget(server.Url("/feed.xml"), 40, 50, c);
  EXPECT_EQ(m.WidgetList().back(), made);
  EXPECT_EQ(made->tmpl.bkcolor_id, 3);
  EXPECT_EQ(made->font_size, 90);
  EXPECT_EQ(made->linespace, 6);
  EXPECT_TRUE(made->refreshing());  // its first retrieval started, and it arrives
  EXPECT_TRUE(wintest::PumpUntil([&] { return made->items().size() == 2; }, 15000));
  EXPECT_EQ(widgets::CanEmbedInDesktop(), 0);
  // Without a widget to copy, a new widget takes the look and place chosen in the settings.
  m.new_widget_theme = 4;
  m.new_widget_alpha = 102;
  m.new_widget_place = 1;
  CNewsNotes* chosen = m.CreateFeedWidget(server.Url("/feed.xml"), 60, 70, nullptr);
  EXPECT_EQ(chosen->tmpl.bkcolor_id, 4);
  EXPECT_EQ(chosen->GetAlpha(), 102);
  EXPECT_EQ(chosen->topmost, 1);
  EXPECT_EQ(chosen->in_desktop, 0);
  EXPECT_TRUE(wintest::PumpUntil([&] { return chosen->items().size() == 2; }, 15000));
  // "In the desktop" puts the new widget there, and the others stay as they are.
  m.new_widget_place = 2;
  CNewsNotes* inDesktop = m.CreateFeedWidget(server.Url("/feed.xml"), 80, 90, nullptr);
  EXPECT_EQ(inDesktop->in_desktop, 1);
  EXPECT_EQ(inDesktop->topmost, 0);
  EXPECT_EQ(m.embed_desktop, 0);
  EXPECT_EQ(made->in_desktop, 0);
  EXPECT_TRUE(wintest::PumpUntil([&] { return inDesktop->items().size() == 2; }, 15000));
}

// A save copies the records: a widget near the screen's right edge (on a monitor right of
// the primary, say) is neither moved nor given another place by it.
TEST_F(WidgetManagerTest, ASaveMovesNoWidget) {
  CNewsNotes* w = Make(1);
  const int right = GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  w->MoveTo(right - 20, 100);
  RECT before, after;
  GetWindowRect(w->hwnd(), &before);
  const DataSnapshot saved = dlg_.manager().Snapshot();
  ASSERT_EQ(saved.widgets.size(), 1u);
  EXPECT_EQ(saved.widgets[0].x, right - 20) << "the store keeps it inside the desktop as it writes it";
  EXPECT_EQ(w->x, right - 20);
  GetWindowRect(w->hwnd(), &after);
  EXPECT_EQ(after.left, before.left);
}

// Widgets brought up over each other's buttons (places kept from a smaller scale, say): each
// one made moves off the buttons of those before it, and its buttons out from under them;
// the place it moves to is its own. One that grows over another's buttons moves off too.
TEST_F(WidgetManagerTest, AWidgetKeepsOffTheButtonsOfTheOthers) {
  CNotesManager& m = dlg_.manager();
  DataSnapshot data;
  data.settings = m;
  CNotesLocalInfo record;
  record.width = 260;
  record.height = 200;
  for (int top : {100, 250, 120}) {  // the second under the first; the third over its buttons
    record.x = top == 120 ? 300 : 100;
    record.y = top;
    data.widgets.push_back(record);
  }
  ASSERT_EQ(m.Restore(data), 3);
  auto clear = [&](CNewsNotes* w) {
    return !widgets::CoversButtons({w->ShownRect(), w->dpi()}, m.OtherWidgets(*w));
  };
  for (CNewsNotes* w : m.WidgetList()) EXPECT_TRUE(clear(w)) << w->x << "," << w->y;
  CNewsNotes* second = m.WidgetList()[1];
  EXPECT_EQ(second->ShownRect().left, second->x) << "its new place is stored";
  EXPECT_EQ(second->ShownRect().top, second->y);
  EXPECT_NE(second->y, 250);

  // The first grows wide (a long title) over the third's buttons: it moves instead.
  CNewsNotes* first = m.WidgetList()[0];
  first->ResizeTo(700, 200);
  first->ComposeIfPending();
  for (CNewsNotes* w : m.WidgetList()) EXPECT_TRUE(clear(w)) << w->x << "," << w->y;
}

TEST_F(NewsNotesTest, FirstRunTipPointsAtTheMenuButton) {
  env_.settings.first_run = 1;
  CNewsNotes* w = Make(200, 6);
  EXPECT_EQ(env_.settings.first_run, 0);  // only the first widget window shows it
  ASSERT_TRUE(w->firstRunTipShown());
  HWND tip = w->firstRunTipWindow();
  ASSERT_TRUE(tip);
  RECT tr, wr;
  GetWindowRect(tip, &tr);
  GetWindowRect(w->hwnd(), &wr);
  EXPECT_EQ(tr.top, wr.top + 30);
  EXPECT_EQ(tr.right - tr.left, 200);
  EXPECT_EQ(tr.left, wr.right);  // beside a widget at x 100, where there is room
  // The buttons stay visible while the tip points at them, mouse or not.
  w->Compose();
  const widgets::Rect m = w->rects().menu;
  EXPECT_NE(Pixel(w->surface(), (m.left + m.right) / 2, m.top + 2), widgets::OpaquePixel(0xF8ECC9));
  CNewsNotes* second = Make(200, 6);
  EXPECT_FALSE(second->firstRunTipShown());
  w->ResizeTo(300, 200);  // the tip follows the widget's right edge
  GetWindowRect(tip, &tr);
  GetWindowRect(w->hwnd(), &wr);
  EXPECT_EQ(tr.left, wr.right);
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
  env_.settings.embed_desktop = 1;  // no embedding on this system version, whatever the setting says
  w->SetTopmost(0);
  EXPECT_FALSE(GetWindowLongW(w->hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetParent(w->hwnd()), nullptr);
  EXPECT_EQ(w->topmost, 0);
  w->MoveTo(321, 123);
  RECT rc;
  GetWindowRect(w->hwnd(), &rc);
  EXPECT_EQ(rc.left, 321);
  EXPECT_EQ(rc.top, 123);
  ASSERT_FALSE(env_.saveRequests.empty());
  EXPECT_EQ(env_.saveRequests.back(), widgets::kSaveDelay);
}

// True when window a comes after window b in the stacking order (is below it).
bool Below(HWND a, HWND b) {
  for (HWND h = GetWindow(b, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT))
    if (h == a) return true;
  return false;
}

TEST_F(NewsNotesTest, ANewWidgetShowsWithItsFirstImageAtTheBottomUnlessTopmost) {
  // Another program's ordinary window, already shown.
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(other);
  CNewsNotes* w = Make(200, 6);
  ASSERT_TRUE(w->ready());
  // Nothing is shown before the widget has an image to show.
  EXPECT_FALSE(IsWindowVisible(w->hwnd()));
  EXPECT_EQ(w->pushCount(), 0);
  w->ComposeIfPending();
  EXPECT_EQ(w->pushCount(), 1);
  EXPECT_TRUE(IsWindowVisible(w->hwnd()));
  EXPECT_TRUE(Below(w->hwnd(), other));
  // Its next pushes leave its place alone: a window brought over it stays over it.
  SetWindowPos(other, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ASSERT_TRUE(Below(other, w->hwnd()));
  w->SetAlpha(120);
  w->ComposeIfPending();
  EXPECT_EQ(w->pushCount(), 2);
  EXPECT_TRUE(Below(other, w->hwnd()));

  // One that stays on top is shown on top, over the ordinary window.
  CNewsNotes* top = Add();
  top->x = 300;
  top->y = 100;
  top->topmost = 1;
  top->ShowWidget();
  EXPECT_FALSE(IsWindowVisible(top->hwnd()));
  top->ComposeIfPending();
  EXPECT_TRUE(IsWindowVisible(top->hwnd()));
  EXPECT_TRUE(GetWindowLongW(top->hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(Below(other, top->hwnd()));

  // Made again after it was closed, it waits for its image again.
  w->DestroyWidget();
  w->ShowWidget();
  EXPECT_FALSE(IsWindowVisible(w->hwnd()));
  EXPECT_TRUE(wintest::PumpUntil([&] { return IsWindowVisible(w->hwnd()) != FALSE; }, 2000));
  DestroyWindow(other);
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
  auto opened = [&] { return std::count(env_.events.begin(), env_.events.end(), 1); };
  auto press = [&](WPARAM keys) { SendMessageW(w->hwnd(), WM_LBUTTONDOWN, keys, MAKELPARAM(on.x, on.y)); };

  env_.settings.ctrl_lclick = 1;
  press(MK_LBUTTON);
  EXPECT_EQ(opened(), 0);  // only the hint
  press(MK_LBUTTON | MK_CONTROL | MK_SHIFT);
  EXPECT_EQ(opened(), 0);
  press(MK_LBUTTON | MK_CONTROL);
  EXPECT_EQ(opened(), 1);  // counted; the ftp address itself is refused and logged
  env_.settings.ctrl_lclick = 0;
  press(MK_LBUTTON);
  EXPECT_EQ(opened(), 2);

  env_.settings.usecount = 9;
  for (int i = 0; i < 4; ++i) SendMessageW(w->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(env_.settings.usecount, 9);
  SendMessageW(w->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(env_.settings.usecount, 0);
}

TEST_F(NewsNotesTest, AWidgetLetsItsImageGoAfterAPaintAndMakesAllOfItAgainForAPartialOne) {
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);  // off both widgets
  std::vector<FeedItem> items = {{u"第一条新闻", u"http://127.0.0.1/1"}, {u"第二条新闻", u"http://127.0.0.1/2"}};
  CNewsNotes* kept = Make(200, 6);
  Deliver(*kept, items);
  CNewsNotes* lean = Add();
  lean->KeepImage(false);
  lean->x = 100;
  lean->y = 100;
  lean->alpha = 200;
  lean->tmpl.bkcolor_id = 6;
  lean->SetFont(90, 0, u"宋体");
  lean->SetLineSpace(6);
  lean->ShowWidget();
  Deliver(*lean, items);
  wintest::PumpFor(100);
  // Tests running beside this one move the same pointer: over a widget, it keeps its image.
  POINT at;
  GetCursorPos(&at);
  if (WindowFromPoint(at) == lean->hwnd() || WindowFromPoint(at) == kept->hwnd())
    GTEST_SKIP() << "the pointer was moved onto the widgets";
  const int pushes = lean->pushCount();
  ASSERT_GT(pushes, 0);
  EXPECT_FALSE(lean->surface().ready()) << "the pixels went with the paint";
  ASSERT_EQ(lean->surface().width(), kept->surface().width()) << "the size is remembered";
  ASSERT_EQ(lean->surface().height(), kept->surface().height());
  // A partial repaint (a line under the pointer, say) finds no image: all of it is made.
  lean->KeepImage(true);
  lean->ComposeArea({10, 40, 60, 50});
  EXPECT_EQ(lean->pushCount(), pushes + 1);
  ASSERT_TRUE(lean->surface().ready());
  kept->Compose();
  const size_t n = kept->surface().count();
  EXPECT_TRUE(std::equal(kept->surface().pixels(), kept->surface().pixels() + n, lean->surface().pixels()))
      << "the remade image is the whole image";

  // A new size lets even a kept image go until the next compose: answers arriving together
  // resize many widgets before any composes, and none holds an image meanwhile.
  const int oldWidth = kept->surface().width();
  kept->ResizeTo(kept->width + 30, kept->height);
  EXPECT_FALSE(kept->surface().ready());
  EXPECT_EQ(kept->surface().width(), oldWidth + 30);
  const int keptPushes = kept->pushCount();
  ASSERT_TRUE(wintest::PumpUntil([&] { return kept->pushCount() > keptPushes; }, 2000));
  ASSERT_TRUE(kept->surface().ready());
  EXPECT_EQ(kept->surface().width(), oldWidth + 30);
  RECT rc;
  GetWindowRect(kept->hwnd(), &rc);
  EXPECT_EQ(rc.right - rc.left, oldWidth + 30);
}

TEST_F(NewsNotesTest, TheCtrlKeyIsWatchedOnlyUnderTheCtrlClickRuleAndNotWhileThePointerRests) {
  CNewsNotes* w = Make(255, 6);
  // KillTimer says whether the watch was running (and stops it).
  env_.settings.ctrl_lclick = 0;
  SendMessageW(w->hwnd(), WM_MOUSEHOVER, 0, MAKELPARAM(20, 50));
  EXPECT_FALSE(KillTimer(w->hwnd(), kWidgetTimerCtrlWatch)) << "no rule: nothing to watch";
  env_.settings.ctrl_lclick = 1;
  SendMessageW(w->hwnd(), WM_MOUSEHOVER, 0, MAKELPARAM(20, 50));
  wintest::PumpFor(200);
  EXPECT_TRUE(KillTimer(w->hwnd(), kWidgetTimerCtrlWatch)) << "the rule needs the watch";
  SendMessageW(w->hwnd(), WM_MOUSEHOVER, 0, MAKELPARAM(20, 50));
  // The pointer never moves here, unless a test running beside this one moves it: then the
  // watch rightly goes on, and what follows says nothing.
  POINT rest, at;
  GetCursorPos(&rest);
  for (int i = 0; i < 28; ++i) {
    wintest::PumpFor(200);
    GetCursorPos(&at);
    if (at.x != rest.x || at.y != rest.y) GTEST_SKIP() << "the pointer was moved meanwhile";
  }
  EXPECT_FALSE(KillTimer(w->hwnd(), kWidgetTimerCtrlWatch)) << "a resting pointer ends the watch";
  // The system says "hover" again when windows change under the resting pointer.
  SendMessageW(w->hwnd(), WM_MOUSEHOVER, 0, MAKELPARAM(20, 50));
  wintest::PumpFor(100);
  GetCursorPos(&at);
  if (at.x != rest.x || at.y != rest.y) GTEST_SKIP() << "the pointer was moved meanwhile";
  EXPECT_FALSE(KillTimer(w->hwnd(), kWidgetTimerCtrlWatch)) << "a hover where the pointer rests does not wake it";
}

TEST_F(NewsNotesTest, SharedIconFontsInTheirDcsAndRepaintAfterAHide) {
  CNewsNotes* a = Make(200, 6);
  CNewsNotes* b = Make(200, 6);
  // One small icon for every widget: none is made (and leaked) per window. It is set once
  // the messages of the widgets' birth are handled.
  wintest::PumpFor(100);
  HICON icon = reinterpret_cast<HICON>(SendMessageW(a->hwnd(), WM_GETICON, ICON_SMALL, 0));
  ASSERT_TRUE(icon);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(b->hwnd(), WM_GETICON, ICON_SMALL, 0)), icon);
  // One title font for every widget at one DPI; a widget that goes leaves it to the others.
  ASSERT_TRUE(a->titleFont());
  EXPECT_EQ(b->titleFont(), a->titleFont());
  {
    CNewsNotes* gone = Make(200, 6);
    EXPECT_EQ(gone->titleFont(), a->titleFont());
    gone->DestroyWidget();
    widgets_.pop_back();
  }
  EXPECT_EQ(GetObjectType(a->titleFont()), static_cast<DWORD>(OBJ_FONT));

  // A new font replaces the old one in the drawing surfaces before the old one goes.
  EXPECT_EQ(a->surfaceFont(), a->contentFont());
  a->SetFont(120, 1, u"宋体");
  EXPECT_EQ(a->surfaceFont(), a->contentFont());

  // A repaint asked for just before the window went away does not block the next one.
  auto bodyAlpha = [&] { return Pixel(a->surface(), 5, a->surface().height() - 12) >> 24; };
  a->SetAlpha(100);
  a->DestroyWidget();
  EXPECT_FALSE(a->IsWindow());
  a->ShowWidget();
  a->SetAlpha(51);
  EXPECT_TRUE(wintest::PumpUntil([&] { return bodyAlpha() == 51u; }, 2000)) << "alpha " << bodyAlpha();
}

TEST_F(NewsNotesTest, MenuCommandsReachTheEnvironment) {
  CNewsNotes* w = Make(153, 3);
  w->rssurl = u"http://127.0.0.1:1/own.xml";
  env_.settings.custom_links = {{u"mine", u"http://127.0.0.1:1/mine.xml"}};

  w->RunMenuCommand(widgets::kCmdAddSubscription);  // cancelled: no widget
  EXPECT_EQ(env_.choices, 1);
  EXPECT_TRUE(env_.added.empty());
  env_.choiceConfirmed = true;  // confirmed without a valid choice: this widget's own feed
  w->RunMenuCommand(widgets::kCmdAddSubscription);
  ASSERT_EQ(env_.added.size(), 1u);
  EXPECT_EQ(env_.added[0].first, u"http://127.0.0.1:1/own.xml");
  EXPECT_EQ(env_.added[0].second, w);  // this widget is the template

  w->RunMenuCommand(widgets::kCmdCustomFirst);  // switches the feed and saves
  EXPECT_EQ(w->rssurl, u"http://127.0.0.1:1/mine.xml");
  w->RunMenuCommand(widgets::kCmdCustomFirst + 1);  // beyond the list: nothing
  EXPECT_EQ(w->rssurl, u"http://127.0.0.1:1/mine.xml");

  w->RunMenuCommand(widgets::kCmdRemoveWidget);
  ASSERT_EQ(env_.removals.size(), 1u);
  EXPECT_EQ(env_.removals[0], w);
  w->RunMenuCommand(widgets::kCmdManageCustom);
  w->RunMenuCommand(widgets::kCmdAbout);
  w->RunMenuCommand(widgets::kCmdHelp);
  const size_t savesBefore = env_.saveRequests.size();
  w->RunMenuCommand(widgets::kCmdCtrlClick);  // saved as soon as it is toggled
  ASSERT_EQ(env_.saveRequests.size(), savesBefore + 1);
  EXPECT_EQ(env_.saveRequests.back(), widgets::kSaveDelay);
  w->RunMenuCommand(widgets::kCmdQuit);
  w->RunMenuCommand(widgets::kCmdImportOpml);
  w->RunMenuCommand(widgets::kCmdExportOpml);
  w->RunMenuCommand(widgets::kCmdExportOpml);
  EXPECT_EQ(env_.imports, 1);
  EXPECT_EQ(env_.exports, 2);
  EXPECT_EQ(env_.customDialogs, 1);
  EXPECT_EQ(env_.abouts, 1);
  EXPECT_EQ(env_.helps, 1);
  EXPECT_EQ(env_.settings.ctrl_lclick, 1);
  EXPECT_EQ(env_.quits, 1);
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


namespace {

std::string TwoItemFeed() {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>测试频道</title>"
         "<item><title>第一条</title><link>http://127.0.0.1/1</link></item>"
         "<item><title>第二条</title><link>http://127.0.0.1/2</link></item></channel></rss>";
}

// Pixels of the surface in rows [top, bottom) that have exactly the colour `rgb`, and the
// rightmost column holding one.
int CountColour(const ui::DibSurface& s, int top, int bottom, uint32_t rgb, int* rightmost) {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < s.width(); ++x)
      if ((Pixel(s, x, y) & 0xFFFFFF) == rgb) {
        ++n;
        *rightmost = std::max(*rightmost, x);
      }
  return n;
}

}  // namespace

// A widget against a loopback server that answers 404 for a while: a line names the 404
// over the kept items, in the failure colour and inside the widget; nothing of it is
// stored; the next good answer takes it away.
TEST_F(NewsNotesTest, AFailingFeedSaysWhyOverItsLastItemsUntilItAnswersAgain) {
  using wintest::LoopbackServer;
  std::atomic<int> status{200};
  LoopbackServer server([&](LoopbackServer&, SOCKET s, const std::string&) {
    if (status == 200) LoopbackServer::Send(s, LoopbackServer::Response("200 OK", TwoItemFeed()));
    else LoopbackServer::Send(s, LoopbackServer::Response("404 Not Found", "gone"));
  });
  CNewsNotes* w = Make(255, 4);
  w->rssurl = server.Url("/feed.xml");
  w->Refresh(0);
  ASSERT_TRUE(wintest::PumpUntil([&] { return !w->refreshing(); }, 15000));
  ASSERT_EQ(w->items().size(), 2u);
  ASSERT_EQ(env_.titles.size(), 1u);
  EXPECT_EQ(env_.titles[0], std::make_pair(w->rssurl, std::u16string(u"测试频道")));
  const std::u16string good = w->GetContent();
  const int goodHeight = w->height;
  const uint32_t failureRgb = 0xBD0A01;  // "#bd0a01" as a DIB pixel (blue in the low byte)
  int right = 0;
  w->Compose();
  EXPECT_EQ(CountColour(w->surface(), 0, w->surface().height(), failureRgb, &right), 0);

  status = 404;
  w->Refresh(0);
  ASSERT_TRUE(wintest::PumpUntil([&] { return !w->refreshing(); }, 15000));
  EXPECT_EQ(w->feedLogic().failure(), (feed::FetchFailure{feed::FailureKind::kHttpStatus, 404}));
  const std::u16string shown = w->engine()->GetHtml();
  EXPECT_NE(shown.find(u"读取失败：HTTP 404，找不到订阅源"), std::u16string::npos);
  EXPECT_NE(shown.find(u"第二条"), std::u16string::npos);  // the last items stay below it
  EXPECT_EQ(w->GetContent(), good);                         // and only they are kept
  EXPECT_EQ(w->height, w->engine()->GetContentHeight() + 60);  // sized for the line too
  EXPECT_GT(w->height, goodHeight);
  ASSERT_FALSE(env_.toasts.empty());
  EXPECT_EQ(env_.toasts.back(), u"读取失败！访问服务器失败");
  // Drawn in the failure colour on the first line of the content, within its width.
  wintest::PumpFor(50);
  w->Compose();
  const widgets::Rect c = w->rects().content;
  right = 0;
  EXPECT_GT(CountColour(w->surface(), c.top, c.top + 20, failureRgb, &right), 20);
  EXPECT_LT(right, c.right);
  SaveForViewing(w->surface(), "widget_failed_404.bmp");

  status = 200;
  w->Refresh(0);
  ASSERT_TRUE(wintest::PumpUntil([&] { return !w->refreshing(); }, 15000));
  EXPECT_EQ(w->feedLogic().state(), widgets::NewsFeedLogic::State::kShown);
  EXPECT_EQ(w->engine()->GetHtml().find(u"读取失败"), std::u16string::npos);
  EXPECT_EQ(w->height, goodHeight);
  wintest::PumpFor(50);
  w->Compose();
  EXPECT_EQ(CountColour(w->surface(), 0, w->surface().height(), failureRgb, &right), 0);
}

// A link added with its name left empty is named after its host, then after its feed's
// own title once the widget made for it has read the feed; a link the user named keeps
// its name.
TEST_F(WidgetManagerTest, AnUnnamedLinkTakesItsFeedsTitle) {
  using wintest::LoopbackServer;
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string&) {
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", TwoItemFeed()));
  });
  CNotesManager& m = dlg_.manager();
  const std::u16string url = server.Url("/feed.xml"), named = server.Url("/named.xml");
  m.custom_links = {{u"127.0.0.1", url}, {u"127.0.0.1", named}};
  m.NameAfterFeedTitle(url);
  CNewsNotes* a = m.CreateFeedWidget(url, 40, 50, nullptr);
  CNewsNotes* b = m.CreateFeedWidget(named, 340, 50, nullptr);
  ASSERT_TRUE(wintest::PumpUntil([&] { return a->items().size() == 2 && b->items().size() == 2; }, 15000));
  EXPECT_EQ(m.custom_links[0].name, u"测试频道");
  EXPECT_EQ(m.custom_links[1].name, u"127.0.0.1");
}

// A fresh installation's first widget shows before its feed is known, is not saved while
// it waits, and takes the built-in feed itself (no second widget) when the configuration
// does not come.
TEST_F(WidgetManagerTest, TheWaitingFirstWidgetTakesItsFeedItself) {
  using wintest::LoopbackServer;
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string&) {
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", TwoItemFeed()));
  });
  CNotesManager& m = dlg_.manager();
  m.remote_links = {{u"内置", server.Url("/builtin.xml")}};
  m.CreateWaitingFirstWidget(40, 50);
  ASSERT_EQ(m.WidgetList().size(), 1u);
  CNewsNotes* w = m.WidgetList()[0];
  EXPECT_EQ(m.WaitingFirstWidget(), w);
  EXPECT_TRUE(wintest::PumpUntil([&] { return IsWindowVisible(w->hwnd()) != FALSE; }, 2000));
  EXPECT_NE(w->engine()->GetHtml().find(u"正在加载…"), std::u16string::npos);
  EXPECT_FALSE(w->refreshing());
  EXPECT_TRUE(m.Snapshot().widgets.empty());
  m.CreateWaitingFirstWidget(40, 50);  // one first widget only
  EXPECT_EQ(m.WidgetList().size(), 1u);

  m.CreateFirstWidgetIfNone();
  ASSERT_EQ(m.WidgetList().size(), 1u);
  EXPECT_EQ(m.WidgetList()[0], w);
  EXPECT_EQ(w->rssurl, server.Url("/builtin.xml"));
  EXPECT_EQ(m.WaitingFirstWidget(), nullptr);
  ASSERT_TRUE(wintest::PumpUntil([&] { return w->items().size() == 2; }, 15000));
  EXPECT_EQ(m.Snapshot().widgets.size(), 1u);
  m.GiveWaitingWidgetFeed(u"http://127.0.0.1:1/later.xml");  // it waits no more
  EXPECT_EQ(w->rssurl, server.Url("/builtin.xml"));
}

// The computer waking up (or the network coming back) retries a widget whose feed failed
// for want of a connection at once, not after its pause.
TEST_F(WidgetManagerTest, WakingUpRetriesAFailedFeedAtOnce) {
  using wintest::LoopbackServer;
  std::atomic<bool> up{false};
  LoopbackServer server([&](LoopbackServer&, SOCKET s, const std::string&) {
    if (up) LoopbackServer::Send(s, LoopbackServer::Response("200 OK", TwoItemFeed()));
    // else the connection closes without a word
  });
  CNewsNotes* w = dlg_.manager().CreateFeedWidget(server.Url("/feed.xml"), 40, 50, nullptr);
  ASSERT_TRUE(wintest::PumpUntil([&] { return !w->refreshing(); }, 15000));
  ASSERT_EQ(w->feedLogic().state(), widgets::NewsFeedLogic::State::kFailed);
  EXPECT_TRUE(w->feedLogic().retrying());
  up = true;
  SendMessageW(dlg_.hwnd(), WM_POWERBROADCAST, 0x12 /* PBT_APMRESUMEAUTOMATIC */, 0);
  EXPECT_TRUE(w->refreshing());
  const ULONGLONG asked = GetTickCount64();
  ASSERT_TRUE(wintest::PumpUntil([&] { return w->items().size() == 2; }, 5000));
  EXPECT_LT(GetTickCount64() - asked, 5000u);  // well before the pause would have ended
  EXPECT_EQ(w->feedLogic().state(), widgets::NewsFeedLogic::State::kShown);
  EXPECT_EQ(w->engine()->GetHtml().find(u"读取失败"), std::u16string::npos);
}

// Switching while the old feed is still being fetched: the old answer, arriving late, is
// dropped; the new feed is asked at once, and its failure is all the widget shows and
// keeps, never the old feed's items under the new address.
TEST_F(NewsNotesTest, SwitchingDropsTheOldFeedsLateAnswer) {
  using wintest::LoopbackServer;
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string& head) {
    if (head.find("GET /old.xml") == 0) {
      Sleep(1500);
      LoopbackServer::Send(s, LoopbackServer::Response("200 OK", TwoItemFeed()));
    } else {
      LoopbackServer::Send(s, LoopbackServer::Response("404 Not Found", "gone"));
    }
  });
  CNewsNotes* w = Make(255, 4);
  w->rssurl = server.Url("/old.xml");
  w->Refresh(0);
  ASSERT_TRUE(w->refreshing());
  env_.settings.custom_links = {{u"新的", server.Url("/new.xml")}};
  w->RunMenuCommand(512);  // the first custom link
  EXPECT_EQ(w->rssurl, server.Url("/new.xml"));
  ASSERT_TRUE(wintest::PumpUntil(
      [&] { return w->feedLogic().state() == widgets::NewsFeedLogic::State::kFailed; }, 10000));
  EXPECT_LT(server.heads().size(), 3u);
  wintest::PumpFor(2500);  // the old feed's answer comes in meanwhile
  ASSERT_EQ(server.heads().size(), 2u);
  EXPECT_TRUE(w->items().empty());
  EXPECT_EQ(w->GetContent(), u"");
  const std::u16string shown = w->engine()->GetHtml();
  EXPECT_NE(shown.find(u"HTTP 404"), std::u16string::npos);
  EXPECT_EQ(shown.find(u"第一条"), std::u16string::npos);
  EXPECT_TRUE(env_.titles.empty());  // nothing of the old feed was taken
}
