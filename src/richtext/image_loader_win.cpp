#include "richtext/image_loader_win.h"

#include <gdiplus.h>

#include <deque>
#include <mutex>

#include "platform/log.h"
#include "framework/wstr_win.h"
#include "platform/text.h"

namespace richtext {

namespace {

struct Request {
  std::u16string source;
  HWND window;
  uint32_t token;
};

struct LoaderState {
  std::mutex lock;
  std::deque<Request> queue;
  bool running = false;
};

// Never destroyed: the worker may still be finishing while the process exits.
LoaderState& State() {
  static LoaderState* state = new LoaderState;
  return *state;
}

bool IsSlash(char16_t c) { return c == u'\\' || c == u'/'; }

// Decoded pixels that are transparent come out as opaque black.
HBITMAP Decode(const std::u16string& path) {
  Gdiplus::Bitmap bitmap(as_wcstr(path));
  if (bitmap.GetLastStatus() != Gdiplus::Ok) return nullptr;
  HBITMAP out = nullptr;
  if (bitmap.GetHBITMAP(Gdiplus::Color(255, 0, 0, 0), &out) != Gdiplus::Ok) return nullptr;
  return out;
}

DWORD WINAPI Worker(void*) {
  LoaderState& s = State();
  for (;;) {
    Request r;
    {
      std::lock_guard<std::mutex> guard(s.lock);
      if (s.queue.empty()) {
        s.running = false;
        return 0;
      }
      r = std::move(s.queue.front());
      s.queue.pop_front();
    }
    HBITMAP bitmap = Decode(r.source);
    if (!bitmap) {
      LogDebug("image not decoded: %s", platform::U16ToUtf8(r.source).c_str());
      continue;
    }
    if (!IsWindow(r.window) || !SendMessageW(r.window, kMsgImageLoaded, r.token, reinterpret_cast<LPARAM>(bitmap)))
      DeleteObject(bitmap);
  }
}

}  // namespace

bool IsLocalImagePath(const std::u16string& path) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos) return false;
  // "\\host\share", "//host", "\\?\", "\\.\": never.
  if (path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1])) return false;
  if (path.find(u"://") != std::u16string::npos) return false;
  // Resolve relative paths (the current folder itself may be on a share) and check
  // what the file system would really open.
  wchar_t full[MAX_PATH * 2];
  DWORD n = GetFullPathNameW(as_wcstr(path), MAX_PATH * 2, full, nullptr);
  if (n == 0 || n >= MAX_PATH * 2) return false;
  std::u16string resolved = as_u16(full);
  if (resolved.size() < 3 || resolved[1] != u':' || !IsSlash(resolved[2])) return false;
  char16_t drive = resolved[0];
  if (!((drive >= u'A' && drive <= u'Z') || (drive >= u'a' && drive <= u'z'))) return false;
  if (resolved.find(u':', 2) != std::u16string::npos) return false;  // streams, "scheme:" leftovers
  wchar_t root[] = {static_cast<wchar_t>(drive), L':', L'\\', 0};
  UINT type = GetDriveTypeW(root);
  return type != DRIVE_REMOTE && type != DRIVE_NO_ROOT_DIR && type != DRIVE_UNKNOWN;
}

void QueueImageLoad(HWND window, const std::u16string& source, uint32_t token) {
  if (!IsLocalImagePath(source)) {
    LogDebug("image not loaded, not a local file: %s", platform::U16ToUtf8(source).c_str());
    return;
  }
  LoaderState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.queue.push_back(Request{source, window, token});
  if (s.running) return;
  HANDLE thread = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
  if (!thread) {
    LogError("image loader thread not started (%lu)", GetLastError());
    return;  // not running: the next request tries again
  }
  s.running = true;
  CloseHandle(thread);
}

void WithdrawImageLoads(HWND window) {
  LoaderState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  for (auto it = s.queue.begin(); it != s.queue.end();)
    it = it->window == window ? s.queue.erase(it) : it + 1;
}

int PendingImageLoads(HWND window) {
  LoaderState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  int n = 0;
  for (const Request& r : s.queue) n += r.window == window;
  return n;
}

}  // namespace richtext
