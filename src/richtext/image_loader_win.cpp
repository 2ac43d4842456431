#include "richtext/image_loader_win.h"

#include <gdiplus.h>

#include <deque>
#include <mutex>

#include "framework/wstr_win.h"
#include "platform/log.h"
#include "platform/text.h"

namespace richtext {

namespace {

struct Request {
  std::u16string path;  // the resolved full path that was checked
  HWND window;
  uint32_t token;
};

struct LoaderState {
  std::mutex lock;
  std::deque<Request> queue;
  bool running = false;
  bool stopped = false;
  HANDLE thread = nullptr;  // the current or last worker
};

// Never destroyed: a worker may still be finishing while the process exits.
LoaderState& State() {
  static LoaderState* state = new LoaderState;
  return *state;
}

bool IsSlash(char16_t c) { return c == u'\\' || c == u'/'; }

// "\\?\", "\??\" and "\\.\" in any mix of slashes: paths the system passes to its own
// namespaces, where UNC shares and devices are reachable under other spellings.
bool IsNamespacePath(const std::u16string& p) {
  if (p.size() < 4 || !IsSlash(p[0]) || !IsSlash(p[3])) return false;
  const char16_t a = p[1], b = p[2];
  return (IsSlash(a) && (b == u'?' || b == u'.')) || (a == u'?' && b == u'?');
}

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
      if (s.queue.empty() || s.stopped) {
        s.running = false;
        return 0;
      }
      r = std::move(s.queue.front());
      s.queue.pop_front();
    }
    HBITMAP bitmap = Decode(r.path);
    if (!bitmap) {
      LogDebug("image not decoded: %s", platform::ToAnsi(r.path).c_str());
      continue;
    }
    if (!IsWindow(r.window) || !SendMessageW(r.window, kMsgImageLoaded, r.token, reinterpret_cast<LPARAM>(bitmap)))
      DeleteObject(bitmap);
  }
}

}  // namespace

bool IsLocalImagePath(const std::u16string& path, std::u16string* resolved) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos) return false;
  // "\\host\share", "//host", "\/host": never; nor the system's namespaces.
  if (path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1])) return false;
  if (IsNamespacePath(path)) return false;
  if (path.find(u"://") != std::u16string::npos) return false;
  // Resolve relative paths (the current folder itself may be on a share) and check
  // what the file system would really open; that full path is what gets opened.
  wchar_t full[MAX_PATH * 2];
  DWORD n = GetFullPathNameW(as_wcstr(path), MAX_PATH * 2, full, nullptr);
  if (n == 0 || n >= MAX_PATH * 2) return false;
  std::u16string checked = as_u16(full);
  if (checked.size() < 3 || checked[1] != u':' || !IsSlash(checked[2])) return false;
  char16_t drive = checked[0];
  if (!((drive >= u'A' && drive <= u'Z') || (drive >= u'a' && drive <= u'z'))) return false;
  if (checked.find(u':', 2) != std::u16string::npos) return false;  // streams, "scheme:" leftovers
  wchar_t root[] = {static_cast<wchar_t>(drive), L':', L'\\', 0};
  UINT type = GetDriveTypeW(root);
  if (type == DRIVE_REMOTE || type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) return false;
  if (resolved) *resolved = std::move(checked);
  return true;
}

void QueueImageLoad(HWND window, const std::u16string& source, uint32_t token) {
  std::u16string path;
  if (!IsLocalImagePath(source, &path)) {
    LogDebug("image not loaded, not a local file: %s", platform::ToAnsi(source).c_str());
    return;
  }
  LoaderState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.stopped) return;
  s.queue.push_back(Request{std::move(path), window, token});
  if (s.running) return;
  if (s.thread) {
    // The last worker has left its loop (it cleared `running` under this lock): only its
    // return is left.
    WaitForSingleObject(s.thread, INFINITE);
    CloseHandle(s.thread);
    s.thread = nullptr;
  }
  s.thread = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
  if (!s.thread) {
    LogError("image loader thread not started (%lu)", GetLastError());
    return;  // not running: the next request tries again
  }
  s.running = true;
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

void StopImageLoader() {
  LoaderState& s = State();
  HANDLE thread = nullptr;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    s.stopped = true;
    s.queue.clear();
    thread = s.thread;
    s.thread = nullptr;
  }
  if (!thread) return;
  // The worker may be sending a loaded image to one of this thread's windows: handle
  // sent messages while waiting, or neither side could go on.
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(thread);
}

}  // namespace richtext
