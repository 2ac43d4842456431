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
