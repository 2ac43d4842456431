#include "feed/opml.h"

#include <tinyxml.h>

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "feed/feed_encoding.h"
#include "feed/feed_repair.h"
#include "feed/feed_text.h"
#include "net/url.h"
#include "platform/text.h"
#include "platform/xml_guard.h"

namespace feed {
namespace {

// Text for an attribute value or element content: markup characters and the white space
// an attribute would lose written as references; characters XML 1.0 cannot hold dropped.
std::string Escaped(const std::u16string& text) {
  std::u16string kept;
  kept.reserve(text.size());
  for (char16_t c : text) {
    if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF) continue;
    kept.push_back(c);
  }
  std::string out;
  for (char c : platform::U16ToUtf8(kept)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool EqualsNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (Lower(static_cast<unsigned char>(*a)) != Lower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

// An attribute by name, whatever its case: exporters write "xmlUrl", "xmlurl" and "XMLURL".
const char* AttributeNoCase(const TiXmlElement* e, const char* name) {
  for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next())
    if (EqualsNoCase(a->Name(), name)) return a->Value();
  return nullptr;
}

// "feed://host/x" and "feed:http://host/x" are how some pages hand a feed to a reader.
std::u16string WithoutFeedScheme(const std::u16string& address) {
  std::u16string head = address.substr(0, 5);
  for (char16_t& c : head) c = Lower(c);
  if (head != u"feed:") return address;
  std::u16string rest = address.substr(5);
  if (rest.compare(0, 2, u"//") == 0) return u"http:" + rest;
  return rest;
}

// A name as it may be written: one that repeats the address's user name and password
// (an address used as a name) is written without them.
std::u16string WrittenName(const std::u16string& name, const std::u16string& address) {
  const std::u16string bare = net::WithoutUserInfo(address);
  if (bare == address) return name;
  // What the address loses is "user:password@", right after its scheme.
  const size_t scheme = address.find(u"://");
  const size_t begin = scheme == std::u16string::npos ? 0 : scheme + 3;
  const std::u16string withAt = address.substr(begin, address.size() - bare.size());
  std::u16string out = name;
  for (const std::u16string& secret : {withAt, withAt.substr(0, withAt.size() - 1)}) {
    if (secret.empty()) continue;
    for (size_t at = out.find(secret); at != std::u16string::npos; at = out.find(secret, at)) out.erase(at, secret.size());
  }
  return out;
}

std::u16string NameOf(const TiXmlElement* outline, const std::u16string& address) {
  for (const char* attribute : {"text", "title"}) {
    const char* value = AttributeNoCase(outline, attribute);
    std::u16string name = value ? CollapsedText(platform::Utf8ToU16(value), kMaxTitleChars) : std::u16string();
    if (!name.empty()) return name;
  }
  // The host: between "://" and the port, path, query or fragment.
  size_t start = address.find(u"://") + 3;
  size_t end = address.find_first_of(u":/?#", start);
  std::u16string host = address.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
  return host.empty() ? address : host;
}

}  // namespace

std::string WriteOpml(const std::vector<NewsLink>& links, const std::u16string& title) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<opml version=\"2.0\">\r\n\t<head>\r\n\t\t<title>" +
      Escaped(title) + "</title>\r\n\t</head>\r\n\t<body>\r\n";
  for (const NewsLink& link : links) {
    const std::string name = Escaped(WrittenName(link.name, link.url));
    out += "\t\t<outline type=\"rss\" text=\"" + name + "\" title=\"" + name + "\" xmlUrl=\"" +
           Escaped(net::WithoutUserInfo(link.url)) + "\"/>\r\n";
  }
  out += "\t</body>\r\n</opml>\r\n";
  return out;
}

OpmlImport ReadOpml(const char* data, size_t size, const std::vector<NewsLink>& existing, size_t room) {
  OpmlImport result;
  if (size > kMaxOpmlBytes) {
    result.status = OpmlStatus::kTooLarge;
    return result;
  }
  if (!data || size == 0) return result;
  // Exporters slip as feeds do: a bare "&" in an address or a name is read as itself.
  const std::string text = RepairedXmlReferences(XmlDocumentToUtf8(data, size));
  if (!platform::XmlNestingAcceptable(text.data(), text.size())) return result;
  TiXmlDocument doc;
  doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
  const TiXmlElement* root = doc.RootElement();
  if (doc.Error() || !root || !EqualsNoCase(root->Value(), "opml")) return result;
  result.status = OpmlStatus::kRead;

  std::unordered_set<std::u16string> seen;
  for (const NewsLink& link : existing) seen.insert(net::AddressKey(link.url));
  // Outlines in document order at any depth: folders are flattened.
  std::vector<const TiXmlElement*> pending;
  for (const TiXmlElement* body = root->FirstChildElement(); body; body = body->NextSiblingElement())
    if (EqualsNoCase(body->Value(), "body")) pending.push_back(body);
  std::reverse(pending.begin(), pending.end());
  while (!pending.empty()) {
    const TiXmlElement* e = pending.back();
    pending.pop_back();
    std::vector<const TiXmlElement*> children;
    for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement())
      if (EqualsNoCase(c->Value(), "outline")) children.push_back(c);
    pending.insert(pending.end(), children.rbegin(), children.rend());
    if (e == root || !EqualsNoCase(e->Value(), "outline")) continue;

    const char* xmlUrl = AttributeNoCase(e, "xmlUrl");
    if (!xmlUrl) {
      const char* type = AttributeNoCase(e, "type");
      // A feed entry without its address counts as left out; folders and notes do not count.
      if (type && (EqualsNoCase(type, "rss") || EqualsNoCase(type, "atom"))) ++result.skipped;
      continue;
    }
    const std::u16string address = OpenableAddress(std::u16string(), WithoutFeedScheme(platform::Utf8ToU16(xmlUrl)));
    // Non-characters cannot be written back to a file, nor belong in an address.
    const bool writable = address.find_first_of(u"\uFFFE\uFFFF") == std::u16string::npos;
    // A repeat of one left out for want of room counts as a repeat.
    if (address.empty() || !writable || !seen.insert(net::AddressKey(address)).second) {
      ++result.skipped;
      continue;
    }
    if (result.links.size() >= room) {
      ++result.skipped;
      ++result.noRoom;
      continue;
    }
    result.links.push_back(NewsLink{NameOf(e, address), address});
  }
  return result;
}

}  // namespace feed
