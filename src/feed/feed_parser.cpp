#include "feed/feed_parser.h"

#include <tinyxml.h>

#include <iterator>
#include <utility>

#include "feed/feed_encoding.h"
#include "feed/feed_formats.h"
#include "feed/feed_repair.h"
#include "feed/feed_site_rules.h"
#include "platform/xml_guard.h"

namespace feed {

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

}  // namespace

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
