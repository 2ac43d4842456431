// CRichDrawEx: the engine the widgets use. Pasting also takes file paths (as file
// links), pictures (kept as JPEG files in the image folder and shown as thumbnails that
// link to the full picture) and dropped file lists.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "richtext/rich_draw.h"

namespace richtext {

class CRichDrawEx : public CRichDraw {
 public:
  // Pictures are stored as a full JPEG and one fitted into this box.
  static constexpr int kThumbnailBox = 150;

  explicit CRichDrawEx(std::unique_ptr<TextMeasurer> measurer) : CRichDraw(std::move(measurer)) {}

  // Where file paths are checked and pictures stored; none: neither happens.
  void SetFiles(RichFiles* files) { files_ = files; }

  int IsClipboardEmpty() override;
  void Paste() override;

  // Stores a picture as two new JPEG files (never overwriting one) and inserts the
  // thumbnail at the caret. False when the content has no room for it (nothing is written
  // then) or it could not be stored; nothing is inserted then.
  bool InsertImageFile(std::unique_ptr<Bitmap> bitmap);
  // Pasted text names a file when it starts with a drive root and the file exists.
  bool IsFileReference(const std::u16string& text);

 private:
  // "<font ..." (without its closing '>') in the style of the text typed at the caret,
  // underlined: the first part of a pasted file link.
  std::u16string FileLinkFontOpening() const;
  std::u16string FileLink(const std::u16string& path, bool lineBreak) const;

  RichFiles* files_ = nullptr;
  std::vector<std::u16string> drives_;
  bool drivesRead_ = false;
};

}  // namespace richtext
