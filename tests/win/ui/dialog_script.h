// Drives modal dialogs from a test: steps run in order on a thread timer, which keeps
// firing inside every modal loop (also nested ones started by a step). A step returns
// false to be tried again at the next tick (for instance until its dialog appears).
// After a deadline every dialog of the thread is cancelled, so a failing test ends.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace wintest {

inline bool IsDialogWindow(HWND w) {
  wchar_t cls[32] = {};
  GetClassNameW(w, cls, 32);
  return wcscmp(cls, L"#32770") == 0;
}

struct DialogSearch {
  const std::wstring* caption;
  bool visibleOnly;
  HWND found;
};

inline BOOL CALLBACK MatchDialog(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<DialogSearch*>(p);
  wchar_t text[256] = {};
  GetWindowTextW(w, text, 256);
  if (IsDialogWindow(w) && *s->caption == text && (!s->visibleOnly || IsWindowVisible(w))) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

// The (visible) dialog of this thread with the given caption, or null.
inline HWND FindDialog(const std::wstring& caption, bool visibleOnly = true) {
  DialogSearch s{&caption, visibleOnly, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &MatchDialog, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

inline std::wstring ItemText(HWND dialog, int id) {
  wchar_t buf[1024] = {};
  GetDlgItemTextW(dialog, id, buf, 1024);
  return buf;
}

// Presses a button the way a click does (the dialog gets WM_COMMAND from the button).
inline void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// A key press delivered through the dialog's modal loop (so Esc and Enter are translated
// by the dialog manager, as when the user types them).
inline void PressKey(HWND dialog, int controlId, UINT vk) {
  HWND target = GetDlgItem(dialog, controlId);
  PostMessageW(target ? target : dialog, WM_KEYDOWN, vk, 0);
  PostMessageW(target ? target : dialog, WM_KEYUP, vk, 0xC0000000);
}

class DialogScript {
 public:
  explicit DialogScript(DWORD deadlineMs = 15000) : deadline_(GetTickCount64() + deadlineMs) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, kTickMs, &DialogScript::OnTick);
  }
  ~DialogScript() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  DialogScript& Then(std::function<bool()> step) {
    steps_.push_back(std::move(step));
    return *this;
  }
  // Waits for the dialog with `caption`, then runs `action` on it.
  DialogScript& On(const std::wstring& caption, std::function<void(HWND)> action) {
    return Then([caption, action] {
      HWND d = FindDialog(caption);
      if (!d) return false;
      action(d);
      return true;
    });
  }
  // Lets the modal loop run for `ms` milliseconds (timers fire, nothing else happens).
  DialogScript& Wait(DWORD ms) {
    auto start = std::make_shared<ULONGLONG>(0);
    return Then([start, ms] {
      if (*start == 0) *start = GetTickCount64();
      return GetTickCount64() - *start >= ms;
    });
  }
  bool finished() const { return steps_.empty() && running_ == 0 && !timedOut_; }
  bool timedOut() const { return timedOut_; }
  int stepsDone() const { return done_; }

 private:
  static constexpr UINT kTickMs = 20;

  static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    DialogScript* self = current_;
    if (!self) return;
    if (GetTickCount64() > self->deadline_) {
      self->timedOut_ = true;
      self->steps_.clear();
      CancelAll();
      return;
    }
    if (self->steps_.empty()) return;
    // Taken off the queue first: the step may run a nested modal loop in which the
    // following steps run.
    auto step = std::move(self->steps_.front());
    self->steps_.pop_front();
    ++self->running_;
    bool done = step();
    --self->running_;
    if (done) ++self->done_;
    else self->steps_.push_front(std::move(step));
  }

  static BOOL CALLBACK CancelOne(HWND w, LPARAM) {
    if (IsDialogWindow(w) && IsWindowVisible(w)) PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
  }
  static void CancelAll() { EnumThreadWindows(GetCurrentThreadId(), &CancelOne, 0); }

  static inline DialogScript* current_ = nullptr;
  UINT_PTR timer_ = 0;
  ULONGLONG deadline_;
  std::deque<std::function<bool()>> steps_;
  int running_ = 0;
  int done_ = 0;
  bool timedOut_ = false;
};

}  // namespace wintest
