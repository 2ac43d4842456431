#include "widgets/widget_engine_win.h"

#include "framework/handles_win.h"
#include "framework/wstr_win.h"

// A small GDI measurer and canvas for the widget's engine. They stand in until the
// rich-text code offers its own GDI implementations; the widget only reaches them
// through the functions of widget_engine_win.h.
namespace widgets {

namespace {

LOGFONTW ToLogFont(const richtext::FontDesc& f) {
  LOGFONTW lf{};
  lf.lfHeight = f.height;
  lf.lfWeight = f.weight;
  lf.lfItalic = f.italic;
  lf.lfUnderline = f.underline;
  lf.lfStrikeOut = f.strikeout;
  lf.lfCharSet = f.charset;
  lf.lfOutPrecision = f.outPrecision;
  lf.lfClipPrecision = f.clipPrecision;
  lf.lfQuality = f.quality;
  lf.lfPitchAndFamily = f.pitchAndFamily;
  lstrcpynW(lf.lfFaceName, as_wcstr(f.face), LF_FACESIZE);
  return lf;
}

class GdiMeasurer : public richtext::TextMeasurer {
 public:
  GdiMeasurer() : dc_(CreateCompatibleDC(nullptr)) {}
  int LogPixelsY() override { return GetDeviceCaps(dc_.get(), LOGPIXELSY); }
  void SelectFont(const richtext::FontDesc& font) override {
    if (font_ && font == current_) return;
    LOGFONTW lf = ToLogFont(font);
    fw::UniqueFont f(CreateFontIndirectW(&lf));
    SelectObject(dc_.get(), f.get());
    font_ = std::move(f);
    current_ = font;
  }
  richtext::Extent MeasureChar(char16_t ch) override {
    SIZE s{};
    wchar_t c = static_cast<wchar_t>(ch);
    GetTextExtentPoint32W(dc_.get(), &c, 1, &s);
    return {s.cx, s.cy};
  }
  int MaxCharWidth(const richtext::FontDesc& font) override {
    SelectFont(font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_.get(), &tm);
    return tm.tmMaxCharWidth;
  }

 private:
  fw::UniqueMemDc dc_;
  fw::UniqueFont font_;  // selected into dc_; released after the DC lets go of it
  richtext::FontDesc current_;
};

class GdiCanvas : public richtext::Canvas {
 public:
  explicit GdiCanvas(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~GdiCanvas() override {
    RestoreDC(dc_, saved_);
  }
  void ClipTo(const richtext::Rect& r) override {
    IntersectClipRect(dc_, r.left, r.top, r.right, r.bottom);
  }
  void SelectFont(const richtext::FontDesc& font) override {
    LOGFONTW lf = ToLogFont(font);
    fw::UniqueFont f(CreateFontIndirectW(&lf));
    SelectObject(dc_, f.get());
    font_ = std::move(f);  // the previous font is no longer selected
  }
  richtext::ColorRef GetTextColor() override { return ::GetTextColor(dc_); }
  richtext::ColorRef GetBackColor() override { return GetBkColor(dc_); }
  bool IsBackTransparent() override { return GetBkMode(dc_) == TRANSPARENT; }
  void SetTextColor(richtext::ColorRef c) override { ::SetTextColor(dc_, c); }
  void SetBackColor(richtext::ColorRef c) override { SetBkColor(dc_, c); }
  void SetBackTransparent(bool t) override { SetBkMode(dc_, t ? TRANSPARENT : OPAQUE); }
  void DrawChar(int x, int y, char16_t ch) override {
    wchar_t c = static_cast<wchar_t>(ch);
    TextOutW(dc_, x, y, &c, 1);
  }
  void FillRect(const richtext::Rect& r, richtext::ColorRef c) override {
    fw::UniqueBrush b(CreateSolidBrush(c));
    RECT rc{r.left, r.top, r.right, r.bottom};
    ::FillRect(dc_, &rc, b.get());
  }
  void InvertRect(const richtext::Rect& r) override {
    RECT rc{r.left, r.top, r.right, r.bottom};
    ::InvertRect(dc_, &rc);
  }
  void DrawBitmap(const richtext::Bitmap&, int, int, int, int) override {}  // feeds carry no images

 private:
  HDC dc_;
  int saved_;
  fw::UniqueFont font_;
};

}  // namespace

std::unique_ptr<richtext::CRichDraw> MakeWidgetEngine() {
  return std::make_unique<richtext::CRichDraw>(std::make_unique<GdiMeasurer>());
}

richtext::FontDesc FontDescOf(HFONT font) {
  LOGFONTW lf{};
  GetObjectW(font, sizeof lf, &lf);
  richtext::FontDesc d;
  d.face = to_u16(lf.lfFaceName);
  d.height = lf.lfHeight;
  d.weight = lf.lfWeight;
  d.italic = lf.lfItalic != 0;
  d.underline = lf.lfUnderline != 0;
  d.strikeout = lf.lfStrikeOut != 0;
  d.charset = lf.lfCharSet;
  d.outPrecision = lf.lfOutPrecision;
  d.clipPrecision = lf.lfClipPrecision;
  d.quality = lf.lfQuality;
  d.pitchAndFamily = lf.lfPitchAndFamily;
  return d;
}

void PaintEngine(richtext::CRichDraw& engine, HDC dc) {
  GdiCanvas canvas(dc);
  engine.Paint(canvas);
}

std::u16string EngineHtml(richtext::CRichDraw&, const std::u16string& fallback) { return fallback; }

}  // namespace widgets
