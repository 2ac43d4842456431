#include "feed/feed_fetch_win.h"

#include <cstdlib>
#include <new>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/log.h"
#include "framework/wstr_win.h"
#include "net/http_client_win.h"
#include "net/subscribe_notice.h"
#include "net/url.h"
#include "platform/text.h"
#include "feed/feed_parser.h"

namespace feed {
namespace {

constexpr int kVersionChars = 100;

wchar_t* MallocCopy(const wchar_t* s) {
  size_t n = wcslen(s) + 1;
  auto* copy = static_cast<wchar_t*>(std::malloc(n * sizeof(wchar_t)));
  if (copy) wmemcpy(copy, s, n);
  return copy;
}

// Starts `proc` on a detached thread with `param`; false when no thread could be made.
bool StartDetached(LPTHREAD_START_ROUTINE proc, void* param) {
  HANDLE thread = CreateThread(nullptr, 0, proc, param, 0, nullptr);
  if (!thread) return false;
  CloseHandle(thread);
  return true;
}

std::string Ansi(const std::u16string& text) {
  std::string out;
  platform::ToCodePage(platform::AnsiCodePage(), text, &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

DWORD WINAPI RefreshWorker(LPVOID param) {
  auto* request = static_cast<FeedRequest*>(param);
  if (!request) return 0;
  FeedItem* items = nullptr;
  int count = 0;
  int code = kFeedErrorUnknown;
  FetchFeed(request->url, &items, &count, &code);
  HWND window = request->window;
  UINT message = request->message;
  std::free(request->url);
  std::free(request);
  if (window)
    SendMessageW(window, message, static_cast<WPARAM>(count > 0 ? count : code), reinterpret_cast<LPARAM>(items));
  delete[] items;
  return 0;
}

DWORD WINAPI NoticeWorker(LPVOID param) {
  auto* url = static_cast<wchar_t*>(param);
  std::u16string target = to_u16(url);
  std::free(url);
  char* body = nullptr;
  std::u16string ignored;
  net::HttpGet(target, &body, &ignored, net::kConnectTimeoutMs, net::kReceiveTimeoutMs, net::kSendTimeoutMs);
  std::free(body);
  return 0;
}

}  // namespace

int StartFeedRefresh(HWND window, UINT message, const wchar_t* url) {
  if (!url) return 0;
  wchar_t* copy = MallocCopy(url);
  auto* request = static_cast<FeedRequest*>(std::malloc(sizeof(FeedRequest)));
  if (!copy || !request) {
    std::free(copy);
    std::free(request);
    LogDebug("feed refresh not started: out of memory");
    return 0;
  }
  *request = FeedRequest{message, window, copy};
  if (!StartDetached(RefreshWorker, request)) {
    LogDebug("feed refresh not started: no thread (error %lu)", GetLastError());
    std::free(copy);
    std::free(request);
    return 0;
  }
  return 1;
}

void FetchFeed(const wchar_t* url, FeedItem** items, int* count, int* code) {
  wchar_t version[kVersionChars] = {0};
  if (!net::GetProgramVersion(version, kVersionChars)) {
    LogDebug("get program version failed!");
    return;
  }
  std::u16string feedUrl = to_u16(url);
  std::u16string requestUrl = net::AppendQuery(feedUrl, u"ver=" + to_u16(version));
  char* body = nullptr;
  std::u16string error;
  int size = net::HttpGet(requestUrl, &body, &error, net::kConnectTimeoutMs, net::kReceiveTimeoutMs,
                          net::kSendTimeoutMs);
  if (size <= 0) {
    std::free(body);
    *code = kFeedErrorDownload;
    LogDebug("download third party news failed!");
    if (!error.empty()) LogDebug("%s: %s", Ansi(requestUrl).c_str(), Ansi(error).c_str());
    return;
  }
  std::vector<FeedItem> found;
  int result = ParseFeedDocument(body, static_cast<size_t>(size), feedUrl, &found);
  std::free(body);
  if (result <= 0) {
    *code = kFeedErrorFormat;
    return;
  }
  FeedItem* array = new (std::nothrow) FeedItem[found.size()];
  if (!array) {
    LogDebug("feed items dropped: out of memory");
    return;
  }
  for (size_t i = 0; i < found.size(); ++i) array[i] = std::move(found[i]);
  *items = array;
  *count = static_cast<int>(found.size());
}

void SendSubscribeNotice(const wchar_t* feedUrl, const wchar_t* name) {
  if (!feedUrl || !name) return;
  std::u16string url = net::SubscribeNoticeUrl(to_u16(feedUrl), to_u16(name));
  wchar_t* copy = MallocCopy(as_wcstr(url));
  if (copy && !StartDetached(NoticeWorker, copy)) std::free(copy);
}

}  // namespace feed
