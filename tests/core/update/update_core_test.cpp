#include "update/update_core.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/text.h"

namespace {

using update::DownloadCheck;
using update::OfferKind;

TEST(Version, PartsPackIntoOneNumber) {
  auto bytes = [](const std::string& t) {
    uint8_t b[4] = {0, 0, 0, 0};
    update::ParseVersion(t, b);
    return std::vector<int>{b[0], b[1], b[2], b[3]};
  };
  EXPECT_EQ(bytes("1.2.3.4"), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(bytes("1.2"), (std::vector<int>{1, 2, 0, 0}));
  EXPECT_EQ(bytes("7"), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(bytes("1.2.3.4.5"), (std::vector<int>{1, 2, 3, 5}));  // the last part takes the fourth place
  EXPECT_EQ(bytes("1.2.3"), (std::vector<int>{1, 2, 3, 0}));
  EXPECT_EQ(bytes("x.-1.99999999999."), (std::vector<int>{0, 255, 255, 0}));
  EXPECT_EQ(update::PackVersion("1.0.256.0"), update::PackVersion("1.0.0.0"));  // wraps modulo 256
  EXPECT_EQ(update::PackVersion("1.2.3.4"), 0x01020304u);
  EXPECT_LT(update::PackVersion("1.0.0.255"), update::PackVersion("1.0.1.0"));
}

TEST(Manifest, ValuesAreCutFromTheirMarkers) {
  std::string text =
      "<?xml?><update><ver><![CDATA[1.0.0.1]]></ver><url><![CDATA[https://s/x.exe]]></url>"
      "<msg><![CDATA[line]]></msg><sha256> ABCdef </sha256></update>";
  update::Manifest m = update::ExtractManifest(text);
  EXPECT_EQ(m.version, "1.0.0.1");
  EXPECT_EQ(m.url, "https://s/x.exe");
  EXPECT_EQ(m.message, "line");
  EXPECT_EQ(m.sha256, "ABCdef");
  m = update::ExtractManifest("<ver><![CDATA[2]]></ver><sha256><![CDATA[00ff]]></sha256>");
  EXPECT_EQ(m.version, "2");
  EXPECT_TRUE(m.url.empty() && m.message.empty());
  EXPECT_EQ(m.sha256, "00ff");
  // Closing before opening, or missing: empty.
  EXPECT_TRUE(update::ExtractManifest("]]></ver><ver><![CDATA[9").version.empty());
  EXPECT_TRUE(update::ExtractManifest("").url.empty());
  EXPECT_EQ(update::ManifestUrl(u"http://h:1", -5, u"1.0.0.0"), u"http://h:1/update/update.xml?rand=-5&ver=1.0.0.0");
}

TEST(Offer, DecisionAndTexts) {
  auto d = update::DecideOffer(u"1.0.0.1", u"", u"https://s/x.exe", u"1.0.0.0", u"", false);
  EXPECT_EQ(d.kind, OfferKind::kOffer);
  EXPECT_EQ(d.text, u"发现新版本v1.0.0.1,是否立即下载？");
  d = update::DecideOffer(u"1.0.0.1", u"修复问题", u"u", u"1.0.0.0", u"", true);
  EXPECT_EQ(d.text, u"发现新版本v1.0.0.1\n修复问题\n\n是否立即下载？");
  // Not newer: silent on an automatic check, told when asked.
  EXPECT_EQ(update::DecideOffer(u"1.0.0.0", u"", u"u", u"1.0.0.0", u"", false).kind, OfferKind::kNothing);
  d = update::DecideOffer(u"1.0.0.0", u"", u"u", u"1.0.0.0", u"", true);
  EXPECT_EQ(d.kind, OfferKind::kNoUpdate);
  EXPECT_EQ(d.text, u"未检查到有更新！");
  // The declined version is never offered; an empty one blocks nothing.
  EXPECT_EQ(update::DecideOffer(u"1.0.1.0", u"", u"u", u"1.0.0.0", u"1.0.1.0", true).kind, OfferKind::kNoUpdate);
  EXPECT_EQ(update::DecideOffer(u"1.0.1.0", u"", u"u", u"1.0.0.0", u"", true).kind, OfferKind::kOffer);
  EXPECT_EQ(update::DecideOffer(u"1.0.256.0", u"", u"u", u"1.0.0.0", u"", true).kind, OfferKind::kNoUpdate);
  // Nothing at all without version or URL, even when asked; no running version: not offered.
  EXPECT_EQ(update::DecideOffer(u"", u"", u"u", u"1.0.0.0", u"", true).kind, OfferKind::kNothing);
  EXPECT_EQ(update::DecideOffer(u"2", u"", u"", u"1.0.0.0", u"", true).kind, OfferKind::kNothing);
  EXPECT_EQ(update::DecideOffer(u"2.0.0.0", u"", u"u", u"", u"", true).kind, OfferKind::kNoUpdate);
}

TEST(Offer, WhatOkDoesWithTheAddress) {
  using update::OfferAction;
  EXPECT_EQ(update::ActionForUrl(u"https://s/setup.exe", false), OfferAction::kDownload);
  EXPECT_EQ(update::ActionForUrl(u"HTTPS://s/setup.exe", false), OfferAction::kDownload);
  EXPECT_EQ(update::ActionForUrl(u"http://s/setup.exe", false), OfferAction::kRefuse);
  EXPECT_EQ(update::ActionForUrl(u"http://s/setup.exe", true), OfferAction::kDownload);
  EXPECT_EQ(update::ActionForUrl(u"ftp://s/setup.exe", true), OfferAction::kRefuse);
  EXPECT_EQ(update::ActionForUrl(u"http://s/news.html", false), OfferAction::kOpenPage);
  EXPECT_EQ(update::ActionForUrl(u"file:///c:/x.bat", true), OfferAction::kRefuse);
  EXPECT_EQ(update::ActionForUrl(u"C:\\x.bat", true), OfferAction::kRefuse);
  // Only a path that ends in ".exe" names an installer, in any letter case; the query and
  // the fragment are not part of it.
  EXPECT_EQ(update::ActionForUrl(u"https://s/dl/Setup.EXE", false), OfferAction::kDownload);
  EXPECT_EQ(update::ActionForUrl(u"https://s/setup.exe?from=menu#top", false), OfferAction::kDownload);
  EXPECT_EQ(update::ActionForUrl(u"https://s/setup.exe#x", false), OfferAction::kDownload);
  EXPECT_EQ(update::ActionForUrl(u"https://s/setup.exe.html", false), OfferAction::kOpenPage);
  EXPECT_EQ(update::ActionForUrl(u"https://s/get.php?file=setup.exe", false), OfferAction::kOpenPage);
  EXPECT_EQ(update::ActionForUrl(u"https://s/news#setup.exe", false), OfferAction::kOpenPage);
  EXPECT_EQ(update::ActionForUrl(u"https://s/setup.exe/notes", false), OfferAction::kOpenPage);
  EXPECT_EQ(update::ActionForUrl(u"https://setup.exe", false), OfferAction::kOpenPage);
  EXPECT_EQ(update::ActionForUrl(u"https://s/.exe", false), OfferAction::kOpenPage);
  EXPECT_EQ(update::ActionForUrl(u"http://s/page.html?f=a.exe", false), OfferAction::kOpenPage);
}

TEST(Download, InstallerNamesProgressAndText) {
  EXPECT_EQ(update::InstallerFileName(u"https://s/dl/setup_2.exe?x=1"), u"setup_2.exe");
  EXPECT_EQ(update::InstallerFileName(u"https://s/dl/setup_2.EXE"), u"setup_2.EXE");
  EXPECT_EQ(update::InstallerFileName(u"https://s/get.php?f=setup.exe"), u"pelinor_update.exe");
  EXPECT_EQ(update::InstallerFileName(u"https://s/..\\..\\evil.exe"), u"pelinor_update.exe");
  EXPECT_EQ(update::InstallerFileName(u"https://s/nul.exe"), u"pelinor_update.exe");
  EXPECT_EQ(update::DownloadPercent(0, 0), 0);
  EXPECT_EQ(update::DownloadPercent(50, 0), 0);
  EXPECT_EQ(update::DownloadPercent(1, 3), 33);
  EXPECT_EQ(update::DownloadPercent(5, 3), 100);
  EXPECT_EQ(update::DownloadPercent(3000000000ull, 4000000000ull), 75);  // beyond 32 bits
  EXPECT_EQ(update::DownloadPercent(UINT64_MAX - 1, UINT64_MAX), 99);
  EXPECT_EQ(update::DownloadStatusText(2621440, 40), u"正在下载更新，请稍后......\n文件大小:2.500M 已下载:40%");
  EXPECT_EQ(update::DownloadStatusText(0, 140), u"正在下载更新，请稍后......\n已下载:100%");
}

TEST(Download, TransferChecks) {
  update::DownloadFacts f;
  f.status = 200;
  f.lengthKnown = true;
  f.contentLength = 10;
  f.received = 10;
  EXPECT_EQ(update::CheckTransfer(f), DownloadCheck::kOk);
  f.received = 9;
  EXPECT_EQ(update::CheckTransfer(f), DownloadCheck::kTruncated);
  f.lengthKnown = false;
  EXPECT_EQ(update::CheckTransfer(f), DownloadCheck::kOk);
  f.received = 0;
  EXPECT_EQ(update::CheckTransfer(f), DownloadCheck::kTruncated);
  f.received = 10;
  f.status = 404;
  EXPECT_EQ(update::CheckTransfer(f), DownloadCheck::kStatus);
  f.status = 200;
  f.writeOk = false;
  EXPECT_EQ(update::CheckTransfer(f), DownloadCheck::kWriteFailed);
  f.writeOk = true;
  f.received = update::kMaxInstallerBytes + 1;
  EXPECT_EQ(update::CheckTransfer(f), DownloadCheck::kTooLarge);
  f.cancelled = true;
  EXPECT_EQ(update::CheckTransfer(f), DownloadCheck::kCancelled);
  EXPECT_TRUE(update::DigestMatches("", "abc"));
  EXPECT_TRUE(update::DigestMatches(" ABC\n", "abc"));
  EXPECT_FALSE(update::DigestMatches("abd", "abc"));
  EXPECT_FALSE(update::DownloadCheckText(DownloadCheck::kUnsigned).empty());
}

TEST(Download, WhatTheUserIsToldWhenItEnds) {
  using update::FailureNotice;
  EXPECT_EQ(update::NoticeFor(DownloadCheck::kOk), FailureNotice::kNone);
  EXPECT_EQ(update::NoticeFor(DownloadCheck::kCancelled), FailureNotice::kNone);
  // A broken transfer may get through on another try.
  for (DownloadCheck c : {DownloadCheck::kStatus, DownloadCheck::kTruncated, DownloadCheck::kWriteFailed})
    EXPECT_EQ(update::NoticeFor(c), FailureNotice::kAskRetry) << static_cast<int>(c);
  // What the server sends is refused: it would send the same again.
  for (DownloadCheck c : {DownloadCheck::kTooLarge, DownloadCheck::kHashMismatch, DownloadCheck::kUnsigned,
                          DownloadCheck::kWrongSigner})
    EXPECT_EQ(update::NoticeFor(c), FailureNotice::kTell) << static_cast<int>(c);
  EXPECT_EQ(update::DownloadCheckText(DownloadCheck::kTooLarge), u"下载更新失败：文件过大。");
}

TEST(MessageBoxes, OneAtATime) {
  update::BoxTurns turns;
  ASSERT_TRUE(turns.TryTake());
  EXPECT_FALSE(turns.TryTake());  // a check's box is dropped while one is open
  std::atomic<bool> taken{false};
  std::thread later([&] {
    turns.Take();  // a download's box waits its turn
    taken = true;
    turns.Give();
  });
  EXPECT_FALSE(taken.load());
  turns.Give();
  later.join();
  EXPECT_TRUE(taken.load());
  EXPECT_TRUE(turns.TryTake());
  turns.Give();
}

}  // namespace
