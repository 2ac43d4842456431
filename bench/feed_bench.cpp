// Feed extraction against TinyXML's bare Parse of the same bytes: a large RSS feed (10 MB,
// 20000 items, CJK titles), a large Atom feed (10 MB, with xml:base, relative links, html
// titles and summaries) and a typical one (about 60 KB, 50 items).
#include <benchmark/benchmark.h>
#include <tinyxml.h>

#include <string>
#include <vector>

#include "feed/feed_parser.h"

namespace {

// Deterministic CJK text of `chars` characters from the common ideograph block.
std::string Cjk(unsigned seed, int chars) {
  std::string s;
  for (int i = 0; i < chars; ++i) {
    seed = seed * 1103515245u + 12345u;
    unsigned cp = 0x4E00 + (seed >> 16) % 0x5000;
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

std::string MakeFeed(int items, int descriptionChars) {
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
      "<title>新闻频道</title>\n<link>http://news.example.com/</link>\n<description>最新消息</description>\n";
  for (int i = 0; i < items; ++i) {
    doc += "<item>\n<title>" + Cjk(i, 18) + " &#8220;" + std::to_string(i) + "&#8221;</title>\n";
    doc += "<link>http://news.example.com/a/" + std::to_string(100000 + i) + ".html</link>\n";
    doc += "<description><![CDATA[<p>" + Cjk(i * 7 + 1, descriptionChars) + "</p>]]></description>\n";
    doc += "<pubDate>Mon, 07 Dec 2026 07:30:00 +0800</pubDate>\n<guid>id-" + std::to_string(i) + "</guid>\n</item>\n";
  }
  return doc + "</channel>\n</rss>\n";
}

std::string MakeAtom(int entries, int summaryChars) {
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\" "
      "xml:base=\"http://blog.example.com/\">\n<title>博客</title>\n<link rel=\"self\" href=\"feed.atom\"/>\n"
      "<updated>2026-12-07T08:00:00Z</updated>\n";
  for (int i = 0; i < entries; ++i) {
    std::string n = std::to_string(i);
    doc += "<entry>\n<title type=\"html\">" + Cjk(i, 18) + " &lt;b&gt;" + n + "&lt;/b&gt;</title>\n";
    doc += "<link rel=\"alternate\" type=\"text/html\" href=\"posts/" + n + ".html\"/>\n";
    doc += "<link rel=\"replies\" href=\"posts/" + n + "/comments\"/>\n";
    doc += "<id>tag:blog.example.com,2026:" + n + "</id>\n<updated>2026-12-07T08:00:00Z</updated>\n";
    doc += "<summary type=\"html\">&lt;p&gt;" + Cjk(i * 7 + 1, summaryChars) + "&lt;/p&gt;</summary>\n";
    doc += "<author><name>作者</name></author>\n</entry>\n";
  }
  return doc + "</feed>\n";
}

const std::string& LargeAtom() {
  static const std::string feed = MakeAtom(16000, 70);  // about 10 MB
  return feed;
}

const std::string& LargeFeed() {
  static const std::string feed = MakeFeed(20000, 75);
  return feed;
}
const std::string& TypicalFeed() {
  static const std::string feed = MakeFeed(50, 310);
  return feed;
}

void Extract(benchmark::State& state, const std::string& feed, int expected, size_t entriesRead = 0) {
  for (auto _ : state) {
    std::vector<FeedItem> items;
    int n = feed::ParseFeedDocument(feed.data(), feed.size(), u"http://news.example.com/rss.xml", &items, nullptr,
                                    nullptr, entriesRead);
    if (n != expected) state.SkipWithError("wrong item count");
    benchmark::DoNotOptimize(items.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(feed.size()));
  state.counters["bytes"] = static_cast<double>(feed.size());
}

void BareParse(benchmark::State& state, const std::string& feed) {
  for (auto _ : state) {
    TiXmlDocument doc;
    doc.Parse(feed.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
    if (doc.Error() || !doc.RootElement()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(doc.RootElement());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(feed.size()));
}

void BM_FeedExtract_Large(benchmark::State& state) { Extract(state, LargeFeed(), 20000); }
void BM_TinyXmlBareParse_Large(benchmark::State& state) { BareParse(state, LargeFeed()); }
// What a refresh reads of the same documents: their first entries.
void BM_FeedRefreshRead_Large(benchmark::State& state) {
  Extract(state, LargeFeed(), static_cast<int>(feed::kEntriesRead), feed::kEntriesRead);
}
void BM_FeedRefreshRead_LargeAtom(benchmark::State& state) {
  Extract(state, LargeAtom(), static_cast<int>(feed::kEntriesRead), feed::kEntriesRead);
}
void BM_FeedExtract_LargeAtom(benchmark::State& state) { Extract(state, LargeAtom(), 16000); }
void BM_TinyXmlBareParse_LargeAtom(benchmark::State& state) { BareParse(state, LargeAtom()); }
void BM_FeedExtract_Typical(benchmark::State& state) { Extract(state, TypicalFeed(), 50); }
void BM_TinyXmlBareParse_Typical(benchmark::State& state) { BareParse(state, TypicalFeed()); }
// A typical feed has fewer entries than a refresh reads: it pays the look for a head too.
void BM_FeedRefreshRead_Typical(benchmark::State& state) {
  Extract(state, TypicalFeed(), 50, feed::kEntriesRead);
}

BENCHMARK(BM_FeedExtract_Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TinyXmlBareParse_Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedRefreshRead_Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedRefreshRead_LargeAtom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedExtract_LargeAtom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TinyXmlBareParse_LargeAtom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedExtract_Typical)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TinyXmlBareParse_Typical)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FeedRefreshRead_Typical)->Unit(benchmark::kMicrosecond);

}  // namespace
