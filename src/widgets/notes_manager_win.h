// The widget manager: owns the feed widgets, the custom and remote link lists and the
// manager-level settings. It is the last base of the main window, so there is one per
// process. Widgets, link lists and settings are added by the widgets and store code.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "model/data_snapshot.h"
#include "model/manager_data.h"
#include "model/notes_local_info.h"

class CNewsNotes;

class CNotesManager : public ManagerData {
 public:
  CNotesManager() = default;
  ~CNotesManager();
  CNotesManager(const CNotesManager&) = delete;
  CNotesManager& operator=(const CNotesManager&) = delete;

  // Takes the settings and link lists of a load and makes a feed widget per stored
  // record: created, shown, refreshed (not silently) and listed. Returns how many.
  int Restore(const DataSnapshot& data);
  // What a save writes: the settings, the link lists and every live widget's record with
  // its content. A widget's place is pulled inside the screen first, as it is stored.
  DataSnapshot Snapshot();

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

  // Desktop embedding: the desktop's icon view, found once per process.
  static HWND FindDesktopListView();
  static int GetOsMajorVersion();
  static int CanEmbedInDesktop();

 private:
  std::vector<CNewsNotes*> widgets_;
};
