#include "widgets/news_notes_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <vector>

#include "app/app_win.h"
#include "platform/log.h"
#include "app/main_dlg_win.h"
#include "framework/wstr_win.h"
#include "platform/text.h"
#include "ui/toast_win.h"
#include "feed/default_feeds.h"
#include "feed/feed_fetch_win.h"
#include "widgets/news_content.h"
#include "widgets/notes_manager_win.h"
#include "widgets/widget_env_win.h"

using widgets::MenuAction;

namespace {

constexpr uint16_t kFeedTemplateType = 1;
constexpr int kLinkKindPicture = 1;

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

CNewsNotes::CNewsNotes() : logic_(this) { tmpl.type = kFeedTemplateType; }

CNewsNotes::~CNewsNotes() { tip_.reset(); }

void CNewsNotes::DestroyWidget() {
  tip_.reset();
  CNotesBase::DestroyWidget();
}

// --- Feed ----------------------------------------------------------------------------

void CNewsNotes::Refresh(int silent) { logic_.Refresh(rssurl, silent != 0); }

bool CNewsNotes::StartRetrieval(const std::u16string& url) {
  return hwnd_ && feed::StartFeedRefresh(hwnd_, WM_WIDGET_FEED_RESULT, as_wcstr(url)) == 1;
}

int CNewsNotes::MeasureTitle(const std::u16string& title) {
  fw::WindowDc screen(nullptr);
  fw::SelectGuard font(screen.get(), contentFont_.get());
  SIZE s{};
  GetTextExtentPoint32W(screen.get(), as_wcstr(title), static_cast<int>(title.size()), &s);
  return s.cx;
}

void CNewsNotes::ShowFailureToast(const std::u16string& text) {
  lastToast_ = ui::ShowToast(hwnd_, kFailureToastMode, text, kFailureToastMs);
}

LRESULT CNewsNotes::OnFeedResult(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  // The worker owns the array and frees it when this returns: the logic copies it.
  const auto* items = reinterpret_cast<const FeedItem*>(lParam);
  logic_.OnResult(static_cast<int>(wParam), items, advlink_title, advlink_url);
  return 0;
}

// --- Mouse ---------------------------------------------------------------------------

LRESULT CNewsNotes::OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  const int px = GET_X_LPARAM(lParam), py = GET_Y_LPARAM(lParam);
  engine_->OnLButtonDown(static_cast<unsigned>(wParam), px, py);
  CNotesManager* m = widgets::Manager();

  if (corner_.Press(px, py) && m) {
    m->usecount = 0;
    widgets::ScheduleSave(widgets::kSaveDelay);
  }
  pressArea_ = 2;
  if (rects_.content.Contains(px, py)) {
    pressArea_ = 1;
    int kind = 0;
    if (const std::u16string* link = engine_->GetLinkAt(px, py, &kind)) {
      const bool ctrlRule = m && m->ctrl_lclick;
      if (!widgets::ClickOpensLink(ctrlRule, static_cast<unsigned>(wParam))) {
        ActivateTooltip(false);  // show the hint again
        ActivateTooltip(true);
        RelayToTooltip(WM_MOUSEMOVE, wParam, lParam);
      } else {
        std::u16string target = *link;  // the engine may change under the calls below
        if (widgets::GetWidgetHooks().countEvent) widgets::GetWidgetHooks().countEvent(1);
        engine_->ClearLinkHighlight(widgets::kLinkColor);
        linkHighlighted_ = false;
        OpenLink(target);
      }
    }
  } else {
    if (!arming_) mouseInside_ = false;
    IdleReset();
    widgets::ScheduleSave(widgets::kSaveDelay);
  }
  if (rects_.refresh.Contains(px, py)) Refresh(0);
  RelayToTooltip(msg, wParam, lParam);
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
    CNotesManager* m = widgets::Manager();
    if ((GetKeyState(VK_CONTROL) & 0x8000) || !(m && m->ctrl_lclick)) SetCursor(LoadCursorW(nullptr, IDC_HAND));
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
  CNotesManager* m = widgets::Manager();
  int kind = 0;
  const bool hint = m && m->ctrl_lclick && rects_.content.Contains(px, py) && engine_->IsReadOnly() &&
                    engine_->GetLinkAt(px, py, &kind);
  if (hint) {
    SetTooltipText(kind == kLinkKindPicture ? kHintViewPicture : kHintFollowLink);
    ActivateTooltip(true);
  } else {
    ActivateTooltip(false);
  }
  RelayToTooltip(msg, wParam, lParam);
  handled = FALSE;  // the base tracks hover, dragging and the engine
  return 0;
}

// --- Menu ----------------------------------------------------------------------------

void CNewsNotes::ShowWidgetMenu(int x, int y) {
  CNotesManager* m = widgets::Manager();
  if (!m || !IsWindow()) return;
  std::vector<NewsLink> remote = feed::EffectiveRemoteLinks(m->remote_links, m->custom_links);
  widgets::MenuState s;
  s.remoteLinks = &remote;
  s.customLinks = &m->custom_links;
  s.feedUrl = rssurl;
  s.themeId = theme().id;
  s.alpha = GetAlpha();
  s.widgetCount = static_cast<int>(m->WidgetList().size());
  s.autoStart = app::IsAutoStartOn();
  s.ctrlClick = m->ctrl_lclick != 0;
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
  CNotesManager* m = widgets::Manager();
  if (!m) return;
  std::vector<NewsLink> remote = feed::EffectiveRemoteLinks(m->remote_links, m->custom_links);
  MenuAction a = widgets::DecodeMenuCommand(command, remote, m->custom_links);
  widgets::WidgetHooks& hooks = widgets::GetWidgetHooks();
  switch (a.kind) {
    case MenuAction::kNone: break;
    case MenuAction::kSwitchFeed:
      rssurl = a.url;
      Refresh(0);
      widgets::ScheduleSave(widgets::kSaveDelay);
      break;
    case MenuAction::kManageCustomLinks:
      if (hooks.manageCustomLinks) hooks.manageCustomLinks(hwnd_);
      break;
    case MenuAction::kApplyTheme: ApplyColorTheme(a.value); break;
    case MenuAction::kSetAlpha: SetAlpha(static_cast<uint8_t>(a.value)); break;
    case MenuAction::kAddSubscription: {
      std::u16string url;
      if (!hooks.chooseSubscription || !hooks.chooseSubscription(hwnd_, &url)) break;
      if (url.empty()) url = rssurl;
      int nx, ny;
      widgets::NewWidgetPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), &nx, &ny);
      m->CreateFeedWidget(url, nx, ny, this);
      break;
    }
    case MenuAction::kRemoveWidget:
      if (HWND main = widgets::MainWindow())
        PostMessageW(main, app::WM_APP_REMOVE_WIDGET, 0, reinterpret_cast<LPARAM>(this));
      break;
    case MenuAction::kToggleAutoStart: ToggleAutoStart(); break;
    case MenuAction::kToggleCtrlClick: m->ctrl_lclick = m->ctrl_lclick ? 0 : 1; break;
    case MenuAction::kAbout:
      if (auto* dlg = app::CMainDlg::Instance()) dlg->ShowAbout();
      break;
    case MenuAction::kHelp:
      ShellExecuteW(widgets::MainWindow(), L"open", (app::AppFolder() + kHelpFileName).c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
      break;
    case MenuAction::kQuit:
      if (auto* dlg = app::CMainDlg::Instance()) dlg->Quit(0);
      break;
  }
}

void CNewsNotes::ToggleAutoStart() {
  if (app::IsAutoStartOn()) {
    if (app::DisableAutoStart()) MessageBoxW(hwnd_, L"已取消开机启动!", L"", MB_OK);
  } else if (app::EnableAutoStart()) {
    MessageBoxW(hwnd_, L"已设置为开机启动!", L"", MB_OK);
  }
}

// --- First-run tip -----------------------------------------------------------------------

void CNewsNotes::OnWidgetCreated() {
  CNotesManager* m = widgets::Manager();
  if (m && m->first_run) {
    m->first_run = 0;
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
  widgets::TipPlacement p = widgets::PlaceFirstRunTip(wr.top, wr.right, GetSystemMetrics(SM_CXSCREEN));
  tip_->SetDirection(p.direction);
  tip_->Show(p.rect.left, p.rect.top, p.rect.right, p.rect.bottom);
}

void CNewsNotes::OnWidgetResized() {
  if (firstRunTipShown()) PlaceFirstRunTip();
}
