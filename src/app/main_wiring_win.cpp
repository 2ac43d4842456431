#include "app/main_wiring_win.h"

#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "adverts/adv_popup_wnd_win.h"
#include "app/advert_wiring_win.h"
#include "app/app_win.h"
#include "app/main_dlg_win.h"
#include "app/service_wiring_win.h"
#include "config/config_apply.h"
#include "framework/wstr_win.h"
#include "menus/main_menu_win.h"
#include "menus/settings_dlg_win.h"
#include "platform/text.h"
#include "store/data_store_win.h"
#include "store/statistics.h"
#include "widgets/news_notes_win.h"
#include "widgets/widget_menu.h"
#include "widgets/widget_theme.h"

namespace app {
namespace {

// Once, when an unreadable data.dat was replaced by defaults: where the old file is. The
// box runs on its own thread so that start-up does not wait for the user.
void TellSettingsWereReset(const std::u16string& keptAside) {
  std::wstring text = L"设置文件 data.dat 无法读取，已恢复为默认设置。\n原来的文件已保留为：\n" +
                      std::wstring(as_wcstr(keptAside));
  std::thread([text] { MessageBoxW(nullptr, text.c_str(), L"Pelinor", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND); })
      .detach();
}

}  // namespace

// Each subsystem sets the hooks it serves; a hook left empty does nothing.
void InstallSubsystemHooks(CMainDlg& dlg, const Subsystems& subsystems) {
  auto& h = dlg.hooks();
  if (subsystems.feeds) dlg.SetFeedRefresher(subsystems.feeds);
  // usage statistics: both copies of statistics.dat
  store::SetStatisticsFolders(store::GetDataFolder(), to_u16(AppFolder()), subsystems.writes);
  h.statisticsQuery = [] { return platform::U16ToUtf8(store::GetStatisticsQuery()); };
  // settings store: data.dat
  store::DataStore* data = subsystems.data;
  CNotesManager& manager = dlg.manager();
  // Nothing on screen would leave no way in: without a widget after loading, the first
  // one shows at once, waiting for the remote configuration to name its feed, or with the
  // built-in feed when there is no configuration request to wait for.
  h.loadData = [&dlg, &manager, data] {
    store::MigrateVirtualStore(data->ProgramCopy());
    DataSnapshot loaded;
    std::u16string keptAside;
    if (data->Load(store::CurrentScreenSize(), static_cast<int64_t>(std::time(nullptr)), &loaded, &keptAside) ==
            store::LoadOutcome::kUnusable &&
        !keptAside.empty()) {
      TellSettingsWereReset(keptAside);
    }
    manager.Restore(loaded);
    const bool asksService = static_cast<bool>(dlg.hooks().requestConfig);
    switch (config::PlanFirstWidgetAtStart(manager.WidgetList().size(), asksService)) {
      case config::FirstWidgetAtStart::kWaiting: {
        const config::WidgetPlace at =
            config::FirstWidgetPlace(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        manager.CreateWaitingFirstWidget(at.x, at.y);
        break;
      }
      case config::FirstWidgetAtStart::kBuiltIn: manager.CreateFirstWidgetIfNone(); break;
      case config::FirstWidgetAtStart::kNone: break;
    }
  };
  h.saveData = [&manager, data] { data->Save(manager.Snapshot(), store::CurrentScreenSize()); };
  // the maker's service: remote configuration, update check and download, about box
  InstallServiceHooks(dlg, subsystems.adverts);
  // the advert store: loaded at start-up, its scheduler on the one-second tick, the due
  // adverts in the popup, one after another
  AdvertScreen screen;
  if (adverts::CAdvPopupWnd* popup = subsystems.advertPopup) {
    screen.show = [popup](const AdvertRecord& a) { return popup->ShowAdvert(a) != nullptr; };
    screen.isOpen = [popup] { return popup->IsOpen(); };
  }
  InstallAdvertHooks(dlg, subsystems.adverts, screen);
  // the notification-area icon and the main menu it opens; the menu lives as long as the hooks
  auto mainMenu = std::make_shared<menus::MainMenu>();
  h.showMainMenu = [&dlg, mainMenu](int x, int y) { mainMenu->Show(dlg.hwnd(), x, y); };
  h.addTrayIcon = [&dlg] { menus::AddTrayIcon(dlg.hwnd()); };
  h.removeTrayIcon = [&dlg, mainMenu] {
    mainMenu->Close();
    menus::RemoveTrayIcon(dlg.hwnd());
  };
  h.bringWidgetsToFront = [&manager] {
    for (CNewsNotes* w : manager.WidgetList())
      if (w && w->hwnd()) SetWindowPos(w->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  };
  // One settings dialog at a time: the menu still opens while it is up, and a second 设置
  // brings the open one forward.
  auto openSettings = std::make_shared<menus::CSettingsDlg*>(nullptr);
  h.showSettings = [&dlg, &manager, openSettings] {
    if (*openSettings) {
      if ((*openSettings)->hwnd()) SetForegroundWindow((*openSettings)->hwnd());
      return;
    }
    std::vector<std::u16string> themes;
    for (int i = 0; i < widgets::kThemeCount; ++i) themes.push_back(widgets::Themes()[i].menuName);
    std::vector<int> alphas(std::begin(widgets::kAlphaLevels), std::end(widgets::kAlphaLevels));
    const bool wasOn = IsAutoStartOn();
    menus::CSettingsDlg settings(menus::ValuesFrom(manager, wasOn), themes, alphas);
    *openSettings = &settings;
    const INT_PTR result = settings.DoModal(dlg.hwnd());
    *openSettings = nullptr;
    if (result != IDOK) return;
    const menus::SettingsValues& v = settings.values();
    if (v.autoStart && !wasOn) EnableAutoStart();
    if (!v.autoStart && wasOn) DisableAutoStart();
    menus::ApplyTo(v, &manager);
    dlg.ScheduleSave(kSaveDelayMs);
  };
}

}  // namespace app
