#include "ui/alpha_popup_geometry.h"

namespace ui {

Rect ToastRect(bool hasAnchor, const Rect& anchor, int mode, int textWidth, int textHeight, int screenWidth,
               int screenHeight, int dpi) {
  const int w = textWidth + ToPixels(20, dpi), h = textHeight + ToPixels(10, dpi);
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

ArrowTipShape ArrowTipLayout(int W, int H, int direction, int dpi) {
  auto p = [dpi](int v) { return ToPixels(v, dpi); };
  ArrowTipShape s{};
  const bool below = direction == 1 || direction == 2;  // arrow under the body
  const int arrowH = p(20), near = p(10), far = p(30);
  s.body = below ? Rect{0, 0, W, H - arrowH} : Rect{0, arrowH, W, H};
  switch (direction) {
    case 1: s.arrow[0] = {near, H - arrowH - 1}; s.arrow[1] = {0, H - 1}; s.arrow[2] = {far, H - arrowH - 1}; break;
    case 2:
      s.arrow[0] = {W - far, H - arrowH - 1}; s.arrow[1] = {W, H - 1}; s.arrow[2] = {W - near, H - arrowH - 1};
      break;
    case 3: s.arrow[0] = {0, 0}; s.arrow[1] = {far, arrowH}; s.arrow[2] = {near, arrowH}; break;
    default: s.arrow[0] = {W, 0}; s.arrow[1] = {W - far, arrowH}; s.arrow[2] = {W - near, arrowH}; break;
  }
  const int boxTop = below ? 0 : arrowH;
  s.closeBox = {W - p(30), boxTop, W, boxTop + p(30)};
  const int y0 = boxTop + p(6);
  s.cross[0] = {W - p(16), y0};
  s.cross[1] = {W - p(7), y0 + p(9)};
  s.cross[2] = {W - p(8), y0};
  s.cross[3] = {W - p(17), y0 + p(9)};
  // Down to 6 units above the body's edge: the first-run hint takes three lines, and a
  // shorter box would cut its last one off.
  s.text = {p(10), y0 + p(14), W - p(15), s.body.bottom - p(6)};
  return s;
}

}  // namespace ui
