// The system clipboard for the rich-text editor: CF_UNICODETEXT, the private rich-text
// format (513), CF_BITMAP and CF_HDROP. Every read is bounded by the size of the
// clipboard's memory block, and the private format is taken only from this program's
// own windows.
#pragma once
#include <windows.h>

#include "richtext/rich_platform.h"

namespace richtext {

constexpr UINT kRichTextFormat = 513;

// Who frees a block placed under a private format (CF_PRIVATEFIRST..CF_PRIVATELAST, such
// as 513) once the clipboard is emptied. Windows leaves it to the clipboard owner, who is
// told by WM_DESTROYCLIPBOARD. Wine's clipboard keeps every block a process places, of
// any format, and frees it itself when that process empties the clipboard or next opens
// it after another program has taken it over: freeing it there as well would free it twice.
bool SystemFreesPrivateClipboardData();

class WinClipboard : public Clipboard {
 public:
  // The clipboard is read on behalf of `window` (read when used: it may change). What is
  // placed is owned by a hidden window of this object, which frees the private block when
  // the clipboard is emptied unless the system does (`ownerFreesPrivateData`).
  explicit WinClipboard(const HWND& window, bool ownerFreesPrivateData = !SystemFreesPrivateClipboardData())
      : window_(window), ownerFreesPrivate_(ownerFreesPrivateData) {}
  ~WinClipboard() override;
  WinClipboard(const WinClipboard&) = delete;
  WinClipboard& operator=(const WinClipboard&) = delete;

  bool HasText() override;
  bool HasRichText() override;
  bool HasBitmap() override;
  bool HasFiles() override;
  bool GetText(std::u16string* out) override;
  bool GetRichText(std::u16string* out) override;
  std::unique_ptr<Bitmap> GetBitmap() override;
  std::vector<std::u16string> GetFiles() override;
  bool Put(const std::u16string& plain, const std::u16string& rich) override;

 private:
  bool ReadString(UINT format, std::u16string* out);
  static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND Owner();
  // The clipboard no longer holds the private block placed last: free it when that is ours to do.
  void ReleasePrivateBlock();

  const HWND& window_;
  const bool ownerFreesPrivate_;
  HWND owner_ = nullptr;
  HGLOBAL privateBlock_ = nullptr;  // on the clipboard under kRichTextFormat, placed by us
};

// The text of a clipboard block of `size` bytes: up to its first NUL, never past its end.
std::u16string BoundedClipboardText(const void* data, size_t size);
// The paths of a DROPFILES block of `size` bytes (each cut to `maxUnits` UTF-16 units);
// a block that points outside itself yields nothing past its end.
std::vector<std::u16string> BoundedDropFiles(const void* data, size_t size, size_t maxUnits);

}  // namespace richtext
