#include "feed/feed_text.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "net/url.h"
#include "platform/text.h"

namespace feed {
namespace {

constexpr char16_t kEllipsis = 0x2026;

// Whether `s` holds `word` (lower-case ASCII) at `at`, in any case.
bool WordAt(const std::u16string& s, size_t at, const char16_t* word) {
  return at < s.size() && platform::StartsWithNoCase(s.substr(at, std::char_traits<char16_t>::length(word)), word);
}

// Cuts `s` to `maxChars` units with an ellipsis, never between a surrogate pair.
void CutTo(std::u16string* s, size_t maxChars) {
  if (maxChars == 0 || s->size() <= maxChars) return;
  size_t keep = maxChars - 1;
  if (keep > 0 && (*s)[keep - 1] >= 0xD800 && (*s)[keep - 1] <= 0xDBFF) --keep;
  s->resize(keep);
  while (!s->empty() && IsFeedSpace(s->back())) s->pop_back();
  s->push_back(kEllipsis);
}

// Appends `c` to collapsed text: white space becomes one space between words.
struct Collapser {
  std::u16string out;
  bool pendingSpace = false;
  void Add(char16_t c) {
    if (IsFeedSpace(c)) {
      pendingSpace = !out.empty();
      return;
    }
    if (pendingSpace) out.push_back(u' ');
    pendingSpace = false;
    out.push_back(c);
  }
  void Space() { pendingSpace = !out.empty(); }
};

// The decoded reference at `s[i]` == '&'; returns the index just past it, or i when it
// is not a reference that can be decoded.
size_t DecodeReferenceAt(const std::u16string& s, size_t i, std::u16string* out) {
  // The longest reference is "&#x10FFFF;" (10 units); no further look for its end.
  size_t semi = std::u16string::npos;
  for (size_t k = i + 1; k < s.size() && k <= i + 10; ++k) {
    if (s[k] == u';') {
      semi = k;
      break;
    }
  }
  if (semi != std::u16string::npos && i + 1 < s.size() && s[i + 1] == u'#') {
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
      platform::AppendCodePoint(out, static_cast<char32_t>(cp));
      return semi + 1;
    }
    return i;
  }
  if (semi == std::u16string::npos || semi - i > kLongestEntityName + 1) return i;
  std::string name;
  for (size_t k = i + 1; k < semi; ++k) {
    if (s[k] > 0x7F) return i;
    name.push_back(static_cast<char>(s[k]));
  }
  if (char16_t ch = HtmlNamedCharacter(name)) {
    out->push_back(ch);
    return semi + 1;
  }
  return i;
}

bool HasHttpScheme(const std::u16string& url) {
  return platform::StartsWithNoCase(url, u"http://") || platform::StartsWithNoCase(url, u"https://");
}

// A scheme as RFC 3986 spells it: a letter, then letters, digits, "+", "-" or ".", then ":".
bool HasScheme(const std::u16string& ref) {
  if (ref.empty() || !((ref[0] >= u'a' && ref[0] <= u'z') || (ref[0] >= u'A' && ref[0] <= u'Z'))) return false;
  for (size_t i = 1; i < ref.size(); ++i) {
    char16_t c = ref[i];
    if (c == u':') return true;
    bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'+' ||
              c == u'-' || c == u'.';
    if (!ok) return false;
  }
  return false;
}

// `url` with "." and ".." path segments applied, as a browser would.
std::u16string WithoutDotSegments(std::u16string url) {
  size_t host = url.find(u"://") + 3;
  size_t start = url.find_first_of(u"/?#", host);
  if (start == std::u16string::npos || url[start] != u'/') return url;
  size_t end = url.find_first_of(u"?#", start);
  if (end == std::u16string::npos) end = url.size();
  size_t dot = url.find(u"/.", start);
  if (dot == std::u16string::npos || dot >= end) return url;  // the usual case: nothing to apply
  std::u16string path = url.substr(start, end - start);
  if (path.find(u"/.") == std::u16string::npos) return url;
  std::vector<std::u16string> segments;
  bool trailing = false;
  for (size_t i = 1; i <= path.size();) {
    size_t j = path.find(u'/', i);
    if (j == std::u16string::npos) j = path.size();
    std::u16string segment = path.substr(i, j - i);
    bool last = j == path.size();
    if (segment == u".") {
      trailing = last;
    } else if (segment == u"..") {
      if (!segments.empty()) segments.pop_back();
      trailing = last;
    } else {
      segments.push_back(segment);
      trailing = false;
    }
    i = j + 1;
  }
  std::u16string normal;
  for (const auto& segment : segments) normal += u"/" + segment;
  if (trailing || normal.empty()) normal += u"/";
  return url.substr(0, start) + normal + url.substr(end);
}

// Columns a character takes in a line of text: two for the wide scripts and symbols of East
// Asia (and, through its surrogate pair, for a character outside the BMP), one otherwise.
size_t Columns(char16_t c) {
  if (c < 0x1100) return 1;
  if (c >= 0xD800 && c <= 0xDFFF) return 1;  // each half of a pair
  if (c <= 0x115F || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
      (c >= 0xFFE0 && c <= 0xFFE6))
    return 2;
  return 1;
}

}  // namespace

char16_t HtmlNamedCharacter(const std::string& name) {
  static const struct {
    const char* name;
    char16_t ch;
  } kNamed[] = {
    {"amp", 0x0026}, {"lt", 0x003C}, {"gt", 0x003E}, {"quot", 0x0022}, {"apos", 0x0027}, {"nbsp", 0x00A0},
    {"iexcl", 0x00A1}, {"cent", 0x00A2}, {"pound", 0x00A3}, {"curren", 0x00A4}, {"yen", 0x00A5}, {"brvbar", 0x00A6},
    {"sect", 0x00A7}, {"uml", 0x00A8}, {"copy", 0x00A9}, {"ordf", 0x00AA}, {"laquo", 0x00AB}, {"not", 0x00AC},
    {"shy", 0x00AD}, {"reg", 0x00AE}, {"macr", 0x00AF}, {"deg", 0x00B0}, {"plusmn", 0x00B1}, {"sup2", 0x00B2},
    {"sup3", 0x00B3}, {"acute", 0x00B4}, {"micro", 0x00B5}, {"para", 0x00B6}, {"middot", 0x00B7}, {"cedil", 0x00B8},
    {"sup1", 0x00B9}, {"ordm", 0x00BA}, {"raquo", 0x00BB}, {"frac14", 0x00BC}, {"frac12", 0x00BD},
    {"frac34", 0x00BE}, {"iquest", 0x00BF}, {"Agrave", 0x00C0}, {"Aacute", 0x00C1}, {"Acirc", 0x00C2},
    {"Atilde", 0x00C3}, {"Auml", 0x00C4}, {"Aring", 0x00C5}, {"AElig", 0x00C6}, {"Ccedil", 0x00C7},
    {"Egrave", 0x00C8}, {"Eacute", 0x00C9}, {"Ecirc", 0x00CA}, {"Euml", 0x00CB}, {"Igrave", 0x00CC},
    {"Iacute", 0x00CD}, {"Icirc", 0x00CE}, {"Iuml", 0x00CF}, {"ETH", 0x00D0}, {"Ntilde", 0x00D1}, {"Ograve", 0x00D2},
    {"Oacute", 0x00D3}, {"Ocirc", 0x00D4}, {"Otilde", 0x00D5}, {"Ouml", 0x00D6}, {"times", 0x00D7},
    {"Oslash", 0x00D8}, {"Ugrave", 0x00D9}, {"Uacute", 0x00DA}, {"Ucirc", 0x00DB}, {"Uuml", 0x00DC},
    {"Yacute", 0x00DD}, {"THORN", 0x00DE}, {"szlig", 0x00DF}, {"agrave", 0x00E0}, {"aacute", 0x00E1},
    {"acirc", 0x00E2}, {"atilde", 0x00E3}, {"auml", 0x00E4}, {"aring", 0x00E5}, {"aelig", 0x00E6},
    {"ccedil", 0x00E7}, {"egrave", 0x00E8}, {"eacute", 0x00E9}, {"ecirc", 0x00EA}, {"euml", 0x00EB},
    {"igrave", 0x00EC}, {"iacute", 0x00ED}, {"icirc", 0x00EE}, {"iuml", 0x00EF}, {"eth", 0x00F0}, {"ntilde", 0x00F1},
    {"ograve", 0x00F2}, {"oacute", 0x00F3}, {"ocirc", 0x00F4}, {"otilde", 0x00F5}, {"ouml", 0x00F6},
    {"divide", 0x00F7}, {"oslash", 0x00F8}, {"ugrave", 0x00F9}, {"uacute", 0x00FA}, {"ucirc", 0x00FB},
    {"uuml", 0x00FC}, {"yacute", 0x00FD}, {"thorn", 0x00FE}, {"yuml", 0x00FF}, {"OElig", 0x0152}, {"oelig", 0x0153},
    {"Scaron", 0x0160}, {"scaron", 0x0161}, {"Yuml", 0x0178}, {"fnof", 0x0192}, {"circ", 0x02C6}, {"tilde", 0x02DC},
    {"ensp", 0x2002}, {"emsp", 0x2003}, {"thinsp", 0x2009}, {"zwnj", 0x200C}, {"zwj", 0x200D}, {"lrm", 0x200E},
    {"rlm", 0x200F}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"sbquo", 0x201A},
    {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"dagger", 0x2020}, {"Dagger", 0x2021},
    {"bull", 0x2022}, {"hellip", 0x2026}, {"permil", 0x2030}, {"prime", 0x2032}, {"Prime", 0x2033},
    {"lsaquo", 0x2039}, {"rsaquo", 0x203A}, {"oline", 0x203E}, {"frasl", 0x2044}, {"euro", 0x20AC},
    {"trade", 0x2122}, {"larr", 0x2190}, {"uarr", 0x2191}, {"rarr", 0x2192}, {"darr", 0x2193}, {"harr", 0x2194},
    {"minus", 0x2212}, {"le", 0x2264}, {"ge", 0x2265}, {"ne", 0x2260}, {"infin", 0x221E}, {"asymp", 0x2248},
    {"hearts", 0x2665}, {"spades", 0x2660}, {"clubs", 0x2663}, {"diams", 0x2666}, {"loz", 0x25CA},
  };
  if (name.empty() || name.size() > kLongestEntityName) return 0;
  for (const auto& e : kNamed)
    if (name == e.name) return e.ch;
  return 0;
}

std::u16string TitleFromSummary(const std::u16string& summary) {
  std::u16string text = CollapsedText(summary);
  size_t columns = 0, fit = 0;
  while (fit < text.size() && columns + Columns(text[fit]) <= kDerivedTitleColumns) columns += Columns(text[fit++]);
  if (fit == text.size()) return text;
  // One column is kept for the ellipsis.
  if (columns + 1 > kDerivedTitleColumns && fit > 0) --fit;
  if (fit > 0 && text[fit - 1] >= 0xD800 && text[fit - 1] <= 0xDBFF) --fit;
  // After a whole sentence when one ends in the second half of what fits: it reads as a
  // headline and needs no ellipsis.
  for (size_t i = fit; i > fit / 2 && i > 1; --i) {
    char16_t c = text[i - 1];
    bool fullWidthEnd = c == 0x3002 || c == 0xFF01 || c == 0xFF1F;
    bool end = (c == u'.' || c == u'!' || c == u'?') && i < text.size() && text[i] == u' ';
    if (fullWidthEnd || end) {
      text.resize(i);
      return text;
    }
  }
  // Between words when a space lies in the second half of what fits; text without spaces
  // (Chinese, Japanese) is cut at the character.
  size_t space = text.rfind(u' ', fit);
  if (space != std::u16string::npos && space >= fit / 2 && space > 0) fit = space;
  text.resize(fit);
  while (!text.empty() && (IsFeedSpace(text.back()) || text.back() == u',' || text.back() == 0xFF0C ||
                           text.back() == 0x3001))
    text.pop_back();
  text.push_back(kEllipsis);
  return text;
}

bool IsFeedSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == 0x00A0 || c == 0x3000;
}

std::u16string Trimmed(const std::u16string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsFeedSpace(s[b])) ++b;
  while (e > b && IsFeedSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::u16string CollapsedText(const std::u16string& s, size_t maxChars) {
  Collapser c;
  c.out.reserve(maxChars ? std::min(s.size(), maxChars + 1) : s.size());
  for (size_t i = 0; i < s.size() && (maxChars == 0 || c.out.size() <= maxChars); ++i) c.Add(s[i]);
  CutTo(&c.out, maxChars);
  return c.out;
}

std::u16string DecodeHtmlEntities(const std::u16string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (s[i] == u'&') {
      size_t next = DecodeReferenceAt(s, i, &out);
      if (next != i) {
        i = next;
        continue;
      }
    }
    out.push_back(s[i++]);
  }
  return out;
}

std::u16string HtmlToText(const std::u16string& html, size_t maxChars) {
  Collapser c;
  c.out.reserve(maxChars ? std::min(html.size(), maxChars + 1) : html.size());
  std::u16string decoded;
  size_t i = 0;
  const size_t n = html.size();
  while (i < n && (maxChars == 0 || c.out.size() <= maxChars)) {
    char16_t ch = html[i];
    if (ch == u'<') {
      if (html.compare(i, 4, u"<!--") == 0) {
        size_t end = html.find(u"-->", i + 4);
        i = end == std::u16string::npos ? n : end + 3;
        continue;
      }
      bool script = WordAt(html, i + 1, u"script");
      bool style = WordAt(html, i + 1, u"style");
      // A "<" not starting a tag name (or "/", "!", "?") is plain text.
      char16_t next = i + 1 < n ? html[i + 1] : 0;
      bool tag = (next >= u'a' && next <= u'z') || (next >= u'A' && next <= u'Z') || next == u'/' ||
                 next == u'!' || next == u'?';
      if (!tag) {
        c.Add(ch);
        ++i;
        continue;
      }
      // Skip to the tag's end, past quoted attribute values.
      char16_t quote = 0;
      size_t k = i + 1;
      for (; k < n; ++k) {
        if (quote) {
          if (html[k] == quote) quote = 0;
        } else if (html[k] == u'"' || html[k] == u'\'') {
          quote = html[k];
        } else if (html[k] == u'>') {
          break;
        }
      }
      i = k < n ? k + 1 : n;
      if (script || style) {
        const char16_t* close = script ? u"</script" : u"</style";
        size_t end = i;
        while (end < n && !WordAt(html, end, close)) end = html.find(u'<', end + 1);
        if (end >= n) { i = n; continue; }
        size_t gt = html.find(u'>', end);
        i = gt == std::u16string::npos ? n : gt + 1;
      }
      c.Space();  // tags separate words ("a<br>b", "</p><p>")
      continue;
    }
    if (ch == u'&') {
      decoded.clear();
      size_t past = DecodeReferenceAt(html, i, &decoded);
      if (past != i) {
        for (char16_t d : decoded) c.Add(d);
        i = past;
        continue;
      }
    }
    c.Add(ch);
    ++i;
  }
  CutTo(&c.out, maxChars);
  return c.out;
}

std::u16string OpenableAddress(const std::u16string& base, const std::u16string& ref) {
  std::u16string r = Trimmed(ref);
  if (r.empty() || r[0] == u'\\' || (r.size() > 1 && r[1] == u'\\')) return std::u16string();
  for (char16_t c : r)
    if (c < 0x20 || c == u'\\') return std::u16string();  // control characters, UNC or DOS paths
  std::u16string absolute;
  if (HasScheme(r)) {
    absolute = std::move(r);
  } else {
    if (!HasHttpScheme(base)) return std::u16string();
    absolute = net::ResolveUrl(base, r);
  }
  if (!HasHttpScheme(absolute)) return std::u16string();
  size_t host = absolute.find(u"://") + 3;
  if (host >= absolute.size() || absolute[host] == u'/' || absolute[host] == u'?' || absolute[host] == u'#')
    return std::u16string();
  return WithoutDotSegments(std::move(absolute));
}

}  // namespace feed
