// A memory DC with a 32-bit top-down DIB section selected into it: the drawing surface of
// layered windows, whose pixels the composition reads and writes directly.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

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

  HDC dc() const { return dc_.get(); }
  uint32_t* pixels() const { return pixels_; }
  int width() const { return width_; }
  int height() const { return height_; }
  size_t count() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
  bool ready() const { return pixels_ != nullptr; }

 private:
  fw::UniqueBitmap bitmap_;  // declared before the DC: the DC is deleted first
  fw::UniqueMemDc dc_;
  uint32_t* pixels_ = nullptr;
  int width_ = 0, height_ = 0;
};

// Shows the top-left w x h pixels of a premultiplied surface as the layered window's image,
// faded by `opacity` (255: as the pixels say).
void PushLayered(HWND hwnd, const DibSurface& surface, int w, int h, BYTE opacity);

}  // namespace ui
