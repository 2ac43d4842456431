#include "widgets/widget_compose.h"

#include <algorithm>
#include <cstring>

namespace widgets {

namespace {

// floor(x / 255) for 0 <= x <= 255 * 255 + 127, without a division.
inline uint32_t Div255(uint32_t x) { return (x + 1 + (x >> 8)) >> 8; }

inline uint32_t Over(uint32_t src, uint32_t dst) {
  const uint32_t sa = src >> 24;
  if (sa == 255) return src;
  if (sa == 0) return dst;
  const uint32_t inv = 255 - sa;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t v = ((src >> shift) & 0xFF) + Div255(((dst >> shift) & 0xFF) * inv + 127);
    out |= (v > 255 ? 255u : v) << shift;
  }
  return out;
}

inline uint32_t Scale(uint32_t p, uint32_t alpha) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) out |= Div255(((p >> shift) & 0xFF) * alpha + 127) << shift;
  return out;
}

// p * alpha / 255 on all four bytes at once, rounded as Scale rounds: two bytes in each
// half of a word, whose sums stay below 65536, so that nothing carries between them.
// Branch-free, for loops the compiler can vectorise.
inline uint32_t ScalePacked(uint32_t p, uint32_t alpha) {
  uint32_t rb = (p & 0x00FF00FFu) * alpha + 0x007F007Fu;
  uint32_t ag = ((p >> 8) & 0x00FF00FFu) * alpha + 0x007F007Fu;
  rb = ((rb + 0x00010001u + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  ag = (ag + 0x00010001u + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return rb | ag;
}

// Clips an area to the surface and its clip rectangle; false when nothing remains.
bool Clip(const Surface& s, int* x0, int* y0, int* x1, int* y1) {
  *x0 = std::max({*x0, 0, s.clip.left});
  *y0 = std::max({*y0, 0, s.clip.top});
  *x1 = std::min({*x1, s.width, s.clip.right});
  *y1 = std::min({*y1, s.height, s.clip.bottom});
  return *x0 < *x1 && *y0 < *y1;
}

}  // namespace

void DrawImage(Surface s, const PixelImage& image, const Rect& to) {
  if (image.empty() || to.width() <= 0 || to.height() <= 0) return;
  int x0 = to.left, y0 = to.top, x1 = to.right, y1 = to.bottom;
  if (!Clip(s, &x0, &y0, &x1, &y1)) return;
  // Nearest source row/column: frame edges are one pixel thick along the stretch, and
  // same-size images map one to one. Columns are worked out once, not for every row.
  std::vector<int> columns(static_cast<size_t>(x1 - x0));
  for (int x = x0; x < x1; ++x)
    columns[x - x0] = static_cast<int>(static_cast<int64_t>(x - to.left) * image.width / to.width());
  for (int y = y0; y < y1; ++y) {
    int sy = static_cast<int>(static_cast<int64_t>(y - to.top) * image.height / to.height());
    const uint32_t* row = &image.pixels[static_cast<size_t>(sy) * image.width];
    uint32_t* out = &s.at(0, y);
    for (int x = x0; x < x1; ++x) out[x] = Over(row[columns[x - x0]], out[x]);
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
  int x0 = 0, y0 = 0, x1 = dst.width, y1 = dst.height;
  if (!Clip(dst, &x0, &y0, &x1, &y1)) return;
  for (int y = y0; y < y1; ++y) {
    const size_t row = static_cast<size_t>(y) * dst.width;
    // A background is long runs of equal pixels (a gradient row, the title strip, the
    // cleared target): each run is blended once.
    uint32_t lastSrc = 0, lastDst = 0, last = Over(Scale(0, alpha), 0);
    for (size_t i = row + x0; i < row + x1; ++i) {
      const uint32_t s = src[i], d = dst.pixels[i];
      if (s != lastSrc || d != lastDst) {
        lastSrc = s;
        lastDst = d;
        last = Over(Scale(s, alpha), d);
      }
      dst.pixels[i] = last;
    }
  }
}

namespace {

// Faded over a cleared pixel: a result without alpha leaves it clear.
inline uint32_t FadedPixel(uint32_t p, uint32_t alpha) {
  const uint32_t v = ScalePacked(p, alpha);
  return v & (0u - static_cast<uint32_t>(v > 0x00FFFFFFu));
}

void FadeSpan(uint32_t* __restrict out, const uint32_t* __restrict in, int from, int to, uint32_t alpha) {
  for (int x = from; x < to; ++x) out[x] = FadedPixel(in[x], alpha);
}

bool InRows(const Area& a, int y) { return y >= a.y && y < a.y + a.height && a.width > 0; }

}  // namespace

void Fade(Surface dst, const uint32_t* src, uint8_t alpha) {
  int x0 = 0, y0 = 0, x1 = dst.width, y1 = dst.height;
  if (!Clip(dst, &x0, &y0, &x1, &y1)) return;
  for (int y = y0; y < y1; ++y) {
    const size_t row = static_cast<size_t>(y) * dst.width;
    FadeSpan(dst.pixels + row, src + row, x0, x1, alpha);
  }
}

void ComposeWidgetBackground(Surface target, Surface scratch, const FramePieces& frame, const ColorTheme& theme,
                             uint8_t alpha, int dpi) {
  int x0 = 0, y0 = 0, x1 = target.width, y1 = target.height;
  if (!Clip(target, &x0, &y0, &x1, &y1)) return;
  scratch.clip = Rect{x0, y0, x1, y1};
  for (int y = y0; y < y1; ++y) std::fill(&scratch.at(x0, y), &scratch.at(x0, y) + (x1 - x0), 0u);
  DrawFrame(scratch, frame);
  const Area body = BodyArea(scratch.width, scratch.height, dpi);
  const Area title = TitleStripArea(scratch.width, scratch.height, dpi);
  FillVerticalGradient(scratch, body, theme.bodyTop, theme.bodyBottom);
  FillOpaque(scratch, title, theme.title);
  // Faded onto the target. Across the body and the title strip a row is one colour: it is
  // faded once and filled; the frame beside them pixel by pixel.
  for (int y = y0; y < y1; ++y) {
    const size_t row = static_cast<size_t>(y) * target.width;
    uint32_t* out = target.pixels + row;
    const uint32_t* in = scratch.pixels + row;
    const Area* fill = InRows(title, y) ? &title : InRows(body, y) ? &body : nullptr;
    // The body beside a narrower title strip is another colour: no single span then.
    if (fill == &title && InRows(body, y) && (body.x < title.x || body.x + body.width > title.x + title.width))
      fill = nullptr;
    const int f0 = fill ? std::min(std::max(fill->x, x0), x1) : x1;
    const int f1 = fill ? std::min(std::max(fill->x + fill->width, f0), x1) : x1;
    FadeSpan(out, in, x0, f0, alpha);
    if (f0 < f1) std::fill(out + f0, out + f1, FadedPixel(in[f0], alpha));
    FadeSpan(out, in, f1, x1, alpha);
  }
}

}  // namespace widgets
