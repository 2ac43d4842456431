#include "update/update_win.h"

#include <shellapi.h>
#include <wininet.h>

#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#include "config/config_fetch_win.h"
#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "net/http_client_win.h"
#include "net/url.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"

namespace update {
namespace {

std::u16string FromAnsi(const std::string& s) {
  std::u16string out;
  if (!platform::FromCodePage(platform::AnsiCodePage(), s, &out)) out.clear();
  return out;
}

bool RunInstaller(const std::u16string& path, const std::u16string& parameters) {
  std::u16string folder = path.substr(0, path.find_last_of(u"\\/") + 1);
  auto r = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", as_wcstr(path), as_wcstr(parameters),
                                                   folder.empty() ? nullptr : as_wcstr(folder), SW_SHOW));
  return r > 32;
}

std::u16string Utf8(const char* s) { return platform::Utf8ToU16(s); }

// A taken turn of the update's message boxes, given back when it goes.
class Turn {
 public:
  explicit Turn(BoxTurns& turns) : turns_(turns) {}
  ~Turn() { turns_.Give(); }
  Turn(const Turn&) = delete;
  Turn& operator=(const Turn&) = delete;

 private:
  BoxTurns& turns_;
};

// A box a check raises: shown only when no other update box is open (see BoxTurns).
int CheckBox(BoxTurns& turns, const MessageBoxFn& box, const std::u16string& text, UINT type) {
  if (!turns.TryTake()) {
    LogDebug("update message dropped: another update message is open");
    return 0;
  }
  Turn turn(turns);
  return box(nullptr, text, kUpdateCaption, type);
}

}  // namespace

std::u16string GetFileVersionText() {
  wchar_t exe[MAX_PATH] = {};
  if (!GetModuleFileNameW(nullptr, exe, MAX_PATH)) return u"";
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(exe, &ignored);
  if (size == 0) return u"";
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(exe, 0, size, data.data())) return u"";
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info) return u"";
  char text[64];
  snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(HIWORD(info->dwFileVersionMS)),
           static_cast<int>(LOWORD(info->dwFileVersionMS)), static_cast<int>(HIWORD(info->dwFileVersionLS)),
           static_cast<int>(LOWORD(info->dwFileVersionLS)));
  return Utf8(text);
}

UpdateController::UpdateController(UpdateSettings settings) : shared_(std::make_shared<Shared>()) {
  shared_->settings = std::move(settings);
  if (!shared_->settings.messageBox) shared_->settings.messageBox = SystemMessageBox;
  if (!shared_->settings.run) shared_->settings.run = RunInstaller;
}

UpdateController::~UpdateController() {
  if (dialog_ && dialog_->IsWindow()) dialog_->DestroyWindow();
}

void UpdateController::SetDeclinedVersion(const std::u16string& version) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->declined = version;
}

void UpdateController::CheckForUpdate(bool userAsked) { std::thread(Check, shared_, userAsked).detach(); }

void UpdateController::Check(std::shared_ptr<Shared> shared, bool userAsked) {
  const UpdateSettings& s = shared->settings;
  std::u16string url = ManifestUrl(s.serviceBase, static_cast<int32_t>(std::time(nullptr)), GetFileVersionText());
  std::string body;
  Manifest m;
  if (config::FetchBody(url, kMaxManifestBytes, &body)) m = ExtractManifest(body);
  if (m.version.empty() || m.url.empty()) {
    LogDebug("update check failed");
    if (userAsked) CheckBox(shared->boxes, s.messageBox, kCheckFailedText, MB_OK);
    return;
  }
  Offer(shared, FromAnsi(m.version), FromAnsi(m.message), FromAnsi(m.url), m.sha256, userAsked);
}

void UpdateController::OfferUpdate(const std::u16string& version, const std::u16string& message,
                                   const std::u16string& url, const std::string& sha256, bool userAsked) {
  if (version.empty() || url.empty()) return;
  std::thread(Offer, shared_, version, message, url, sha256, userAsked).detach();
}

void UpdateController::Offer(std::shared_ptr<Shared> shared, std::u16string version, std::u16string message,
                             std::u16string url, std::string sha256, bool userAsked) {
  const UpdateSettings& s = shared->settings;
  std::u16string declined;
  {
    std::lock_guard<std::mutex> lock(shared->mutex);
    declined = shared->declined;
  }
  OfferDecision d = DecideOffer(version, message, url, GetFileVersionText(), declined, userAsked);
  if (d.kind == OfferKind::kNoUpdate) CheckBox(shared->boxes, s.messageBox, d.text, MB_OK);
  if (d.kind != OfferKind::kOffer) return;
  if (!shared->boxes.TryTake()) {
    LogDebug("update offer dropped: another update message is open");
    return;
  }
  OfferAction action;
  {
    // The offer and its refusal are one turn: no later check's box comes between them.
    Turn turn(shared->boxes);
    if (s.messageBox(nullptr, d.text, kUpdateCaption, MB_OKCANCEL) != IDOK) return;
    action = ActionForUrl(url, s.allowPlainHttp);
    if (action == OfferAction::kRefuse) {
      LogDebug("update address refused: %s", platform::ToAnsi(url).c_str());
      s.messageBox(nullptr, kRefusedText, kUpdateCaption, MB_OK | MB_ICONWARNING);
      return;
    }
  }
  if (action == OfferAction::kOpenPage) {
    ShellExecuteW(nullptr, L"open", as_wcstr(url), nullptr, nullptr, SW_SHOW);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->expectedUrl = url;
    shared->expectedSha256 = sha256;
  }
  auto* copy = new wchar_t[url.size() + 1];
  std::copy(url.begin(), url.end(), copy);
  copy[url.size()] = L'\0';
  if (!SendMessageW(s.mainWindow, WM_START_DOWNLOAD, 0, reinterpret_cast<LPARAM>(copy)) && !IsWindow(s.mainWindow))
    delete[] copy;  // nobody took it
}

void UpdateController::ShowAbout(HWND owner) {
  CAboutDlg about;
  about.DoModal(owner);
}

void UpdateController::StartDownload(const std::u16string& url) {
  if (dialog_ && dialog_->IsWindow()) return;  // one download at a time
  const UpdateSettings& s = shared_->settings;
  // The address came through a window message: it is checked again here.
  if (ActionForUrl(url, s.allowPlainHttp) != OfferAction::kDownload) {
    LogDebug("update download refused: %s", platform::ToAnsi(url).c_str());
    return;
  }
  std::string sha256;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->expectedUrl == url) sha256 = shared_->expectedSha256;
  }
  auto state = std::make_shared<DownloadState>();
  dialog_ = std::make_unique<CDownloadUpdate>(state, s.messageBox);
  if (!dialog_->Create(s.mainWindow)) return;
  std::thread(Download, shared_, state, dialog_->hwnd(), url, sha256).detach();
  ShowWindow(dialog_->hwnd(), SW_SHOW);
}

void UpdateController::Download(std::shared_ptr<Shared> shared, std::shared_ptr<DownloadState> state, HWND dialog,
                                std::u16string url, std::string sha256) {
  const UpdateSettings& s = shared->settings;
  std::u16string folder = s.updateFolder;
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  std::u16string target = folder + InstallerFileName(url);
  std::u16string temp = platform::TempPathFor(target);
  // The dialog is closed before a download that ends is explained: it never stays at its
  // last percentage behind the message, waiting for the user's click.
  bool closed = false;
  auto close = [&closed, dialog](bool ok) {
    if (!closed) PostMessageW(dialog, WM_DOWNLOAD_DONE, ok ? 1 : 0, 0);
    closed = true;
  };
  auto tell = [&](DownloadCheck check) {
    close(false);
    shared->boxes.Take();  // after any update box the user has not answered yet
    Turn turn(shared->boxes);
    s.messageBox(nullptr, DownloadCheckText(check), kUpdateCaption, MB_OK | MB_ICONERROR);
  };
  for (;;) {
    state->cancel = false;
    DownloadFacts facts;
    if (platform::CreateFolder(s.updateFolder)) {
      DownloadToFile(url, temp, state.get(), &facts);
    } else {
      facts.writeOk = false;
    }
    DownloadCheck check = CheckTransfer(facts);
    if (check != DownloadCheck::kOk) {
      platform::RemoveFile(temp);
      LogDebug("update download failed (status %d, %llu of %llu bytes)", facts.status,
               static_cast<unsigned long long>(facts.received),
               static_cast<unsigned long long>(facts.contentLength));
      if (state->cancel) break;
      const FailureNotice notice = NoticeFor(check);
      if (notice == FailureNotice::kTell) tell(check);
      if (notice != FailureNotice::kAskRetry) break;
      shared->boxes.Take();
      Turn turn(shared->boxes);
      // A retry goes on in the same dialog.
      if (s.messageBox(nullptr, kRetryQuestion, kRetryCaption, MB_OKCANCEL) == IDOK) continue;
      break;
    }
    check = CheckInstaller(temp, sha256, s.signer);
    if (check != DownloadCheck::kOk) {
      platform::RemoveFile(temp);
      tell(check);
      break;
    }
    if (!MoveFileExW(as_wcstr(temp), as_wcstr(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      LogDebug("update installer could not be moved into place: %lu", GetLastError());
      platform::RemoveFile(temp);
      tell(DownloadCheck::kWriteFailed);
      break;
    }
    const bool ok = s.run(target, u"?update=true");
    if (!ok) LogDebug("update installer could not be started");
    close(ok);
    break;
  }
  close(false);
}

void DownloadToFile(const std::u16string& url, const std::u16string& path, DownloadState* state,
                    DownloadFacts* facts) {
  *facts = DownloadFacts();
  net::UrlParts parts;
  if (!net::SplitUrl(url, &parts)) return;
  fw::UniqueInternet root(InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!root) return;
  fw::UniqueInternet connection(InternetConnectW(root.get(), as_wcstr(parts.host),
                                                 static_cast<INTERNET_PORT>(parts.port), nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return;
  DWORD connectMs = net::kConnectTimeoutMs, receiveMs = net::kReceiveTimeoutMs, sendMs = net::kSendTimeoutMs;
  InternetSetOptionW(connection.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
  InternetSetOptionW(connection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs);
  InternetSetOptionW(connection.get(), INTERNET_OPTION_SEND_TIMEOUT, &sendMs, sizeof sendMs);
  const wchar_t* accept[] = {L"*/*", nullptr};
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                (parts.secure ? INTERNET_FLAG_SECURE : 0);
  HINTERNET request = HttpOpenRequestW(connection.get(), L"GET", as_wcstr(parts.path), nullptr, nullptr, accept,
                                       flags, 1);
  if (!request) return;
  state->SetRequest(request);  // from here a cancel closes it
  if (!state->cancel && HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
    DWORD status = 0, size = sizeof status;
    if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
      facts->status = static_cast<int>(status);
    wchar_t length[40] = {};
    DWORD lengthBytes = sizeof length;
    if (HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, length, &lengthBytes, nullptr)) {
      wchar_t* end = nullptr;
      facts->contentLength = std::wcstoull(length, &end, 10);
      facts->lengthKnown = end != length;
    }
    if (facts->status == 200 && !(facts->lengthKnown && facts->contentLength > kMaxInstallerBytes)) {
      state->total = facts->lengthKnown ? facts->contentLength : 0;
      fw::UniqueFile file(CreateFileW(as_wcstr(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
      facts->writeOk = static_cast<bool>(file);
      std::vector<char> buffer(net::kReadChunk);
      while (file && !state->cancel) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
          facts->writeOk = facts->writeOk && !state->cancel;
          facts->status = state->cancel ? facts->status : -1;  // a broken transfer is not a 200
          break;
        }
        if (read == 0) break;
        facts->received += read;
        if (facts->received > kMaxInstallerBytes) break;
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read) {
          facts->writeOk = false;
          break;
        }
        state->percent = DownloadPercent(facts->received, facts->contentLength);
      }
      if (file && !FlushFileBuffers(file.get())) facts->writeOk = false;
      if (facts->writeOk && !facts->lengthKnown && !state->cancel) state->percent = 100;
    }
  }
  facts->cancelled = state->cancel;
  state->ClearRequest();
}

}  // namespace update
