#include "framework/message_loop_win.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace fw {

void MessageLoop::AddMessageFilter(MessageFilter* f) {
  if (f && std::find(filters_.begin(), filters_.end(), f) == filters_.end()) filters_.push_back(f);
}
void MessageLoop::RemoveMessageFilter(MessageFilter* f) {
  filters_.erase(std::remove(filters_.begin(), filters_.end(), f), filters_.end());
}
void MessageLoop::AddIdleHandler(IdleHandler* h) {
  if (h && std::find(idle_.begin(), idle_.end(), h) == idle_.end()) idle_.push_back(h);
}
void MessageLoop::RemoveIdleHandler(IdleHandler* h) {
  idle_.erase(std::remove(idle_.begin(), idle_.end(), h), idle_.end());
}

bool MessageLoop::IsIdleMessage(const MSG& msg) {
  switch (msg.message) {
    case WM_MOUSEMOVE: case WM_NCMOUSEMOVE: case WM_PAINT: case 0x0118:  // system timer (caret blink)
      return false;
    default:
      return true;
  }
}

BOOL MessageLoop::PreTranslateMessage(MSG* msg) {
  // Newest filter first; a handler may unregister itself while we iterate, so copy.
  auto filters = filters_;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it)
    if ((*it)->PreTranslateMessage(msg)) return TRUE;
  return FALSE;
}

void MessageLoop::OnIdle() {
  auto handlers = idle_;
  for (auto* h : handlers) h->OnIdle();
}

int MessageLoop::Run() {
  bool doIdle = true;
  MSG msg{};
  for (;;) {
    while (doIdle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      OnIdle();
      doIdle = false;
    }
    BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r == -1) continue;  // an error: skip it and go on
    if (!r) break;          // WM_QUIT
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (IsIdleMessage(msg)) doIdle = true;
  }
  return static_cast<int>(msg.wParam);
}

namespace {
std::mutex& LoopLock() {
  static std::mutex m;
  return m;
}
std::map<DWORD, MessageLoop*>& Loops() {
  static std::map<DWORD, MessageLoop*> loops;
  return loops;
}
}  // namespace

bool AppModule::AddMessageLoop(MessageLoop* loop) {
  std::lock_guard<std::mutex> lock(LoopLock());
  return Loops().emplace(GetCurrentThreadId(), loop).second;
}
bool AppModule::RemoveMessageLoop() {
  std::lock_guard<std::mutex> lock(LoopLock());
  return Loops().erase(GetCurrentThreadId()) > 0;
}
MessageLoop* AppModule::GetMessageLoop(DWORD threadId) {
  std::lock_guard<std::mutex> lock(LoopLock());
  auto it = Loops().find(threadId);
  return it == Loops().end() ? nullptr : it->second;
}

}  // namespace fw
