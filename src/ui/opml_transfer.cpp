#include "ui/opml_transfer.h"

#include <algorithm>
#include <string>

#include "feed/opml.h"
#include "net/url.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"

namespace ui {
namespace {

constexpr char16_t kOpmlTitle[] = u"Pelinor 订阅";
// What the user is told after an export and an import (numbers go between the parts).
constexpr char16_t kExportedBefore[] = u"已导出 ";
constexpr char16_t kExportedAfter[] = u" 个订阅源。";
constexpr char16_t kNoCredentialsBefore[] = u"其中 ";
constexpr char16_t kNoCredentialsAfter[] = u" 个订阅源的网址带有用户名和密码，它们没有导出，导入后请重新填写。";
constexpr char16_t kImportedBefore[] = u"已导入 ";
constexpr char16_t kImportedSkipped[] = u" 个订阅源，跳过 ";
constexpr char16_t kImportedAfter[] = u" 个。";
constexpr char16_t kNoRoomBefore[] = u"其中 ";
constexpr char16_t kNoRoomMiddle[] = u" 个是因为自定义链接已达上限（";
constexpr char16_t kNoRoomAfter[] = u" 个）。";

std::u16string Number(size_t n) {
  std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

TransferOutcome Failed(const char16_t* message) { return TransferOutcome{false, message}; }

bool Listed(const std::vector<NewsLink>& links, const std::u16string& url) {
  return std::any_of(links.begin(), links.end(),
                     [&](const NewsLink& l) { return net::SameAddress(l.url, url); });
}

}  // namespace

std::vector<NewsLink> SubscriptionsToExport(const std::vector<NewsLink>& widgetFeeds,
                                            const std::vector<NewsLink>& offered,
                                            const std::vector<NewsLink>& custom) {
  std::vector<NewsLink> out;
  for (const NewsLink& feed : widgetFeeds) {
    const std::u16string& url = feed.url;
    if (url.empty() || Listed(out, url)) continue;
    NewsLink link{LinkNameFromTitle(feed.name), url};
    for (const std::vector<NewsLink>* list : {&custom, &offered}) {
      auto named = std::find_if(list->begin(), list->end(), [&](const NewsLink& l) {
        return !l.name.empty() && net::SameAddress(l.url, url);
      });
      if (named != list->end()) {
        link.name = named->name;
        break;
      }
    }
    if (link.name.empty()) link.name = HostOfAddress(url);
    if (link.name.empty()) link.name = net::WithoutUserInfo(url);
    out.push_back(link);
  }
  for (const NewsLink& link : custom)
    if (!link.url.empty() && !Listed(out, link.url)) out.push_back(link);
  return out;
}

TransferOutcome ExportSubscriptions(const std::u16string& path, const std::vector<NewsLink>& links) {
  // The atomic write goes through "name.tmp" and keeps the old file as "name.bak": files
  // of those names that are the user's own must survive.
  const std::u16string tmp = platform::TempPathFor(path), bak = platform::BackupPathFor(path);
  const bool replacing = platform::FileExists(path);
  if (tmp == path || bak == path || platform::FileExists(tmp) || (replacing && platform::FileExists(bak))) {
    LogError("subscriptions not exported: %s or its .tmp/.bak name is taken",
             platform::ToAnsi(path).c_str());
    return Failed(u"导出失败：该文件夹中已有同名的 .tmp 或 .bak 文件，请换一个文件名。");
  }
  std::string error;
  if (!platform::WriteFileAtomic(path, feed::WriteOpml(links, kOpmlTitle), &error)) {
    LogError("subscriptions not exported to %s: %s", platform::ToAnsi(path).c_str(), error.c_str());
    return Failed(u"导出失败：无法写入该文件。");
  }
  if (replacing) platform::RemoveFile(bak);  // the export is the user's file, not a store of ours
  const size_t withCredentials = static_cast<size_t>(std::count_if(
      links.begin(), links.end(), [](const NewsLink& l) { return net::WithoutUserInfo(l.url) != l.url; }));
  LogDebug("subscriptions exported: %u, %u without their user name and password",
           static_cast<unsigned>(links.size()), static_cast<unsigned>(withCredentials));
  std::u16string message = kExportedBefore + Number(links.size()) + kExportedAfter;
  if (withCredentials) message += kNoCredentialsBefore + Number(withCredentials) + kNoCredentialsAfter;
  return TransferOutcome{true, message};
}

TransferOutcome ImportSubscriptions(const std::u16string& path, LinkDialogHost& host) {
  std::string data;
  if (!platform::ReadWholeFile(path, &data)) {
    LogError("subscriptions not imported: cannot read %s", platform::ToAnsi(path).c_str());
    return Failed(u"无法读取该文件，没有导入任何订阅源。");
  }
  std::vector<NewsLink>& custom = host.Settings().custom_links;
  const size_t room = custom.size() < kMaxCustomLinks ? kMaxCustomLinks - custom.size() : 0;
  feed::OpmlImport read = feed::ReadOpml(data.data(), data.size(), custom, room);
  if (read.status == feed::OpmlStatus::kTooLarge) {
    LogError("subscriptions not imported: %s is larger than %u bytes", platform::ToAnsi(path).c_str(),
             static_cast<unsigned>(feed::kMaxOpmlBytes));
    return Failed(u"该文件太大（超过 4 MB），没有导入任何订阅源。");
  }
  if (read.status != feed::OpmlStatus::kRead) {
    LogError("subscriptions not imported: %s is no readable OPML file", platform::ToAnsi(path).c_str());
    return Failed(u"该文件不是可以读取的 OPML 订阅列表，没有导入任何订阅源。");
  }
  custom.insert(custom.end(), read.links.begin(), read.links.end());
  if (!read.links.empty()) host.RequestSave(kSaveDelayMs);
  LogDebug("subscriptions imported: %u taken, %d skipped (%d for want of room)",
           static_cast<unsigned>(read.links.size()), read.skipped, read.noRoom);
  std::u16string message = kImportedBefore + Number(read.links.size()) + kImportedSkipped +
                           Number(static_cast<size_t>(read.skipped)) + kImportedAfter;
  if (read.noRoom > 0)
    message += kNoRoomBefore + Number(static_cast<size_t>(read.noRoom)) + kNoRoomMiddle + Number(kMaxCustomLinks) + kNoRoomAfter;
  return TransferOutcome{!read.links.empty(), message};
}

}  // namespace ui
