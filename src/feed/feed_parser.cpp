#include "feed/feed_parser.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "feed/feed_formats.h"
#include "feed/feed_text.h"
#include "net/url.h"
#include "platform/text.h"
#include "platform/xml_guard.h"
#include "richtext/html_parser.h"

namespace feed {

const char16_t kHtmlListSiteDomain[] = u"list.pelinor.example";
const char16_t kBracketTrimSiteDomain[] = u"news.qiaoyu.example";

namespace {

constexpr size_t kMaxEncodingLabel = 100;   // longer declared labels are ignored
constexpr size_t kMaxDeclarationScan = 1024;
constexpr size_t kMaxCharsetScan = 4096;   // a page's charset is declared in its head
constexpr int kUtf8CodePage = 65001;
constexpr int kUtf16LeCodePage = 1200;
constexpr int kUtf16BeCodePage = 1201;

// --- Encodings ---

bool IsValidUtf8(const unsigned char* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    unsigned c = p[i];
    if (c < 0x80) {  // markup is ASCII: its runs are checked eight bytes at a time
      ++i;
      uint64_t word;
      while (n - i >= sizeof word && (std::memcpy(&word, p + i, sizeof word), (word & 0x8080808080808080ull) == 0))
        i += sizeof word;
      continue;
    }
    // Three-byte sequences whose lead byte allows no overlong form and no surrogate: the
    // bulk of CJK text, checked without the general path.
    if (((c >= 0xE1 && c <= 0xEC) || c >= 0xEE) && c <= 0xEF) {
      if (n - i < 3 || (p[i + 1] & 0xC0) != 0x80 || (p[i + 2] & 0xC0) != 0x80) return false;
      i += 3;
      continue;
    }
    size_t len;
    unsigned min;
    if ((c & 0xE0) == 0xC0) { len = 2; min = 0x80; c &= 0x1F; }
    else if ((c & 0xF0) == 0xE0) { len = 3; min = 0x800; c &= 0x0F; }
    else if ((c & 0xF8) == 0xF0) { len = 4; min = 0x10000; c &= 0x07; }
    else return false;
    if (n - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

// UTF-8 bytes kept when valid, otherwise with every invalid sequence replaced.
std::string RepairedUtf8(const char* data, size_t size) {
  if (IsValidUtf8(reinterpret_cast<const unsigned char*>(data), size)) return std::string(data, size);
  return platform::U16ToUtf8(platform::Utf8ToU16(std::string(data, size)));
}

std::string CodePageToUtf8(int codePage, const char* data, size_t size) {
  std::u16string wide;
  if (!platform::FromCodePage(codePage, std::string(data, size), &wide)) return RepairedUtf8(data, size);
  return platform::U16ToUtf8(wide);
}

// Text with no usable declaration: UTF-8 when it is, else the legacy ANSI code page.
std::string UndeclaredToUtf8(const char* data, size_t size) {
  if (IsValidUtf8(reinterpret_cast<const unsigned char*>(data), size)) return std::string(data, size);
  return CodePageToUtf8(platform::AnsiCodePage(), data, size);
}

// What the bytes say about being UTF-8: its well-formed multi-byte sequences, and the
// bytes that start none.
struct Utf8Census {
  size_t sequences = 0, invalid = 0;
};

Utf8Census CountUtf8(const unsigned char* p, size_t n) {
  Utf8Census census;
  for (size_t i = 0; i < n;) {
    unsigned c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool ok = len > 0 && n - i >= len;
    unsigned cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; ok && k < len; ++k) {
      ok = (p[i + k] & 0xC0) == 0x80;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    ok = ok && cp >= kMin[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    if (ok) {
      ++census.sequences;
      i += len;
    } else {
      ++census.invalid;
      ++i;
    }
  }
  return census;
}

// Text declared as UTF-8. When the bytes are mostly not (a legacy page's GBK under a
// copied declaration), they are read in the ANSI code page; a few damaged sequences in
// UTF-8 text are replaced.
std::string DeclaredUtf8ToUtf8(const char* data, size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  if (IsValidUtf8(bytes, size)) return std::string(data, size);
  Utf8Census census = CountUtf8(bytes, size);
  if (census.invalid >= 8 && census.invalid > census.sequences)
    return CodePageToUtf8(platform::AnsiCodePage(), data, size);
  return RepairedUtf8(data, size);
}

// Text declared in a legacy code page. Bytes that are well-formed UTF-8 with enough
// multi-byte text to tell (a feed moved to UTF-8 that kept its old declaration) are read
// as UTF-8: text in the legacy code page is hardly ever valid UTF-8 as well.
std::string DeclaredLegacyToUtf8(int codePage, const char* data, size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  if (IsValidUtf8(bytes, size) && CountUtf8(bytes, size).sequences >= 4) return std::string(data, size);
  return CodePageToUtf8(codePage, data, size);
}

// Byte-order marks and UTF-16 without one; 0 when the bytes are 8-bit text.
int DetectUnicodeForm(const unsigned char* p, size_t n, size_t* skip) {
  *skip = 0;
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) { *skip = 3; return kUtf8CodePage; }
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) { *skip = 2; return kUtf16LeCodePage; }
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) { *skip = 2; return kUtf16BeCodePage; }
  if (n >= 4 && p[0] == '<' && p[1] == 0 && p[2] != 0 && p[3] == 0) return kUtf16LeCodePage;
  if (n >= 4 && p[0] == 0 && p[1] == '<' && p[2] == 0 && p[3] != 0) return kUtf16BeCodePage;
  return 0;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool IsXmlSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::string DeclaredXmlEncoding(const char* data, size_t size) {
  size_t n = size < kMaxDeclarationScan ? size : kMaxDeclarationScan;
  std::string head(data, n);
  size_t start = 0;
  while (start < head.size() && IsXmlSpace(head[start])) ++start;
  if (head.compare(start, 5, "<?xml") != 0) return std::string();
  size_t end = head.find("?>", start);
  if (end == std::string::npos) return std::string();
  size_t at = head.find("encoding", start);
  if (at == std::string::npos || at > end) return std::string();
  at += 8;
  while (at < end && IsXmlSpace(head[at])) ++at;
  if (at >= end || head[at] != '=') return std::string();
  ++at;
  while (at < end && IsXmlSpace(head[at])) ++at;
  if (at >= end || (head[at] != '"' && head[at] != '\'')) return std::string();
  size_t close = head.find(head[at], at + 1);
  if (close == std::string::npos || close > end || close - at - 1 > kMaxEncodingLabel) return std::string();
  std::string label = head.substr(at + 1, close - at - 1);
  for (char& c : label) c = AsciiLower(c);
  return label;
}

std::string DeclaredHtmlCharset(const char* data, size_t size) {
  std::string head(data, size < kMaxCharsetScan ? size : kMaxCharsetScan);
  for (char& c : head) c = AsciiLower(c);
  size_t at = head.find("charset=");
  if (at == std::string::npos) return std::string();
  at += 8;
  if (at < head.size() && (head[at] == '"' || head[at] == '\'')) ++at;
  size_t end = at;
  while (end < head.size() && end - at < kMaxEncodingLabel &&
         (std::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' || head[end] == '_'))
    ++end;
  return head.substr(at, end - at);
}

std::u16string HtmlDocumentToText(const char* data, size_t size) {
  size_t skip = 0;
  int form = DetectUnicodeForm(reinterpret_cast<const unsigned char*>(data), size, &skip);
  std::u16string text;
  if (form == 0) {
    int codePage = platform::CodePageFromLabel(DeclaredHtmlCharset(data, size));
    if (codePage == kUtf16LeCodePage || codePage == kUtf16BeCodePage) codePage = 0;
    if (codePage == 0) return platform::Utf8ToU16(UndeclaredToUtf8(data, size));
    form = codePage;
  }
  if (form == kUtf8CodePage) return platform::Utf8ToU16(std::string(data + skip, size - skip));
  if (!platform::FromCodePage(form, std::string(data + skip, size - skip), &text))
    return platform::Utf8ToU16(UndeclaredToUtf8(data + skip, size - skip));
  return text;
}

std::string XmlDocumentToUtf8(const char* data, size_t size) {
  size_t skip = 0;
  int form = DetectUnicodeForm(reinterpret_cast<const unsigned char*>(data), size, &skip);
  if (form == kUtf8CodePage) return RepairedUtf8(data + skip, size - skip);
  if (form != 0) return CodePageToUtf8(form, data + skip, size - skip);

  std::string label = DeclaredXmlEncoding(data, size);
  if (label.empty()) return UndeclaredToUtf8(data, size);
  int codePage = platform::CodePageFromLabel(label);
  // A UTF-16 label on 8-bit text contradicts itself: the bytes decide.
  if (codePage == kUtf16LeCodePage || codePage == kUtf16BeCodePage) return UndeclaredToUtf8(data, size);
  if (codePage == kUtf8CodePage) return DeclaredUtf8ToUtf8(data, size);
  if (codePage == 0) return UndeclaredToUtf8(data, size);  // an unknown label: the bytes decide
  return DeclaredLegacyToUtf8(codePage, data, size);
}

namespace {

// The length of the name at `p` (letters and digits after a letter), at most `max` + 1.
size_t NameLength(const char* p, const char* end, size_t max) {
  size_t n = 0;
  while (p + n < end && n <= max &&
         (std::isalpha(static_cast<unsigned char>(p[n])) || (n > 0 && std::isdigit(static_cast<unsigned char>(p[n])))))
    ++n;
  return n;
}

// Whether `p` (just past a "&") starts a character reference XML itself reads: "#123;",
// "#x1F;", or one of its five names.
bool IsXmlReference(const char* p, const char* end) {
  if (p < end && *p == '#') {
    const bool hex = p + 1 < end && (p[1] == 'x' || p[1] == 'X');
    const char* d = p + (hex ? 2 : 1);
    const char* start = d;
    while (d < end && d - start < 8 && (hex ? std::isxdigit(static_cast<unsigned char>(*d)) != 0
                                            : std::isdigit(static_cast<unsigned char>(*d)) != 0))
      ++d;
    return d > start && d < end && *d == ';';
  }
  size_t n = NameLength(p, end, 4);
  if (n == 0 || n > 4 || p + n >= end || p[n] != ';') return false;
  const std::string name(p, n);
  return name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos";
}

// Moves `*scan` (a point outside any CDATA section or comment) on through the markup to
// `at`. When `at` lies inside such a section, returns the point just past the section
// (and leaves `*scan` there); nullptr otherwise.
const char* SectionAround(const char** scan, const char* at, const char* end) {
  while (*scan < at) {
    const char* lt = static_cast<const char*>(std::memchr(*scan, '<', static_cast<size_t>(at - *scan)));
    if (!lt) break;
    const char* close = nullptr;
    if (end - lt >= 9 && std::memcmp(lt, "<![CDATA[", 9) == 0) close = "]]>";
    else if (end - lt >= 4 && std::memcmp(lt, "<!--", 4) == 0) close = "-->";
    if (!close) {
      *scan = lt + 1;
      continue;
    }
    const char* found = std::search(lt, end, close, close + 3);
    *scan = found == end ? end : found + 3;
    if (*scan > at) return *scan;
  }
  *scan = at;
  return nullptr;
}

}  // namespace

std::string RepairedXmlReferences(std::string xml) {
  // Most documents need nothing: only an ampersand that starts no reference makes a copy,
  // and only then is it asked whether it lies in a CDATA section or a comment.
  const char* const begin = xml.data();
  const char* const end = begin + xml.size();
  std::string out;
  const char* copied = begin;  // what is not yet in `out`
  const char* scan = begin;    // sections are known up to here
  bool changed = false;
  for (const char* p = begin; p < end;) {
    p = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
    if (!p) break;
    if (IsXmlReference(p + 1, end)) {
      ++p;
      continue;
    }
    if (const char* past = SectionAround(&scan, p, end)) {
      p = past;
      continue;
    }
    // An HTML name ("&nbsp;") becomes its character's number; a bare "&" (as in
    // "AT&T" or "?a=1&b=2") becomes "&amp;".
    if (!changed) out.reserve(xml.size() + 64);
    changed = true;
    out.append(copied, p);
    size_t n = NameLength(p + 1, end, kLongestEntityName);
    char16_t ch = 0;
    if (n > 0 && n <= kLongestEntityName && p + 1 + n < end && p[1 + n] == ';')
      ch = HtmlNamedCharacter(std::string(p + 1, n));
    if (ch) {
      out += "&#" + std::to_string(static_cast<unsigned>(ch)) + ";";
      p += n + 2;
    } else {
      out += "&amp;";
      ++p;
    }
    copied = p;
  }
  if (!changed) return xml;
  out.append(copied, end);
  return out;
}

namespace {

// The end of the start tag at `p` ('<'), past quoted attribute values; npos when unended.
size_t StartTagEnd(const std::string& xml, size_t p) {
  char quote = 0;
  for (size_t k = p + 1; k < xml.size(); ++k) {
    if (quote) {
      if (xml[k] == quote) quote = 0;
    } else if (xml[k] == '"' || xml[k] == '\'') {
      quote = xml[k];
    } else if (xml[k] == '>') {
      return k;
    }
  }
  return std::string::npos;
}

// The end marker of a CDATA section or comment that starts at `p`; nullptr when none does
// (the "<" there starts a tag, or is text).
const char* SectionEndAt(const std::string& xml, size_t p) {
  if (xml.compare(p, 9, "<![CDATA[") == 0) return "]]>";
  if (xml.compare(p, 4, "<!--") == 0) return "-->";
  return nullptr;
}

// Elements whose content is HTML, which some producers put in without escaping it: RSS's
// description and content:encoded, Atom's summary and content unless typed XHTML.
bool HoldsHtml(const std::string& qname, const std::string& startTag) {
  size_t colon = qname.find(':');
  std::string prefix = colon == std::string::npos ? std::string() : qname.substr(0, colon);
  std::string local = colon == std::string::npos ? qname : qname.substr(colon + 1);
  if ((local == "content" || local == "summary") && (prefix.empty() || prefix == "atom"))
    return startTag.find("xhtml") == std::string::npos;
  return (local == "description" && prefix.empty()) || (local == "encoded" && prefix == "content");
}

// Each HTML-holding element's content in a CDATA section when it holds markup that is not
// in one already; whether anything was wrapped.
bool WrapUnescapedHtml(std::string* xml) {
  std::string out;
  size_t copied = 0, p = 0;
  bool changed = false;
  while ((p = xml->find('<', p)) != std::string::npos) {
    // Sections whose "<" start no tag.
    if (const char* sectionEnd = SectionEndAt(*xml, p)) {
      p = xml->find(sectionEnd, p);
      if (p == std::string::npos) break;
      p += 3;
      continue;
    }
    size_t nameEnd = p + 1;
    while (nameEnd < xml->size() && !IsXmlSpace((*xml)[nameEnd]) && (*xml)[nameEnd] != '>' &&
           (*xml)[nameEnd] != '/' && (*xml)[nameEnd] != '<')
      ++nameEnd;
    const std::string qname = xml->substr(p + 1, nameEnd - p - 1);
    size_t tagEnd = StartTagEnd(*xml, p);
    if (tagEnd == std::string::npos) break;
    if (qname.empty() || !std::isalpha(static_cast<unsigned char>(qname[0])) || (*xml)[tagEnd - 1] == '/' ||
        !HoldsHtml(qname, xml->substr(p, tagEnd - p))) {
      p = tagEnd + 1;
      continue;
    }
    const std::string close = "</" + qname + ">";
    size_t closeAt = xml->find(close, tagEnd + 1);
    if (closeAt == std::string::npos) break;
    size_t inner = tagEnd + 1;
    while (inner < closeAt && IsXmlSpace((*xml)[inner])) ++inner;
    const bool markup = xml->find('<', inner) < closeAt;
    if (markup && xml->compare(inner, 9, "<![CDATA[") != 0) {
      std::string content = xml->substr(tagEnd + 1, closeAt - tagEnd - 1);
      for (size_t at = content.find("]]>"); at != std::string::npos; at = content.find("]]>", at + 15))
        content.replace(at, 3, "]]]]><![CDATA[>");
      out.append(*xml, copied, tagEnd + 1 - copied);
      out += "<![CDATA[" + content + "]]>";
      copied = closeAt;
      changed = true;
    }
    p = closeAt + close.size();
  }
  if (!changed) return false;
  out.append(*xml, copied, std::string::npos);
  xml->swap(out);
  return true;
}

// White space between a CDATA section and text beside it in one element ("<![CDATA[A]]>
// &amp; B", "Read <![CDATA[more]]> here", two sections side by side) moved into the
// section: the XML parser drops white space at both ends of a run of text, and the words
// either side were glued together. A comment with white space between it and text ("Read
// <!-- note --> more") goes, so that the text either side is one run. White space beside a
// tag is left where it is (it is dropped as before), so a document whose sections and
// comments sit between tags stays as it was.
void KeepSpaceBesideSections(std::string* doc) {
  const std::string& xml = *doc;
  std::string out;
  size_t copied = 0;  // what is not yet in `out`
  bool changed = false;
  // The end of the last comment taken out, and what was before it: the white space after
  // it continues the white space before it.
  size_t removedEnd = std::string::npos;
  bool removedAfterText = false, removedSpaceBefore = false;
  for (size_t p = xml.find("<!"); p != std::string::npos; p = xml.find("<!", p)) {
    const char* sectionEnd = SectionEndAt(xml, p);
    if (!sectionEnd) {
      p += 2;
      continue;
    }
    const size_t close = xml.find(sectionEnd, p + 4);
    if (close == std::string::npos) break;
    const size_t start = p;
    p = close + 3;
    const bool comment = sectionEnd[0] == '-';
    size_t before = start;
    while (before > copied && IsXmlSpace(xml[before - 1])) --before;
    const bool chained = before == removedEnd;
    // Text (or a section's end) before the white space, not a tag.
    const bool sectionBefore = before >= 3 && xml.compare(before - 3, 3, "]]>") == 0;
    const bool afterText = chained ? removedAfterText : before > 0 && (xml[before - 1] != '>' || sectionBefore);
    const bool hadSpace = before < start || (chained && removedSpaceBefore);
    const bool spaceBefore = afterText && hadSpace;
    size_t after = p;
    while (after < xml.size() && IsXmlSpace(xml[after])) ++after;
    const bool spaceAfter = after > p && after < xml.size() &&
                            (xml[after] != '<' || SectionEndAt(xml, after) != nullptr);
    if (!spaceBefore && !spaceAfter) continue;
    if (!changed) out.reserve(xml.size() + 64);
    changed = true;
    if (comment) {
      // Left out, with the white space either side kept where it is.
      out.append(xml, copied, start - copied);
      copied = removedEnd = p;
      removedAfterText = afterText;
      removedSpaceBefore = hadSpace;
      continue;
    }
    out.append(xml, copied, (spaceBefore ? before : start) - copied);
    std::string lead;  // after a comment taken out: the white space before that comment
    if (spaceBefore && chained) {
      size_t kept = out.size();
      while (kept > 0 && IsXmlSpace(out[kept - 1])) --kept;
      lead = out.substr(kept);
      out.resize(kept);
    }
    out += "<![CDATA[";
    out += lead;
    if (spaceBefore) out.append(xml, before, start - before);
    out.append(xml, start + 9, close - start - 9);
    if (spaceAfter) out.append(xml, p, after - p);
    out += "]]>";
    copied = p = spaceAfter ? after : p;
  }
  if (!changed) return;
  out.append(xml, copied, std::string::npos);
  doc->swap(out);
}

}  // namespace

std::string FeedHead(const std::string& xml, size_t entries) {
  if (entries == 0) return std::string();
  struct Name {
    size_t at, size;  // where the element's name is in `xml`
  };
  std::vector<Name> open;  // the elements open at the scan point, outermost first
  size_t entryDepth = 0;   // the depth of entries (the root is 1); 0 until one starts
  size_t count = 0;
  size_t cut = std::string::npos;  // just past the entries-th entry, once it has ended
  std::vector<Name> openAtCut;
  auto isEntry = [&xml](Name n) {
    const size_t colon = xml.find(':', n.at);
    if (colon < n.at + n.size) n = {colon + 1, n.at + n.size - colon - 1};
    return (n.size == 4 && xml.compare(n.at, 4, "item") == 0) || (n.size == 5 && xml.compare(n.at, 5, "entry") == 0);
  };
  for (size_t p = xml.find('<'); p != std::string::npos; p = xml.find('<', p)) {
    const char* skipTo = SectionEndAt(xml, p);
    if (!skipTo && xml.compare(p, 2, "<?") == 0) skipTo = "?>";
    if (skipTo) {
      p = xml.find(skipTo, p + 2);
      if (p == std::string::npos) return std::string();
      p += std::strlen(skipTo);
      continue;
    }
    const size_t tagEnd = StartTagEnd(xml, p);
    if (tagEnd == std::string::npos) return std::string();
    if (xml.compare(p, 2, "<!") == 0) {
      // A document type declaration; one with an internal subset is not followed here.
      if (xml.find('[', p) < tagEnd) return std::string();
      p = tagEnd + 1;
      continue;
    }
    const bool closing = xml[p + 1] == '/';
    Name name{p + (closing ? 2 : 1), 0};
    while (name.at + name.size < tagEnd && !IsXmlSpace(xml[name.at + name.size]) && xml[name.at + name.size] != '/')
      ++name.size;
    if (name.size == 0) return std::string();
    bool ended = false;  // an entry at the entries' depth ended with this tag
    if (!closing) {
      const size_t depth = open.size() + 1;
      const bool entry = isEntry(name);
      if (entry && entryDepth == 0) entryDepth = depth;
      if (entry && depth == entryDepth && cut != std::string::npos) {
        // Another entry follows the last one read: the head ends before it.
        std::string head = xml.substr(0, cut);
        for (auto it = openAtCut.rbegin(); it != openAtCut.rend(); ++it)
          head.append("</").append(xml, it->at, it->size).append(">");
        return head;
      }
      if (xml[tagEnd - 1] != '/') open.push_back(name);
      else ended = entry && depth == entryDepth;
    } else {
      if (open.empty() || open.back().size != name.size || xml.compare(open.back().at, name.size, xml, name.at, name.size) != 0)
        return std::string();  // not well-formed here
      ended = open.size() == entryDepth && isEntry(name);
      open.pop_back();
    }
    if (ended && ++count == entries) {
      cut = tagEnd + 1;
      openAtCut = open;
    }
    p = tagEnd + 1;
  }
  return std::string();  // no more entries than that
}

namespace {

// A document type declaration with an internal subset ("<!DOCTYPE rss [<!ENTITY ...>]>"),
// which some feeds carry to declare HTML's entity names: the XML parser takes the first
// ">" inside the subset for the declaration's end. The declaration goes (only one before
// the first element); the names it declared are then read as HTML names where they are
// ones, and shown as written otherwise. Nothing is fetched or expanded.
bool DropDoctypeSubset(std::string* text) {
  const size_t doctype = text->find("<!DOCTYPE");
  if (doctype == std::string::npos) return false;
  for (size_t lt = text->find('<'); lt < doctype; lt = text->find('<', lt + 1)) {
    const char next = lt + 1 < text->size() ? (*text)[lt + 1] : '\0';
    if (next != '?' && next != '!') return false;  // an element comes first
  }
  const size_t open = text->find_first_of("[>", doctype);
  if (open == std::string::npos || (*text)[open] != '[') return false;
  for (size_t close = text->find(']', open); close != std::string::npos; close = text->find(']', close + 1)) {
    size_t after = close + 1;
    while (after < text->size() && IsXmlSpace((*text)[after])) ++after;
    if (after < text->size() && (*text)[after] == '>') {
      text->erase(doctype, after + 1 - doctype);
      return true;
    }
  }
  return false;
}

// A "<" that can start no markup ("x < y", "<3", "a<=b"), which producers that do not
// escape their text leave in titles, written as "&lt;"; CDATA sections and comments are
// left alone. Whether anything changed.
bool EscapeBareLessThan(std::string* xml) {
  std::string out;
  size_t copied = 0;
  for (size_t p = xml->find('<'); p != std::string::npos; p = xml->find('<', p + 1)) {
    if (const char* sectionEnd = SectionEndAt(*xml, p)) {
      p = xml->find(sectionEnd, p);
      if (p == std::string::npos) break;
      continue;
    }
    const unsigned char next = p + 1 < xml->size() ? static_cast<unsigned char>((*xml)[p + 1]) : 0;
    // A name may start with a letter, "_", ":" or any character beyond ASCII.
    if (std::isalpha(next) || next == '_' || next == ':' || next == '/' || next == '!' || next == '?' || next >= 0x80)
      continue;
    out.append(*xml, copied, p - copied);
    out += "&lt;";
    copied = p + 1;
  }
  if (copied == 0) return false;
  out.append(*xml, copied, std::string::npos);
  xml->swap(out);
  return true;
}

}  // namespace

std::string RecoveredXmlFeed(const std::string& xml) {
  std::string text;
  bool changed = false;
  // Text before the document (a server-side script's warnings): from the XML declaration
  // on, or else from the root element of a feed.
  size_t start = xml.find("<?xml");
  if (start == std::string::npos) {
    start = xml.size();
    for (const char* root : {"<rss", "<feed", "<rdf:RDF", "<RDF"}) start = std::min(start, xml.find(root));
  }
  size_t first = 0;
  while (first < xml.size() && IsXmlSpace(xml[first])) ++first;
  if (start != std::string::npos && start < xml.size() && start > first) {
    text = xml.substr(start);
    changed = true;
  } else {
    text = xml;
  }
  changed = DropDoctypeSubset(&text) || changed;
  changed = WrapUnescapedHtml(&text) || changed;
  changed = EscapeBareLessThan(&text) || changed;
  return changed ? text : std::string();
}

namespace {

bool Contains(const std::u16string& text, const char16_t* what) {
  return text.find(what) != std::u16string::npos;
}

// The items of a document as it stands; kFeedErrorFormat for one that is not well-formed
// (or nested too deeply) or holds no usable item.
int ReadXmlFeed(const std::string& text, const std::u16string& feedUrl, std::vector<FeedItem>* items,
                std::u16string* title, bool* withoutEntries) {
  *withoutEntries = false;
  if (!platform::XmlNestingAcceptable(text.data(), text.size())) return kFeedErrorFormat;
  TiXmlDocument doc;
  doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
  if (doc.Error()) return kFeedErrorFormat;
  if (title) *title = ExtractFeedTitle(doc);
  size_t found = ExtractFeedItems(doc, feedUrl, Contains(feedUrl, kBracketTrimSiteDomain), items);
  if (!found) *withoutEntries = IsFeedWithoutEntries(doc);
  return found ? static_cast<int>(found) : kFeedErrorFormat;
}

int ParseXmlFeed(const char* data, size_t size, const std::u16string& feedUrl, std::vector<FeedItem>* items,
                 std::u16string* title, bool* withoutEntries, size_t entriesRead) {
  std::string text = RepairedXmlReferences(XmlDocumentToUtf8(data, size));
  bool empty = false;
  if (entriesRead > 0) {
    // A long feed's first entries, without building the tree of the rest.
    std::string head = FeedHead(text, entriesRead);
    KeepSpaceBesideSections(&head);
    std::vector<FeedItem> first;
    std::u16string headTitle;
    if (!head.empty() && ReadXmlFeed(head, feedUrl, &first, title ? &headTitle : nullptr, &empty) >= kEntriesWanted) {
      if (title) *title = std::move(headTitle);
      const int found = static_cast<int>(first.size());
      items->insert(items->end(), std::make_move_iterator(first.begin()), std::make_move_iterator(first.end()));
      return found;
    }
  }
  KeepSpaceBesideSections(&text);
  int result = ReadXmlFeed(text, feedUrl, items, title, &empty);
  // A document that is no feed as it stands gets one more try, mended as far as feeds go
  // wrong (which changes nothing in most pages that are no feed).
  if (result == kFeedErrorFormat && !empty) {
    const std::string recovered = RecoveredXmlFeed(text);
    if (!recovered.empty()) result = ReadXmlFeed(recovered, feedUrl, items, title, &empty);
  }
  if (withoutEntries) *withoutEntries = empty;
  return result;
}


// --- HTML-list site ---

// Links a user can open: scripts and same-page fragments are not items.
bool IsOpenableLink(const std::u16string& href) {
  if (href.empty() || href[0] == u'#') return false;
  std::u16string scheme = href.substr(0, 11);
  for (char16_t& c : scheme)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return scheme != u"javascript:";
}

int ParseHtmlList(const char* data, size_t size, const std::u16string& feedUrl, std::vector<FeedItem>* items) {
  richtext::CHtmlParser parser;
  if (!parser.Parse(HtmlDocumentToText(data, size))) return kFeedErrorFormat;
  int tagCount = 0, objectCount = 0;
  richtext::CHtmlTag* const* tags = parser.GetTags(&tagCount);
  richtext::CHtmlObject* const* objects = parser.GetObjects(&objectCount);
  size_t before = items->size();
  for (int t = 0; t < tagCount; ++t) {
    const richtext::CHtmlTag* tag = tags[t];
    const std::u16string* href = tag->GetName() == u"a" ? tag->GetAttr(u"href") : nullptr;
    if (!href) continue;
    std::u16string link = Trimmed(DecodeHtmlEntities(*href));
    if (!IsOpenableLink(link)) continue;
    link = net::ResolveUrl(feedUrl, link);
    // Several text runs in one anchor (text split by a font tag) give several items.
    for (int i = tag->GetStart(); i >= 0 && i < tag->GetEnd() && i < objectCount; ++i) {
      if (std::u16string(objects[i]->GetTypeName()) != u"HtmlText") continue;
      auto* run = static_cast<const richtext::CHtmlText*>(objects[i]);
      std::u16string title = CollapsedText(DecodeHtmlEntities(run->GetText()));
      if (title.empty()) continue;
      FeedItem item;
      item.title = std::move(title);
      item.link = link;
      items->push_back(std::move(item));
    }
  }
  size_t found = items->size() - before;
  return found ? static_cast<int>(found) : kFeedErrorFormat;
}

}  // namespace

std::u16string TrimBracketedRemark(const std::u16string& title) {
  constexpr size_t kWideSearchSpan = 5;
  if (title.empty() || (title.back() != u')' && title.back() != u'）')) return title;
  size_t cut = title.rfind(u'(');
  if (cut == std::u16string::npos && title.size() >= kWideSearchSpan)
    cut = title.find(u'（', title.size() - kWideSearchSpan);
  if (cut == std::u16string::npos) return title;
  std::u16string kept = Trimmed(title.substr(0, cut));
  return kept.empty() ? title : kept;
}

std::u16string FeedRefreshUrl(const std::u16string& feedUrl) {
  return net::AppendQuery(feedUrl, u"refresh=1");
}

int ParseFeedDocument(const char* data, size_t size, const std::u16string& feedUrl,
                      std::vector<FeedItem>* items, std::u16string* title, bool* withoutEntries,
                      size_t entriesRead) {
  if (title) title->clear();
  if (withoutEntries) *withoutEntries = false;
  if (!data || size == 0) return kFeedErrorFormat;
  if (Contains(feedUrl, kHtmlListSiteDomain)) return ParseHtmlList(data, size, feedUrl, items);
  return ParseXmlFeed(data, size, feedUrl, items, title, withoutEntries, entriesRead);
}

}  // namespace feed
