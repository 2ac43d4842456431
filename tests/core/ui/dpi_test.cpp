#include "ui/dpi.h"

#include <climits>

#include <gtest/gtest.h>

namespace {

using ui::MonitorArea;
using ui::Rect;

TEST(Dpi, SizesScaleBothWaysAndRound) {
  EXPECT_EQ(ui::ToPixels(260, 96), 260);
  EXPECT_EQ(ui::ToPixels(260, 192), 520);
  EXPECT_EQ(ui::ToPixels(260, 144), 390);
  EXPECT_EQ(ui::ToPixels(5, 120), 6);    // 6.25
  EXPECT_EQ(ui::ToPixels(-10, 144), -15);
  EXPECT_EQ(ui::ToLogical(520, 192), 260);
  EXPECT_EQ(ui::ToLogical(391, 144), 261);  // 260.67
  for (int dpi : {96, 120, 144, 168, 192, 288})
    for (int v : {0, 1, 7, 80, 260, 800}) EXPECT_EQ(ui::ToLogical(ui::ToPixels(v, dpi), dpi), v) << dpi << " " << v;
  // No overflow at the ends of the range.
  EXPECT_EQ(ui::ToPixels(INT_MAX, 192), INT_MAX);
  EXPECT_EQ(ui::ToPixels(INT_MIN, 192), INT_MIN);
}

TEST(Dpi, NonsenseDpiCountsAsNinetySix) {
  for (int dpi : {0, -96, 1, 47, 100000}) {
    EXPECT_EQ(ui::UsableDpi(dpi), 96);
    EXPECT_EQ(ui::ToPixels(200, dpi), 200);
    EXPECT_EQ(ui::ToLogical(200, dpi), 200);
  }
  EXPECT_EQ(ui::UsableDpi(144), 144);
}

TEST(Dpi, FontHeightsFollowTheDpi) {
  EXPECT_EQ(ui::FontHeightAt(90, 96), -12);
  EXPECT_EQ(ui::FontHeightAt(90, 192), -24);
  EXPECT_EQ(ui::FontHeightAt(100, 144), -20);
}

TEST(Dpi, NearestImageScale) {
  EXPECT_EQ(ui::NearestImageScale(96), 100);
  EXPECT_EQ(ui::NearestImageScale(110), 100);
  EXPECT_EQ(ui::NearestImageScale(120), 150);  // 125 %: halfway, the sharper image
  EXPECT_EQ(ui::NearestImageScale(144), 150);
  EXPECT_EQ(ui::NearestImageScale(168), 200);  // 175 %
  EXPECT_EQ(ui::NearestImageScale(192), 200);
  EXPECT_EQ(ui::NearestImageScale(288), 200);
  EXPECT_EQ(ui::NearestImageScale(0), 100);
}

const MonitorArea kPrimary{{0, 0, 1280, 800}, {0, 0, 1280, 760}};      // taskbar at the bottom
const MonitorArea kLeft{{-1920, -200, 0, 880}, {-1920, -200, 0, 880}};  // a second one, left

TEST(Dpi, AWidgetThatGrowsPastTheWorkAreaMovesBackIntoIt) {
  const std::vector<MonitorArea> both{kPrimary, kLeft};
  // Room to grow: the corner stays.
  EXPECT_EQ(ui::GrowWithinWorkArea({100, 100, 360, 300}, 700, 400, both), (Rect{100, 100, 800, 500}));
  // Made near the right edge and fitted to long titles: back by what went over, so its
  // buttons at the top right stay on the screen.
  EXPECT_EQ(ui::GrowWithinWorkArea({880, 0, 1130, 200}, 700, 500, both), (Rect{580, 0, 1280, 500}));
  // Near the taskbar: up, not under it; shrinking moves nothing back.
  EXPECT_EQ(ui::GrowWithinWorkArea({500, 600, 760, 700}, 260, 300, both), (Rect{500, 460, 760, 760}));
  EXPECT_EQ(ui::GrowWithinWorkArea({500, 460, 760, 760}, 260, 100, both), (Rect{500, 460, 760, 560}));
  // Larger than the work area: its top-left corner shows.
  EXPECT_EQ(ui::GrowWithinWorkArea({900, 300, 1100, 500}, 1500, 900, both), (Rect{0, 0, 1500, 900}));
  // Hanging over an edge by the user's choice: left as it is.
  EXPECT_EQ(ui::GrowWithinWorkArea({1100, 100, 1360, 300}, 400, 200, both), (Rect{1100, 100, 1500, 300}));
  EXPECT_EQ(ui::GrowWithinWorkArea({-30, 100, 230, 300}, 1400, 200, both), (Rect{-30, 100, 1370, 300}));
  // On the second monitor, its own work area counts.
  EXPECT_EQ(ui::GrowWithinWorkArea({-300, 0, -50, 200}, 700, 200, both), (Rect{-700, 0, 0, 200}));
  // No monitor known, or none under it: the corner stays.
  EXPECT_EQ(ui::GrowWithinWorkArea({880, 0, 1130, 200}, 700, 200, {}), (Rect{880, 0, 1580, 200}));
  EXPECT_EQ(ui::GrowWithinWorkArea({5000, 0, 5250, 200}, 700, 200, both), (Rect{5000, 0, 5700, 200}));
}

}  // namespace
