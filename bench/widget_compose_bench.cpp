// The widget's layered background (frame, body gradient, title strip, fade) at the largest
// widget size, 800 x 600, and at a typical one.
#include <benchmark/benchmark.h>

#include <vector>

#include "widgets/widget_compose.h"

namespace {

using namespace widgets;

PixelImage Solid(int w, int h, uint32_t pixel) { return {w, h, std::vector<uint32_t>(w * h, pixel)}; }

FramePieces Frame() {
  FramePieces f;
  f.topLeft = f.topRight = Solid(10, 5, 0x80000000);
  f.top = Solid(1, 5, 0x80000000);
  f.leftUpper = f.rightUpper = Solid(5, 5, 0xFF606060);
  f.left = f.right = Solid(5, 1, 0xFF606060);
  f.bottomLeft = f.bottomRight = Solid(10, 7, 0x80000000);
  f.bottom = Solid(1, 7, 0x80000000);
  return f;
}

void BM_ComposeWidgetBackground(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  std::vector<uint32_t> a(static_cast<size_t>(w) * h), b(a.size());
  const FramePieces frame = Frame();
  for (auto _ : state) {
    ComposeWidgetBackground({a.data(), w, h}, {b.data(), w, h}, frame, *FindTheme(6), 200);
    benchmark::DoNotOptimize(a.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(a.size()) * 4);
}
BENCHMARK(BM_ComposeWidgetBackground)->Args({800, 600})->Args({260, 200});

}  // namespace
