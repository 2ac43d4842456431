// Mends for XML feeds that are not well-formed the way feeds commonly go wrong.
#include "feed/feed_repair.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "feed/feed_encoding.h"
#include "feed/feed_text.h"

namespace feed {

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

}  // namespace

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

}  // namespace feed
