// HTML-subset parser: a downloaded page full of anchors, and a hostile one whose tags
// never close (every close tag searches for its open tag).
#include <benchmark/benchmark.h>

#include <string>

#include "richtext/html_parser.h"

namespace {

void BM_ParseAnchorPage(benchmark::State& state) {
  std::u16string page;
  while (page.size() < 200000)
    page += u"<div class=\"x\"><a href=\"http://example.com/news/item\" target=\"_blank\">新闻标题 text</a></div>\n";
  richtext::CHtmlParser parser;
  for (auto _ : state) benchmark::DoNotOptimize(parser.Parse(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size() * 2));
}
BENCHMARK(BM_ParseAnchorPage)->Unit(benchmark::kMillisecond);

void BM_ParseUnclosedTags(benchmark::State& state) {
  std::u16string page;
  for (int i = 0; i < 20000; ++i) page += u"<b>x";
  for (int i = 0; i < 20000; ++i) page += u"</a>";
  richtext::CHtmlParser parser;
  for (auto _ : state) benchmark::DoNotOptimize(parser.Parse(page));
}
BENCHMARK(BM_ParseUnclosedTags)->Unit(benchmark::kMillisecond);

}  // namespace
