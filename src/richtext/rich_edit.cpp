// The editor of CRichDraw: caret, selection, keys, typed text, deletion and the clipboard
// (undo is in rich_undo.cpp). All of it is refused while the engine is read-only (except selecting and
// copying when it is not in drag-scroll mode).
#include <algorithm>

#include "richtext/rich_draw.h"
#include "richtext/rich_draw_parts.h"

namespace richtext {

namespace {

constexpr int kSelectScrollMs = 100;
constexpr int kAutoScrollStepDivisor = 5;
constexpr double kCaretAfterShare = 0.6;  // a click this far into a character lands after it

using parts::ClampInt;

bool IsCr(const RichItem* it) { return it->IsText() && it->ch == u'\r'; }
bool IsLf(const RichItem* it) { return it->IsText() && it->ch == u'\n'; }
bool IsHighSurrogate(const RichItem* it) { return it->IsText() && it->ch >= 0xD800 && it->ch <= 0xDBFF; }
bool IsLowSurrogate(const RichItem* it) { return it->IsText() && it->ch >= 0xDC00 && it->ch <= 0xDFFF; }

}  // namespace

// --- Caret ---

bool CRichDraw::SplitsCharacter(int index) const {
  if (index <= 0 || index >= GetItemCount()) return false;
  const RichItem* before = items_[index - 1];
  const RichItem* after = items_[index];
  return (IsCr(before) && IsLf(after)) || (IsHighSurrogate(before) && IsLowSurrogate(after));
}

void CRichDraw::CaretBox(int index, int* x, int* y, int* h) const {
  const int n = GetItemCount();
  if (n == 0) {
    *x = view_.left;
    *y = view_.top;
    *h = defaultLineHeight_;
    return;
  }
  if (index >= n) {
    const RichItem& last = *items_[n - 1];
    if (IsLf(&last)) {
      *x = view_.left;
      *y = last.y + last.height + lineSpacing_;
      *h = defaultLineHeight_;
      return;
    }
    *x = last.x + last.width;
    if (last.IsText()) {
      *y = last.y;
      *h = last.height;
      return;
    }
    // After a final image: as tall as the text before it, standing on the image's bottom.
    int textHeight = items_[0]->height;
    for (int i = n - 2; i >= 0; --i) {
      if (items_[i]->IsText()) {
        textHeight = items_[i]->height;
        break;
      }
    }
    *h = textHeight;
    *y = last.y + last.height - textHeight;
    return;
  }
  const RichItem& it = *items_[index];
  const RichItem* prev = index > 0 ? items_[index - 1] : nullptr;
  if (prev && prev->IsText() && prev->width > 0) {
    *x = it.x;
    *h = prev->height;
    *y = it.IsText() ? it.y : it.y + it.height - prev->height;
    return;
  }
  *x = it.x;
  if (it.IsText()) {
    *y = it.y;
    *h = it.height;
    return;
  }
  for (int j = index + 1; j < n; ++j) {
    if (items_[j]->IsText()) {
      *y = items_[j]->y;
      *h = items_[j]->height;
      return;
    }
  }
  const RichItem& last = *items_[n - 1];
  *h = defaultLineHeight_;
  *y = last.y + last.height - defaultLineHeight_;
}

void CRichDraw::PlaceCaret(bool scrollIntoView) {
  caretIndex_ = ClampInt(caretIndex_, 0, GetItemCount());
  int x = 0, y = 0, h = 0;
  CaretBox(caretIndex_, &x, &y, &h);
  if (scrollIntoView && host_) {
    int target = vOffset_;
    if (y + vOffset_ < view_.top) target = view_.top - y;
    else if (y + vOffset_ >= view_.bottom - h) target = view_.bottom - h - y;
    target = ClampInt(target, MinScroll(), 0);
    if (target != vOffset_) {
      vOffset_ = target;
      if (host_->HasVScroll()) host_->SetVScrollPos(-vOffset_);
    }
  }
  caretX_ = x + hOffset_;
  caretY_ = y + vOffset_;
  caretHeight_ = h;
  caretVisible_ = host_ && enabled_ && !DragScrollMode() && host_->HasFocus() ? 1 : 0;
}

void CRichDraw::SetCaret(int index) {
  const int n = GetItemCount();
  index = ClampInt(index, 0, n);
  // Never inside a line break or a surrogate pair: to its side the caret came from.
  if (SplitsCharacter(index)) index = index < caretIndex_ ? index - 1 : index + 1;
  caretIndex_ = index;
  PlaceCaret(true);
  Repaint();
}

int CRichDraw::CaretIndexFromPoint(int x, int y) const {
  const int n = GetItemCount();
  if (n == 0 || lines_.empty()) return 0;
  const int cx = x - hOffset_, cy = y - vOffset_;
  size_t li = 0;
  if (cy >= lines_.front().top) {
    auto line = std::upper_bound(lines_.begin(), lines_.end(), cy,
                                 [](int value, const RichLine& l) { return value < l.bottom; });
    li = line == lines_.end() ? lines_.size() - 1 : static_cast<size_t>(line - lines_.begin());
  }
  const RichLine& line = lines_[li];
  // The empty line after a final line break: the very end.
  if (line.first > line.last || line.first >= n) return n;
  const int last = std::min(line.last, n - 1);
  int hit = -1;
  for (int i = line.first; i <= last; ++i) {
    if (cx >= items_[i]->x && cx <= items_[i]->x + items_[i]->width) {
      hit = i;
      break;
    }
  }
  const bool leftOfLine = cx <= items_[line.first]->x;
  if (hit < 0) hit = leftOfLine ? line.first : last;
  // A line break or a surrogate pair is one character in two items.
  if (SplitsCharacter(hit)) --hit;
  const int span = SplitsCharacter(hit + 1) ? 2 : 1;
  const RichItem& it = *items_[hit];
  const int width = span == 2 ? it.width + items_[hit + 1]->width : it.width;
  if (it.IsText() ? width > 0 && cx >= it.x + kCaretAfterShare * width : cx >= items_[line.first]->x) hit += span;
  return hit;
}

int CRichDraw::LineAtClientY(int clientY) const {
  const int cy = clientY - vOffset_;
  auto line = std::upper_bound(lines_.begin(), lines_.end(), cy,
                               [](int value, const RichLine& l) { return value < l.bottom; });
  if (line == lines_.end() || line->top > cy) return -1;
  return static_cast<int>(line - lines_.begin());
}

void CRichDraw::MoveCaretAndRepaint(int index) {
  SetCaret(index);
  Repaint();
}

// --- Selection ---

void CRichDraw::Select(int from, int to) {
  const int n = GetItemCount();
  from = ClampInt(from, 0, n);
  to = ClampInt(to, 0, n);
  if (to < from) std::swap(from, to);
  if (from == to) from = to = 0;  // nothing selected, wherever
  for (int i = selFrom_; i < selTo_ && i < n; ++i) items_[i]->selected = 0;
  for (int i = from; i < to; ++i) items_[i]->selected = 1;
  selFrom_ = from;
  selTo_ = to;
  Repaint();
}

void CRichDraw::ClearSelection() {
  if (HasSelection()) Select(0, 0);
  selFrom_ = selTo_ = 0;
  selectionAnchor_ = selectionEnd_ = -1;
}

void CRichDraw::SelectAll() {
  selectionAnchor_ = 0;
  selectionEnd_ = GetItemCount();
  Select(0, GetItemCount());
}

void CRichDraw::ShiftSelectTo(int caret) {
  selectionEnd_ = caret;
  const int anchor = std::max(selectionAnchor_, 0), end = std::max(caret, 0);
  Select(std::min(anchor, end), std::max(anchor, end));
}

std::u16string CRichDraw::GetSelectedText() const {
  std::u16string text;
  for (int i = selFrom_; i < selTo_ && i < GetItemCount(); ++i)
    if (items_[i]->IsText()) text += items_[i]->ch;
  return text;
}

// --- Typing ---

const RichItem* CRichDraw::TypedStyleSource() const {
  const int n = GetItemCount();
  const int caret = ClampInt(caretIndex_, 0, n);
  auto isChar = [](const RichItem* it) { return it->IsText() && !it->IsLineBreak(); };
  const RichItem* from = nullptr;
  // The nearest unlinked character before the caret, else after it; else the nearest
  // linked one. Its link is never taken over.
  for (int pass = 0; pass < 2 && !from; ++pass) {
    const bool linked = pass == 1;
    for (int i = caret - 1; i >= 0 && !from; --i)
      if (isChar(items_[i]) && (linked || !items_[i]->contentLink)) from = items_[i];
    for (int i = caret; i < n && !from; ++i)
      if (isChar(items_[i]) && (linked || !items_[i]->contentLink)) from = items_[i];
  }
  return from;
}

TextStyle CRichDraw::TypedTextStyle() const {
  const RichItem* from = TypedStyleSource();
  TextStyle style;
  style.size = defaultSize_;
  style.color = defaultColor_;
  if (!from) return style;
  if (from->face && from->face != defaultFace_) style.face = *from->face;
  style.size = from->size;
  style.color = from->contentColor;
  style.background = from->transparent ? 0 : (kHasBackground | (from->background & 0xFFFFFFu));
  style.bold = from->bold;
  style.strikeout = from->strikeout;
  style.italic = from->italic;
  style.underline = from->contentLink ? 0 : from->contentUnderline;
  return style;
}

void CRichDraw::InsertTyped(const std::u16string& text) {
  if (text.empty()) return;
  InsertText(text, caretIndex_, TypedTextStyle());
  SetCaret(caretIndex_);
}

void CRichDraw::OnChar(char16_t ch) {
  if (!host_ || !enabled_ || readOnly_) return;
  if (ch < 32 || ch == 127) return;
  DeleteSelection();
  InsertTyped(std::u16string(1, ch));
  host_->Invalidate();
}

// --- Keys ---

void CRichDraw::OnKeyDown(int key) {
  if (!host_ || !enabled_) return;
  if (host_->IsCtrlDown()) OnCtrlKey(key);
  else if (host_->IsShiftDown()) OnShiftKey(key);
  else OnPlainKey(key);
}

void CRichDraw::CaretLineBounds(int below, int* top, int* bottom) const {
  int li = LineAtClientY(caretY_ + below);
  if (li < 0) {
    *top = caretY_;
    *bottom = caretY_ + caretHeight_;
    return;
  }
  *top = lines_[li].top + vOffset_;
  *bottom = lines_[li].bottom + vOffset_;
}

void CRichDraw::OnCtrlKey(int key) {
  switch (key) {
    case vk::kEnd:
      ClearSelection();
      SetCaret(GetItemCount());
      break;
    case vk::kHome:
      ClearSelection();
      SetCaret(0);
      break;
    case 'A':
      SelectAll();
      break;
    case 'C':
      Copy();
      break;
    case 'V':
      if (!readOnly_) Paste();
      break;
    case 'X':
      Cut();
      break;
    case 'Y':
      if (!readOnly_) Redo();
      break;
    case 'Z':
      if (!readOnly_) Undo();
      break;
    default:
      break;
  }
}

void CRichDraw::OnShiftKey(int key) {
  // Only the arrows extend the selection: Shift's own key-down, and any other key
  // pressed with it, leave the selection as it is.
  if (key != vk::kLeft && key != vk::kRight && key != vk::kUp && key != vk::kDown) return;
  if (!HasSelection()) selectionAnchor_ = caretIndex_;
  int top = 0, bottom = 0;
  switch (key) {
    case vk::kLeft:
      SetCaret(caretIndex_ - 1);
      break;
    case vk::kRight:
      SetCaret(caretIndex_ + 1);
      break;
    case vk::kUp:
      CaretLineBounds(2, &top, &bottom);
      SetCaret(CaretIndexFromPoint(caretX_, top - 2));
      break;
    case vk::kDown:
      CaretLineBounds(2, &top, &bottom);
      SetCaret(CaretIndexFromPoint(caretX_, bottom + 2));
      break;
    default:
      break;
  }
  ShiftSelectTo(caretIndex_);
}

void CRichDraw::OnPlainKey(int key) {
  int top = 0, bottom = 0;
  switch (key) {
    case vk::kBack:
      if (readOnly_) return;
      if (HasSelection()) DeleteSelection();
      else DeleteAt(caretIndex_ - 1);
      Repaint();
      break;
    case vk::kReturn:
      if (readOnly_) return;
      DeleteSelection();
      InsertTyped(u"\r\n");
      break;
    case vk::kPageUp:
      ScrollAndSync(vOffset_ + view_.Height());
      break;
    case vk::kPageDown:
      ScrollAndSync(vOffset_ - view_.Height());
      break;
    case vk::kEnd:
    case vk::kHome:
      ClearSelection();
      CaretLineBounds(1, &top, &bottom);
      SetCaret(CaretIndexFromPoint(key == vk::kEnd ? view_.right : view_.left, top + 1));
      break;
    case vk::kLeft:
    case vk::kRight: {
      int target = key == vk::kLeft ? caretIndex_ - 1 : caretIndex_ + 1;
      if (HasSelection()) target = key == vk::kLeft ? selFrom_ : selTo_;
      ClearSelection();
      MoveCaretAndRepaint(target);
      break;
    }
    case vk::kUp:
    case vk::kDown:
      if (HasSelection()) SetCaret(key == vk::kUp ? selFrom_ : selTo_);
      CaretLineBounds(2, &top, &bottom);
      ClearSelection();
      MoveCaretAndRepaint(CaretIndexFromPoint(caretX_, key == vk::kUp ? top - 2 : bottom + 2));
      break;
    case vk::kDelete:
      if (readOnly_) return;
      if (HasSelection()) DeleteSelection();
      else DeleteAt(caretIndex_);
      break;
    default:
      break;
  }
}

// --- Mouse selection ---

void CRichDraw::StopSelectTimer() {
  selectTimer_ = false;
  if (host_) host_->KillTimer(kTimerSelectScroll);
}

void CRichDraw::SelectMouseDown(unsigned keyFlags, int x, int y) {
  buttonDown_ = true;
  lastX_ = x;
  lastY_ = y;
  if (x >= view_.left && x <= view_.right && y >= view_.top && y <= view_.bottom)
    SetCaret(CaretIndexFromPoint(x, y));
  if (keyFlags & kMouseShift) {
    ShiftSelectTo(caretIndex_);
    return;
  }
  ClearSelection();
  selectionAnchor_ = caretIndex_;
  selectTimer_ = true;
  host_->SetTimer(kTimerSelectScroll, kSelectScrollMs);
}

void CRichDraw::SelectMouseMove(unsigned keyFlags, int x, int y) {
  lastX_ = x;
  lastY_ = y;
  if (keyFlags == kMouseLeftButton && selectTimer_) {
    SetCaret(CaretIndexFromPoint(x, y));
    ShiftSelectTo(caretIndex_);
  } else if (selectTimer_) {
    StopSelectTimer();
  }
}

void CRichDraw::SelectScrollTick() {
  if (!selectTimer_ || DragScrollMode()) {
    StopSelectTimer();
    return;
  }
  if (!host_->IsLeftButtonDown()) {
    StopSelectTimer();
    return;
  }
  int x = lastX_, y = lastY_;
  host_->GetPointer(&x, &y);
  int lines = 0;
  bool below = false;
  if (y < view_.top) {
    lines = (view_.top - y) / kAutoScrollStepDivisor + 1;
  } else if (y > view_.bottom) {
    lines = -((y - view_.bottom) / kAutoScrollStepDivisor + 1);
    below = true;
  } else {
    return;
  }
  ScrollAndSync(vOffset_ + lines * defaultLineHeight_);
  caretIndex_ = CaretIndexFromPoint(x, y);
  PlaceCaret(false);
  int end = std::min(caretIndex_ + (below ? 1 : 0), GetItemCount());
  if (below && SplitsCharacter(end)) ++end;
  const int anchor = std::max(selectionAnchor_, 0);
  selectionEnd_ = end;
  Select(std::min(anchor, end), std::max(anchor, end));
}

void CRichDraw::OnRButtonUp(unsigned /*keyFlags*/, int /*x*/, int /*y*/) {
  if (!host_ || !enabled_) return;
  StopSelectTimer();
}

// --- Clipboard ---

int CRichDraw::IsClipboardEmpty() {
  return clipboard_ && (clipboard_->HasText() || clipboard_->HasRichText()) ? 0 : 1;
}

void CRichDraw::Copy() {
  // Nothing selected: the clipboard keeps what it holds.
  if (!HasSelection()) return;
  lastCopied_ = GetSelectedText();
  if (clipboard_) clipboard_->Put(lastCopied_, GetSelectedHtml());
}

void CRichDraw::Cut() {
  Copy();
  if (!readOnly_) DeleteSelection();
}

void CRichDraw::PasteRichText() {
  std::u16string html;
  if (!clipboard_->GetRichText(&html)) return;
  DeleteSelection();
  InsertHtml(html, caretIndex_);
  SetCaret(caretIndex_);
}

void CRichDraw::Paste() {
  if (readOnly_ || !clipboard_) return;
  std::u16string text;
  if (clipboard_->HasText() && clipboard_->GetText(&text)) {
    // Our own copy comes back with its formatting.
    if (text == lastCopied_ && clipboard_->HasRichText()) {
      PasteRichText();
      return;
    }
    DeleteSelection();
    InsertTyped(text);
    return;
  }
  if (clipboard_->HasRichText()) PasteRichText();
}

}  // namespace richtext
