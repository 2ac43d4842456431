// The update check without windows: version packing, the manifest's values, the offer
// decision with its texts, and the bookkeeping of the installer download (its address
// rules, file name, progress text and the checks a finished download must pass).
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace update {

// --- versions ---
// Fills four bytes from a dotted version text: "1.2.3.4" -> 1,2,3,4; "1.2" -> 1,2,0,0;
// "7" -> 0,0,0,0. Each part is the C decimal value of its text, kept modulo 256.
void ParseVersion(const std::string& text, uint8_t out[4]);
// The four bytes as one number, first part in the highest byte.
uint32_t PackVersion(const std::string& text);

// --- manifest ---
struct Manifest {
  std::string version;  // ANSI text as the service sends it
  std::string url;
  std::string message;
  std::string sha256;   // optional: the installer's SHA-256 as 64 hex digits
};
// Cuts the values out of "<ver><![CDATA[...]]></ver>", "<url>...", "<msg>..." and the
// optional "<sha256>..." (CDATA or plain text). Each is searched from the start of the
// text; a missing marker leaves the value empty.
Manifest ExtractManifest(const std::string& text);
// BASE + "/update/update.xml?rand=" + rand + "&ver=" + version.
std::u16string ManifestUrl(const std::u16string& base, int32_t rand, const std::u16string& version);
constexpr size_t kMaxManifestBytes = 64 * 1024;

// --- offer ---
constexpr char16_t kUpdateCaption[] = u"Dorvane软件更新提示";
constexpr char16_t kCheckFailedText[] = u"检测更新失败！";
constexpr char16_t kNoUpdateText[] = u"未检查到有更新！";

enum class OfferKind {
  kNothing,      // silent: nothing to offer on an automatic check
  kOffer,        // ask with OfferText (OK and Cancel)
  kNoUpdate,     // tell the user kNoUpdateText (they asked)
};
struct OfferDecision {
  OfferKind kind = OfferKind::kNothing;
  std::u16string text;
};
// `running` and `declined` are version texts (`declined` empty when none was declined).
OfferDecision DecideOffer(const std::u16string& offered, const std::u16string& message,
                          const std::u16string& url, const std::u16string& running,
                          const std::u16string& declined, bool userAsked);

// What OK on an offer does with its address.
enum class OfferAction {
  kDownload,     // an installer (IsInstallerAddress) over an allowed scheme
  kOpenPage,     // an http/https page for the browser
  kRefuse,       // anything else: nothing is opened or downloaded
};
OfferAction ActionForUrl(const std::u16string& url, bool allowPlainHttp);
// Whether an address names an installer: its path (query and fragment left out) ends in a
// file name with the extension ".exe", in any letter case. "page.exe.html", "/get?f=a.exe"
// and "/dir.exe/" are pages.
bool IsInstallerAddress(const std::u16string& url);
constexpr char16_t kRefusedText[] = u"更新地址不安全，已取消更新。";

// --- download ---
constexpr uint64_t kMaxInstallerBytes = 200ull * 1024 * 1024;
constexpr char16_t kFallbackInstallerName[] = u"pelinor_update.exe";
constexpr char16_t kUpdateFolderName[] = u"update";

// The installer's file name: the URL path's last segment (query and fragment cut off)
// when it is a safe name (letters, digits, ".", "-", "_", not starting with ".", at most
// 100 characters) ending in ".exe", otherwise kFallbackInstallerName.
std::u16string InstallerFileName(const std::u16string& url);

// Percentage done, 0..100; 0 while the size is unknown.
int DownloadPercent(uint64_t done, uint64_t total);
// The dialog's status text: "正在下载更新，请稍后......\n" then, when the size is known,
// "文件大小:%.3fM " and always "已下载:<percent>%".
std::u16string DownloadStatusText(uint64_t total, int percent);

// Why a finished download may not run, checked in this order.
enum class DownloadCheck {
  kOk,
  kStatus,        // the server did not answer 200
  kTooLarge,      // announced or received more than kMaxInstallerBytes
  kTruncated,     // fewer (or more) bytes than the announced Content-Length
  kWriteFailed,   // the file could not be written completely
  kCancelled,
  kHashMismatch,  // the manifest's SHA-256 differs
  kUnsigned,      // no valid Authenticode signature
  kWrongSigner,   // signed, but not by the expected publisher
};
struct DownloadFacts {
  int status = 0;
  bool lengthKnown = false;
  uint64_t contentLength = 0;
  uint64_t received = 0;
  bool writeOk = true;
  bool cancelled = false;
};
// The transfer's own checks (status, size, length, write, cancel).
DownloadCheck CheckTransfer(const DownloadFacts& f);
// Compares a computed digest with the manifest's (hex, any letter case, surrounding white
// space ignored). An empty expected digest matches anything.
bool DigestMatches(const std::string& expectedHex, const std::string& actualHex);
// A line for the log and the user's message box.
std::u16string DownloadCheckText(DownloadCheck c);

// What the user is told when a download ends with `c`.
enum class FailureNotice {
  kNone,        // nothing: the download went through, or the user cancelled it
  kAskRetry,    // kRetryQuestion: the transfer broke and another try may get through
  kTell,        // DownloadCheckText(c) alone: trying again would fetch the same thing
};
FailureNotice NoticeFor(DownloadCheck c);
constexpr char16_t kRetryQuestion[] = u"下载更新失败，是否继续尝试下载？";
constexpr char16_t kRetryCaption[] = u"提示";

// The update's message boxes take turns: at most one is open at a time, so that no box is
// drawn over another the user has not answered. A box a check raises (an offer, "no
// update", a failed check) is dropped when another is open: the user is answering an update
// box already, and the next check asks again. A box that ends the user's own download (a
// refusal, a retry question) waits until the open one is closed. Safe on any thread.
class BoxTurns {
 public:
  // Takes the turn when no box is open; false (nothing taken) otherwise.
  bool TryTake();
  // Takes the turn, waiting until the open box is closed.
  void Take();
  void Give();

 private:
  std::mutex mutex_;
  std::condition_variable free_;
  bool taken_ = false;
};

}  // namespace update
