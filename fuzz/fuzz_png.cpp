// The PNG decoder over arbitrary bytes: it must refuse or decode without reading or
// writing out of bounds, and what it decodes must be premultiplied and of the size the
// header gave, within the limit asked for. The chunk checksums of the input are made right
// first (when the first byte is even), or the mutations would hardly ever get past them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <vector>

#include <zlib.h>

#include "ui/png_decode.h"

namespace {

void FixChecksums(std::vector<uint8_t>* png) {
  size_t at = 8;
  while (png->size() >= at + 12) {
    uint8_t* p = png->data() + at;
    const uint32_t length = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    if (length > png->size() - at - 12) return;
    const uint32_t crc = static_cast<uint32_t>(crc32(0L, p + 4, 4 + length));
    uint8_t* c = p + 8 + length;
    c[0] = static_cast<uint8_t>(crc >> 24);
    c[1] = static_cast<uint8_t>(crc >> 16);
    c[2] = static_cast<uint8_t>(crc >> 8);
    c[3] = static_cast<uint8_t>(crc);
    at += 12 + static_cast<size_t>(length);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr int kLimit = 256;
  if (size == 0) return 0;
  std::vector<uint8_t> png(data + 1, data + size);
  if (data[0] % 2 == 0) FixChecksums(&png);
  ui::DecodedPng image;
  if (!ui::DecodePng(png.data(), png.size(), kLimit, &image)) return 0;
  if (image.width <= 0 || image.height <= 0 || image.width > kLimit || image.height > kLimit) abort();
  if (image.pixels.size() != static_cast<size_t>(image.width) * image.height) abort();
  for (uint32_t p : image.pixels) {
    const uint32_t a = p >> 24;
    if (((p >> 16) & 255) > a || ((p >> 8) & 255) > a || (p & 255) > a) abort();
  }
  return 0;
}
