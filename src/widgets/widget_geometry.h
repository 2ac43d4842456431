// Where things sit inside a widget window, and how big a widget may be. All rectangles
// are in window (client) coordinates, right and bottom exclusive.
#pragma once
#include "ui/rect.h"

namespace widgets {

using ui::Rect;

constexpr int kMinWidgetWidth = 100, kMaxWidgetWidth = 800;
constexpr int kMinWidgetHeight = 80, kMaxWidgetHeight = 600;

// A stored size brought into the range a widget window may have.
void ClampWidgetSize(int* width, int* height);

struct WidgetRects {
  Rect content;   // the rich text
  Rect title;     // title text strip
  Rect grip;      // resize grip (bottom right)
  Rect refresh;   // refresh button
  Rect menu;      // menu button
};
// The rectangles of a w x h widget; the grip takes the size of its image.
WidgetRects ComputeWidgetRects(int w, int h, int gripWidth, int gripHeight);
// The content rectangle a new window starts with, 10 pixels narrower on the right than
// after its first size change.
Rect InitialContentRect(int w, int h);

// The painted areas of the background (x, y, width, height form).
struct Area {
  int x, y, width, height;
};
Area BodyArea(int w, int h);        // the gradient body
Area TitleStripArea(int w, int h);  // the title strip above it
Rect RefreshCaptionRect(int w, int h);  // "refreshing" caption near the bottom

// The square in the top-left corner whose presses are counted.
constexpr int kCornerSize = 20;
constexpr int kCornerPressesToReset = 5;

// Counts presses in the top-left corner; the fifth press returns true and starts over.
class CornerCounter {
 public:
  bool Press(int x, int y);
  int count() const { return count_; }

 private:
  int count_ = 0;
};

// Placement of the first-run tip beside a widget whose window ends at windowRight and
// starts at windowTop, on a screen screenWidth wide.
struct TipPlacement {
  Rect rect;      // screen rectangle of the tip
  int direction;  // arrow direction of the tip (3 top-left, 4 top-right)
};
constexpr int kFirstRunTipWidth = 200, kFirstRunTipHeight = 100;
TipPlacement PlaceFirstRunTip(int windowTop, int windowRight, int screenWidth);

// Where a new widget appears on a screen of the given size.
void NewWidgetPosition(int screenWidth, int screenHeight, int* x, int* y);

}  // namespace widgets
