// The widget side of CNotesManager: the list of feed widgets, creating and removing
// them, the periodic refresh, the first widget of a fresh installation, and what the
// manager does for its widgets as their environment.
#include <algorithm>

#include "feed/default_feeds.h"
#include "feed/feed_fetch_win.h"
#include "framework/wstr_win.h"
#include "store/statistics.h"
#include "ui/link_commands_win.h"
#include "ui/opml_dialogs_win.h"
#include "widgets/news_notes_win.h"
#include "widgets/notes_manager_win.h"
#include "widgets/widget_geometry.h"
#include "widgets/work_area_win.h"

namespace {

constexpr int kNewWidgetFontSize = 90;
constexpr int kNewWidgetLineSpace = 6;
constexpr int kNewWidgetPlanWidth = 250, kNewWidgetPlanHeight = 200;  // the smallest loaded widget
constexpr char16_t kNewWidgetFace[] = u"宋体";
constexpr int kFailureToastMode = 2;  // in the lower part of the widget
constexpr UINT kFailureToastMs = 3000;

// The host of a manager that has no program around it: its widgets still refresh.
class NoProgramHost : public widgets::ProgramHost {
 public:
  void ScheduleSave(unsigned) override {}
  void RemoveWidgetLater(CNewsNotes*) override {}
  void SendSubscribeNotice(const std::u16string&, const std::u16string&) override {}
  bool StartFeedRefresh(HWND window, const std::u16string& url, const feed::RefreshOptions& options) override {
    return feeds_.Start(window, feed::kFeedResultMessage, as_wcstr(url), options) == 1;
  }
  bool IsAutoStartOn() override { return false; }
  bool SetAutoStart(bool) override { return false; }
  void ShowAbout() override {}
  void OpenHelp() override {}
  void Quit() override {}

 private:
  feed::FeedRefresher feeds_;
};

widgets::ProgramHost& NoHost() {
  static NoProgramHost host;
  return host;
}

}  // namespace

CNotesManager::CNotesManager() : host_(NoHost()) {}

CNotesManager::CNotesManager(widgets::ProgramHost& host) : host_(host) {}

CNotesManager::~CNotesManager() {
  // The final save has been made by Quit; the widgets go with the manager.
  for (CNewsNotes* w : widgets_) delete w;
}

void CNotesManager::AddWidget(CNewsNotes* w) {
  if (w) widgets_.push_back(w);
}

void CNotesManager::RemoveWidget(CNewsNotes* w) {
  auto it = std::find(widgets_.begin(), widgets_.end(), w);
  if (it == widgets_.end()) return;
  if (w == waiting_) waiting_ = nullptr;
  w->DestroyWidget();
  widgets_.erase(it);
  delete w;
}

void CNotesManager::RefreshDueWidgets(int64_t now) {
  std::vector<widgets::NewsFeedLogic*> feeds;
  for (CNewsNotes* w : widgets_) feeds.push_back(&w->feedLogic());
  widgets::RefreshDueFeeds(feeds, now);
}

void CNotesManager::NetworkBack() {
  for (CNewsNotes* w : widgets_) w->NetworkBack();
}

bool CNotesManager::AnyAwaitsNetwork() const {
  for (const CNewsNotes* w : widgets_)
    if (w->AwaitsNetwork()) return true;
  return false;
}

CNewsNotes* CNotesManager::CreateFeedWidget(const std::u16string& url, int x, int y, CNewsNotes* templ) {
  auto* w = new CNewsNotes(*this);
  w->rssurl = url;
  if (templ) {
    w->alpha = templ->GetAlpha();
    w->tmpl = templ->GetTemplate();
  } else {
    // Without a widget to copy, the look chosen for new widgets in the settings.
    if (new_widget_alpha >= 1 && new_widget_alpha <= 255) w->alpha = static_cast<uint8_t>(new_widget_alpha);
    if (new_widget_theme >= 1 && new_widget_theme <= 6) w->tmpl.bkcolor_id = new_widget_theme;
  }
  if (new_widget_place == 1) w->topmost = 1;
  if (new_widget_place == 2) w->in_desktop = 1;  // this one only: the others stay where they are
  w->SetFont(kNewWidgetFontSize, 0, kNewWidgetFace);
  w->SetLineSpace(kNewWidgetLineSpace);
  w->MoveTo(x, y);
  w->ShowWidget();
  w->Refresh(0);
  AddWidget(w);
  return w;
}

void CNotesManager::AddFeedWidget(const std::u16string& url, CNewsNotes* templ) {
  int x, y;
  widgets::NewWidgetPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), &x, &y);
  // A new widget over an old one would look as if nothing happened: it moves on until
  // its place is free. Planned at the size a loaded widget has at least (or the template's).
  std::vector<widgets::Rect> taken;
  for (CNewsNotes* w : widgets_) {
    RECT r;
    if (w->IsWindow() && GetWindowRect(w->hwnd(), &r)) taken.push_back({r.left, r.top, r.right, r.bottom});
  }
  const int w = std::max(kNewWidgetPlanWidth, templ ? templ->width : 0);
  const int h = std::max(kNewWidgetPlanHeight, templ ? templ->height : 0);
  widgets::FreeWidgetPlace(taken, widgets::PrimaryWorkArea(), w, h, &x, &y);
  CreateFeedWidget(url, x, y, templ);
}

void CNotesManager::CreateFirstWidgetIfNone() {
  CNewsNotes* waiting = WaitingFirstWidget();
  if (widgets_.size() > (waiting ? 1u : 0u)) return;
  std::vector<NewsLink> offered = feed::EffectiveRemoteLinks(remote_links, custom_links);
  if (offered.empty()) return;
  if (waiting) GiveWaitingWidgetFeed(offered.front().url);
  else AddFeedWidget(offered.front().url, nullptr);
}

void CNotesManager::CreateWaitingFirstWidget(int x, int y) {
  if (!widgets_.empty()) return;
  waiting_ = CreateFeedWidget(u"", x, y, nullptr);
  waiting_->WaitForFeed();
}

CNewsNotes* CNotesManager::WaitingFirstWidget() const {
  // The user may have given it a feed through its menu meanwhile.
  return waiting_ && waiting_->rssurl.empty() ? waiting_ : nullptr;
}

void CNotesManager::GiveWaitingWidgetFeed(const std::u16string& url) {
  CNewsNotes* w = WaitingFirstWidget();
  if (!w || url.empty()) return;
  waiting_ = nullptr;
  w->SwitchFeed(url);
}

int CNotesManager::Restore(const DataSnapshot& data) {
  static_cast<ManagerData&>(*this) = data.settings;
  int made = 0;
  for (const CNotesLocalInfo& record : data.widgets) {
    auto* w = new CNewsNotes(*this);
    w->CopyRecordFrom(record);
    w->ShowWidget();
    w->Refresh(0);
    // Each widget shows at once, with what its refresh has set up, before the next is made.
    w->ComposeIfPending();
    AddWidget(w);
    ++made;
  }
  return made;
}

DataSnapshot CNotesManager::Snapshot() {
  DataSnapshot data;
  data.settings = *this;
  // Copies: the store keeps a place inside the desktop as it writes it, and a widget on
  // the screen stays where it is.
  const CNewsNotes* waiting = WaitingFirstWidget();
  for (CNewsNotes* w : widgets_) {
    if (w == waiting) continue;  // a widget without a feed would come back empty
    CNotesLocalInfo record(*w);
    record.content = w->GetContent();
    data.widgets.push_back(std::move(record));
  }
  return data;
}

bool CNotesManager::ChooseSubscription(CNewsNotes& over, std::u16string* url) {
  return ui::ChooseSubscription(over.hwnd(), *this, url);
}

void CNotesManager::ManageCustomLinks(CNewsNotes& over) { ui::ManageCustomLinks(over.hwnd(), *this); }

void CNotesManager::ExportSubscriptions(CNewsNotes& over) {
  std::vector<NewsLink> feeds;
  for (CNewsNotes* w : widgets_) feeds.push_back({w->feedLogic().feedTitle(), w->rssurl});
  ui::ExportSubscriptionsCommand(over.hwnd(), feeds, feed::EffectiveRemoteLinks(remote_links, custom_links), *this,
                                 opmlDialogs_ ? *opmlDialogs_ : ui::SystemOpmlDialogs());
}

void CNotesManager::ImportSubscriptions(CNewsNotes& over) {
  ui::ImportSubscriptionsCommand(over.hwnd(), *this, opmlDialogs_ ? *opmlDialogs_ : ui::SystemOpmlDialogs());
}

void CNotesManager::ShowFailureToast(CNewsNotes& over, const std::u16string& text) {
  toasts_.Show(over.hwnd(), kFailureToastMode, text, kFailureToastMs);
}

void CNotesManager::CountEvent(int event) { store::CountEvent(event); }

void CNotesManager::NameAfterFeedTitle(const std::u16string& feedUrl) {
  if (std::find(untitled_.begin(), untitled_.end(), feedUrl) == untitled_.end()) untitled_.push_back(feedUrl);
}

bool CNotesManager::StartFeedRefresh(CNewsNotes& widget, const std::u16string& url,
                                     const feed::RefreshOptions& options) {
  return host_.StartFeedRefresh(widget.hwnd(), url, options);
}

std::vector<widgets::PlacedWidget> CNotesManager::OtherWidgets(const CNotesLocalInfo& self) {
  std::vector<widgets::PlacedWidget> out;
  for (CNewsNotes* w : widgets_) {
    if (static_cast<const CNotesLocalInfo*>(w) == &self || !w->IsWindow() || !IsWindowVisible(w->hwnd())) continue;
    out.push_back({w->ShownRect(), w->dpi()});
  }
  return out;
}

void CNotesManager::FeedTitleKnown(const std::u16string& feedUrl, const std::u16string& title) {
  auto it = std::find(untitled_.begin(), untitled_.end(), feedUrl);
  if (it == untitled_.end()) return;
  if (title.empty()) return;  // named after its host it stays, until a read brings a title
  untitled_.erase(it);
  if (ui::NameLinksAfterFeedTitle(&custom_links, feedUrl, title)) RequestSave(widgets::kSaveDelay);
}
