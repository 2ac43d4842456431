// Choosing which copy of data.dat to read.
#include <tinyxml.h>

#include <string>
#include <utility>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"
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

void LogDataWriteFailure(const platform::WriteFailure& failure) {
  switch (failure.stage) {
    case platform::WriteStage::kCreate: LogError("save xml:open file fail! error:%d", failure.systemError); break;
    case platform::WriteStage::kWrite: LogError("save xml:write file fail! error:%d", failure.systemError); break;
    default: LogError("save xml:rename file fail! error:%d", failure.systemError); break;
  }
}

namespace {

// Copies `path` to "<name>-unreadable-N<ext>" beside it, N the first number not taken.
// Returns the new path, or empty when there was nothing to copy or the copy failed.
std::u16string KeepAside(const std::u16string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes)) return std::u16string();
  size_t dot = path.rfind(u'.');
  size_t slash = path.find_last_of(u"\\/");
  if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) dot = path.size();
  for (int n = 1; n < 1000; ++n) {
    std::u16string aside = path.substr(0, dot) + u"-unreadable-" + platform::Utf8ToU16(std::to_string(n)) +
                           path.substr(dot);
    if (platform::FileExists(aside)) continue;
    if (!platform::WriteFileAtomic(aside, bytes)) return std::u16string();
    return aside;
  }
  return std::u16string();
}

}  // namespace

DataStore::DataStore(std::u16string dataFolder, std::u16string appFolder, platform::WriteQueue* queue)
    : dataFolder_(std::move(dataFolder)), appFolder_(std::move(appFolder)), queue_(queue) {}

LoadOutcome DataStore::Load(ScreenSize screen, int64_t now, DataSnapshot* out, std::u16string* keptAside) const {
  TiXmlDocument doc;
  bool anyRead = false;
  int readError = 0;
  if (LoadFirstUsable(DataFileCandidates(dataFolder_, appFolder_), &doc, &anyRead, &readError) < 0) {
    if (anyRead) {
      // The next save replaces the unreadable copies: keep them for the user first.
      std::vector<std::u16string> copies{ProgramCopy()};
      if (!dataFolder_.empty()) copies.insert(copies.begin(), dataFolder_ + kDataFileName);
      for (const std::u16string& copy : copies) {
        std::u16string aside = KeepAside(copy);
        if (aside.empty()) continue;
        LogError("data.dat could not be read, the settings start afresh; the old file is kept as %s",
                 platform::ToAnsi(aside).c_str());
        if (keptAside && keptAside->empty()) *keptAside = aside;
      }
      return LoadOutcome::kUnusable;
    }
    // No copy anywhere is a fresh installation, not a failure.
    LogDebug("no data.dat yet (error code:%d): a fresh installation", readError);
    out->settings.usecount = 1;
    out->settings.first_run = 1;
    return LoadOutcome::kNoDocument;
  }
  const TiXmlElement* root = doc.RootElement();
  ReadSettings(root, &out->settings);
  ReadNotes(root, screen, now, [out](const CNotesLocalInfo& record) {
    out->widgets.push_back(record);
    return true;
  });
  return LoadOutcome::kLoaded;
}

bool DataStore::Save(const DataSnapshot& data, ScreenSize screen) const {
  const std::string bytes = EncodeDataFile(BuildDataDocument(data, screen));
  std::vector<std::u16string> targets{ProgramCopy()};
  if (!dataFolder_.empty()) targets.push_back(dataFolder_ + kDataFileName);
  bool first = true, result = true;
  for (const std::u16string& target : targets) {
    if (queue_) {
      queue_->Write(target, bytes, [](bool ok, const std::string&, const platform::WriteFailure& failure) {
        if (!ok) LogDataWriteFailure(failure);
      });
    } else {
      platform::WriteFailure failure;
      if (!platform::WriteFileAtomic(target, bytes, nullptr, &failure)) {
        LogDataWriteFailure(failure);
        if (first) result = false;
      }
    }
    first = false;
  }
  return result;
}

}  // namespace store
