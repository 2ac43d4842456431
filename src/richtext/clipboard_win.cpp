#include "richtext/clipboard_win.h"

#include <shlobj.h>

#include <cstring>

#include "framework/wstr_win.h"
#include "richtext/gdi_draw_win.h"

namespace richtext {

namespace {

// Dropped file paths are read up to this many UTF-16 units each.
constexpr size_t kMaxDroppedPath = 520;

// Opens the clipboard for the life of the object.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND window) : open_(OpenClipboard(window) != FALSE) {}
  ~OpenClipboardScope() {
    if (open_) CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  bool ok() const { return open_; }

 private:
  bool open_;
};

// Locks a clipboard block for the life of the object.
class LockedBlock {
 public:
  explicit LockedBlock(HANDLE h) : h_(h), data_(h ? GlobalLock(h) : nullptr), size_(data_ ? GlobalSize(h) : 0) {}
  ~LockedBlock() {
    if (data_) GlobalUnlock(h_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  const void* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  HANDLE h_;
  void* data_;
  size_t size_;
};

HGLOBAL BlockOf(const std::u16string& text) {
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!h) return nullptr;
  void* p = GlobalLock(h);
  if (!p) {
    GlobalFree(h);
    return nullptr;
  }
  std::memcpy(p, text.c_str(), bytes);
  GlobalUnlock(h);
  return h;
}

bool OwnedByThisProcess(HWND owner) {
  DWORD pid = 0;
  return owner && GetWindowThreadProcessId(owner, &pid) && pid == GetCurrentProcessId();
}

}  // namespace

std::u16string BoundedClipboardText(const void* data, size_t size) {
  std::u16string text;
  if (!data) return text;
  const auto* p = static_cast<const char16_t*>(data);
  const size_t units = size / sizeof(char16_t);
  size_t n = 0;
  while (n < units && p[n] != 0) ++n;
  text.assign(p, n);
  return text;
}

std::vector<std::u16string> BoundedDropFiles(const void* data, size_t size, size_t maxUnits) {
  std::vector<std::u16string> files;
  if (!data || size < sizeof(DROPFILES)) return files;
  DROPFILES header;
  std::memcpy(&header, data, sizeof header);
  if (header.pFiles < sizeof(DROPFILES) || header.pFiles >= size) return files;
  const auto* base = static_cast<const unsigned char*>(data);
  size_t at = header.pFiles;
  for (;;) {
    std::u16string path;
    bool ended = false;
    if (header.fWide) {
      while (at + 1 < size) {
        char16_t c;
        std::memcpy(&c, base + at, sizeof c);
        at += 2;
        if (c == 0) {
          ended = true;
          break;
        }
        if (path.size() < maxUnits) path += c;
      }
    } else {
      std::string narrow;
      while (at < size) {
        char c = static_cast<char>(base[at++]);
        if (c == 0) {
          ended = true;
          break;
        }
        if (narrow.size() < maxUnits) narrow += c;
      }
      wchar_t wide[kMaxDroppedPath + 1];
      int n = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide,
                                  static_cast<int>(kMaxDroppedPath));
      path = to_u16(std::wstring(wide, n > 0 ? static_cast<size_t>(n) : 0));
    }
    if (!ended || path.empty()) break;  // the list ends with an empty path (or the block does)
    files.push_back(std::move(path));
  }
  return files;
}

bool SystemFreesPrivateClipboardData() {
  static const bool wine = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

WinClipboard::~WinClipboard() {
  if (!owner_) return;
  // The block would outlive its owner: nothing is told when the clipboard is emptied later.
  if (GetClipboardOwner() == owner_) ReleasePrivateBlock();
  DestroyWindow(owner_);
}

LRESULT CALLBACK WinClipboard::OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROYCLIPBOARD) {
    if (auto* self = reinterpret_cast<WinClipboard*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
      self->ReleasePrivateBlock();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND WinClipboard::Owner() {
  if (owner_) return owner_;
  static const wchar_t kClass[] = L"PelinorClipboardOwner";
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  if (!GetClassInfoW(instance, kClass, &wc)) {
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);
  }
  owner_ = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (owner_) SetWindowLongPtrW(owner_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return owner_;
}

void WinClipboard::ReleasePrivateBlock() {
  if (privateBlock_ && ownerFreesPrivate_) GlobalFree(privateBlock_);
  privateBlock_ = nullptr;
}

bool WinClipboard::HasText() { return IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE; }

bool WinClipboard::HasRichText() {
  return IsClipboardFormatAvailable(kRichTextFormat) && OwnedByThisProcess(GetClipboardOwner());
}

bool WinClipboard::HasBitmap() { return IsClipboardFormatAvailable(CF_BITMAP) != FALSE; }

bool WinClipboard::HasFiles() { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }

bool WinClipboard::ReadString(UINT format, std::u16string* out) {
  OpenClipboardScope scope(window_);
  if (!scope.ok()) return false;
  LockedBlock block(GetClipboardData(format));
  if (!block.data()) return false;
  *out = BoundedClipboardText(block.data(), block.size());
  return true;
}

bool WinClipboard::GetText(std::u16string* out) { return ReadString(CF_UNICODETEXT, out); }

bool WinClipboard::GetRichText(std::u16string* out) {
  return HasRichText() && ReadString(kRichTextFormat, out);
}

std::unique_ptr<Bitmap> WinClipboard::GetBitmap() {
  OpenClipboardScope scope(window_);
  if (!scope.ok()) return nullptr;
  auto source = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  if (!source) return nullptr;
  auto copy = static_cast<HBITMAP>(CopyImage(source, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!copy) return nullptr;
  return std::make_unique<GdiBitmap>(copy);
}

std::vector<std::u16string> WinClipboard::GetFiles() {
  OpenClipboardScope scope(window_);
  if (!scope.ok()) return {};
  LockedBlock block(GetClipboardData(CF_HDROP));
  return BoundedDropFiles(block.data(), block.size(), kMaxDroppedPath);
}

bool WinClipboard::Put(const std::u16string& plain, const std::u16string& rich) {
  HWND owner = Owner();
  if (!owner) return false;
  OpenClipboardScope scope(owner);
  if (!scope.ok() || !EmptyClipboard()) return false;
  // Emptied: a block of ours still recorded (the owner missed WM_DESTROYCLIPBOARD) is gone
  // from the clipboard too.
  ReleasePrivateBlock();
  HGLOBAL text = BlockOf(plain);
  if (!text || !SetClipboardData(CF_UNICODETEXT, text)) {
    if (text) GlobalFree(text);
    return false;
  }
  if (rich.empty()) return true;
  HGLOBAL html = BlockOf(rich);
  if (html && !SetClipboardData(kRichTextFormat, html)) GlobalFree(html);
  else privateBlock_ = html;
  return true;
}

}  // namespace richtext
