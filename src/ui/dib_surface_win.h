// A memory DC with a 32-bit top-down DIB section selected into it: the drawing surface of
// layered windows, whose pixels the composition reads and writes directly.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "framework/handles_win.h"

namespace ui {

class DibSurface {
 public:
  DibSurface() = default;
  DibSurface(const DibSurface&) = delete;
  DibSurface& operator=(const DibSurface&) = delete;

  // Creates the DC on first use (compatible with `reference`, or the screen when null) and
  // replaces the bitmap with a new w x h one, cleared to 0. False when either fails.
  bool Resize(HDC reference, int w, int h);
  void Reset() {
    dc_.reset();
    bitmap_.reset();
    pixels_ = nullptr;
    width_ = height_ = 0;
  }
  // Frees the pixels but keeps the DC, what is selected into it and the size: Resize to
  // the same size brings pixels back, cleared.
  void ReleasePixels();
  // As ReleasePixels, with w x h as the size that Resize is later asked for (the DC is
  // made now, as Resize makes it, so that fonts can be selected meanwhile). False when the
  // DC could not be made.
  bool ResizeLater(HDC reference, int w, int h);
  // Selects `font` into the DC (nothing before the DC exists). The caller keeps the font
  // alive while it is selected: select its successor before deleting it.
  void UseFont(HFONT font) const {
    if (dc_) SelectObject(dc_.get(), font);
  }

  HDC dc() const { return dc_.get(); }
  uint32_t* pixels() const { return pixels_; }
  int width() const { return width_; }
  int height() const { return height_; }
  size_t count() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
  bool ready() const { return pixels_ != nullptr; }

 private:
  fw::UniqueBitmap bitmap_;  // declared before the DC: the DC is deleted first
  fw::UniqueMemDc dc_;
  HGDIOBJ original_ = nullptr;  // the DC's own bitmap, selected while it has no pixels
  uint32_t* pixels_ = nullptr;
  int width_ = 0, height_ = 0;
};

// Shows the top-left w x h pixels of a premultiplied surface as the layered window's image,
// faded by `opacity` (255: as the pixels say). With `dirty`, only that part of the image
// changed since the last push: the system copies just that part.
void PushLayered(HWND hwnd, const DibSurface& surface, int w, int h, BYTE opacity, const RECT* dirty = nullptr);

// Draws GDI text (and whatever `draw` paints) onto a premultiplied layered surface so that
// it is not lost to the alpha channel: `draw` runs first on `mark` (filled with the marker
// here) to find the pixels it touches, then on `target`, whose touched pixels are first
// made the opaque colour under them (smoothed edges blend with the real background) and
// finally get `alpha`. Both surfaces have the same size. With `area`, the drawing is
// clipped to it and only its pixels are looked at and changed. With `reach`, the drawing
// touches nothing outside it: the passes look only there (the marker fills all the area).
void ComposeTextOpaque(const DibSurface& target, const DibSurface& mark, const std::function<void(HDC)>& draw,
                       BYTE alpha, const RECT* area = nullptr, const RECT* reach = nullptr);

}  // namespace ui
