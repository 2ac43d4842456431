#include "ui/layered_pixels.h"

#include <algorithm>

namespace ui {

void FillPixels(uint32_t* pixels, size_t count, uint32_t value) { std::fill(pixels, pixels + count, value); }

void MakeTouchedBackgroundOpaque(uint32_t* target, const uint32_t* mark, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (!Touched(mark[i])) continue;
    uint32_t p = target[i];
    uint32_t a = p >> 24;
    if (a == 255) continue;
    if (a == 0) {
      target[i] = 0xFF000000u | (p & 0x00FFFFFFu);
      continue;
    }
    uint32_t b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
    auto un = [a](uint32_t c) {
      uint32_t v = (c * 255 + a / 2) / a;
      return v > 255 ? 255u : v;
    };
    target[i] = 0xFF000000u | (un(r) << 16) | (un(g) << 8) | un(b);
  }
}

void SetTouchedAlpha(uint32_t* __restrict target, const uint32_t* __restrict mark, size_t count, uint8_t alpha) {
  const uint32_t a = static_cast<uint32_t>(alpha) << 24;
  // Branch-free, so that the compiler can vectorise it: `keep` is all ones where the
  // drawing left the marker.
  for (size_t i = 0; i < count; ++i) {
    const uint32_t keep = 0u - static_cast<uint32_t>(mark[i] == kMarkerPixel);
    target[i] = (target[i] & (keep | 0x00FFFFFFu)) | (a & ~keep);
  }
}

size_t CountTouched(const uint32_t* mark, size_t count) {
  size_t n = 0;
  for (size_t i = 0; i < count; ++i) n += Touched(mark[i]) ? 1 : 0;
  return n;
}

}  // namespace ui
