#include "config/config_request.h"

#include "platform/log.h"

namespace config {
namespace {

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

bool EndsWithNoCase(const std::u16string& s, const char* suffix) {
  size_t n = std::char_traits<char>::length(suffix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = s[s.size() - n + i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != static_cast<char16_t>(suffix[i])) return false;
  }
  return true;
}

bool IsSafeNameChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' ||
         c == u'-' || c == u'_';
}

// Windows opens a device, not a file, for these names whatever extension follows.
bool IsDeviceName(std::u16string stem) {
  for (char16_t& c : stem)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  if (stem == u"CON" || stem == u"PRN" || stem == u"AUX" || stem == u"NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, u"COM") == 0 || stem.compare(0, 3, u"LPT") == 0) &&
         stem[3] >= u'0' && stem[3] <= u'9';
}

}  // namespace

std::u16string ServiceBaseUrl() {
  return ServiceBaseUrl(PELINOR_SERVICE_SCHEME, PELINOR_SERVICE_HOST, PELINOR_SERVICE_PORT);
}

std::u16string ServiceBaseUrl(const std::u16string& scheme, const std::u16string& host, int port) {
  std::u16string url = scheme + u"://" + host;
  if (port > 0) url += u":" + Ascii(std::to_string(port));
  return url;
}

bool ServiceAllowsPlainHttp() { return std::u16string(PELINOR_SERVICE_SCHEME) == u"http"; }

std::u16string ConfigRequestUrl(const std::u16string& base, const std::u16string& version,
                                const std::u16string& extraQuery) {
  std::u16string url = base + kConfigPath + u"?ver=" + version;
  if (!extraQuery.empty()) url += u"&" + extraQuery;
  return url;
}

std::u16string FirstRunQuery(const std::u16string& statisticsQuery) { return u"run=1&stat=" + statisticsQuery; }

bool QueryCarriesStatistics(const std::u16string& extraQuery) {
  return extraQuery.compare(0, 5, u"stat=") == 0 || extraQuery.find(u"&stat=") != std::u16string::npos;
}

std::u16string SafeFileNameFromUrl(const std::u16string& url) {
  size_t end = url.find_first_of(u"?#");
  std::u16string path = url.substr(0, end);
  size_t scheme = path.find(u"://");
  size_t slash = path.find(u'/', scheme == std::u16string::npos ? 0 : scheme + 3);
  if (slash == std::u16string::npos) return u"";
  std::u16string name = path.substr(path.rfind(u'/') + 1);
  if (name.empty() || name.size() > 100 || name[0] == u'.') return u"";
  for (char16_t c : name)
    if (!IsSafeNameChar(c)) return u"";
  if (IsDeviceName(name.substr(0, name.find(u'.')))) return u"";
  return name;
}

bool HasExtension(const std::u16string& name, const char* suffix) {
  return name.size() > std::char_traits<char>::length(suffix) && EndsWithNoCase(name, suffix);
}

std::u16string SafePictureFileName(const std::u16string& url) {
  std::u16string name = SafeFileNameFromUrl(url);
  for (const char* ext : {".png", ".jpg", ".jpeg", ".gif", ".bmp"})
    if (HasExtension(name, ext)) return name;
  return u"";
}

int ResolvePictures(AppConfig* c, const PictureDownloader& download) {
  std::vector<AdvertRecord> kept;
  int dropped = 0;
  for (AdvertRecord& a : c->adverts) {
    if (IsWebAddress(a.pic)) {
      std::u16string path = download ? download(a.pic) : std::u16string();
      if (path.empty()) {
        LogDebug("download adv pic failed!");
        ++dropped;
        continue;
      }
      a.pic = path;
    } else {
      a.pic.clear();
    }
    if (!IsAdvertValid(a)) {
      ++dropped;
      continue;
    }
    kept.push_back(std::move(a));
  }
  c->adverts = std::move(kept);
  return dropped;
}

}  // namespace config
