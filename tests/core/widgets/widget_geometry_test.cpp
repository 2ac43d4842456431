#include "widgets/widget_geometry.h"

#include <gtest/gtest.h>

#include "widgets/widget_theme.h"

namespace widgets {
namespace {

TEST(WidgetGeometry, StoredSizesAreClamped) {
  int w = 50, h = 1000;
  ClampWidgetSize(&w, &h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 600);
  w = 900, h = 10;
  ClampWidgetSize(&w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 80);
}

TEST(WidgetGeometry, RectanglesOfAWidget) {
  auto r = ComputeWidgetRects(300, 200, 8, 8);
  EXPECT_EQ(r.content, (Rect{10, 39, 290, 180}));
  EXPECT_EQ(InitialContentRect(300, 200), (Rect{10, 39, 280, 180}));  // before the first size change
  EXPECT_EQ(r.title, (Rect{10, 12, 290, 27}));
  EXPECT_EQ(r.menu, (Rect{265, 10, 285, 30}));
  EXPECT_EQ(r.refresh, (Rect{230, 10, 250, 30}));
  EXPECT_EQ(r.grip, (Rect{285, 184, 293, 192}));
  EXPECT_TRUE(r.menu.Contains(265, 10));
  EXPECT_FALSE(r.menu.Contains(285, 10));
  auto body = BodyArea(300, 200);
  EXPECT_EQ(body.y + body.height, 193);
}

TEST(WidgetGeometry, FifthCornerPressResets) {
  CornerCounter c;
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(c.Press(3, 19));
  EXPECT_FALSE(c.Press(20, 5));  // outside the square: not counted
  EXPECT_EQ(c.count(), 4);
  EXPECT_TRUE(c.Press(0, 0));
  EXPECT_EQ(c.count(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(c.Press(1, 1));  // counting starts again
  EXPECT_TRUE(c.Press(1, 1));
}

TEST(WidgetGeometry, FirstRunTipSideDependsOnRoomOnTheRight) {
  auto right = PlaceFirstRunTip(100, 500, 1024);
  EXPECT_EQ(right.direction, 3);
  EXPECT_EQ(right.rect, (Rect{480, 130, 680, 230}));
  auto left = PlaceFirstRunTip(0, 1000, 1024);
  EXPECT_EQ(left.direction, 4);
  EXPECT_EQ(left.rect, (Rect{780, 30, 980, 130}));
}

TEST(WidgetGeometry, NewWidgetPlace) {
  int x, y;
  NewWidgetPosition(1024, 768, &x, &y);
  EXPECT_EQ(x, 624);
  EXPECT_EQ(y, 0);
  NewWidgetPosition(300, 100, &x, &y);
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, -50);
}

TEST(WidgetTheme, TableAndLookup) {
  ASSERT_NE(FindTheme(2), nullptr);
  EXPECT_EQ(FindTheme(2)->title, 0xC1F7C5u);
  EXPECT_EQ(FindTheme(6)->bodyBottom, 0xF4DBB8u);
  EXPECT_EQ(FindTheme(0), nullptr);
  EXPECT_EQ(FindTheme(9), nullptr);
}

}  // namespace
}  // namespace widgets
