#include "widgets/dirty_area.h"

#include <gtest/gtest.h>

namespace widgets {
namespace {

TEST(DirtyArea, JoinsRectanglesClipsToTheImageAndStartsOver) {
  DirtyArea d;
  EXPECT_TRUE(d.empty());
  EXPECT_EQ(d.Take(100, 80), ui::Rect{});
  d.Add({10, 20, 10, 40});  // empty: adds nothing
  EXPECT_TRUE(d.empty());
  // Two links' lines far apart: one rectangle holding both.
  d.Add({5, 10, 90, 22});
  d.Add({5, 60, 90, 72});
  EXPECT_FALSE(d.empty());
  EXPECT_EQ(d.Take(100, 80), (ui::Rect{5, 10, 90, 72}));
  EXPECT_TRUE(d.empty());
  // Parts outside the image are cut off; wholly outside leaves nothing to compose.
  d.Add({-4, 70, 120, 95});
  EXPECT_EQ(d.Take(100, 80), (ui::Rect{0, 70, 100, 80}));
  d.Add({100, 0, 130, 20});
  EXPECT_EQ(d.Take(100, 80), ui::Rect{});
}

TEST(DirtyArea, TheWholeImageOutweighsAnyPart) {
  DirtyArea d;
  d.Add({5, 10, 20, 30});
  d.AddAll();
  d.Add({1, 1, 2, 2});
  EXPECT_TRUE(d.all());
  EXPECT_EQ(d.Take(300, 200), (ui::Rect{0, 0, 300, 200}));
  EXPECT_FALSE(d.all());
  EXPECT_TRUE(d.empty());
}

}  // namespace
}  // namespace widgets
