#include "platform/bench_trace.h"

#if defined(PELINOR_BENCH_TRACE)
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace platform {
namespace {

long long UnixMs(const FILETIME& ft) {
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  return static_cast<long long>(t.QuadPart / 10000ULL) - 11644473600000LL;
}

void Append(const char* line) {
  wchar_t path[MAX_PATH + 32];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  wchar_t* slash = wcsrchr(path, L'\\');
  if (!slash) return;
  wcscpy(slash + 1, L"bench-events.txt");
  HANDLE f = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
  CloseHandle(f);
}

}  // namespace

void BenchEvent(const char* what, const void* who) {
  // Only the UI thread reports events, so the first-call flag needs no lock.
  static bool first = true;
  char line[128];
  if (first) {
    first = false;
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
      snprintf(line, sizeof line, "%lld created 0\n", UnixMs(created));
      Append(line);
    }
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  snprintf(line, sizeof line, "%lld %s %p\n", UnixMs(now), what, who);
  Append(line);
}

}  // namespace platform
#endif
