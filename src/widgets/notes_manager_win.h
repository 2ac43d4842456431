// The widget manager: owns the feed widgets, the custom and remote link lists and the
// manager-level settings. It is the last base of the main window, so there is one per
// process. Widgets, link lists and settings are added by the widgets and store code.
#pragma once
#include <functional>
#include <vector>

#include "widgets/manager_data.h"
#include "widgets/notes_local_info.h"

class CNotesManager : public ManagerData {
 public:
  CNotesManager() = default;
  CNotesManager(const CNotesManager&) = delete;
  CNotesManager& operator=(const CNotesManager&) = delete;

  // How the settings store reaches the widgets without knowing their window class.
  // The widget code sets both; while they are empty the store loads and saves settings
  // and link lists only.
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
};
