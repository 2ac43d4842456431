// Turns a downloaded feed document into its items: an RSS 2.0, RSS 1.0/0.90 or Atom
// 1.0/0.3 document, or for the HTML-list site a plain page whose anchors are the items. Pure computation on bytes,
// shared by the refresh worker, feeddump, the tests and the fuzz target.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "model/feed_item.h"

namespace feed {

// Result codes of a refresh when no item was delivered.
constexpr int kFeedErrorUnknown = -1;   // nothing was requested (no version text)
constexpr int kFeedErrorFormat = -2;    // the document yielded no item
constexpr int kFeedErrorDownload = -3;  // the download failed

// Feed URLs containing this text (case-sensitive) are plain HTML pages listing links.
extern const char16_t kHtmlListSiteDomain[];
// Feed URLs containing this text get a trailing bracketed remark cut from their titles.
extern const char16_t kBracketTrimSiteDomain[];

// The address a widget refreshes from: its feed URL plus "refresh=1" ("?" or "&").
std::u16string FeedRefreshUrl(const std::u16string& feedUrl);

// Parses `size` bytes downloaded from `feedUrl` (relative addresses resolve against it).
// Returns the number of items (> 0), appended to `items` in document order, or
// kFeedErrorFormat when there is none. `title`, when given, receives the feed's own title
// (empty when it has none, and for the HTML-list site). `withoutEntries`, when given, tells
// whether the document is a feed that has no entries yet (see IsFeedWithoutEntries).
//
// With `entriesRead` above 0, a feed document with more entries than that is first read only
// up to the end of its entriesRead-th entry, and that reading is taken when it yields at
// least kEntriesWanted items: those are the whole document's first items, in order, and a
// large archive feed (thousands of entries) then costs a fraction of its size in memory and
// time. Otherwise, and for the HTML-list site, the whole document is read.
int ParseFeedDocument(const char* data, size_t size, const std::u16string& feedUrl,
                      std::vector<FeedItem>* items, std::u16string* title = nullptr,
                      bool* withoutEntries = nullptr, size_t entriesRead = 0);

// What a refresh reads of a feed: a widget shows its first items only.
constexpr size_t kEntriesRead = 100;
constexpr int kEntriesWanted = 10;

// --- Steps of the parse, exposed for tests ---

// The document as UTF-8: a byte-order mark, UTF-16 without one, or the encoding its XML
// declaration names decides; undeclared text that is not UTF-8 is read in the ANSI code
// page. Invalid sequences become U+FFFD.
std::string XmlDocumentToUtf8(const char* data, size_t size);

// The document with the ampersands that start no XML reference mended, as sloppy feeds
// write them: an HTML name ("&nbsp;", "&hellip;") becomes the number of its character,
// any other (a bare "&" in "AT&T" or in "?a=1&b=2") becomes "&amp;". CDATA sections and
// comments are left as they are.
std::string RepairedXmlReferences(std::string xml);

// A document that failed to parse, mended as far as feeds commonly go wrong: text before
// it (a script's warnings) cut, and HTML put into a description, content:encoded or Atom
// summary/content without escaping (an unclosed <br>, say) wrapped in a CDATA section.
// Empty when there is nothing to mend.
std::string RecoveredXmlFeed(const std::string& xml);

// A page as text: a byte-order mark, else the charset its head declares, else UTF-8 when
// it is, else the ANSI code page.
std::u16string HtmlDocumentToText(const char* data, size_t size);
// The charset a page declares in its first few kilobytes, lower-cased; empty when none.
std::string DeclaredHtmlCharset(const char* data, size_t size);

// The document cut after the end tag of its `entries`-th entry (an RSS item or Atom entry,
// at the depth of the first one), with end tags added for the elements still open there;
// empty when it has no more than that many entries or its markup cannot be followed.
std::string FeedHead(const std::string& xml, size_t entries);

// The encoding named in a leading XML declaration, lower-cased; empty when none.
std::string DeclaredXmlEncoding(const char* data, size_t size);

// The title without a trailing bracketed remark "(...)" or "（...）" (the bracket-trimming
// site's convention); unchanged when nothing would be left.
std::u16string TrimBracketedRemark(const std::u16string& title);

}  // namespace feed
