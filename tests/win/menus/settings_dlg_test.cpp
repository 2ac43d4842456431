#include "menus/settings_dlg_win.h"

#include <gtest/gtest.h>

#include "res/resource.h"
#include "win/ui/dialog_script.h"

namespace {

using menus::CSettingsDlg;
using wintest::DialogScript;

const std::vector<std::u16string> kThemes = {u"粉红", u"绿色", u"紫色", u"白色", u"黄色", u"蓝色"};
const std::vector<int> kAlphas = {255, 204, 153, 102, 51};

std::wstring ComboText(HWND dlg, int id) {
  HWND combo = GetDlgItem(dlg, id);
  LRESULT sel = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  wchar_t buf[64] = {};
  if (sel >= 0) SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(buf));
  return buf;
}

struct ClipCheck {
  HWND dialog;
  RECT client;
  int clipped;
};

// Every control lies inside the dialog, and every label's text fits its control.
BOOL CALLBACK CheckChild(HWND child, LPARAM p) {
  auto* c = reinterpret_cast<ClipCheck*>(p);
  RECT rc;
  GetWindowRect(child, &rc);
  MapWindowPoints(nullptr, c->dialog, reinterpret_cast<POINT*>(&rc), 2);
  wchar_t cls[32] = {};
  GetClassNameW(child, cls, 32);
  bool combo = wcscmp(cls, L"ComboBox") == 0 || wcscmp(cls, L"ComboLBox") == 0;
  if (!combo && (rc.left < 0 || rc.top < 0 || rc.right > c->client.right || rc.bottom > c->client.bottom)) ++c->clipped;
  wchar_t text[128] = {};
  GetWindowTextW(child, text, 128);
  if (!combo && text[0]) {
    HDC dc = GetDC(child);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    SelectObject(dc, old);
    ReleaseDC(child, dc);
    int room = rc.right - rc.left;
    if (wcscmp(cls, L"Button") == 0 && !(GetWindowLongW(child, GWL_STYLE) & BS_DEFPUSHBUTTON) &&
        (GetWindowLongW(child, GWL_STYLE) & 0xF) == BS_AUTOCHECKBOX)
      room -= GetSystemMetrics(SM_CXMENUCHECK) + 4;  // the check box itself
    if (size.cx > room) ++c->clipped;
  }
  return TRUE;
}

TEST(SettingsDlg, ShowsTheCurrentValuesWithNothingClipped) {
  menus::SettingsValues v;
  v.autoStart = true;
  v.refreshSeconds = 1800;
  v.place = menus::kPlaceDesktop;
  v.theme = 6;
  v.alpha = 153;
  CSettingsDlg dlg(v, kThemes, kAlphas);
  int clipped = -1;
  DialogScript script;
  script.On(L"设置", [&](HWND d) {
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_SET_AUTOSTART), BST_CHECKED);
    EXPECT_EQ(ComboText(d, IDC_SET_REFRESH), L"30 分钟");
    EXPECT_EQ(ComboText(d, IDC_SET_PLACE), L"嵌在桌面上");
    EXPECT_EQ(ComboText(d, IDC_SET_THEME), L"蓝色");
    EXPECT_EQ(ComboText(d, IDC_SET_ALPHA), L"60%");
    EXPECT_EQ(SendDlgItemMessageW(d, IDC_SET_REFRESH, CB_GETCOUNT, 0, 0), 9);
    ClipCheck c{d, {}, 0};
    GetClientRect(d, &c.client);
    EnumChildWindows(d, &CheckChild, reinterpret_cast<LPARAM>(&c));
    clipped = c.clipped;
    wintest::Click(d, IDCANCEL);
  });
  EXPECT_EQ(dlg.DoModal(nullptr), IDCANCEL);
  EXPECT_TRUE(script.finished());
  EXPECT_EQ(clipped, 0);
  // A cancel changes nothing.
  EXPECT_EQ(dlg.values().refreshSeconds, 1800);
  EXPECT_TRUE(dlg.values().autoStart);
}

TEST(SettingsDlg, OkTakesTheChosenValues) {
  CSettingsDlg dlg(menus::SettingsValues{}, kThemes, kAlphas);
  DialogScript script;
  script.On(L"设置", [&](HWND d) {
    EXPECT_EQ(ComboText(d, IDC_SET_THEME), L"默认");
    EXPECT_EQ(ComboText(d, IDC_SET_ALPHA), L"默认");
    wintest::Click(d, IDC_SET_AUTOSTART);
    SendDlgItemMessageW(d, IDC_SET_REFRESH, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageW(d, IDC_SET_PLACE, CB_SETCURSEL, 1, 0);
    SendDlgItemMessageW(d, IDC_SET_THEME, CB_SETCURSEL, 2, 0);
    SendDlgItemMessageW(d, IDC_SET_ALPHA, CB_SETCURSEL, 2, 0);
    wintest::Click(d, IDOK);
  });
  EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
  const menus::SettingsValues& v = dlg.values();
  EXPECT_TRUE(v.autoStart);
  EXPECT_EQ(v.refreshSeconds, 300);
  EXPECT_EQ(v.place, menus::kPlaceOnTop);
  EXPECT_EQ(v.theme, 2);
  EXPECT_EQ(v.alpha, 204);
}

}  // namespace
