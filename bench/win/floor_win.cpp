// The floor of the start-up benchmark: the least a layered desktop widget program must do.
// It starts COM, the common controls, GDI+, WinINet and the shell as the program does,
// shows one 260 x 200 layered window with a plain framed image (or N with "--windows N",
// made by K threads with "--threads K"),
// reports "painted" through the same event trace as the program, and then idles in its
// message loop.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include "platform/bench_trace.h"

namespace {

constexpr int kWidth = 260, kHeight = 200;

LRESULT CALLBACK FloorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Pushes a framed, half-transparent image to the layered window.
void Paint(HWND hwnd) {
  HDC screen = GetDC(hwnd);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = kWidth;
  bi.bmiHeader.biHeight = -kHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  auto* px = static_cast<DWORD*>(bits);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      bool edge = x < 4 || y < 4 || x >= kWidth - 4 || y >= kHeight - 4;
      px[y * kWidth + x] = edge ? 0xFF808080u : 0xC8C0B0A0u;  // premultiplied enough for a test
    }
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  SIZE size{kWidth, kHeight};
  POINT src{0, 0};
  UpdateLayeredWindow(hwnd, screen, nullptr, &size, mem, &src, 0, &blend, ULW_ALPHA);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(hwnd, screen);
}

int g_windows = 1, g_threads = 1;
HINSTANCE g_instance = nullptr;

// Makes and shows every window whose number is `thread` modulo the number of threads.
void MakeWindows(int thread) {
  for (int i = thread; i < g_windows; i += g_threads) {
    const int x = 100 + (i % 5) * (kWidth + 10), y = 100 + (i / 5 % 4) * (kHeight + 10);
    HWND hwnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, L"PelinorFloor", L"floor", WS_POPUP, x, y, kWidth,
                                kHeight, nullptr, nullptr, g_instance, nullptr);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    Paint(hwnd);
    platform::BenchEvent("painted", hwnd);
  }
}

DWORD WINAPI MakerThread(void* param) {
  MakeWindows(static_cast<int>(reinterpret_cast<INT_PTR>(param)));
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  platform::BenchEvent("main", nullptr);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  Gdiplus::GdiplusStartupInput gdiplusInput;
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  HINTERNET net = InternetOpenW(L"floor", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  wchar_t folder[MAX_PATH];
  SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, TRUE);

  WNDCLASSW wc{};
  wc.lpfnWndProc = FloorProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"PelinorFloor";
  RegisterClassW(&wc);
  // "--windows N" shows N such windows, side by side in rows, one after another: what
  // N layered windows cost the system by themselves, beside a program with N widgets.
  // "--threads K" has K threads make them, each with a message loop of its own.
  int windows = 1, threads = 1;
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i + 1 < argc; ++i)
      if (lstrcmpW(argv[i], L"--windows") == 0) windows = _wtoi(argv[i + 1]);
      else if (lstrcmpW(argv[i], L"--threads") == 0) threads = _wtoi(argv[i + 1]);
    LocalFree(argv);
  }
  if (windows < 1 || windows > 500) windows = 1;
  if (threads < 1 || threads > 8) threads = 1;
  g_windows = windows;
  g_threads = threads;
  g_instance = instance;
  for (int t = 1; t < threads; ++t) {
    HANDLE thread = CreateThread(nullptr, 0, MakerThread, reinterpret_cast<void*>(static_cast<INT_PTR>(t)), 0, nullptr);
    if (thread) CloseHandle(thread);
  }
  MakeWindows(0);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (net) InternetCloseHandle(net);
  Gdiplus::GdiplusShutdown(gdiplusToken);
  WSACleanup();
  CoUninitialize();
  return 0;
}
