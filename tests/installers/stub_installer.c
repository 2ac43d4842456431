/* A stand-in update installer for tests: it writes its command line to
   "stub_ran.txt" beside itself and exits. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdLine, int show) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
  while (n > 0 && path[n - 1] != L'\\') --n;
  lstrcpyW(path + n, L"stub_ran.txt");
  HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(f, cmdLine, lstrlenW(cmdLine) * sizeof(wchar_t), &written, NULL);
    CloseHandle(f);
  }
  return 0;
}
