#include "app/main_dlg_win.h"

#include "app/app_win.h"
#include "framework/handles_win.h"

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

CMainDlg::CMainDlg(MainWindowEvents& events) : DialogBase(kTemplateId), events_(events) {}

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

void CMainDlg::RemoveWidgetLater(CNewsNotes* widget) {
  if (hwnd_) PostMessageW(hwnd_, WM_APP_REMOVE_WIDGET, 0, reinterpret_cast<LPARAM>(widget));
}

void CMainDlg::Quit(int exitCode) {
  events_.SaveDue();
  DestroyWindow();
  PostQuitMessage(exitCode);
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

  events_.Started();
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
  events_.Closing();
  handled = FALSE;
  return 0;
}

LRESULT CMainDlg::OnQueryEndSession(UINT, WPARAM, LPARAM, BOOL&) {
  KillTimer(hwnd_, kTimerSave);
  saveFires_ = 0;
  return TRUE;
}

LRESULT CMainDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&) {
  const UINT id = LOWORD(wParam);
  if (id == kCmdQuit) {
    Quit(0);
  } else {
    events_.Command(id);
  }
  return 0;
}

void CMainDlg::OnSaveTimer() {
  const unsigned long long now = GetTickCount64();
  // (The tick count moves in steps of 10-16 ms: a timer is not set again for less.)
  if (saveDue_ > now + 16) {
    SetTimer(hwnd_, kTimerSave, static_cast<UINT>(saveDue_ - now), nullptr);
    saveFires_ = saveDue_;
    return;
  }
  KillTimer(hwnd_, kTimerSave);
  saveFires_ = 0;
  events_.SaveDue();
}

LRESULT CMainDlg::OnTimer(UINT, WPARAM id, LPARAM, BOOL& handled) {
  switch (id) {
    case kTimerSave: OnSaveTimer(); break;
    case kTimerTick: events_.Tick(); break;
    case kTimerNetworkWait:
      // (Killed first: the wait may run a modal loop of its own.)
      KillTimer(hwnd_, kTimerNetworkWait);
      if (!events_.WaitForNetwork() && hwnd_) SetTimer(hwnd_, kTimerNetworkWait, 1000, nullptr);
      break;
    case kTimerAddTrayIcon:
      KillTimer(hwnd_, kTimerAddTrayIcon);
      events_.ShowNotifyIcon();
      break;
    case kTimerPublishLocation:
      KillTimer(hwnd_, kTimerPublishLocation);
      PublishLocation();
      break;
    default: handled = FALSE; break;
  }
  return 0;
}

LRESULT CMainDlg::OnPowerBroadcast(UINT, WPARAM wParam, LPARAM, BOOL&) {
  constexpr WPARAM kResumeSuspend = 0x7, kResumeAutomatic = 0x12;  // PBT_APMRESUME...
  if (wParam == kResumeSuspend || wParam == kResumeAutomatic) events_.Resume();
  return TRUE;
}

LRESULT CMainDlg::OnRemoveWidget(UINT, WPARAM, LPARAM lParam, BOOL&) {
  events_.RemoveWidget(reinterpret_cast<CNewsNotes*>(lParam));
  return 0;
}

LRESULT CMainDlg::OnTray(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (lParam == WM_RBUTTONUP) {
    POINT pt{};
    GetCursorPos(&pt);
    SetForegroundWindow(hwnd_);
    events_.NotifyIconMenu(pt.x, pt.y);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
  } else if (lParam == WM_LBUTTONUP) {
    events_.NotifyIconClicked();
  }
  return 0;
}

UINT CMainDlg::TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

LRESULT CMainDlg::OnTaskbarCreated(UINT, WPARAM, LPARAM, BOOL&) {
  events_.ShowNotifyIcon();  // Explorer restarted: its icons are gone
  return 0;
}

LRESULT CMainDlg::OnStartDownload(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (!lParam) return 0;
  // The sender allocated the URL with new[]; the receiver owns it from here.
  auto* url = reinterpret_cast<wchar_t*>(lParam);
  std::wstring copy(url);
  delete[] url;
  events_.StartDownload(copy);
  return 0;
}

LRESULT CMainDlg::OnRemoteConfig(UINT, WPARAM wParam, LPARAM, BOOL&) {
  events_.ConfigResult(wParam != 0);
  return 0;
}

}  // namespace app
