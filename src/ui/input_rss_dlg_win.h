// The link input dialog: a name and a feed address, for a new link ("新增订阅源") or to
// edit an existing one ("编辑订阅源"). It stays open, saying why, until the address is an
// http or https one; an empty name becomes the address's host. Returns IDOK (1) when confirmed, IDCANCEL (2) when
// cancelled; a confirmed new link is announced to the maker's service through the host.
#pragma once
#include <windows.h>

#include "framework/dialog_win.h"
#include "ui/link_dialogs.h"

constexpr wchar_t kBadAddressTitle[] = L"提示";
constexpr wchar_t kBadAddressText[] = L"请输入订阅源的网址，例如 http://www.example.com/rss.xml";

class CInputRssDlg : public fw::DialogBase {
 public:
  // `host` receives the notice of a confirmed new link; null announces nothing.
  explicit CInputRssDlg(ui::LinkDialogHost* host);

  // Presets an existing link: the dialog then edits it and sends no notice.
  void SetLink(const NewsLink& link) { input_.SetLink(link); }
  // The link as confirmed (unchanged by a cancel).
  NewsLink GetLink() const { return input_.GetLink(); }

  BEGIN_MSG_MAP(CInputRssDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
  END_MSG_MAP()

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
  // Confirms a usable address (a missing name becomes its host), or says why not.
  void OnOk();

  ui::LinkDialogHost* host_;
  ui::LinkInput input_;
};
