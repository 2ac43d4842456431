// What the rich-text engine needs from the system, as small interfaces: measuring one
// character, drawing onto a surface, images, and the window the engine is attached to.
// The GDI implementations live in the Windows layer; tests use fixed-size fakes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "richtext/html_parser.h"

namespace richtext {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

struct Extent {
  int cx = 0, cy = 0;
};

// A font as the engine describes it: the fields of a LOGFONT that it sets or keeps.
struct FontDesc {
  std::u16string face;
  int height = 0;  // LOGFONT height: negative for a character height in pixels
  int weight = 400;
  bool italic = false, underline = false, strikeout = false;
  // Carried from the default font unchanged.
  uint8_t charset = 1;  // DEFAULT_CHARSET
  uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;

  bool operator==(const FontDesc& o) const {
    return height == o.height && weight == o.weight && italic == o.italic && underline == o.underline &&
           strikeout == o.strikeout && charset == o.charset && outPrecision == o.outPrecision &&
           clipPrecision == o.clipPrecision && quality == o.quality && pitchAndFamily == o.pitchAndFamily &&
           face == o.face;
  }
  bool operator!=(const FontDesc& o) const { return !(*this == o); }
};

// A decoded image held by the platform.
class Bitmap {
 public:
  virtual ~Bitmap() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // A copy scaled to w x h (smooth scaling); nullptr when that fails.
  virtual std::unique_ptr<Bitmap> Stretched(int w, int h) const = 0;
};

class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  // Vertical resolution of the screen, for converting point sizes to pixels.
  virtual int LogPixelsY() = 0;
  // Makes `font` the font of the following MeasureChar calls.
  virtual void UseFont(const FontDesc& font) = 0;
  virtual Extent MeasureChar(char16_t ch) = 0;
  virtual int MaxCharWidth(const FontDesc& font) = 0;
};

// A drawing surface for one paint. Colours and modes persist until changed.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void ClipTo(const Rect& r) = 0;
  virtual void UseFont(const FontDesc& font) = 0;
  virtual ColorRef GetTextColor() = 0;
  virtual ColorRef GetBackColor() = 0;
  virtual bool IsBackTransparent() = 0;
  virtual void SetTextColor(ColorRef c) = 0;
  virtual void SetBackColor(ColorRef c) = 0;
  virtual void SetBackTransparent(bool transparent) = 0;
  // One character with its cell's top-left corner at (x, y), in the current font and colours.
  virtual void DrawChar(int x, int y, char16_t ch) = 0;
  // `n` characters in one call, the first cell at (x, y), each next one `advances` of the
  // one before further right: the same pixels as drawing them one by one.
  virtual void DrawChars(int x, int y, const char16_t* chars, const int* advances, int n) {
    for (int i = 0; i < n; x += advances[i++]) DrawChar(x, y, chars[i]);
  }
  virtual void FillRect(const Rect& r, ColorRef c) = 0;
  virtual void InvertRect(const Rect& r) = 0;
  // Copies the top-left w x h pixels of the bitmap to (x, y).
  virtual void DrawBitmap(const Bitmap& b, int x, int y, int w, int h) = 0;
};

// The window the engine is attached to: repainting, timers, scroll bar, focus, and the
// process-wide image loader.
class RichHost {
 public:
  virtual ~RichHost() = default;
  virtual Rect GetClientRect() = 0;
  virtual void Invalidate() = 0;
  // Only `area` (client coordinates) shows something new; by default the whole window is
  // painted again.
  virtual void InvalidateArea(const Rect& area) { Invalidate(); }
  virtual void SetTimer(int id, int ms) = 0;
  virtual void KillTimer(int id) = 0;
  // Tells the window that a drag-scroll glide has come to rest (posted, not sent).
  virtual void PostGlideAtRest() = 0;
  virtual bool HasVScroll() = 0;
  virtual void SetVScrollPos(int pos) = 0;
  virtual bool HasFocus() = 0;
  virtual bool IsLeftButtonDown() = 0;
  // Loads the image at `source` in the background and delivers it to the engine's
  // OnImageLoaded with the same token.
  virtual void QueueImageLoad(const std::u16string& source, uint32_t token) = 0;
  virtual void CancelImageLoads() = 0;
  // Modifier keys held while a key message is handled.
  virtual bool IsCtrlDown() { return false; }
  virtual bool IsShiftDown() { return false; }
  // Where the pointer is now, in client coordinates; false when unknown.
  virtual bool GetPointer(int* x, int* y) { return false; }
};

// The clipboard as the editor uses it. Reads are bounded by what the clipboard holds and
// fail (false / nullptr / empty) when it cannot be read.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual bool HasText() = 0;
  // The private rich-text format, only when one of this program's windows placed it.
  virtual bool HasRichText() = 0;
  virtual bool HasBitmap() = 0;
  virtual bool HasFiles() = 0;
  virtual bool GetText(std::u16string* out) = 0;
  virtual bool GetRichText(std::u16string* out) = 0;
  // A copy of the clipboard's bitmap.
  virtual std::unique_ptr<Bitmap> GetBitmap() = 0;
  virtual std::vector<std::u16string> GetFiles() = 0;
  // Empties the clipboard, places `plain`, then `rich` in the private format unless empty.
  virtual bool Put(const std::u16string& plain, const std::u16string& rich) = 0;
};

// Files the extended engine touches when pasting: telling a file path from text, and
// keeping pasted pictures as image files.
class RichFiles {
 public:
  virtual ~RichFiles() = default;
  // The roots of the logical drives ("C:\\", ...); false when they cannot be read.
  virtual bool DriveRoots(std::vector<std::u16string>* roots) = 0;
  virtual bool Exists(const std::u16string& path) = 0;
  // The folder pasted pictures go to, created when missing, with a trailing backslash;
  // empty when there is none.
  virtual std::u16string ImageFolder() = 0;
  // A base name for a new picture from the local time and a random number.
  virtual std::u16string NewImageName() = 0;
  // Writes a JPEG (quality 100) to a file that must not exist yet; false when the file
  // exists or cannot be written.
  virtual bool SaveNewJpeg(const Bitmap& bitmap, const std::u16string& path) = 0;
  virtual void Remove(const std::u16string& path) = 0;
};

}  // namespace richtext
