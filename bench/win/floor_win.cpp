// The floor of the start-up benchmark: the least a layered desktop widget program must do.
// It starts COM, the common controls, GDI+, WinINet and the shell as the program does,
// shows one 260 x 200 layered window with a plain framed image (or N with "--windows N",
// made by K threads with "--threads K"),
// reports "painted" through the same event trace as the program, and then idles in its
// message loop. With "--as-widgets" the N windows take the steps a widget's window takes in
// the start-up benchmark, without the program: see MakeWidgetLikeWindows.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <vector>

#include "platform/bench_trace.h"

namespace {

constexpr int kWidth = 260, kHeight = 200;

LRESULT CALLBACK FloorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Pushes a framed, half-transparent image of `width` x `height` to the layered window; with
// `rounded` its corners are cut round (fully transparent pixels), as a widget's frame is.
void Paint(HWND hwnd, int width = kWidth, int height = kHeight, bool rounded = false) {
  HDC screen = GetDC(hwnd);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  auto* px = static_cast<DWORD*>(bits);
  constexpr int kRadius = 4;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      bool edge = x < 4 || y < 4 || x >= width - 4 || y >= height - 4;
      px[y * width + x] = edge ? 0xFF808080u : 0xC8C0B0A0u;  // premultiplied enough for a test
      if (rounded) {
        const int dx = x < kRadius ? kRadius - x : x >= width - kRadius ? x - (width - kRadius - 1) : 0;
        const int dy = y < kRadius ? kRadius - y : y >= height - kRadius ? y - (height - kRadius - 1) : 0;
        if (dx * dx + dy * dy > kRadius * kRadius) px[y * width + x] = 0;
      }
    }
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  SIZE size{width, height};
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

// What a widget's window goes through at start-up in the benchmark, without the program:
// made hidden where the benchmark places widget i, its first image pushed (the size of a
// status line), then shown below the other windows; once every window shows, each grows with
// a second image (the size its feed gives it) and reports "content".
void MakeWidgetLikeWindows() {
  constexpr int kFirstW = 250, kFirstH = 100, kGrownW = 255, kGrownH = 298;
  std::vector<HWND> made;
  for (int i = 0; i < g_windows; ++i) {
    // The places wine_startup.py's widget_origin() gives the widgets.
    const int x = (i % 4) * 300 + (i / 16) * 12, y = ((i / 4) % 4) * 190 + (i / 16) * 12;
    HWND hwnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, L"PelinorFloor", L"floor", WS_POPUP, x, y, kFirstW,
                                kFirstH, nullptr, nullptr, g_instance, nullptr);
    Paint(hwnd, kFirstW, kFirstH, true);
    SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    platform::BenchEvent("painted", hwnd);
    made.push_back(hwnd);
  }
  for (HWND hwnd : made) {
    Paint(hwnd, kGrownW, kGrownH, true);
    platform::BenchEvent("content", hwnd);
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
  bool asWidgets = false;
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i)
      if (lstrcmpW(argv[i], L"--as-widgets") == 0) asWidgets = true;
      else if (i + 1 < argc && lstrcmpW(argv[i], L"--windows") == 0) windows = _wtoi(argv[i + 1]);
      else if (i + 1 < argc && lstrcmpW(argv[i], L"--threads") == 0) threads = _wtoi(argv[i + 1]);
    LocalFree(argv);
  }
  if (windows < 1 || windows > 500) windows = 1;
  if (threads < 1 || threads > 8) threads = 1;
  g_windows = windows;
  g_threads = threads;
  g_instance = instance;
  if (asWidgets) {
    MakeWidgetLikeWindows();
  } else {
    for (int t = 1; t < threads; ++t) {
      HANDLE thread =
          CreateThread(nullptr, 0, MakerThread, reinterpret_cast<void*>(static_cast<INT_PTR>(t)), 0, nullptr);
      if (thread) CloseHandle(thread);
    }
    MakeWindows(0);
  }

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
