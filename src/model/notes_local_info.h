// The persistent record of one widget: everything data.dat keeps about it. The widget
// window derives from it (its second base), so a widget is also its own record.
#pragma once
#include <cstdint>
#include <string>

// The template sub-record, copied as a whole between widgets.
struct NoteTemplate {
  uint16_t type = 0;    // template kind; the feed widget uses 1
  double x1 = 0.05;     // margins as fractions of the widget: left, top, right, bottom
  double y1 = 0.1;
  double x2 = 0.95;
  double y2 = 0.95;
  std::u16string image;
  int32_t bkcolor_id = 0;  // colour theme 1-6; 0 when none was chosen
};

class CNotesLocalInfo {
 public:
  static constexpr int32_t kDefaultWidth = 200;
  static constexpr int32_t kDefaultHeight = 200;
  static constexpr uint8_t kDefaultAlpha = 200;
  static constexpr int32_t kDefaultLineSpace = 2;
  static constexpr int32_t kDefaultFontSize = 100;  // tenths of a point
  // The refresh intervals a widget may have of its own, in seconds (5 minutes to a day).
  static constexpr int32_t kMinRefreshInterval = 5 * 60;
  static constexpr int32_t kMaxRefreshInterval = 24 * 60 * 60;

  CNotesLocalInfo();
  virtual ~CNotesLocalInfo() = default;
  CNotesLocalInfo(const CNotesLocalInfo&) = default;
  CNotesLocalInfo& operator=(const CNotesLocalInfo&) = default;

  // A widget overrides these to pass the text to and from its rich-text engine.
  virtual void SetContent(const std::u16string& text);
  virtual std::u16string GetContent();

  // Copies every persistent field of `other` into this record (not the derived parts).
  void CopyRecordFrom(const CNotesLocalInfo& other) { CNotesLocalInfo::operator=(other); }

  // Whether the widget belongs in the desktop's icon view (where the system allows it):
  // never while it is topmost; otherwise when the manager embeds every widget (its
  // `embed_desktop`) or this one was made to sit there.
  bool WantsDesktop(int32_t managerEmbed) const { return topmost != 1 && (managerEmbed == 1 || in_desktop == 1); }

  std::u16string content;     // for a feed widget: the generated HTML subset
  std::u16string group_name;  // carried through storage
  int32_t x = 0;              // screen pixels
  int32_t y = 0;
  int32_t width = kDefaultWidth;
  int32_t height = kDefaultHeight;
  int32_t topmost = 0;
  int32_t in_desktop = 0;     // 1: placed in the desktop when made, whatever the others do
  int32_t refresh_interval = 0;  // seconds between refreshes; 0: the settings' default
  int32_t visible = 1;
  int32_t locked = 0;         // carried through storage
  uint8_t alpha = kDefaultAlpha;  // background opacity 0-255
  std::u16string rssurl;      // the subscription's address
  int32_t linespace = kDefaultLineSpace;  // extra pixels between lines
  int32_t scrolly = 0;        // the engine's vertical offset, 0 or negative
  uint32_t textcolor = 0;     // COLORREF (red in the low byte)
  int32_t font_size = kDefaultFontSize;
  int32_t font_bold = 0;
  std::u16string font_face;   // "宋体" by default
  int64_t create_time = 0;    // seconds since 1970
  NoteTemplate tmpl;
  std::u16string advlink_title;  // extra link under the feed items
  std::u16string advlink_url;
};
