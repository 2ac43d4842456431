#include "widgets/widget_drag.h"

#include <gtest/gtest.h>

namespace widgets {
namespace {

TEST(DragTracker, TitleStripDragMovesTheWindowOnceArmed) {
  DragTracker d;
  EXPECT_FALSE(d.Move(true, false)) << "no press: nothing to drag";
  d.Press(false);
  EXPECT_FALSE(d.Move(true, false)) << "the first move only arms";
  EXPECT_TRUE(d.armed());
  EXPECT_TRUE(d.Move(true, false));
  EXPECT_FALSE(d.pressed()) << "the press is used up by the move loop";
  EXPECT_FALSE(d.Move(true, false));
}

TEST(DragTracker, TextDragInsideTheContentNeverMovesTheWindow) {
  DragTracker d;
  d.Hover();
  d.Press(true);
  EXPECT_FALSE(d.Move(true, true));
  EXPECT_FALSE(d.Move(true, true));
  EXPECT_TRUE(d.pressed());
  // Short text is not dragged: the same press then moves the window.
  EXPECT_TRUE(d.Move(true, false));
}

TEST(DragTracker, OtherButtonsAndLeavingCancel) {
  DragTracker d;
  d.Hover();
  d.Press(false);
  EXPECT_FALSE(d.Move(false, false)) << "right button or Shift held: not a drag";
  d.Leave();
  EXPECT_FALSE(d.Move(true, false));
  EXPECT_TRUE(d.armed()) << "arming is never cleared";
}

TEST(CursorFollower, MovesByTheCursorUntilAKeyIsUp) {
  CursorFollower f;
  f.Begin(100, 100);
  int dx = 0, dy = 0;
  ASSERT_TRUE(f.Step(110, 95, true, true, &dx, &dy));
  EXPECT_EQ(dx, 10);
  EXPECT_EQ(dy, -5);
  ASSERT_TRUE(f.Step(110, 95, true, true, &dx, &dy));
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, 0);
  EXPECT_FALSE(f.Step(200, 200, false, true, &dx, &dy));
  EXPECT_FALSE(f.Step(200, 200, true, false, &dx, &dy));
}

}  // namespace
}  // namespace widgets
