#include "menus/menu_layout.h"

#include <algorithm>

namespace menus {

namespace {

// Lengths at 96 DPI.
constexpr int kBorder = 3;          // white band inside the frame, round the items
constexpr int kIconRight = 30;      // the icon column runs from the border to here
constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 10;
constexpr int kCaptionExtra = 66;   // icon column, arrow and borders beside the widest caption
constexpr int kBottomReserve = 43;  // kept free above the screen's bottom (a taskbar)
constexpr int kSubmenuBottomGap = 20;
constexpr int kColorCell = 10;

// The palette row by row as shown, top to bottom and left to right. A few entries are one
// step off the regular 0x33 grid; they are kept as they are.
constexpr uint32_t kPaletteRows[kColorRows][kColorColumns] = {
    {0x000000, 0x003300, 0x006600, 0x009900, 0x00CC00, 0x00FF00, 0x330000, 0x333300, 0x336600, 0x339900, 0x33CC00, 0x33FF00, 0x660000, 0x663300, 0x666600, 0x669900, 0x66CC00, 0x65FF00},  // row 0
    {0x000033, 0x003333, 0x006633, 0x009933, 0x00CC33, 0x00FF33, 0x330033, 0x333333, 0x336633, 0x339933, 0x33CC33, 0x32FF32, 0x660033, 0x663333, 0x666633, 0x669933, 0x66CC33, 0x65FF33},  // row 1
    {0x000066, 0x003366, 0x006666, 0x009966, 0x00CC66, 0x00FF66, 0x330066, 0x333366, 0x336666, 0x339966, 0x33CC66, 0x32FF65, 0x660066, 0x663366, 0x666666, 0x669966, 0x66CC66, 0x65FF66},  // row 2
    {0x000099, 0x003299, 0x006699, 0x009999, 0x00CC99, 0x00FF98, 0x330099, 0x333399, 0x336699, 0x339999, 0x33CC99, 0x32FF99, 0x660099, 0x663399, 0x666699, 0x669999, 0x66CC99, 0x65FF99},  // row 3
    {0x0000CC, 0x0033CC, 0x0066CC, 0x0099CC, 0x00CCCC, 0x00FFCB, 0x3300CC, 0x3333CC, 0x3366CC, 0x3399CC, 0x33CCCC, 0x32FFCC, 0x6600CC, 0x6633CC, 0x6666CC, 0x6699CC, 0x66CCCC, 0x65FFCC},  // row 4
    {0x0000FF, 0x0033FF, 0x0066FF, 0x0099FF, 0x00CCFF, 0x00FFFF, 0x3200FF, 0x3232FF, 0x3365FF, 0x3299FF, 0x32CCFF, 0x32FFFF, 0x6600FF, 0x6532FF, 0x6565FF, 0x6598FF, 0x65CCFF, 0x65FFFF},  // row 5
    {0x990000, 0x993300, 0x996600, 0x999900, 0x99CC00, 0x99FF00, 0xCC0000, 0xCC3300, 0xCC6600, 0xCC9900, 0xCCCC00, 0xCBFF00, 0xFF0000, 0xFF3300, 0xFF6600, 0xFF9900, 0xFFCC00, 0xFFFF00},  // row 6
    {0x990033, 0x993333, 0x996633, 0x999933, 0x99CC33, 0x99FF32, 0xCC0033, 0xCC3333, 0xCC6633, 0xCC9933, 0xCCCC33, 0xCCFF32, 0xFF0032, 0xFF3232, 0xFF6532, 0xFF9932, 0xFFCC32, 0xFFFF32},  // row 7
    {0x990066, 0x993366, 0x996666, 0x999966, 0x99CC66, 0x99FF65, 0xCC0066, 0xCC3366, 0xCC6666, 0xCC9966, 0xCCCC66, 0xCBFF65, 0xFF0066, 0xFF3265, 0xFF6565, 0xFF9865, 0xFFCB65, 0xFFFE65},  // row 8
    {0x990099, 0x993399, 0x996699, 0x999999, 0x99CC99, 0x99FF99, 0xCC0099, 0xCC3399, 0xCC6699, 0xCC9999, 0xCCCC99, 0xCCFF99, 0xFF0098, 0xFF3299, 0xFF6599, 0xFF9999, 0xFFCC99, 0xFFFF99},  // row 9
    {0x9900CC, 0x9933CC, 0x9966CC, 0x9999CC, 0x99CCCC, 0x99FFCC, 0xCC00CC, 0xCC33CC, 0xCC66CC, 0xCC99CC, 0xCCCCCC, 0xCDFFCD, 0xFF00CC, 0xFF32CC, 0xFF65CC, 0xFF99CC, 0xFFCDCD, 0xFFFFCD},  // row 10
    {0x9800FF, 0x9932FF, 0x9965FF, 0x9999FF, 0x99CCFF, 0x99FFFF, 0xCC00FF, 0xCC32FF, 0xCB65FF, 0xCC99FF, 0xCDCDFF, 0xCDFFFF, 0xFF00FF, 0xFF32FF, 0xFF65FF, 0xFF99FF, 0xFFCDFF, 0xFFFFFF},  // row 11
};

}  // namespace

int MenuLayout::ItemAt(int x, int y) const {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].item.Contains(x, y)) return static_cast<int>(i);
  return -1;
}

MenuLayout LayOutMenu(const std::vector<LayoutItem>& items, TextMeasurer& measurer, int dpi) {
  MenuLayout out;
  const int border = ui::ToPixels(kBorder, dpi);
  int widest = 0;
  for (const LayoutItem& it : items)
    if (!(it.flags & kItemSeparator) && !it.text.empty()) widest = std::max(widest, measurer.TextWidth(it.text));
  out.width = widest + ui::ToPixels(kCaptionExtra, dpi);
  const int iconRight = ui::ToPixels(kIconRight, dpi);
  int y = border;
  out.items.reserve(items.size());
  for (const LayoutItem& it : items) {
    int h = ui::ToPixels((it.flags & kItemSeparator) ? kSeparatorHeight : kItemHeight, dpi);
    ItemRects r;
    r.icon = Rect{border, y, iconRight, y + h};
    r.text = Rect{iconRight, y, out.width - border, y + h};
    r.item = Rect{border, y, out.width - border, y + h};
    out.items.push_back(r);
    y += h;
  }
  out.height = y + border;
  return out;
}

Point PlacePopup(int x, int y, int menuWidth, int menuHeight, const Rect& screen, int dpi) {
  Point p{x, y};
  if (screen.right - menuWidth < x) p.x = x - menuWidth;
  // The last item's bottom is the height less the lower border.
  int lastBottom = menuHeight - ui::ToPixels(kBorder, dpi);
  if (screen.bottom - lastBottom - ui::ToPixels(kBottomReserve, dpi) < y) p.y = y - menuHeight;
  p.x = std::max(p.x, screen.left);
  p.y = std::max(p.y, screen.top);
  return p;
}

Point PlaceSubmenu(const Rect& parentWindow, const Rect& item, int subWidth, int subHeight, const Rect& screen,
                   int captionHeight, int dpi) {
  Point p{parentWindow.right, parentWindow.top + item.top};
  if (p.x + subWidth > screen.right) p.x = parentWindow.left - subWidth;
  if (p.y + subHeight > screen.bottom - captionHeight - ui::ToPixels(kSubmenuBottomGap, dpi))
    p.y = parentWindow.top + item.bottom - subHeight;
  p.x = std::max(p.x, screen.left);
  p.y = std::max(p.y, screen.top);
  return p;
}

uint32_t PaletteColor(int index) {
  if (index < 0 || index >= kColorCount) return 0xFFFFFF;
  return kPaletteRows[index % kColorRows][index / kColorRows];
}

Rect ColorGrid::Cell(int column, int row) const {
  int left = margin + column * cellWidth, top = margin + row * cellHeight;
  return Rect{left, top, left + cellWidth, top + cellHeight};
}

int ColorGrid::IndexAt(int x, int y) const {
  if (cellWidth <= 0 || cellHeight <= 0 || x < margin || y < margin) return -1;
  int c = (x - margin) / cellWidth, r = (y - margin) / cellHeight;
  if (c >= kColorColumns || r >= kColorRows) return -1;
  return r + kColorRows * c;
}

ColorGrid LayOutColorGrid(int dpi) {
  ColorGrid g;
  g.margin = ui::ToPixels(kBorder, dpi);
  g.cellWidth = g.cellHeight = ui::ToPixels(kColorCell, dpi);
  g.width = 2 * g.margin + kColorColumns * g.cellWidth;
  g.height = 2 * g.margin + kColorRows * g.cellHeight;
  return g;
}

}  // namespace menus
