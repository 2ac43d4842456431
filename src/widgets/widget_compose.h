// The widget's layered background, composed directly on 32-bit premultiplied BGRA pixels
// (the layout of a top-down DIB section): the frame pieces, the body gradient and title
// strip in the theme's colours, the fade to the chosen opacity, and the title buttons.
#pragma once
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "widgets/widget_geometry.h"
#include "widgets/widget_theme.h"

namespace widgets {

// A decoded image: premultiplied BGRA, row by row from the top.
struct PixelImage {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  bool empty() const { return pixels.empty(); }
};

// The frame pieces by role. A piece that failed to load stays empty and counts as 0 x 0.
struct FramePieces {
  PixelImage topLeft, topRight, top;
  PixelImage leftUpper, left, rightUpper, right;
  PixelImage bottomLeft, bottomRight, bottom;
};

// A surface of w x h pixels. Drawing writes only pixels inside `clip` (all of them unless
// narrowed), so that part of an image can be composed again while the rest stays.
struct Surface {
  uint32_t* pixels;
  int width, height;
  Rect clip{0, 0, INT_MAX, INT_MAX};
  uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  Surface Clipped(const Rect& r) const {
    Surface s = *this;
    s.clip = {std::max(clip.left, r.left), std::max(clip.top, r.top), std::min(clip.right, r.right),
              std::min(clip.bottom, r.bottom)};
    return s;
  }
};

// COLORREF (0x00BBGGRR) to an opaque pixel (0xAARRGGBB).
inline uint32_t OpaquePixel(uint32_t colorref) {
  return 0xFF000000u | ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
}

// Draws `image` over the surface (source-over), stretched to the rectangle when sizes differ.
void DrawImage(Surface s, const PixelImage& image, const Rect& to);
// The frame around the whole surface: corners at natural size, edges stretched between.
void DrawFrame(Surface s, const FramePieces& frame);
void FillOpaque(Surface s, const Area& a, uint32_t colorref);
// A top-to-bottom gradient between two colours, opaque.
void FillVerticalGradient(Surface s, const Area& a, uint32_t topColorref, uint32_t bottomColorref);
// dst = src * alpha/255 over dst: the whole source faded to a constant opacity. `src` has
// the size of `dst`.
void BlendFaded(Surface dst, const uint32_t* src, uint8_t alpha);
// dst = src * alpha/255, as BlendFaded onto a cleared surface.
void Fade(Surface dst, const uint32_t* src, uint8_t alpha);

// Steps of the widget background: frame, body and title strip onto `scratch`, faded onto
// `target` with the record's alpha, laid out for a monitor of `dpi` (the frame pieces are
// the ones drawn for it). Both surfaces are cleared first. Only the pixels inside the
// target's clip are composed (and only those of the scratch are touched).
void ComposeWidgetBackground(Surface target, Surface scratch, const FramePieces& frame, const ColorTheme& theme,
                             uint8_t alpha, int dpi = ui::kBaseDpi);

}  // namespace widgets
