#include "widgets/widget_placement.h"

#include <gtest/gtest.h>

namespace widgets {
namespace {

using ui::MonitorArea;

const MonitorArea kPrimary{{0, 0, 1280, 800}, {0, 0, 1280, 760}};      // taskbar at the bottom
const MonitorArea kLeft{{-1920, -200, 0, 880}, {-1920, -200, 0, 880}};  // a second one, left
const MonitorArea kRight{{1280, 0, 2560, 800}, {1280, 0, 2560, 800}};   // ... or right

PlacedWidget At96(const Rect& r) { return {r, 96}; }

TEST(WidgetPlacement, AWidgetWhoseTitleStripIsOnAWorkAreaStaysWhereItIs) {
  const Rect w{100, 100, 360, 300};
  EXPECT_TRUE(TitleStripOnWorkArea(At96(w), {kPrimary}));
  EXPECT_EQ(BringTitleStripOnScreen(At96(w), {kPrimary}), w);
  // Its body may hang over the taskbar or the edge: the strip is where it is grabbed.
  const Rect low{500, 700, 760, 900};
  EXPECT_TRUE(TitleStripOnWorkArea(At96(low), {kPrimary}));
  // On the second monitor while it is there, or over both monitors side by side.
  const Rect left{-1500, 100, -1240, 300};
  EXPECT_EQ(BringTitleStripOnScreen(At96(left), {kPrimary, kLeft}), left);
  const Rect across{1100, 100, 1360, 300};
  EXPECT_TRUE(TitleStripOnWorkArea(At96(across), {kPrimary, kRight}));
  EXPECT_FALSE(TitleStripOnWorkArea(At96(across), {kPrimary}));
  // Nothing known about the monitors: left alone.
  EXPECT_EQ(BringTitleStripOnScreen(At96(left), {}), left);
}

TEST(WidgetPlacement, AWidgetWhoseTitleStripIsOffTheWorkAreasComesIntoTheNearest) {
  // Its strip under the taskbar, though most of it shows on the monitor: above the taskbar.
  const Rect underTaskbar{1240, 770, 1500, 970};
  EXPECT_FALSE(TitleStripOnWorkArea(At96(underTaskbar), {kPrimary}));
  EXPECT_EQ(BringTitleStripOnScreen(At96(underTaskbar), {kPrimary}), (Rect{1020, 560, 1280, 760}));
  const Rect stripHalfUnder{500, 750, 760, 950};
  EXPECT_EQ(BringTitleStripOnScreen(At96(stripHalfUnder), {kPrimary}), (Rect{500, 560, 760, 760}));
  // Dragged until only 30 pixels show at the bottom (part of the strip), or 34 at the right.
  EXPECT_EQ(BringTitleStripOnScreen(At96({500, 730, 760, 930}), {kPrimary}), (Rect{500, 560, 760, 760}));
  EXPECT_EQ(BringTitleStripOnScreen(At96({1246, 100, 1506, 300}), {kPrimary}), (Rect{1020, 100, 1280, 300}));
  // Above the top: the strip comes down onto the screen.
  EXPECT_EQ(BringTitleStripOnScreen(At96({300, -20, 560, 180}), {kPrimary}), (Rect{300, 0, 560, 200}));
  // The left monitor was unplugged: to the primary's left edge, same size.
  EXPECT_EQ(BringTitleStripOnScreen(At96({-1500, 100, -1240, 300}), {kPrimary}), (Rect{0, 100, 260, 300}));
  // The nearer of two work areas.
  EXPECT_EQ(BringTitleStripOnScreen(At96({-3000, 0, -2740, 200}), {kPrimary, kLeft}), (Rect{-1920, 0, -1660, 200}));
  // Larger than the work area: its top-left corner (title strip and buttons) shows.
  EXPECT_EQ(BringTitleStripOnScreen(At96({5000, 5000, 6500, 6000}), {kPrimary}), (Rect{0, 0, 1500, 1000}));
  // At 150 % the strip is taller: 44 pixels above the taskbar are not enough for it.
  const PlacedWidget big{{500, 720, 890, 1020}, 144};
  EXPECT_FALSE(TitleStripOnWorkArea(big, {kPrimary}));
  EXPECT_TRUE(TitleStripOnWorkArea({{500, 700, 890, 1000}, 144}, {kPrimary}));
}

TEST(WidgetPlacement, AWidgetOverAnothersButtonsMovesTheShortestWayOff) {
  // Side by side, as at 100 %: nothing covers a button, nothing moves.
  const PlacedWidget a = At96({64, 40, 324, 240});
  const PlacedWidget right = At96({384, 40, 644, 240});
  EXPECT_FALSE(CoversButtons(right, {a}));
  EXPECT_EQ(AvoidOthersButtons(right, {a}, {kPrimary}), right.window);

  // Over the other's buttons from the right: moved right until clear of them.
  const PlacedWidget a100 = At96({100, 100, 360, 300});  // buttons (290..310, 325..345) x (110..130)
  const PlacedWidget over = At96({300, 50, 560, 250});
  EXPECT_TRUE(CoversButtons(over, {a100}));
  EXPECT_EQ(AvoidOthersButtons(over, {a100}, {kPrimary}), (Rect{345, 50, 605, 250}));

  // Neighbours one above the other at 150 %: the upper one covers the lower one's buttons,
  // which moves down just far enough to show them.
  const PlacedWidget upper{{64, 40, 454, 340}, 144};
  const PlacedWidget lower{{64, 280, 454, 580}, 144};
  EXPECT_TRUE(CoversButtons(lower, {upper}));
  EXPECT_EQ(AvoidOthersButtons(lower, {upper}, {kPrimary}), (Rect{64, 325, 454, 625}));

  // The nearer place that would leave the work area loses to one inside it.
  const PlacedWidget nearBottom = At96({900, 600, 1160, 760});
  const PlacedWidget onItsButtons = At96({880, 560, 1140, 720});  // covers them from above
  const Rect moved = AvoidOthersButtons(onItsButtons, {nearBottom}, {kPrimary});
  EXPECT_FALSE(CoversButtons(At96(moved), {nearBottom}));
  EXPECT_GE(moved.top, 0);
  EXPECT_LE(moved.bottom, 760);

  // No place anywhere: left where it is.
  const MonitorArea small{{0, 0, 260, 200}, {0, 0, 260, 200}};
  const PlacedWidget first = At96({0, 0, 260, 200});
  const PlacedWidget second = At96({0, 0, 260, 200});
  EXPECT_EQ(AvoidOthersButtons(second, {first}, {small}), second.window);
}

TEST(WidgetPlacement, AWidgetWidensOnlyAsFarAsItsNeighboursButtonsLetIt) {
  const PlacedWidget w = At96({100, 100, 350, 300});
  EXPECT_EQ(RoomToWiden(w, {}, 250, 700), 700) << "nothing in the way";
  // A neighbour to the right, level with it: its menu button (15 from its right) may reach
  // the neighbour's left edge, not under it.
  const PlacedWidget right = At96({500, 100, 760, 300});
  EXPECT_EQ(RoomToWiden(w, {right}, 250, 700), 415);
  EXPECT_FALSE(CoversButtons(At96({100, 100, 515, 300}), {right}));
  EXPECT_TRUE(CoversButtons(At96({100, 100, 516, 300}), {right}));
  // One lower down: it may come over that one's body, up to its buttons (690 on).
  EXPECT_EQ(RoomToWiden(w, {At96({500, 140, 760, 340})}, 250, 700), 590);
  // One that covers its buttons already: it moves instead, the room is not its concern.
  EXPECT_EQ(RoomToWiden(w, {At96({300, 90, 560, 290})}, 250, 700), 700);
}

// Widgets placed as neighbours at 100 % (places are fractions of the screen), brought up one
// after another at 150 %, each placed against those before it: none covers another's
// buttons and every title strip is on the screen.
TEST(WidgetPlacement, NeighboursAt100PercentStayClearOfEachOthersButtonsAt150) {
  const std::vector<MonitorArea> monitors{kPrimary};
  const double fx[] = {0.02, 0.25, 0.48};  // 260 pixels wide: 35 apart at 100 %
  const double fy[] = {0.03, 0.3, 0.57};   // 200 high: 16 apart
  std::vector<PlacedWidget> placed;
  for (double y : fy) {
    for (double x : fx) {
      const int left = static_cast<int>(x * 1280), top = static_cast<int>(y * 800);
      PlacedWidget w{{left, top, left + 390, top + 300}, 144};  // 260 x 200 at 150 %
      w.window = BringTitleStripOnScreen(w, monitors);
      w.window = AvoidOthersButtons(w, placed, monitors);
      placed.push_back(w);
    }
  }
  for (size_t i = 0; i < placed.size(); ++i) {
    std::vector<PlacedWidget> others = placed;
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
    EXPECT_FALSE(CoversButtons(placed[i], others)) << i;
    EXPECT_TRUE(TitleStripOnWorkArea(placed[i], monitors)) << i;
  }
}

}  // namespace
}  // namespace widgets
