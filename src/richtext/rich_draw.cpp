#include "richtext/rich_draw.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "richtext/rich_draw_parts.h"

namespace richtext {

namespace {

using parts::ClampInt;
using parts::kCaretBlinkMs;

const std::u16string kDefaultFaceName = u"宋体";
constexpr int kDefaultPointsTimes10 = 100;  // the default font is 10 points
constexpr int kImageBoxPercent = 80;
constexpr int kMinImageBox = 40;
constexpr int kMaxImageBox = 150;
constexpr int kMaxLineSpacing = 1000;
// Image boxes are cut to this side so that 20000 of them cannot overflow coordinates.
constexpr int kMaxImageSide = 10000;
constexpr ColorRef kWhite = 0xFFFFFF;
constexpr ColorRef kCaretColor = 0;
// Markup that yields no content is inserted as it stands, bold, dark red on black, so it
// shows as markup that was not understood.
constexpr ColorRef kNoContentColor = 90;

const SharedText& ProcessDefaultFace() {
  static const SharedText face = std::make_shared<const std::u16string>(kDefaultFaceName);
  return face;
}

// Characters side by side on one line in one style, drawn as one run: a call per character
// costs far more than the glyphs themselves. The run goes out before anything else touches
// the canvas, so the drawing order stays that of the items.
class GlyphRun {
 public:
  explicit GlyphRun(Canvas& canvas) : canvas_(canvas) {}

  bool Continues(int atX, int atY) const { return chars_.empty() || (atX == end_ && atY == y_); }
  void Add(int atX, int atY, char16_t ch, int width) {
    if (chars_.empty()) {
      x_ = atX;
      y_ = atY;
    }
    chars_.push_back(ch);
    advances_.push_back(width);
    end_ = atX + width;
  }
  void Flush() {
    if (chars_.empty()) return;
    canvas_.DrawChars(x_, y_, chars_.data(), advances_.data(), static_cast<int>(chars_.size()));
    chars_.clear();
    advances_.clear();
  }

 private:
  Canvas& canvas_;
  std::u16string chars_;
  std::vector<int> advances_;
  int x_ = 0, y_ = 0, end_ = 0;
};

uint32_t NextImageToken() {
  static uint32_t next = 0;
  if (++next == 0) ++next;
  return next;
}

}  // namespace

CRichDraw::CRichDraw(std::unique_ptr<TextMeasurer> measurer) : measurer_(std::move(measurer)) {
  logPixelsY_ = measurer_->LogPixelsY();
  if (logPixelsY_ <= 0) logPixelsY_ = 96;
  defaultFont_.face = kDefaultFaceName;
  defaultFont_.height = -std::abs(logPixelsY_ * kDefaultPointsTimes10 / 720);
  defaultFace_ = ProcessDefaultFace();
  defaultLineHeight_ = std::abs(defaultFont_.height);
}

CRichDraw::~CRichDraw() { Detach(); }

// --- Set-up ---

void CRichDraw::Attach(RichHost* host) {
  if (host_ && host_ != host) Detach();
  host_ = host;
  if (!host_) return;
  view_ = host_->GetClientRect();
  int maxChar = measurer_->MaxCharWidth(defaultFont_);
  if (view_.Width() < maxChar) view_.right = view_.left + maxChar + 1;
  if (view_.Width() > 4) {
    view_.left += 2;
    view_.right -= 2;
  }
  // The caret blinks only in a focused window (see OnSetFocus): a widget seldom has the
  // focus, and a timer for each would wake the program twice a second for nothing.
  if (!(readOnly_ && dragScroll_) && host_->HasFocus()) host_->SetTimer(kTimerCaretBlink, kCaretBlinkMs);
  // Images inserted before the window existed are loaded now.
  for (RichItem* it : items_)
    if (!it->IsText() && !it->sourceBitmap) host_->QueueImageLoad(it->source, it->imageToken);
  if (!items_.empty()) Layout();
}

void CRichDraw::Detach() {
  if (!host_) return;
  host_->CancelImageLoads();
  StopSelectTimer();
  host_->KillTimer(kTimerGlide);
  host_->KillTimer(kTimerCaretBlink);
  glideRunning_ = false;
  dragging_ = false;
  host_ = nullptr;
}

void CRichDraw::SetRect(int left, int top, int right, int bottom) {
  view_ = Rect{left, top, right, bottom};
  maxImageBox_ = ClampInt(view_.Width() * kImageBoxPercent / 100, kMinImageBox, kMaxImageBox);
  for (RichItem* it : items_) {
    if (it->IsText() || !it->sourceBitmap) continue;
    Extent e = FitImage(it->sourceBitmap->Width(), it->sourceBitmap->Height(), maxImageBox_);
    it->width = e.cx;
    it->height = e.cy;
    it->displayBitmap = it->sourceBitmap->Stretched(e.cx, e.cy);
  }
  Layout();
  SetOffset(0);
  if (host_) host_->Invalidate();  // the view itself moved: the old place changes too
}

void CRichDraw::SetDefaultFont(const FontDesc& font, int flags) {
  defaultFont_ = font;
  defaultFace_ = std::make_shared<const std::u16string>(font.face);
  // A positive LOGFONT height is a cell height; both signs mean the same size here.
  defaultSize_ = SizeFromFontHeight(-std::abs(font.height), logPixelsY_);
  for (RichItem* it : items_) {
    if (flags & kApplyBold) it->bold = font.weight > 400 ? 1 : 0;
    if (flags & kApplyUnderline) it->underline = it->contentUnderline = font.underline ? 1 : 0;
    if (flags & kApplyStrikeout) it->strikeout = font.strikeout ? 1 : 0;
    if (flags & kApplyItalic) it->italic = font.italic ? 1 : 0;
    if (flags & kApplySize) it->size = defaultSize_;
    if (flags & kApplyFace) it->face = defaultFace_;
  }
  defaultLineHeight_ = std::abs(font.height);
  ReleaseFontCache();
  for (RichItem* it : items_)
    if (it->IsText()) MeasureWithCache(*it);
  Layout();
  Repaint();
}

void CRichDraw::SetLineSpacing(int pixels) {
  lineSpacing_ = ClampInt(pixels, 0, kMaxLineSpacing);
  Layout();
  Repaint();
}

void CRichDraw::SetEnabled(int flag) {
  enabled_ = flag ? 1 : 0;
  if (!enabled_) {
    StopSelectTimer();
    caretVisible_ = 0;
  }
}

void CRichDraw::SetCentered(int flag) {
  centered_ = flag ? 1 : 0;
  if (!items_.empty()) {
    Layout();
    Repaint();
  }
}

void CRichDraw::SetReadOnly(int flag) {
  readOnly_ = flag ? 1 : 0;
  ClearSelection();
  if (host_) {
    if (readOnly_ && dragScroll_) {
      StopSelectTimer();
      caretVisible_ = 0;
    } else {
      if (host_->HasFocus()) host_->SetTimer(kTimerCaretBlink, kCaretBlinkMs);
      PlaceCaret(false);
    }
  }
  Repaint();
}

// --- Content ---

void CRichDraw::Clear() {
  if (host_) host_->CancelImageLoads();
  items_.clear();
  lines_.clear();
  undo_.clear();
  allItems_.clear();
  deadItems_ = 0;
  undoIndex_ = -1;
  caretIndex_ = 0;
  selectionAnchor_ = selectionEnd_ = -1;
  selFrom_ = selTo_ = 0;
  ReleaseFontCache();
  Layout();
}

void CRichDraw::SetHtml(const std::u16string& html) {
  Clear();
  int recording = undoRecording_;
  undoRecording_ = 0;
  InsertHtml(html, 0);
  undoRecording_ = recording;
  // New content may be shorter than what was scrolled to.
  SetOffset(ClampInt(vOffset_, MinScroll(), 0));
  Repaint();
}

void CRichDraw::InsertHtml(const std::u16string& html, int pos) {
  pos = ClampInt(pos, 0, GetItemCount());
  CHtmlParser parser;
  parser.Parse(html);
  ApplyHtmlTags(parser, defaultColor_, defaultSize_);
  int count = 0;
  CHtmlObject* const* objects = parser.GetObjects(&count);
  if (count == 0) {
    // Markup without any content (such as "<b></b>"): keep what was given, as plain text.
    TextStyle style;
    style.size = defaultSize_;
    style.color = kNoContentColor;
    style.background = kHasBackground | 0;
    style.bold = 1;
    if (!html.empty()) InsertText(html, pos, style);
    return;
  }
  ++layoutHold_;
  for (int i = 0; i < count; ++i) {
    if (IsNodeOfType(*objects[i], u"HtmlImage")) {
      auto* im = static_cast<CHtmlImage*>(objects[i]);
      int before = GetItemCount();
      InsertImage(im->GetSource(), im->GetWidth(), im->GetHeight(), im->GetLink(), pos);
      pos += GetItemCount() - before;
      continue;
    }
    auto* t = static_cast<CHtmlText*>(objects[i]);
    if (t->GetText().empty()) continue;
    int before = GetItemCount();
    InsertText(t->GetText(), pos, t->GetStyle());
    pos += GetItemCount() - before;
  }
  --layoutHold_;
  Layout();
}

RichItem* CRichDraw::NewItem() {
  allItems_.push_back(std::make_unique<RichItem>());
  return allItems_.back().get();
}

void CRichDraw::InsertItems(int pos, std::vector<RichItem*>& block) {
  // The selection is one range of indices: content arriving inside or before it would
  // shift it, so it ends here.
  if (HasSelection()) ClearSelection();
  for (RichItem* it : block) Hold(it);
  items_.insert(items_.begin() + pos, block.begin(), block.end());
  if (undoRecording_) {
    Record(kUndoInserted, pos, block);
    caretIndex_ = pos + static_cast<int>(block.size());
  } else if (caretIndex_ > pos) {
    caretIndex_ += static_cast<int>(block.size());
  }
  if (layoutHold_ == 0) Layout();
}

void CRichDraw::InsertText(const std::u16string& text, int pos, const TextStyle& style) {
  pos = ClampInt(pos, 0, GetItemCount());
  int room = kItemLimit - GetItemCount();
  int n = std::min(static_cast<int>(text.size()), room);
  if (n <= 0) return;
  SharedText face = style.face ? std::make_shared<const std::u16string>(*style.face) : defaultFace_;
  SharedText link = style.link ? std::make_shared<const std::u16string>(*style.link) : nullptr;
  std::vector<RichItem*> block;
  block.reserve(n);
  for (int i = 0; i < n; ++i) {
    RichItem* it = NewItem();
    it->kind = 1;
    it->ch = text[i];
    it->face = face;
    it->link = it->contentLink = link;
    it->size = style.size;
    it->color = it->contentColor = style.color;
    it->background = style.BackgroundColor();
    it->transparent = style.HasBackground() ? 0 : 1;
    it->bold = style.bold;
    it->underline = it->contentUnderline = style.underline;
    it->strikeout = style.strikeout;
    it->italic = style.italic;
    MeasureWithCache(*it);
    block.push_back(it);
  }
  InsertItems(pos, block);
}

void CRichDraw::InsertImage(const std::u16string& source, int width, int height, const std::u16string* link,
                            int pos) {
  if (source.empty() || GetItemCount() >= kItemLimit) return;
  pos = ClampInt(pos, 0, GetItemCount());
  RichItem* it = NewItem();
  it->kind = 0;
  it->width = ClampInt(width, 0, kMaxImageSide);
  it->height = ClampInt(height, 0, kMaxImageSide);
  it->source = source;
  if (link) it->link = it->contentLink = std::make_shared<const std::u16string>(*link);
  it->imageToken = NextImageToken();
  std::vector<RichItem*> block{it};
  InsertItems(pos, block);
  if (host_) host_->QueueImageLoad(it->source, it->imageToken);
}

bool CRichDraw::InsertBitmap(std::unique_ptr<Bitmap> bitmap, const std::u16string& thumbnailPath,
                             const std::u16string& fullPath, int pos) {
  if (!bitmap || GetItemCount() >= kItemLimit) return false;
  pos = ClampInt(pos, 0, GetItemCount());
  Extent e = FitImage(bitmap->Width(), bitmap->Height(), maxImageBox_);
  RichItem* it = NewItem();
  it->kind = 0;
  it->width = e.cx;
  it->height = e.cy;
  it->displayBitmap = bitmap->Stretched(e.cx, e.cy);
  it->sourceBitmap = std::move(bitmap);
  it->source = thumbnailPath;
  it->link = it->contentLink = std::make_shared<const std::u16string>(fullPath);
  it->imageToken = NextImageToken();
  std::vector<RichItem*> block{it};
  InsertItems(pos, block);
  Repaint();
  return true;
}

int CRichDraw::OnImageLoaded(uint32_t token, std::unique_ptr<Bitmap> bitmap) {
  if (!bitmap || token == 0) return 1;
  for (RichItem* it : items_) {
    if (it->IsText() || it->imageToken != token) continue;
    it->displayBitmap = bitmap->Stretched(it->width, it->height);
    it->sourceBitmap = std::move(bitmap);
    Repaint();
    break;
  }
  return 1;
}

void CRichDraw::SetAllTextColor(ColorRef c) {
  for (RichItem* it : items_) it->color = it->contentColor = c;
  Repaint();
}

// --- Fonts and measuring ---

int CRichDraw::FontHeightFromSize(int size, int logPixelsY) {
  return static_cast<int>((size / 10) * -static_cast<double>(logPixelsY) / 72.0 - 0.5);
}

int CRichDraw::SizeFromFontHeight(int height, int logPixelsY) {
  return static_cast<int>(0.5 - height * 72.0 / logPixelsY) * 10;
}

FontDesc CRichDraw::FontFor(const RichItem& item) const {
  FontDesc f = defaultFont_;
  f.height = FontHeightFromSize(item.size, logPixelsY_);
  f.weight = item.bold ? 700 : 400;
  f.italic = item.italic != 0;
  f.underline = item.underline != 0;
  f.strikeout = item.strikeout != 0;
  f.face = item.face ? *item.face : kDefaultFaceName;
  return f;
}

void CRichDraw::MeasureWithCache(RichItem& item) {
  // Runs share one style, so the measurer's font rarely changes.
  if (!cacheValid_ || cachedFont_.height != FontHeightFromSize(item.size, logPixelsY_) ||
      (cachedFont_.weight > 400) != (item.bold != 0) || cachedFont_.italic != (item.italic != 0) ||
      cachedFont_.underline != (item.underline != 0) || cachedFont_.strikeout != (item.strikeout != 0) ||
      cachedFont_.face != (item.face ? *item.face : kDefaultFaceName)) {
    cachedFont_ = FontFor(item);
    cacheValid_ = true;
    measurer_->UseFont(cachedFont_);
  }
  Extent e = measurer_->MeasureChar(item.ch);
  item.width = e.cx;
  item.height = e.cy;
}

// --- Painting ---

void CRichDraw::Repaint() {
  // Whatever the engine paints stays inside its clip, the view widened as in Paint.
  if (host_) host_->InvalidateArea(Rect{view_.left - 1, view_.top, view_.right + 2, view_.bottom});
}

void CRichDraw::AddCell(const RichItem& it, Rect* area) {
  const Rect cell{it.x, it.y, it.x + std::max(it.width, 1), it.y + std::max(it.height, 1)};
  if (area->right <= area->left) {
    *area = cell;
    return;
  }
  area->left = std::min(area->left, cell.left);
  area->top = std::min(area->top, cell.top);
  area->right = std::max(area->right, cell.right);
  area->bottom = std::max(area->bottom, cell.bottom);
}

void CRichDraw::RepaintItems(const Rect& area) {
  if (!host_ || area.right <= area.left) return;
  // Whole lines of the view, as wide as painting's clip, and a pixel above and below:
  // glyphs may reach a little past their cells.
  Rect r{view_.left - 1, std::max(area.top + vOffset_ - 1, view_.top), view_.right + 2,
         std::min(area.bottom + vOffset_ + 1, view_.bottom)};
  if (r.top >= r.bottom) return;  // out of sight: nothing shows the change
  host_->InvalidateArea(r);
}

Rect CRichDraw::GetPaintBounds() const {
  if (!host_) return Rect{};
  int top = INT_MAX, bottom = INT_MIN;
  if (!items_.empty() && !lines_.empty()) {
    // Two pixels of room, as in Paint, for glyphs that reach past their cells.
    top = lines_.front().top + vOffset_ - 2;
    bottom = lines_.back().bottom + vOffset_ + 2;
  }
  if (caretVisible_ && caretHeight_ > 0 && (!readOnly_ || !dragScroll_)) {
    top = std::min(top, caretY_);
    bottom = std::max(bottom, caretY_ + caretHeight_);
  }
  Rect r{view_.left - 1, std::max(top, view_.top), view_.right + 2, std::min(bottom, view_.bottom)};
  return r.top < r.bottom ? r : Rect{};
}

void CRichDraw::Paint(Canvas& canvas, const Rect* area) {
  if (!host_) return;
  canvas.ClipTo(Rect{view_.left - 1, view_.top, view_.right + 2, view_.bottom});
  if (area) canvas.ClipTo(*area);
  // Items that end above the area or start below it are skipped; two pixels of room for
  // glyphs that reach past their cells.
  if (!items_.empty()) PaintItems(canvas, area ? area->top - 2 : INT_MIN, area ? area->bottom + 2 : INT_MAX);
  if (caretVisible_ && caretHeight_ > 0 && (!readOnly_ || !dragScroll_))
    canvas.FillRect(Rect{caretX_, caretY_, caretX_ + 1, caretY_ + caretHeight_}, kCaretColor);
}

void CRichDraw::PaintItems(Canvas& canvas, int areaTop, int areaBottom) {
  ColorRef text = canvas.GetTextColor();
  ColorRef back = canvas.GetBackColor();
  bool transparent = canvas.IsBackTransparent();
  FontDesc font = FontFor(*items_[0]);
  canvas.UseFont(font);
  GlyphRun run(canvas);
  int prevSelected = 0;
  for (RichItem* p : items_) {
    const RichItem& it = *p;
    const int sy = it.y + vOffset_;
    const int x = it.x + hOffset_;
    if (sy + it.height < 0 || sy > view_.bottom) continue;
    if (sy + it.height + (it.selected ? lineSpacing_ : 0) <= areaTop || sy >= areaBottom) continue;
    if (it.IsLineBreak()) {
      if (it.selected) {
        run.Flush();
        canvas.FillRect(Rect{x, sy, x + 2, sy + it.height + lineSpacing_}, kSelectionColor);
      }
      prevSelected = it.selected;
      continue;
    }
    if (it.selected && !prevSelected) {
      run.Flush();
      canvas.SetTextColor(text = kWhite);
      canvas.SetBackTransparent(transparent = true);
    }
    if (!it.selected) {
      if (back != it.background || text != it.color || transparent != (it.transparent != 0)) run.Flush();
      if (back != it.background) canvas.SetBackColor(back = it.background);
      if (text != it.color) canvas.SetTextColor(text = it.color);
      if (transparent != (it.transparent != 0)) canvas.SetBackTransparent(transparent = it.transparent != 0);
    }
    prevSelected = it.selected;
    const std::u16string& face = it.face ? *it.face : kDefaultFaceName;
    int height = it.IsText() ? FontHeightFromSize(it.size, logPixelsY_) : font.height;
    if (font.underline != (it.underline != 0) || font.height != height || font.face != face ||
        (font.weight > 400) != (it.bold != 0) || font.strikeout != (it.strikeout != 0) ||
        font.italic != (it.italic != 0)) {
      run.Flush();
      font = FontFor(it);
      font.height = height;
      canvas.UseFont(font);
    }
    if (it.width <= 0) continue;
    if (it.selected) {
      run.Flush();
      canvas.FillRect(Rect{x, sy, x + it.width, sy + it.height + lineSpacing_}, kSelectionColor);
    }
    if (it.IsText()) {
      // Half of a surrogate pair is drawn on its own, as it always was.
      const bool surrogate = it.ch >= 0xD800 && it.ch <= 0xDFFF;
      if (surrogate || !run.Continues(x, sy)) run.Flush();
      if (surrogate) canvas.DrawChar(x, sy, it.ch);
      else run.Add(x, sy, it.ch, it.width);
    } else if (it.displayBitmap) {
      run.Flush();
      canvas.DrawBitmap(*it.displayBitmap, x, sy, it.width, it.height);
      if (it.selected) canvas.InvertRect(Rect{x, sy, x + it.width, sy + it.height});
    }
  }
  run.Flush();
}

}  // namespace richtext
