#include "update/update_core.h"

#include <cctype>
#include <cstdio>

#include "config/app_config.h"
#include "config/config_request.h"
#include "platform/decimal.h"
#include "platform/text.h"

namespace update {
namespace {

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Between(const std::string& text, const char* open, const char* close) {
  size_t a = text.find(open);
  size_t b = text.find(close);
  if (a == std::string::npos || b == std::string::npos) return std::string();
  a += std::char_traits<char>::length(open);
  return b > a ? text.substr(a, b - a) : std::string();
}

std::string Trimmed(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

std::string LowerHex(const std::string& s) {
  std::string out = Trimmed(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

void ParseVersion(const std::string& text, uint8_t out[4]) {
  size_t first = text.find('.');
  if (first == std::string::npos) return;
  int next = 0;
  out[next++] = static_cast<uint8_t>(platform::DecimalValue(text, 0, first));
  size_t prev = first;
  for (int i = 0; i < 2; ++i) {
    size_t dot = text.find('.', prev + 1);
    if (dot == std::string::npos) break;
    out[next++] = static_cast<uint8_t>(platform::DecimalValue(text, prev + 1, dot));
    prev = dot;
  }
  size_t last = text.rfind('.');
  out[next] = static_cast<uint8_t>(platform::DecimalValue(text, last + 1));
}

uint32_t PackVersion(const std::string& text) {
  uint8_t b[4] = {0, 0, 0, 0};
  ParseVersion(text, b);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

Manifest ExtractManifest(const std::string& text) {
  Manifest m;
  m.version = Between(text, "<ver><![CDATA[", "]]></ver>");
  m.url = Between(text, "<url><![CDATA[", "]]></url>");
  m.message = Between(text, "<msg><![CDATA[", "]]></msg>");
  m.sha256 = Between(text, "<sha256><![CDATA[", "]]></sha256>");
  if (m.sha256.empty()) m.sha256 = Trimmed(Between(text, "<sha256>", "</sha256>"));
  return m;
}

std::u16string ManifestUrl(const std::u16string& base, int32_t rand, const std::u16string& version) {
  return base + u"/update/update.xml?rand=" + Ascii(std::to_string(rand)) + u"&ver=" + version;
}

OfferDecision DecideOffer(const std::u16string& offered, const std::u16string& message,
                          const std::u16string& url, const std::u16string& running,
                          const std::u16string& declined, bool userAsked) {
  OfferDecision d;
  if (offered.empty() || url.empty()) return d;
  std::string offeredAnsi = platform::ToAnsi(offered);
  std::string runningAnsi = platform::ToAnsi(running);
  bool newer = false;
  if (!offeredAnsi.empty() && !runningAnsi.empty()) {
    uint32_t o = PackVersion(offeredAnsi);
    uint32_t r = PackVersion(runningAnsi);
    uint32_t no = declined.empty() ? 0 : PackVersion(platform::ToAnsi(declined));
    newer = o > r && o != no;
  }
  if (newer) {
    d.kind = OfferKind::kOffer;
    d.text = u"发现新版本v" + offered;
    d.text += message.empty() ? u",是否立即下载？" : u"\n" + message + u"\n\n是否立即下载？";
  } else if (userAsked) {
    d.kind = OfferKind::kNoUpdate;
    d.text = kNoUpdateText;
  }
  return d;
}

bool IsInstallerAddress(const std::u16string& url) {
  const std::u16string address = url.substr(0, url.find_first_of(u"?#"));
  const size_t scheme = address.find(u"://");
  const size_t path = address.find(u'/', scheme == std::u16string::npos ? 0 : scheme + 3);
  if (path == std::u16string::npos) return false;
  return config::HasExtension(address.substr(address.rfind(u'/') + 1), ".exe");
}

OfferAction ActionForUrl(const std::u16string& url, bool allowPlainHttp) {
  bool https = platform::StartsWithNoCase(url, u"https://");
  if (IsInstallerAddress(url)) {
    if (https || (allowPlainHttp && config::IsWebAddress(url))) return OfferAction::kDownload;
    return OfferAction::kRefuse;
  }
  return config::IsWebAddress(url) ? OfferAction::kOpenPage : OfferAction::kRefuse;
}

std::u16string InstallerFileName(const std::u16string& url) {
  std::u16string name = config::SafeFileNameFromUrl(url);
  return config::HasExtension(name, ".exe") ? name : kFallbackInstallerName;
}

int DownloadPercent(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  if (done >= total) return 100;
  uint64_t scaled = done <= UINT64_MAX / 100 ? done * 100 / total : done / (total / 100);
  return static_cast<int>(scaled > 99 ? 99 : scaled);  // not done yet: below 100
}

std::u16string DownloadStatusText(uint64_t total, int percent) {
  std::u16string text = u"正在下载更新，请稍后......\n";
  if (total > 0) {
    char size[64];
    std::snprintf(size, sizeof size, "%.3fM ", static_cast<double>(total) / 1024 / 1024);
    text += u"文件大小:" + Ascii(size);
  }
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  return text + u"已下载:" + Ascii(std::to_string(percent)) + u"%";
}

DownloadCheck CheckTransfer(const DownloadFacts& f) {
  if (f.cancelled) return DownloadCheck::kCancelled;
  if (f.status != 200) return DownloadCheck::kStatus;
  if ((f.lengthKnown && f.contentLength > kMaxInstallerBytes) || f.received > kMaxInstallerBytes)
    return DownloadCheck::kTooLarge;
  if (!f.writeOk) return DownloadCheck::kWriteFailed;
  if (f.lengthKnown && f.received != f.contentLength) return DownloadCheck::kTruncated;
  if (f.received == 0) return DownloadCheck::kTruncated;
  return DownloadCheck::kOk;
}

bool DigestMatches(const std::string& expectedHex, const std::string& actualHex) {
  std::string expected = LowerHex(expectedHex);
  return expected.empty() || expected == LowerHex(actualHex);
}

std::u16string DownloadCheckText(DownloadCheck c) {
  switch (c) {
    case DownloadCheck::kOk: return u"";
    case DownloadCheck::kStatus: return u"下载更新失败：服务器没有返回安装程序。";
    case DownloadCheck::kTooLarge: return u"下载更新失败：文件过大。";
    case DownloadCheck::kTruncated: return u"下载更新失败：文件不完整。";
    case DownloadCheck::kWriteFailed: return u"下载更新失败：无法写入文件。";
    case DownloadCheck::kCancelled: return u"下载已取消。";
    case DownloadCheck::kHashMismatch: return u"安装程序校验失败（SHA-256 不符），已删除，未运行。";
    case DownloadCheck::kUnsigned: return u"安装程序没有有效的数字签名，已删除，未运行。";
    case DownloadCheck::kWrongSigner: return u"安装程序不是由软件发布者签名的，已删除，未运行。";
  }
  return u"";
}

FailureNotice NoticeFor(DownloadCheck c) {
  switch (c) {
    case DownloadCheck::kOk:
    case DownloadCheck::kCancelled: return FailureNotice::kNone;
    case DownloadCheck::kStatus:
    case DownloadCheck::kTruncated:
    case DownloadCheck::kWriteFailed: return FailureNotice::kAskRetry;
    // The cap and the installer's checks refuse what the server sends: it would send the
    // same again.
    case DownloadCheck::kTooLarge:
    case DownloadCheck::kHashMismatch:
    case DownloadCheck::kUnsigned:
    case DownloadCheck::kWrongSigner: return FailureNotice::kTell;
  }
  return FailureNotice::kTell;
}

bool BoxTurns::TryTake() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (taken_) return false;
  taken_ = true;
  return true;
}

void BoxTurns::Take() {
  std::unique_lock<std::mutex> lock(mutex_);
  free_.wait(lock, [this] { return !taken_; });
  taken_ = true;
}

void BoxTurns::Give() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken_ = false;
  }
  free_.notify_one();
}

}  // namespace update
