// The hidden main window: has the widget manager, the periodic work (deferred save,
// one-second tick, network wait, location publishing), the auto-start registration, and
// receives the custom messages of workers and widgets.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/tick_counters.h"
#include "framework/dialog_win.h"
#include "framework/message_loop_win.h"
#include "feed/feed_fetch_win.h"
#include "widgets/notes_manager_win.h"

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

class CMainDlg : public fw::DialogBase,
                 public fw::MessageFilter,
                 public fw::IdleHandler,
                 private widgets::ProgramHost {
 public:
  static constexpr UINT kTemplateId = 129;

  // Work that belongs to other subsystems, reached through one place. Each entry is
  // called when set; tests set them to observe the main window, and a subsystem that
  // is not built yet simply leaves its entry empty.
  struct Hooks {
    std::function<void()> loadData;                        // read data.dat, create widgets
    std::function<void()> saveData;                        // write data.dat
    std::function<void()> loadAdverts;                     // read the advert store
    std::function<void()> runAdvertScheduler;              // show adverts that are due
    std::function<void(const std::string&)> requestConfig; // remote configuration request
    std::function<void()> applyRemoteConfig;               // WM_USER+105 with success
    std::function<bool()> isOnline;                        // default: InternetGetConnectedState
    std::function<std::string()> statisticsQuery;          // usage counts for the first request
    std::function<void(const wchar_t*)> startDownload;     // installer download
    std::function<void()> checkForUpdate;                  // the user's own update check
    std::function<void()> remoteConfigFailed;              // WM_USER+105 without success
    std::function<void()> showAbout;
    std::function<void(int, int)> showMainMenu;            // cursor x, y
    std::function<void()> bringWidgetsToFront;             // left click on the icon
    std::function<void()> addTrayIcon;                     // at start and when Explorer restarts
    std::function<void()> removeTrayIcon;                  // when the window goes
    std::function<void()> showSettings;                    // the main menu's "设置"
  };

  CMainDlg();
  ~CMainDlg() override;

  Hooks& hooks() { return hooks_; }
  CNotesManager& manager() { return manager_; }
  // The program's refresher, which the window's widgets refresh through; without one
  // (tests) the window makes its own when first needed.
  void SetFeedRefresher(feed::FeedRefresher* feeds) { feeds_ = feeds; }
  // The refresher given, or one of the window's own made when first asked for.
  feed::FeedRefresher& Feeds();

  HWND Create(HWND parent) { return DialogBase::Create(parent); }

  void ScheduleSave(unsigned ms) override;
  void Quit(int exitCode);
  void ShowAbout() override;

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

  void OnTick();
  void OnNetworkWait();

  // widgets::ProgramHost: what the widget manager asks of the program.
  void RemoveWidgetLater(CNewsNotes* widget) override;
  void SendSubscribeNotice(const std::u16string& feedUrl, const std::u16string& name) override;
  bool StartFeedRefresh(HWND window, const std::u16string& url, const feed::RefreshOptions& options) override;
  bool IsAutoStartOn() override { return app::IsAutoStartOn(); }
  bool SetAutoStart(bool on) override { return on ? app::EnableAutoStart() : app::DisableAutoStart(); }
  void OpenHelp() override;
  void Quit() override { Quit(0); }

  Hooks hooks_;
  // The pending save: when it is due, and when its timer fires (0: no timer runs). A
  // burst of changes (every widget's at start-up) moves the due time only; a timer that
  // fires early is set again for what is left.
  unsigned long long saveDue_ = 0, saveFires_ = 0;
  feed::FeedRefresher* feeds_ = nullptr;
  std::unique_ptr<feed::FeedRefresher> ownFeeds_;
  TickCounters counters_;
  NetworkWatch network_;
  CNotesManager manager_{*this};
};

}  // namespace app
