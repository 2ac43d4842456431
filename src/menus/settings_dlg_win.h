// The settings dialog of the main menu's "设置": start with Windows, refresh interval, and
// where new widgets sit, their colour theme and opacity. IDOK leaves the chosen values.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/dialog_win.h"
#include "menus/settings_values.h"

namespace menus {

class CSettingsDlg : public fw::DialogBase {
 public:
  // `themeNames[i]` names theme i + 1; `alphaLevels` are the opacities offered (1-255).
  CSettingsDlg(const SettingsValues& initial, std::vector<std::u16string> themeNames,
               std::vector<int> alphaLevels);

  const SettingsValues& values() const { return values_; }

  BEGIN_MSG_MAP(CSettingsDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
  END_MSG_MAP()

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&);
  void AddChoice(int control, const std::u16string& text, bool selected);
  int Selected(int control) const;

  SettingsValues values_;
  std::vector<std::u16string> themeNames_;
  std::vector<int> alphaLevels_;
};

}  // namespace menus
