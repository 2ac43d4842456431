// Placement and shapes of the alpha popups: where a toast appears relative to its anchor,
// and the parts of an arrow tip for each of its four arrow directions.
#pragma once
#include "ui/dpi.h"
#include "ui/rect.h"

namespace ui {

// The toast's screen rectangle for a text of textWidth x textHeight pixels. With an
// anchor (hasAnchor), it is centred horizontally over the anchor; vertically by mode: 0
// centred, 1 at 20% of the anchor's height, 2 at 80%, other values at the screen's top.
// Without an anchor it is centred on the screen. The room around the text is given at 96 DPI
// and scaled to `dpi`.
Rect ToastRect(bool hasAnchor, const Rect& anchor, int mode, int textWidth, int textHeight, int screenWidth,
               int screenHeight, int dpi = kBaseDpi);

struct Point {
  int x, y;
};

// Arrow directions: 1 bottom left, 2 bottom right, 3 top left, 4 top right.
struct ArrowTipShape {
  Rect body;         // rounded body
  Point arrow[3];    // the arrow's triangle
  Rect closeBox;     // 30 x 30 square at the right edge
  Point cross[4];    // two lines of the close cross: cross[0]-cross[1], cross[2]-cross[3]
  Rect text;         // word-wrapped text
};
// The shape of a tip of width x height pixels on a monitor of `dpi`: the arrow, the close box,
// the cross and the margins are given at 96 DPI and scaled.
ArrowTipShape ArrowTipLayout(int width, int height, int direction, int dpi = kBaseDpi);

// Whether a direction value is one of the four.
inline bool IsArrowDirection(int d) { return d >= 1 && d <= 4; }

}  // namespace ui
