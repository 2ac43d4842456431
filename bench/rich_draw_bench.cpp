// Rich-text engine: content replacement, relayout after a one-character edit, hit-testing,
// at the item limit of 20000.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "richtext/fixed_measurer.h"
#include "richtext/rich_draw.h"

namespace {

using namespace richtext;

using Measurer = FixedWidthMeasurer;

// About `chars` characters of feed-like content: styled titles, links, plain text, breaks.
std::u16string MixedHtml(size_t chars) {
  std::u16string out;
  size_t text = 0;
  for (int i = 0; text < chars; ++i) {
    std::u16string title = u"新闻标题 number " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) +
                           u" with some words www.site.com/p";
    out += u"<font color=\"#1a2b3c\" size=\"" + std::u16string(1, static_cast<char16_t>(u'8' + i % 2)) +
           u"\"" + (i % 3 == 0 ? u" bold=\"1\"" : u"") + u"><a href=\"http://example.com/item\">" + title +
           u"</a></font> plain text after it<br>";
    text += title.size() + 20 + 2;
  }
  return out;
}

std::unique_ptr<CRichDraw> Engine() {
  auto e = std::make_unique<CRichDraw>(std::make_unique<Measurer>());
  e->SetRect(0, 0, 300, 400);
  return e;
}

// Gives the engine styled content just over `margin` items below the limit; returns it.
std::u16string SetNearTheLimit(CRichDraw& e, int margin) {
  std::u16string html;
  for (size_t chars = 20000; chars > 0; chars -= 100) {
    html = MixedHtml(chars);
    e.SetHtml(html);
    if (e.GetItemCount() < kItemLimit - margin) break;
  }
  return html;
}

void BM_SetHtml20000Chars(benchmark::State& state) {
  auto e = Engine();
  std::u16string html = MixedHtml(20000);
  for (auto _ : state) {
    e->SetHtml(html);
    benchmark::DoNotOptimize(e->GetContentHeight());
  }
  state.counters["items"] = e->GetItemCount();
  state.counters["html_chars"] = static_cast<double>(html.size());
}
BENCHMARK(BM_SetHtml20000Chars)->Unit(benchmark::kMillisecond);

// Inserting one character relays out every item and re-runs link detection.
void BM_InsertOneCharRelayout(benchmark::State& state) {
  auto e = Engine();
  // Styled content a few hundred items below the limit, restored whenever it fills up.
  std::u16string html = SetNearTheLimit(*e, 300);
  const int base = e->GetItemCount();
  for (auto _ : state) {
    if (e->GetItemCount() >= kItemLimit) {
      state.PauseTiming();
      e->SetHtml(html);
      state.ResumeTiming();
    }
    e->InsertText(u"y", e->GetItemCount() / 2, TextStyle{});
  }
  state.counters["items"] = base;
}
BENCHMARK(BM_InsertOneCharRelayout)->Unit(benchmark::kMicrosecond);

void BM_RelayoutStyled20000(benchmark::State& state) {
  auto e = Engine();
  e->SetHtml(MixedHtml(25000));
  int spacing = 0;
  for (auto _ : state) {
    e->SetLineSpacing(2 + (spacing++ & 1));  // lays out again
    benchmark::DoNotOptimize(e->GetContentHeight());
  }
  state.counters["items"] = e->GetItemCount();
}
BENCHMARK(BM_RelayoutStyled20000)->Unit(benchmark::kMicrosecond);

void BM_HitTest20000(benchmark::State& state) {
  auto e = Engine();
  e->SetHtml(MixedHtml(25000));
  e->ScrollTo(0, -1000000);  // the last page: the worst place for a scan from the start
  int y = 0, hits = 0;
  for (auto _ : state) {
    hits += e->HitTest(50, (y++ * 37) % 400) >= 0;
  }
  benchmark::DoNotOptimize(hits);
  state.counters["items"] = e->GetItemCount();
}
BENCHMARK(BM_HitTest20000);

// A keystroke into 20000 items: the character goes in (relayout, link detection, caret,
// undo record), then Ctrl+Z takes it out again (another relayout).
void BM_TypeAndUndo20000(benchmark::State& state) {
  auto e = Engine();
  FixedWidthHost host;
  host.focus = true;
  e->Attach(&host);
  e->SetRect(0, 0, 300, 400);
  SetNearTheLimit(*e, 10);
  e->SetReadOnly(0);
  e->SetCaret(e->GetItemCount() / 2);
  for (auto _ : state) {
    e->OnChar(u'y');
    e->Undo();
  }
  state.counters["items"] = e->GetItemCount();
}
BENCHMARK(BM_TypeAndUndo20000)->Unit(benchmark::kMicrosecond);

void BM_GetHtml20000(benchmark::State& state) {
  auto e = Engine();
  e->SetHtml(MixedHtml(25000));
  size_t written = 0;
  for (auto _ : state) {
    std::u16string html = e->GetHtml();
    written = html.size();
    benchmark::DoNotOptimize(html.data());
  }
  state.counters["items"] = e->GetItemCount();
  state.counters["html_chars"] = static_cast<double>(written);
}
BENCHMARK(BM_GetHtml20000)->Unit(benchmark::kMillisecond);

}  // namespace
