// Pixel passes of layered-window composition over 32-bit BGRA surfaces. GDI text leaves
// the alpha byte of what it draws at 0; these passes find what the drawing touched by
// comparing a surface pre-filled with a marker value, and give those pixels their alpha.
#pragma once
#include <cstddef>
#include <cstdint>

namespace ui {

constexpr uint32_t kMarkerPixel = 0x01010101;

void FillPixels(uint32_t* pixels, size_t count, uint32_t value);

// True when drawing changed the marker pixel.
inline bool Touched(uint32_t markPixel) { return markPixel != kMarkerPixel; }

// Before text is drawn onto the premultiplied target: every pixel the text will touch
// becomes the opaque colour of the background under it, so that the text's smoothed
// edges blend with the background colour and not with its faded, darkened form.
void MakeTouchedBackgroundOpaque(uint32_t* target, const uint32_t* mark, size_t count);

// Sets the alpha byte of every touched pixel of the target.
void SetTouchedAlpha(uint32_t* target, const uint32_t* mark, size_t count, uint8_t alpha);

// Number of touched pixels (for diagnostics and tests).
size_t CountTouched(const uint32_t* mark, size_t count);

}  // namespace ui
