// The program: owns every subsystem the hidden main window serves, makes them in the order
// of the members below and tears them down in the reverse one, and answers the window's
// calls and the widget manager's requests.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "adverts/adv_popup_state.h"
#include "adverts/adv_popup_wnd_win.h"
#include "adverts/advert_store.h"
#include "app/main_dlg_win.h"
#include "app/startup_wait.h"
#include "app/tick_counters.h"
#include "config/config_service.h"
#include "feed/feed_fetch_win.h"
#include "menus/main_menu_win.h"
#include "platform/write_queue.h"
#include "store/data_store_win.h"
#include "widgets/notes_manager_win.h"

namespace config {
struct ApplyPlan;
}
namespace menus {
class CSettingsDlg;
}
namespace update {
class UpdateController;
}

namespace app {

// Where the program keeps its files; both end with a backslash.
struct ProgramFolders {
  std::u16string data;  // data.dat, feeds.dat, the adverts (empty: beside the executable)
  std::u16string app;   // the executable's folder: the program copy of data.dat, log.txt
};

class Program : public MainWindowEvents, private widgets::ProgramHost {
 public:
  explicit Program(const ProgramFolders& folders);
  ~Program() override;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Creates the hidden main window, which starts the rest; false when it could not be made.
  bool Open();

  CMainDlg& window() { return window_; }
  CNotesManager& manager() { return manager_; }
  adverts::AdvertStore& adverts() { return adverts_; }
  adverts::CAdvPopupWnd& advertPopup() { return advertPopup_; }

  // --- The start: data.dat, and the first widget of an installation without one ---
  void LoadData();
  // Nothing on screen would leave no way in: without a widget after loading, the first one
  // shows at once, waiting for the remote configuration to name its feed.
  void ShowFirstWidgetAtStart();

  // --- The periodic work, once a second ---
  void Tick() override;
  // Due adverts go to the popup one at a time; the others wait until it is free.
  void RunAdvertsDue();
  // The silent refresh of the widgets whose time has come.
  void RefreshDueWidgets();
  // Failed feeds: retries that are due, and all of them at once when the network is back.
  void RetryFailedFeeds();

  // --- The remote configuration ---
  bool WaitForNetwork() override;
  // Asks the maker's service; `query` is the extra part of the address (may be empty).
  void RequestConfig(const std::string& query);
  void ConfigResult(bool parsed) override;

  // The settings dialog; one at a time: a second call brings the open one forward.
  void ShowSettings();

  // --- MainWindowEvents ---
  void Started() override;
  void SaveDue() override;
  void ShowNotifyIcon() override;
  void NotifyIconMenu(int x, int y) override;
  void NotifyIconClicked() override;
  void Resume() override;
  void Command(UINT id) override;
  void StartDownload(const std::wstring& url) override;
  void RemoveWidget(CNewsNotes* widget) override;
  void Closing() override;

 private:
  // widgets::ProgramHost: what the widget manager asks of the program.
  void ScheduleSave(unsigned ms) override { window_.ScheduleSave(ms); }
  void RemoveWidgetLater(CNewsNotes* widget) override { window_.RemoveWidgetLater(widget); }
  void SendSubscribeNotice(const std::u16string& feedUrl, const std::u16string& name) override;
  bool StartFeedRefresh(HWND window, const std::u16string& url, const feed::RefreshOptions& options) override;
  bool IsAutoStartOn() override;
  bool SetAutoStart(bool on) override;
  void ShowAbout() override;
  void OpenHelp() override;
  void Quit() override { window_.Quit(0); }

  // Made when first needed: it belongs to the main window.
  update::UpdateController& Updater();
  // Carries out what a configuration response (or its failure) asks for; `fromRecord`:
  // the plan comes from a record now in force, whose adverts the advert store takes.
  void CarryOut(const config::ApplyPlan& plan, const std::string& sha256, bool fromRecord);

  // The refresher stops last: the write queue may lend its idle threads until its end.
  struct StoppingRefresher : feed::FeedRefresher {
    StoppingRefresher();
    ~StoppingRefresher();
  };

  // The usage statistics' files, written through the queue until the guard goes.
  struct StatisticsFolders {
    StatisticsFolders(const ProgramFolders& folders, platform::WriteQueue* writes);
    ~StatisticsFolders();
  };

  ProgramFolders folders_;
  StoppingRefresher feeds_;          // every refresh, subscription notice and configuration
  platform::WriteQueue writes_;      // where the stores' files are written; waits for the last
  StatisticsFolders statistics_;     // statistics.dat, both copies
  store::DataStore data_;            // data.dat
  adverts::AdvertStore adverts_;     // adv\config.dat and the waiting adverts
  adverts::CAdvPopupWnd advertPopup_;
  adverts::DueAdverts dueAdverts_;   // due adverts waiting for the popup
  config::ConfigService configs_;    // the remote configuration
  // Whether the last answered request reported the usage counts; shared with its worker.
  std::shared_ptr<std::atomic<bool>> lastCarriedStatistics_ = std::make_shared<std::atomic<bool>>(false);
  std::unique_ptr<update::UpdateController> updates_;
  CNotesManager manager_{*this};     // the widgets
  menus::MainMenu mainMenu_;         // the notification icon's menu
  menus::CSettingsDlg* openSettings_ = nullptr;
  TickCounters counters_;
  NetworkWatch network_;
  StartupWait startupWait_;
  CMainDlg window_{*this};           // goes first: nothing above is used after it
};

}  // namespace app
