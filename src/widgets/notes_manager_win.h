// The widget manager: owns the feed widgets, the custom and remote link lists and the
// manager-level settings. It is the last base of the main window, so there is one per
// process. Widgets, link lists and settings are added by the widgets and store code.
#pragma once
#include <tinyxml.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "model/manager_data.h"
#include "model/notes_local_info.h"

class CNewsNotes;

class CNotesManager : public ManagerData {
 public:
  CNotesManager() = default;
  ~CNotesManager();
  CNotesManager(const CNotesManager&) = delete;
  CNotesManager& operator=(const CNotesManager&) = delete;

  // How the settings store reaches the widgets without knowing their window class.
  // The widget code sets both. While widgetRecords is empty a save writes back the
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

  // Desktop embedding: the desktop's icon view, found once per process.
  static HWND FindDesktopListView();
  static int GetOsMajorVersion();
  static int CanEmbedInDesktop();

 private:
  std::vector<CNewsNotes*> widgets_;
};
