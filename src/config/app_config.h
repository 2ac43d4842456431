// The remote application configuration: what the maker's service announces to a running
// installation (a new version, extra feed sources, advert links and advert popups), and
// the parser that turns the service's document into it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/advert_record.h"

namespace config {

struct ThirdPartyNewsSource {
  std::u16string name;  // both non-empty in every stored entry
  std::u16string url;
};

struct AppConfig {
  std::vector<AdvLinkGroup> advLinkGroups;
  std::vector<AdvertRecord> adverts;
  std::vector<ThirdPartyNewsSource> newsSources;
  std::u16string newsTitle;
  std::u16string updateUrl;
  std::u16string updateVersion;
  std::u16string updateMessage;
  std::string updateSha256;  // optional: the installer's SHA-256 (hex)
};

// Bounds on what one document may deliver; entries beyond them are ignored. The widget
// menu offers at most 17 remote sources, so more would never be reachable.
constexpr size_t kMaxDocumentBytes = 1024 * 1024;
constexpr size_t kMaxDocumentNesting = 64;
constexpr size_t kMaxNewsSources = 17;
constexpr size_t kMaxAdverts = 32;
constexpr size_t kMaxLinkGroups = 16;
constexpr size_t kMaxLinksPerGroup = 32;
constexpr size_t kMaxTextChars = 4096;  // longer texts are cut

enum class ParseResult {
  kOk,
  kTooLarge,     // more than kMaxDocumentBytes
  kTooDeep,      // element nesting beyond kMaxDocumentNesting
  kNotXml,       // the XML parser reported an error
  kNoRoot,       // well-formed but without an element
};

// Parses the service's document (bytes in the system ANSI code page) into `out`, which
// is reset first. Entries lacking a name, URL or link are skipped and invalid adverts
// dropped; advert pictures are left as the document gives them (see PicturePlan).
ParseResult ParseAppConfig(const std::string& bytes, AppConfig* out);
const char* ParseResultText(ParseResult r);

// "Y-M-D h:m" (for example "2010-12-06 18:05") as seconds since 1970 in local time,
// seconds 0, no daylight saving; -1 when a separator is missing or the date cannot be
// represented.
int64_t ParseConfigTime(const std::string& text);

// The value rules of the document's advert fields.
int32_t AdvertTypeFromText(const std::string& text);      // "1".."4", else 0
int32_t AdvertPositionFromText(const std::string& text);  // "2" -> 2, "6" -> 6, else 1
int32_t AlignTextFromText(const std::string& text);       // left 0, right 1, center 2, else 0

// An advert can be shown: it has an id, a known type and position 1 or 2, the content its
// type needs, an end time (position 1) or a start time and a url (position 2).
bool IsAdvertValid(const AdvertRecord& a);

// True for an "http://" or "https://" address (scheme in any letter case).
bool IsWebAddress(const std::u16string& url);

}  // namespace config
