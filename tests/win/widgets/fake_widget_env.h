// A widget environment for tests: settings of its own, and a record of everything a
// widget asked of the program (saves, toasts, counted events, menu commands).
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "feed/feed_fetch_win.h"
#include "framework/wstr_win.h"
#include "widgets/news_notes_win.h"
#include "widgets/widget_env.h"

namespace wintest {

class FakeWidgetEnv : public widgets::WidgetEnv {
 public:
  ManagerData& Settings() override { return settings; }
  void RequestSave(unsigned delayMs) override { saveRequests.push_back(delayMs); }
  void SendSubscribeNotice(const std::u16string& url, const std::u16string& name) override {
    notices.push_back({url, name});
  }
  int WidgetCount() override { return widgetCount; }
  void RemoveWidgetLater(CNewsNotes& widget) override { removals.push_back(&widget); }
  void AddFeedWidget(const std::u16string& url, CNewsNotes* templ) override { added.push_back({url, templ}); }
  bool ChooseSubscription(CNewsNotes&, std::u16string* url) override {
    ++choices;
    *url = chosenUrl;
    return choiceConfirmed;
  }
  void ManageCustomLinks(CNewsNotes&) override { ++customDialogs; }
  void ExportSubscriptions(CNewsNotes&) override { ++exports; }
  void ImportSubscriptions(CNewsNotes&) override { ++imports; }
  void ShowFailureToast(CNewsNotes&, const std::u16string& text) override { toasts.push_back(text); }
  void CountEvent(int event) override { events.push_back(event); }
  void NameAfterFeedTitle(const std::u16string& url) override { untitled.push_back(url); }
  void FeedTitleKnown(const std::u16string& url, const std::u16string& title) override {
    titles.push_back({url, title});
  }
  // Widgets really refresh, through a refresher of the test's own.
  bool StartFeedRefresh(CNewsNotes& widget, const std::u16string& url, const feed::RefreshOptions& options) override {
    return feeds.Start(widget.hwnd(), feed::kFeedResultMessage, as_wcstr(url), options) == 1;
  }
  bool IsAutoStartOn() override { return autoStart; }
  bool SetAutoStart(bool on) override {
    autoStart = on;
    return true;
  }
  void ShowAbout() override { ++abouts; }
  void OpenHelp() override { ++helps; }
  void Quit() override { ++quits; }

  ManagerData settings;
  feed::FeedRefresher feeds;
  int widgetCount = 1;
  std::vector<unsigned> saveRequests;
  std::vector<std::pair<std::u16string, std::u16string>> notices;
  std::vector<CNewsNotes*> removals;
  std::vector<std::pair<std::u16string, CNewsNotes*>> added;
  int choices = 0;
  bool choiceConfirmed = false;
  std::u16string chosenUrl;
  int customDialogs = 0;
  int exports = 0, imports = 0;
  std::vector<std::u16string> toasts;
  std::vector<int> events;
  std::vector<std::u16string> untitled;
  std::vector<std::pair<std::u16string, std::u16string>> titles;
  bool autoStart = false;
  int abouts = 0, helps = 0, quits = 0;
};

}  // namespace wintest
