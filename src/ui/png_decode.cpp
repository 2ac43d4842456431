#include "ui/png_decode.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace ui {
namespace {

uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Undoes the filter of each scanline in place; `raw` holds (1 + stride) bytes per row.
bool Unfilter(std::vector<uint8_t>* raw, int height, size_t stride, int bpp) {
  uint8_t* prev = nullptr;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = raw->data() + static_cast<size_t>(y) * (stride + 1);
    const uint8_t filter = row[0];
    uint8_t* cur = row + 1;
    for (size_t i = 0; i < stride; ++i) {
      const int a = i >= static_cast<size_t>(bpp) ? cur[i - bpp] : 0;
      const int b = prev ? prev[i] : 0;
      const int c = prev && i >= static_cast<size_t>(bpp) ? prev[i - bpp] : 0;
      int add;
      switch (filter) {
        case 0: add = 0; break;
        case 1: add = a; break;
        case 2: add = b; break;
        case 3: add = (a + b) / 2; break;
        case 4: add = Paeth(a, b, c); break;
        default: return false;
      }
      cur[i] = static_cast<uint8_t>(cur[i] + add);
    }
    prev = cur;
  }
  return true;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, int maxSide, DecodedPng* out) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!data || size < 8 || std::memcmp(data, kSignature, 8) != 0) return false;
  size_t at = 8;
  uint32_t width = 0, height = 0;
  int channels = 0;
  bool haveHeader = false, ended = false;
  std::vector<uint8_t> compressed;
  while (!ended) {
    if (size - at < 12) return false;
    const uint32_t length = BigEndian32(data + at);
    const uint8_t* type = data + at + 4;
    if (length > size - at - 12) return false;
    const uint8_t* body = data + at + 8;
    const uint32_t crc = BigEndian32(body + length);
    if (static_cast<uint32_t>(crc32(0L, type, 4 + length)) != crc) return false;
    if (std::memcmp(type, "IHDR", 4) == 0) {
      if (haveHeader || length != 13) return false;
      width = BigEndian32(body);
      height = BigEndian32(body + 4);
      const uint8_t depth = body[8], color = body[9], compression = body[10], filter = body[11], interlace = body[12];
      if (depth != 8 || (color != 6 && color != 2) || compression != 0 || filter != 0 || interlace != 0) return false;
      if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSide) || height > static_cast<uint32_t>(maxSide))
        return false;
      channels = color == 6 ? 4 : 3;
      haveHeader = true;
    } else if (!haveHeader) {
      return false;  // IHDR comes first
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      compressed.insert(compressed.end(), body, body + length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      ended = true;
    } else if (!(type[0] & 0x20)) {
      return false;  // a critical chunk this decoder does not know (a palette, say)
    }
    at += 12 + static_cast<size_t>(length);
  }
  if (!haveHeader || compressed.empty()) return false;

  const size_t stride = static_cast<size_t>(width) * channels;
  std::vector<uint8_t> raw((stride + 1) * height);
  uLongf rawSize = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &rawSize, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK ||
      rawSize != raw.size())
    return false;
  if (!Unfilter(&raw, static_cast<int>(height), stride, channels)) return false;

  DecodedPng image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels.resize(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = raw.data() + static_cast<size_t>(y) * (stride + 1) + 1;
    uint32_t* dst = image.pixels.data() + static_cast<size_t>(y) * width;
    for (uint32_t x = 0; x < width; ++x, src += channels) {
      const uint32_t a = channels == 4 ? src[3] : 255;
      // Rounded premultiplication, as the system's decoder gives it.
      const uint32_t r = (src[0] * a + 127) / 255, g = (src[1] * a + 127) / 255, b = (src[2] * a + 127) / 255;
      dst[x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  *out = std::move(image);
  return true;
}

}  // namespace ui
