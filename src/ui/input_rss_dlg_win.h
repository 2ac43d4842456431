// The link input dialog: a name and a feed address, for a new link ("新增订阅源") or to
// edit an existing one ("编辑订阅源"). It stays open, saying why, until the address is an
// http or https one; an empty name becomes the address's host. When the host asks for it,
// a newly typed address is downloaded first: a web page stands for the feed it announces,
// and a page without one is refused. Returns IDOK (1) when confirmed, IDCANCEL (2) when
// cancelled; a confirmed new link is announced to the maker's service through the host.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "framework/dialog_win.h"
#include "ui/link_dialogs.h"

constexpr wchar_t kBadAddressTitle[] = L"提示";
constexpr wchar_t kBadAddressText[] = L"请输入订阅源的网址，例如 http://www.example.com/rss.xml";
constexpr wchar_t kCheckingCaption[] = L"正在查找订阅源...";
constexpr wchar_t kNoFeedText[] = L"这个网页没有提供订阅源（RSS 或 Atom），没有添加。";
constexpr wchar_t kUnreachableText[] = L"无法访问这个网址，不能确认它是订阅源。\r\n仍然添加吗？";
// The address check's answer (lParam: const feed::FeedProbeResult*).
constexpr UINT kFeedCheckMessage = WM_APP + 31;

class CInputRssDlg : public fw::DialogBase {
 public:
  // `host` receives the notice of a confirmed new link; null announces nothing.
  explicit CInputRssDlg(ui::LinkDialogHost* host);
  ~CInputRssDlg() override;

  // Presets an existing link: the dialog then edits it and sends no notice.
  void SetLink(const NewsLink& link) { input_.SetLink(link); }
  // The link as confirmed (unchanged by a cancel).
  NewsLink GetLink() const { return input_.GetLink(); }
  // The list the link is for (`self`: the entry being edited in it, -1 for a new one): an
  // address another of its entries holds already is refused, saying so, and the dialog
  // stays open. Without it any address is kept.
  void RefuseRepeatsOf(const std::vector<NewsLink>& links, int self = -1) {
    known_ = links;
    self_ = self;
  }

  BEGIN_MSG_MAP(CInputRssDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MESSAGE_HANDLER(kFeedCheckMessage, OnFeedChecked)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
  END_MSG_MAP()

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnFeedChecked(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  // Confirms a usable address (a missing name becomes its host), or says why not.
  void OnOk();
  // Keeps the link; an empty name becomes the feed's own title when known (`feedTitle`),
  // else the host's name until the feed has been read.
  void Finish(std::u16string name, const std::u16string& url, const std::u16string& feedTitle = std::u16string());
  // True, having told the user, when another entry of the list holds `url` already.
  bool RefusedAsRepeat(const std::u16string& url);
  // While an address is checked the boxes and "确定" wait, and the caption says so.
  void SetChecking(bool checking);
  void StopCheck();

  ui::LinkDialogHost* host_;
  ui::LinkInput input_;
  std::shared_ptr<std::atomic<bool>> checkStop_;  // the running check's stop flag, or null
  std::u16string checkedName_, checkedUrl_;        // what was typed when the check began
  std::vector<NewsLink> known_;                   // see RefuseRepeatsOf
  int self_ = -1;
};
