// Writing the content back as HTML-subset text. What is written is what the content says
// (RichItem's content fields): detected addresses and hover highlighting are display
// state and are never saved, so saving the same content twice writes the same text.
#include <algorithm>

#include "richtext/html_writer.h"
#include "richtext/rich_draw.h"

namespace richtext {

namespace html {

void AppendHex6(std::u16string& out, uint32_t rgb) {
  static const char16_t kDigits[] = u"0123456789abcdef";
  for (int shift = 20; shift >= 0; shift -= 4) out += kDigits[(rgb >> shift) & 0xF];
}

void AppendInt(std::u16string& out, int v) {
  char16_t buf[12];
  int n = 0;
  unsigned u = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
  do {
    buf[n++] = static_cast<char16_t>(u'0' + u % 10);
    u /= 10;
  } while (u);
  if (v < 0) out += u'-';
  while (n) out += buf[--n];
}

void AppendAddress(std::u16string& out, const std::u16string& value) {
  for (char16_t c : value) {
    if (c == u'"') out += u"%22";
    else if (c == u'>') out += u"%3E";
    else out += c;
  }
}

void AppendFace(std::u16string& out, const std::u16string& value) {
  for (char16_t c : value)
    if (c != u'"' && c != u'>') out += c;
}

void AppendText(std::u16string& out, const std::u16string& text, const std::u16string& fontBreak) {
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == u'<' && i + 1 < text.size() && CouldStartTag(text[i + 1])) out += fontBreak;
  }
}

}  // namespace html

namespace {

using html::AppendAddress;
using html::AppendFace;
using html::AppendHex6;
using html::AppendInt;
using html::CouldStartTag;
using html::ToRgb;

bool SameStyle(const RichItem& a, const RichItem& b) {
  if (a.transparent != b.transparent || (!a.transparent && a.background != b.background)) return false;
  if (a.contentColor != b.contentColor || a.bold != b.bold || a.strikeout != b.strikeout || a.italic != b.italic ||
      a.contentUnderline != b.contentUnderline || a.size != b.size)
    return false;
  if (a.face == b.face) return true;
  if (!a.face || !b.face) return false;
  return *a.face == *b.face;
}

void AppendFontOpening(std::u16string& out, const RichItem& it) {
  out += u"<font color=\"#";
  AppendHex6(out, ToRgb(it.contentColor));
  out += u"\" size=\"";
  AppendInt(out, it.size / 10);
  out += u'"';
  if (it.bold) out += u" bold=\"1\"";
  if (it.italic) out += u" italic=\"1\"";
  if (it.contentUnderline) out += u" underline=\"1\"";
  if (it.strikeout) out += u" strikeout=\"1\"";
  if (it.face) {
    out += u" face=\"";
    AppendFace(out, *it.face);
    out += u'"';
  }
  if (!it.transparent) {
    out += u" style=\"background-color:#";
    AppendHex6(out, ToRgb(it.background));
    out += u'"';
  }
  out += u'>';
}

}  // namespace

std::u16string CRichDraw::SerializeRange(bool selectedOnly) const {
  const int from = selectedOnly ? selFrom_ : 0;
  const int to = selectedOnly ? std::min(selTo_, GetItemCount()) : GetItemCount();
  std::u16string out;
  if (from >= to) return out;
  out.reserve(static_cast<size_t>(to - from) + 64);
  const RichItem* font = nullptr;  // the item whose style the open font tag has
  const std::u16string* link = nullptr;
  for (int i = from; i < to; ++i) {
    const RichItem& it = *items_[i];
    if (it.contentLink.get() != link) {
      if (link) out += u"</a>";
      if (it.contentLink) {
        out += u"<a href=\"";
        AppendAddress(out, *it.contentLink);
        out += u"\">";
      }
      link = it.contentLink.get();
    }
    if (!it.IsText()) {
      if (it.source.empty()) continue;
      out += u"<img src=\"";
      AppendAddress(out, it.source);
      out += u"\" width=\"";
      AppendInt(out, it.width);
      out += u"\" height=\"";
      AppendInt(out, it.height);
      out += u"\"/>";
      continue;
    }
    if (!font || !SameStyle(*font, it)) {
      if (font) out += u"</font>";
      AppendFontOpening(out, it);
      font = &it;
    }
    if (it.ch == u'\r' && i + 1 < to && items_[i + 1]->IsText() && items_[i + 1]->ch == u'\n') {
      out += u"<br>";  // the pair is one line break
      ++i;
    } else if (it.ch == u'\n') {
      out += u"<br>";
    } else {
      out += it.ch;
      // A '<' must not join the characters after it into a tag when the text is read again.
      if (it.ch == u'<' && i + 1 < to && items_[i + 1]->IsText() && CouldStartTag(items_[i + 1]->ch) &&
          items_[i + 1]->contentLink.get() == link) {
        out += u"</font>";
        AppendFontOpening(out, it);
      }
    }
  }
  if (link) out += u"</a>";
  out += u"</font>";
  return out;
}

std::u16string CRichDraw::GetHtml() const { return SerializeRange(false); }

std::u16string CRichDraw::GetSelectedHtml() const { return SerializeRange(true); }

}  // namespace richtext
