// The update check and the installer download on Windows: the user's check (command
// 4102), the offer box, the download dialog with its worker, and the about box.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "update/signature_win.h"
#include "update/update_core.h"
#include "update/update_dialogs_win.h"

namespace update {

struct UpdateSettings {
  HWND mainWindow = nullptr;     // receives WM_USER+103 with the installer address
  std::u16string serviceBase;    // "scheme://host[:port]" of the manifest
  std::u16string updateFolder;   // where installers are kept (created when missing)
  bool allowPlainHttp = false;   // test builds against a loopback stand-in only
  TrustedSigner signer;
  MessageBoxFn messageBox;       // SystemMessageBox unless a test answers
  // Starts a downloaded installer; ShellExecuteW "open" with "?update=true" by default.
  std::function<bool(const std::u16string& path, const std::u16string& parameters)> run;
};

constexpr UINT WM_START_DOWNLOAD = WM_USER + 103;  // lParam: new[]'d installer address

// The four-part file version of the running executable ("1.0.0.0"), empty without one.
std::u16string GetFileVersionText();

// Everything here is called on the UI thread except where noted; workers hold only shared
// state, so the controller may go away while they finish.
class UpdateController {
 public:
  explicit UpdateController(UpdateSettings settings);
  ~UpdateController();

  // The version the user declined, never offered again (empty: none).
  void SetDeclinedVersion(const std::u16string& version);

  // The user's check: fetches the manifest on a worker and offers what it announces.
  void CheckForUpdate(bool userAsked);
  // Asks the user about an offered version on a thread of its own, so the caller's
  // message handler returns at once; an offer arriving while an update message box is
  // open is dropped (BoxTurns).
  // Safe on any thread. `sha256` (may be empty) is checked against the installer.
  void OfferUpdate(const std::u16string& version, const std::u16string& message, const std::u16string& url,
                   const std::string& sha256, bool userAsked);
  // WM_USER+103: creates the download dialog and starts the worker, unless a download
  // dialog already exists.
  void StartDownload(const std::u16string& url);
  void ShowAbout(HWND owner);

  // For tests: the dialog (null when none).
  CDownloadUpdate* dialog() { return dialog_.get(); }

 private:
  struct Shared {
    UpdateSettings settings;
    std::mutex mutex;                     // guards the two texts below
    std::u16string declined;
    std::u16string expectedUrl;           // the offered installer and its digest
    std::string expectedSha256;
    BoxTurns boxes;                       // one update message box at a time
  };
  static void Check(std::shared_ptr<Shared> shared, bool userAsked);
  static void Offer(std::shared_ptr<Shared> shared, std::u16string version, std::u16string message,
                    std::u16string url, std::string sha256, bool userAsked);
  static void Download(std::shared_ptr<Shared> shared, std::shared_ptr<DownloadState> state, HWND dialog,
                       std::u16string url, std::string sha256);

  std::shared_ptr<Shared> shared_;
  std::unique_ptr<CDownloadUpdate> dialog_;
};

// Streams `url` into `path` (created or truncated), checking the status, every write,
// the size cap and the announced length, and flushing before it returns. Publishes the
// total and percentage into `state` and stops when it is cancelled. Fills `facts`.
void DownloadToFile(const std::u16string& url, const std::u16string& path, DownloadState* state,
                    DownloadFacts* facts);

}  // namespace update
