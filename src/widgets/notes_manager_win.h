// The widget manager: owns the feed widgets, the custom and remote link lists and the
// manager-level settings, and is every widget's environment (WidgetEnv). The main window
// has one; what only the program around it can do reaches it through ProgramHost.
#pragma once
#include <tinyxml.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "model/manager_data.h"
#include "model/notes_local_info.h"
#include "ui/toast_win.h"
#include "widgets/widget_env.h"

class CNewsNotes;

namespace widgets {

// What the manager needs from the program's main window.
class ProgramHost : public ProgramCommands {
 public:
  // (Re)starts the deferred save of data.dat.
  virtual void ScheduleSave(unsigned delayMs) = 0;
  // Asks for CNotesManager::RemoveWidget(widget) once the current message has returned.
  virtual void RemoveWidgetLater(CNewsNotes* widget) = 0;
  virtual void SendSubscribeNotice(const std::u16string& feedUrl, const std::u16string& name) = 0;
};

}  // namespace widgets

class CNotesManager : public ManagerData, public widgets::WidgetEnv {
 public:
  // Without a host (store tests) saves and program commands do nothing.
  CNotesManager();
  explicit CNotesManager(widgets::ProgramHost& host);
  ~CNotesManager() override;
  CNotesManager(const CNotesManager&) = delete;
  CNotesManager& operator=(const CNotesManager&) = delete;

  // How the settings store reaches the widgets without knowing their window class.
  // InstallWidgetSeam sets both. While widgetRecords is empty a save writes back the
  // records of the last load unchanged, so that no stored widget is lost.
  struct WidgetSeam {
    // Makes one feed widget from a loaded record: create it, copy the record into it,
    // show it, start its first (not silent) refresh and append it to the widget list.
    // Returns false when no widget was made.
    std::function<bool(const CNotesLocalInfo& record)> createWidgetFromRecord;
    // The live widgets' records in widget-list order, for a save. The store may change
    // them (it pulls positions inside the screen) and calls their GetContent.
    std::function<std::vector<CNotesLocalInfo*>()> widgetRecords;
  };
  WidgetSeam widgetSeam;

  // data.dat (store/data_store_win.cpp). LoadData reads the preferred copy (falling back
  // to the other copy and the backups), fills the settings and link lists and makes a
  // widget per stored record: 1 when at least one widget was made. SaveData writes the
  // program-folder copy and then the data-folder copy; it returns the first's result.
  // SaveDataTo writes one copy; `actualPath` receives where the file really went.
  int LoadData();
  int SaveData();
  int SaveDataTo(const std::u16string& target, std::u16string* actualPath);

  TiXmlDocument document;  // the tree of the last load

  // --- The widget list (widgets/notes_manager_widgets_win.cpp) ---
  // Every live feed widget, in creation or load order; the manager owns them.
  const std::vector<CNewsNotes*>& WidgetList() const { return widgets_; }
  void AddWidget(CNewsNotes* w);
  // Destroys the widget's window and the widget; nothing when it is not in the list.
  void RemoveWidget(CNewsNotes* w);
  // Silent refresh of every widget, in list order.
  void RefreshAllWidgets();
  // Creates, shows, refreshes and lists a new feed widget for `url` at (x, y), taking the
  // opacity and template of `templ` when given. Returns the widget.
  CNewsNotes* CreateFeedWidget(const std::u16string& url, int x, int y, CNewsNotes* templ);
  // With no widget at all, creates the first one for the first offered subscription
  // (the remote list, or the built-in feeds while none has been received).
  void CreateFirstWidgetIfNone();
  // Connects the store's seam (loaded records in, live records out) to the widgets.
  void InstallWidgetSeam();
  // The failure toasts of every widget.
  const ui::ToastList& toasts() const { return toasts_; }

  // --- widgets::WidgetEnv ---
  ManagerData& Settings() override { return *this; }
  void RequestSave(unsigned delayMs) override { host_.ScheduleSave(delayMs); }
  void SendSubscribeNotice(const std::u16string& feedUrl, const std::u16string& name) override {
    host_.SendSubscribeNotice(feedUrl, name);
  }
  int WidgetCount() override { return static_cast<int>(widgets_.size()); }
  void RemoveWidgetLater(CNewsNotes& widget) override { host_.RemoveWidgetLater(&widget); }
  void AddFeedWidget(const std::u16string& url, CNewsNotes* templ) override;
  bool ChooseSubscription(CNewsNotes& over, std::u16string* url) override;
  void ManageCustomLinks(CNewsNotes& over) override;
  void ShowFailureToast(CNewsNotes& over, const std::u16string& text) override;
  void CountEvent(int event) override;
  bool IsAutoStartOn() override { return host_.IsAutoStartOn(); }
  bool SetAutoStart(bool on) override { return host_.SetAutoStart(on); }
  void ShowAbout() override { host_.ShowAbout(); }
  void OpenHelp() override { host_.OpenHelp(); }
  void Quit() override { host_.Quit(); }

 private:
  widgets::ProgramHost& host_;
  std::vector<CNewsNotes*> widgets_;
  ui::ToastList toasts_;
};
