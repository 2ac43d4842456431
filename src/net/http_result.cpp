#include "net/http_result.h"

namespace net {
namespace {

std::u16string Number(long long n) {
  std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

std::u16string WithCode(const char16_t* text, unsigned long code) {
  return text + Number(static_cast<long>(code)) + u"\n";
}

}  // namespace

std::u16string FailureText(const HttpResponse& r) {
  switch (r.failure) {
    case HttpFailure::kNone: return std::u16string();
    case HttpFailure::kBadAddress: return u"Url地址错误！\n";
    case HttpFailure::kConnect:
      return u"连接Http服务器失败， 服务器：" + r.server + u", 错误号：" + WithCode(u"", r.systemError);
    case HttpFailure::kOpenRequest: return WithCode(u"创建请求失败， 错误号：", r.systemError);
    case HttpFailure::kSend: return WithCode(u"发送请求失败， 错误号：", r.systemError);
    case HttpFailure::kReceive: return WithCode(u"文件下载失败，错误号：", r.systemError);
    case HttpFailure::kStatus: return u"下载文件失败，错误码：" + Number(r.status) + u"！\n";
    case HttpFailure::kTooLarge:
      return u"文件下载失败，文件超过" + Number(r.limit / static_cast<long long>(kBodyBlockStep)) + u"MB！\n";
    case HttpFailure::kBadEncoding: return u"文件下载失败，内容编码错误！\n";
    case HttpFailure::kNoMemory: return u"文件下载失败，存储空间不足！\n";
    case HttpFailure::kTooManyRedirects: return u"文件下载失败，重定向次数过多！\n";
    case HttpFailure::kTimedOut: return u"文件下载失败，超过" + Number(r.limit / 1000) + u"秒仍未完成！\n";
    case HttpFailure::kCancelled: return u"文件下载失败，已取消！\n";
  }
  return std::u16string();
}

}  // namespace net
