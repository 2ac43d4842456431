#include "ui/alpha_popup_geometry.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(AlphaPopupGeometry, ToastPlacement) {
  Rect widget{100, 100, 400, 400};  // 300 high
  Rect r = ToastRect(true, widget, 2, 100, 14, 1024, 768);
  EXPECT_EQ(r.top, 340);  // 240 below the widget's top
  EXPECT_EQ(r.width(), 120);
  EXPECT_EQ(r.height(), 24);
  EXPECT_EQ(r.left, 100 + (300 - 120) / 2);
  EXPECT_EQ(ToastRect(true, widget, 1, 100, 14, 1024, 768).top, 160);
  EXPECT_EQ(ToastRect(true, widget, 0, 100, 14, 1024, 768).top, 100 + (300 - 24) / 2);
  EXPECT_EQ(ToastRect(true, widget, 7, 100, 14, 1024, 768).top, 0);
  EXPECT_EQ(ToastRect(false, widget, 2, 100, 14, 1024, 768), (Rect{452, 372, 572, 396}));
  // At 200 %: the text is measured in that DPI's pixels; the room around it doubles.
  Rect big = ToastRect(true, widget, 2, 200, 28, 1024, 768, 192);
  EXPECT_EQ(big.width(), 240);
  EXPECT_EQ(big.height(), 48);
  EXPECT_EQ(ToastRect(false, widget, 2, 200, 28, 1024, 768, 144).width(), 230);
}

TEST(AlphaPopupGeometry, ArrowTipAtTwiceTheDpiIsTheSameShapeTwiceAsLarge) {
  for (int direction = 1; direction <= 4; ++direction) {
    const ArrowTipShape one = ArrowTipLayout(200, 100, direction);
    const ArrowTipShape two = ArrowTipLayout(400, 200, direction, 192);
    auto twice = [](const Rect& r) { return Rect{2 * r.left, 2 * r.top, 2 * r.right, 2 * r.bottom}; };
    EXPECT_EQ(two.body, twice(one.body)) << direction;
    EXPECT_EQ(two.closeBox, twice(one.closeBox)) << direction;
    EXPECT_EQ(two.text, twice(one.text)) << direction;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(two.cross[i].x, 2 * one.cross[i].x) << direction;
      EXPECT_EQ(two.cross[i].y, 2 * one.cross[i].y) << direction;
    }
    // The arrow's corners: the same, but for the one-pixel step that joins it to the body.
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(two.arrow[i].x, 2 * one.arrow[i].x, 1) << direction;
      EXPECT_NEAR(two.arrow[i].y, 2 * one.arrow[i].y, 1) << direction;
    }
  }
}

TEST(AlphaPopupGeometry, ArrowTipDirections) {
  auto up = ArrowTipLayout(200, 100, 3);
  EXPECT_EQ(up.body, (Rect{0, 20, 200, 100}));
  EXPECT_EQ(up.closeBox, (Rect{170, 20, 200, 50}));
  EXPECT_EQ(up.arrow[0].x, 0);
  EXPECT_EQ(up.text, (Rect{10, 40, 185, 94}));
  auto down = ArrowTipLayout(200, 100, 2);
  EXPECT_EQ(down.body, (Rect{0, 0, 200, 80}));
  EXPECT_EQ(down.text, (Rect{10, 20, 185, 74}));
  EXPECT_EQ(down.closeBox.top, 0);
  EXPECT_EQ(down.arrow[1].y, 99);
  EXPECT_EQ(ArrowTipLayout(200, 100, 4).arrow[0].x, 200);
  EXPECT_EQ(ArrowTipLayout(200, 100, 4).cross[0].y, 26);
  EXPECT_EQ(ArrowTipLayout(200, 100, 1).cross[0].y, 6);
}

}  // namespace
}  // namespace ui
