// Helpers for Windows-layer tests: pumping messages for a while or until a condition holds.
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

}  // namespace wintest
