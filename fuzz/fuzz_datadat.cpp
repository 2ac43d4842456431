// The data.dat loader over arbitrary bytes: unscrambling, the nesting check, parsing, and
// reading settings, links and widget records. Also checks that a parsed document is never
// deeper than the nesting check allowed, and that whatever was read survives a save and a
// load unchanged (after one pass has turned unconvertible characters into '?').
#include <tinyxml.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/xml_guard.h"
#include "store/data_store.h"

namespace {

constexpr store::ScreenSize kScreen{1024, 768};

int TreeDepth(const TiXmlNode* n) {
  int deepest = 0;
  for (const TiXmlNode* c = n->FirstChild(); c; c = c->NextSibling()) {
    int d = c->ToElement() ? 1 + TreeDepth(c) : 0;
    if (d > deepest) deepest = d;
  }
  return deepest;
}

struct Loaded {
  ManagerData m;
  std::vector<CNotesLocalInfo> notes;
};

bool Load(const std::string& bytes, Loaded* out) {
  TiXmlDocument doc;
  if (store::ParseDataFile(bytes, &doc) != store::LoadStatus::kOk) return false;
  if (TreeDepth(&doc) > static_cast<int>(platform::kMaxXmlNesting)) std::abort();  // the nesting check missed something
  store::ReadSettings(doc.RootElement(), &out->m);
  store::ReadNotes(doc.RootElement(), kScreen, 1, [&](const CNotesLocalInfo& r) {
    out->notes.push_back(r);
    return true;
  });
  return true;
}

std::string Save(Loaded& l) {
  return store::EncodeDataFile(store::BuildDataDocument({l.m, l.notes}, kScreen));
}

bool SameText(const CNotesLocalInfo& a, const CNotesLocalInfo& b) {
  return a.rssurl == b.rssurl && a.content == b.content && a.group_name == b.group_name &&
         a.font_face == b.font_face && a.tmpl.image == b.tmpl.image && a.advlink_url == b.advlink_url &&
         a.advlink_title == b.advlink_title && a.x == b.x && a.y == b.y && a.width == b.width &&
         a.create_time == b.create_time && a.alpha == b.alpha && a.scrolly == b.scrolly &&
         a.refresh_interval == b.refresh_interval;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::SetAnsiCodePageForTests(936);
  Loaded first;
  if (!Load(std::string(reinterpret_cast<const char*>(data), size), &first)) return 0;
  Loaded second, third;
  if (!Load(Save(first), &second)) std::abort();
  if (!Load(Save(second), &third)) std::abort();
  const ManagerData& a = second.m;
  const ManagerData& b = third.m;
  if (!(a.custom_links == b.custom_links) || !(a.remote_links == b.remote_links) || a.switchs != b.switchs ||
      a.hotkey_shownotes != b.hotkey_shownotes || a.hotkey_addnotes != b.hotkey_addnotes ||
      a.smoothing != b.smoothing || second.notes.size() != third.notes.size())
    std::abort();
  for (size_t i = 0; i < second.notes.size(); ++i) {
    if (!SameText(second.notes[i], third.notes[i])) std::abort();
  }
  return 0;
}
