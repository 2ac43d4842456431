// The widget manager: owns the feed widgets, the custom and remote link lists and the
// manager-level settings, and is every widget's environment (WidgetEnv). The main window
// has one; what only the program around it can do reaches it through ProgramHost.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "model/data_snapshot.h"
#include "model/manager_data.h"
#include "model/notes_local_info.h"
#include "ui/toast_win.h"
#include "widgets/widget_env.h"

class CNewsNotes;

namespace feed {
struct RefreshOptions;
}
namespace ui {
class OpmlDialogs;
}

namespace widgets {

// What the manager needs from the program's main window.
class ProgramHost : public ProgramCommands {
 public:
  // (Re)starts the deferred save of data.dat.
  virtual void ScheduleSave(unsigned delayMs) = 0;
  // Asks for CNotesManager::RemoveWidget(widget) once the current message has returned.
  virtual void RemoveWidgetLater(CNewsNotes* widget) = 0;
  virtual void SendSubscribeNotice(const std::u16string& feedUrl, const std::u16string& name) = 0;
  // Starts a refresh of `url` reporting to `window` (feed::kFeedResultMessage); false
  // when none could be started.
  virtual bool StartFeedRefresh(HWND window, const std::u16string& url, const feed::RefreshOptions& options) = 0;
};

}  // namespace widgets

class CNotesManager : public ManagerData, public widgets::WidgetEnv {
 public:
  // Without a host (tests) saves and program commands do nothing.
  CNotesManager();
  explicit CNotesManager(widgets::ProgramHost& host);
  ~CNotesManager() override;
  CNotesManager(const CNotesManager&) = delete;
  CNotesManager& operator=(const CNotesManager&) = delete;

  // Takes the settings and link lists of a load and makes a feed widget per stored
  // record: created, shown, refreshed (not silently) and listed. Returns how many.
  int Restore(const DataSnapshot& data);
  // What a save writes: the settings, the link lists and a copy of every live widget's
  // record with its content. No widget changes.
  DataSnapshot Snapshot();

  // --- The widget list (widgets/notes_manager_widgets_win.cpp) ---
  // Every live feed widget, in creation or load order; the manager owns them.
  const std::vector<CNewsNotes*>& WidgetList() const { return widgets_; }
  void AddWidget(CNewsNotes* w);
  // Destroys the widget's window and the widget; nothing when it is not in the list.
  void RemoveWidget(CNewsNotes* w);
  // The periodic tick (`now` on platform::ScheduleSeconds): see widgets::RefreshDueFeeds.
  void RefreshDueWidgets(int64_t now);
  // The network came back: every widget whose feed failed for want of it fetches it now.
  void NetworkBack();
  // Whether any widget waits for the network to come back.
  bool AnyAwaitsNetwork() const;
  // Creates, shows, refreshes and lists a new feed widget for `url` at (x, y), taking the
  // opacity and template of `templ` when given. Returns the widget.
  CNewsNotes* CreateFeedWidget(const std::u16string& url, int x, int y, CNewsNotes* templ);
  // With no widget that has a feed, gives the first offered subscription (the remote
  // list, or the built-in feeds while none has been received) to the waiting first
  // widget, or to a new one when there is no widget at all.
  void CreateFirstWidgetIfNone();
  // The first widget of an installation with none, shown at (x, y) before its feed is
  // known: it says it is loading until GiveWaitingWidgetFeed. Nothing when there is a
  // widget already. It is not saved while it waits.
  void CreateWaitingFirstWidget(int x, int y);
  // That widget while it still waits; null once it has a feed (or the user removed it).
  CNewsNotes* WaitingFirstWidget() const;
  void GiveWaitingWidgetFeed(const std::u16string& url);

  // --- widgets::WidgetEnv ---
  ManagerData& Settings() override { return *this; }
  void RequestSave(unsigned delayMs) override { host_.ScheduleSave(delayMs); }
  void SendSubscribeNotice(const std::u16string& feedUrl, const std::u16string& name) override {
    host_.SendSubscribeNotice(feedUrl, name);
  }
  bool ChecksNewAddresses() override { return true; }
  int WidgetCount() override { return static_cast<int>(widgets_.size()); }
  void RemoveWidgetLater(CNewsNotes& widget) override { host_.RemoveWidgetLater(&widget); }
  void AddFeedWidget(const std::u16string& url, CNewsNotes* templ) override;
  bool ChooseSubscription(CNewsNotes& over, std::u16string* url) override;
  void ManageCustomLinks(CNewsNotes& over) override;
  void ExportSubscriptions(CNewsNotes& over) override;
  void ImportSubscriptions(CNewsNotes& over) override;
  // The file dialogs and message of the OPML commands: the system's unless a test hands
  // in its own.
  void SetOpmlDialogs(ui::OpmlDialogs* dialogs) { opmlDialogs_ = dialogs; }
  void ShowFailureToast(CNewsNotes& over, const std::u16string& text) override;
  void CountEvent(int event) override;
  void NameAfterFeedTitle(const std::u16string& feedUrl) override;
  void FeedTitleKnown(const std::u16string& feedUrl, const std::u16string& title) override;
  bool StartFeedRefresh(CNewsNotes& widget, const std::u16string& url, const feed::RefreshOptions& options) override;
  std::vector<widgets::PlacedWidget> OtherWidgets(const CNotesLocalInfo& self) override;
  bool IsAutoStartOn() override { return host_.IsAutoStartOn(); }
  bool SetAutoStart(bool on) override { return host_.SetAutoStart(on); }
  void ShowAbout() override { host_.ShowAbout(); }
  void OpenHelp() override { host_.OpenHelp(); }
  void Quit() override { host_.Quit(); }

 private:
  widgets::ProgramHost& host_;
  std::vector<CNewsNotes*> widgets_;
  CNewsNotes* waiting_ = nullptr;  // the waiting first widget; cleared when it is removed
  ui::ToastList toasts_;
  ui::OpmlDialogs* opmlDialogs_ = nullptr;
  // Addresses of custom links named after their host until their feed's title is known.
  std::vector<std::u16string> untitled_;
};
