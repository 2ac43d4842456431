#include "adverts/advert_store.h"

#include <tinyxml.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"
#include "platform/xml_guard.h"
#include "store/data_store.h"

namespace adverts {
namespace {

std::string Ansi(const std::u16string& s) { return store::XmlEscape(platform::ToAnsi(s)); }

std::u16string TextOf(const TiXmlElement* parent, const char* name) {
  const TiXmlElement* e = parent ? parent->FirstChildElement(name) : nullptr;
  const char* t = e ? e->GetText() : nullptr;
  return t ? platform::FromAnsi(t) : std::u16string();
}

}  // namespace

std::string BuildAdvertFileText(const std::u16string& retired, const std::vector<AdvLinkGroup>& groups) {
  std::string out = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<config>\r\n";
  out += "\t<removed_advs>" + Ansi(retired) + "</removed_advs>\r\n";
  if (!groups.empty()) {
    out += "\t<advlinks>\r\n";
    for (const AdvLinkGroup& g : groups) {
      out += "\t\t<advlink position=\"" + std::to_string(g.position) + "\">\r\n";
      for (const AdvLink& l : g.links) {
        out += "\t\t\t<link>\r\n";
        out += "\t\t\t\t<name>" + Ansi(l.name) + "</name>\r\n";
        out += "\t\t\t\t<link>" + Ansi(l.link) + "</link>\r\n";
        out += "\t\t\t</link>\r\n";
      }
      out += "\t\t</advlink>\r\n";
    }
    out += "\t</advlinks>\r\n";
  }
  out += "</config>";
  return out;
}

std::string EncodeAdvertFile(const std::string& text) {
  std::string bytes = text;
  bytes.push_back('\0');
  store::ScrambleData(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
  return bytes;
}

int32_t AdvLinkPositionFromText(const char* text) {
  if (!text) return 1;
  std::string t(text);
  if (t == "2") return 2;
  if (t == "6") return 6;
  return 1;
}

AdvertFileStatus ParseAdvertFile(const std::string& bytes, std::u16string* retired,
                                 std::vector<AdvLinkGroup>* groups) {
  if (bytes.size() < kMinAdvertFileSize) {
    LogError("invalid file \"adv\\config.dat!\"");
    return AdvertFileStatus::kTooShort;
  }
  std::string text = bytes;
  if (text.compare(0, 5, "<?xml") != 0) store::UnscrambleData(reinterpret_cast<unsigned char*>(&text[0]), text.size());
  // The text ends at its zero byte; the parser must never read past it.
  size_t end = text.find('\0');
  if (end != std::string::npos) text.resize(end);
  TiXmlDocument doc;
  if (platform::XmlNestingAcceptable(text.data(), text.size())) {
    doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  }
  const TiXmlElement* root = doc.Error() ? nullptr : doc.RootElement();
  if (!root) {
    LogError("parse adv xml error!");
    return AdvertFileStatus::kParseError;
  }
  *retired = TextOf(root, "removed_advs");
  groups->clear();
  const TiXmlElement* links = root->FirstChildElement("advlinks");
  for (const TiXmlElement* a = links ? links->FirstChildElement("advlink") : nullptr; a;
       a = a->NextSiblingElement("advlink")) {
    const char* position = a->Attribute("position");
    if (!position) continue;
    AdvLinkGroup g;
    g.position = AdvLinkPositionFromText(position);
    for (const TiXmlElement* l = a->FirstChildElement("link"); l; l = l->NextSiblingElement("link")) {
      g.links.push_back(AdvLink{TextOf(l, "name"), TextOf(l, "link")});
    }
    groups->push_back(std::move(g));
  }
  return AdvertFileStatus::kOk;
}

bool IsRetired(const std::u16string& retired, int32_t id) {
  const std::u16string want = platform::Utf8ToU16(std::to_string(id));
  size_t start = 0;
  while (start < retired.size()) {
    size_t comma = retired.find(u',', start);
    if (comma == std::u16string::npos) return false;  // text after the last comma is no id
    if (retired.compare(start, comma - start, want) == 0) return true;
    start = comma + 1;
  }
  return false;
}

AdvertStore::AdvertStore(std::u16string dataFolder) : dataFolder_(std::move(dataFolder)) {}

std::u16string AdvertStore::FilePath() const {
  if (dataFolder_.empty()) return std::u16string();
  const char16_t sep = dataFolder_.back();
  return dataFolder_ + kAdvertFolderName + sep + kAdvertFileName;
}

int AdvertStore::Load() {
  std::lock_guard<std::mutex> lock(mu_);
  if (loaded_) return 1;
  return LoadLocked();
}

int AdvertStore::LoadLocked() {
  loaded_ = true;
  std::string bytes;
  int error = 0;
  const std::u16string path = FilePath();
  if (path.empty() || !platform::ReadWholeFile(path, &bytes, &error)) {
    // Until the first advert link or shown advert there is no file: that is no fault.
    if (!path.empty() && !platform::FileExists(path)) {
      LogDebug("no adv\\config.dat yet (error code:%d): nothing retired", error);
    } else {
      LogError("read adv xml file fail! error code:%d", error);
    }
    return 0;
  }
  return ParseAdvertFile(bytes, &retired_, &groups_) == AdvertFileStatus::kOk ? 1 : 0;
}

int AdvertStore::Save() {
  std::lock_guard<std::mutex> lock(mu_);
  return SaveLocked();
}

int AdvertStore::SaveLocked() {
  const std::u16string path = FilePath();
  if (path.empty() || !platform::CreateFolder(dataFolder_ + kAdvertFolderName)) {
    LogError("save adv xml:open file fail!");
    return 0;
  }
  platform::WriteFailure failure;
  if (platform::WriteFileAtomic(path, EncodeAdvertFile(BuildAdvertFileText(retired_, groups_)), nullptr, &failure)) {
    return 1;
  }
  switch (failure.stage) {
    case platform::WriteStage::kCreate: LogError("save adv xml:open file fail!"); break;
    case platform::WriteStage::kWrite: LogError("save adv xml:write file fail!"); break;
    default: LogError("save adv xml:rename file fail!"); break;
  }
  return 0;
}

void AdvertStore::AddAdverts(const std::vector<AdvertRecord>& adverts) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!loaded_) LoadLocked();
  for (const AdvertRecord& a : adverts) {
    bool known = std::any_of(stored_.begin(), stored_.end(), [&](const Entry& e) { return e.advert.id == a.id; });
    if (known || IsRetired(retired_, a.id)) continue;
    if (stored_.size() >= kMaxStoredAdverts) stored_.erase(stored_.begin());
    stored_.push_back(Entry{a, false});
  }
}

void AdvertStore::ReplaceAdvLinkGroups(const std::vector<AdvLinkGroup>& groups) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!loaded_) LoadLocked();
  groups_ = groups;
  SaveLocked();
}

std::vector<AdvLink> AdvertStore::GetAdvLinks(int32_t position) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!loaded_) LoadLocked();
  std::vector<AdvLink> out;
  for (const AdvLinkGroup& g : groups_) {
    if (g.position != position) continue;
    for (const AdvLink& l : g.links) {
      if (out.size() >= kMaxAdvLinks) return out;
      out.push_back(l);
    }
  }
  return out;
}

void AdvertStore::RetireLocked(int32_t id) {
  auto it = std::find_if(stored_.begin(), stored_.end(), [&](const Entry& e) { return e.advert.id == id; });
  if (it != stored_.end()) stored_.erase(it);
  if (!IsRetired(retired_, id)) retired_ += platform::Utf8ToU16(std::to_string(id) + ",");
}

void AdvertStore::RetireAdvert(int32_t id) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!loaded_) LoadLocked();
  RetireLocked(id);
  SaveLocked();
}

int AdvertStore::RunAdvertScheduler(const SchedulerHost& host) {
  std::vector<AdvertRecord> due;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!loaded_) LoadLocked();
    for (Entry& e : stored_) {
      const AdvertRecord& a = e.advert;
      if (e.shown || a.position != 2 || a.usergrade > host.usecount) continue;
      if (a.starttime > host.now || a.starttime < host.now - kShowWindowSeconds) continue;
      e.shown = true;
      due.push_back(a);
    }
    for (const AdvertRecord& a : due) RetireLocked(a.id);
    if (!due.empty()) SaveLocked();
  }
  // Shown outside the lock: the popup may call back into the store.
  for (const AdvertRecord& a : due) {
    if (host.siblingRunning && host.siblingRunning()) continue;
    if (host.show) host.show(a);
  }
  return static_cast<int>(due.size());
}

std::u16string AdvertStore::retired() {
  std::lock_guard<std::mutex> lock(mu_);
  return retired_;
}

size_t AdvertStore::storedCount() {
  std::lock_guard<std::mutex> lock(mu_);
  return stored_.size();
}

}  // namespace adverts
