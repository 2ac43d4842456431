// Parallel feed refreshes through the program's own refresh path (worker threads, HTTP,
// parsing, the result message), against a loopback server outside this process
// (bench/wine_refresh.py starts it).
//
//   refresh_bench BASE_URL N REPEATS [sockets|cold|wininet]
//
// Each repeat times one refresh and then N at once (in alternating order), from the first
// start to the last result handled, and prints the medians and their ratio. Refresh i asks
// BASE_URL + i; the server may delay its answers.
// With "sockets" the same requests are made as plain HTTP/1.0 GETs over non-blocking
// Winsock sockets on one thread: what Wine's sockets and the server cost without WinINet,
// threads or parsing (a yardstick for the refresh path).
// With "cold" each batch waits first until the download threads of earlier ones have
// ended, so that every refresh pays for a new thread.
// With "wininet" each request is a bare WinINet GET on a thread of its own, made for it by
// this thread as the refresh path makes its threads when none is idle (the same root flags,
// one root handle, no session logic, parsing or feed results): what WinINet and new threads
// cost under Wine by themselves, the floor of a cold refresh.
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "feed/feed_fetch_win.h"
#include "net/http_client_win.h"

namespace {

constexpr UINT kResultMessage = WM_APP + 7;
int g_results = 0;

LRESULT CALLBACK CounterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kResultMessage) {
    feed::TakeFeedResult(lp);
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
double TimeRefreshes(feed::FeedRefresher& feeds, HWND window, const std::wstring& base, int n) {
  g_results = 0;
  const double start = NowMs();
  for (int i = 0; i < n; ++i) {
    std::wstring url = base + std::to_wstring(i);
    if (feeds.Start(window, kResultMessage, url.c_str()) != 1) return -1;
  }
  MSG msg;
  while (g_results < n) {
    if (NowMs() - start > 60000) return -1;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_TIMEOUT) continue;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  return NowMs() - start;
}

// The host, port and path of an "http://host:port/path" URL.
bool SplitBase(const std::wstring& base, std::string* host, int* port, std::string* path) {
  const std::wstring scheme = L"http://";
  if (base.compare(0, scheme.size(), scheme) != 0) return false;
  size_t slash = base.find(L'/', scheme.size());
  std::wstring authority = base.substr(scheme.size(), slash - scheme.size());
  size_t colon = authority.find(L':');
  *port = colon == std::wstring::npos ? 80 : _wtoi(authority.c_str() + colon + 1);
  host->assign(authority.begin(), colon == std::wstring::npos ? authority.end() : authority.begin() + colon);
  std::wstring p = slash == std::wstring::npos ? L"/" : base.substr(slash);
  path->assign(p.begin(), p.end());
  return true;
}

// Milliseconds for n plain GETs at once, each read until the server closes; -1 on failure.
double TimeSockets(const std::wstring& base, int n) {
  std::string host, path;
  int port = 0;
  if (!SplitBase(base, &host, &port, &path)) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<u_short>(port));
  addr.sin_addr.s_addr = inet_addr(host.c_str());
  struct Conn {
    SOCKET s;
    std::string request;
    size_t sent;
    bool done;
  };
  const double start = NowMs();
  std::vector<Conn> conns;
  for (int i = 0; i < n; ++i) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    conns.push_back({s, "GET " + path + std::to_string(i) + " HTTP/1.0\r\nHost: " + host + "\r\n\r\n", 0, false});
  }
  int left = n;
  char buffer[16384];
  while (left > 0) {
    if (NowMs() - start > 60000) return -1;
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    for (const Conn& c : conns) {
      if (c.done) continue;
      if (c.sent < c.request.size()) FD_SET(c.s, &writable);
      else FD_SET(c.s, &readable);
    }
    timeval tv{1, 0};
    if (select(0, &readable, &writable, nullptr, &tv) < 0) return -1;
    for (Conn& c : conns) {
      if (c.done) continue;
      if (FD_ISSET(c.s, &writable)) {
        int k = send(c.s, c.request.data() + c.sent, static_cast<int>(c.request.size() - c.sent), 0);
        if (k > 0) c.sent += static_cast<size_t>(k);
      } else if (FD_ISSET(c.s, &readable)) {
        int k = recv(c.s, buffer, sizeof buffer, 0);
        if (k <= 0) {
          c.done = true;
          closesocket(c.s);
          --left;
        }
      }
    }
  }
  return NowMs() - start;
}

struct BareGet {
  HINTERNET root;
  std::wstring host, path;
  INTERNET_PORT port;
  HWND window;
};

constexpr UINT kBareGetMessage = WM_APP + 8;

// One bare GET: connect, send, read the body to its end; posts kBareGetMessage with 1 when
// it got a 200 and a body, 0 otherwise.
DWORD WINAPI BareGetThread(LPVOID param) {
  std::unique_ptr<BareGet> get(static_cast<BareGet*>(param));
  bool ok = false;
  if (HINTERNET connection = InternetConnectW(get->root, get->host.c_str(), get->port, nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, 0)) {
    const wchar_t* accept[] = {L"*/*", nullptr};
    if (HINTERNET request = HttpOpenRequestW(connection, L"GET", get->path.c_str(), nullptr, nullptr, accept,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)) {
      DWORD status = 0, size = sizeof status;
      if (HttpSendRequestW(request, nullptr, 0, nullptr, 0) &&
          HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
          status == 200) {
        char buffer[16384];
        DWORD read = 0, total = 0;
        while (InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) total += read;
        ok = total > 0;
      }
      InternetCloseHandle(request);
    }
    InternetCloseHandle(connection);
  }
  PostMessageW(get->window, kBareGetMessage, ok ? 1 : 0, 0);
  return 0;
}

// Milliseconds from starting n bare GETs (a thread each) to the last one's message; -1 when
// one failed or they did not all end within a minute.
double TimeBareGets(HINTERNET root, HWND window, const std::wstring& base, int n) {
  std::string host, path;
  int port = 0;
  if (!SplitBase(base, &host, &port, &path)) return -1;
  const double start = NowMs();
  for (int i = 0; i < n; ++i) {
    std::unique_ptr<BareGet> get(new BareGet{root, std::wstring(host.begin(), host.end()),
                                             std::wstring(path.begin(), path.end()) + std::to_wstring(i),
                                             static_cast<INTERNET_PORT>(port), window});
    HANDLE thread = CreateThread(nullptr, 0, BareGetThread, get.get(), 0, nullptr);
    if (!thread) return -1;
    get.release();
    CloseHandle(thread);
  }
  int done = 0;
  bool failed = false;
  MSG msg;
  while (done < n) {
    if (NowMs() - start > 60000) return -1;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_TIMEOUT) continue;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == kBareGetMessage) {
        ++done;
        failed = failed || msg.wParam == 0;
      } else {
        DispatchMessageW(&msg);
      }
    }
  }
  return failed ? -1 : NowMs() - start;
}

// CPU time this process has used (all its threads), in milliseconds.
double CpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& f) {
    return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e4;
  };
  return ms(kernel) + ms(user);
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
  const bool sockets = argc > 4 && std::wstring(argv[4]) == L"sockets";
  const bool cold = argc > 4 && std::wstring(argv[4]) == L"cold";
  const bool bare = argc > 4 && std::wstring(argv[4]) == L"wininet";
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  WNDCLASSW wc{};
  wc.lpfnWndProc = CounterProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PelinorRefreshBench";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  // One for the run, made as the program makes it (its main window looks after deadlines;
  // none comes near here).
  feed::FeedRefresher feeds(net::HttpSession::Watch::kWhenLooked);
  // The bare GETs' root handle, opened as the session opens its own.
  HINTERNET bareRoot = bare ? InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE)
                            : nullptr;
  auto time = [&](int count) {
    if (cold) Sleep(net::kIdleThreadMs + 500);
    if (sockets) return TimeSockets(base, count);
    return bare ? TimeBareGets(bareRoot, window, base, count) : TimeRefreshes(feeds, window, base, count);
  };
  time(1);  // warm-up: the first request opens WinINet
  std::vector<double> one, many, cpuOne, cpuMany;
  auto what = [&](bool single) {
    if (sockets) return single ? "socket GET" : "socket GETs";
    if (bare) return single ? "bare GET" : "bare GETs";
    return single ? "refresh" : "refreshes";
  };
  for (int r = 0; r < repeats; ++r) {
    for (int k = 0; k < 2; ++k) {
      const bool single = (k == 0) == (r % 2 == 0);
      const double cpu0 = CpuMs();
      double ms = time(single ? 1 : n);
      const double cpu = CpuMs() - cpu0;
      if (ms < 0) {
        std::fprintf(stderr, "refreshes did not complete\n");
        return 1;
      }
      (single ? one : many).push_back(ms);
      (single ? cpuOne : cpuMany).push_back(cpu);
      std::printf("repeat %d: %2d %-11s %7.1f ms, CPU %6.1f ms\n", r, single ? 1 : n, what(single), ms, cpu);
    }
  }
  const double m1 = Median(one), mn = Median(many);
  std::printf("median of %d: 1 %s %.1f ms, %d %s %.1f ms, ratio %.2fx; CPU %.1f ms and %.1f ms\n", repeats,
              what(true), m1, n, what(false), mn, mn / m1, Median(cpuOne), Median(cpuMany));
  std::fflush(stdout);
  if (bareRoot) InternetCloseHandle(bareRoot);
  DestroyWindow(window);
  return 0;
}
