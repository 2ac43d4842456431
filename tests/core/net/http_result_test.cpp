// A GET's result carries what failed; the words for it are made from that alone.
#include "net/http_result.h"

#include <gtest/gtest.h>

#include "feed/fetch_failure.h"

namespace net {
namespace {

HttpResponse Failed(HttpFailure kind, unsigned long systemError = 0) {
  HttpResponse r;
  r.failure = kind;
  r.systemError = systemError;
  return r;
}

TEST(HttpResult, EachFailureKindHasItsOwnText) {
  EXPECT_EQ(FailureText(HttpResponse()), u"");
  EXPECT_EQ(FailureText(Failed(HttpFailure::kBadAddress)), u"Url地址错误！\n");
  HttpResponse connect = Failed(HttpFailure::kConnect, 12007);
  connect.server = u"例子.中国";
  EXPECT_EQ(FailureText(connect), u"连接Http服务器失败， 服务器：例子.中国, 错误号：12007\n");
  EXPECT_EQ(FailureText(Failed(HttpFailure::kOpenRequest, 8)), u"创建请求失败， 错误号：8\n");
  EXPECT_EQ(FailureText(Failed(HttpFailure::kSend, 12029)), u"发送请求失败， 错误号：12029\n");
  EXPECT_EQ(FailureText(Failed(HttpFailure::kReceive, 12030)), u"文件下载失败，错误号：12030\n");
  HttpResponse status = Failed(HttpFailure::kStatus);
  status.status = 404;
  EXPECT_EQ(FailureText(status), u"下载文件失败，错误码：404！\n");
  HttpResponse large = Failed(HttpFailure::kTooLarge);
  large.limit = 16 * 1024 * 1024;
  EXPECT_EQ(FailureText(large), u"文件下载失败，文件超过16MB！\n");
  EXPECT_EQ(FailureText(Failed(HttpFailure::kBadEncoding)), u"文件下载失败，内容编码错误！\n");
  EXPECT_EQ(FailureText(Failed(HttpFailure::kNoMemory)), u"文件下载失败，存储空间不足！\n");
  EXPECT_EQ(FailureText(Failed(HttpFailure::kTooManyRedirects)), u"文件下载失败，重定向次数过多！\n");
  HttpResponse late = Failed(HttpFailure::kTimedOut, 12002);
  late.limit = 120000;
  EXPECT_EQ(FailureText(late), u"文件下载失败，超过120秒仍未完成！\n");
  EXPECT_EQ(FailureText(Failed(HttpFailure::kCancelled, 12002)), u"文件下载失败，已取消！\n");
}

TEST(HttpResult, TooLargeIsKnownByItsKindWhateverElseCameWithIt) {
  HttpResponse large = Failed(HttpFailure::kTooLarge);
  large.answered = true;
  large.status = 200;
  large.limit = 3 * 1024 * 1024;  // another limit: another text, the same cause
  EXPECT_EQ(feed::ClassifyDownloadFailure(feed::DownloadOutcomeOf(large)).kind, feed::FailureKind::kTooLarge);
  // A failure whose text merely looks alike is not "too large".
  HttpResponse read = Failed(HttpFailure::kReceive, 12030);
  read.answered = true;
  read.status = 200;
  EXPECT_EQ(feed::ClassifyDownloadFailure(feed::DownloadOutcomeOf(read)).kind, feed::FailureKind::kConnectionLost);
  HttpResponse status = Failed(HttpFailure::kStatus);
  status.answered = true;
  status.status = 503;
  const feed::FetchFailure busy = feed::ClassifyDownloadFailure(feed::DownloadOutcomeOf(status));
  EXPECT_EQ(busy.kind, feed::FailureKind::kHttpStatus);
  EXPECT_EQ(busy.detail, 503);
  const feed::FetchFailure late =
      feed::ClassifyDownloadFailure(feed::DownloadOutcomeOf(Failed(HttpFailure::kTimedOut, 12002)));
  EXPECT_EQ(late.kind, feed::FailureKind::kTimedOut);
}

}  // namespace
}  // namespace net
