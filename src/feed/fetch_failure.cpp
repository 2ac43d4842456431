#include "feed/fetch_failure.h"

#include <string>

namespace feed {
namespace {

// WinINet's error numbers (wininet.h), named here so the sorting stays portable.
constexpr uint32_t kTimeout = 12002;
constexpr uint32_t kInvalidUrl = 12005;
constexpr uint32_t kUnrecognizedScheme = 12006;
constexpr uint32_t kNameNotResolved = 12007;
constexpr uint32_t kCannotConnect = 12029;
constexpr uint32_t kConnectionAborted = 12030;
constexpr uint32_t kConnectionReset = 12031;
constexpr uint32_t kInvalidServerResponse = 12152;
constexpr uint32_t kDisconnected = 12163;
constexpr uint32_t kServerUnreachable = 12164;
constexpr uint32_t kProxyUnreachable = 12165;
// Certificate and secure-channel failures.
constexpr uint32_t kCertificateErrors[] = {12037, 12038, 12044, 12045, 12055, 12056,
                                           12057, 12157, 12169, 12170, 12175};

std::u16string Digits(int n) {
  std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

// A few words on what an error status means to a reader.
std::u16string StatusWords(int status) {
  switch (status) {
    case 404: return u"找不到订阅源";
    case 410: return u"订阅源已删除";
    case 401: case 403: case 407: return u"拒绝访问";
    case 429: return u"请求太频繁";
    default: break;
  }
  if (status >= 300 && status < 400) return u"跳转过多或有误";
  if (status >= 500) return u"服务器出错";
  return u"服务器不接受请求";
}

}  // namespace

DownloadOutcome DownloadOutcomeOf(const net::HttpResponse& response) {
  DownloadOutcome o;
  o.answered = response.answered;
  o.status = response.status;
  o.systemError = static_cast<uint32_t>(response.systemError);
  o.tooLarge = response.failure == net::HttpFailure::kTooLarge;
  return o;
}

FetchFailure ClassifyDownloadFailure(const DownloadOutcome& o) {
  if (o.tooLarge) return {FailureKind::kTooLarge, 0};
  if (o.answered && o.status != 0 && o.status != 200) return {FailureKind::kHttpStatus, o.status};
  const int code = static_cast<int>(o.systemError);
  if (o.answered && o.systemError == 0) return {FailureKind::kEmptyAnswer, 0};
  switch (o.systemError) {
    case kNameNotResolved:
      return {o.offline ? FailureKind::kNoNetwork : FailureKind::kHostNotFound, code};
    case kCannotConnect: case kServerUnreachable: case kProxyUnreachable:
      return {o.offline ? FailureKind::kNoNetwork : FailureKind::kRefused, code};
    case kDisconnected: return {FailureKind::kNoNetwork, code};
    case kTimeout: return {FailureKind::kTimedOut, code};
    case kConnectionAborted: case kConnectionReset: case kInvalidServerResponse:
      return {FailureKind::kConnectionLost, code};
    case kInvalidUrl: case kUnrecognizedScheme: return {FailureKind::kBadAddress, code};
    default: break;
  }
  for (uint32_t c : kCertificateErrors)
    if (o.systemError == c) return {FailureKind::kCertificate, code};
  return {FailureKind::kOther, code};
}

std::u16string FailureLine(const FetchFailure& f) {
  const std::u16string prefix = u"读取失败：";
  switch (f.kind) {
    case FailureKind::kNone: return std::u16string();
    case FailureKind::kNoNetwork: return prefix + u"没有连接网络";
    case FailureKind::kHostNotFound: return prefix + u"找不到服务器，请检查地址";
    case FailureKind::kRefused: return prefix + u"服务器拒绝连接或无法访问";
    case FailureKind::kTimedOut: return prefix + u"服务器响应超时";
    case FailureKind::kConnectionLost: return prefix + u"连接中断";
    case FailureKind::kCertificate: return prefix + u"网站的证书有问题";
    case FailureKind::kHttpStatus: return prefix + u"HTTP " + Digits(f.detail) + u"，" + StatusWords(f.detail);
    case FailureKind::kTooLarge: return prefix + u"订阅源文件太大";
    case FailureKind::kEmptyAnswer: return prefix + u"服务器没有返回内容";
    case FailureKind::kNotAFeed: return prefix + u"这个地址不是订阅源";
    case FailureKind::kNoEntries: return u"这个订阅源里暂时没有文章";  // nothing failed
    case FailureKind::kBadAddress: return prefix + u"订阅地址有误";
    case FailureKind::kOther: break;
  }
  return prefix + (f.detail > 0 ? u"未知错误（错误号 " + Digits(f.detail) + u"）" : u"未知错误");
}

std::string FailureLogText(const FetchFailure& f) {
  const char* words = "unknown error";
  switch (f.kind) {
    case FailureKind::kNone: return std::string();
    case FailureKind::kHttpStatus: return "HTTP " + std::to_string(f.detail);
    case FailureKind::kNoNetwork: words = "no network"; break;
    case FailureKind::kHostNotFound: words = "host name not found"; break;
    case FailureKind::kRefused: words = "server refused or unreachable"; break;
    case FailureKind::kTimedOut: words = "timed out"; break;
    case FailureKind::kConnectionLost: words = "connection lost"; break;
    case FailureKind::kCertificate: words = "certificate or secure connection refused"; break;
    case FailureKind::kTooLarge: words = "larger than a feed may be"; break;
    case FailureKind::kEmptyAnswer: words = "empty answer"; break;
    case FailureKind::kNotAFeed: words = "not a feed"; break;
    case FailureKind::kNoEntries: words = "a feed without entries"; break;
    case FailureKind::kBadAddress: words = "bad address"; break;
    case FailureKind::kOther: break;
  }
  std::string text = words;
  if (f.detail > 0) text += " (error " + std::to_string(f.detail) + ")";
  return text;
}

bool CuredByNetwork(FailureKind kind) {
  switch (kind) {
    case FailureKind::kNoNetwork: case FailureKind::kHostNotFound: case FailureKind::kRefused:
    case FailureKind::kTimedOut: case FailureKind::kConnectionLost: case FailureKind::kEmptyAnswer:
    case FailureKind::kOther:
      return true;
    default:
      return false;
  }
}

}  // namespace feed
