#include "ui/layered_pixels.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(LayeredPixels, TouchedPixelsBecomeOpaque) {
  // A faint background (alpha 51, premultiplied) and a mark surface where two pixels
  // were drawn over: one with a colour, one with black (alpha byte cleared).
  uint32_t target[4] = {0x33303030, 0x33303030, 0x33303030, 0x00000000};
  uint32_t mark[4] = {kMarkerPixel, 0x00000000, 0x00FF0000, kMarkerPixel};
  EXPECT_EQ(CountTouched(mark, 4), 2u);
  MakeTouchedBackgroundOpaque(target, mark, 4);
  EXPECT_EQ(target[0], 0x33303030u);
  EXPECT_EQ(target[1], 0xFFF0F0F0u);  // 0x30 * 255 / 0x33
  SetTouchedAlpha(target, mark, 4, 255);
  EXPECT_EQ(target[2] >> 24, 255u);
  EXPECT_EQ(target[3], 0u);
  FillPixels(mark, 4, kMarkerPixel);
  EXPECT_EQ(CountTouched(mark, 4), 0u);
}

}  // namespace
}  // namespace ui
