// Sizes in 96-DPI units ("logical" sizes, the ones data.dat keeps) and in a monitor's
// pixels, the monitors' areas, and where a window goes as it grows.
#pragma once
#include <vector>

#include "ui/rect.h"

namespace ui {

constexpr int kBaseDpi = 96;

// A DPI a window can be drawn at: nonsense (0, negative, absurd) counts as 96.
int UsableDpi(int dpi);
// `logical` 96-DPI units in pixels at `dpi`, rounded to the nearest pixel.
int ToPixels(int logical, int dpi);
// Pixels at `dpi` in 96-DPI units, rounded to the nearest unit.
int ToLogical(int pixels, int dpi);
// A point font size (tenths of a point) as a GDI font height in pixels at `dpi` (negative:
// the character height).
int FontHeightAt(int tenthsOfPoint, int dpi);

// The drawn images come at 1x, 1.5x and 2x: the one nearest to `dpi`, in percent.
int NearestImageScale(int dpi);

struct MonitorArea {
  Rect monitor;  // the whole monitor
  Rect work;     // without the taskbar and docked bars
};

// Where `window` goes when it takes the size `width` x `height` with its top-left corner
// kept, as a widget does for its content: where it is, unless the new size alone carries
// its right or bottom edge past the work area of the monitor it is mostly on. Then it moves
// back (left, up) by as much as it went over, never past the work area's left or top. An
// edge that already hung past the work area stays where the user put it.
Rect GrowWithinWorkArea(const Rect& window, int width, int height, const std::vector<MonitorArea>& monitors);

}  // namespace ui
