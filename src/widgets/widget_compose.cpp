#include "widgets/widget_compose.h"

#include <algorithm>
#include <cstring>

namespace widgets {

namespace {

inline uint32_t Over(uint32_t src, uint32_t dst) {
  uint32_t sa = src >> 24;
  if (sa == 255) return src;
  if (sa == 0) return dst;
  uint32_t inv = 255 - sa;
  auto ch = [&](int shift) {
    uint32_t v = ((src >> shift) & 0xFF) + (((dst >> shift) & 0xFF) * inv + 127) / 255;
    return std::min<uint32_t>(v, 255) << shift;
  };
  return ch(0) | ch(8) | ch(16) | ch(24);
}

inline uint32_t Scale(uint32_t p, uint32_t alpha) {
  auto ch = [&](int shift) { return ((((p >> shift) & 0xFF) * alpha + 127) / 255) << shift; };
  return ch(0) | ch(8) | ch(16) | ch(24);
}

// Clips an area to the surface; false when nothing remains.
bool Clip(const Surface& s, int* x0, int* y0, int* x1, int* y1) {
  *x0 = std::max(*x0, 0);
  *y0 = std::max(*y0, 0);
  *x1 = std::min(*x1, s.width);
  *y1 = std::min(*y1, s.height);
  return *x0 < *x1 && *y0 < *y1;
}

}  // namespace

void DrawImage(Surface s, const PixelImage& image, const Rect& to) {
  if (image.empty() || to.width() <= 0 || to.height() <= 0) return;
  int x0 = to.left, y0 = to.top, x1 = to.right, y1 = to.bottom;
  if (!Clip(s, &x0, &y0, &x1, &y1)) return;
  for (int y = y0; y < y1; ++y) {
    // Nearest source row/column: frame edges are one pixel thick along the stretch, and
    // same-size images map one to one.
    int sy = static_cast<int>(static_cast<int64_t>(y - to.top) * image.height / to.height());
    const uint32_t* row = &image.pixels[static_cast<size_t>(sy) * image.width];
    for (int x = x0; x < x1; ++x) {
      int sx = static_cast<int>(static_cast<int64_t>(x - to.left) * image.width / to.width());
      s.at(x, y) = Over(row[sx], s.at(x, y));
    }
  }
}

void DrawFrame(Surface s, const FramePieces& f) {
  const int w = s.width, h = s.height;
  DrawImage(s, f.topLeft, {0, 0, f.topLeft.width, f.topLeft.height});
  DrawImage(s, f.topRight, {w - f.topRight.width, 0, w, f.topRight.height});
  DrawImage(s, f.top, {f.topLeft.width, 0, w - f.topRight.width, f.top.height});
  DrawImage(s, f.bottomLeft, {0, h - f.bottomLeft.height, f.bottomLeft.width, h});
  DrawImage(s, f.bottomRight, {w - f.bottomRight.width, h - f.bottomRight.height, w, h});
  DrawImage(s, f.bottom, {f.bottomLeft.width, h - f.bottom.height, w - f.bottomRight.width, h});
  // Each side: the upper piece under the top corner, then the edge down to the bottom corner.
  const int leftTop = f.topLeft.height, rightTop = f.topRight.height;
  DrawImage(s, f.leftUpper, {0, leftTop, f.leftUpper.width, leftTop + f.leftUpper.height});
  DrawImage(s, f.left, {0, leftTop + f.leftUpper.height, f.left.width, h - f.bottomLeft.height});
  DrawImage(s, f.rightUpper, {w - f.rightUpper.width, rightTop, w, rightTop + f.rightUpper.height});
  DrawImage(s, f.right, {w - f.right.width, rightTop + f.rightUpper.height, w, h - f.bottomRight.height});
}

void FillOpaque(Surface s, const Area& a, uint32_t colorref) {
  int x0 = a.x, y0 = a.y, x1 = a.x + a.width, y1 = a.y + a.height;
  if (!Clip(s, &x0, &y0, &x1, &y1)) return;
  const uint32_t p = OpaquePixel(colorref);
  for (int y = y0; y < y1; ++y) std::fill(&s.at(x0, y), &s.at(x0, y) + (x1 - x0), p);
}

void FillVerticalGradient(Surface s, const Area& a, uint32_t top, uint32_t bottom) {
  int x0 = a.x, y0 = a.y, x1 = a.x + a.width, y1 = a.y + a.height;
  if (a.height <= 0 || !Clip(s, &x0, &y0, &x1, &y1)) return;
  auto mix = [&](int shift, int y) {
    double t = (y - a.y + 0.5) / a.height;
    double v = ((top >> shift) & 0xFF) * (1 - t) + ((bottom >> shift) & 0xFF) * t;
    return static_cast<uint32_t>(v + 0.5) << shift;
  };
  for (int y = y0; y < y1; ++y) {
    const uint32_t p = OpaquePixel(mix(0, y) | mix(8, y) | mix(16, y));
    std::fill(&s.at(x0, y), &s.at(x0, y) + (x1 - x0), p);
  }
}

void BlendFaded(Surface dst, const uint32_t* src, uint8_t alpha) {
  const size_t n = static_cast<size_t>(dst.width) * dst.height;
  for (size_t i = 0; i < n; ++i) dst.pixels[i] = Over(Scale(src[i], alpha), dst.pixels[i]);
}

void ComposeWidgetBackground(Surface target, Surface scratch, const FramePieces& frame, const ColorTheme& theme,
                             uint8_t alpha, int dpi) {
  const size_t n = static_cast<size_t>(target.width) * target.height;
  std::memset(target.pixels, 0, n * sizeof(uint32_t));
  std::memset(scratch.pixels, 0, n * sizeof(uint32_t));
  DrawFrame(scratch, frame);
  FillVerticalGradient(scratch, BodyArea(scratch.width, scratch.height, dpi), theme.bodyTop, theme.bodyBottom);
  FillOpaque(scratch, TitleStripArea(scratch.width, scratch.height, dpi), theme.title);
  BlendFaded(target, scratch.pixels, alpha);
}

}  // namespace widgets
