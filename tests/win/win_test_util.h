// Helpers for Windows-layer tests: pumping messages for a while or until a condition holds,
// and the child entry points a test runs in a second process of this binary.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace wintest {

// Dispatches messages for `ms` milliseconds.
inline void PumpFor(DWORD ms) {
  ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

// Dispatches messages until `done` is true or `ms` milliseconds pass; returns done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  ULONGLONG end = GetTickCount64() + ms;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    PumpFor(10);
  }
  return true;
}

// The value of an environment variable (up to 1023 characters); empty when unset.
inline std::wstring Env(const wchar_t* name) {
  wchar_t buf[1024] = {};
  DWORD n = GetEnvironmentVariableW(name, buf, 1024);
  return n && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

// Code a test runs in a second process of this binary (a program to kill while it saves,
// one that owns the clipboard): started with "--child=NAME" on the command line, it runs
// instead of the tests, and what it returns is the process's exit code. Registered at start-up
// (see WINTEST_CHILD); not a test, so the test runner neither lists nor runs it.
using ChildMain = int (*)();
bool RegisterChild(const wchar_t* name, ChildMain main);
// The command line that starts this binary as the child `name`.
std::wstring ChildCommandLine(const wchar_t* name);

}  // namespace wintest

// Defines the child entry point `name` (an identifier): WINTEST_CHILD(Name) { ...; return 0; }
#define WINTEST_CHILD(name)                                                      \
  int WintestChild_##name();                                                     \
  static const bool wintestChildRegistered_##name =                              \
      ::wintest::RegisterChild(L## #name, &WintestChild_##name);                 \
  int WintestChild_##name()
