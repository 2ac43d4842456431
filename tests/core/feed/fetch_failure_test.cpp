#include "feed/fetch_failure.h"

#include <gtest/gtest.h>

namespace feed {
namespace {

FetchFailure FromSystem(uint32_t error, bool offline = false) {
  DownloadOutcome o;
  o.systemError = error;
  o.offline = offline;
  return ClassifyDownloadFailure(o);
}

TEST(FetchFailure, SystemErrorsBecomeCausesAUserUnderstands) {
  EXPECT_EQ(FromSystem(12007).kind, FailureKind::kHostNotFound);
  EXPECT_EQ(FromSystem(12007, true).kind, FailureKind::kNoNetwork);
  EXPECT_EQ(FromSystem(12029).kind, FailureKind::kRefused);
  EXPECT_EQ(FromSystem(12029, true).kind, FailureKind::kNoNetwork);
  EXPECT_EQ(FromSystem(12163).kind, FailureKind::kNoNetwork);
  EXPECT_EQ(FromSystem(12002).kind, FailureKind::kTimedOut);
  EXPECT_EQ(FromSystem(12030).kind, FailureKind::kConnectionLost);
  EXPECT_EQ(FromSystem(12031).kind, FailureKind::kConnectionLost);
  for (uint32_t cert : {12037u, 12038u, 12045u, 12057u, 12169u, 12175u})
    EXPECT_EQ(FromSystem(cert).kind, FailureKind::kCertificate) << cert;
  EXPECT_EQ(FromSystem(12006).kind, FailureKind::kBadAddress);
  FetchFailure other = FromSystem(12999);
  EXPECT_EQ(other.kind, FailureKind::kOther);
  EXPECT_EQ(other.detail, 12999);
  EXPECT_EQ(FromSystem(0).kind, FailureKind::kOther);
}

TEST(FetchFailure, AnAnswerWithAnErrorStatusIsThatStatus) {
  DownloadOutcome o;
  o.answered = true;
  o.status = 404;
  o.systemError = 12030;  // the status says more than the broken read after it
  EXPECT_EQ(ClassifyDownloadFailure(o), (FetchFailure{FailureKind::kHttpStatus, 404}));
  o.status = 200;  // a 200 that broke off while reading
  EXPECT_EQ(ClassifyDownloadFailure(o).kind, FailureKind::kConnectionLost);
  o.tooLarge = true;
  EXPECT_EQ(ClassifyDownloadFailure(o).kind, FailureKind::kTooLarge);
  // An answer that brought nothing, and no error either (an empty 200, a connection
  // closed without a word).
  DownloadOutcome empty;
  empty.answered = true;
  empty.status = 200;
  EXPECT_EQ(ClassifyDownloadFailure(empty).kind, FailureKind::kEmptyAnswer);
  empty.status = 0;
  EXPECT_EQ(ClassifyDownloadFailure(empty).kind, FailureKind::kEmptyAnswer);
}

TEST(FetchFailure, EveryCauseHasItsOwnShortLine) {
  EXPECT_EQ(FailureLine({}), u"");
  EXPECT_EQ(FailureLine({FailureKind::kHttpStatus, 404}), u"读取失败：HTTP 404，找不到订阅源");
  EXPECT_EQ(FailureLine({FailureKind::kHttpStatus, 503}), u"读取失败：HTTP 503，服务器出错");
  EXPECT_EQ(FailureLine({FailureKind::kHttpStatus, 403}), u"读取失败：HTTP 403，拒绝访问");
  EXPECT_EQ(FailureLine({FailureKind::kOther, 12999}), u"读取失败：未知错误（错误号 12999）");
  std::vector<std::u16string> lines;
  for (FailureKind k : {FailureKind::kNoNetwork, FailureKind::kHostNotFound, FailureKind::kRefused,
                        FailureKind::kTimedOut, FailureKind::kConnectionLost, FailureKind::kCertificate,
                        FailureKind::kTooLarge, FailureKind::kEmptyAnswer, FailureKind::kNotAFeed,
                        FailureKind::kBadAddress,
                        FailureKind::kOther}) {
    std::u16string line = FailureLine({k, 0});
    EXPECT_EQ(line.rfind(u"读取失败：", 0), 0u);
    EXPECT_LE(line.size(), 18u);  // one line of a 250-pixel widget
    for (const std::u16string& seen : lines) EXPECT_NE(line, seen);
    lines.push_back(line);
  }
  EXPECT_TRUE(CuredByNetwork(FailureKind::kNoNetwork));
  EXPECT_TRUE(CuredByNetwork(FailureKind::kRefused));
  EXPECT_FALSE(CuredByNetwork(FailureKind::kHttpStatus));
  EXPECT_FALSE(CuredByNetwork(FailureKind::kNotAFeed));
  // A feed with nothing in it has not failed to load: said as it is.
  EXPECT_EQ(FailureLine({FailureKind::kNoEntries, 0}), u"这个订阅源里暂时没有文章");
  EXPECT_FALSE(CuredByNetwork(FailureKind::kNoEntries));
  EXPECT_FALSE(CuredByNetwork(FailureKind::kCertificate));
}

TEST(FetchFailure, TheLogSaysTheCauseWithItsNumber) {
  EXPECT_EQ(FailureLogText({}), "");
  EXPECT_EQ(FailureLogText({FailureKind::kHttpStatus, 404}), "HTTP 404");
  EXPECT_EQ(FailureLogText(ClassifyDownloadFailure({false, 0, 12029, false, false})),
            "server refused or unreachable (error 12029)");
  EXPECT_EQ(FailureLogText(ClassifyDownloadFailure({false, 0, 12175, false, false})),
            "certificate or secure connection refused (error 12175)");
  EXPECT_EQ(FailureLogText({FailureKind::kOther, 12999}), "unknown error (error 12999)");
  EXPECT_EQ(FailureLogText({FailureKind::kTooLarge, 0}), "larger than a feed may be");
}

}  // namespace
}  // namespace feed
