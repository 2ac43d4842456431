// Parses arbitrary text into the rich-text engine and exercises layout, link detection,
// hit-testing, highlighting and scrolling on it, checking the layout's invariants.
// The first bytes choose the view and the options; the rest is the content.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/text.h"
#include "richtext/fixed_measurer.h"
#include "richtext/rich_draw.h"

namespace {

using namespace richtext;

using Measurer = FixedWidthMeasurer;

using Host = FixedWidthHost;

void CheckLayout(const CRichDraw& e) {
  const auto& lines = e.GetLines();
  int covered = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].bottom < lines[i].top) abort();
    if (i > 0 && lines[i].top != lines[i - 1].bottom) abort();
    if (lines[i].first > covered) abort();
    if (lines[i].last >= covered) covered = lines[i].last + 1;
  }
  if (covered < e.GetItemCount()) abort();
  if (e.GetItemCount() > kItemLimit) abort();
}

// The plain definition the line-indexed search must agree with.
int BruteHitTest(const CRichDraw& e, int x, int y) {
  const Rect& v = e.GetRect();
  if (x < v.left || x > v.right || y < v.top || y > v.bottom) return -1;
  int cy = y - e.GetScrollPos();
  for (int i = 0; i < e.GetItemCount(); ++i) {
    const RichItem& it = e.GetItem(i);
    if (x >= it.x && x < it.x + it.width && cy >= it.y && cy < it.y + it.height) return i;
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  Host host;
  host.client.right = data[0];
  host.client.bottom = data[1];
  const uint8_t options = data[2];
  const uint8_t where = data[3];
  std::u16string text = platform::Utf8ToU16(std::string(reinterpret_cast<const char*>(data + 4), size - 4));

  CRichDraw e(std::make_unique<Measurer>());
  e.Attach(&host);
  e.SetCentered(options & 1);
  e.SetDragScroll((options >> 1) & 1);
  e.SetLineSpacing((options >> 2) & 7);
  e.SetHtml(text);
  CheckLayout(e);
  // The same text inserted again in the middle, capped by the item limit.
  e.InsertHtml(text, where * e.GetItemCount() / 255);
  CheckLayout(e);
  if (options & 0x20) {
    FontDesc f;
    f.face = u"x";
    f.height = -(where % 40);
    e.SetDefaultFont(f, where & 0x3F);
    CheckLayout(e);
  }

  const Rect& view = e.GetRect();
  for (int y = view.top - 2; y <= view.bottom + 2; y += 5) {
    for (int x = view.left - 2; x <= view.right + 2; x += 5) {
      int i = e.HitTest(x, y);
      if (i != BruteHitTest(e, x, y)) abort();
      int kind = 0;
      const std::u16string* link = e.GetLinkAt(x, y, &kind);
      if (link && kind != 1 && kind != 2) abort();
      if (i >= 0 && (x % 3) == 0) e.HighlightLink(i, 0xFF);
    }
  }
  e.ClearLinkHighlight(0);
  int minScroll = view.Height() - e.GetContentHeight();
  if (minScroll > 0) minScroll = 0;
  e.ScrollBy(where);
  e.OnMouseWheel(options & 0x40 ? -1 : 1);
  if (e.GetScrollPos() > 0 || e.GetScrollPos() < minScroll) abort();
  // A drag and its glide always come to rest inside the allowed range.
  host.left = true;
  e.OnLButtonDown(kMouseLeftButton, 5, 40);
  e.OnMouseMove(kMouseLeftButton, 5, 40 + (where - 128) * 4);
  for (int i = 0; i < 10; ++i) e.OnTimer(kTimerGlide);
  host.left = false;
  e.OnLButtonUp(0, 5, 0);
  for (int i = 0; i < 200; ++i) e.OnTimer(kTimerGlide);
  if (e.GetScrollPos() > 0 || e.GetScrollPos() < minScroll) abort();
  e.SetRect(view.left, view.top, view.right - 1, view.bottom);
  CheckLayout(e);
  return 0;
}
