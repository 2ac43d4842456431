#include "app/service_wiring_win.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <ctime>
#include <memory>

#include "adverts/advert_store.h"
#include "app/main_dlg_win.h"
#include "config/config_apply.h"
#include "config/config_fetch_win.h"
#include "config/config_request.h"
#include "config/config_service.h"
#include "feed/default_feeds.h"
#include "feed/feed_fetch_win.h"
#include "framework/wstr_win.h"
#include "net/http_client_win.h"
#include "platform/log.h"
#include "platform/program_version_win.h"
#include "platform/text.h"
#include "store/data_store_win.h"
#include "store/statistics.h"
#include "update/update_win.h"
#include "widgets/news_notes_win.h"

namespace app {
namespace {

// Seconds the network wait lets pass before a fresh installation's first widget takes
// the built-in feed anyway.
constexpr int kFallbackAfterOfflineTicks = 30;

CNotesManager& Manager(CMainDlg& dlg) { return dlg.manager(); }

struct ServiceWiring {
  // The configuration and its pictures come through the feeds' session, on its threads:
  // no threads and connection of their own beside it.
  explicit ServiceWiring(feed::FeedRefresher& feeds) : ServiceWiring(feeds.SharedGetter(), feeds) {}
  ServiceWiring(const net::HttpGetter& get, feed::FeedRefresher& feeds)
      : configs([get](const std::u16string& url, std::string* body) { return config::FetchConfigDocument(url, body, get); },
                [get](const std::u16string& url) {
                  return config::DownloadFileTo(url, store::GetDataFolder() + u"adv", get);
                },
                [&feeds](std::function<void()> job) { return feeds.RunShared(std::move(job)); }) {}

  update::UpdateController& Updates(CMainDlg& dlg) {
    if (!updates) {
      update::UpdateSettings s;
      s.mainWindow = dlg.hwnd();
      s.serviceBase = config::ServiceBaseUrl();
      s.updateFolder = store::GetDataFolder() + update::kUpdateFolderName;
      s.allowPlainHttp = config::ServiceAllowsPlainHttp();
      s.signer = update::BuildTrustedSigner();
      updates = std::make_unique<update::UpdateController>(std::move(s));
    }
    updates->SetDeclinedVersion(Manager(dlg).dont_updatever);
    return *updates;
  }

  config::ConfigService configs;
  std::unique_ptr<update::UpdateController> updates;
  adverts::AdvertStore* adverts = nullptr;  // takes the adverts and advert links
  // Whether the last answered request reported the usage counts; shared with its worker.
  std::shared_ptr<std::atomic<bool>> lastCarriedStatistics = std::make_shared<std::atomic<bool>>(false);
  int offlineTicks = 0;
};

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

// `fromRecord`: the plan comes from a configuration record now in force, whose adverts
// and advert links the advert store takes.
void CarryOut(CMainDlg& dlg, ServiceWiring& w, const config::ApplyPlan& p, const std::string& sha256,
              bool fromRecord) {
  CNotesManager& m = Manager(dlg);
  if (p.resetStatistics) store::ResetStatistics();
  if (fromRecord && w.adverts) {
    w.adverts->AddAdverts(p.currentAdverts);
    w.adverts->ReplaceAdvLinkGroups(p.advLinkGroups);
  }
  if (p.replaceRemoteLinks) m.remote_links = p.remoteLinks;
  if (p.createFirstWidget) m.CreateFeedWidget(p.firstWidgetUrl, p.firstWidgetPlace.x, p.firstWidgetPlace.y, nullptr);
  if (p.feedWaitingWidget) m.GiveWaitingWidgetFeed(p.firstWidgetUrl);
  // The widgets' advert lines: the store's links of their position, pair i to widget i.
  const std::vector<AdvLink> links =
      fromRecord && w.adverts ? w.adverts->GetAdvLinks(adverts::kWidgetLinkPosition) : p.widgetAdLinks;
  const std::vector<CNewsNotes*>& widgets = m.WidgetList();
  for (size_t i = 0; i < links.size() && i < widgets.size(); ++i) {
    widgets[i]->advlink_title = links[i].name;
    widgets[i]->advlink_url = links[i].link;
  }
  if (p.scheduleSave) dlg.ScheduleSave(kSaveDelayMs);
  if (p.offerUpdate) w.Updates(dlg).OfferUpdate(p.offerVersion, p.offerMessage, p.offerUrl, sha256, false);
}

void Apply(CMainDlg& dlg, ServiceWiring& w, bool parsed) {
  std::shared_ptr<const config::AppConfig> record = w.configs.Current();
  config::ApplyInput in = InputFor(Manager(dlg));
  in.config = record.get();
  in.parsed = parsed;
  in.carriedStatistics = *w.lastCarriedStatistics;
  CarryOut(dlg, w, config::PlanApply(in), record ? record->updateSha256 : std::string(), parsed && record);
}

void RequestConfig(CMainDlg& dlg, ServiceWiring& w, const std::string& query) {
  wchar_t version[100] = {};
  HWND window = dlg.hwnd();
  if (!platform::GetProgramVersion(version, 100)) {
    LogDebug("get program version failed!");
    SendMessageW(window, WM_APP_REMOTE_CONFIG, 0, 0);
    return;
  }
  std::u16string extra = platform::Utf8ToU16(query);
  std::u16string url = config::ConfigRequestUrl(config::ServiceBaseUrl(), to_u16(version), extra);
  std::shared_ptr<std::atomic<bool>> carried = w.lastCarriedStatistics;
  w.configs.Start(url, config::QueryCarriesStatistics(extra), [carried, window](const config::ConfigOutcome& o) {
    *carried = o.carriedStatistics;
    SendMessageW(window, WM_APP_REMOTE_CONFIG, o.parsed ? 1 : 0, 0);
  });
}

}  // namespace

void InstallServiceHooks(CMainDlg& dlg, adverts::AdvertStore* advertStore) {
  auto w = std::make_shared<ServiceWiring>(dlg.Feeds());
  w->adverts = advertStore;
  auto& h = dlg.hooks();
  h.requestConfig = [&dlg, w](const std::string& query) { RequestConfig(dlg, *w, query); };
  h.applyRemoteConfig = [&dlg, w] { Apply(dlg, *w, true); };
  h.remoteConfigFailed = [&dlg, w] { Apply(dlg, *w, false); };
  // While no connection appears, a fresh installation's first widget still gets a feed.
  auto online = h.isOnline;
  h.isOnline = [&dlg, w, online] {
    DWORD flags = 0;
    bool on = online ? online() : InternetGetConnectedState(&flags, 0) != FALSE;
    if (!on && ++w->offlineTicks == kFallbackAfterOfflineTicks) Manager(dlg).CreateFirstWidgetIfNone();
    return on;
  };
  h.checkForUpdate = [&dlg, w] { w->Updates(dlg).CheckForUpdate(true); };
  h.startDownload = [&dlg, w](const wchar_t* url) { w->Updates(dlg).StartDownload(to_u16(url)); };
  h.showAbout = [&dlg, w] {
    HWND owner = GetActiveWindow();
    w->Updates(dlg).ShowAbout(owner ? owner : dlg.hwnd());
  };
}

}  // namespace app
