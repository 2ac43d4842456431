#include "feed/feed_discovery.h"

#include <algorithm>

#include "feed/feed_encoding.h"
#include "feed/feed_text.h"

namespace feed {
namespace {

// Pages declare their feeds in the head: the first part of a page is enough.
constexpr size_t kMaxScannedChars = 512 * 1024;

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

std::u16string Lowered(std::u16string s) {
  for (char16_t& c : s) c = Lower(c);
  return s;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f'; }

struct Tag {
  std::u16string name;  // lower-case
  std::vector<std::pair<std::u16string, std::u16string>> attributes;  // names lower-case
  const std::u16string* Get(const char16_t* name) const {
    for (const auto& a : attributes)
      if (a.first == name) return &a.second;
    return nullptr;
  }
};

// Reads the tag starting at text[i] == '<' into `tag`; returns the index past it.
size_t ReadTag(const std::u16string& text, size_t i, Tag* tag) {
  const size_t n = text.size();
  size_t p = i + 1;
  while (p < n && !IsSpace(text[p]) && text[p] != u'>' && text[p] != u'/') tag->name.push_back(Lower(text[p++]));
  while (p < n && text[p] != u'>') {
    while (p < n && (IsSpace(text[p]) || text[p] == u'/')) ++p;
    std::u16string name;
    while (p < n && !IsSpace(text[p]) && text[p] != u'>' && text[p] != u'=' && text[p] != u'/')
      name.push_back(Lower(text[p++]));
    while (p < n && IsSpace(text[p])) ++p;
    std::u16string value;
    if (p < n && text[p] == u'=') {
      ++p;
      while (p < n && IsSpace(text[p])) ++p;
      if (p < n && (text[p] == u'"' || text[p] == u'\'')) {
        char16_t quote = text[p++];
        size_t end = text.find(quote, p);
        if (end == std::u16string::npos) end = n;
        value = text.substr(p, end - p);
        p = end < n ? end + 1 : n;
      } else {
        while (p < n && !IsSpace(text[p]) && text[p] != u'>') value.push_back(text[p++]);
      }
    }
    if (!name.empty()) tag->attributes.emplace_back(std::move(name), DecodeHtmlEntities(value));
  }
  return p < n ? p + 1 : n;
}

bool HasToken(const std::u16string& list, const std::u16string& token) {
  std::u16string l = Lowered(list);
  for (size_t p = 0; p < l.size();) {
    while (p < l.size() && IsSpace(l[p])) ++p;
    size_t e = p;
    while (e < l.size() && !IsSpace(l[e])) ++e;
    if (l.compare(p, e - p, token) == 0 && e > p) return true;
    p = e;
  }
  return false;
}

bool IsFeedType(const std::u16string& type) {
  std::u16string t = Lowered(Trimmed(type));
  size_t semi = t.find(u';');  // "application/rss+xml; charset=utf-8"
  if (semi != std::u16string::npos) t = Trimmed(t.substr(0, semi));
  return t == u"application/rss+xml" || t == u"application/atom+xml";
}

}  // namespace

std::vector<std::u16string> DiscoverFeedLinks(const char* data, size_t size, const std::u16string& pageUrl) {
  std::vector<std::u16string> feeds;
  if (!data || size == 0) return feeds;
  std::u16string text = HtmlDocumentToText(data, size);
  if (text.size() > kMaxScannedChars) text.resize(kMaxScannedChars);
  std::u16string base = pageUrl;
  for (size_t i = text.find(u'<'); i != std::u16string::npos && feeds.size() < kMaxDiscoveredFeeds;
       i = text.find(u'<', i)) {
    if (text.compare(i, 4, u"<!--") == 0) {
      size_t end = text.find(u"-->", i + 4);
      if (end == std::u16string::npos) break;
      i = end + 3;
      continue;
    }
    Tag tag;
    i = ReadTag(text, i, &tag);
    if (tag.name == u"body" || tag.name == u"/head") break;  // feeds are announced in the head
    if (tag.name == u"base") {
      if (const std::u16string* href = tag.Get(u"href")) {
        std::u16string resolved = OpenableAddress(base, *href);
        if (!resolved.empty()) base = resolved;
      }
      continue;
    }
    if (tag.name != u"link") continue;
    const std::u16string* rel = tag.Get(u"rel");
    const std::u16string* type = tag.Get(u"type");
    const std::u16string* href = tag.Get(u"href");
    if (!rel || !type || !href || !HasToken(*rel, u"alternate") || !IsFeedType(*type)) continue;
    std::u16string address = OpenableAddress(base, *href);
    if (!address.empty() && std::find(feeds.begin(), feeds.end(), address) == feeds.end()) feeds.push_back(address);
  }
  return feeds;
}

}  // namespace feed
