// Geometry of the owner-drawn popup menus: item rectangles, the window size, where a menu
// opens relative to the cursor and the screen's edges, where a submenu opens beside its
// parent, and the colour grid. Every length is given at 96 DPI and scaled to the monitor's.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui/dpi.h"

namespace menus {

// Item flags (the values of the platform's MF_GRAYED, MF_DISABLED, MF_POPUP, MF_SEPARATOR).
constexpr uint32_t kItemGrayed = 0x0001;     // caption drawn grey
constexpr uint32_t kItemDisabled = 0x0002;   // a click does nothing
constexpr uint32_t kItemPopup = 0x0010;      // opens a submenu
constexpr uint32_t kItemSeparator = 0x0800;  // a horizontal line

using Rect = ui::Rect;
struct Point {
  int x = 0, y = 0;
  bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

// Width in pixels of a caption in the menu font; the Windows layer measures with GDI.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual int TextWidth(const std::u16string& text) = 0;
};

struct ItemRects {
  Rect icon, text, item;
};
struct MenuLayout {
  int width = 0, height = 0;
  std::vector<ItemRects> items;
  // The first item whose rectangle holds the client point, or -1.
  int ItemAt(int x, int y) const;
};

struct LayoutItem {
  uint32_t flags = 0;
  std::u16string text;
};
// Lays the items out top to bottom: normal items 20 pixels high, separators 10, a 3-pixel
// border round them, an icon column of 27 pixels; the width leaves 66 pixels beside the
// widest caption for icon, arrow and borders.
MenuLayout LayOutMenu(const std::vector<LayoutItem>& items, TextMeasurer& measurer, int dpi);

// Where a top-level menu of the given size opens for the point (x, y) on a monitor
// `screen`: to the right of and below the point, flipped to the left when it would pass
// the right edge, and above the point when it would come within 43 pixels (at 96 DPI, room
// for a taskbar) of the bottom. It never starts beyond the monitor's left or
// top edge.
Point PlacePopup(int x, int y, int menuWidth, int menuHeight, const Rect& screen, int dpi);

// Where a submenu opens beside its parent window for the parent's item `item` (client
// coordinates): right of the parent, or left of it when that passes the right edge; level
// with the item, or bottom-aligned with it when the submenu would come below the screen's
// bottom less the caption height and 20 pixels.
Point PlaceSubmenu(const Rect& parentWindow, const Rect& item, int subWidth, int subHeight, const Rect& screen,
                   int captionHeight, int dpi);

// The colour grid: 18 columns x 12 rows of 10-pixel cells inside a 3-pixel margin.
constexpr int kColorColumns = 18;
constexpr int kColorRows = 12;
constexpr int kColorCount = kColorColumns * kColorRows;
// Palette entry `index` (0..215) as 0xRRGGBB; entry r + 12 * c is the cell in column c,
// row r. Out-of-range indices give white.
uint32_t PaletteColor(int index);

struct ColorGrid {
  int width = 0, height = 0;  // the window's client size
  int margin = 0, cellWidth = 0, cellHeight = 0;
  Rect Cell(int column, int row) const;
  // The palette index of the cell holding the client point, or -1 on the frame and margin.
  int IndexAt(int x, int y) const;
};
ColorGrid LayOutColorGrid(int dpi);

// 0xRRGGBB to the platform's colour value (red in the low byte).
constexpr uint32_t RgbToColorref(uint32_t rgb) {
  return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

}  // namespace menus
