#include "ui/png_decode.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <dirent.h>
#include <string>
#include <vector>

#include "test_util.h"

namespace ui {
namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

void Chunk(Bytes* png, const char* type, const Bytes& body) {
  Put32(png, static_cast<uint32_t>(body.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  png->insert(png->end(), typed.begin(), typed.end());
  Put32(png, static_cast<uint32_t>(crc32(0L, typed.data(), static_cast<uInt>(typed.size()))));
}

int Predict(int filter, int a, int b, int c) {
  switch (filter) {
    case 1: return a;
    case 2: return b;
    case 3: return (a + b) / 2;
    case 4: {
      int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    }
    default: return 0;
  }
}

// Encodes `rows` (RGB or RGBA bytes) with the filter of each row taken from `filters` in
// turn, the IDAT split in two, as an encoder may.
Bytes Encode(int width, int height, int channels, const Bytes& pixels, const std::vector<int>& filters,
             uint8_t depth = 8, uint8_t interlace = 0) {
  const size_t stride = static_cast<size_t>(width) * channels;
  Bytes raw;
  for (int y = 0; y < height; ++y) {
    const int f = filters[y % filters.size()];
    raw.push_back(static_cast<uint8_t>(f));
    for (size_t i = 0; i < stride; ++i) {
      const size_t at = y * stride + i;
      int a = i >= static_cast<size_t>(channels) ? pixels[at - channels] : 0;
      int b = y > 0 ? pixels[at - stride] : 0;
      int c = y > 0 && i >= static_cast<size_t>(channels) ? pixels[at - stride - channels] : 0;
      raw.push_back(static_cast<uint8_t>(pixels[at] - Predict(f, a, b, c)));
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes z(size);
  compress(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  z.resize(size);
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  Bytes header;
  Put32(&header, width);
  Put32(&header, height);
  header.insert(header.end(), {depth, static_cast<uint8_t>(channels == 4 ? 6 : 2), 0, 0, interlace});
  Chunk(&png, "IHDR", header);
  Chunk(&png, "tEXt", Bytes{'a', 0, 'b'});  // an ancillary chunk is skipped
  Chunk(&png, "IDAT", Bytes(z.begin(), z.begin() + z.size() / 2));
  Chunk(&png, "IDAT", Bytes(z.begin() + z.size() / 2, z.end()));
  Chunk(&png, "IEND", Bytes());
  return png;
}

Bytes Pattern(int width, int height, int channels) {
  Bytes p;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) p.push_back(static_cast<uint8_t>((x * 37 + y * 91 + c * 53) ^ (x * y)));
  return p;
}

TEST(PngDecode, EveryFilterGivesBackTheEncodedPixelsPremultiplied) {
  const int w = 7, h = 9;
  for (int channels : {3, 4}) {
    const Bytes pixels = Pattern(w, h, channels);
    const Bytes png = Encode(w, h, channels, pixels, {0, 1, 2, 3, 4});
    DecodedPng out;
    ASSERT_TRUE(DecodePng(png.data(), png.size(), 64, &out)) << channels;
    ASSERT_EQ(out.width, w);
    ASSERT_EQ(out.height, h);
    for (int i = 0; i < w * h; ++i) {
      const uint8_t* p = &pixels[static_cast<size_t>(i) * channels];
      const uint32_t a = channels == 4 ? p[3] : 255;
      const uint32_t want = (a << 24) | ((p[0] * a + 127) / 255 << 16) | ((p[1] * a + 127) / 255 << 8) |
                            ((p[2] * a + 127) / 255);
      ASSERT_EQ(out.pixels[i], want) << "channels " << channels << " pixel " << i;
    }
  }
}

TEST(PngDecode, RefusesWhatItDoesNotSupportAndCorruptFiles) {
  const Bytes pixels = Pattern(4, 4, 4);
  const Bytes good = Encode(4, 4, 4, pixels, {4});
  DecodedPng out;
  ASSERT_TRUE(DecodePng(good.data(), good.size(), 64, &out));
  out.width = -1;  // untouched on failure
  EXPECT_FALSE(DecodePng(good.data(), good.size(), 3, &out)) << "larger than allowed";
  Bytes sixteen = Encode(4, 4, 4, pixels, {0}, 16);
  EXPECT_FALSE(DecodePng(sixteen.data(), sixteen.size(), 64, &out));
  Bytes interlaced = Encode(4, 4, 4, pixels, {0}, 8, 1);
  EXPECT_FALSE(DecodePng(interlaced.data(), interlaced.size(), 64, &out));
  Bytes badCrc = good;
  badCrc[40] ^= 1;
  EXPECT_FALSE(DecodePng(badCrc.data(), badCrc.size(), 64, &out));
  Bytes badFilter = Encode(4, 4, 4, pixels, {0, 5});
  EXPECT_FALSE(DecodePng(badFilter.data(), badFilter.size(), 64, &out));
  Bytes palette = good, plte;
  Chunk(&plte, "PLTE", Bytes{0, 0, 0});
  palette.insert(palette.begin() + 33, plte.begin(), plte.end());  // after IHDR
  EXPECT_FALSE(DecodePng(palette.data(), palette.size(), 64, &out)) << "unknown critical chunk";
  for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(DecodePng(good.data(), n, 64, &out)) << "cut at " << n;
  EXPECT_EQ(out.width, -1);
}

TEST(PngDecode, ThePicturesTheProgramShipsAreAllWithinWhatItDecodes) {
  const std::string folder = std::string(PELINOR_TEST_DATA) + "/../../src/res/widget_images";
  DIR* dir = opendir(folder.c_str());
  ASSERT_NE(dir, nullptr) << folder;
  int decoded = 0;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".png") != 0) continue;
    std::string data = testutil::ReadAll(folder + "/" + name);
    DecodedPng out;
    ASSERT_TRUE(DecodePng(reinterpret_cast<const uint8_t*>(data.data()), data.size(), 1024, &out)) << name;
    for (uint32_t p : out.pixels) {
      const uint32_t a = p >> 24;
      ASSERT_TRUE(((p >> 16) & 255) <= a && ((p >> 8) & 255) <= a && (p & 255) <= a) << name << " not premultiplied";
    }
    ++decoded;
  }
  closedir(dir);
  EXPECT_GE(decoded, 39);
}

}  // namespace
}  // namespace ui
