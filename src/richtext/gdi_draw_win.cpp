#include "richtext/gdi_draw_win.h"

#include <cstring>

namespace richtext {

LOGFONTW LogFontFromDesc(const FontDesc& f) {
  LOGFONTW lf{};
  lf.lfHeight = f.height;
  lf.lfWeight = f.weight;
  lf.lfItalic = f.italic ? 1 : 0;
  lf.lfUnderline = f.underline ? 1 : 0;
  lf.lfStrikeOut = f.strikeout ? 1 : 0;
  lf.lfCharSet = f.charset;
  lf.lfOutPrecision = f.outPrecision;
  lf.lfClipPrecision = f.clipPrecision;
  lf.lfQuality = f.quality;
  lf.lfPitchAndFamily = f.pitchAndFamily;
  size_t n = f.face.size() < LF_FACESIZE - 1 ? f.face.size() : LF_FACESIZE - 1;
  std::memcpy(lf.lfFaceName, f.face.data(), n * sizeof(wchar_t));
  lf.lfFaceName[n] = 0;
  return lf;
}

FontDesc DescFromLogFont(const LOGFONTW& lf) {
  FontDesc f;
  f.height = lf.lfHeight;
  f.weight = lf.lfWeight;
  f.italic = lf.lfItalic != 0;
  f.underline = lf.lfUnderline != 0;
  f.strikeout = lf.lfStrikeOut != 0;
  f.charset = lf.lfCharSet;
  f.outPrecision = lf.lfOutPrecision;
  f.clipPrecision = lf.lfClipPrecision;
  f.quality = lf.lfQuality;
  f.pitchAndFamily = lf.lfPitchAndFamily;
  size_t n = 0;
  while (n < LF_FACESIZE && lf.lfFaceName[n]) ++n;
  f.face.assign(reinterpret_cast<const char16_t*>(lf.lfFaceName), n);
  return f;
}

HFONT GdiFontCache::Get(const FontDesc& f) {
  for (auto& entry : fonts_)
    if (entry.first == f) return entry.second.get();
  if (fonts_.size() >= kMaxFonts) fonts_.clear();
  LOGFONTW lf = LogFontFromDesc(f);
  fonts_.emplace_back(f, fw::UniqueFont(CreateFontIndirectW(&lf)));
  return fonts_.back().second.get();
}

namespace {

// The screen's vertical resolution does not change while the program runs.
int ScreenLogPixelsY() {
  static const int dpi = [] {
    HDC screen = GetDC(nullptr);
    int v = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return v > 0 ? v : 96;
  }();
  return dpi;
}

}  // namespace

GdiMeasurer::GdiMeasurer() : dc_(CreateCompatibleDC(nullptr)) {
  if (dc_) originalFont_ = GetCurrentObject(dc_.get(), OBJ_FONT);
}

GdiMeasurer::~GdiMeasurer() {
  if (dc_) SelectObject(dc_.get(), originalFont_);
}

int GdiMeasurer::LogPixelsY() { return ScreenLogPixelsY(); }

void GdiMeasurer::UseFont(const FontDesc& f) {
  if (!dc_) return;
  // The cache may delete fonts when it is full: none of them may be selected then.
  SelectObject(dc_.get(), originalFont_);
  SelectObject(dc_.get(), fonts_.Get(f));
}

Extent GdiMeasurer::MeasureChar(char16_t ch) {
  SIZE size{};
  if (dc_) {
    wchar_t c = static_cast<wchar_t>(ch);
    GetTextExtentPoint32W(dc_.get(), &c, 1, &size);
  }
  return Extent{size.cx, size.cy};
}

int GdiMeasurer::MaxCharWidth(const FontDesc& f) {
  if (!dc_) return 0;
  UseFont(f);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc_.get(), &tm);
  return tm.tmMaxCharWidth;
}

GdiBitmap::GdiBitmap(HBITMAP bitmap) : bitmap_(bitmap) {
  BITMAP bm{};
  if (bitmap && GetObjectW(bitmap, sizeof bm, &bm)) {
    width_ = bm.bmWidth;
    height_ = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  }
}

std::unique_ptr<Bitmap> GdiBitmap::Stretched(int w, int h) const {
  if (!bitmap_ || w <= 0 || h <= 0) return nullptr;
  fw::WindowDc screen(nullptr);
  fw::UniqueMemDc from(CreateCompatibleDC(screen.get()));
  fw::UniqueMemDc to(CreateCompatibleDC(screen.get()));
  HBITMAP out = CreateCompatibleBitmap(screen.get(), w, h);
  if (!from || !to || !out) {
    if (out) DeleteObject(out);
    return nullptr;
  }
  {
    fw::SelectGuard selectFrom(from.get(), bitmap_.get());
    fw::SelectGuard selectTo(to.get(), out);
    SetStretchBltMode(to.get(), HALFTONE);
    SetBrushOrgEx(to.get(), 0, 0, nullptr);
    StretchBlt(to.get(), 0, 0, w, h, from.get(), 0, 0, width_, height_, SRCCOPY);
  }
  return std::make_unique<GdiBitmap>(out);
}

GdiCanvas::GdiCanvas(HDC target, HDC imageDc, GdiFontCache& fonts)
    : dc_(target), imageDc_(imageDc), fonts_(fonts), saved_(SaveDC(target)),
      originalFont_(GetCurrentObject(target, OBJ_FONT)) {}

GdiCanvas::~GdiCanvas() {
  // Restoring also deselects the fonts, which stay alive in the cache.
  if (saved_) RestoreDC(dc_, saved_);
}

void GdiCanvas::ClipTo(const Rect& r) { IntersectClipRect(dc_, r.left, r.top, r.right, r.bottom); }

void GdiCanvas::UseFont(const FontDesc& f) {
  SelectObject(dc_, originalFont_);  // as in the measurer: nothing of the cache selected while it may trim
  SelectObject(dc_, fonts_.Get(f));
}

ColorRef GdiCanvas::GetTextColor() { return ::GetTextColor(dc_); }
ColorRef GdiCanvas::GetBackColor() { return ::GetBkColor(dc_); }
bool GdiCanvas::IsBackTransparent() { return GetBkMode(dc_) == TRANSPARENT; }
void GdiCanvas::SetTextColor(ColorRef c) { ::SetTextColor(dc_, c); }
void GdiCanvas::SetBackColor(ColorRef c) { ::SetBkColor(dc_, c); }
void GdiCanvas::SetBackTransparent(bool transparent) { SetBkMode(dc_, transparent ? TRANSPARENT : OPAQUE); }

void GdiCanvas::DrawChar(int x, int y, char16_t ch) {
  wchar_t c = static_cast<wchar_t>(ch);
  TextOutW(dc_, x, y, &c, 1);
}

void GdiCanvas::DrawChars(int x, int y, const char16_t* chars, const int* advances, int n) {
  // The advances place every glyph where a call of its own would have put it.
  ExtTextOutW(dc_, x, y, 0, nullptr, reinterpret_cast<const wchar_t*>(chars), static_cast<UINT>(n),
              reinterpret_cast<const INT*>(advances));
}

void GdiCanvas::FillRect(const Rect& r, ColorRef c) {
  fw::UniqueBrush brush(CreateSolidBrush(c));
  RECT rc{r.left, r.top, r.right, r.bottom};
  ::FillRect(dc_, &rc, brush.get());
}

void GdiCanvas::InvertRect(const Rect& r) {
  RECT rc{r.left, r.top, r.right, r.bottom};
  ::InvertRect(dc_, &rc);
}

void GdiCanvas::DrawBitmap(const Bitmap& b, int x, int y, int w, int h) {
  const auto& gdi = static_cast<const GdiBitmap&>(b);
  if (!imageDc_ || !gdi.get()) return;
  fw::SelectGuard select(imageDc_, gdi.get());
  BitBlt(dc_, x, y, w, h, imageDc_, 0, 0, SRCCOPY);
}

}  // namespace richtext
