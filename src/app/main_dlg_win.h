// The hidden main window: turns its messages and timers (deferred save, one-second tick,
// start-up network wait, location publishing, notification icon) into typed calls on the
// program that has it. Also the auto-start registration and the published location.
#pragma once
#include <windows.h>

#include <string>

#include "framework/dialog_win.h"
#include "framework/message_loop_win.h"

class CNewsNotes;

namespace app {

constexpr UINT kTimerSave = 2;
constexpr UINT kTimerTick = 4;
constexpr UINT kTimerNetworkWait = 5;
constexpr UINT kTimerPublishLocation = 6;
constexpr UINT kTimerAddTrayIcon = 7;
constexpr UINT kSaveDelayMs = 1000;
constexpr UINT kSaveDelayAfterResizeMs = 2000;

constexpr UINT WM_APP_REMOVE_WIDGET = WM_USER + 100;      // lParam: the widget
constexpr UINT WM_APP_UNUSED_101 = WM_USER + 101;
constexpr UINT WM_APP_TRAY = WM_USER + 102;               // lParam: mouse message
constexpr UINT WM_APP_START_DOWNLOAD = WM_USER + 103;     // lParam: heap installer URL
constexpr UINT WM_APP_UNUSED_104 = WM_USER + 104;
constexpr UINT WM_APP_REMOTE_CONFIG = WM_USER + 105;      // wParam: 1 parsed, 0 failed
constexpr UINT WM_APP_UNUSED_110 = WM_USER + 110;

constexpr UINT kCmdQuit = 2;
constexpr UINT kCmdSettings = 29;
constexpr UINT kCmdCheckUpdate = 4102;
constexpr UINT kCmdAbout = 4103;

constexpr wchar_t kHelpFileName[] = L"使用说明.txt";

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Pelinor";
constexpr wchar_t kLocationKey[] = L"SOFTWARE\\Pelinor";
constexpr wchar_t kLocationValue[] = L"Location";

// Auto-start registration of this executable (HKCU Run value "Pelinor").
bool IsAutoStartOn();
bool EnableAutoStart();
bool DisableAutoStart();
// Writes HKCU\SOFTWARE\Pelinor "Location" unless it already equals the executable path.
// Returns true when it wrote the value.
bool PublishLocation();

// What the main window tells the program. Every call comes on the UI thread.
class MainWindowEvents {
 public:
  virtual ~MainWindowEvents() = default;
  // The window exists (hidden): the program loads what it shows.
  virtual void Started() = 0;
  // Once a second.
  virtual void Tick() = 0;
  // Once a second from the start until it returns true: the start-up network wait.
  virtual bool WaitForNetwork() = 0;
  // The deferred save is due, or the program quits.
  virtual void SaveDue() = 0;
  // The notification icon is to be added: at start, and when Explorer restarted.
  virtual void ShowNotifyIcon() = 0;
  // A right click on the icon, with the cursor at (x, y), the window in the foreground.
  virtual void NotifyIconMenu(int x, int y) = 0;
  // A left click on the icon.
  virtual void NotifyIconClicked() = 0;
  // The computer woke up.
  virtual void Resume() = 0;
  // The remote configuration request ended: parsed, or failed.
  virtual void ConfigResult(bool parsed) = 0;
  // A menu command other than quitting (kCmdSettings, kCmdCheckUpdate, kCmdAbout, ...).
  virtual void Command(UINT id) = 0;
  // The user accepted an update: its installer is to be downloaded.
  virtual void StartDownload(const std::wstring& url) = 0;
  // A widget asked to be removed; compare by identity only, it may be gone already.
  virtual void RemoveWidget(CNewsNotes* widget) = 0;
  // The window is being destroyed.
  virtual void Closing() = 0;
};

class CMainDlg : public fw::DialogBase, public fw::MessageFilter, public fw::IdleHandler {
 public:
  static constexpr UINT kTemplateId = 129;

  explicit CMainDlg(MainWindowEvents& events);
  ~CMainDlg() override;

  HWND Create(HWND parent) { return DialogBase::Create(parent); }

  // (Re)starts the deferred save: SaveDue comes `ms` after the last call.
  void ScheduleSave(unsigned ms);
  // Removal of `widget` once the current message has returned.
  void RemoveWidgetLater(CNewsNotes* widget);
  // Saves, destroys the window and ends the message loop.
  void Quit(int exitCode);

  BOOL PreTranslateMessage(MSG*) override { return FALSE; }
  BOOL OnIdle() override { return FALSE; }

  BEGIN_MSG_MAP(CMainDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MESSAGE_HANDLER(WM_QUERYENDSESSION, OnQueryEndSession)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(WM_APP_REMOVE_WIDGET, OnRemoveWidget)
    MESSAGE_HANDLER(WM_APP_UNUSED_101, OnIgnored)
    MESSAGE_HANDLER(WM_APP_UNUSED_104, OnIgnored)
    MESSAGE_HANDLER(WM_APP_UNUSED_110, OnIgnored)
    MESSAGE_HANDLER(WM_HOTKEY, OnIgnored)
    MESSAGE_HANDLER(WM_APP_TRAY, OnTray)
    MESSAGE_HANDLER(WM_APP_START_DOWNLOAD, OnStartDownload)
    MESSAGE_HANDLER(WM_APP_REMOTE_CONFIG, OnRemoteConfig)
    MESSAGE_HANDLER(WM_POWERBROADCAST, OnPowerBroadcast)
    MESSAGE_HANDLER(TaskbarCreatedMessage(), OnTaskbarCreated)
  END_MSG_MAP()

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnQueryEndSession(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnRemoveWidget(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnIgnored(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
  LRESULT OnTray(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnStartDownload(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnRemoteConfig(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPowerBroadcast(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTaskbarCreated(UINT, WPARAM, LPARAM, BOOL&);
  static UINT TaskbarCreatedMessage();

  void OnSaveTimer();

  MainWindowEvents& events_;
  // The pending save: when it is due, and when its timer fires (0: no timer runs). A
  // burst of changes (every widget's at start-up) moves the due time only; a timer that
  // fires early is set again for what is left.
  unsigned long long saveDue_ = 0, saveFires_ = 0;
};

}  // namespace app
