// data.dat: building the document for a save and reading it back at start-up, for a
// typical profile (20 feed widgets with ten items of generated content each).
#include <benchmark/benchmark.h>
#include <tinyxml.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "store/data_store.h"

namespace {

constexpr int kWidgets = 20;

struct Profile {
  Profile() {
    platform::SetAnsiCodePageForTests(936);
    m.custom_links.assign(30, NewsLink{u"新闻频道", u"http://example.com/rss?id=1&x=2"});
    notes.resize(kWidgets);
    for (auto& n : notes) {
      for (int i = 0; i < 10; ++i)
        n.content += u"<font color=\"#000000\"><a href=\"http://example.com/item\">今日要闻标题一则</a></font><br>";
      n.rssurl = u"http://example.com/rss";
    }
  }
  ManagerData m;
  std::vector<CNotesLocalInfo> notes;
};

void BM_SaveDocument(benchmark::State& state) {
  Profile p;
  for (auto _ : state) {
    std::string bytes = store::EncodeDataFile(store::BuildDataDocument({p.m, p.notes}, {1920, 1080}));
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_SaveDocument);

void BM_LoadDocument(benchmark::State& state) {
  Profile p;
  const std::string bytes = store::EncodeDataFile(store::BuildDataDocument({p.m, p.notes}, {1920, 1080}));
  state.SetBytesProcessed(0);
  for (auto _ : state) {
    TiXmlDocument doc;
    store::ParseDataFile(bytes, &doc);
    ManagerData m;
    store::ReadSettings(doc.RootElement(), &m);
    int n = store::ReadNotes(doc.RootElement(), {1920, 1080}, 1, [](const CNotesLocalInfo&) { return true; });
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadDocument);

}  // namespace
