#include "app/main_wiring_win.h"

#include <ctime>
#include <string>
#include <thread>

#include "app/advert_wiring_win.h"
#include "app/app_win.h"
#include "app/main_dlg_win.h"
#include "framework/wstr_win.h"
#include "platform/text.h"
#include "store/data_store_win.h"
#include "store/statistics.h"

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
  // usage statistics: both copies of statistics.dat
  store::SetStatisticsFolders(store::GetDataFolder(), to_u16(AppFolder()), subsystems.writes);
  h.statisticsQuery = [] { return platform::U16ToUtf8(store::GetStatisticsQuery()); };
  // settings store: data.dat
  store::DataStore* data = subsystems.data;
  CNotesManager& manager = dlg.manager();
  // Nothing on screen would leave no way in: without a widget after loading, the first
  // one is made at once while there is no remote configuration request to wait for.
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
    if (!dlg.hooks().requestConfig) manager.CreateFirstWidgetIfNone();
  };
  h.saveData = [&manager, data] { data->Save(manager.Snapshot(), store::CurrentScreenSize()); };
  // remote configuration: h.requestConfig, h.applyRemoteConfig (which resets the statistics)
  // the advert store: loaded at start-up, its scheduler on the one-second tick
  InstallAdvertHooks(dlg, subsystems.adverts);
  // update: h.checkForUpdate, h.showAbout, h.startDownload
  // menus: h.showMainMenu
}

}  // namespace app
