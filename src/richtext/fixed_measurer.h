// A measurer that needs no fonts: ASCII characters are 7 pixels wide, others 14, and a
// character is as tall as its font's |height|. Benchmarks and fuzzing lay out with it.
#pragma once
#include "richtext/rich_draw.h"

namespace richtext {

class FixedWidthMeasurer : public TextMeasurer {
 public:
  int LogPixelsY() override { return 96; }
  void UseFont(const FontDesc& f) override { height_ = f.height < 0 ? -f.height : f.height; }
  Extent MeasureChar(char16_t ch) override { return Extent{ch < 128 ? 7 : 14, height_}; }
  int MaxCharWidth(const FontDesc&) override { return 14; }

 private:
  int height_ = 12;
};

}  // namespace richtext
