// One full paint and one hover repaint of a 700 x 600 feed widget showing ten items, timed
// in the real widget under Wine.
//
//   paint_bench [REPEATS]      (default 300)
//
// Full paint: CNotesBase::Compose (background, text, the opaque-text passes and the push
// to the layered window). Hover repaint: a mouse move onto another link, handled as the
// window handles it, up to and including the repaint it asks for (only the link's line).
// Prints the median and the 99th percentile of each, parts of a paint on their own, and a
// memcpy of the widget's pixels as a yardstick.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ui/dib_surface_win.h"
#include "widgets/frame_images_win.h"
#include "widgets/news_content.h"
#include "widgets/widget_compose.h"
#include "win/widgets/fake_widget_env.h"
#include "widgets/news_notes_win.h"

namespace {

constexpr int kWidth = 700, kHeight = 600;

double NowMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  const size_t n = ms.size();
  std::printf("%-18s median %6.2f ms   p99 %6.2f ms   min %6.2f ms   (%zu samples)\n", what, ms[n / 2],
              ms[std::min(n - 1, n * 99 / 100)], ms[0], n);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

std::vector<widgets::NewsItem> Items() {
  std::vector<widgets::NewsItem> items;
  for (int i = 0; i < 10; ++i) {
    std::u16string n(1, static_cast<char16_t>(u'0' + i));
    items.push_back({u"第" + n + u"条：桌面订阅的新闻标题，一条足够长的标题让这一行接近小部件的宽度 Feed title " + n,
                     u"http://127.0.0.1/item/" + n});
  }
  return items;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int repeats = argc > 1 ? std::max(10, _wtoi(argv[1])) : 300;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  Gdiplus::GdiplusStartupInput in;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &in, nullptr);
  {
    wintest::FakeWidgetEnv env;  // settings of its own; saves and the like are only recorded
    CNewsNotes widget(env);
    widget.x = 40;
    widget.y = 40;
    widget.width = kWidth;
    widget.height = kHeight;
    widget.SetFont(90, 0, u"宋体");
    widget.SetLineSpace(6);
    widget.ShowWidget();
    widget.SetContent(widgets::BuildContent(Items()));
    widget.ResizeTo(kWidth, kHeight);
    Pump();
    const ui::DibSurface& s = widget.surface();
    if (s.width() != kWidth || s.height() != kHeight) {
      std::fprintf(stderr, "widget is %d x %d, not %d x %d\n", s.width(), s.height(), kWidth, kHeight);
      return 1;
    }

    // The measures take turns, so that a busy machine disturbs them alike.
    // Hover: the pointer goes onto the first link and off the links again, each move
    // changing the highlight, as the system's own WM_SETCURSOR and WM_MOUSEMOVE tell the
    // window. A hand moves from link to link in tens of milliseconds: each move comes a
    // frame after the last push, as the widget pushes at most once a frame.
    const widgets::WidgetRects& r = widget.rects();
    const POINT spots[2] = {{r.content.left + 30, r.content.top + 4}, {r.content.left + 30, r.content.bottom - 4}};
    const RECT line{0, r.content.top, kWidth, r.content.top + 20};
    std::vector<uint32_t> a(static_cast<size_t>(kWidth) * kHeight), b(a.size()), target(a.size());
    const widgets::WidgetImages& images = widgets::GetWidgetImages();
    std::vector<double> full, hover, background, push, linePush, copy;
    int missed = 0;
    for (int i = 0; i < repeats; ++i) {
      double t0 = NowMs();
      widget.Compose();
      full.push_back(NowMs() - t0);

      POINT screen = spots[i % 2];
      ClientToScreen(widget.hwnd(), &screen);
      SetCursorPos(screen.x, screen.y);
      Sleep(kWidgetFrameMs + 4);
      const int pushes = widget.pushCount();
      t0 = NowMs();
      SendMessageW(widget.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(widget.hwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      SendMessageW(widget.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(spots[i % 2].x, spots[i % 2].y));
      Pump();
      hover.push_back(NowMs() - t0);
      missed += widget.pushCount() != pushes + 1;

      // Parts of a paint on their own: the background, the push of the whole image and of
      // one line of it. (A copy of the widget's pixels, the yardstick, is timed after.)
      t0 = NowMs();
      widgets::ComposeWidgetBackground({a.data(), kWidth, kHeight}, {b.data(), kWidth, kHeight}, images.frame,
                                       widget.theme(), 200);
      background.push_back(NowMs() - t0);
      t0 = NowMs();
      ui::PushLayered(widget.hwnd(), s, kWidth, kHeight, 255);
      push.push_back(NowMs() - t0);
      t0 = NowMs();
      ui::PushLayered(widget.hwnd(), s, kWidth, kHeight, 255, &line);
      linePush.push_back(NowMs() - t0);
    }
    for (int i = 0; i < repeats; ++i) {
      const double t0 = NowMs();
      std::memcpy(target.data(), i % 2 ? a.data() : s.pixels(), a.size() * sizeof(uint32_t));
      copy.push_back(NowMs() - t0);
    }
    if (missed) std::fprintf(stderr, "%d of %d hover changes did not repaint exactly once\n", missed, repeats);
    std::printf("%d x %d widget, ten items\n", kWidth, kHeight);
    Report("full paint", full);
    Report("hover repaint", hover);
    Report("  background", background);
    Report("  layered push", push);
    Report("  push of a line", linePush);
    Report("memcpy of pixels", copy);
    widget.DestroyWidget();
  }
  Gdiplus::GdiplusShutdown(token);
  CoUninitialize();
  std::fflush(stdout);
  return 0;
}
