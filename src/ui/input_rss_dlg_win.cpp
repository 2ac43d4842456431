#include "ui/input_rss_dlg_win.h"

#include "feed/feed_probe_win.h"
#include "res/dialogs_res.h"
#include "framework/wstr_win.h"
#include "net/url.h"
#include "platform/log.h"
#include "ui/dialog_util_win.h"

CInputRssDlg::CInputRssDlg(ui::LinkDialogHost* host) : DialogBase(IDD_INPUT_RSS), host_(host) {}

CInputRssDlg::~CInputRssDlg() { StopCheck(); }

LRESULT CInputRssDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  SetWindowTextW(hwnd_, as_wcstr(input_.Caption()));
  SetDlgItemTextW(hwnd_, IDC_RSS_NAME, as_wcstr(input_.GetLink().name));
  SetDlgItemTextW(hwnd_, IDC_RSS_URL, as_wcstr(input_.GetLink().url));
  SetFocus(GetDlgItem(hwnd_, IDC_RSS_NAME));  // the user starts with the first box
  return FALSE;
}

void CInputRssDlg::OnOk() {
  if (checkStop_) return;  // the address is being checked
  const std::u16string url = ui::FeedAddressFromInput(ui::GetControlText(hwnd_, IDC_RSS_URL));
  if (url.empty()) {
    // Nothing is stored until the address is one a feed can be read from.
    MessageBoxW(hwnd_, kBadAddressText, kBadAddressTitle, MB_OK | MB_ICONWARNING);
    SetFocus(GetDlgItem(hwnd_, IDC_RSS_URL));
    return;
  }
  if (RefusedAsRepeat(url)) return;
  std::u16string name = ui::TrimWide(ui::GetControlText(hwnd_, IDC_RSS_NAME));
  // An address typed anew is looked at first; one kept as it was needs no check.
  if (host_ && host_->ChecksNewAddresses() && url != input_.GetLink().url) {
    checkStop_ = std::make_shared<std::atomic<bool>>(false);
    if (feed::StartFeedProbe(hwnd_, kFeedCheckMessage, url, checkStop_)) {
      checkedName_ = name;
      checkedUrl_ = url;
      SetChecking(true);
      return;
    }
    checkStop_.reset();
  }
  Finish(name, url);
}

bool CInputRssDlg::RefusedAsRepeat(const std::u16string& url) {
  const int same = ui::IndexOfSameAddress(known_, url, self_);
  if (same < 0) return false;
  LogDebug("link not kept: the list holds %s already", net::AddressForLog(url).c_str());
  MessageBoxW(hwnd_, as_wcstr(ui::RepeatedAddressText(known_[same])), kBadAddressTitle, MB_OK | MB_ICONWARNING);
  SetFocus(GetDlgItem(hwnd_, IDC_RSS_URL));
  return true;
}

void CInputRssDlg::Finish(std::u16string name, const std::u16string& url, const std::u16string& feedTitle) {
  if (RefusedAsRepeat(url)) return;  // a page's feed may be one the list holds
  if (name.empty()) name = ui::LinkNameFromTitle(feedTitle);
  if (name.empty()) {
    name = ui::HostOfAddress(url);  // until the feed tells its own title
    if (host_) host_->NameAfterFeedTitle(url);
  }
  if (input_.Confirm(name, url) && host_) host_->SendSubscribeNotice(input_.GetLink().url, input_.GetLink().name);
  EndDialog(IDOK);
}

void CInputRssDlg::SetChecking(bool checking) {
  for (int id : {IDOK, IDC_RSS_NAME, IDC_RSS_URL}) EnableWindow(GetDlgItem(hwnd_, id), !checking);
  SetWindowTextW(hwnd_, checking ? kCheckingCaption : as_wcstr(input_.Caption()));
  if (!checking) SetFocus(GetDlgItem(hwnd_, IDC_RSS_URL));
}

void CInputRssDlg::StopCheck() {
  if (checkStop_) *checkStop_ = true;
  checkStop_.reset();
}

LRESULT CInputRssDlg::OnFeedChecked(UINT, WPARAM, LPARAM lParam, BOOL&) {
  const auto* result = reinterpret_cast<const feed::FeedProbeResult*>(lParam);
  if (!checkStop_ || !result) return 0;  // a check given up on
  checkStop_.reset();
  SetChecking(false);
  switch (result->kind) {
    case feed::FeedProbeResult::kFeed:
      Finish(checkedName_, result->feedUrl, result->title);
      break;
    case feed::FeedProbeResult::kPageFeed:
      // The page stands for its feed: the feed's address is what is kept.
      SetDlgItemTextW(hwnd_, IDC_RSS_URL, as_wcstr(result->feedUrl));
      Finish(checkedName_, result->feedUrl, result->title);
      break;
    case feed::FeedProbeResult::kNoFeed:
      MessageBoxW(hwnd_, kNoFeedText, kBadAddressTitle, MB_OK | MB_ICONWARNING);
      break;
    case feed::FeedProbeResult::kUnreachable:
      // Offline, or the server is down for now: the user may still know better.
      if (MessageBoxW(hwnd_, kUnreachableText, kBadAddressTitle, MB_YESNO | MB_ICONQUESTION) == IDYES)
        Finish(checkedName_, checkedUrl_);
      break;
  }
  return 0;
}

LRESULT CInputRssDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  StopCheck();
  handled = FALSE;
  return 0;
}

LRESULT CInputRssDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  switch (LOWORD(wParam)) {
    case IDOK: OnOk(); return 0;
    case IDCANCEL:
      StopCheck();
      EndDialog(IDCANCEL);
      return 0;
    default:
      handled = FALSE;
      return 0;
  }
}
