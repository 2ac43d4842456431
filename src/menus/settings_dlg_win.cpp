#include "menus/settings_dlg_win.h"

#include <utility>

#include "framework/wstr_win.h"
#include "res/resource.h"

namespace menus {

namespace {
const char16_t* const kPlaceNames[] = {u"普通", u"总在最前", u"嵌在桌面上"};
}

CSettingsDlg::CSettingsDlg(const SettingsValues& initial, std::vector<std::u16string> themeNames,
                           std::vector<int> alphaLevels)
    : DialogBase(IDD_SETTINGS),
      values_(initial),
      themeNames_(std::move(themeNames)),
      alphaLevels_(std::move(alphaLevels)) {}

void CSettingsDlg::AddChoice(int control, const std::u16string& text, bool selected) {
  HWND combo = GetDlgItem(hwnd_, control);
  LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(as_wcstr(text)));
  if (selected && index >= 0) SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int CSettingsDlg::Selected(int control) const {
  return static_cast<int>(SendDlgItemMessageW(hwnd_, control, CB_GETCURSEL, 0, 0));
}

LRESULT CSettingsDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  CheckDlgButton(hwnd_, IDC_SET_AUTOSTART, values_.autoStart ? BST_CHECKED : BST_UNCHECKED);
  const auto& refresh = RefreshChoices();
  size_t current = NearestRefreshChoice(values_.refreshSeconds);
  for (size_t i = 0; i < refresh.size(); ++i) AddChoice(IDC_SET_REFRESH, refresh[i].label, i == current);
  for (int i = 0; i < 3; ++i) AddChoice(IDC_SET_PLACE, kPlaceNames[i], values_.place == i);
  AddChoice(IDC_SET_THEME, u"默认", values_.theme == 0);
  for (size_t i = 0; i < themeNames_.size(); ++i)
    AddChoice(IDC_SET_THEME, themeNames_[i], values_.theme == static_cast<int>(i) + 1);
  AddChoice(IDC_SET_ALPHA, u"默认", values_.alpha == 0);
  for (int level : alphaLevels_) {
    std::wstring label = std::to_wstring((level * 100 + 127) / 255) + L"%";
    AddChoice(IDC_SET_ALPHA, to_u16(label), values_.alpha == level);
  }
  // Centred on the monitor holding the cursor, where the menu was.
  RECT rc;
  GetWindowRect(hwnd_, &rc);
  POINT pt;
  GetCursorPos(&pt);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &mi)) {
    const RECT& work = mi.rcWork;
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2,
                 work.top + (work.bottom - work.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  return TRUE;
}

LRESULT CSettingsDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&) {
  switch (LOWORD(wParam)) {
    case IDOK: {
      values_.autoStart = IsDlgButtonChecked(hwnd_, IDC_SET_AUTOSTART) == BST_CHECKED;
      int r = Selected(IDC_SET_REFRESH);
      if (r >= 0 && static_cast<size_t>(r) < RefreshChoices().size()) values_.refreshSeconds = RefreshChoices()[r].seconds;
      int p = Selected(IDC_SET_PLACE);
      if (p >= 0 && p < 3) values_.place = p;
      int t = Selected(IDC_SET_THEME);
      if (t >= 0 && static_cast<size_t>(t) <= themeNames_.size()) values_.theme = t;
      int a = Selected(IDC_SET_ALPHA);
      if (a == 0) values_.alpha = 0;
      else if (a > 0 && static_cast<size_t>(a) <= alphaLevels_.size()) values_.alpha = alphaLevels_[a - 1];
      EndDialog(IDOK);
      break;
    }
    case IDCANCEL: EndDialog(IDCANCEL); break;
    default: break;
  }
  return 0;
}

}  // namespace menus
