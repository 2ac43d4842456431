#include "widgets/news_notes_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <vector>

#include "feed/default_feeds.h"
#include "framework/wstr_win.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/text.h"
#include "widgets/news_content.h"
#include "widgets/work_area_win.h"

using widgets::MenuAction;

namespace {

constexpr uint16_t kFeedTemplateType = 1;
constexpr int kLinkKindPicture = 1;
constexpr int kEventLinkOpened = 1;  // the usage statistics' event of an opened link

HMENU BuildMenu(const std::vector<widgets::MenuNode>& nodes) {
  HMENU menu = CreatePopupMenu();
  for (const widgets::MenuNode& n : nodes) {
    switch (n.kind) {
      case widgets::MenuNode::kSeparator: AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); break;
      case widgets::MenuNode::kSubmenu:
        AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(BuildMenu(n.children)),
                    as_wcstr(n.text));
        break;
      case widgets::MenuNode::kItem:
        AppendMenuW(menu,
                    MF_STRING | (n.checked ? MF_CHECKED : 0) | (n.disabled ? (MF_GRAYED | MF_DISABLED) : 0),
                    static_cast<UINT_PTR>(n.command), as_wcstr(n.text));
        break;
    }
  }
  return menu;
}

}  // namespace

CNewsNotes::CNewsNotes(widgets::WidgetEnv& env)
    : CNotesBase(env), settingsView_(env.Settings()), logic_(this, &settingsView_) {
  tmpl.type = kFeedTemplateType;
}

CNewsNotes::~CNewsNotes() { tip_.reset(); }

void CNewsNotes::DestroyWidget() {
  tip_.reset();
  if (hwnd_) feed::DropFeedResults(hwnd_, feed::kFeedResultMessage);
  CNotesBase::DestroyWidget();
}

// --- Feed ----------------------------------------------------------------------------

void CNewsNotes::Refresh(int silent) { logic_.Refresh(rssurl, silent != 0); }

void CNewsNotes::SetRefreshInterval(int32_t seconds) {
  logic_.SetOwnInterval(seconds);
  if (logic_.ownInterval() == refresh_interval) return;
  refresh_interval = logic_.ownInterval();
  RecordChanged();
}

void CNewsNotes::SwitchFeed(const std::u16string& url) {
  rssurl = url;
  logic_.SwitchFeed(rssurl);
  RecordChanged();
}

bool CNewsNotes::StartRetrieval(const std::u16string& url, bool automatic) {
  feed::RefreshOptions options;
  std::string created = std::to_string(create_time);
  options.stateKey = std::u16string(created.begin(), created.end()) + u" " + rssurl;
  options.haveContent = !content.empty();
  options.automatic = automatic;
  return hwnd_ && env_.StartFeedRefresh(*this, url, options);
}

int CNewsNotes::MeasureTitle(const std::u16string& title, bool bold) {
  return ui::ToLogical(MeasureContentText(title, bold), dpi());  // the widget's size is kept at 96 DPI
}

int CNewsNotes::WidthLimit() {
  if (!IsWindow()) return widgets::kMaxTitlesWidth;
  const int px = widgets::RoomToWiden({ShownRect(), dpi()}, env_.OtherWidgets(*this),
                                      ui::ToPixels(widgets::kMinTitlesWidth, dpi()),
                                      ui::ToPixels(widgets::kMaxTitlesWidth, dpi()));
  return ui::ToLogical(px, dpi());
}

void CNewsNotes::ShowFailureToast(const std::u16string& text) { env_.ShowFailureToast(*this, text); }

void CNewsNotes::ShowContent(const std::u16string& stored, const std::u16string& shown) {
  if (stored != content) {
    CNotesBase::SetContent(stored);  // kept, shown and saved
    if (shown == stored) return;
  }
  if (!IsWindow()) return;
  // The status line is shown, never stored: the engine gets it over the content.
  engine_->SetHtml(shown);
  Repaint();
}

LRESULT CNewsNotes::OnFeedResult(UINT, WPARAM, LPARAM lParam, BOOL&) {
  // The result is the window's now; the logic copies what it shows.
  std::unique_ptr<feed::FeedResult> result = feed::TakeFeedResult(lParam);
  if (!result) return 0;
  if (logic_.OnResult(*result, advlink_title, advlink_url) && !result->items.empty())
    env_.FeedTitleKnown(rssurl, result->title);
  return 0;
}

// --- Mouse ---------------------------------------------------------------------------

LRESULT CNewsNotes::OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  const int px = GET_X_LPARAM(lParam), py = GET_Y_LPARAM(lParam);
  engine_->OnLButtonDown(static_cast<unsigned>(wParam), px, py);
  ManagerData& settings = env_.Settings();

  if (corner_.Press(px, py)) {
    settings.usecount = 0;
    RecordChanged();
  }
  const bool inContent = rects_.content.Contains(px, py);
  drag_.Press(inContent);
  if (inContent) {
    int kind = 0;
    if (const std::u16string* link = engine_->GetLinkAt(px, py, &kind)) {
      const bool ctrlRule = settings.ctrl_lclick != 0;
      if (!widgets::ClickOpensLink(ctrlRule, static_cast<unsigned>(wParam))) {
        tooltip_.Activate(false);  // show the hint again
        tooltip_.Activate(true);
        tooltip_.Relay(WM_MOUSEMOVE, wParam, lParam);
      } else {
        std::u16string target = *link;  // the engine may change under the calls below
        env_.CountEvent(kEventLinkOpened);
        engine_->ClearLinkHighlight(widgets::kLinkColor);
        linkHighlighted_ = false;
        OpenLink(target);
        logic_.OnLinkOpened(target);
      }
    }
  } else {
    if (!drag_.armed()) mouseInside_ = false;
    IdleReset();
    RecordChanged();
  }
  if (rects_.refresh.Contains(px, py)) Refresh(0);
  tooltip_.Relay(msg, wParam, lParam);
  if (rects_.menu.Contains(px, py)) {
    tip_.reset();
    POINT pt{rects_.menu.right, rects_.menu.bottom};
    ClientToScreen(hwnd_, &pt);
    menuFromButton_ = true;
    ShowWidgetMenu(pt.x, pt.y);
    menuFromButton_ = false;
    Repaint();
  }
  lastMouse_ = {px, py};
  GetCursorPos(&dragAnchor_);
  return 0;
}

void CNewsNotes::OpenLink(const std::u16string& link) {
  std::u16string address = widgets::OpenableAddress(link);
  if (address.empty()) {
    LogError("refused to open a link that is not a web address: %s", platform::ToAnsi(link).c_str());
    return;
  }
  ShellExecuteW(nullptr, L"open", as_wcstr(address), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CNewsNotes::OnRButtonUp(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  engine_->OnRButtonUp(static_cast<unsigned>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ClientToScreen(hwnd_, &pt);
  ShowWidgetMenu(pt.x, pt.y);
  return 0;
}

LRESULT CNewsNotes::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& handled) {
  overLink_ = false;
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(hwnd_, &pt);
  if (rects_.refresh.Contains(pt.x, pt.y) || rects_.menu.Contains(pt.x, pt.y)) {
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
  }
  if (engine_->GetLinkAt(pt.x, pt.y, nullptr)) {
    if ((GetKeyState(VK_CONTROL) & 0x8000) || !env_.Settings().ctrl_lclick) SetCursor(LoadCursorW(nullptr, IDC_HAND));
    overLink_ = true;
    return TRUE;
  }
  handled = FALSE;
  return 0;
}

LRESULT CNewsNotes::OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  const int px = GET_X_LPARAM(lParam), py = GET_Y_LPARAM(lParam);
  if (overLink_ && !linkHighlighted_) {
    engine_->HighlightLink(engine_->HitTest(px, py), widgets::kLinkHighlightColor);
    linkHighlighted_ = true;
  } else if (!overLink_ && linkHighlighted_) {
    engine_->ClearLinkHighlight(widgets::kLinkColor);
    linkHighlighted_ = false;
  }
  int kind = 0;
  const std::u16string* link =
      rects_.content.Contains(px, py) && engine_->IsReadOnly() ? engine_->GetLinkAt(px, py, &kind) : nullptr;
  // Over an item: its summary and date; with the Ctrl+click rule, the hint under them.
  const widgets::DateContext when{platform::NowLocal(), &platform::LocalFromUnixSeconds};
  std::u16string tip = link ? widgets::ItemTooltip(logic_.items(), *link, when, logic_.TitleCut(*link)) : std::u16string();
  if (link && env_.Settings().ctrl_lclick)
    tip += (tip.empty() ? u"" : u"\r\n") + to_u16(kind == kLinkKindPicture ? kHintViewPicture : kHintFollowLink);
  if (!tip.empty()) {
    if (tip != tipText_) {  // another item: the shown tip goes, so that it takes the new text
      tipText_ = tip;
      tooltip_.Activate(false);
      tooltip_.SetMaxWidth(ui::ToPixels(tip.size() > 20 ? kSummaryTipWidth : kHintTipWidth, dpi()));
    }
    tooltip_.ShowHint(as_wcstr(tip));
  } else {
    tooltip_.Activate(false);
  }
  tooltip_.Relay(msg, wParam, lParam);
  handled = FALSE;  // the base tracks hover, dragging and the engine
  return 0;
}

// --- Menu ----------------------------------------------------------------------------

void CNewsNotes::ShowWidgetMenu(int x, int y) {
  if (!IsWindow()) return;
  const ManagerData& m = env_.Settings();
  std::vector<NewsLink> remote = feed::EffectiveRemoteLinks(m.remote_links, m.custom_links);
  widgets::MenuState s;
  s.remoteLinks = &remote;
  s.customLinks = &m.custom_links;
  s.feedUrl = rssurl;
  s.themeId = theme().id;
  s.alpha = GetAlpha();
  s.refreshInterval = refresh_interval;
  s.widgetCount = env_.WidgetCount();
  s.autoStart = env_.IsAutoStartOn();
  s.ctrlClick = m.ctrl_lclick != 0;
  HMENU menu = BuildMenu(widgets::BuildWidgetMenu(s));

  POINT pt{x, y};
  if (!MonitorFromPoint(pt, MONITOR_DEFAULTTONULL)) {
    MONITORINFO mi{sizeof mi};
    if (GetMonitorInfoW(MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &mi))
      x = std::min<int>(std::max<int>(x, mi.rcWork.left), mi.rcWork.right - 1);
  }
  SetForegroundWindow(hwnd_);
  int command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_NONOTIFY, x, y, 0, hwnd_, nullptr);
  PostMessageW(hwnd_, WM_NULL, 0, 0);
  DestroyMenu(menu);  // destroys the submenus too
  if (command) RunMenuCommand(command);
}

void CNewsNotes::RunMenuCommand(int command) {
  ManagerData& m = env_.Settings();
  std::vector<NewsLink> remote = feed::EffectiveRemoteLinks(m.remote_links, m.custom_links);
  MenuAction a = widgets::DecodeMenuCommand(command, remote, m.custom_links);
  switch (a.kind) {
    case MenuAction::kNone: break;
    case MenuAction::kRefreshNow: Refresh(0); break;
    case MenuAction::kSwitchFeed:
      if (a.url == rssurl) {  // the feed it reads already: a refresh
        Refresh(0);
        break;
      }
      SwitchFeed(a.url);
      break;
    case MenuAction::kManageCustomLinks: env_.ManageCustomLinks(*this); break;
    case MenuAction::kImportOpml: env_.ImportSubscriptions(*this); break;
    case MenuAction::kExportOpml: env_.ExportSubscriptions(*this); break;
    case MenuAction::kApplyTheme: ApplyColorTheme(a.value); break;
    case MenuAction::kSetAlpha: SetAlpha(static_cast<uint8_t>(a.value)); break;
    case MenuAction::kSetInterval: SetRefreshInterval(a.value); break;
    case MenuAction::kAddSubscription: {
      std::u16string url;
      if (!env_.ChooseSubscription(*this, &url)) break;
      if (url.empty()) url = rssurl;
      if (url.empty()) break;  // this widget still waits for its feed: nothing to copy
      env_.AddFeedWidget(url, this);
      break;
    }
    case MenuAction::kRemoveWidget: env_.RemoveWidgetLater(*this); break;
    case MenuAction::kToggleAutoStart: ToggleAutoStart(); break;
    case MenuAction::kToggleCtrlClick:
      m.ctrl_lclick = m.ctrl_lclick ? 0 : 1;
      env_.RequestSave(widgets::kSaveDelay);  // a setting of every widget: kept at once
      break;
    case MenuAction::kAbout: env_.ShowAbout(); break;
    case MenuAction::kHelp: env_.OpenHelp(); break;
    case MenuAction::kQuit: env_.Quit(); break;
  }
}

void CNewsNotes::ToggleAutoStart() {
  const bool on = env_.IsAutoStartOn();
  if (env_.SetAutoStart(!on)) MessageBoxW(hwnd_, on ? L"已取消开机启动!" : L"已设置为开机启动!", L"", MB_OK);
}

// --- First-run tip -----------------------------------------------------------------------

void CNewsNotes::OnWidgetCreated() {
  logic_.CarryMarks(widgets::MarkedLinks(content));  // a stored widget's marks outlive the restart
  logic_.SetOwnInterval(refresh_interval);
  ManagerData& m = env_.Settings();
  if (m.first_run) {
    m.first_run = 0;
    ShowFirstRunTip();
  }
}

void CNewsNotes::ShowFirstRunTip() {
  mouseInside_ = true;  // the tip points at the menu button: show the buttons
  tip_ = std::make_unique<ui::CArrowTip>();
  tip_->SetText(to_u16(kFirstRunTipText));
  PlaceFirstRunTip();
}

void CNewsNotes::PlaceFirstRunTip() {
  if (!tip_) return;
  RECT wr;
  GetWindowRect(hwnd_, &wr);
  widgets::TipPlacement p =
      widgets::PlaceFirstRunTip({wr.left, wr.top, wr.right, wr.bottom}, widgets::PrimaryWorkArea(), dpi());
  tip_->SetDpi(dpi());
  tip_->SetDirection(p.direction);
  tip_->Show(p.rect.left, p.rect.top, p.rect.right, p.rect.bottom);
}

void CNewsNotes::OnWidgetResized() {
  if (firstRunTipShown()) PlaceFirstRunTip();
}
