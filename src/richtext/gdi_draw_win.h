// GDI implementations of the rich-text engine's measuring and drawing interfaces.
#pragma once
#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

#include "framework/handles_win.h"
#include "richtext/rich_platform.h"

namespace richtext {

LOGFONTW LogFontFromDesc(const FontDesc& f);
FontDesc DescFromLogFont(const LOGFONTW& lf);

// Fonts by style, created on first use. Styles in rich text are few; the cache is
// emptied when it grows past a bound, so odd content cannot exhaust GDI objects.
class GdiFontCache {
 public:
  HFONT Get(const FontDesc& f);

 private:
  static constexpr size_t kMaxFonts = 64;
  std::vector<std::pair<FontDesc, fw::UniqueFont>> fonts_;
};

// Measures characters against a memory DC compatible with the screen.
class GdiMeasurer : public TextMeasurer {
 public:
  GdiMeasurer();
  ~GdiMeasurer() override;
  GdiMeasurer(const GdiMeasurer&) = delete;
  GdiMeasurer& operator=(const GdiMeasurer&) = delete;
  int LogPixelsY() override;
  void UseFont(const FontDesc& f) override;
  Extent MeasureChar(char16_t ch) override;
  int MaxCharWidth(const FontDesc& f) override;

 private:
  GdiFontCache fonts_;
  fw::UniqueMemDc dc_;
  HGDIOBJ originalFont_ = nullptr;
};

// A bitmap owned by the engine. Stretched copies are made with HALFTONE scaling into
// bitmaps compatible with the screen.
class GdiBitmap : public Bitmap {
 public:
  explicit GdiBitmap(HBITMAP bitmap);
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::unique_ptr<Bitmap> Stretched(int w, int h) const override;
  HBITMAP get() const { return bitmap_.get(); }

 private:
  fw::UniqueBitmap bitmap_;
  int width_ = 0, height_ = 0;
};

// Paints into a DC for the lifetime of the object; the DC's state is saved on
// construction and restored on destruction. Images are copied through `imageDc`.
class GdiCanvas : public Canvas {
 public:
  GdiCanvas(HDC target, HDC imageDc, GdiFontCache& fonts);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  void ClipTo(const Rect& r) override;
  void UseFont(const FontDesc& f) override;
  ColorRef GetTextColor() override;
  ColorRef GetBackColor() override;
  bool IsBackTransparent() override;
  void SetTextColor(ColorRef c) override;
  void SetBackColor(ColorRef c) override;
  void SetBackTransparent(bool transparent) override;
  void DrawChar(int x, int y, char16_t ch) override;
  void DrawChars(int x, int y, const char16_t* chars, const int* advances, int n) override;
  void FillRect(const Rect& r, ColorRef c) override;
  void InvertRect(const Rect& r) override;
  void DrawBitmap(const Bitmap& b, int x, int y, int w, int h) override;

 private:
  HDC dc_;
  HDC imageDc_;
  GdiFontCache& fonts_;
  int saved_;
  HGDIOBJ originalFont_;
};

}  // namespace richtext
