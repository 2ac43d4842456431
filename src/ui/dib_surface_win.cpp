#include "ui/dib_surface_win.h"

#include "ui/layered_pixels.h"

namespace ui {

bool DibSurface::Resize(HDC reference, int w, int h) {
  if (w <= 0 || h <= 0) return false;
  if (!dc_) dc_.reset(CreateCompatibleDC(reference));
  if (!dc_) return false;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down: row 0 is the top
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc_.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp || !bits) {
    if (bmp) DeleteObject(bmp);
    return false;
  }
  HGDIOBJ previous = SelectObject(dc_.get(), bmp);  // the previous bitmap is now free to delete
  if (!bitmap_) original_ = previous;
  bitmap_.reset(bmp);
  pixels_ = static_cast<uint32_t*>(bits);
  width_ = w;
  height_ = h;
  ZeroMemory(pixels_, count() * sizeof(uint32_t));
  return true;
}

bool DibSurface::ResizeLater(HDC reference, int w, int h) {
  if (w <= 0 || h <= 0) return false;
  if (!dc_) dc_.reset(CreateCompatibleDC(reference));
  if (!dc_) return false;
  ReleasePixels();
  width_ = w;
  height_ = h;
  return true;
}

void DibSurface::ReleasePixels() {
  if (!bitmap_) return;
  SelectObject(dc_.get(), original_);
  bitmap_.reset();
  pixels_ = nullptr;
}

void PushLayered(HWND hwnd, const DibSurface& surface, int w, int h, BYTE opacity, const RECT* dirty) {
  BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
  SIZE size{w, h};
  POINT src{0, 0};
  // No destination DC: the system needs none for a layered window's own image.
  UPDATELAYEREDWINDOWINFO info{sizeof info, nullptr, nullptr, &size, surface.dc(), &src, 0, &blend, ULW_ALPHA, dirty};
  UpdateLayeredWindowIndirect(hwnd, &info);
}

namespace {

// Runs `pass` on each row of `area`, over both surfaces' pixels of that row.
template <typename Pass>
void ForRows(const DibSurface& target, const DibSurface& mark, const RECT& area, Pass pass) {
  const size_t w = static_cast<size_t>(target.width()), n = static_cast<size_t>(area.right - area.left);
  for (LONG y = area.top; y < area.bottom; ++y) {
    const size_t at = static_cast<size_t>(y) * w + static_cast<size_t>(area.left);
    pass(target.pixels() + at, mark.pixels() + at, n);
  }
}

void DrawClipped(HDC dc, const RECT& area, const std::function<void(HDC)>& draw) {
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  draw(dc);
  RestoreDC(dc, saved);
}

}  // namespace

void ComposeTextOpaque(const DibSurface& target, const DibSurface& mark, const std::function<void(HDC)>& draw,
                       BYTE alpha, const RECT* area, const RECT* reach) {
  if (!target.ready() || !mark.ready() || target.width() != mark.width() || target.height() != mark.height())
    return;
  RECT r{0, 0, target.width(), target.height()};
  if (area && !IntersectRect(&r, &r, area)) return;
  ForRows(target, mark, r, [](uint32_t*, uint32_t* m, size_t n) { FillPixels(m, n, kMarkerPixel); });
  if (reach && !IntersectRect(&r, &r, reach)) return;
  DrawClipped(mark.dc(), r, draw);
  GdiFlush();
  ForRows(target, mark, r, [](uint32_t* t, uint32_t* m, size_t n) { MakeTouchedBackgroundOpaque(t, m, n); });
  DrawClipped(target.dc(), r, draw);
  GdiFlush();
  ForRows(target, mark, r, [alpha](uint32_t* t, uint32_t* m, size_t n) { SetTouchedAlpha(t, m, n, alpha); });
}

}  // namespace ui
