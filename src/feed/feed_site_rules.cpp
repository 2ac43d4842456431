// Rules for particular sites: the HTML-list site whose page anchors are the items, and the
// site whose titles carry a trailing bracketed remark.
#include "feed/feed_site_rules.h"

#include "feed/feed_encoding.h"
#include "feed/feed_parser.h"
#include "feed/feed_text.h"
#include "net/url.h"
#include "richtext/html_parser.h"

namespace feed {

const char16_t kHtmlListSiteDomain[] = u"list.pelinor.example";
const char16_t kBracketTrimSiteDomain[] = u"news.qiaoyu.example";

namespace {

// Links a user can open: scripts and same-page fragments are not items.
bool IsOpenableLink(const std::u16string& href) {
  if (href.empty() || href[0] == u'#') return false;
  std::u16string scheme = href.substr(0, 11);
  for (char16_t& c : scheme)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return scheme != u"javascript:";
}

}  // namespace

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

}  // namespace feed
