#include "widgets/widget_placement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace widgets {
namespace {

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const Rect& r, const Rect& area) {
  return r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom;
}

// Distance between two ranges on one axis (0 when they overlap).
int64_t Gap(int a0, int a1, int b0, int b1) {
  if (a1 <= b0) return static_cast<int64_t>(b0) - a1;
  if (b1 <= a0) return static_cast<int64_t>(a0) - b1;
  return 0;
}

// The start of a range of `size` that begins at `start`, brought inside [lo, hi); one
// that does not fit starts at lo.
int Fit(int start, int size, int lo, int hi) {
  if (size >= hi - lo) return lo;
  return std::clamp(start, lo, hi - size);
}

Rect At(const Rect& r, int left, int top) { return {left, top, left + r.width(), top + r.height()}; }

}  // namespace

Rect TitleStripOnScreen(const PlacedWidget& w) {
  const Area a = TitleStripArea(w.window.width(), w.window.height(), w.dpi);
  return {w.window.left + a.x, w.window.top + a.y, w.window.left + a.x + a.width, w.window.top + a.y + a.height};
}

std::vector<Rect> ButtonsOnScreen(const PlacedWidget& w) {
  const WidgetRects r = ComputeWidgetRects(w.window.width(), w.window.height(), 0, 0, w.dpi);
  std::vector<Rect> out;
  for (const Rect& b : {r.refresh, r.menu})
    out.push_back({w.window.left + b.left, w.window.top + b.top, w.window.left + b.right, w.window.top + b.bottom});
  return out;
}

bool TitleStripOnWorkArea(const PlacedWidget& w, const std::vector<ui::MonitorArea>& monitors) {
  if (monitors.empty()) return true;
  const Rect strip = TitleStripOnScreen(w);
  // The parts of the strip's width that work areas holding its whole height cover, left
  // to right: the strip is on them when they leave no gap.
  std::vector<std::pair<int, int>> spans;
  for (const ui::MonitorArea& m : monitors)
    if (m.work.top <= strip.top && strip.bottom <= m.work.bottom) spans.push_back({m.work.left, m.work.right});
  std::sort(spans.begin(), spans.end());
  int covered = strip.left;
  for (const auto& s : spans) {
    if (s.first > covered) break;
    covered = std::max(covered, s.second);
    if (covered >= strip.right) return true;
  }
  return covered >= strip.right;
}

Rect BringTitleStripOnScreen(const PlacedWidget& w, const std::vector<ui::MonitorArea>& monitors) {
  if (TitleStripOnWorkArea(w, monitors)) return w.window;
  const Rect& r = w.window;
  const ui::MonitorArea* nearest = &monitors.front();
  double best = -1;
  for (const ui::MonitorArea& m : monitors) {
    const double dx = static_cast<double>(Gap(r.left, r.right, m.work.left, m.work.right));
    const double dy = static_cast<double>(Gap(r.top, r.bottom, m.work.top, m.work.bottom));
    const double d = dx * dx + dy * dy;
    if (best < 0 || d < best) {
      best = d;
      nearest = &m;
    }
  }
  const Rect& work = nearest->work;
  return At(r, Fit(r.left, r.width(), work.left, work.right), Fit(r.top, r.height(), work.top, work.bottom));
}

bool CoversButtons(const PlacedWidget& w, const std::vector<PlacedWidget>& others) {
  const std::vector<Rect> own = ButtonsOnScreen(w);
  for (const PlacedWidget& o : others) {
    for (const Rect& b : ButtonsOnScreen(o))
      if (Overlap(w.window, b)) return true;
    for (const Rect& b : own)
      if (Overlap(o.window, b)) return true;
  }
  return false;
}

Rect AvoidOthersButtons(const PlacedWidget& w, const std::vector<PlacedWidget>& others,
                        const std::vector<ui::MonitorArea>& monitors) {
  if (!CoversButtons(w, others)) return w.window;
  const Rect& r = w.window;
  const int width = r.width(), height = r.height();
  // The places worth trying on each axis: where it is, edge to edge with each button it
  // might cover or each widget that might cover its buttons, and against the work areas'
  // edges. The best place is among their combinations.
  const std::vector<Rect> own = ButtonsOnScreen(w);
  Rect ownButtons{own[0].left - r.left, own[0].top - r.top, own[1].right - r.left, own[1].bottom - r.top};
  std::vector<int> xs{r.left}, ys{r.top};
  for (const PlacedWidget& o : others) {
    for (const Rect& b : ButtonsOnScreen(o)) {
      xs.insert(xs.end(), {b.right, b.left - width});
      ys.insert(ys.end(), {b.bottom, b.top - height});
    }
    xs.insert(xs.end(), {o.window.right - ownButtons.left, o.window.left - ownButtons.right});
    ys.insert(ys.end(), {o.window.bottom - ownButtons.top, o.window.top - ownButtons.bottom});
  }
  // Inside a work area, or as far out as its title strip allows.
  const Rect strip = TitleStripOnScreen(w);
  for (const ui::MonitorArea& m : monitors) {
    xs.insert(xs.end(), {m.work.left, m.work.right - width, m.work.left - (strip.left - r.left),
                         m.work.right - (strip.right - r.left)});
    ys.insert(ys.end(), {m.work.top, m.work.bottom - height, m.work.top - (strip.top - r.top),
                         m.work.bottom - (strip.bottom - r.top)});
  }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

  auto insideAWorkArea = [&](const Rect& c) {
    if (monitors.empty()) return true;
    for (const ui::MonitorArea& m : monitors)
      if (Inside(c, m.work)) return true;
    return false;
  };
  Rect best = r;
  bool found = false, bestInside = false;
  int64_t bestDistance = std::numeric_limits<int64_t>::max();
  for (int x : xs) {
    for (int y : ys) {
      const PlacedWidget c{At(r, x, y), w.dpi};
      const int64_t dx = static_cast<int64_t>(x) - r.left, dy = static_cast<int64_t>(y) - r.top;
      const int64_t distance = dx * dx + dy * dy;
      const bool inside = insideAWorkArea(c.window);
      // Inside a work area beats nearer; otherwise nearer wins.
      if (found && (bestInside && !inside)) continue;
      if (found && bestInside == inside && distance >= bestDistance) continue;
      if (!TitleStripOnWorkArea(c, monitors) || CoversButtons(c, others)) continue;
      best = c.window;
      bestDistance = distance;
      bestInside = inside;
      found = true;
    }
  }
  return best;
}

int RoomToWiden(const PlacedWidget& w, const std::vector<PlacedWidget>& others, int narrowest, int widest) {
  const Rect& r = w.window;
  auto clearAt = [&](int width) { return !CoversButtons({{r.left, r.top, r.left + width, r.bottom}, w.dpi}, others); };
  // Only a widget that stands clear now has room to keep; one in the way already moves.
  const int from = std::max(narrowest, std::min(r.width(), widest));
  if (!clearAt(from)) return widest;
  int room = from;
  while (room < widest && clearAt(room + 1)) ++room;
  return room;
}

}  // namespace widgets
