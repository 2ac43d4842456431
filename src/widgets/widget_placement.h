// Where a widget window is shown on the desktop: its title strip (where it is grabbed, with
// its buttons) on a work area, and no widget over another's refresh and menu buttons. All
// rectangles are in screen pixels; a widget's parts are scaled for the DPI it is drawn at.
#pragma once
#include <vector>

#include "ui/dpi.h"
#include "widgets/widget_geometry.h"

namespace widgets {

// A widget window on the screen, and the DPI it is drawn at.
struct PlacedWidget {
  Rect window;
  int dpi = ui::kBaseDpi;
};

// The title strip of a widget window, and its two buttons (refresh first, then menu).
Rect TitleStripOnScreen(const PlacedWidget& w);
std::vector<Rect> ButtonsOnScreen(const PlacedWidget& w);

// True when all of the widget's title strip lies on the work areas (a strip may reach over
// two monitors side by side). True when nothing is known about the monitors.
bool TitleStripOnWorkArea(const PlacedWidget& w, const std::vector<ui::MonitorArea>& monitors);

// Where a widget is shown for its stored place: there when its title strip is on a work
// area; otherwise moved (same size) into the work area nearest to it, as far inside as its
// size allows (its top-left corner first when it is larger). No monitors: unchanged.
Rect BringTitleStripOnScreen(const PlacedWidget& w, const std::vector<ui::MonitorArea>& monitors);

// True when the widget lies over a button of one of `others`, or one of them lies over
// one of its own buttons.
bool CoversButtons(const PlacedWidget& w, const std::vector<PlacedWidget>& others);

// Where a widget goes so that it covers no other widget's buttons and no other covers its
// own: where it is when that already holds; otherwise the nearest place (same size) where
// it does and its title strip is on a work area, inside a work area when any such place
// is. Unchanged when there is no such place.
Rect AvoidOthersButtons(const PlacedWidget& w, const std::vector<PlacedWidget>& others,
                        const std::vector<ui::MonitorArea>& monitors);

// The widest the widget may become for its content, its left edge and height kept, without
// lying over another widget's buttons or having its own covered: `widest` when nothing is
// in the way, never less than `narrowest` (nor than its width, when that is clear).
int RoomToWiden(const PlacedWidget& w, const std::vector<PlacedWidget>& others, int narrowest, int widest);

}  // namespace widgets
