#include "feeddump.h"

#include "platform/files.h"
#include "platform/text.h"
#include "feed/feed_discovery.h"
#include "feed/feed_parser.h"

namespace feeddump {
namespace {

constexpr int kExitItems = 0;
constexpr int kExitOther = 1;
constexpr int kExitFormat = 2;
constexpr int kExitDownload = 3;

const char kUsage[] =
    "usage: feeddump [--url FEED_URL] FILE   items of a saved feed document; FEED_URL is the\n"
    "                                        address it came from (selects the site rules)\n"
    "       feeddump --url FEED_URL          fetch FEED_URL and print its items (Windows)\n"
    "Prints one \"title<TAB>link\" line per item in UTF-8. Exit status: 0 items, 1 nothing\n"
    "read, 2 no item in the document, 3 download failed.\n";

// One line per item: tabs and line breaks inside a field would break the format.
std::string Field(const std::u16string& text) {
  std::string s = platform::U16ToUtf8(text);
  for (char& c : s)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return s;
}

}  // namespace

int Run(const std::vector<std::u16string>& args) {
  std::u16string url, file;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == u"--url" && i + 1 < args.size()) {
      url = args[++i];
    } else if (args[i] == u"-h" || args[i] == u"--help" || args[i].compare(0, 1, u"-") == 0 || !file.empty()) {
      std::fputs(kUsage, stderr);
      return kExitOther;
    } else {
      file = args[i];
    }
  }
  if (url.empty() && file.empty()) {
    std::fputs(kUsage, stderr);
    return kExitOther;
  }
  std::string body;
  if (!file.empty()) {
    if (!platform::ReadWholeFile(file, &body)) {
      std::fprintf(stderr, "feeddump: cannot read %s\n", platform::U16ToUtf8(file).c_str());
      return kExitOther;
    }
  } else if (!kCanFetch) {
    std::fputs("feeddump: fetching a URL needs the Windows build; give a saved FILE\n", stderr);
    return kExitOther;
  } else {
    std::u16string error;
    if (!Fetch(url, &body, &error) || body.empty()) {
      std::fprintf(stderr, "feeddump: download failed: %s\n", platform::U16ToUtf8(error).c_str());
      return kExitDownload;
    }
  }
  std::vector<FeedItem> items;
  if (feed::ParseFeedDocument(body.data(), body.size(), url, &items) <= 0) {
    std::fprintf(stderr, "feeddump: no item in the document (%zu bytes)\n", body.size());
    for (const std::u16string& announced : feed::DiscoverFeedLinks(body.data(), body.size(), url))
      std::fprintf(stderr, "feeddump: the page announces the feed %s\n", platform::U16ToUtf8(announced).c_str());
    return kExitFormat;
  }
  std::string out;
  for (const auto& item : items) out += Field(item.title) + "\t" + Field(item.link) + "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return kExitItems;
}

}  // namespace feeddump
