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
  SelectObject(dc_.get(), bmp);  // the previous bitmap is now free to delete
  bitmap_.reset(bmp);
  pixels_ = static_cast<uint32_t*>(bits);
  width_ = w;
  height_ = h;
  ZeroMemory(pixels_, count() * sizeof(uint32_t));
  return true;
}

void PushLayered(HWND hwnd, const DibSurface& surface, int w, int h, BYTE opacity) {
  BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
  SIZE size{w, h};
  POINT src{0, 0};
  fw::WindowDc wdc(hwnd);
  UpdateLayeredWindow(hwnd, wdc.get(), nullptr, &size, surface.dc(), &src, 0, &blend, ULW_ALPHA);
}

void ComposeTextOpaque(const DibSurface& target, const DibSurface& mark, const std::function<void(HDC)>& draw,
                       BYTE alpha) {
  if (!target.ready() || !mark.ready() || target.count() != mark.count()) return;
  const size_t n = target.count();
  FillPixels(mark.pixels(), n, kMarkerPixel);
  draw(mark.dc());
  GdiFlush();
  MakeTouchedBackgroundOpaque(target.pixels(), mark.pixels(), n);
  draw(target.dc());
  GdiFlush();
  SetTouchedAlpha(target.pixels(), mark.pixels(), n, alpha);
}

}  // namespace ui
