#include "config/app_config.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/clock.h"
#include "platform/decimal.h"
#include "platform/text.h"
#include "platform/xml_guard.h"

namespace config {
namespace {

std::u16string FromAnsi(const char* text) {
  std::u16string out = platform::FromAnsi(text ? text : "");
  if (out.size() > kMaxTextChars) out.resize(kMaxTextChars);
  return out;
}

const char* ChildText(const TiXmlElement* parent, const char* name) {
  const TiXmlElement* e = parent ? parent->FirstChildElement(name) : nullptr;
  return e ? e->GetText() : nullptr;
}

// Sets `field` from the child's text only when the child exists and holds text.
void ReadText(const TiXmlElement* parent, const char* name, std::u16string* field) {
  if (const char* t = ChildText(parent, name)) *field = FromAnsi(t);
}

void ReadUpdate(const TiXmlElement* root, AppConfig* c) {
  const TiXmlElement* update = root->FirstChildElement("update");
  if (!update) return;
  ReadText(update, "ver", &c->updateVersion);
  ReadText(update, "url", &c->updateUrl);
  ReadText(update, "msg", &c->updateMessage);
  if (const char* sha = ChildText(update, "sha256")) c->updateSha256.assign(sha, std::min<size_t>(std::strlen(sha), 128));
}

void ReadNewsSources(const TiXmlElement* root, AppConfig* c) {
  const TiXmlElement* app = root->FirstChildElement("appconfig");
  if (!app) return;
  if (const TiXmlElement* list = app->FirstChildElement("thirdparty_news_url")) {
    for (const TiXmlElement* e = list->FirstChildElement(); e && c->newsSources.size() < kMaxNewsSources;
         e = e->NextSiblingElement()) {
      ThirdPartyNewsSource s;
      ReadText(e, "name", &s.name);
      ReadText(e, "url", &s.url);
      if (!s.name.empty() && !s.url.empty()) c->newsSources.push_back(std::move(s));
    }
  }
  ReadText(app, "thirdparty_news_title", &c->newsTitle);
}

void ReadAdvLinks(const TiXmlElement* root, AppConfig* c) {
  const TiXmlElement* groups = root->FirstChildElement("advlinks");
  if (!groups) return;
  for (const TiXmlElement* g = groups->FirstChildElement(); g && c->advLinkGroups.size() < kMaxLinkGroups;
       g = g->NextSiblingElement()) {
    AdvLinkGroup group;
    const char* pos = g->Attribute("position");
    group.position = AdvertPositionFromText(pos ? pos : "");
    for (const TiXmlElement* l = g->FirstChildElement("link"); l && group.links.size() < kMaxLinksPerGroup;
         l = l->NextSiblingElement("link")) {
      AdvLink link;
      ReadText(l, "name", &link.name);
      ReadText(l, "link", &link.link);
      if (!link.name.empty() && !link.link.empty()) group.links.push_back(std::move(link));
    }
    if (!group.links.empty()) c->advLinkGroups.push_back(std::move(group));
  }
}

void ReadNumber(const TiXmlElement* parent, const char* name, int32_t* field) {
  if (const char* t = ChildText(parent, name)) *field = platform::DecimalValue(t);
}

void ReadTime(const TiXmlElement* parent, const char* name, int64_t* field) {
  if (const char* t = ChildText(parent, name)) *field = ParseConfigTime(t);
}

AdvertRecord ReadAdvert(const TiXmlElement* e) {
  AdvertRecord a;
  if (const char* t = e->Attribute("type")) a.type = AdvertTypeFromText(t);
  if (const char* p = e->Attribute("position")) a.position = AdvertPositionFromText(p);
  if (const char* id = e->Attribute("id")) a.id = platform::DecimalValue(id);
  ReadNumber(e, "showtime", &a.showtime);
  ReadTime(e, "starttime", &a.starttime);
  ReadText(e, "text", &a.text);
  ReadNumber(e, "usergrade", &a.usergrade);
  if (const char* t = ChildText(e, "aligntext")) a.aligntext = AlignTextFromText(t);
  ReadText(e, "pic", &a.pic);
  ReadText(e, "htmlurl", &a.htmlurl);
  ReadText(e, "url", &a.url);
  ReadTime(e, "endtime", &a.endtime);
  ReadNumber(e, "width", &a.width);
  ReadNumber(e, "height", &a.height);
  ReadNumber(e, "xoffset", &a.xoffset);
  ReadText(e, "title", &a.title);
  ReadNumber(e, "yoffset", &a.yoffset);
  return a;
}

void ReadAdverts(const TiXmlElement* root, AppConfig* c) {
  const TiXmlElement* advs = root->FirstChildElement("advs");
  if (!advs) return;
  for (const TiXmlElement* e = advs->FirstChildElement(); e && c->adverts.size() < kMaxAdverts;
       e = e->NextSiblingElement()) {
    AdvertRecord a = ReadAdvert(e);
    if (IsAdvertValid(a)) c->adverts.push_back(std::move(a));
  }
}

// Text between `from` and the next `sep`; `*pos` moves past the separator. False when the
// separator is missing.
bool Field(const std::string& text, size_t* pos, char sep, std::string* out) {
  size_t at = text.find(sep, *pos);
  if (at == std::string::npos) return false;
  *out = text.substr(*pos, at - *pos);
  *pos = at + 1;
  return true;
}

}  // namespace

ParseResult ParseAppConfig(const std::string& bytes, AppConfig* out) {
  *out = AppConfig();
  if (bytes.size() > kMaxDocumentBytes) return ParseResult::kTooLarge;
  // The parser works on text up to the first zero byte, as it would on a C string. Its
  // multi-byte reader can step up to three bytes past that zero when the text ends inside
  // a sequence, so the buffer carries zero bytes beyond it.
  std::string text(bytes.c_str());
  std::string padded = text + std::string(8, '\0');
  if (platform::XmlNestingBound(text.data(), text.size(), kMaxDocumentNesting) > kMaxDocumentNesting)
    return ParseResult::kTooDeep;
  TiXmlDocument doc;
  doc.Parse(padded.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
  if (doc.Error()) return ParseResult::kNotXml;
  const TiXmlElement* root = doc.FirstChildElement();
  if (!root) return ParseResult::kNoRoot;
  ReadUpdate(root, out);
  ReadNewsSources(root, out);
  ReadAdvLinks(root, out);
  ReadAdverts(root, out);
  return ParseResult::kOk;
}

const char* ParseResultText(ParseResult r) {
  switch (r) {
    case ParseResult::kOk: return "ok";
    case ParseResult::kTooLarge: return "configure too large";
    case ParseResult::kTooDeep: return "configure nested too deeply";
    case ParseResult::kNotXml: return "configure is not well-formed xml";
    case ParseResult::kNoRoot: return "configure has no root element";
  }
  return "";
}

int64_t ParseConfigTime(const std::string& text) {
  size_t pos = 0;
  std::string year, month, day, hour;
  if (!Field(text, &pos, '-', &year) || !Field(text, &pos, '-', &month) || !Field(text, &pos, ' ', &day) ||
      !Field(text, &pos, ':', &hour))
    return -1;
  std::string minute = text.substr(pos);
  // Local time of the user's zone, summer time included where the zone keeps it.
  platform::LocalTime t;
  const int32_t y = platform::DecimalValue(year);
  if (y <= 1900 && y < std::numeric_limits<int32_t>::min() + 1900) return -1;
  t.year = y > 1900 ? y : y + 1900;  // a small year counts from 1900
  t.month = platform::DecimalValue(month);
  t.day = platform::DecimalValue(day);
  t.hour = platform::DecimalValue(hour);
  t.minute = platform::DecimalValue(minute);
  return platform::UnixSecondsFromLocal(t);
}

int32_t AdvertTypeFromText(const std::string& text) {
  if (text == "1") return 1;
  if (text == "2") return 2;
  if (text == "3") return 3;
  if (text == "4") return 4;
  return 0;
}

int32_t AdvertPositionFromText(const std::string& text) {
  if (text == "2") return 2;
  if (text == "6") return 6;
  return 1;
}

int32_t AlignTextFromText(const std::string& text) {
  if (text == "right") return 1;
  if (text == "center") return 2;
  return 0;
}

bool IsAdvertValid(const AdvertRecord& a) {
  if (a.id == -1 || a.type < 1 || a.type > 4 || (a.position != 1 && a.position != 2)) return false;
  switch (a.type) {
    case 1: if (a.text.empty()) return false; break;
    case 2: if (a.pic.empty()) return false; break;
    case 3: if (a.htmlurl.empty()) return false; break;
    case 4: if (a.pic.empty() || a.text.empty()) return false; break;
  }
  if (a.position == 1) return a.endtime > 0;
  return a.starttime > 0 && !a.url.empty();
}

bool IsWebAddress(const std::u16string& url) {
  return platform::StartsWithNoCase(url, u"http://") || platform::StartsWithNoCase(url, u"https://");
}

}  // namespace config
