// Parallel feed refreshes through the program's own refresh path (worker threads, HTTP,
// parsing, the synchronous result message), against a loopback server outside this
// process (bench/wine_refresh.py starts it).
//
//   refresh_bench BASE_URL N REPEATS
//
// Each repeat times one refresh and then N at once (in alternating order), from the first
// start to the last result handled, and prints the medians and their ratio. Refresh i asks
// BASE_URL + i; the server may delay its answers.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "feed/feed_fetch_win.h"

namespace {

constexpr UINT kResultMessage = WM_APP + 7;
int g_results = 0;

LRESULT CALLBACK CounterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kResultMessage) {
    ++g_results;
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

double NowMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Milliseconds from starting n refreshes to handling the last of their results; -1 when
// one could not be started or they did not all answer within a minute.
double TimeRefreshes(HWND window, const std::wstring& base, int n) {
  g_results = 0;
  const double start = NowMs();
  for (int i = 0; i < n; ++i) {
    std::wstring url = base + std::to_wstring(i);
    if (feed::StartFeedRefresh(window, kResultMessage, url.c_str()) != 1) return -1;
  }
  MSG msg;
  while (g_results < n) {
    if (NowMs() - start > 60000) return -1;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_TIMEOUT) continue;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  return NowMs() - start;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: refresh_bench BASE_URL N REPEATS\n");
    return 2;
  }
  const std::wstring base = argv[1];
  const int n = _wtoi(argv[2]), repeats = _wtoi(argv[3]);
  WNDCLASSW wc{};
  wc.lpfnWndProc = CounterProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PelinorRefreshBench";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  TimeRefreshes(window, base, 1);  // warm-up: the first request opens WinINet
  std::vector<double> one, many;
  for (int r = 0; r < repeats; ++r) {
    for (int k = 0; k < 2; ++k) {
      const bool single = (k == 0) == (r % 2 == 0);
      double ms = TimeRefreshes(window, base, single ? 1 : n);
      if (ms < 0) {
        std::fprintf(stderr, "refreshes did not complete\n");
        return 1;
      }
      (single ? one : many).push_back(ms);
      std::printf("repeat %d: %2d refresh%s %7.1f ms\n", r, single ? 1 : n, single ? "  " : "es", ms);
    }
  }
  const double m1 = Median(one), mn = Median(many);
  std::printf("median of %d: 1 refresh %.1f ms, %d refreshes %.1f ms, ratio %.2fx\n", repeats, m1, n, mn, mn / m1);
  std::fflush(stdout);
  DestroyWindow(window);
  return 0;
}
