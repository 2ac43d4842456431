// RAII owners for the Win32 handles the program keeps. Each releases its handle with the
// matching call; reset() releases early; release() gives the handle up.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace fw {

template <typename T, typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  T get() const { return h_; }
  explicit operator bool() const { return Traits::Valid(h_); }
  T release() { return std::exchange(h_, Traits::Invalid()); }
  void reset(T h = Traits::Invalid()) {
    if (Traits::Valid(h_)) Traits::Close(h_);
    h_ = h;
  }

 private:
  T h_ = Traits::Invalid();
};

struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
template <typename G>
struct GdiObjectTraits {
  static G Invalid() { return nullptr; }
  static bool Valid(G h) { return h != nullptr; }
  static void Close(G h) { DeleteObject(h); }
};
struct MemDcTraits {
  static HDC Invalid() { return nullptr; }
  static bool Valid(HDC h) { return h != nullptr; }
  static void Close(HDC h) { DeleteDC(h); }
};
struct InternetTraits {
  static HINTERNET Invalid() { return nullptr; }
  static bool Valid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { InternetCloseHandle(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static bool Valid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};

using UniqueHandleK = UniqueHandle<HANDLE, KernelHandleTraits>;   // events, threads, mutexes
using UniqueFile = UniqueHandle<HANDLE, FileHandleTraits>;        // CreateFileW results
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectTraits<HBITMAP>>;
using UniqueFont = UniqueHandle<HFONT, GdiObjectTraits<HFONT>>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueHandle<HPEN, GdiObjectTraits<HPEN>>;
using UniqueRgn = UniqueHandle<HRGN, GdiObjectTraits<HRGN>>;
using UniqueMemDc = UniqueHandle<HDC, MemDcTraits>;               // CreateCompatibleDC results
using UniqueInternet = UniqueHandle<HINTERNET, InternetTraits>;
using UniqueRegKey = UniqueHandle<HKEY, RegKeyTraits>;

// A window DC from GetDC, released with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDc() { if (dc_) ReleaseDC(hwnd_, dc_); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// Selects an object into a DC for the lifetime of the scope.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
  ~SelectGuard() { if (old_) SelectObject(dc_, old_); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Paints `w` x `h` pixels through an off-screen bitmap copied to `dc` in one go, so the
// window never shows a half-drawn state; straight onto `dc` when the bitmap cannot be made.
template <typename PaintFn>
void PaintBuffered(HDC dc, int w, int h, PaintFn&& paint) {
  UniqueMemDc mem(CreateCompatibleDC(dc));
  UniqueBitmap bmp(CreateCompatibleBitmap(dc, w, h));
  if (!mem || !bmp) {
    paint(dc);
    return;
  }
  SelectGuard sel(mem.get(), bmp.get());
  paint(mem.get());
  BitBlt(dc, 0, 0, w, h, mem.get(), 0, 0, SRCCOPY);
}

}  // namespace fw
