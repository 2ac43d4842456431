// Drives the editor with random keys, characters, mouse actions and clipboard use over
// random content; undoing everything afterwards must give back the original text. The
// layout, caret and selection stay consistent throughout.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "richtext/fixed_measurer.h"
#include "richtext/rich_draw.h"

namespace {

using namespace richtext;

struct MemoryClipboard : Clipboard {
  std::u16string text, rich;
  bool has = false;
  bool HasText() override { return has; }
  bool HasRichText() override { return has && !rich.empty(); }
  bool HasBitmap() override { return false; }
  bool HasFiles() override { return false; }
  bool GetText(std::u16string* out) override {
    *out = text;
    return has;
  }
  bool GetRichText(std::u16string* out) override {
    *out = rich;
    return HasRichText();
  }
  std::unique_ptr<Bitmap> GetBitmap() override { return nullptr; }
  std::vector<std::u16string> GetFiles() override { return {}; }
  bool Put(const std::u16string& plain, const std::u16string& html) override {
    text = plain;
    rich = html;
    has = true;
    return true;
  }
};

std::u16string Chars(const CRichDraw& e) {
  std::u16string s;
  for (int i = 0; i < e.GetItemCount(); ++i) s += e.GetItem(i).IsText() ? e.GetItem(i).ch : u'\x1';
  return s;
}

void Check(const CRichDraw& e) {
  const int n = e.GetItemCount();
  if (n > kItemLimit) abort();
  if (e.GetCaretIndex() < 0 || e.GetCaretIndex() > n) abort();
  if (e.GetSelectionStart() < 0 || e.GetSelectionEnd() > n || e.GetSelectionStart() > e.GetSelectionEnd()) abort();
  for (int i = 0; i < n; ++i) {
    const bool inside = i >= e.GetSelectionStart() && i < e.GetSelectionEnd();
    if ((e.GetItem(i).selected != 0) != inside) abort();
  }
  const auto& lines = e.GetLines();
  for (size_t i = 1; i < lines.size(); ++i)
    if (lines[i].top != lines[i - 1].bottom) abort();
}

const int kKeys[] = {vk::kBack, vk::kReturn, vk::kPageUp, vk::kPageDown, vk::kEnd, vk::kHome, vk::kLeft,
                     vk::kUp,   vk::kRight,  vk::kDown,   vk::kDelete,   'A',      'C',      'V',
                     'X',       'Y',         'Z',         'Q'};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // First byte: length of the content part (in bytes); then the content; then actions.
  const size_t contentLen = std::min<size_t>(data[0], size - 1);
  std::u16string content = platform::Utf8ToU16(std::string(reinterpret_cast<const char*>(data + 1), contentLen));
  FixedWidthHost host;
  host.focus = true;
  MemoryClipboard clipboard;
  CRichDraw e(std::make_unique<FixedWidthMeasurer>());
  e.Attach(&host);
  e.SetRect(0, 0, 90, 60);
  e.SetClipboard(&clipboard);
  e.SetHtml(content);
  e.SetReadOnly(0);
  const std::u16string original = Chars(e);

  // Each action takes three bytes: what, and two parameters.
  int actions = 0;
  bool capped = false;  // records were dropped: the start cannot come back
  for (size_t at = 1 + contentLen; at + 2 < size && actions < 400; at += 3, ++actions) {
    const uint8_t what = data[at], a = data[at + 1], b = data[at + 2];
    host.ctrl = (what & 0x10) != 0;
    host.shift = (what & 0x20) != 0;
    switch (what & 0x0F) {
      case 0:
      case 1:
        e.OnChar(static_cast<char16_t>(a | (b << 8)));
        break;
      case 2:
      case 3:
        e.OnKeyDown(kKeys[a % (sizeof kKeys / sizeof kKeys[0])]);
        break;
      case 4:
        e.OnLButtonDown((what & 0x40) ? kMouseLeftButton | kMouseShift : kMouseLeftButton, a - 20, b - 40);
        break;
      case 5:
        host.left = true;
        e.OnMouseMove(kMouseLeftButton, a - 20, b - 40);
        break;
      case 6:
        host.left = (what & 0x40) != 0;
        e.OnTimer(kTimerSelectScroll);
        break;
      case 7:
        host.left = false;
        e.OnLButtonUp(0, a, b);
        break;
      case 8:
        e.SetCaret(a * e.GetItemCount() / 255);
        break;
      case 9:
        e.Select(a * e.GetItemCount() / 255, b * e.GetItemCount() / 255);
        break;
      case 10:
        e.Undo();
        break;
      case 11:
        e.Redo();
        break;
      default:
        e.OnMouseWheel(a < 128 ? -120 : 120);
        break;
    }
    host.ctrl = host.shift = false;
    Check(e);
    capped = capped || e.GetUndoCount() >= kMaxUndoRecords;
  }
  // Everything undone: the original text again.
  for (int guard = 0; e.CanUndo(); ++guard) {
    if (guard > kMaxUndoRecords + 1) abort();  // an undo that cannot move on
    e.Undo();
    Check(e);
  }
  if (!capped && Chars(e) != original) abort();
  return 0;
}
