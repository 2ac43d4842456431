#include "widgets/frame_images_win.h"

#include <windows.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <memory>
#include <utility>

#include "platform/log.h"
#include "res/widgets_res.h"
#include "ui/png_decode.h"

namespace widgets {

bool LoadPngResource(int id, PixelImage* out) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  HGLOBAL data = res ? LoadResource(module, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  DWORD size = res ? SizeofResource(module, res) : 0;
  if (!bytes || !size) return false;
  // Our own images decode here; only an unusual file needs the system's codecs.
  constexpr int kLargestImage = 1024;
  ui::DecodedPng decoded;
  if (ui::DecodePng(static_cast<const uint8_t*>(bytes), size, kLargestImage, &decoded)) {
    out->width = decoded.width;
    out->height = decoded.height;
    out->pixels = std::move(decoded.pixels);
    return true;
  }
  IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(bytes), size);
  if (!stream) return false;
  bool ok = false;
  {
    std::unique_ptr<Gdiplus::Bitmap> bmp(Gdiplus::Bitmap::FromStream(stream));
    if (bmp && bmp->GetLastStatus() == Gdiplus::Ok) {
      const int w = static_cast<int>(bmp->GetWidth()), h = static_cast<int>(bmp->GetHeight());
      Gdiplus::Rect rect(0, 0, w, h);
      Gdiplus::BitmapData bd{};
      if (w > 0 && h > 0 &&
          bmp->LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &bd) == Gdiplus::Ok) {
        out->width = w;
        out->height = h;
        out->pixels.resize(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y) {
          const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(bd.Scan0) + y * bd.Stride);
          std::copy(row, row + w, out->pixels.begin() + static_cast<size_t>(y) * w);
        }
        bmp->UnlockBits(&bd);
        ok = true;
      }
    }
  }
  stream->Release();
  return ok;
}

namespace {

WidgetImages* LoadWidgetImages(int idStep) {
  auto* im = new WidgetImages;  // shared for the life of the process
  struct Entry {
    int id;
    PixelImage* target;
  } entries[] = {
      {IDB_FRAME_TOP_LEFT, &im->frame.topLeft},       {IDB_FRAME_TOP_RIGHT, &im->frame.topRight},
      {IDB_FRAME_TOP, &im->frame.top},                {IDB_FRAME_LEFT_UPPER, &im->frame.leftUpper},
      {IDB_FRAME_LEFT, &im->frame.left},              {IDB_FRAME_RIGHT_UPPER, &im->frame.rightUpper},
      {IDB_FRAME_RIGHT, &im->frame.right},            {IDB_FRAME_BOTTOM_LEFT, &im->frame.bottomLeft},
      {IDB_FRAME_BOTTOM_RIGHT, &im->frame.bottomRight}, {IDB_FRAME_BOTTOM, &im->frame.bottom},
      {IDB_RESIZE_GRIP, &im->grip},                   {IDB_BUTTON_REFRESH, &im->refresh},
      {IDB_BUTTON_MENU, &im->menu},
  };
  for (const Entry& e : entries)
    if (!LoadPngResource(e.id + idStep, e.target)) LogError("widget image %d could not be loaded", e.id + idStep);
  return im;
}

}  // namespace

const WidgetImages& GetWidgetImages() { return GetWidgetImages(100); }

const WidgetImages& GetWidgetImages(int scalePercent) {
  // Loaded on first use at each scale, on the UI thread.
  static WidgetImages* images[3] = {};
  const int slot = scalePercent >= 200 ? 2 : scalePercent >= 150 ? 1 : 0;
  static const int kIdSteps[3] = {0, IDB_SCALE_STEP_150, IDB_SCALE_STEP_200};
  if (!images[slot]) images[slot] = LoadWidgetImages(kIdSteps[slot]);
  return *images[slot];
}

}  // namespace widgets
