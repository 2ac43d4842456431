// Where things sit inside a widget window, and how big a widget may be. All rectangles
// are in window (client) coordinates, right and bottom exclusive.
#pragma once
#include <vector>

#include "ui/dpi.h"
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
// The rectangles of a window of w x h pixels on a monitor of `dpi`: every margin is given
// at 96 DPI and scaled; the grip takes the size of its image (in pixels).
WidgetRects ComputeWidgetRects(int w, int h, int gripWidth, int gripHeight, int dpi = ui::kBaseDpi);
// The content rectangle a new window starts with, 10 units narrower on the right than
// after its first size change.
Rect InitialContentRect(int w, int h, int dpi = ui::kBaseDpi);

// The painted areas of the background (x, y, width, height form), in pixels of a window of
// w x h pixels on a monitor of `dpi`.
struct Area {
  int x, y, width, height;
};
Area BodyArea(int w, int h, int dpi = ui::kBaseDpi);        // the gradient body
Area TitleStripArea(int w, int h, int dpi = ui::kBaseDpi);  // the title strip above it
Rect RefreshCaptionRect(int w, int h, int dpi = ui::kBaseDpi);  // "refreshing" caption near the bottom

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

// Placement of the first-run tip beside the widget window `window` (screen rectangle),
// fully inside `workArea`: right of the widget, its arrow top left, when it fits there;
// else left of it, its arrow top right; never over the widget while either side has room.
struct TipPlacement {
  Rect rect;      // screen rectangle of the tip
  int direction;  // arrow direction of the tip (3 top-left, 4 top-right)
};
// The tip's size and its offset below the widget's top are given at 96 DPI and scaled to `dpi`.
constexpr int kFirstRunTipWidth = 200, kFirstRunTipHeight = 100;
TipPlacement PlaceFirstRunTip(const Rect& window, const Rect& workArea, int dpi = ui::kBaseDpi);

// Where a new widget appears on a screen of the given size.
void NewWidgetPosition(int screenWidth, int screenHeight, int* x, int* y);

// Where a new w x h widget that would appear at (*x, *y) goes: there when none of the
// `taken` rectangles overlaps it; otherwise the first place down and to the left, in steps
// of kCascadeStep pixels, that overlaps none and lies inside the work area (going on from
// the work area's top once its bottom is reached). Unchanged when no such place exists.
constexpr int kCascadeStep = 30;
void FreeWidgetPlace(const std::vector<Rect>& taken, const Rect& workArea, int w, int h, int* x, int* y);

}  // namespace widgets
