#include "feed/feed_parser.h"

#include <tinyxml.h>

#include <cctype>
#include <cstring>

#include "platform/log.h"
#include "net/url.h"
#include "platform/text.h"
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
    if (c < 0x80) { ++i; continue; }
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

// --- Nesting guard: follows the XML parser's own tokenising, so that what it counts as
// an element opened or closed is exactly what the parser would recurse into. ---

bool IsXmlSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsNameStart(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 127 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

const char* SkipSpace(const char* p) {
  for (;;) {
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    if (u[0] == 0xEF && ((u[1] == 0xBB && u[2] == 0xBF) || (u[1] == 0xBF && (u[2] == 0xBE || u[2] == 0xBF)))) {
      p += 3;
    } else if (IsXmlSpace(*p)) {
      ++p;
    } else {
      return p;
    }
  }
}

bool StartsWith(const char* p, const char* s, bool ignoreCase) {
  for (; *s; ++p, ++s) {
    if (!*p) return false;
    if (ignoreCase ? AsciiLower(*p) != AsciiLower(*s) : *p != *s) return false;
  }
  return true;
}

// Past one entity reference at "&", as the parser reads it; null where it would fail.
const char* SkipEntity(const char* p) {
  if (p[1] == '#' && p[2]) {
    bool hex = p[2] == 'x';
    if (hex && !p[3]) return nullptr;
    const char* semi = std::strchr(p + (hex ? 3 : 2), ';');
    if (!semi) return nullptr;
    for (const char* q = semi - 1; *q != (hex ? 'x' : '#'); --q)
      if (hex ? !IsHexDigit(*q) : !(*q >= '0' && *q <= '9')) return nullptr;
    return semi + 1;
  }
  static const char* const kNamed[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
  for (const char* e : kNamed)
    if (StartsWith(p, e, false)) return p + std::strlen(e);
  return p + 1;
}

// Past text ending at `end` (not consumed); null where the parser would fail.
const char* SkipText(const char* p, char end) {
  while (*p && *p != end) {
    if (*p == '&') {
      p = SkipEntity(p);
      if (!p) return nullptr;
    } else {
      ++p;
    }
  }
  return p;
}

const char* SkipName(const char* p) {
  if (!IsNameStart(*p)) return nullptr;
  while (IsNameChar(*p)) ++p;
  return p;
}

const char* SkipPast(const char* p, const char* terminator) {
  const char* f = std::strstr(p, terminator);
  return f ? f + std::strlen(terminator) : p + std::strlen(p);
}

// One attribute "name = value"; null where the parser would fail.
const char* SkipAttribute(const char* p) {
  p = SkipName(SkipSpace(p));
  if (!p) return nullptr;
  p = SkipSpace(p);
  if (*p != '=') return nullptr;
  p = SkipSpace(p + 1);
  if (!*p) return nullptr;
  if (*p == '"' || *p == '\'') {
    char quote = *p;
    p = SkipText(p + 1, quote);
    if (p && *p) ++p;
    return p;
  }
  while (*p && !IsXmlSpace(*p) && *p != '/' && *p != '>') {
    if (*p == '"' || *p == '\'') return nullptr;
    ++p;
  }
  return p;
}

const char* SkipDeclaration(const char* p) {
  p += 5;  // "<?xml"
  while (*p) {
    if (*p == '>') return p + 1;
    p = SkipSpace(p);
    if (!*p) break;
    if (StartsWith(p, "version", true) || StartsWith(p, "encoding", true) || StartsWith(p, "standalone", true)) {
      p = SkipAttribute(p);
      if (!p) return nullptr;
    } else {
      while (*p && *p != '>' && !IsXmlSpace(*p)) ++p;
    }
  }
  return nullptr;
}

}  // namespace

size_t XmlNestingDepth(const char* text, size_t limit) {
  size_t depth = 0, deepest = 0;
  const char* p = SkipSpace(text);
  while (p && *p) {
    if (*p != '<') {
      if (depth == 0) break;  // text outside the root ends the document
      p = SkipText(p, '<');
      if (!p || !*p) break;
    }
    if (p[1] == '/' && depth == 0) {
      p = SkipPast(p + 1, ">");  // a stray end tag outside the root is skipped like markup
    } else if (p[1] == '/') {
      p = SkipName(p + 2);
      if (!p) break;
      p = SkipSpace(p);
      if (*p != '>') break;
      ++p;
      --depth;
    } else if (StartsWith(p, "<?xml", true)) {
      p = SkipDeclaration(p);
    } else if (StartsWith(p, "<!--", false)) {
      p = SkipPast(p + 4, "-->");
    } else if (StartsWith(p, "<![CDATA[", false)) {
      p = SkipPast(p + 9, "]]>");
    } else if (IsNameStart(p[1])) {
      p = SkipName(p + 1);
      for (;;) {
        p = p ? SkipSpace(p) : nullptr;
        if (!p || !*p) { p = nullptr; break; }
        if (*p == '/') {
          p = p[1] == '>' ? p + 2 : nullptr;
          break;
        }
        if (*p == '>') {
          ++p;
          if (++depth > deepest) deepest = depth;
          if (deepest > limit) return deepest;
          break;
        }
        p = SkipAttribute(p);
      }
    } else {
      p = SkipPast(p + 1, ">");  // declarations, processing instructions, stray "<"
    }
    if (p) p = SkipSpace(p);
  }
  return deepest;
}

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
  if (codePage == kUtf8CodePage) return RepairedUtf8(data, size);
  if (codePage == 0) {
    LogDebug("feed encoding \"%s\" is unknown, read as UTF-8", label.c_str());
    return UndeclaredToUtf8(data, size);
  }
  return CodePageToUtf8(codePage, data, size);
}

namespace {

bool IsTrimmedSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x00A0 || c == 0x3000;
}

std::u16string Trimmed(const std::u16string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsTrimmedSpace(s[b])) ++b;
  while (e > b && IsTrimmedSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool Contains(const std::u16string& text, const char16_t* what) {
  return text.find(what) != std::u16string::npos;
}

std::u16string ElementText(const TiXmlElement* parent, const char* name) {
  const TiXmlElement* e = parent->FirstChildElement(name);
  const char* text = e ? e->GetText() : nullptr;
  return text ? Trimmed(platform::Utf8ToU16(text)) : std::u16string();
}

int ParseRss(const char* data, size_t size, const std::u16string& feedUrl, std::vector<FeedItem>* items) {
  std::string text = XmlDocumentToUtf8(data, size);
  size_t depth = XmlNestingDepth(text.c_str(), kMaxXmlNesting);
  if (depth > kMaxXmlNesting) {
    LogDebug("feed document nested deeper than %d levels, refused", static_cast<int>(kMaxXmlNesting));
    return kFeedErrorFormat;
  }
  TiXmlDocument doc;
  doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
  if (doc.Error()) return kFeedErrorFormat;
  const TiXmlElement* root = doc.FirstChildElement();
  const TiXmlElement* channel = root ? root->FirstChildElement() : nullptr;
  if (!channel) return kFeedErrorFormat;

  bool trimRemarks = Contains(feedUrl, kBracketTrimSiteDomain);
  size_t before = items->size();
  for (const TiXmlElement* item = channel->FirstChildElement("item"); item;
       item = item->NextSiblingElement("item")) {
    FeedItem entry{ElementText(item, "title"), ElementText(item, "link")};
    if (trimRemarks) entry.title = TrimBracketedRemark(entry.title);
    if (!entry.title.empty() && !entry.link.empty()) items->push_back(std::move(entry));
  }
  size_t found = items->size() - before;
  return found ? static_cast<int>(found) : kFeedErrorFormat;
}


// --- HTML-list site ---

// Character references in page text: the common named ones and numeric ones.
std::u16string DecodeHtmlEntities(const std::u16string& s) {
  static const struct { const char16_t* name; char16_t ch; } kNamed[] = {
      {u"amp;", u'&'}, {u"lt;", u'<'}, {u"gt;", u'>'}, {u"quot;", u'"'}, {u"apos;", u'\''},
      {u"nbsp;", 0x00A0}, {u"middot;", 0x00B7}, {u"hellip;", 0x2026}, {u"mdash;", 0x2014},
      {u"ndash;", 0x2013}, {u"ldquo;", 0x201C}, {u"rdquo;", 0x201D}, {u"lsquo;", 0x2018},
      {u"rsquo;", 0x2019}, {u"copy;", 0x00A9}};
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != u'&') { out.push_back(s[i]); continue; }
    size_t semi = s.find(u';', i + 1);
    if (semi != std::u16string::npos && semi - i <= 10 && i + 1 < s.size() && s[i + 1] == u'#') {
      bool hex = i + 2 < s.size() && (s[i + 2] == u'x' || s[i + 2] == u'X');
      unsigned long cp = 0;
      size_t digits = 0;
      for (size_t k = i + (hex ? 3 : 2); k < semi; ++k, ++digits) {
        char16_t c = s[k];
        int v = (c >= u'0' && c <= u'9') ? c - u'0'
                : (hex && c >= u'a' && c <= u'f') ? c - u'a' + 10
                : (hex && c >= u'A' && c <= u'F') ? c - u'A' + 10 : -1;
        if (v < 0) { digits = 0; break; }
        cp = cp * (hex ? 16 : 10) + static_cast<unsigned>(v);
      }
      if (digits > 0 && cp > 0 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
        platform::AppendCodePoint(&out, static_cast<char32_t>(cp));
        i = semi;
        continue;
      }
    }
    bool named = false;
    for (const auto& e : kNamed) {
      if (s.compare(i + 1, std::char_traits<char16_t>::length(e.name), e.name) == 0) {
        out.push_back(e.ch);
        i += std::char_traits<char16_t>::length(e.name);
        named = true;
        break;
      }
    }
    if (!named) out.push_back(u'&');
  }
  return out;
}

// Page text as shown: references decoded, runs of white space as one space, trimmed.
std::u16string HtmlTextAsShown(const std::u16string& raw) {
  std::u16string decoded = DecodeHtmlEntities(raw), out;
  bool space = false;
  for (char16_t c : decoded) {
    if (IsTrimmedSpace(c)) {
      space = !out.empty();
    } else {
      if (space) out.push_back(u' ');
      space = false;
      out.push_back(c);
    }
  }
  return out;
}

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
      std::u16string title = HtmlTextAsShown(run->GetText());
      if (!title.empty()) items->push_back(FeedItem{title, link});
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
                      std::vector<FeedItem>* items) {
  if (!data || size == 0) return kFeedErrorFormat;
  if (Contains(feedUrl, kHtmlListSiteDomain)) return ParseHtmlList(data, size, feedUrl, items);
  return ParseRss(data, size, feedUrl, items);
}

}  // namespace feed
