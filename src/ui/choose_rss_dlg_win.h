// The subscription choice ("选择订阅源"): every link the widget menu offers, the remote
// links (the built-in feeds while none were received) first, then the custom links, in a
// drop-down list; "新增" adds a new custom link on the spot. Returns
// IDOK (1) when a link was chosen or added, IDCANCEL (2) when cancelled.
#pragma once
#include <windows.h>

#include "framework/dialog_win.h"
#include "model/manager_data.h"
#include "ui/link_dialogs.h"

class CChooseRssDlg : public fw::DialogBase {
 public:
  // Works on the host's link lists.
  explicit CChooseRssDlg(ui::LinkDialogHost& host);

  // The chosen (or added) link; empty when nothing valid was selected.
  NewsLink GetLink() const { return result_; }

  BEGIN_MSG_MAP(CChooseRssDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
  END_MSG_MAP()

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
  void OnChoose();
  void OnNewLink();

  ui::LinkDialogHost& host_;
  NewsLink result_;
};
