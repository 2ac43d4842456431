// A stand-in for the program around the hidden main window: it counts what the window
// tells it, lets a test act on some of those calls, and serves a widget manager the way the
// program does (saves through the window's deferred save, removals posted to the window,
// refreshes through a refresher of its own).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_dlg_win.h"
#include "feed/feed_fetch_win.h"
#include "framework/wstr_win.h"
#include "widgets/notes_manager_win.h"

namespace wintest {

class FakeProgram : public app::MainWindowEvents, public widgets::ProgramHost {
 public:
  HWND Create() { return window_.Create(nullptr); }
  app::CMainDlg& window() { return window_; }
  HWND hwnd() const { return window_.hwnd(); }
  CNotesManager& manager() { return manager_; }

  // --- app::MainWindowEvents ---
  void Started() override { ++started; }
  void Tick() override { ++ticks; }
  bool WaitForNetwork() override {
    ++networkWaits;
    return online;
  }
  void SaveDue() override {
    ++saves;
    if (onSave) onSave();
  }
  void ShowNotifyIcon() override {
    ++iconShown;
    if (onShowIcon) onShowIcon();
  }
  void NotifyIconMenu(int x, int y) override {
    if (onIconMenu) onIconMenu(x, y);
  }
  void NotifyIconClicked() override { ++iconClicks; }
  void Resume() override {
    ++resumes;
    manager_.NetworkBack();
  }
  void ConfigResult(bool parsed) override { configResults.push_back(parsed); }
  void Command(UINT id) override { commands.push_back(id); }
  void StartDownload(const std::wstring& url) override { downloads.push_back(url); }
  void RemoveWidget(CNewsNotes* widget) override { manager_.RemoveWidget(widget); }
  void Closing() override {
    ++closings;
    if (onClosing) onClosing();
  }

  // --- widgets::ProgramHost ---
  void ScheduleSave(unsigned ms) override { window_.ScheduleSave(ms); }
  void RemoveWidgetLater(CNewsNotes* widget) override { window_.RemoveWidgetLater(widget); }
  void SendSubscribeNotice(const std::u16string& feedUrl, const std::u16string& name) override {
    feeds_.SendSubscribeNotice(as_wcstr(feedUrl), as_wcstr(name));
  }
  bool StartFeedRefresh(HWND window, const std::u16string& url, const feed::RefreshOptions& options) override {
    return feeds_.Start(window, feed::kFeedResultMessage, as_wcstr(url), options) == 1;
  }
  bool IsAutoStartOn() override { return false; }
  bool SetAutoStart(bool) override { return false; }
  void ShowAbout() override { Command(app::kCmdAbout); }
  void OpenHelp() override {}
  void Quit() override { window_.Quit(0); }

  int started = 0, ticks = 0, networkWaits = 0, saves = 0, iconShown = 0, iconClicks = 0, resumes = 0,
      closings = 0;
  bool online = false;
  std::vector<bool> configResults;
  std::vector<UINT> commands;
  std::vector<std::wstring> downloads;
  std::function<void()> onSave, onShowIcon, onClosing;
  std::function<void(int, int)> onIconMenu;

 private:
  feed::FeedRefresher feeds_;
  CNotesManager manager_{*this};
  app::CMainDlg window_{*this};
};

}  // namespace wintest
