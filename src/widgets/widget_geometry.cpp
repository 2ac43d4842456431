#include "widgets/widget_geometry.h"

#include <algorithm>

namespace widgets {

void ClampWidgetSize(int* width, int* height) {
  *width = std::clamp(*width, kMinWidgetWidth, kMaxWidgetWidth);
  *height = std::clamp(*height, kMinWidgetHeight, kMaxWidgetHeight);
}

Rect InitialContentRect(int w, int h) { return {10, 39, w - 20, h - 20}; }

WidgetRects ComputeWidgetRects(int w, int h, int gripWidth, int gripHeight) {
  WidgetRects r;
  r.content = {10, 39, w - 10, h - 20};
  r.title = {10, 12, w - 10, 27};
  r.grip = {w - 7 - gripWidth, h - 8 - gripHeight, w - 7, h - 8};
  r.menu = {w - 35, 10, w - 15, 30};
  r.refresh = {w - 70, 10, w - 50, 30};
  return r;
}

Area BodyArea(int w, int h) { return {4, 33, w - 9, h - 40}; }
Area TitleStripArea(int w, int h) { return {4, 5, w - 9, 29}; }
Rect RefreshCaptionRect(int w, int h) { return {5, h - 30, w - 5, h - 10}; }

bool CornerCounter::Press(int x, int y) {
  if (x < 0 || y < 0 || x >= kCornerSize || y >= kCornerSize) return false;
  if (++count_ < kCornerPressesToReset) return false;
  count_ = 0;
  return true;
}

TipPlacement PlaceFirstRunTip(int windowTop, int windowRight, int screenWidth) {
  TipPlacement p;
  int top = windowTop + 30;
  if (screenWidth < windowRight + 180) {
    // No room on the right: the tip hangs to the left, its arrow top right.
    int right = windowRight - 20;
    p.rect = {right - kFirstRunTipWidth, top, right, top + kFirstRunTipHeight};
    p.direction = 4;
  } else {
    int left = windowRight - 20;
    p.rect = {left, top, left + kFirstRunTipWidth, top + kFirstRunTipHeight};
    p.direction = 3;
  }
  return p;
}

void NewWidgetPosition(int screenWidth, int screenHeight, int* x, int* y) {
  *x = std::max(screenWidth - 400, 50);
  *y = std::min(0, screenHeight - 150);
}

}  // namespace widgets
