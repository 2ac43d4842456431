#include "ui/dpi.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace ui {
namespace {

constexpr int kMinDpi = 48, kMaxDpi = 960;

int RoundedRatio(int value, int num, int den) {
  const int64_t p = static_cast<int64_t>(value) * num;
  const int64_t half = den / 2;
  const int64_t q = p >= 0 ? (p + half) / den : -((-p + half) / den);
  return static_cast<int>(std::clamp<int64_t>(q, INT_MIN, INT_MAX));
}

int Overlap(int a0, int a1, int b0, int b1) { return std::max(0, std::min(a1, b1) - std::max(a0, b0)); }

// Distance between two ranges on one axis (0 when they overlap).
int64_t Gap(int a0, int a1, int b0, int b1) {
  if (a1 <= b0) return static_cast<int64_t>(b0) - a1;
  if (b1 <= a0) return static_cast<int64_t>(a0) - b1;
  return 0;
}

int Fit(int start, int size, int lo, int hi) {
  if (size >= hi - lo) return lo;
  return std::clamp(start, lo, hi - size);
}

// The start of a range of `size` that begins at `start` and ended at `oldEnd`, kept inside
// [lo, hi) when only its growth would take it out.
int KeepGrowthInside(int start, int oldEnd, int size, int lo, int hi) {
  if (start + size <= hi || oldEnd > hi || start < lo) return start;
  return std::max(lo, hi - size);
}

}  // namespace

int UsableDpi(int dpi) { return dpi < kMinDpi || dpi > kMaxDpi ? kBaseDpi : dpi; }

int ToPixels(int logical, int dpi) { return RoundedRatio(logical, UsableDpi(dpi), kBaseDpi); }

int ToLogical(int pixels, int dpi) { return RoundedRatio(pixels, kBaseDpi, UsableDpi(dpi)); }

int FontHeightAt(int tenthsOfPoint, int dpi) { return -RoundedRatio(tenthsOfPoint, UsableDpi(dpi), 720); }

int NearestImageScale(int dpi) {
  const int percent = RoundedRatio(100, UsableDpi(dpi), kBaseDpi);
  if (percent < 125) return 100;
  if (percent < 175) return 150;
  return 200;
}

bool IsOnAMonitor(const Rect& w, const std::vector<MonitorArea>& monitors) {
  const int needW = std::min(std::max(w.width(), 1), kMinShownWidth);
  const int needH = std::min(std::max(w.height(), 1), kMinShownHeight);
  for (const MonitorArea& m : monitors) {
    const Rect& r = m.monitor;
    if (Overlap(w.left, w.right, r.left, r.right) >= needW && Overlap(w.top, w.bottom, r.top, r.bottom) >= needH)
      return true;
  }
  return false;
}

Rect PlaceOnAMonitor(const Rect& w, const std::vector<MonitorArea>& monitors) {
  if (monitors.empty() || IsOnAMonitor(w, monitors)) return w;
  const MonitorArea* nearest = &monitors.front();
  double best = -1;
  for (const MonitorArea& m : monitors) {
    const double dx = static_cast<double>(Gap(w.left, w.right, m.work.left, m.work.right));
    const double dy = static_cast<double>(Gap(w.top, w.bottom, m.work.top, m.work.bottom));
    const double d = dx * dx + dy * dy;
    if (best < 0 || d < best) {
      best = d;
      nearest = &m;
    }
  }
  const Rect& work = nearest->work;
  Rect out;
  out.left = Fit(w.left, w.width(), work.left, work.right);
  out.top = Fit(w.top, w.height(), work.top, work.bottom);
  out.right = out.left + w.width();
  out.bottom = out.top + w.height();
  return out;
}

Rect GrowWithinWorkArea(const Rect& w, int width, int height, const std::vector<MonitorArea>& monitors) {
  const MonitorArea* on = nullptr;
  int64_t most = 0;
  for (const MonitorArea& m : monitors) {
    const int64_t shared = static_cast<int64_t>(Overlap(w.left, w.right, m.monitor.left, m.monitor.right)) *
                           Overlap(w.top, w.bottom, m.monitor.top, m.monitor.bottom);
    if (shared > most) {
      most = shared;
      on = &m;
    }
  }
  Rect out{w.left, w.top, 0, 0};
  if (on) {
    out.left = KeepGrowthInside(w.left, w.right, width, on->work.left, on->work.right);
    out.top = KeepGrowthInside(w.top, w.bottom, height, on->work.top, on->work.bottom);
  }
  out.right = out.left + width;
  out.bottom = out.top + height;
  return out;
}

}  // namespace ui
