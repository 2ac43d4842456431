// A small PNG decoder for the program's own images (frames, buttons): 8 bits per channel,
// RGB or RGBA, not interlaced. Decoding them here spares the program the system's image
// codecs, which would otherwise be loaded into every run for a few tiny pictures.
// Anything else (palettes, 16 bits, interlacing) is refused: the caller has another way.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ui {

// Premultiplied pixels, 0xAARRGGBB, rows top to bottom.
struct DecodedPng {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// Decodes `size` bytes at `data`; false (and `out` untouched) for a file it does not
// support, a corrupt one, or one wider or taller than `maxSide` pixels.
bool DecodePng(const uint8_t* data, size_t size, int maxSide, DecodedPng* out);

}  // namespace ui
