// The files the extended rich-text engine touches on Windows: logical drives, file
// attributes, and pasted pictures saved as JPEG under the data folder's "image" folder.
#pragma once
#include <windows.h>

#include "richtext/rich_platform.h"

namespace richtext {

class WinRichFiles : public RichFiles {
 public:
  // The program's data folder, with its trailing backslash; empty: pictures are refused.
  void SetDataFolder(std::u16string folder) { dataFolder_ = std::move(folder); }

  bool DriveRoots(std::vector<std::u16string>* roots) override;
  bool Exists(const std::u16string& path) override;
  std::u16string ImageFolder() override;
  std::u16string NewImageName() override;
  bool SaveNewJpeg(const Bitmap& bitmap, const std::u16string& path) override;
  void Remove(const std::u16string& path) override;

 private:
  std::u16string dataFolder_;
};

}  // namespace richtext
