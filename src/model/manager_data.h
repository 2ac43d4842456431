// The widget manager's persistent settings and link lists, kept apart from the window
// code so that the store reads and writes them in the portable core. CNotesManager
// derives from ManagerData.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One subscription entry of the custom or remote link list.
struct NewsLink {
  std::u16string name;  // display text
  std::u16string url;   // feed address
};

inline bool operator==(const NewsLink& a, const NewsLink& b) { return a.name == b.name && a.url == b.url; }

struct ManagerData {
  float version = 1.5f;              // `ver` of the last loaded document
  std::u16string switchs;            // free-form switch string, carried
  int32_t topmost_menu = 1;          // menu flags: kept and persisted
  int32_t hidenotes_menu = 1;
  int32_t exporttext_menu = 0;
  int32_t transparent_menu = 1;
  int32_t lock_menu = 0;
  int32_t embed_desktop = 0;         // 1: widgets that are not topmost sit in the desktop
  int32_t editnotes_menu = 0;
  int32_t ctrl_lclick = 0;           // 1: links open only with Ctrl held
  int32_t show_notes_date = 0;
  int32_t smoothing = 1;             // 1: dragging inside the content scrolls the text
  int32_t just_bg_transparent = 0;
  int32_t first_run = 0;             // set by a load whose use count became 1
  int32_t last_shutdown_time = 1200;
  int32_t usecount = 0;              // documents loaded so far (+1 per load)
  std::u16string hotkey_shownotes = u"ALT:Q";  // hot-key texts, carried only
  std::u16string hotkey_addnotes = u"CTRL:ALT:N";
  std::u16string hotkey_addremind = u"CTRL:ALT:R";
  std::u16string dont_updatever;     // written, never read back
  // Chosen in the settings dialog, each in an element of its own that older programs ignore.
  int32_t refresh_interval = 0;      // seconds between silent refreshes; 0: the default
  int32_t new_widget_place = 0;      // new widgets sit 0 normally, 1 on top, 2 in the desktop
  int32_t new_widget_theme = 0;      // colour theme of new widgets, 1-6; 0: the default
  int32_t new_widget_alpha = 0;      // background opacity of new widgets, 1-255; 0: the default
  std::vector<NewsLink> custom_links;  // the user's own links
  std::vector<NewsLink> remote_links;  // links from the remote configuration
  std::u16string question;           // written, never read back
  std::string answer;                // ANSI; written, never read back
  std::string password;              // ANSI; written, never read back
};
