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

// A host without a window: timers and repaints go nowhere; focus, modifier keys and the
// left button are whatever the driver sets.
struct FixedWidthHost : RichHost {
  Rect client{0, 0, 120, 80};
  bool left = false, focus = false, ctrl = false, shift = false;
  Rect GetClientRect() override { return client; }
  void Invalidate() override {}
  void SetTimer(int, int) override {}
  void KillTimer(int) override {}
  void PostGlideAtRest() override {}
  bool HasVScroll() override { return true; }
  void SetVScrollPos(int) override {}
  bool HasFocus() override { return focus; }
  bool IsLeftButtonDown() override { return left; }
  void QueueImageLoad(const std::u16string&, uint32_t) override {}
  void CancelImageLoads() override {}
  bool IsCtrlDown() override { return ctrl; }
  bool IsShiftDown() override { return shift; }
};

}  // namespace richtext
