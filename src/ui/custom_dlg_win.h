// The custom links dialog ("自定义"): the user's own links in a two-column report list,
// with add, edit, delete, move up and move down. Every change goes straight to the
// host's custom list and is saved a second later, so Enter (IDOK) and Esc or the
// close box (IDCANCEL) both leave the list as the user left it.
#pragma once
#include <windows.h>

#include <vector>

#include "framework/dialog_win.h"
#include "model/manager_data.h"
#include "ui/link_dialogs.h"

class CCustomDlg : public fw::DialogBase {
 public:
  // Works on the host's custom list.
  explicit CCustomDlg(ui::LinkDialogHost& host);

  // Copies the links into the dialog (and into the list, when it is shown).
  void SetLinks(const std::vector<NewsLink>& links);
  const std::vector<NewsLink>& GetLinks() const { return links_; }

  BEGIN_MSG_MAP(CCustomDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
  END_MSG_MAP()

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);

  void OnAdd();
  void OnEdit();
  void OnDelete();
  void OnMove(bool up);

  void FillList();
  void InsertRow(int row);
  void WriteRow(int row);
  int SelectedRow() const;
  void SelectRow(int row);
  // Hands the working copy to the host and schedules the save.
  void Apply();

  ui::LinkDialogHost& host_;
  HWND list_ = nullptr;
  std::vector<NewsLink> links_;
};
