#include "ui/alpha_popup_geometry.h"

namespace ui {

Rect ToastRect(bool hasAnchor, const Rect& anchor, int mode, int textWidth, int textHeight, int screenWidth,
               int screenHeight) {
  const int w = textWidth + 20, h = textHeight + 10;
  int x, y;
  if (hasAnchor) {
    x = anchor.left + (anchor.width() - w) / 2;
    switch (mode) {
      case 0: y = anchor.top + (anchor.height() - h) / 2; break;
      case 1: y = anchor.top + static_cast<int>(0.2 * anchor.height()); break;
      case 2: y = anchor.bottom - static_cast<int>(0.2 * anchor.height()); break;
      default: y = 0; break;
    }
  } else {
    x = (screenWidth - w) / 2;
    y = (screenHeight - h) / 2;
  }
  return {x, y, x + w, y + h};
}

ArrowTipShape ArrowTipLayout(int W, int H, int direction) {
  ArrowTipShape s{};
  const bool below = direction == 1 || direction == 2;  // arrow under the body
  s.body = below ? Rect{0, 0, W, H - 20} : Rect{0, 20, W, H};
  switch (direction) {
    case 1: s.arrow[0] = {10, H - 21}; s.arrow[1] = {0, H - 1}; s.arrow[2] = {30, H - 21}; break;
    case 2: s.arrow[0] = {W - 30, H - 21}; s.arrow[1] = {W, H - 1}; s.arrow[2] = {W - 10, H - 21}; break;
    case 3: s.arrow[0] = {0, 0}; s.arrow[1] = {30, 20}; s.arrow[2] = {10, 20}; break;
    default: s.arrow[0] = {W, 0}; s.arrow[1] = {W - 30, 20}; s.arrow[2] = {W - 10, 20}; break;
  }
  const int boxTop = below ? 0 : 20;
  s.closeBox = {W - 30, boxTop, W, boxTop + 30};
  const int y0 = below ? 6 : 26;
  s.cross[0] = {W - 16, y0};
  s.cross[1] = {W - 7, y0 + 9};
  s.cross[2] = {W - 8, y0};
  s.cross[3] = {W - 17, y0 + 9};
  // Down to 6 pixels above the body's edge: the first-run hint takes three lines, and a
  // shorter box would cut its last one off.
  s.text = {10, y0 + 14, W - 15, s.body.bottom - 6};
  return s;
}

}  // namespace ui
