// Laying out CRichDraw's items in lines, and its links: finding them in the text, hitting
// them with the pointer and highlighting them.
#include <algorithm>

#include "richtext/rich_draw.h"

namespace richtext {

namespace {

const char16_t* const kImageExtensions[] = {u".jpg", u".jpeg", u".bmp", u".png", u".gif", u".raw", u".pcx",
                                            u".tiff", u".tga", u".exif", u".fpx", u".psd", u".cdr", u".eps"};

}  // namespace

// --- Layout ---

void CRichDraw::Layout() {
  lines_.clear();
  const int n = GetItemCount();
  const int left = view_.left;
  const int viewWidth = view_.Width();
  int lineTop = view_.top;
  int lineHeight = 0;
  int first = 0;
  int lineWidth = 0;

  auto closeLine = [&](int last, int nextFirst) {
    if (centered_) {
      int x = left + (viewWidth - lineWidth) / 2;
      for (int j = first; j <= last && j < n; ++j) {
        items_[j]->x = x;
        x += items_[j]->width;
      }
    }
    lines_.push_back(RichLine{lineTop, lineTop + lineHeight + lineSpacing_, first, last});
    lineTop += lineHeight + lineSpacing_;
    first = nextFirst;
    lineWidth = 0;
  };
  auto place = [&](RichItem& it) {
    it.top = lineTop;
    it.x = left + lineWidth;
    it.y = lineTop + lineHeight - it.height;
    lineWidth += it.width;
  };

  for (int i = 0; i < n; ++i) {
    RichItem& it = *items_[i];
    if (it.IsLineBreak()) {
      it.width = 0;
      bool endsLine = it.ch == u'\n' || i + 1 == n || !(items_[i + 1]->IsText() && items_[i + 1]->ch == u'\n');
      if (endsLine) {
        if (lineHeight == 0) lineHeight = defaultLineHeight_;
        place(it);
        closeLine(i, i + 1);
        lineHeight = defaultLineHeight_;
        continue;
      }
    }
    if (lineWidth + it.width >= viewWidth) {
      if (lineHeight == 0) lineHeight = defaultLineHeight_;
      closeLine(i > first ? i - 1 : i, i);
      lineHeight = 0;
    }
    if (it.height > lineHeight) {
      lineHeight = it.height;
      for (int j = first; j < i; ++j) items_[j]->y = lineTop + lineHeight - items_[j]->height;
    }
    place(it);
  }
  if (n > 0) closeLine(n - 1, n);
  contentHeight_ = lines_.empty() ? 0 : lines_.back().bottom - view_.top;
  // A read-only engine has no caret to keep in view: its scroll position is its owner's.
  PlaceCaret(!readOnly_);
  DetectLinks();
}

// --- Links ---

void CRichDraw::DetectLinks() {
  const int n = GetItemCount();
  std::u16string text(static_cast<size_t>(n), u' ');
  for (int i = 0; i < n; ++i) {
    RichItem& it = *items_[i];
    if (it.detected) {
      // The previous detection's marks go (what the content says stays in its own fields).
      it.link.reset();
      it.underline = 0;
      it.detected = false;
    }
    char16_t c = it.IsText() ? it.ch : u' ';
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    text[i] = c;
  }
  static const std::u16string kHttp = u"http://", kWww = u"www.";
  auto startsAt = [&text](size_t i, const std::u16string& what) { return text.compare(i, what.size(), what) == 0; };
  size_t from = 0;
  for (;;) {
    // One pass for both prefixes: searching each to the end again for every address
    // would make detection quadratic in long texts.
    size_t start = from;
    while (start < text.size() && !((text[start] == u'h' && startsAt(start, kHttp)) ||
                                    (text[start] == u'w' && startsAt(start, kWww))))
      ++start;
    if (start >= text.size()) break;
    size_t end = start;
    while (end < text.size()) {
      char16_t c = text[end];
      if (c == u' ' || c == u'\r' || c == u'\n' || c >= 128) break;
      ++end;
    }
    SharedText link = std::make_shared<const std::u16string>(text.substr(start, end - start));
    for (size_t i = start; i < end; ++i) {
      RichItem* it = items_[i];
      it->link = link;
      it->underline = 1;
      it->detected = true;
    }
    from = end;
  }
}

int CRichDraw::HitTest(int x, int y) const {
  if (x < view_.left || x > view_.right || y < view_.top || y > view_.bottom) return -1;
  const int cx = x - hOffset_, cy = y - vOffset_;
  // Every item lies inside its line's band and bands follow each other, so only the lines
  // whose band holds the point can hold the item.
  auto line = std::upper_bound(lines_.begin(), lines_.end(), cy,
                               [](int value, const RichLine& l) { return value < l.bottom; });
  const int n = GetItemCount();
  for (; line != lines_.end() && line->top <= cy; ++line) {
    for (int i = std::max(line->first, 0); i <= line->last && i < n; ++i) {
      const RichItem& it = *items_[i];
      if (cx >= it.x && cx < it.x + it.width && cy >= it.y && cy < it.y + it.height) return i;
    }
  }
  return -1;
}

const std::u16string* CRichDraw::GetLinkAt(int x, int y, int* kind) const {
  int i = HitTest(x, y);
  if (i < 0 || !items_[i]->link) return nullptr;
  const std::u16string& link = *items_[i]->link;
  if (kind) {
    *kind = 2;
    size_t dot = link.rfind(u'.');
    if (dot != std::u16string::npos) {
      std::u16string ext = link.substr(dot);
      for (const char16_t* e : kImageExtensions)
        if (ext == e) *kind = 1;
    }
  }
  return &link;
}

void CRichDraw::HighlightLink(int index, ColorRef color) {
  if (index < 0 || index >= GetItemCount() || !items_[index]->link) return;
  // Owners call this on every mouse move over a link: repaint only what changed.
  Rect changed;
  auto light = [&](RichItem& it) {
    if (!it.underline || it.color != color) AddCell(it, &changed);
    it.underline = 1;
    it.color = color;
  };
  for (int i = index; i < GetItemCount() && items_[i]->link; ++i) light(*items_[i]);
  for (int i = index - 1; i >= 0 && items_[i]->link; --i) light(*items_[i]);
  RepaintItems(changed);
}

void CRichDraw::ClearLinkHighlight(ColorRef color) {
  Rect changed;
  for (RichItem* it : items_) {
    if (!it->link || !it->underline) continue;
    AddCell(*it, &changed);
    it->underline = 0;
    it->color = color;
  }
  RepaintItems(changed);
}

}  // namespace richtext
