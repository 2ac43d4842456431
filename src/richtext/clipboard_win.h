// The system clipboard for the rich-text editor: CF_UNICODETEXT, the private rich-text
// format (513), CF_BITMAP and CF_HDROP. Every read is bounded by the size of the
// clipboard's memory block, and the private format is taken only from this program's
// own windows.
#pragma once
#include <windows.h>

#include "richtext/rich_platform.h"

namespace richtext {

constexpr UINT kRichTextFormat = 513;

class WinClipboard : public Clipboard {
 public:
  // The clipboard is opened on behalf of `window` (read when used: it may change).
  explicit WinClipboard(const HWND& window) : window_(window) {}

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
  const HWND& window_;
};

// The text of a clipboard block of `size` bytes: up to its first NUL, never past its end.
std::u16string BoundedClipboardText(const void* data, size_t size);
// The paths of a DROPFILES block of `size` bytes (each cut to `maxUnits` UTF-16 units);
// a block that points outside itself yields nothing past its end.
std::vector<std::u16string> BoundedDropFiles(const void* data, size_t size, size_t maxUnits);

}  // namespace richtext
