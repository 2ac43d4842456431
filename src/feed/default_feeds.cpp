#include "feed/default_feeds.h"

#include <iterator>

namespace feed {
namespace {
#include "feed/builtin_feeds.inc"  // from the build: a test build's own list, if any
}  // namespace

const std::vector<NewsLink>& BuiltInFeeds() {
#ifdef PELINOR_BUILTIN_FEEDS_REPLACED
  static const std::vector<NewsLink> kFeeds(std::begin(kReplacedBuiltInFeeds), std::end(kReplacedBuiltInFeeds));
#else
  static const std::vector<NewsLink> kFeeds = {
      {u"Solidot 科技资讯", u"https://www.solidot.org/index.rss"},
      {u"BBC 中文网", u"https://feeds.bbci.co.uk/zhongwen/simp/rss.xml"},
      {u"纽约时报中文网", u"https://cn.nytimes.com/rss/"},
      {u"Hacker News", u"https://news.ycombinator.com/rss"},
      {u"NASA 新闻", u"https://www.nasa.gov/news-release/feed/"},
  };
#endif
  return kFeeds;
}

std::vector<NewsLink> EffectiveRemoteLinks(const std::vector<NewsLink>& remote,
                                            const std::vector<NewsLink>& custom) {
  if (!remote.empty()) return remote;
  std::vector<NewsLink> out;
  for (const NewsLink& e : BuiltInFeeds()) {
    bool known = false;
    for (const NewsLink& c : custom) known = known || c.url == e.url;
    if (!known) out.push_back(e);
  }
  return out;
}

}  // namespace feed
