#include "widgets/widget_geometry.h"

#include <algorithm>

namespace widgets {

void ClampWidgetSize(int* width, int* height) {
  *width = std::clamp(*width, kMinWidgetWidth, kMaxWidgetWidth);
  *height = std::clamp(*height, kMinWidgetHeight, kMaxWidgetHeight);
}

Rect InitialContentRect(int w, int h, int dpi) {
  auto p = [dpi](int v) { return ui::ToPixels(v, dpi); };
  return {p(10), p(39), w - p(20), h - p(20)};
}

WidgetRects ComputeWidgetRects(int w, int h, int gripWidth, int gripHeight, int dpi) {
  // Margins from the right and bottom edges are scaled as lengths, so that the edges stay
  // flush with a window whose pixel size does not divide evenly.
  auto p = [dpi](int v) { return ui::ToPixels(v, dpi); };
  WidgetRects r;
  r.content = {p(10), p(39), w - p(10), h - p(20)};
  r.title = {p(10), p(12), w - p(10), p(27)};
  r.grip = {w - p(7) - gripWidth, h - p(8) - gripHeight, w - p(7), h - p(8)};
  r.menu = {w - p(35), p(10), w - p(15), p(30)};
  r.refresh = {w - p(70), p(10), w - p(50), p(30)};
  return r;
}

Area BodyArea(int w, int h, int dpi) {
  auto p = [dpi](int v) { return ui::ToPixels(v, dpi); };
  return {p(4), p(33), w - p(4) - p(5), h - p(33) - p(7)};
}

Area TitleStripArea(int w, int h, int dpi) {
  auto p = [dpi](int v) { return ui::ToPixels(v, dpi); };
  return {p(4), p(5), w - p(4) - p(5), p(29)};
}

Rect RefreshCaptionRect(int w, int h, int dpi) {
  auto p = [dpi](int v) { return ui::ToPixels(v, dpi); };
  return {p(5), h - p(30), w - p(5), h - p(10)};
}

bool CornerCounter::Press(int x, int y) {
  if (x < 0 || y < 0 || x >= kCornerSize || y >= kCornerSize) return false;
  if (++count_ < kCornerPressesToReset) return false;
  count_ = 0;
  return true;
}

TipPlacement PlaceFirstRunTip(const Rect& window, const Rect& workArea, int dpi) {
  const int tipW = ui::ToPixels(kFirstRunTipWidth, dpi), tipH = ui::ToPixels(kFirstRunTipHeight, dpi);
  const int roomRight = workArea.right - window.right;
  const int roomLeft = window.left - workArea.left;
  const bool right = roomRight >= tipW || (roomLeft < tipW && roomRight >= roomLeft);
  TipPlacement p;
  p.direction = right ? 3 : 4;
  int left = right ? window.right : window.left - tipW;
  left = std::max(workArea.left, std::min(left, workArea.right - tipW));
  int top = std::max(workArea.top, std::min(window.top + ui::ToPixels(30, dpi), workArea.bottom - tipH));
  p.rect = {left, top, left + tipW, top + tipH};
  return p;
}

void NewWidgetPosition(int screenWidth, int screenHeight, int* x, int* y) {
  *x = std::max(screenWidth - 400, 50);
  *y = std::min(0, screenHeight - 150);
}

namespace {
bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
}  // namespace

void FreeWidgetPlace(const std::vector<Rect>& taken, const Rect& workArea, int w, int h, int* x, int* y) {
  auto isFree = [&](int px, int py) {
    const Rect r{px, py, px + w, py + h};
    for (const Rect& t : taken)
      if (Overlap(r, t)) return false;
    return true;
  };
  if (isFree(*x, *y)) return;
  int px = *x, py = *y;
  for (;;) {
    px -= kCascadeStep;
    py += kCascadeStep;
    if (py + h > workArea.bottom) py = workArea.top;
    if (px < workArea.left) return;  // no free place: the usual one
    if (px + w <= workArea.right && py >= workArea.top && isFree(px, py)) {
      *x = px;
      *y = py;
      return;
    }
  }
}

}  // namespace widgets
