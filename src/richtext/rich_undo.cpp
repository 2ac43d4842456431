// CRichDraw's undo and redo: the items it owns and frees, the records of insertions and
// deletions, and putting them back or taking them out again.
#include <algorithm>

#include "richtext/rich_draw.h"
#include "richtext/rich_draw_parts.h"

namespace richtext {

namespace {

using parts::ClampInt;

// Allocated items nothing holds are freed in batches of at least this many.
constexpr int kDeadItemBatch = 1024;

// Records that hold none of these are typed words: undo and redo join them.
bool BreaksWord(const std::vector<RichItem*>& items) {
  for (const RichItem* it : items)
    if (!it->IsText() || it->ch == u' ' || it->ch == u'\r' || it->ch == u'\n') return true;
  return false;
}

int End(const std::vector<RichItem*>& items, int pos) { return pos + static_cast<int>(items.size()); }

}  // namespace

// --- Item ownership and undo records ---

void CRichDraw::Release(RichItem* it) {
  if (--it->holders == 0) ++deadItems_;
}

void CRichDraw::CollectDeadItems() {
  if (deadItems_ < kDeadItemBatch || deadItems_ * 2 < static_cast<int>(allItems_.size())) return;
  allItems_.erase(std::remove_if(allItems_.begin(), allItems_.end(),
                                 [](const std::unique_ptr<RichItem>& it) { return it->holders == 0; }),
                  allItems_.end());
  deadItems_ = 0;
}

void CRichDraw::DropRecord(UndoRecord& r) {
  for (RichItem* it : r.items) Release(it);
  r.items.clear();
}

void CRichDraw::Record(int kind, int pos, const std::vector<RichItem*>& items) {
  if (!undoRecording_) return;
  for (size_t i = static_cast<size_t>(undoIndex_ + 1); i < undo_.size(); ++i) DropRecord(undo_[i]);
  undo_.resize(static_cast<size_t>(undoIndex_ + 1));
  UndoRecord r;
  r.kind = kind;
  r.pos = pos;
  r.caretIndex = caretIndex_;
  r.caretX = caretX_;
  r.caretY = caretY_;
  r.hOffset = hOffset_;
  r.vOffset = vOffset_;
  r.items = items;
  for (RichItem* it : r.items) Hold(it);
  undo_.push_back(std::move(r));
  if (static_cast<int>(undo_.size()) > kMaxUndoRecords) {
    DropRecord(undo_.front());
    undo_.erase(undo_.begin());
  }
  undoIndex_ = static_cast<int>(undo_.size()) - 1;
  CollectDeadItems();
}

void CRichDraw::RemoveItems(int pos, int count) {
  std::vector<RichItem*> removed(items_.begin() + pos, items_.begin() + pos + count);
  for (RichItem* it : removed) it->selected = 0;
  Record(kUndoRemoved, pos, removed);
  items_.erase(items_.begin() + pos, items_.begin() + pos + count);
  for (RichItem* it : removed) Release(it);
  if (caretIndex_ > pos) caretIndex_ = std::max(pos, caretIndex_ - count);
  CollectDeadItems();
}

// --- Deleting ---

void CRichDraw::DeleteSelection() {
  if (!HasSelection()) return;
  const int from = selFrom_, to = std::min(selTo_, GetItemCount());
  ClearSelection();
  RemoveItems(from, to - from);
  Layout();
  SetCaret(from);
}

void CRichDraw::DeleteAt(int index) {
  const int n = GetItemCount();
  if (index < 0 || index >= n) return;
  int pos = index, count = 1;
  // A line break or a surrogate pair goes as a whole.
  if (SplitsCharacter(index)) {
    pos = index - 1;
    count = 2;
  } else if (SplitsCharacter(index + 1)) {
    count = 2;
  }
  if (HasSelection()) ClearSelection();
  RemoveItems(pos, count);
  Layout();
  SetCaret(pos);
}

// --- Undo ---

bool CRichDraw::PutBack(UndoRecord& r) {
  const int count = static_cast<int>(r.items.size());
  if (GetItemCount() + count > kItemLimit || r.pos < 0 || r.pos > GetItemCount()) return false;
  for (RichItem* it : r.items) Hold(it);
  items_.insert(items_.begin() + r.pos, r.items.begin(), r.items.end());
  // An image whose load was withdrawn while it was out of the content loads now.
  for (RichItem* it : r.items)
    if (!it->IsText() && !it->sourceBitmap && host_) host_->QueueImageLoad(it->source, it->imageToken);
  return true;
}

bool CRichDraw::TakeOut(UndoRecord& r) {
  const int count = static_cast<int>(r.items.size());
  if (r.pos < 0 || r.pos + count > GetItemCount()) return false;
  for (int i = 0; i < count; ++i)
    if (items_[r.pos + i] != r.items[i]) return false;  // the content changed behind the record
  items_.erase(items_.begin() + r.pos, items_.begin() + r.pos + count);
  for (RichItem* it : r.items) Release(it);
  return true;
}

void CRichDraw::RestoreAfterUndo(const UndoRecord& last, int caret) {
  hOffset_ = last.hOffset;
  Layout();
  SetOffset(ClampInt(last.vOffset, MinScroll(), 0));
  SetCaret(caret);
  Repaint();
}

void CRichDraw::Undo() {
  if (undoIndex_ < 0 || undoIndex_ >= static_cast<int>(undo_.size())) return;
  ClearSelection();
  int i = undoIndex_;
  UndoRecord* last = &undo_[i];
  if (last->kind == kUndoRemoved) {
    if (!PutBack(*last)) return;
    --i;
  } else {
    if (!TakeOut(*last)) return;
    --i;
    // Typed words go back a word at a time.
    while (i >= 0) {
      UndoRecord& earlier = undo_[i];
      if (earlier.kind != kUndoInserted || End(earlier.items, earlier.pos) != last->pos || BreaksWord(earlier.items))
        break;
      if (!TakeOut(earlier)) break;
      last = &earlier;
      --i;
    }
  }
  undoIndex_ = i;
  caretIndex_ = last->caretIndex;
  RestoreAfterUndo(*last, last->caretIndex);
}

void CRichDraw::Redo() {
  if (undoIndex_ + 1 >= static_cast<int>(undo_.size())) return;
  ClearSelection();
  int i = undoIndex_ + 1;
  UndoRecord* last = &undo_[i];
  int caret = 0;
  if (last->kind == kUndoRemoved) {
    if (!TakeOut(*last)) return;
    caret = last->pos;
  } else {
    if (!PutBack(*last)) return;
    if (!BreaksWord(last->items)) {
      while (i + 1 < static_cast<int>(undo_.size())) {
        UndoRecord& later = undo_[i + 1];
        if (later.kind != kUndoInserted || later.pos != End(last->items, last->pos) || BreaksWord(later.items))
          break;
        if (!PutBack(later)) break;
        last = &later;
        ++i;
      }
    }
    caret = last->caretIndex + static_cast<int>(last->items.size());
  }
  undoIndex_ = i;
  caretIndex_ = caret;
  RestoreAfterUndo(*last, caret);
}

}  // namespace richtext
