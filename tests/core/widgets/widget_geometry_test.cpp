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

TEST(WidgetGeometry, FirstRunTipBesideTheWidgetInsideTheWorkArea) {
  const Rect work{0, 0, 1024, 738};
  auto right = PlaceFirstRunTip(Rect{250, 100, 500, 300}, work);
  EXPECT_EQ(right.direction, 3);
  EXPECT_EQ(right.rect, (Rect{500, 130, 700, 230}));
  // A new widget at the screen's right: the tip goes left of it, none of it under the widget.
  auto left = PlaceFirstRunTip(Rect{624, 0, 874, 200}, work);
  EXPECT_EQ(left.direction, 4);
  EXPECT_EQ(left.rect, (Rect{424, 30, 624, 130}));
  // Low on the screen: lifted into the work area.
  auto low = PlaceFirstRunTip(Rect{100, 680, 350, 880}, work);
  EXPECT_EQ(low.rect, (Rect{350, 638, 550, 738}));
  // A widget as wide as the screen: inside the work area, whatever it covers.
  auto wide = PlaceFirstRunTip(Rect{-50, 0, 1100, 200}, work);
  EXPECT_GE(wide.rect.left, 0);
  EXPECT_LE(wide.rect.right, 1024);

  // At 200 % the tip is 400 x 200 pixels, 60 below the widget's top: a room of 300 on the
  // right that held it at 100 % no longer does.
  auto big = PlaceFirstRunTip(Rect{500, 100, 1000, 500}, Rect{0, 0, 1300, 1000}, 192);
  EXPECT_EQ(big.direction, 4);
  EXPECT_EQ(big.rect, (Rect{100, 160, 500, 360}));
  EXPECT_EQ(PlaceFirstRunTip(Rect{500, 100, 1000, 500}, Rect{0, 0, 1300, 1000}).direction, 3);
}

TEST(WidgetGeometry, NewWidgetsCascadeUntilTheirPlaceIsFree) {
  const Rect work{0, 0, 1024, 738};
  int x = 624, y = 0;
  FreeWidgetPlace({}, work, 250, 200, &x, &y);
  EXPECT_EQ(x, 624);  // the first keeps the usual place
  EXPECT_EQ(y, 0);
  std::vector<Rect> taken{{624, 0, 874, 200}};
  FreeWidgetPlace(taken, work, 250, 200, &x, &y);
  EXPECT_EQ(x, 414);
  EXPECT_EQ(y, 210);
  taken.push_back({x, y, x + 250, y + 200});
  int x3 = 624, y3 = 0;
  FreeWidgetPlace(taken, work, 250, 200, &x3, &y3);
  for (const Rect& t : taken) {
    EXPECT_TRUE(x3 + 250 <= t.left || t.right <= x3 || y3 + 200 <= t.top || t.bottom <= y3);
  }
  EXPECT_LE(y3 + 200, 738);
  // No free place left: the usual one.
  int x4 = 624, y4 = 0;
  FreeWidgetPlace({work}, work, 250, 200, &x4, &y4);
  EXPECT_EQ(x4, 624);
  EXPECT_EQ(y4, 0);
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

TEST(WidgetGeometry, MarginsScaleWithTheMonitorsDpi) {
  // At 200 % every margin doubles; measured from the right and bottom, edges stay flush.
  auto r = ComputeWidgetRects(600, 400, 16, 16, 192);
  EXPECT_EQ(r.content, (Rect{20, 78, 580, 360}));
  EXPECT_EQ(r.menu, (Rect{530, 20, 570, 60}));
  EXPECT_EQ(r.refresh, (Rect{460, 20, 500, 60}));
  EXPECT_EQ(r.grip, (Rect{570, 368, 586, 384}));
  EXPECT_EQ(InitialContentRect(600, 400, 192), (Rect{20, 78, 560, 360}));
  auto body = BodyArea(600, 400, 192);
  EXPECT_EQ(body.x, 8);
  EXPECT_EQ(body.y, 66);
  EXPECT_EQ(body.x + body.width, 600 - 10);
  EXPECT_EQ(body.y + body.height, 400 - 14);
  auto strip = TitleStripArea(600, 400, 192);
  EXPECT_EQ(strip.height, 58);
  EXPECT_EQ(RefreshCaptionRect(600, 400, 192), (Rect{10, 340, 590, 380}));
  // 150 % on a window of an odd width: halves round up, the right margins stay the same.
  auto odd = ComputeWidgetRects(391, 301, 12, 12, 144);
  EXPECT_EQ(odd.content, (Rect{15, 59, 391 - 15, 301 - 30}));
  EXPECT_EQ(odd.menu.width(), 30);
  // 96 DPI is the layout as it always was.
  EXPECT_EQ(ComputeWidgetRects(300, 200, 8, 8, 96).content, ComputeWidgetRects(300, 200, 8, 8).content);
}

}  // namespace
}  // namespace widgets
