#include "app/main_dlg_win.h"

#include <shellapi.h>
#include <wininet.h>

#include "app/app_win.h"
#include "feed/feed_fetch_win.h"
#include "platform/log.h"
#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "platform/text.h"

namespace app {

namespace {

std::wstring QuotedExePath() { return L"\"" + ExecutablePath() + L"\""; }

// Reads a REG_SZ value into a buffer of 1000 bytes; a longer value counts as unreadable.
bool ReadShortString(HKEY key, const wchar_t* name, std::wstring* out) {
  wchar_t buf[500] = {};
  DWORD type = 0, size = sizeof buf;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  size_t chars = size / sizeof(wchar_t);
  while (chars > 0 && buf[chars - 1] == L'\0') --chars;
  out->assign(buf, chars);
  return true;
}

bool WriteString(HKEY key, const wchar_t* name, const std::wstring& value) {
  DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

}  // namespace

bool IsAutoStartOn() {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  fw::UniqueRegKey key(raw);
  std::wstring value;
  return ReadShortString(key.get(), kRunValue, &value) && value == QuotedExePath();
}

bool EnableAutoStart() {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr) !=
      ERROR_SUCCESS)
    return false;
  fw::UniqueRegKey key(raw);
  return WriteString(key.get(), kRunValue, QuotedExePath());
}

bool DisableAutoStart() {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return false;
  fw::UniqueRegKey key(raw);
  return RegDeleteValueW(key.get(), kRunValue) == ERROR_SUCCESS;
}

bool PublishLocation() {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kLocationKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &raw,
                      nullptr) != ERROR_SUCCESS)
    return false;
  fw::UniqueRegKey key(raw);
  std::wstring exe = ExecutablePath();
  std::wstring current;
  if (ReadShortString(key.get(), kLocationValue, &current) && current == exe) return false;
  return WriteString(key.get(), kLocationValue, exe);
}

CMainDlg::CMainDlg() : DialogBase(kTemplateId) {}

CMainDlg::~CMainDlg() = default;

void CMainDlg::ScheduleSave(unsigned ms) {
  if (!hwnd_) return;
  const unsigned long long now = GetTickCount64();
  saveDue_ = now + ms;
  // Setting a timer is a call to the system each time (under Wine a round trip to its
  // server); one already set to fire no later than the new due time is left to run.
  if (saveFires_ && saveFires_ <= saveDue_) return;
  SetTimer(hwnd_, kTimerSave, ms, nullptr);  // replaces a timer that would fire too late
  saveFires_ = saveDue_;
}

void CMainDlg::Quit(int exitCode) {
  if (hooks_.saveData) hooks_.saveData();
  DestroyWindow();
  PostQuitMessage(exitCode);
}

void CMainDlg::ShowAbout() {
  if (hooks_.showAbout) hooks_.showAbout();
}

void CMainDlg::RemoveWidgetLater(CNewsNotes* widget) {
  if (hwnd_) PostMessageW(hwnd_, WM_APP_REMOVE_WIDGET, 0, reinterpret_cast<LPARAM>(widget));
}

void CMainDlg::SendSubscribeNotice(const std::u16string& feedUrl, const std::u16string& name) {
  Feeds().SendSubscribeNotice(as_wcstr(feedUrl), as_wcstr(name));
}

bool CMainDlg::StartFeedRefresh(HWND window, const std::u16string& url, const feed::RefreshOptions& options) {
  return Feeds().Start(window, feed::kFeedResultMessage, as_wcstr(url), options) == 1;
}

feed::FeedRefresher& CMainDlg::Feeds() {
  if (feeds_) return *feeds_;
  if (!ownFeeds_) ownFeeds_ = std::make_unique<feed::FeedRefresher>();
  return *ownFeeds_;
}

void CMainDlg::OpenHelp() {
  ShellExecuteW(hwnd_, L"open", (AppFolder() + kHelpFileName).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, (ex & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
  if (auto* loop = fw::AppModule::GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }
  LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  SetWindowLongPtrW(hwnd_, GWL_STYLE, style & ~WS_VISIBLE);

  std::string logPath;
  platform::ToCodePage(platform::AnsiCodePage(), as_u16((AppFolder() + L"log.txt").c_str()), &logPath);
  platform::SetLogPath(logPath);

  if (hooks_.loadData) hooks_.loadData();
  if (hooks_.loadAdverts) hooks_.loadAdverts();
  // Adding the notification icon waits on the shell: the widgets show their first images
  // and feeds first. A timer comes once nothing else is queued.
  SetTimer(hwnd_, kTimerAddTrayIcon, USER_TIMER_MINIMUM, nullptr);

  SetTimer(hwnd_, kTimerTick, 1000, nullptr);
  SetTimer(hwnd_, kTimerNetworkWait, 1000, nullptr);
  SetTimer(hwnd_, kTimerPublishLocation, 10000, nullptr);
  return TRUE;
}

LRESULT CMainDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  if (auto* loop = fw::AppModule::GetMessageLoop()) {
    loop->RemoveMessageFilter(this);
    loop->RemoveIdleHandler(this);
  }
  KillTimer(hwnd_, kTimerSave);  // a pending save is dropped; Quit has saved already
  saveFires_ = 0;
  if (hooks_.removeTrayIcon) hooks_.removeTrayIcon();
  handled = FALSE;
  return 0;
}

LRESULT CMainDlg::OnQueryEndSession(UINT, WPARAM, LPARAM, BOOL&) {
  KillTimer(hwnd_, kTimerSave);
  saveFires_ = 0;
  return TRUE;
}

LRESULT CMainDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&) {
  switch (LOWORD(wParam)) {
    case kCmdQuit: Quit(0); break;
    case kCmdCheckUpdate: if (hooks_.checkForUpdate) hooks_.checkForUpdate(); break;
    case kCmdAbout: ShowAbout(); break;
    case kCmdSettings: if (hooks_.showSettings) hooks_.showSettings(); break;
    default: break;
  }
  return 0;
}

LRESULT CMainDlg::OnTimer(UINT, WPARAM id, LPARAM, BOOL& handled) {
  switch (id) {
    case kTimerSave: {
      const unsigned long long now = GetTickCount64();
      // (The tick count moves in steps of 10-16 ms: a timer is not set again for less.)
      if (saveDue_ > now + 16) {
        SetTimer(hwnd_, kTimerSave, static_cast<UINT>(saveDue_ - now), nullptr);
        saveFires_ = saveDue_;
        break;
      }
      KillTimer(hwnd_, kTimerSave);
      saveFires_ = 0;
      if (hooks_.saveData) hooks_.saveData();
      break;
    }
    case kTimerTick: OnTick(); break;
    case kTimerNetworkWait: OnNetworkWait(); break;
    case kTimerAddTrayIcon:
      KillTimer(hwnd_, kTimerAddTrayIcon);
      if (hooks_.addTrayIcon) hooks_.addTrayIcon();
      break;
    case kTimerPublishLocation:
      KillTimer(hwnd_, kTimerPublishLocation);
      PublishLocation();
      break;
    default: handled = FALSE; break;
  }
  return 0;
}

void CMainDlg::OnTick() {
  TickActions a = counters_.Tick();
  if (a.runAdvertScheduler && hooks_.runAdvertScheduler) hooks_.runAdvertScheduler();
  if (a.requestRemoteConfig && hooks_.requestConfig) hooks_.requestConfig(std::string());
  manager_.RefreshDueWidgets(platform::ScheduleSeconds());
  // Failed feeds: all of them at once when the network is back.
  // (The system is asked directly: the isOnline hook counts the start-up's offline ticks.)
  if (network_.Tick(manager_.AnyAwaitsNetwork(), [] {
        DWORD flags = 0;
        return InternetGetConnectedState(&flags, 0) != FALSE;
      }))
    manager_.NetworkBack();
  if (feeds_) feeds_->Look();  // downloads near their deadline get a watchdog
}

LRESULT CMainDlg::OnPowerBroadcast(UINT, WPARAM wParam, LPARAM, BOOL&) {
  constexpr WPARAM kResumeSuspend = 0x7, kResumeAutomatic = 0x12;  // PBT_APMRESUME...
  // Back from sleep: the network may be too; failed feeds need not wait out their pause.
  if (wParam == kResumeSuspend || wParam == kResumeAutomatic) manager_.NetworkBack();
  return TRUE;
}

void CMainDlg::OnNetworkWait() {
  bool online;
  if (hooks_.isOnline) {
    online = hooks_.isOnline();
  } else {
    DWORD flags = 0;
    online = InternetGetConnectedState(&flags, 0) != FALSE;
  }
  if (!online) return;  // ask again at the next tick
  KillTimer(hwnd_, kTimerNetworkWait);
  std::string query = "run=1&stat=";
  if (hooks_.statisticsQuery) query += hooks_.statisticsQuery();
  if (hooks_.requestConfig) hooks_.requestConfig(query);
}

LRESULT CMainDlg::OnRemoveWidget(UINT, WPARAM, LPARAM lParam, BOOL&) {
  // Compared by identity only: a pointer that is not in the list is never used.
  manager_.RemoveWidget(reinterpret_cast<CNewsNotes*>(lParam));
  return 0;
}

LRESULT CMainDlg::OnTray(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (lParam == WM_RBUTTONUP && hooks_.showMainMenu) {
    POINT pt{};
    GetCursorPos(&pt);
    SetForegroundWindow(hwnd_);
    hooks_.showMainMenu(pt.x, pt.y);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
  } else if (lParam == WM_LBUTTONUP && hooks_.bringWidgetsToFront) {
    hooks_.bringWidgetsToFront();
  }
  return 0;
}

UINT CMainDlg::TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

LRESULT CMainDlg::OnTaskbarCreated(UINT, WPARAM, LPARAM, BOOL&) {
  if (hooks_.addTrayIcon) hooks_.addTrayIcon();  // Explorer restarted: its icons are gone
  return 0;
}

LRESULT CMainDlg::OnStartDownload(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (!lParam) return 0;
  // The sender allocated the URL with new[]; the receiver owns it from here.
  auto* url = reinterpret_cast<wchar_t*>(lParam);
  std::wstring copy(url);
  delete[] url;
  if (hooks_.startDownload) hooks_.startDownload(copy.c_str());
  return 0;
}

LRESULT CMainDlg::OnRemoteConfig(UINT, WPARAM wParam, LPARAM, BOOL&) {
  if (wParam && hooks_.applyRemoteConfig) hooks_.applyRemoteConfig();
  if (!wParam && hooks_.remoteConfigFailed) hooks_.remoteConfigFailed();
  return 0;
}

}  // namespace app
