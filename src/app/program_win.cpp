#include "app/program_win.h"

#include <shellapi.h>
#include <wininet.h>

#include <ctime>
#include <thread>
#include <vector>

#include "app/app_win.h"
#include "config/config_apply.h"
#include "config/config_fetch_win.h"
#include "config/config_request.h"
#include "feed/default_feeds.h"
#include "framework/wstr_win.h"
#include "menus/settings_dlg_win.h"
#include "net/http_client_win.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/program_version_win.h"
#include "platform/text.h"
#include "store/statistics.h"
#include "update/update_win.h"
#include "widgets/news_notes_win.h"
#include "widgets/widget_menu.h"
#include "widgets/widget_theme.h"

namespace app {
namespace {

// How long the exit waits for workers to notice they are cancelled.
constexpr std::chrono::milliseconds kWorkerExitBound{2000};
constexpr char16_t kFetchStateFile[] = u"feeds.dat";

// Once, when an unreadable data.dat was replaced by defaults: where the old file is. The
// box runs on its own thread so that start-up does not wait for the user.
void TellSettingsWereReset(const std::u16string& keptAside) {
  std::wstring text = L"设置文件 data.dat 无法读取，已恢复为默认设置。\n原来的文件已保留为：\n" +
                      std::wstring(as_wcstr(keptAside));
  std::thread([text] { MessageBoxW(nullptr, text.c_str(), L"Pelinor", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND); })
      .detach();
}

bool IsOnline() {
  DWORD flags = 0;
  return InternetGetConnectedState(&flags, 0) != FALSE;
}

std::u16string FallbackUrl(CNotesManager& m) {
  std::vector<NewsLink> offered = feed::EffectiveRemoteLinks(m.remote_links, m.custom_links);
  return offered.empty() ? std::u16string() : offered.front().url;
}

config::ApplyInput InputFor(CNotesManager& m) {
  config::ApplyInput in;
  in.customLinks = &m.custom_links;
  in.widgetCount = m.WidgetList().size();
  in.firstWidgetWaiting = m.WaitingFirstWidget() != nullptr;
  in.fallbackUrl = FallbackUrl(m);
  in.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  in.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  in.now = static_cast<int64_t>(std::time(nullptr));
  return in;
}

}  // namespace

Program::StoppingRefresher::StoppingRefresher() : feed::FeedRefresher(net::HttpSession::Watch::kWhenLooked) {}

// Those still downloading are cancelled; those that cannot end at once are left behind
// within the bound (they keep what they use, and use nothing torn down after).
Program::StoppingRefresher::~StoppingRefresher() { Stop(kWorkerExitBound); }

Program::StatisticsFolders::StatisticsFolders(const ProgramFolders& folders, platform::WriteQueue* writes) {
  store::SetStatisticsFolders(folders.data, folders.app, writes);
}

// No statistics write may outlive the queue.
Program::StatisticsFolders::~StatisticsFolders() { store::SetStatisticsFolders(u"", u""); }

// The configuration and its pictures come through the feeds' session, on its threads: no
// threads and connection of their own beside it. Files are written on their own thread, or
// on a download thread that waits for work (one lingers a while after every refresh): no
// thread is made for a save then.
Program::Program(const ProgramFolders& folders)
    : folders_(folders),
      statistics_(folders, &writes_),
      data_(folders.data, folders.app, &writes_),
      adverts_(folders.data),
      configs_([get = feeds_.SharedGetter()](const std::u16string& url,
                                             std::string* body) { return config::FetchConfigDocument(url, body, get); },
               [get = feeds_.SharedGetter(), folder = folders.data](const std::u16string& url) {
                 return config::DownloadFileTo(url, folder + u"adv", get);
               },
               [this](std::function<void()> job) { return feeds_.RunShared(std::move(job)); }) {
  // What the feed workers remember between runs (validators, back-off) sits beside data.dat.
  feeds_.OpenStates((folders.data.empty() ? folders.app : folders.data) + kFetchStateFile);
  writes_.SetLender([this](std::function<void()> job) { return feeds_.RunOnIdleThread(std::move(job)); });
}

Program::~Program() = default;

bool Program::Open() {
  if (!window_.Create(nullptr)) return false;
  ShowWindow(window_.hwnd(), SW_HIDE);
  return true;
}

void Program::Started() {
  std::string logPath;
  platform::ToCodePage(platform::AnsiCodePage(), folders_.app + u"log.txt", &logPath);
  platform::SetLogPath(logPath);
  LoadData();
  adverts_.Load();
}

void Program::LoadData() {
  store::MigrateVirtualStore(data_.ProgramCopy());
  DataSnapshot loaded;
  std::u16string keptAside;
  if (data_.Load(store::CurrentScreenSize(), static_cast<int64_t>(std::time(nullptr)), &loaded, &keptAside) ==
          store::LoadOutcome::kUnusable &&
      !keptAside.empty()) {
    TellSettingsWereReset(keptAside);
  }
  manager_.Restore(loaded);
  ShowFirstWidgetAtStart();
}

void Program::ShowFirstWidgetAtStart() {
  // The program always asks the maker's service: the first widget waits for its answer
  // (or for the start-up wait to give up on the network).
  switch (config::PlanFirstWidgetAtStart(manager_.WidgetList().size(), true)) {
    case config::FirstWidgetAtStart::kWaiting: {
      const config::WidgetPlace at =
          config::FirstWidgetPlace(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
      manager_.CreateWaitingFirstWidget(at.x, at.y);
      break;
    }
    case config::FirstWidgetAtStart::kBuiltIn: manager_.CreateFirstWidgetIfNone(); break;
    case config::FirstWidgetAtStart::kNone: break;
  }
}

void Program::SaveDue() { data_.Save(manager_.Snapshot(), store::CurrentScreenSize()); }

void Program::Tick() {
  TickActions a = counters_.Tick();
  if (a.runAdvertScheduler) RunAdvertsDue();
  if (a.requestRemoteConfig) RequestConfig(std::string());
  RefreshDueWidgets();
  RetryFailedFeeds();
  feeds_.Look();  // downloads near their deadline get a watchdog
}

void Program::RunAdvertsDue() {
  adverts::SchedulerHost host;
  host.now = platform::NowUnixSeconds();
  host.usecount = manager_.usecount;
  host.siblingRunning = IsSiblingNotesRunning;
  host.show = [this](const AdvertRecord& a) { dueAdverts_.Add(a); };
  adverts_.RunAdvertScheduler(host);
  dueAdverts_.ShowNext(advertPopup_.IsOpen(),
                       [this](const AdvertRecord& a) { return advertPopup_.ShowAdvert(a) != nullptr; });
}

void Program::RefreshDueWidgets() { manager_.RefreshDueWidgets(platform::ScheduleSeconds()); }

void Program::RetryFailedFeeds() {
  if (network_.Tick(manager_.AnyAwaitsNetwork(), IsOnline)) manager_.NetworkBack();
}

void Program::Resume() {
  // Back from sleep: the network may be too; failed feeds need not wait out their pause.
  manager_.NetworkBack();
}

bool Program::WaitForNetwork() {
  switch (startupWait_.Tick(IsOnline())) {
    case StartupWait::Step::kWait: break;
    // While no connection appears, a fresh installation's first widget still gets a feed.
    case StartupWait::Step::kFallbackWidget: manager_.CreateFirstWidgetIfNone(); break;
    case StartupWait::Step::kRequestConfig:
      RequestConfig(StartupWait::Query(platform::U16ToUtf8(store::GetStatisticsQuery())));
      break;
  }
  return startupWait_.over();
}

void Program::RequestConfig(const std::string& query) {
  wchar_t version[100] = {};
  HWND window = window_.hwnd();
  if (!platform::GetProgramVersion(version, 100)) {
    LogDebug("get program version failed!");
    SendMessageW(window, WM_APP_REMOTE_CONFIG, 0, 0);
    return;
  }
  std::u16string extra = platform::Utf8ToU16(query);
  std::u16string url = config::ConfigRequestUrl(config::ServiceBaseUrl(), to_u16(version), extra);
  std::shared_ptr<std::atomic<bool>> carried = lastCarriedStatistics_;
  configs_.Start(url, config::QueryCarriesStatistics(extra), [carried, window](const config::ConfigOutcome& o) {
    *carried = o.carriedStatistics;
    SendMessageW(window, WM_APP_REMOTE_CONFIG, o.parsed ? 1 : 0, 0);
  });
}

void Program::ConfigResult(bool parsed) {
  std::shared_ptr<const config::AppConfig> record = configs_.Current();
  config::ApplyInput in = InputFor(manager_);
  in.config = record.get();
  in.parsed = parsed;
  in.carriedStatistics = *lastCarriedStatistics_;
  CarryOut(config::PlanApply(in), record ? record->updateSha256 : std::string(), parsed && record);
}

void Program::CarryOut(const config::ApplyPlan& p, const std::string& sha256, bool fromRecord) {
  CNotesManager& m = manager_;
  if (p.resetStatistics) store::ResetStatistics();
  if (fromRecord) {
    adverts_.AddAdverts(p.currentAdverts);
    adverts_.ReplaceAdvLinkGroups(p.advLinkGroups);
  }
  if (p.replaceRemoteLinks) m.remote_links = p.remoteLinks;
  if (p.createFirstWidget) m.CreateFeedWidget(p.firstWidgetUrl, p.firstWidgetPlace.x, p.firstWidgetPlace.y, nullptr);
  if (p.feedWaitingWidget) m.GiveWaitingWidgetFeed(p.firstWidgetUrl);
  // The widgets' advert lines: the store's links of their position, pair i to widget i.
  const std::vector<AdvLink> links = fromRecord ? adverts_.GetAdvLinks(adverts::kWidgetLinkPosition) : p.widgetAdLinks;
  const std::vector<CNewsNotes*>& widgets = m.WidgetList();
  for (size_t i = 0; i < links.size() && i < widgets.size(); ++i) {
    widgets[i]->advlink_title = links[i].name;
    widgets[i]->advlink_url = links[i].link;
  }
  if (p.scheduleSave) window_.ScheduleSave(kSaveDelayMs);
  if (p.offerUpdate) Updater().OfferUpdate(p.offerVersion, p.offerMessage, p.offerUrl, sha256, false);
}

update::UpdateController& Program::Updater() {
  if (!updates_) {
    update::UpdateSettings s;
    s.mainWindow = window_.hwnd();
    s.serviceBase = config::ServiceBaseUrl();
    s.updateFolder = folders_.data + update::kUpdateFolderName;
    s.allowPlainHttp = config::ServiceAllowsPlainHttp();
    s.signer = update::BuildTrustedSigner();
    updates_ = std::make_unique<update::UpdateController>(std::move(s));
  }
  updates_->SetDeclinedVersion(manager_.dont_updatever);
  return *updates_;
}

void Program::Command(UINT id) {
  switch (id) {
    case kCmdCheckUpdate: Updater().CheckForUpdate(true); break;
    case kCmdAbout: ShowAbout(); break;
    case kCmdSettings: ShowSettings(); break;
    default: break;
  }
}

void Program::StartDownload(const std::wstring& url) { Updater().StartDownload(to_u16(url.c_str())); }

void Program::ShowAbout() {
  HWND owner = GetActiveWindow();
  Updater().ShowAbout(owner ? owner : window_.hwnd());
}

void Program::ShowSettings() {
  if (openSettings_) {
    if (openSettings_->hwnd()) SetForegroundWindow(openSettings_->hwnd());
    return;
  }
  std::vector<std::u16string> themes;
  for (int i = 0; i < widgets::kThemeCount; ++i) themes.push_back(widgets::Themes()[i].menuName);
  std::vector<int> alphas(std::begin(widgets::kAlphaLevels), std::end(widgets::kAlphaLevels));
  const bool wasOn = app::IsAutoStartOn();
  menus::CSettingsDlg settings(menus::ValuesFrom(manager_, wasOn), themes, alphas);
  openSettings_ = &settings;
  const INT_PTR result = settings.DoModal(window_.hwnd());
  openSettings_ = nullptr;
  if (result != IDOK) return;
  const menus::SettingsValues& v = settings.values();
  if (v.autoStart && !wasOn) EnableAutoStart();
  if (!v.autoStart && wasOn) DisableAutoStart();
  menus::ApplyTo(v, &manager_);
  window_.ScheduleSave(kSaveDelayMs);
}

void Program::ShowNotifyIcon() { menus::AddTrayIcon(window_.hwnd()); }

void Program::NotifyIconMenu(int x, int y) { mainMenu_.Show(window_.hwnd(), x, y); }

void Program::NotifyIconClicked() {
  for (CNewsNotes* w : manager_.WidgetList())
    if (w && w->hwnd()) SetWindowPos(w->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Program::Closing() {
  mainMenu_.Close();
  menus::RemoveTrayIcon(window_.hwnd());
}

void Program::RemoveWidget(CNewsNotes* widget) {
  // Compared by identity only: a pointer that is not in the list is never used.
  manager_.RemoveWidget(widget);
}

void Program::SendSubscribeNotice(const std::u16string& feedUrl, const std::u16string& name) {
  feeds_.SendSubscribeNotice(as_wcstr(feedUrl), as_wcstr(name));
}

bool Program::StartFeedRefresh(HWND window, const std::u16string& url, const feed::RefreshOptions& options) {
  return feeds_.Start(window, feed::kFeedResultMessage, as_wcstr(url), options) == 1;
}

bool Program::IsAutoStartOn() { return app::IsAutoStartOn(); }

bool Program::SetAutoStart(bool on) { return on ? EnableAutoStart() : DisableAutoStart(); }

void Program::OpenHelp() {
  ShellExecuteW(window_.hwnd(), L"open", (AppFolder() + kHelpFileName).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace app
