#include "feed/feed_formats.h"

#include <tinyxml.h>

#include <cstring>

#include "feed/feed_site_rules.h"
#include "feed/feed_text.h"
#include "platform/text.h"

namespace feed {
namespace {

constexpr char kAtom10Ns[] = "http://www.w3.org/2005/Atom";
constexpr char kAtom03Ns[] = "http://purl.org/atom/ns#";
constexpr char kRdfNs[] = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr char kRss10Ns[] = "http://purl.org/rss/1.0/";
constexpr char kRss090Ns[] = "http://my.netscape.com/rdf/simple/0.9/";
constexpr char kContentNs[] = "http://purl.org/rss/1.0/modules/content/";
constexpr char kDublinCoreNs[] = "http://purl.org/dc/elements/1.1/";
constexpr char kAlternateIri[] = "http://www.iana.org/assignments/relation/alternate";

bool Eq(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

const char* LocalName(const TiXmlElement* e) {
  const char* name = e->Value();
  const char* colon = std::strchr(name, ':');
  return colon ? colon + 1 : name;
}

// The namespace bound to the element's prefix (or the default one), looked up through
// its ancestors' xmlns attributes; "" when none is bound.
const char* NamespaceOf(const TiXmlElement* e) {
  const char* name = e->Value();
  const char* colon = std::strchr(name, ':');
  size_t prefix = colon ? static_cast<size_t>(colon - name) : 0;
  for (const TiXmlNode* n = e; n; n = n->Parent()) {
    const TiXmlElement* el = n->ToElement();
    if (!el) break;
    for (const TiXmlAttribute* a = el->FirstAttribute(); a; a = a->Next()) {
      const char* an = a->Name();
      if (std::strncmp(an, "xmlns", 5) != 0) continue;
      bool match = prefix == 0 ? an[5] == 0
                               : an[5] == ':' && std::strncmp(an + 6, name, prefix) == 0 && an[6 + prefix] == 0;
      if (match) return a->Value();
    }
  }
  return "";
}

// The first child element of `parent` with this local name, in any namespace.
const TiXmlElement* ChildNamed(const TiXmlElement* parent, const char* local) {
  for (const TiXmlElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement())
    if (Eq(LocalName(e), local)) return e;
  return nullptr;
}

bool Is(const TiXmlElement* e, const char* local, const char* ns) {
  return Eq(LocalName(e), local) && Eq(NamespaceOf(e), ns);
}

std::u16string Wide(const std::string& utf8) { return platform::Utf8ToU16(utf8); }

// The element's own text: its text and CDATA children joined.
std::string OwnText(const TiXmlElement* e) {
  std::string text;
  for (const TiXmlNode* n = e->FirstChild(); n; n = n->NextSibling())
    if (const TiXmlText* t = n->ToText()) text += t->Value();
  return text;
}

// The element's own text, wide. A single text child (the usual case) is converted where
// it lies, without joining.
std::u16string OwnWideText(const TiXmlElement* e) {
  const TiXmlNode* first = e->FirstChild();
  const TiXmlText* only = first && !first->NextSibling() ? first->ToText() : nullptr;
  return only ? platform::Utf8ToU16(only->ValueStr()) : Wide(OwnText(e));
}

// Bytes of markup read for a text construct of at most `maxChars` characters.
size_t ReadLimit(size_t maxChars) { return maxChars * 16 + 4096; }

// Every text below the element, as an XHTML text construct shows it.
void DescendantText(const TiXmlNode* node, std::string* out, size_t limit) {
  for (const TiXmlNode* n = node->FirstChild(); n && out->size() < limit; n = n->NextSibling()) {
    if (const TiXmlText* t = n->ToText()) {
      *out += t->Value();
      *out += ' ';
    } else if (n->ToElement()) {
      *out += ' ';
      DescendantText(n, out, limit);
    }
  }
}

// The element's text, wide: its own text, or with elements in it (a producer's unescaped
// "<b>"), every text below it.
std::u16string PlainWideText(const TiXmlElement* e, size_t maxChars) {
  if (!e->FirstChildElement()) return OwnWideText(e);
  std::string text;
  DescendantText(e, &text, ReadLimit(maxChars));
  return Wide(text);
}

enum class TextKind { kText, kHtml, kXhtml, kNone };

TextKind AtomTextKind(const TiXmlElement* e, bool atom03) {
  const char* type = e->Attribute("type");
  if (atom03) {
    const char* mode = e->Attribute("mode");
    if (Eq(mode, "escaped")) return TextKind::kHtml;
    if (Eq(mode, "base64")) return TextKind::kNone;
    if (Eq(type, "text/html")) return TextKind::kHtml;
    if (Eq(type, "application/xhtml+xml")) return TextKind::kXhtml;
    return TextKind::kText;
  }
  if (Eq(type, "html") || Eq(type, "text/html")) return TextKind::kHtml;
  if (Eq(type, "xhtml") || Eq(type, "application/xhtml+xml")) return TextKind::kXhtml;
  return TextKind::kText;
}

std::u16string TextOf(const TiXmlElement* e, TextKind kind, size_t maxChars) {
  switch (kind) {
    case TextKind::kHtml: {
      const TiXmlNode* first = e->FirstChild();
      const TiXmlText* only = first && !first->NextSibling() ? first->ToText() : nullptr;
      if (only && only->ValueStr().size() <= ReadLimit(maxChars)) return HtmlToText(OwnWideText(e), maxChars);
      std::string html = OwnText(e);
      if (html.size() > ReadLimit(maxChars)) html.resize(ReadLimit(maxChars));
      return HtmlToText(Wide(html), maxChars);
    }
    case TextKind::kXhtml: {
      std::string text;
      DescendantText(e, &text, ReadLimit(maxChars));
      return CollapsedText(Wide(text), maxChars);
    }
    case TextKind::kText: return CollapsedText(PlainWideText(e, maxChars), maxChars);
    case TextKind::kNone: break;
  }
  return std::u16string();
}

// `outer` with the element's xml:base applied; a base that is no web address is ignored.
std::u16string WithBase(const std::u16string& outer, const TiXmlElement* e) {
  const char* base = e->Attribute("xml:base");
  if (!base) return outer;
  std::u16string resolved = OpenableAddress(outer, Wide(base));
  return resolved.empty() ? outer : resolved;
}

// The same without a copy when the element has no xml:base (the usual case): the result
// is `outer` itself or `*storage`.
const std::u16string& BaseOf(const std::u16string& outer, const TiXmlElement* e, std::u16string* storage) {
  if (!e->Attribute("xml:base")) return outer;
  *storage = WithBase(outer, e);
  return *storage;
}

std::u16string Titled(std::u16string title, bool trimRemarks) {
  return trimRemarks ? TrimBracketedRemark(title) : title;
}

// An entry as read from its element, and whether that had a title element.
struct ReadEntry {
  FeedItem item;
  bool titled = false;
};

// A document's entries as read, before the untitled ones are dealt with.
class Entries {
 public:
  void Add(ReadEntry entry) {
    anyTitled_ = anyTitled_ || entry.titled;
    read_.push_back(std::move(entry.item));
  }
  // Appends the entries that have a title and an address. In a feed none of whose entries
  // has a title element (the posts of social and micro-blog feeds), each takes the start
  // of its summary as its title; where some have one, an untitled entry is skipped.
  size_t AppendTo(std::vector<FeedItem>* items) {
    size_t before = items->size();
    for (FeedItem& item : read_) {
      if (!anyTitled_) item.title = TitleFromSummary(item.summary);
      if (!item.title.empty() && !item.link.empty()) items->push_back(std::move(item));
    }
    return items->size() - before;
  }

 private:
  std::vector<FeedItem> read_;
  bool anyTitled_ = false;
};

// --- RSS 2.0 and RDF (RSS 1.0 / 0.90): title, link, guid, description, date ---

// `ns` is the namespace of the format's own elements.
ReadEntry RssItem(const TiXmlElement* item, const char* ns, const std::u16string& base, bool trimRemarks) {
  ReadEntry entry;
  FeedItem& out = entry.item;
  std::u16string itemStorage, linkStorage;
  const std::u16string& itemBase = BaseOf(base, item, &itemStorage);
  std::u16string content;
  bool haveLink = false;
  for (const TiXmlElement* c = item->FirstChildElement(); c; c = c->NextSiblingElement()) {
    const char* local = LocalName(c);
    if (Eq(local, "title") && out.title.empty() && Eq(NamespaceOf(c), ns)) {
      entry.titled = true;
      out.title = Titled(CollapsedText(PlainWideText(c, kMaxTitleChars), kMaxTitleChars), trimRemarks);
    } else if (Eq(local, "link") && !haveLink && Eq(NamespaceOf(c), ns)) {
      haveLink = true;
      out.link = OpenableAddress(BaseOf(itemBase, c, &linkStorage), OwnWideText(c));
    } else if (Eq(local, "description") && out.summary.empty() && Eq(NamespaceOf(c), ns)) {
      out.summary = TextOf(c, TextKind::kHtml, kMaxSummaryChars);
    } else if (Eq(local, "encoded") && content.empty() && Eq(NamespaceOf(c), kContentNs)) {
      content = TextOf(c, TextKind::kHtml, kMaxSummaryChars);
    } else if ((Eq(local, "pubDate") && Eq(NamespaceOf(c), ns)) ||
               (Eq(local, "date") && out.date.empty() && Eq(NamespaceOf(c), kDublinCoreNs))) {
      out.date = CollapsedText(OwnWideText(c), 64);
    }
  }
  // A guid that is a permalink stands in for a missing link, and else an enclosure (the
  // episode of a podcast without pages); they are read only then.
  for (const TiXmlElement* c = item->FirstChildElement(); c && out.link.empty(); c = c->NextSiblingElement())
    if (Eq(LocalName(c), "guid") && Eq(NamespaceOf(c), ns) && !Eq(c->Attribute("isPermaLink"), "false"))
      out.link = OpenableAddress(BaseOf(itemBase, c, &linkStorage), OwnWideText(c));
  for (const TiXmlElement* c = item->FirstChildElement(); c && out.link.empty(); c = c->NextSiblingElement())
    if (Eq(LocalName(c), "enclosure") && Eq(NamespaceOf(c), ns) && c->Attribute("url"))
      out.link = OpenableAddress(BaseOf(itemBase, c, &linkStorage), Wide(c->Attribute("url")));
  if (out.summary.empty()) out.summary = content;
  return entry;
}

size_t ExtractRss2(const TiXmlElement* root, const std::u16string& docUrl, bool trimRemarks,
                   std::vector<FeedItem>* items) {
  // RSS 2.0 has no namespace; a document that puts its elements into one (under a
  // prefix or as the default) keeps them in the root's.
  const char* ns = NamespaceOf(root);
  const TiXmlElement* channel = nullptr;
  for (const TiXmlElement* c = root->FirstChildElement(); c && !channel; c = c->NextSiblingElement())
    if (Is(c, "channel", ns)) channel = c;
  if (!channel) channel = root->FirstChildElement();  // whatever the root holds first
  if (!channel) return 0;
  std::u16string base = WithBase(WithBase(docUrl, root), channel);
  Entries entries;
  for (const TiXmlElement* e = channel->FirstChildElement(); e; e = e->NextSiblingElement())
    if (Eq(LocalName(e), "item") && Eq(NamespaceOf(e), ns)) entries.Add(RssItem(e, ns, base, trimRemarks));
  return entries.AppendTo(items);
}

size_t ExtractRdf(const TiXmlElement* root, const std::u16string& docUrl, bool trimRemarks,
                  std::vector<FeedItem>* items) {
  std::u16string base = WithBase(docUrl, root);
  const TiXmlElement* channel = nullptr;
  Entries beside;
  for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
    const char* ns = NamespaceOf(e);
    if (!Eq(ns, kRss10Ns) && !Eq(ns, kRss090Ns)) continue;
    if (Eq(LocalName(e), "item")) beside.Add(RssItem(e, ns, base, trimRemarks));
    else if (Eq(LocalName(e), "channel") && !channel) channel = e;
  }
  size_t appended = beside.AppendTo(items);
  // Some producers put the items inside the channel.
  if (appended == 0 && channel) {
    const char* ns = NamespaceOf(channel);
    std::u16string channelBase = WithBase(base, channel);
    Entries inside;
    for (const TiXmlElement* e = channel->FirstChildElement(); e; e = e->NextSiblingElement())
      if (Eq(LocalName(e), "item") && Eq(NamespaceOf(e), ns)) inside.Add(RssItem(e, ns, channelBase, trimRemarks));
    appended = inside.AppendTo(items);
  }
  return appended;
}

// --- Atom 1.0 and 0.3 ---

bool IsAlternate(const TiXmlElement* link) {
  const char* rel = link->Attribute("rel");
  return !rel || Eq(rel, "alternate") || Eq(rel, kAlternateIri);
}

bool IsHtmlType(const char* type) {
  return type && (std::strncmp(type, "text/html", 9) == 0 || Eq(type, "application/xhtml+xml"));
}

ReadEntry AtomEntry(const TiXmlElement* entry, const char* ns, bool atom03, const std::u16string& base,
                    bool trimRemarks) {
  ReadEntry read;
  FeedItem& out = read.item;
  std::u16string entryStorage, linkStorage;
  const std::u16string& entryBase = BaseOf(base, entry, &entryStorage);
  std::u16string anyAlternate, enclosure, content;
  bool htmlLink = false;
  for (const TiXmlElement* c = entry->FirstChildElement(); c; c = c->NextSiblingElement()) {
    const char* local = LocalName(c);
    if (!Eq(NamespaceOf(c), ns)) continue;
    if (Eq(local, "title") && out.title.empty()) {
      read.titled = true;
      out.title = Titled(TextOf(c, AtomTextKind(c, atom03), kMaxTitleChars), trimRemarks);
    } else if (Eq(local, "link") && !htmlLink && IsAlternate(c)) {
      const char* href = c->Attribute("href");
      std::u16string address = href ? OpenableAddress(BaseOf(entryBase, c, &linkStorage), Wide(href)) : std::u16string();
      if (address.empty()) continue;
      if (IsHtmlType(c->Attribute("type"))) {
        out.link = address;
        htmlLink = true;
      } else if (anyAlternate.empty()) {
        anyAlternate = address;
      }
    } else if (Eq(local, "link") && enclosure.empty() && Eq(c->Attribute("rel"), "enclosure") && c->Attribute("href")) {
      enclosure = OpenableAddress(BaseOf(entryBase, c, &linkStorage), Wide(c->Attribute("href")));
    } else if (Eq(local, "summary") && out.summary.empty()) {
      out.summary = TextOf(c, AtomTextKind(c, atom03), kMaxSummaryChars);
    } else if (Eq(local, "content") && content.empty() && !c->Attribute("src")) {
      content = TextOf(c, AtomTextKind(c, atom03), kMaxSummaryChars);
    } else if (Eq(local, atom03 ? "modified" : "updated") ||
               (out.date.empty() && Eq(local, atom03 ? "issued" : "published"))) {
      out.date = CollapsedText(OwnWideText(c), 64);
    }
  }
  if (out.link.empty()) out.link = anyAlternate.empty() ? enclosure : anyAlternate;
  if (out.summary.empty()) out.summary = content;
  return read;
}

size_t ExtractAtom(const TiXmlElement* root, const std::u16string& docUrl, bool atom03, bool trimRemarks,
                   std::vector<FeedItem>* items) {
  const char* ns = NamespaceOf(root);
  std::u16string base = WithBase(docUrl, root);
  Entries entries;
  for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement())
    if (Eq(LocalName(e), "entry") && Eq(NamespaceOf(e), ns)) entries.Add(AtomEntry(e, ns, atom03, base, trimRemarks));
  return entries.AppendTo(items);
}

}  // namespace

FeedFormat DetectFeedFormat(const TiXmlDocument& doc) {
  const TiXmlElement* root = doc.FirstChildElement();
  if (!root) return FeedFormat::kUnknown;
  const char* local = LocalName(root);
  const char* ns = NamespaceOf(root);
  if (Eq(local, "feed") && Eq(ns, kAtom03Ns)) return FeedFormat::kAtom03;
  if (Eq(local, "feed") && (Eq(ns, kAtom10Ns) || !*ns)) return FeedFormat::kAtom10;
  if (Eq(local, "RDF") && Eq(ns, kRdfNs)) return FeedFormat::kRdf;
  return FeedFormat::kRss2;  // any other root is read the RSS 2.0 way
}

size_t ExtractFeedItems(const TiXmlDocument& doc, const std::u16string& documentUrl, bool trimRemarks,
                        std::vector<FeedItem>* items) {
  const TiXmlElement* root = doc.FirstChildElement();
  if (!root) return 0;
  switch (DetectFeedFormat(doc)) {
    case FeedFormat::kAtom10: return ExtractAtom(root, documentUrl, false, trimRemarks, items);
    case FeedFormat::kAtom03: return ExtractAtom(root, documentUrl, true, trimRemarks, items);
    case FeedFormat::kRdf: return ExtractRdf(root, documentUrl, trimRemarks, items);
    case FeedFormat::kRss2: return ExtractRss2(root, documentUrl, trimRemarks, items);
    case FeedFormat::kUnknown: break;
  }
  return 0;
}

bool IsFeedWithoutEntries(const TiXmlDocument& doc) {
  const TiXmlElement* root = doc.FirstChildElement();
  if (!root) return false;
  const TiXmlElement* channel = ChildNamed(root, "channel");
  switch (DetectFeedFormat(doc)) {
    case FeedFormat::kAtom10: case FeedFormat::kAtom03: return !ChildNamed(root, "entry");
    case FeedFormat::kRdf: return !ChildNamed(root, "item") && !(channel && ChildNamed(channel, "item"));
    case FeedFormat::kRss2: return Eq(LocalName(root), "rss") && channel && !ChildNamed(channel, "item");
    case FeedFormat::kUnknown: break;
  }
  return false;
}

std::u16string ExtractFeedTitle(const TiXmlDocument& doc) {
  const TiXmlElement* root = doc.FirstChildElement();
  if (!root) return std::u16string();
  const FeedFormat format = DetectFeedFormat(doc);
  const bool atom = format == FeedFormat::kAtom10 || format == FeedFormat::kAtom03;
  // Atom keeps its title on the root; RSS and RDF on the channel.
  const TiXmlElement* holder = root;
  if (!atom) {
    holder = ChildNamed(root, "channel");
    if (!holder) return std::u16string();
  }
  for (const TiXmlElement* e = holder->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (!Eq(LocalName(e), "title")) continue;
    TextKind kind = atom ? AtomTextKind(e, format == FeedFormat::kAtom03) : TextKind::kText;
    return TextOf(e, kind, kMaxTitleChars);
  }
  return std::u16string();
}

}  // namespace feed
