// The widget images at each of their scales come from the exe's resources, at the size
// drawn for that scale, and carry the drawing (not an empty or blank picture).
#include <gtest/gtest.h>

#include "ui/dpi.h"
#include "widgets/frame_images_win.h"

namespace {

int Px(int v, int percent) { return (v * percent + 50) / 100; }

int OpaquePixels(const widgets::PixelImage& im) {
  int n = 0;
  for (uint32_t p : im.pixels) n += (p >> 24) > 0x80;
  return n;
}

TEST(WidgetImages, EveryScaleHasEveryPieceAtItsSize) {
  for (int dpi : {96, 144, 192}) {
    const int percent = ui::NearestImageScale(dpi);
    const widgets::WidgetImages& im = widgets::GetWidgetImages(percent);
    SCOPED_TRACE(percent);
    const struct {
      const widgets::PixelImage& image;
      int w, h;
    } expected[] = {
        {im.frame.topLeft, 10, 5},    {im.frame.topRight, 10, 5},     {im.frame.top, 1, 5},
        {im.frame.leftUpper, 5, 5},   {im.frame.left, 5, 1},          {im.frame.rightUpper, 5, 5},
        {im.frame.right, 5, 1},       {im.frame.bottomLeft, 10, 7},   {im.frame.bottomRight, 10, 7},
        {im.frame.bottom, 1, 7},      {im.grip, 8, 8},                {im.refresh, 20, 20},
        {im.menu, 20, 20},
    };
    for (const auto& e : expected) {
      EXPECT_EQ(e.image.width, Px(e.w, percent));
      EXPECT_EQ(e.image.height, Px(e.h, percent));
    }
    // The buttons are drawn, not blank: their opaque area grows with the square of the scale.
    const int one = OpaquePixels(widgets::GetWidgetImages(100).menu);
    EXPECT_GT(one, 100);
    EXPECT_NEAR(OpaquePixels(im.menu), one * percent * percent / 10000, one * percent * percent / 10000 / 5);
  }
  EXPECT_EQ(&widgets::GetWidgetImages(), &widgets::GetWidgetImages(100));
}

}  // namespace
