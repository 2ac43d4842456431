#include "ui/custom_dlg_win.h"

#include <commctrl.h>

#include "res/dialogs_res.h"
#include "framework/wstr_win.h"
#include "ui/dialog_util_win.h"
#include "ui/dpi_win.h"
#include "ui/input_rss_dlg_win.h"
#include "ui/link_dialogs.h"

namespace {
constexpr int kNameColumnWidth = 100;  // at 96 DPI
constexpr wchar_t kNameColumn[] = L"名称";
constexpr wchar_t kUrlColumn[] = L"链接";

void SetCell(HWND list, int row, int column, const std::u16string& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(as_wcstr(text));
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void InsertColumn(HWND list, int index, const wchar_t* title, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = const_cast<wchar_t*>(title);
  column.cx = width;
  column.iSubItem = index;
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}
}  // namespace

CCustomDlg::CCustomDlg(ui::LinkDialogHost& host) : DialogBase(IDD_CUSTOM_LINKS), host_(host) {}

void CCustomDlg::SetLinks(const std::vector<NewsLink>& links) {
  links_ = links;
  if (list_) FillList();
}

LRESULT CCustomDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  list_ = GetDlgItem(hwnd_, IDC_LINK_LIST);
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  RECT client{};
  GetClientRect(list_, &client);
  const int nameWidth = ui::ToPixels(kNameColumnWidth, ui::DpiOfWindow(hwnd_));
  InsertColumn(list_, 0, kNameColumn, nameWidth);
  InsertColumn(list_, 1, kUrlColumn, client.right - client.left - nameWidth);
  FillList();
  return TRUE;
}

LRESULT CCustomDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  list_ = nullptr;
  handled = FALSE;
  return 0;
}

LRESULT CCustomDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  switch (LOWORD(wParam)) {
    case IDC_LINK_ADD: OnAdd(); return 0;
    case IDC_LINK_EDIT: OnEdit(); return 0;
    case IDC_LINK_DELETE: OnDelete(); return 0;
    case IDC_LINK_UP: OnMove(true); return 0;
    case IDC_LINK_DOWN: OnMove(false); return 0;
    case IDOK: EndDialog(IDOK); return 0;
    case IDCANCEL: EndDialog(IDCANCEL); return 0;
    default: handled = FALSE; return 0;
  }
}

void CCustomDlg::OnAdd() {
  CInputRssDlg input(&host_);
  input.RefuseRepeatsOf(links_);
  if (input.DoModal(hwnd_) == IDOK) {
    links_.push_back(input.GetLink());
    InsertRow(static_cast<int>(links_.size()) - 1);
  }
  Apply();
}

void CCustomDlg::OnEdit() {
  int row = SelectedRow();
  if (row >= 0 && row < static_cast<int>(links_.size())) {
    CInputRssDlg input(&host_);
    input.SetLink(links_[row]);
    input.RefuseRepeatsOf(links_, row);
    if (input.DoModal(hwnd_) == IDOK) ui::ReplaceLink(&links_, row, input.GetLink());
    WriteRow(row);
  }
  Apply();
}

void CCustomDlg::OnDelete() {
  int row = SelectedRow();
  if (ui::DeleteLink(&links_, row)) SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  Apply();
}

void CCustomDlg::OnMove(bool up) {
  int row = SelectedRow();
  if (!(up ? ui::MoveLinkUp(&links_, row) : ui::MoveLinkDown(&links_, row))) return;
  int other = up ? row - 1 : row + 1;
  WriteRow(row);
  WriteRow(other);
  SelectRow(other);
  Apply();
}

void CCustomDlg::FillList() {
  SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
  for (int row = 0; row < static_cast<int>(links_.size()); ++row) InsertRow(row);
}

void CCustomDlg::InsertRow(int row) {
  if (!list_) return;
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<wchar_t*>(as_wcstr(links_[row].name));
  SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  SetCell(list_, row, 1, links_[row].url);
}

void CCustomDlg::WriteRow(int row) {
  if (!list_) return;
  SetCell(list_, row, 0, links_[row].name);
  SetCell(list_, row, 1, links_[row].url);
}

int CCustomDlg::SelectedRow() const {
  if (!list_) return -1;
  return static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CCustomDlg::SelectRow(int row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void CCustomDlg::Apply() {
  host_.Settings().custom_links = links_;
  host_.RequestSave(ui::kSaveDelayMs);
}
