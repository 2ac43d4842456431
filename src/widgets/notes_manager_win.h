// The widget manager: owns the feed widgets, the custom and remote link lists and the
// manager-level settings. It is the last base of the main window, so there is one per
// process. Widgets, link lists and settings are added by the widgets and store code.
#pragma once

class CNotesManager {
 public:
  CNotesManager() = default;
  CNotesManager(const CNotesManager&) = delete;
  CNotesManager& operator=(const CNotesManager&) = delete;
};
