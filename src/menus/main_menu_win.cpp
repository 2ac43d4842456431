#include "menus/main_menu_win.h"

#include <gdiplus.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <memory>
#include <vector>

#include "menus/main_menu.h"
#include "res/resource.h"
#include "ui/dpi_win.h"

namespace menus {

namespace {

constexpr wchar_t kTip[] = L"Dorvane";

NOTIFYICONDATAW IconData(HWND owner) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = owner;
  nid.uID = kTrayIconId;
  return nid;
}

// Decodes a PNG resource straight into a 32-bit DIB section with premultiplied alpha,
// as AlphaBlend wants it.
HBITMAP LoadPngBitmap(int id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  HGLOBAL data = res ? LoadResource(module, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  DWORD size = res ? SizeofResource(module, res) : 0;
  if (!bytes || !size) return nullptr;
  IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(bytes), size);
  if (!stream) return nullptr;
  HBITMAP result = nullptr;
  {
    std::unique_ptr<Gdiplus::Bitmap> png(Gdiplus::Bitmap::FromStream(stream));
    const int w = png ? static_cast<int>(png->GetWidth()) : 0, h = png ? static_cast<int>(png->GetHeight()) : 0;
    if (png && png->GetLastStatus() == Gdiplus::Ok && w > 0 && h > 0) {
      BITMAPINFO bi{};
      bi.bmiHeader.biSize = sizeof bi.bmiHeader;
      bi.bmiHeader.biWidth = w;
      bi.bmiHeader.biHeight = -h;
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = 32;
      void* bits = nullptr;
      HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
      if (dib && bits) {
        // A GDI+ bitmap over the DIB's own pixels: drawing into it writes premultiplied ARGB.
        Gdiplus::Bitmap target(w, h, w * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits));
        Gdiplus::Graphics g(&target);
        g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        if (g.DrawImage(png.get(), 0, 0, w, h) == Gdiplus::Ok) {
          result = dib;
          dib = nullptr;
        }
      }
      if (dib) DeleteObject(dib);
    }
  }
  stream->Release();
  return result;
}

}  // namespace

bool AddTrayIcon(HWND owner) {
  NOTIFYICONDATAW nid = IconData(owner);
  nid.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  nid.uCallbackMessage = kTrayCallbackMessage;
  nid.hIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  lstrcpynW(nid.szTip, kTip, ARRAYSIZE(nid.szTip));
  // After an Explorer restart the old icon is gone; a stale one is replaced.
  BOOL ok = Shell_NotifyIconW(NIM_ADD, &nid) || Shell_NotifyIconW(NIM_MODIFY, &nid);
  if (nid.hIcon) DestroyIcon(nid.hIcon);
  return ok != FALSE;
}

void RemoveTrayIcon(HWND owner) {
  NOTIFYICONDATAW nid = IconData(owner);
  Shell_NotifyIconW(NIM_DELETE, &nid);
}

UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

HBITMAP MainMenu::Icon(int id) {
  auto it = icons_.find(id);
  if (it == icons_.end()) it = icons_.emplace(id, fw::UniqueBitmap(LoadPngBitmap(id))).first;
  return it->second.get();
}

void MainMenu::Close() {
  options_.Close();
  top_.Close();
  toolbox_.Close();
}

void MainMenu::Show(HWND owner, int x, int y) {
  Close();
  top_.Create(owner);
  // Submenus keep their items across showings: fill them from empty.
  options_.RemoveAllItems();
  toolbox_.RemoveAllItems();
  // Icons drawn for the monitor the menu opens on; a missing drawing falls back to 1x.
  const int dpi = ui::DpiAtPoint(x, y);
  auto fill = [this, dpi](CQMenu& menu, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
      HBITMAP icon = nullptr;
      if (e.icon) icon = Icon(IconIdFor(e.icon, dpi));
      if (e.icon && !icon) icon = Icon(e.icon);
      if (e.submenu == Submenu::kNone) {
        menu.AppendItem(e.flags, e.text, e.command, icon);
      } else {
        CQMenu* sub = e.submenu == Submenu::kOptions ? &options_ : &toolbox_;
        menu.AppendPopup(e.flags, e.text, sub, icon);
      }
    }
  };
  fill(options_, OptionsMenuEntries());
  fill(toolbox_, ToolboxMenuEntries());
  fill(top_, TopMenuEntries());
  top_.TrackPopup(x, y, owner);
}

}  // namespace menus
