// The message loop with message filters and idle handlers, and the per-thread registry
// of loops (the module object's part that the program uses).
#pragma once
#include <windows.h>

#include <vector>

namespace fw {

class MessageFilter {
 public:
  virtual ~MessageFilter() = default;
  // Returns true when the message was consumed and must not be dispatched.
  virtual BOOL PreTranslateMessage(MSG* msg) = 0;
};

class IdleHandler {
 public:
  virtual ~IdleHandler() = default;
  // Returns true while it has more idle work.
  virtual BOOL OnIdle() = 0;
};

class MessageLoop {
 public:
  void AddMessageFilter(MessageFilter* f);
  void RemoveMessageFilter(MessageFilter* f);
  void AddIdleHandler(IdleHandler* h);
  void RemoveIdleHandler(IdleHandler* h);

  // Runs until WM_QUIT and returns its wParam.
  int Run();
  // Whether a message re-arms idle processing (mouse moves, paints and the caret blink do not).
  static bool IsIdleMessage(const MSG& msg);

 private:
  BOOL PreTranslateMessage(MSG* msg);
  void OnIdle();
  std::vector<MessageFilter*> filters_;
  std::vector<IdleHandler*> idle_;
};

// Registers loops per thread under a lock, so windows can find their thread's loop.
class AppModule {
 public:
  static bool AddMessageLoop(MessageLoop* loop);
  static bool RemoveMessageLoop();
  static MessageLoop* GetMessageLoop(DWORD threadId = GetCurrentThreadId());
};

}  // namespace fw
