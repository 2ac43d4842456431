// Choosing which copy of data.dat to read.
#include <tinyxml.h>

#include "platform/files.h"
#include "store/data_store.h"

namespace store {

std::vector<std::u16string> DataFileCandidates(const std::u16string& dataFolder, const std::u16string& appFolder) {
  const std::u16string name = kDataFileName;
  std::vector<std::u16string> copies;
  if (!dataFolder.empty()) copies.push_back(dataFolder + name);
  copies.push_back(appFolder + name);
  std::vector<std::u16string> out = copies;
  for (const auto& c : copies) out.push_back(platform::BackupPathFor(c));
  return out;
}

int LoadFirstUsable(const std::vector<std::u16string>& paths, TiXmlDocument* doc, bool* anyRead, int* readError) {
  *anyRead = false;
  for (size_t i = 0; i < paths.size(); ++i) {
    std::string bytes;
    if (!platform::ReadWholeFile(paths[i], &bytes, readError)) continue;
    *anyRead = true;
    if (ParseDataFile(bytes, doc) == LoadStatus::kOk) return static_cast<int>(i);
  }
  doc->Clear();
  return -1;
}

}  // namespace store
