#include "widgets/widget_compose.h"

#include <gtest/gtest.h>

namespace widgets {
namespace {

PixelImage Solid(int w, int h, uint32_t pixel) { return {w, h, std::vector<uint32_t>(w * h, pixel)}; }

// A frame whose pieces are distinguishable by colour: opaque grey ring, 50% black shadow.
FramePieces TestFrame() {
  FramePieces f;
  f.topLeft = f.topRight = Solid(10, 5, 0x80000000);
  f.top = Solid(1, 5, 0x80000000);
  f.leftUpper = f.rightUpper = Solid(5, 5, 0xFF606060);
  f.left = f.right = Solid(5, 1, 0xFF606060);
  f.bottomLeft = f.bottomRight = Solid(10, 7, 0x80000000);
  f.bottom = Solid(1, 7, 0x80000000);
  return f;
}

struct Pixels {
  Pixels(int w, int h) : w(w), h(h), a(w * h), b(w * h) {}
  Surface A() { return {a.data(), w, h}; }
  Surface B() { return {b.data(), w, h}; }
  uint32_t at(int x, int y) const { return a[y * w + x]; }
  int w, h;
  std::vector<uint32_t> a, b;
};

TEST(WidgetCompose, FaintBackgroundAtAlpha51) {
  Pixels p(250, 120);
  ComposeWidgetBackground(p.A(), p.B(), TestFrame(), *FindTheme(6), 51);
  // Body and title strip: alpha 51, colour premultiplied by 51/255.
  uint32_t body = p.at(100, 60);
  EXPECT_EQ(body >> 24, 51u);
  EXPECT_NEAR(static_cast<int>((body >> 16) & 0xFF), 0xD8 * 51 / 255, 2);  // red of 0xFAF2D8
  EXPECT_NEAR(static_cast<int>(body & 0xFF), 0xFA * 51 / 255, 2);          // blue
  uint32_t title = p.at(100, 20);
  EXPECT_EQ(title >> 24, 51u);
  EXPECT_NEAR(static_cast<int>((title >> 16) & 0xFF), 0xC9 * 51 / 255, 2);
  // Frame: the top corner (50% shadow) fades to 25 (128 * 51 / 255), the side ring to 51.
  EXPECT_NEAR(static_cast<int>(p.at(1, 1) >> 24), 26, 1);
  EXPECT_EQ(p.at(1, 60) >> 24, 51u);
  EXPECT_EQ(p.at(248, 60) >> 24, 51u);
  // Nothing is ever more opaque than the chosen level.
  for (uint32_t px : p.a) ASSERT_LE(px >> 24, 51u);
}

TEST(WidgetCompose, ThemeColoursAndOpaqueAt255) {
  Pixels p(300, 200);
  ComposeWidgetBackground(p.A(), p.B(), TestFrame(), *FindTheme(2), 255);
  EXPECT_EQ(p.at(150, 15), OpaquePixel(0xC1F7C5));  // green title strip
  // The body runs from the top colour to the bottom colour.
  uint32_t top = p.at(150, 34), bottom = p.at(150, 192);
  EXPECT_NEAR(static_cast<int>(top & 0xFF), 0xCC, 2);     // blue of 0xCCFFD2 near the top
  EXPECT_NEAR(static_cast<int>(bottom & 0xFF), 0xAE, 2);  // blue of 0xAEE8B1 near the bottom
  EXPECT_EQ(top >> 24, 255u);
  // Below the body, the frame's bottom (semi-transparent) shows.
  EXPECT_EQ(p.at(150, 197) >> 24, 128u);
}

TEST(WidgetCompose, MissingPiecesAreSkipped) {
  Pixels p(120, 90);
  FramePieces none;
  ComposeWidgetBackground(p.A(), p.B(), none, *FindTheme(4), 200);
  EXPECT_EQ(p.at(0, 0), 0u);
  EXPECT_EQ(p.at(60, 50) >> 24, 200u);
}

TEST(WidgetCompose, ImagesStretchAndBlend) {
  std::vector<uint32_t> px(8 * 4, 0xFF0000FF);  // opaque blue
  Surface s{px.data(), 8, 4};
  PixelImage half = Solid(1, 1, 0x80800000);  // 50% red, premultiplied
  DrawImage(s, half, {2, 1, 6, 3});
  EXPECT_EQ(s.at(0, 0), 0xFF0000FFu);
  uint32_t mixed = s.at(3, 2);
  EXPECT_EQ(mixed >> 24, 255u);
  EXPECT_EQ((mixed >> 16) & 0xFF, 0x80u);
  EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 127, 1);
  DrawImage(s, half, {-5, -5, 100, 100});  // clipped, no overrun
}

TEST(WidgetCompose, FadedBlendTakesEachPixelUnderARun) {
  // One source colour over a destination that changes under it: every pixel is blended
  // with its own destination, also inside a run of equal source pixels.
  const uint32_t src[6] = {0x80800000, 0x80800000, 0x80800000, 0x80800000, 0, 0x80800000};
  std::vector<uint32_t> dst = {0xFF0000FF, 0, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0};
  BlendFaded({dst.data(), 6, 1}, src, 255);
  EXPECT_EQ(dst[0], 0xFF80007Fu);
  EXPECT_EQ(dst[1], 0x80800000u);
  EXPECT_EQ(dst[2], 0xFF80007Fu);
  EXPECT_EQ(dst[3], 0xFF80007Fu);
  EXPECT_EQ(dst[4], 0xFF0000FFu);  // a transparent source leaves the destination
  EXPECT_EQ(dst[5], 0x80800000u);
  // Faded to half: the source counts half as much.
  std::vector<uint32_t> faded = {0, 0};
  BlendFaded({faded.data(), 2, 1}, src, 128);
  EXPECT_EQ(faded[0], 0x40400000u);
  EXPECT_EQ(faded[1], 0x40400000u);
}

TEST(WidgetCompose, FadeEqualsABlendOntoAClearedSurface) {
  // Every channel value at a spread of opacities, also pixels whose alpha fades to 0.
  std::vector<uint32_t> src;
  for (uint32_t v = 0; v < 256; ++v) {
    src.push_back(v << 24 | v << 16 | (255 - v) << 8 | v / 2);
    src.push_back(0xFF000000u | v << 16 | v << 8 | v);
    src.push_back(v | (v << 24));  // premultiplied: blue never above alpha
  }
  for (int alpha : {0, 1, 51, 127, 128, 200, 254, 255}) {
    std::vector<uint32_t> blended(src.size(), 0), faded(src.size(), 0xDEADBEEF);
    const int w = static_cast<int>(src.size());
    BlendFaded({blended.data(), w, 1}, src.data(), static_cast<uint8_t>(alpha));
    Fade({faded.data(), w, 1}, src.data(), static_cast<uint8_t>(alpha));
    for (size_t i = 0; i < src.size(); ++i)
      ASSERT_EQ(faded[i], blended[i]) << "pixel " << std::hex << src[i] << " alpha " << std::dec << alpha;
  }
}

TEST(WidgetCompose, TheBackgroundIsItsLayersFadedPixelByPixel) {
  // The composition fades the body and the title strip a row at a time: the same pixels
  // as drawing every layer and fading each pixel.
  for (int dpi : {96, 144}) {
    for (int alpha : {51, 200, 255}) {
      const int w = 230, h = 170;
      Pixels composed(w, h), layered(w, h);
      ComposeWidgetBackground(composed.A(), composed.B(), TestFrame(), *FindTheme(5), static_cast<uint8_t>(alpha), dpi);
      Surface b = layered.B();
      DrawFrame(b, TestFrame());
      FillVerticalGradient(b, BodyArea(w, h, dpi), FindTheme(5)->bodyTop, FindTheme(5)->bodyBottom);
      FillOpaque(b, TitleStripArea(w, h, dpi), FindTheme(5)->title);
      BlendFaded(layered.A(), layered.b.data(), static_cast<uint8_t>(alpha));
      for (int i = 0; i < w * h; ++i)
        ASSERT_EQ(composed.a[i], layered.a[i]) << "pixel " << i % w << "," << i / w << " dpi " << dpi << " alpha " << alpha;
    }
  }
}

TEST(WidgetCompose, AClippedComposeRedoesOnlyItsRectangle) {
  const int w = 260, h = 200;
  Pixels whole(w, h);
  ComposeWidgetBackground(whole.A(), whole.B(), TestFrame(), *FindTheme(3), 120);
  // Rectangles across the frame corners, the title strip, the body and past the edges.
  for (Rect r : {Rect{0, 0, 30, 40}, Rect{100, 20, 180, 60}, Rect{-10, 150, 400, 260}, Rect{250, 0, 260, 200},
                 Rect{5, 5, 5, 50}}) {
    Pixels part(w, h);
    std::fill(part.a.begin(), part.a.end(), 0xDEADBEEF);
    std::fill(part.b.begin(), part.b.end(), 0xDEADBEEF);
    ComposeWidgetBackground(part.A().Clipped(r), part.B(), TestFrame(), *FindTheme(3), 120);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const bool inside = r.Contains(x, y);
        ASSERT_EQ(part.at(x, y), inside ? whole.at(x, y) : 0xDEADBEEFu) << x << "," << y;
        if (!inside) {
          ASSERT_EQ(part.b[y * w + x], 0xDEADBEEFu) << "scratch " << x << "," << y;
        }
      }
    }
  }
  // Images and fills keep to the clip as well.
  std::vector<uint32_t> px(8 * 4, 0);
  Surface s = Surface{px.data(), 8, 4}.Clipped({0, 0, 4, 2});
  DrawImage(s, Solid(1, 1, 0xFF112233), {0, 0, 8, 4});
  FillOpaque(s, {2, 0, 6, 4}, 0x445566);
  EXPECT_EQ(px[0], 0xFF112233u);
  EXPECT_EQ(px[3], OpaquePixel(0x445566));
  EXPECT_EQ(px[4], 0u);
  EXPECT_EQ(px[2 * 8], 0u);
}

}  // namespace
}  // namespace widgets
