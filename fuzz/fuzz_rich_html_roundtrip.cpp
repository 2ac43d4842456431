// Content read from arbitrary HTML-subset text, written back with GetHtml and read again,
// keeps its characters, styles, links and images. (A lone LF is written as a line break
// and so reads back as CR LF; sizes are written in whole points.)
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

bool SameText(const SharedText& a, const SharedText& b) {
  if (!a || !b) return !a && !b;
  return *a == *b;
}

void CheckSameItem(const RichItem& want, const RichItem& got) {
  if (want.kind != got.kind) abort();
  // A line break is written as one piece inside the style and link around it.
  if (want.IsLineBreak()) {
    if (want.ch != got.ch) abort();
    return;
  }
  if (!SameText(want.contentLink, got.contentLink)) abort();
  if (!want.IsText()) {
    if (want.source != got.source || want.width != got.width || want.height != got.height) abort();
    return;
  }
  if (want.ch != got.ch) abort();
  if (want.contentColor != got.contentColor || want.transparent != got.transparent) abort();
  if (!want.transparent && want.background != got.background) abort();
  if (want.bold != got.bold || want.italic != got.italic || want.strikeout != got.strikeout ||
      want.contentUnderline != got.contentUnderline)
    abort();
  if (want.size / 10 * 10 != got.size) abort();
  if (!SameText(want.face, got.face)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string html = platform::Utf8ToU16(std::string(reinterpret_cast<const char*>(data), size));
  CRichDraw first(std::make_unique<FixedWidthMeasurer>());
  first.SetRect(0, 0, 100, 50);
  first.SetHtml(html);
  const std::u16string written = first.GetHtml();
  CRichDraw second(std::make_unique<FixedWidthMeasurer>());
  second.SetRect(0, 0, 100, 50);
  second.SetHtml(written);
  // Writing what was read back gives the same text.
  if (second.GetHtml() != written) abort();

  // Item by item, a lone LF standing for CR LF.
  RichItem cr;
  cr.kind = 1;
  cr.ch = u'\r';
  int j = 0;
  for (int i = 0; i < first.GetItemCount() && j < second.GetItemCount(); ++i) {
    const RichItem& want = first.GetItem(i);
    const bool loneLf = want.IsText() && want.ch == u'\n' && !(i > 0 && first.GetItem(i - 1).IsText() &&
                                                               first.GetItem(i - 1).ch == u'\r');
    if (loneLf) CheckSameItem(cr, second.GetItem(j++));
    if (j >= second.GetItemCount()) break;
    CheckSameItem(want, second.GetItem(j++));
  }
  // Only the item limit may cut the text read back.
  if (j < second.GetItemCount()) abort();
  if (second.GetItemCount() < kItemLimit && j != second.GetItemCount()) abort();
  return 0;
}
