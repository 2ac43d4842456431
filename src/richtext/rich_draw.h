// CRichDraw: the rich-text engine behind widget content, tips and adverts. Not a window:
// its owner attaches it to a window (through a RichHost), feeds it HTML-subset text,
// asks it to paint, and forwards mouse and timer events to it.
//
// The model is a flat sequence of items, one per UTF-16 unit or image, each carrying its
// complete style. Layout gives every item a position and groups items into lines; paint
// draws the visible items; hit-testing maps points back to items and links.
//
// Coordinates: items live in content coordinates; they are drawn at content y plus the
// vertical offset (0 at the top, negative when scrolled down).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "richtext/html_parser.h"
#include "richtext/rich_platform.h"

namespace richtext {

// Shared, immutable text: items of one inserted run share one face and one link string,
// so "same link run" is decided by identity.
using SharedText = std::shared_ptr<const std::u16string>;

// Timers the engine sets on its window; the window forwards them to OnTimer.
constexpr int kTimerSelectScroll = 1000;
constexpr int kTimerGlide = 1001;
constexpr int kTimerCaretBlink = 1002;

constexpr int kItemLimit = 20000;
// Key-state flags of mouse messages.
constexpr unsigned kMouseLeftButton = 0x0001;
constexpr unsigned kMouseShift = 0x0004;
// Undo keeps at most this many records; the oldest go first.
constexpr int kMaxUndoRecords = 1000;

// Virtual keys the editor handles.
namespace vk {
constexpr int kBack = 0x08, kReturn = 0x0D, kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23, kHome = 0x24,
              kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kDelete = 0x2E;
}

struct RichItem {
  int top = 0;     // top of the line box holding the item
  int x = 0;
  int y = 0;       // drawn top: line top + line height - item height
  int width = 0;   // advance; 0 for CR and LF
  int height = 0;
  char16_t ch = 0;
  std::unique_ptr<Bitmap> displayBitmap;  // the image scaled to width x height
  std::unique_ptr<Bitmap> sourceBitmap;   // the image as loaded
  std::u16string source;
  SharedText link;
  int kind = 0;  // 1 = character, 0 = image
  int transparent = 1;
  ColorRef background = 0xFF0000;
  ColorRef color = 0;
  int selected = 0;
  int bold = 0;
  int strikeout = 0;
  int italic = 0;
  int underline = 0;
  int size = kDefaultTextSize;
  SharedText face;
  uint32_t imageToken = 0;  // identifies an image item to the background loader

  // What the content says, as opposed to what is shown: link detection and hover
  // highlighting change `link`, `underline` and `color` for display only, and these are
  // what is saved, copied and restored.
  SharedText contentLink;
  ColorRef contentColor = 0;
  int contentUnderline = 0;
  bool detected = false;  // `link` and `underline` come from link detection
  int holders = 0;        // the item list and undo records holding the item

  bool IsText() const { return kind == 1; }
  bool IsLineBreak() const { return kind == 1 && (ch == u'\r' || ch == u'\n'); }
};

struct RichLine {
  int top = 0;
  int bottom = 0;  // top + line height + line spacing
  int first = 0;   // first item index
  int last = 0;    // last item index, inclusive; below `first` for the empty line after a final break
};

class CRichDraw {
 public:
  // Font flags of SetDefaultFont: which parts of the new default font every item takes.
  static constexpr int kApplyBold = 0x01, kApplyUnderline = 0x02, kApplyStrikeout = 0x04, kApplyItalic = 0x08,
                       kApplySize = 0x10, kApplyFace = 0x20;
  static constexpr ColorRef kSelectionColor = 0xC56A31;

  explicit CRichDraw(std::unique_ptr<TextMeasurer> measurer);
  virtual ~CRichDraw();
  CRichDraw(const CRichDraw&) = delete;
  CRichDraw& operator=(const CRichDraw&) = delete;

  // Clipboard operations of the editor: 0 when the clipboard holds something to paste.
  virtual int IsClipboardEmpty();
  virtual void Paste();
  virtual void Copy();
  // Marks "http://" and "www." addresses in the text as underlined links; run by every layout.
  virtual void DetectLinks();

  // --- Set-up ---
  // Takes the window's client area as the view (narrowed by 2 pixels on each side).
  void Attach(RichHost* host);
  void Detach();
  bool IsAttached() const { return host_ != nullptr; }
  void SetRect(int left, int top, int right, int bottom);
  const Rect& GetRect() const { return view_; }
  void SetDefaultFont(const FontDesc& font, int flags);
  const FontDesc& GetDefaultFont() const { return defaultFont_; }
  void SetLineSpacing(int pixels);
  void SetDragScroll(int flag) { dragScroll_ = flag ? 1 : 0; }
  void SetEnabled(int flag);
  void SetDefaultColor(ColorRef c) { defaultColor_ = c; }
  void SetCentered(int flag);
  void SetReadOnly(int flag);
  // The clipboard Copy and Paste use; none: they do nothing.
  void SetClipboard(Clipboard* clipboard) { clipboard_ = clipboard; }

  // --- Content ---
  void SetHtml(const std::u16string& html);
  void InsertHtml(const std::u16string& html, int pos);
  void InsertText(const std::u16string& text, int pos, const TextStyle& style);
  void InsertImage(const std::u16string& source, int width, int height, const std::u16string* link, int pos);
  // Inserts an image already in memory, fitted into the maximum image box; false when
  // it is not inserted (no bitmap, or the content is full).
  bool InsertBitmap(std::unique_ptr<Bitmap> bitmap, const std::u16string& thumbnailPath,
                    const std::u16string& fullPath, int pos);
  // Delivers a background-loaded image; a bitmap whose item is gone is dropped. Returns 1.
  int OnImageLoaded(uint32_t token, std::unique_ptr<Bitmap> bitmap);
  void SetAllTextColor(ColorRef c);
  void Clear();

  int GetItemCount() const { return static_cast<int>(items_.size()); }
  const RichItem& GetItem(int i) const { return *items_[i]; }
  const std::vector<RichLine>& GetLines() const { return lines_; }
  int GetContentHeight() const { return contentHeight_; }
  int GetScrollPos() const { return vOffset_; }
  int GetDefaultLineHeight() const { return defaultLineHeight_; }
  int GetLineSpacing() const { return lineSpacing_; }
  int GetMaxImageBox() const { return maxImageBox_; }
  int IsReadOnly() const { return readOnly_; }
  int IsEnabled() const { return enabled_; }
  int IsDragScroll() const { return dragScroll_; }
  int IsCentered() const { return centered_; }
  ColorRef GetDefaultColor() const { return defaultColor_; }
  int GetDefaultSize() const { return defaultSize_; }

  // The content, or the selected items, as HTML-subset text that parses back to the same
  // characters, styles, links and images. Empty for no content / no selection.
  std::u16string GetHtml() const;
  std::u16string GetSelectedHtml() const;

  // --- Editing ---
  // Moves the caret before item `index` (clamped; never between CR and LF).
  void SetCaret(int index);
  int GetCaretIndex() const { return caretIndex_; }
  // The caret in client coordinates; visible only while the window has the focus.
  Rect GetCaretRect() const { return Rect{caretX_, caretY_, caretX_ + 1, caretY_ + caretHeight_}; }
  int IsCaretVisible() const { return caretVisible_; }
  // The item index a click at a client point puts the caret before.
  int CaretIndexFromPoint(int x, int y) const;
  void SelectAll();
  // Selects items [from, to); an empty range clears the selection.
  void Select(int from, int to);
  void ClearSelection();
  bool HasSelection() const { return selTo_ > selFrom_; }
  int GetSelectionStart() const { return selFrom_; }
  int GetSelectionEnd() const { return selTo_; }
  std::u16string GetSelectedText() const;
  void DeleteSelection();
  void DeleteAt(int index);
  void Cut();
  void Undo();
  void Redo();
  int GetUndoCount() const { return static_cast<int>(undo_.size()); }
  bool CanUndo() const { return undoIndex_ >= 0; }
  // Items allocated: in the content, held by undo records, or not yet freed (for tests).
  int GetAllocatedItemCount() const { return static_cast<int>(allItems_.size()); }

  // --- Painting and hit-testing ---
  // Paints the visible items; given an area (client coordinates), only what lies in it.
  void Paint(Canvas& canvas, const Rect* area = nullptr);
  // Where painting can leave pixels now (client coordinates): the paint clip, cut to the
  // lines that hold content and the caret. Empty when nothing would be drawn.
  Rect GetPaintBounds() const;
  // The item under a client point, or -1.
  int HitTest(int x, int y) const;
  // The link under a client point, or nullptr; kind 1 when it names an image file, else 2.
  const std::u16string* GetLinkAt(int x, int y, int* kind) const;
  void HighlightLink(int index, ColorRef color);
  void ClearLinkHighlight(ColorRef color);

  // --- Scrolling ---
  void ScrollTo(int horizontal, int vertical);
  void ScrollBy(int delta);

  // --- Events forwarded by the window ---
  void OnLButtonDown(unsigned keyFlags, int x, int y);
  void OnMouseMove(unsigned keyFlags, int x, int y);
  void OnLButtonUp(unsigned keyFlags, int x, int y);
  // `wheelParam` is the message's first parameter unchanged (delta in the high word).
  void OnMouseWheel(int32_t wheelParam);
  void OnTimer(int id);
  void OnSetFocus();
  void OnKillFocus();
  void OnKeyDown(int key);
  void OnChar(char16_t ch);
  void OnRButtonUp(unsigned keyFlags, int x, int y);

  // Size of a w x h image fitted into a box of `box` pixels (kept when it already fits).
  static Extent FitImage(int w, int h, int box);
  // LOGFONT height of a size in tenths of a point; half points fall to the point below.
  static int FontHeightFromSize(int size, int logPixelsY);
  static int SizeFromFontHeight(int height, int logPixelsY);

 protected:
  void Layout();
  void Repaint();
  // Asks for a repaint of the lines the given items' cells lie in, within the view (none
  // when they are out of sight). `area` is their union in content coordinates.
  void RepaintItems(const Rect& area);
  static void AddCell(const RichItem& it, Rect* area);
  // Paints the items that lie between the client rows areaTop and areaBottom.
  void PaintItems(Canvas& canvas, int areaTop, int areaBottom);
  FontDesc FontFor(const RichItem& item) const;
  RichItem* NewItem();
  void InsertItems(int pos, std::vector<RichItem*>& block);
  void MeasureWithCache(RichItem& item);
  void ReleaseFontCache() { cacheValid_ = false; }
  void ScrollAndSync(int vertical);
  int MinScroll() const;
  void SetOffset(int vertical);
  void ClampGlideTarget();
  void StopGlide();

  struct UndoRecord {
    int kind = 0;  // kUndoRemoved or kUndoInserted
    int pos = 0;
    int caretIndex = 0;
    int caretX = 0, caretY = 0;
    int hOffset = 0, vOffset = 0;
    std::vector<RichItem*> items;
  };
  static constexpr int kUndoRemoved = 1, kUndoInserted = 2;

  bool Editable() const { return host_ && enabled_ && !readOnly_; }
  bool DragScrollMode() const { return readOnly_ && dragScroll_; }
  // Recomputes the caret's place from its index; scrolls it into view when asked.
  void PlaceCaret(bool scrollIntoView);
  void CaretBox(int index, int* x, int* y, int* h) const;
  // Whether `index` falls inside one character held by two items: between the CR and
  // the LF of a line break, or between the halves of a surrogate pair.
  bool SplitsCharacter(int index) const;
  void MoveCaretAndRepaint(int index);
  // Removes items [pos, pos + count) (recording the removal) and returns nothing; the
  // items stay allocated while an undo record holds them.
  void RemoveItems(int pos, int count);
  void Record(int kind, int pos, const std::vector<RichItem*>& items);
  void DropRecord(UndoRecord& r);
  // Undo and redo: put a record's items back / take them out again.
  bool PutBack(UndoRecord& r);
  bool TakeOut(UndoRecord& r);
  void RestoreAfterUndo(const UndoRecord& last, int caret);
  void Hold(RichItem* it) { ++it->holders; }
  void Release(RichItem* it);
  void CollectDeadItems();
  // The character whose style typed text takes, or nullptr when there is no character.
  const RichItem* TypedStyleSource() const;
  TextStyle TypedTextStyle() const;
  void InsertTyped(const std::u16string& text);
  void ShiftSelectTo(int caret);
  int LineAtClientY(int clientY) const;
  // The top and bottom of the caret's line in client coordinates, the line found `below`
  // pixels under the caret's top; the caret's own extent when no line is there.
  void CaretLineBounds(int below, int* top, int* bottom) const;
  // The keys by the modifier held: Ctrl's shortcuts, Shift's selecting arrows, and the rest.
  void OnCtrlKey(int key);
  void OnShiftKey(int key);
  void OnPlainKey(int key);
  std::u16string SerializeRange(bool selectedOnly) const;
  void SelectMouseDown(unsigned keyFlags, int x, int y);
  void SelectMouseMove(unsigned keyFlags, int x, int y);
  void SelectScrollTick();
  void StopSelectTimer();
  void PasteRichText();

  std::unique_ptr<TextMeasurer> measurer_;
  RichHost* host_ = nullptr;

  Rect view_;
  FontDesc defaultFont_;
  int logPixelsY_ = 96;
  int hOffset_ = 0;
  int vOffset_ = 0;
  int lineSpacing_ = 2;

  // Editing state: caret, selection (always one range, items [selFrom_, selTo_) are
  // flagged), mouse selection and undo.
  int caretIndex_ = 0;
  int caretX_ = 0, caretY_ = 0, caretHeight_ = 0;
  int caretVisible_ = 0;
  int selectionAnchor_ = -1, selectionEnd_ = -1;
  int selFrom_ = 0, selTo_ = 0;
  bool buttonDown_ = false;
  bool selectTimer_ = false;
  int lastX_ = 0, lastY_ = 0;
  std::u16string lastCopied_;
  Clipboard* clipboard_ = nullptr;
  std::vector<UndoRecord> undo_;
  int undoRecording_ = 1;
  int undoIndex_ = -1;
  int deadItems_ = 0;  // allocated items nothing holds any more

  int contentHeight_ = 0;
  int defaultLineHeight_ = 0;
  int maxImageBox_ = 80;
  int readOnly_ = 1;
  int dragScroll_ = 0;
  int enabled_ = 1;
  int centered_ = 0;
  ColorRef defaultColor_ = 0;
  int defaultSize_ = kDefaultTextSize;
  SharedText defaultFace_;

  // One-entry cache of the style last selected into the measurer.
  bool cacheValid_ = false;
  FontDesc cachedFont_;

  std::vector<RichItem*> items_;
  std::vector<std::unique_ptr<RichItem>> allItems_;
  bool anyDetected_ = false;
  std::vector<RichLine> lines_;
  int layoutHold_ = 0;  // > 0 while a compound insertion defers layout to its end

  // Drag-scroll state.
  bool dragging_ = false;
  bool glideRunning_ = false;
  int lastPointerY_ = 0;
  int glideTarget_ = 0;
};

}  // namespace richtext
