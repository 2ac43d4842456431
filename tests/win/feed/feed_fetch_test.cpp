// The loopback server brings winsock2.h, which must precede windows.h.
#include "win/net/loopback_server.h"
#include "feed/feed_fetch_win.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "feed/parse_gate.h"
#include "platform/log.h"
#include "platform/text.h"
#include "framework/wstr_win.h"
#include "test_util.h"
#include "win/win_test_util.h"
#include "feed/feed_parser.h"

namespace feed {
namespace {

using wintest::LoopbackServer;

// A message-only window that records every feed result posted to it, taking the result
// as the program's windows do.
class ResultWindow {
 public:
  struct Result {
    int code;
    std::vector<FeedItem> items;
    int retryAfterSeconds;
    std::u16string requestUrl;
    std::u16string title;
  };
  ResultWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FeedResultTestWindow";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~ResultWindow() { if (hwnd_) DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }
  void Destroy() { DestroyWindow(hwnd_); hwnd_ = nullptr; }
  std::vector<Result> results;

  bool WaitFor(size_t n, DWORD ms = 15000) {
    return wintest::PumpUntil([&] { return results.size() >= n; }, ms);
  }

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<ResultWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (self && m == kFeedResultMessage) {
      std::unique_ptr<FeedResult> result = TakeFeedResult(l);
      EXPECT_NE(result, nullptr);
      if (!result) return 0;
      EXPECT_EQ(w, 0u) << "the result travels whole in lParam";
      Result r{result->code, std::move(result->items), result->retryAfterSeconds, result->requestUrl, result->title};
      if (r.code > 0) {
        EXPECT_EQ(r.items.size(), static_cast<size_t>(r.code));
      } else {
        EXPECT_TRUE(r.items.empty());
      }
      self->results.push_back(std::move(r));
      return 0;
    }
    return DefWindowProcW(h, m, w, l);
  }
  HWND hwnd_ = nullptr;
};

std::string Sample(const char* name) {
  return testutil::ReadAll(std::string(PELINOR_TEST_DATA) + "/feeds/" + name);
}

std::string RequestLine(const std::string& head) { return head.substr(0, head.find("\r\n")); }

// Serves samples by path: /utf8 /atom /gbk; anything else is a 404.
LoopbackServer::Handler Samples() {
  return [](LoopbackServer&, SOCKET s, const std::string& head) {
    std::string line = RequestLine(head);
    auto serve = [&](const char* file) {
      LoopbackServer::Send(s, LoopbackServer::Response("200 OK", Sample(file), "Content-Type: text/xml\r\n"));
    };
    if (line.find("GET /utf8") == 0 || line.find("GET /list") == 0) serve("utf8_three_items.xml");
    else if (line.find("GET /atom") == 0) serve("atom.xml");
    else if (line.find("GET /page") == 0) serve("html_no_anchors.html");
    else if (line.find("GET /gbk") == 0) serve("gbk.xml");
    else LoopbackServer::Send(s, LoopbackServer::Response("404 Not Found", "no"));
  };
}

TEST(FeedRefresh, DeliversItemsAndAddsTheVersion) {
  LoopbackServer server(Samples());
  FeedRefresher feeds;
  ResultWindow window;
  ASSERT_EQ(feeds.Start(window.hwnd(), kFeedResultMessage, as_wcstr(FeedRefreshUrl(server.Url("/utf8/rss.xml")))), 1);
  ASSERT_EQ(feeds.Start(window.hwnd(), kFeedResultMessage, as_wcstr(FeedRefreshUrl(server.Url("/list?id=3")))), 1);
  ASSERT_TRUE(window.WaitFor(2));
  for (const auto& r : window.results) {
    ASSERT_EQ(r.code, 2);
    EXPECT_EQ(r.items[1].link, u"http://news.example.com/a/1003.html?x=1&y=2");
  }
  std::vector<std::string> lines;
  for (const auto& h : server.heads()) lines.push_back(RequestLine(h));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines[0], "GET /list?id=3&refresh=1&ver=1.0.0.0 HTTP/1.1");
  EXPECT_EQ(lines[1], "GET /utf8/rss.xml?refresh=1&ver=1.0.0.0 HTTP/1.1");
}

TEST(FeedRefresh, OtherDownloadsGoThroughTheRefreshesSessionWhichOutlivesTheRefresher) {
  LoopbackServer server(Samples());
  net::HttpGetter get;
  {
    FeedRefresher feeds;
    get = feeds.SharedGetter();
    net::HttpResponse response = get(server.Url("/gbk"), net::HttpOptions());
    ASSERT_TRUE(response.body && response.size > 0);
    EXPECT_FALSE(response.failed());
  }
  // The configuration's thread may still be downloading when the refresher goes at exit.
  net::HttpResponse response = get(server.Url("/utf8/rss.xml"), net::HttpOptions());
  ASSERT_TRUE(response.body && response.size > 0);
  EXPECT_NE(std::string(response.body.get(), response.size).find("<rss"), std::string::npos);
}

TEST(FeedRefresh, FailureCodesAndTheirLogLines) {
  testutil::TempDir dir;
  std::string log = dir.file("log.txt");
  platform::SetLogPath(log);
  LoopbackServer server(Samples());
  FeedRefresher feeds;
  ResultWindow window;
  feeds.Start(window.hwnd(), kFeedResultMessage, as_wcstr(server.Url("/missing.xml")));
  ASSERT_TRUE(window.WaitFor(1));
  feeds.Start(window.hwnd(), kFeedResultMessage, as_wcstr(server.Url("/page.html")));
  ASSERT_TRUE(window.WaitFor(2));
  EXPECT_EQ(window.results[0].code, kFeedErrorDownload);
  EXPECT_EQ(window.results[1].code, kFeedErrorFormat);
  std::string text = testutil::ReadAll(log);
  platform::SetLogPath("");
  // One line for the failed download, saying which feed and why, and nothing for the
  // document without items (the widget says that one in words).
  const std::string port = std::to_string(server.port());
  size_t at = text.find("[debug] download third party news failed! http://127.0.0.1:" + port +
                        "/missing.xml: HTTP 404\r\n");
  EXPECT_NE(at, std::string::npos) << text;
  EXPECT_EQ(text.find("\r\n"), text.size() - 2) << text;
  EXPECT_EQ(feeds.Start(window.hwnd(), kFeedResultMessage, nullptr), 0);
}

TEST(FeedRefresh, LargeFeedsArrivingTogetherAreAllRead) {
  // Three podcast-sized feeds at once: they are read one after another, and each arrives.
  std::string feed = "<?xml version='1.0' encoding='utf-8'?><rss version='2.0'><channel><title>p</title>";
  for (int i = 0; feed.size() < kLargeFeedBytes + 100000; ++i)
    feed += "<item><title>Episode " + std::to_string(i) + "</title><link>http://p/" + std::to_string(i) +
            "</link><description>" + std::string(2000, 'x') + "</description></item>";
  feed += "</channel></rss>";
  LoopbackServer server([&feed](LoopbackServer&, SOCKET s, const std::string&) {
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", feed));
  });
  FeedRefresher feeds;
  ResultWindow window;
  for (int i = 0; i < 3; ++i)
    feeds.Start(window.hwnd(), kFeedResultMessage, as_wcstr(server.Url("/pod" + std::to_string(i) + ".xml")));
  ASSERT_TRUE(window.WaitFor(3));
  for (const auto& r : window.results) {
    EXPECT_EQ(r.code, static_cast<int>(kEntriesRead));  // a refresh reads a long feed's first entries
    ASSERT_FALSE(r.items.empty());
    EXPECT_EQ(r.items[0].title, u"Episode 0");
  }
}

TEST(FeedRefresh, GoneWindowStillFreesTheResult) {
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string&) {
    Sleep(300);
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", Sample("twenty_five.xml")));
  });
  FeedRefresher feeds;
  ResultWindow window;
  ASSERT_EQ(feeds.Start(window.hwnd(), kFeedResultMessage, as_wcstr(server.Url("/rss.xml"))), 1);
  window.Destroy();
  // The worker sends to a window that no longer exists and must simply end.
  ASSERT_TRUE(wintest::PumpUntil([&] { return server.heads().size() == 1; }, 5000));
  wintest::PumpFor(800);
  // A null window is allowed as well: the result is dropped.
  ASSERT_EQ(feeds.Start(nullptr, kFeedResultMessage, as_wcstr(server.Url("/rss.xml"))), 1);
  ASSERT_TRUE(wintest::PumpUntil([&] { return server.heads().size() == 2; }, 5000));
  wintest::PumpFor(800);
}

TEST(FeedRefresh, FiftyAtOnceRunInParallel) {
  constexpr int kWorkers = 50;
  constexpr int kServerDelayMs = 200;
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string&) {
    Sleep(kServerDelayMs);
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", Sample("twenty_five.xml")));
  });
  FeedRefresher feeds;
  ResultWindow window;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kWorkers; ++i)
    ASSERT_EQ(feeds.Start(window.hwnd(), kFeedResultMessage,
                               as_wcstr(server.Url("/feed/" + std::to_string(i) + ".xml"))), 1);
  ASSERT_TRUE(window.WaitFor(kWorkers, 30000));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (const auto& r : window.results) {
    ASSERT_EQ(r.code, 25);
    EXPECT_EQ(r.items[24].title, u"第25条新闻");
  }
  std::printf("[ info ] %d refreshes against a %d ms server: %.2f s\n", kWorkers, kServerDelayMs, seconds);
  // One after another they would take 50 x 200 ms = 10 s.
  EXPECT_LT(seconds, 5.0);
}

// Feed number `n` of a server with many: its title and items name it.
std::string NumberedFeed(const std::string& n) {
  std::string items;
  for (int k = 1; k <= 3; ++k)
    items += "<item><title>源" + n + "第" + std::to_string(k) + "条</title><link>http://news.example.com/" + n + "/" +
             std::to_string(k) + "</link></item>";
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>源" + n + "</title>" +
         items + "</channel></rss>";
}

// The number in "GET /feed/N?..." of a request head.
std::string FeedNumber(const std::string& head) {
  size_t at = head.find("/feed/") + 6;
  return head.substr(at, head.find_first_of("?. ", at) - at);
}

TEST(FeedRefresh, FiftyDifferentFeedsAtOnceEachReachTheWindowWithTheirOwnItems) {
  constexpr int kFeeds = 50;
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string& head) {
    Sleep(100);
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", NumberedFeed(FeedNumber(head))));
  });
  FeedRefresher feeds;
  ResultWindow window;
  for (int i = 0; i < kFeeds; ++i)
    ASSERT_EQ(feeds.Start(window.hwnd(), kFeedResultMessage,
                               as_wcstr(server.Url("/feed/" + std::to_string(i) + ".xml"))), 1);
  ASSERT_TRUE(window.WaitFor(kFeeds, 30000));
  wintest::PumpFor(300);  // nothing more may come
  ASSERT_EQ(window.results.size(), static_cast<size_t>(kFeeds));
  std::vector<int> seen(kFeeds);
  for (const auto& r : window.results) {
    std::string url = platform::U16ToUtf8(r.requestUrl);
    std::string n = FeedNumber("GET " + url.substr(url.find("/feed/")));
    ASSERT_EQ(r.code, 3) << url;
    EXPECT_EQ(r.title, platform::Utf8ToU16("源" + n));
    EXPECT_EQ(r.items[2].link, platform::Utf8ToU16("http://news.example.com/" + n + "/3"));
    ++seen[std::stoi(n)];
  }
  for (int i = 0; i < kFeeds; ++i) EXPECT_EQ(seen[i], 1) << i;
}

TEST(FeedRefresh, StopWithRefreshesInFlightEndsThemAtOnceAndDeliversNothing) {
  constexpr int kFeeds = 20;
  LoopbackServer server([](LoopbackServer& self, SOCKET s, const std::string& head) {
    for (int i = 0; i < 40 && !self.stopping(); ++i) Sleep(50);  // two seconds, then the feed
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", NumberedFeed(FeedNumber(head))));
  });
  // As the program makes it: its downloads have no watchdog until one is near its deadline.
  FeedRefresher feeds(net::HttpSession::Watch::kWhenLooked);
  auto window = std::make_unique<ResultWindow>();
  for (int i = 0; i < kFeeds; ++i)
    ASSERT_EQ(feeds.Start(window->hwnd(), kFeedResultMessage,
                               as_wcstr(server.Url("/feed/" + std::to_string(i) + ".xml"))), 1);
  ASSERT_TRUE(wintest::PumpUntil([&] { return server.heads().size() == kFeeds; }, 10000));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(feeds.Stop(std::chrono::milliseconds(3000)), 0u);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
  EXPECT_EQ(feeds.Start(window->hwnd(), kFeedResultMessage, as_wcstr(server.Url("/feed/99.xml"))), 0);
  // The window goes, another takes its place; the abandoned downloads end when the server
  // answers, and reach neither.
  window->Destroy();
  ResultWindow other;
  wintest::PumpFor(2500);
  EXPECT_TRUE(window->results.empty());
  EXPECT_TRUE(other.results.empty());
}

TEST(FeedRefresh, SubscribeNoticeReachesTheServiceEndpoint) {
  // The service's port is fixed by the build; skip when something else holds it.
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(PELINOR_SERVICE_PORT);
  // (a fixed-port listener of our own, since LoopbackServer always takes a free port)
  if (bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(probe, 4) != 0) {
    closesocket(probe);
    WSACleanup();
    GTEST_SKIP() << "port " << PELINOR_SERVICE_PORT << " is in use";
  }
  FeedRefresher feeds;
  feeds.SendSubscribeNotice(L"http://news.example.com/rss?a=1", L"科技 新闻");
  fd_set set;
  FD_ZERO(&set);
  FD_SET(probe, &set);
  timeval tv{10, 0};
  ASSERT_EQ(select(0, &set, nullptr, nullptr, &tv), 1);
  SOCKET c = accept(probe, nullptr, nullptr);
  std::string head;
  char buf[2048];
  while (head.find("\r\n\r\n") == std::string::npos) {
    int n = recv(c, buf, sizeof buf, 0);
    if (n <= 0) break;
    head.append(buf, n);
  }
  LoopbackServer::Send(c, LoopbackServer::Response("200 OK", "ok"));
  closesocket(c);
  closesocket(probe);
  WSACleanup();
  EXPECT_EQ(RequestLine(head),
            "GET /pelinor/getrss.php?rssurl=http%3A%2F%2Fnews.example.com%2Frss%3Fa%3D1&name=%BF%C6%BC%BC+%D0%C2%CE%C5 HTTP/1.1");
}

}  // namespace
}  // namespace feed

namespace feed {
namespace {

TEST(FetchFeed, OutputsAndSiteRulesThroughTheWholePath) {
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string& head) {
    std::string line = RequestLine(head);
    if (line.find("/empty") != std::string::npos)
      LoopbackServer::Send(s, LoopbackServer::Response("200 OK", ""));
    else
      LoopbackServer::Send(s, LoopbackServer::Response("200 OK", Sample("html_list_gb2312.html")));
  });
  // The HTML-list site is recognised anywhere in the feed URL.
  std::u16string url = server.Url("/") + kHtmlListSiteDomain + u"/news/list.html";
  FeedResult found = FetchFeed(url);
  ASSERT_EQ(found.code, 4);
  ASSERT_EQ(found.items.size(), 4u);
  EXPECT_EQ(found.items[3].link, u"http://other.example.com/3.html?a=1&b=2");

  // An empty document is a failed download.
  FeedResult empty = FetchFeed(server.Url("/empty.xml"));
  EXPECT_EQ(empty.code, kFeedErrorDownload);
  EXPECT_TRUE(empty.items.empty());
}

// What a user is told about a failed feed comes from what the download saw.
TEST(FetchFeed, FailuresCarryTheirCause) {
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string& head) {
    std::string line = RequestLine(head);
    if (line.find("GET /gone") == 0) LoopbackServer::Send(s, LoopbackServer::Response("404 Not Found", "no"));
    else if (line.find("GET /busy") == 0) LoopbackServer::Send(s, LoopbackServer::Response("503 Busy", "later"));
    else if (line.find("GET /page") == 0) LoopbackServer::Send(s, LoopbackServer::Response("200 OK", "<html></html>"));
    else if (line.find("GET /new") == 0)
      LoopbackServer::Send(s, LoopbackServer::Response("200 OK", "<rss><channel><title>new</title></channel></rss>"));
    // /drop: the connection closes without a word
  });
  EXPECT_EQ(FetchFeed(server.Url("/gone.xml")).failure, (FetchFailure{FailureKind::kHttpStatus, 404}));
  EXPECT_EQ(FetchFeed(server.Url("/busy.xml")).failure, (FetchFailure{FailureKind::kHttpStatus, 503}));
  EXPECT_EQ(FetchFeed(server.Url("/page.html")).failure.kind, FailureKind::kNotAFeed);
  FeedResult empty = FetchFeed(server.Url("/new.xml"));  // a feed with nothing in it yet
  EXPECT_EQ(empty.code, kFeedErrorFormat);
  EXPECT_EQ(empty.failure.kind, FailureKind::kNoEntries);
  FetchFailure dropped = FetchFeed(server.Url("/drop.xml")).failure;
  EXPECT_TRUE(dropped.kind == FailureKind::kEmptyAnswer || dropped.kind == FailureKind::kConnectionLost)
      << static_cast<int>(dropped.kind) << " " << dropped.detail;
  // Nothing listens on a closed port: refused, although the computer may be offline.
  std::u16string closed;
  {
    LoopbackServer gone([](LoopbackServer&, SOCKET, const std::string&) {});
    closed = gone.Url("/feed.xml");
  }
  FetchFailure refused = FetchFeed(closed).failure;
  EXPECT_EQ(refused.kind, FailureKind::kRefused) << refused.detail;
  EXPECT_EQ(refused.detail, 12029);
}

TEST(FetchFeed, APageAddressFindsThePagesFeed) {
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string& head) {
    std::string line = RequestLine(head);
    if (line.find("GET /blog/feed.xml") == 0) {
      LoopbackServer::Send(s, LoopbackServer::Response("200 OK", Sample("utf8_three_items.xml")));
    } else if (line.find("GET /blog/") == 0) {
      LoopbackServer::Send(s, LoopbackServer::Response(
                                  "200 OK", "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
                                            "href=\"feed.xml\"></head><body>博客</body></html>",
                                  "Content-Type: text/html\r\n"));
    } else {
      LoopbackServer::Send(s, LoopbackServer::Response("200 OK", "<html><head></head><body>no feed</body></html>"));
    }
  });
  FeedResult found = FetchFeed(server.Url("/blog/"));
  EXPECT_EQ(found.code, 2);
  EXPECT_TRUE(found.etag.empty());
  EXPECT_EQ(RequestLine(server.heads().back()), "GET /blog/feed.xml HTTP/1.1");
  EXPECT_EQ(FetchFeed(server.Url("/plain/")).code, kFeedErrorFormat);
}

TEST(FetchFeed, StopCutsAStalledDownloadShort) {
  LoopbackServer server([](LoopbackServer& self, SOCKET, const std::string&) {
    for (int i = 0; i < 300 && !self.stopping(); ++i) Sleep(100);  // never answers
  });
  std::atomic<bool> stop{false};
  std::thread raiser([&] {
    Sleep(400);
    stop = true;
  });
  auto start = std::chrono::steady_clock::now();
  FeedResult r = FetchFeed(server.Url("/stalled.xml"), &stop);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  raiser.join();
  EXPECT_EQ(r.code, kFeedErrorDownload);
  EXPECT_TRUE(r.items.empty());
  EXPECT_LT(seconds, 2.0);  // the deadline alone would be two minutes
  EXPECT_EQ(server.heads().size(), 1u);
}

}  // namespace
}  // namespace feed

namespace feed {
namespace {

std::string Gzip(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Header(const std::string& head, const std::string& name) {
  for (const std::string& line : LoopbackServer::Lines(head))
    if (line.compare(0, name.size() + 2, name + ": ") == 0) return line.substr(name.size() + 2);
  return std::string();
}

// Polite fetching against a server that answers with validators, gzip and 304.
class PoliteFetch : public ::testing::Test {
 protected:
  void SetUp() override { feeds_.OpenStates(platform::Utf8ToU16(dir_.file("feeds.dat"))); }
  void TearDown() override { feeds_.OpenStates(u""); }

  int Refresh(LoopbackServer& server, const RefreshOptions& options, size_t* requests = nullptr) {
    size_t before = server.heads().size();
    size_t got = window_.results.size();
    EXPECT_EQ(feeds_.Start(window_.hwnd(), kFeedResultMessage, as_wcstr(server.Url("/feed.xml?refresh=1")),
                               options), 1);
    EXPECT_TRUE(window_.WaitFor(got + 1));
    if (requests) *requests = server.heads().size() - before;
    return window_.results.empty() ? -99 : window_.results.back().code;
  }

  // The line remembered for `key` in the states file once it holds `part`, or "" after 5 s.
  // The states are written after the answer is posted: the file may lag behind the window.
  std::string StoredLine(const std::string& key, const std::string& part = "") {
    std::string found;
    wintest::PumpUntil([&] {
      std::istringstream file(testutil::ReadAll(dir_.file("feeds.dat")));
      for (std::string l; std::getline(file, l);)
        if (l.compare(0, key.size() + 1, key + "\t") == 0 && l.find(part) != std::string::npos) found = l;
      return !found.empty();
    }, 5000);
    return found;
  }

  testutil::TempDir dir_;
  ResultWindow window_;
  FeedRefresher feeds_;
};

TEST_F(PoliteFetch, ValidatorsSurviveARestartAnd304KeepsEverything) {
  const std::string doc = Sample("utf8_three_items.xml");
  LoopbackServer server([&](LoopbackServer&, SOCKET s, const std::string& head) {
    if (Header(head, "If-None-Match") == "\"v1\"") {
      LoopbackServer::Send(s, "HTTP/1.1 304 Not Modified\r\nETag: \"v1\"\r\nConnection: close\r\n\r\n");
      return;
    }
    LoopbackServer::Send(s, LoopbackServer::Response(
                                "200 OK", Gzip(doc),
                                "Content-Encoding: gzip\r\nETag: \"v1\"\r\nLast-Modified: Mon, 07 Dec 2026 08:00:00 GMT\r\n"));
  });
  RefreshOptions options;
  options.stateKey = u"1300000000 feed";
  options.haveContent = false;
  ASSERT_EQ(Refresh(server, options), 2);  // a gzip answer shows its items
  EXPECT_EQ(window_.results.back().items[0].link, u"http://news.example.com/a/1001.html");
  EXPECT_EQ(Header(server.heads().back(), "Accept-Encoding"), "gzip, deflate");
  EXPECT_EQ(Header(server.heads().back(), "If-None-Match"), "");

  options.haveContent = true;
  EXPECT_EQ(Refresh(server, options), kFeedUnchanged);
  EXPECT_EQ(Header(server.heads().back(), "If-None-Match"), "\"v1\"");
  EXPECT_EQ(Header(server.heads().back(), "If-Modified-Since"), "Mon, 07 Dec 2026 08:00:00 GMT");
  EXPECT_TRUE(window_.results.back().items.empty());

  // A restart reads what was remembered.
  ASSERT_NE(StoredLine("1300000000 feed", "\"v1\""), "");
  feeds_.OpenStates(platform::Utf8ToU16(dir_.file("feeds.dat")));
  EXPECT_EQ(Refresh(server, options), kFeedUnchanged);
  EXPECT_EQ(Header(server.heads().back(), "If-None-Match"), "\"v1\"");

  // A widget with nothing to show asks for everything; so does another widget's key.
  options.haveContent = false;
  EXPECT_EQ(Refresh(server, options), 2);
  options.haveContent = true;
  options.stateKey = u"1300000001 feed";
  EXPECT_EQ(Refresh(server, options), 2);
  EXPECT_EQ(Header(server.heads().back(), "If-None-Match"), "");
}

// A gzip stream of `size` spaces, made a megabyte at a time: the test's own memory stays
// small, so the peak it measures is the download's.
std::string GzipOfSpaces(size_t size) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_RLE);
  const std::string chunk(1u << 20, ' ');
  std::string out;
  char buf[1 << 16];
  for (size_t left = size;;) {
    const size_t n = std::min(left, chunk.size());
    left -= n;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = reinterpret_cast<Bytef*>(buf);
      z.avail_out = sizeof buf;
      deflate(&z, left ? Z_NO_FLUSH : Z_FINISH);
      out.append(buf, sizeof buf - z.avail_out);
    } while (z.avail_out == 0);
    if (!left) break;
  }
  deflateEnd(&z);
  return out;
}

size_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  return GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc) ? pmc.PeakWorkingSetSize : 0;
}

TEST_F(PoliteFetch, AGzipBombIsCutOffAtTheCapWithBoundedMemory) {
  // 256 MiB of spaces in about a quarter of a megabyte: the download stops at the 16 MiB
  // cap, and what it holds meanwhile stays near that, far below what the bomb expands to.
  const std::string bomb = GzipOfSpaces(256u << 20);
  ASSERT_LT(bomb.size(), 1u << 20);
  const size_t before = PeakWorkingSet();
  ASSERT_GT(before, 0u);
  LoopbackServer server([&](LoopbackServer&, SOCKET s, const std::string&) {
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", bomb, "Content-Encoding: gzip\r\n"));
  });
  EXPECT_EQ(Refresh(server, RefreshOptions()), kFeedErrorDownload);
  const size_t grown = PeakWorkingSet() - before;
  EXPECT_LT(grown, 64u << 20) << grown;
}

TEST_F(PoliteFetch, AGzipBombIsCutOffAtTheCap) {
  const std::string bomb = Gzip(std::string(64u << 20, ' '));
  LoopbackServer server([&](LoopbackServer&, SOCKET s, const std::string&) {
    LoopbackServer::Send(s, LoopbackServer::Response("200 OK", bomb, "Content-Encoding: gzip\r\n"));
  });
  testutil::TempDir logDir;
  platform::SetLogPath(logDir.file("log.txt"));
  EXPECT_EQ(Refresh(server, RefreshOptions()), kFeedErrorDownload);
  platform::SetLogPath("");
  EXPECT_NE(testutil::ReadAll(logDir.file("log.txt")).find("download third party news failed!"), std::string::npos);
}

TEST_F(PoliteFetch, RetryAfterAndBackoffHoldOffAutomaticRefreshesOnly) {
  LoopbackServer server([](LoopbackServer&, SOCKET s, const std::string&) {
    LoopbackServer::Send(s, LoopbackServer::Response("429 Too Many Requests", "slow down", "Retry-After: 120\r\n"));
  });
  RefreshOptions options;
  options.stateKey = u"1300000002 busy";
  options.automatic = true;
  size_t requests = 0;
  EXPECT_EQ(Refresh(server, options, &requests), kFeedErrorDownload);
  EXPECT_EQ(requests, 1u);
  EXPECT_EQ(window_.results.back().retryAfterSeconds, 120);
  // What is remembered for that feed: no automatic request for 120 s (not the 60 s of a
  // first failure's back-off).
  const std::string line = StoredLine("1300000002 busy");
  std::vector<std::string> f;
  for (size_t at = 0; at != std::string::npos;) {
    size_t tab = line.find('\t', at);
    f.push_back(line.substr(at, tab == std::string::npos ? tab : tab - at));
    at = tab == std::string::npos ? tab : tab + 1;
  }
  ASSERT_GE(f.size(), 6u) << line;
  EXPECT_EQ(std::stoll(f[4]) - std::stoll(f[5]), 120) << line;  // notBefore - time of the answer
  // The next automatic refresh leaves the server alone and changes nothing.
  EXPECT_EQ(Refresh(server, options, &requests), kFeedUnchanged);
  EXPECT_EQ(requests, 0u);
  // Another widget's feed is not held up; the user asking is another matter too.
  options.stateKey = u"1300000003 other";
  EXPECT_EQ(Refresh(server, options, &requests), kFeedErrorDownload);
  EXPECT_EQ(requests, 1u);
  options.stateKey = u"1300000002 busy";
  options.automatic = false;
  EXPECT_EQ(Refresh(server, options, &requests), kFeedErrorDownload);
  EXPECT_EQ(requests, 1u);
}

}  // namespace
}  // namespace feed
