// Fixed-size stand-ins for the engine's platform: every ASCII character is 8 pixels wide,
// every other one 16, and a character is as tall as its font's |height| (12 px at 9 points,
// 13 px at 10 points, 96 dpi), so layout results are exact.
#pragma once
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "richtext/rich_draw.h"

namespace rtfake {

using namespace richtext;

constexpr int kNarrow = 8;
constexpr int kWide = 16;

class FixedMeasurer : public TextMeasurer {
 public:
  explicit FixedMeasurer(int* selects = nullptr) : selects_(selects) {}
  int LogPixelsY() override { return 96; }
  void UseFont(const FontDesc& f) override {
    font_ = f;
    if (selects_) ++*selects_;
  }
  Extent MeasureChar(char16_t ch) override {
    return Extent{ch < 128 ? kNarrow + (font_.weight > 400 ? 1 : 0) : kWide, std::abs(font_.height)};
  }
  int MaxCharWidth(const FontDesc&) override { return kWide; }

 private:
  FontDesc font_;
  int* selects_;
};

class FakeBitmap : public Bitmap {
 public:
  FakeBitmap(int w, int h) : w_(w), h_(h) {}
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  std::unique_ptr<Bitmap> Stretched(int w, int h) const override { return std::make_unique<FakeBitmap>(w, h); }

 private:
  int w_, h_;
};

struct FakeHost : RichHost {
  Rect client{0, 0, 204, 104};
  int invalidations = 0;
  std::vector<int> timers;  // running timer ids
  int glideRestPosts = 0;
  bool vscroll = false;
  int scrollPos = -1;
  bool focus = false;
  bool leftDown = false;
  std::vector<std::pair<std::u16string, uint32_t>> loads;
  int cancels = 0;

  Rect GetClientRect() override { return client; }
  void Invalidate() override {
    ++invalidations;
    areas.push_back(client);
  }
  void InvalidateArea(const Rect& area) override {
    ++invalidations;
    areas.push_back(area);
  }
  std::vector<Rect> areas;  // what each repaint asked for
  void SetTimer(int id, int) override {
    KillTimer(id);
    timers.push_back(id);
  }
  void KillTimer(int id) override {
    for (size_t i = 0; i < timers.size(); ++i)
      if (timers[i] == id) timers.erase(timers.begin() + static_cast<long>(i--));
  }
  bool HasTimer(int id) const {
    for (int t : timers)
      if (t == id) return true;
    return false;
  }
  void PostGlideAtRest() override { ++glideRestPosts; }
  bool HasVScroll() override { return vscroll; }
  void SetVScrollPos(int pos) override { scrollPos = pos; }
  bool HasFocus() override { return focus; }
  bool IsLeftButtonDown() override { return leftDown; }
  void QueueImageLoad(const std::u16string& source, uint32_t token) override { loads.emplace_back(source, token); }
  void CancelImageLoads() override {
    ++cancels;
    loads.clear();
  }
  bool ctrl = false, shift = false;
  bool IsCtrlDown() override { return ctrl; }
  bool IsShiftDown() override { return shift; }
};

// A clipboard in memory: `richFromUs` says whether the rich text counts as our own copy.
struct FakeClipboard : Clipboard {
  bool hasText = false, hasRich = false, richFromUs = true;
  std::u16string text, rich;
  std::unique_ptr<Bitmap> bitmap;
  std::vector<std::u16string> files;
  int puts = 0;

  bool HasText() override { return hasText; }
  bool HasRichText() override { return hasRich && richFromUs; }
  bool HasBitmap() override { return bitmap != nullptr; }
  bool HasFiles() override { return !files.empty(); }
  bool GetText(std::u16string* out) override {
    if (!hasText) return false;
    *out = text;
    return true;
  }
  bool GetRichText(std::u16string* out) override {
    if (!HasRichText()) return false;
    *out = rich;
    return true;
  }
  std::unique_ptr<Bitmap> GetBitmap() override {
    return bitmap ? bitmap->Stretched(bitmap->Width(), bitmap->Height()) : nullptr;
  }
  std::vector<std::u16string> GetFiles() override { return files; }
  bool Put(const std::u16string& plain, const std::u16string& richText) override {
    ++puts;
    text = plain;
    hasText = true;
    rich = richText;
    hasRich = !richText.empty();
    richFromUs = true;
    return true;
  }
  // Text copied in another program.
  void PutForeign(const std::u16string& plain) {
    text = plain;
    hasText = true;
    hasRich = false;
  }
};

inline std::unique_ptr<CRichDraw> MakeEngine(int* selects = nullptr) {
  return std::make_unique<CRichDraw>(std::make_unique<FixedMeasurer>(selects));
}

}  // namespace rtfake
