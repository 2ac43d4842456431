// What a widget needs from the program around it, handed to it when it is made: the
// manager's settings and link lists, the deferred save, the other widgets, the dialogs
// its menu runs, and the program-wide commands. The widget manager implements it; tests
// hand widgets a fake.
#pragma once
#include <string>

#include <vector>

#include "model/manager_data.h"
#include "model/notes_local_info.h"
#include "ui/link_dialogs.h"
#include "widgets/widget_placement.h"

class CNewsNotes;

namespace feed {
struct RefreshOptions;
}

namespace widgets {

constexpr unsigned kSaveDelay = ui::kSaveDelayMs;
constexpr unsigned kSaveDelayAfterResize = 2000;

// The program-wide commands of the widget menu.
class ProgramCommands {
 public:
  virtual ~ProgramCommands() = default;
  virtual bool IsAutoStartOn() = 0;
  // Turns auto-start on or off; true on success.
  virtual bool SetAutoStart(bool on) = 0;
  virtual void ShowAbout() = 0;
  virtual void OpenHelp() = 0;
  virtual void Quit() = 0;
};

class WidgetEnv : public ui::LinkDialogHost, public ProgramCommands {
 public:
  // From LinkDialogHost: Settings(), RequestSave(delayMs), SendSubscribeNotice(url, name),
  // NameAfterFeedTitle(url).

  // How many widgets the manager lists.
  virtual int WidgetCount() = 0;
  // Removes `widget` once the message being handled has returned (its menu first).
  virtual void RemoveWidgetLater(CNewsNotes& widget) = 0;
  // Makes, shows and starts a new feed widget for `url`, taking the look of `templ`.
  virtual void AddFeedWidget(const std::u16string& url, CNewsNotes* templ) = 0;
  // "新增订阅": the subscription choice over `over`; true when confirmed, with the chosen
  // address in *url (empty: nothing valid was chosen).
  virtual bool ChooseSubscription(CNewsNotes& over, std::u16string* url) = 0;
  // "管理自定义链接": the custom links dialog over `over`.
  virtual void ManageCustomLinks(CNewsNotes& over) = 0;
  // The OPML commands over `over`: every subscription out to a file the user chooses, or
  // a file's feeds into the custom links; each ends with a message saying what was done.
  virtual void ExportSubscriptions(CNewsNotes& over) = 0;
  virtual void ImportSubscriptions(CNewsNotes& over) = 0;
  // A read failure, shown for a few seconds near the widget.
  virtual void ShowFailureToast(CNewsNotes& over, const std::u16string& text) = 0;
  // Counts a usage event in the statistics (an opened link counts event 1).
  virtual void CountEvent(int event) = 0;
  // A widget read the feed at `feedUrl`, whose own title is `title` (may be empty).
  virtual void FeedTitleKnown(const std::u16string& feedUrl, const std::u16string& title) = 0;
  // Every other widget's window on the screen (not `self`'s), with the DPI it is drawn at:
  // a widget keeps off their buttons, and its own out from under them.
  virtual std::vector<PlacedWidget> OtherWidgets(const CNotesLocalInfo& self) {
    (void)self;
    return {};
  }
  // Starts a refresh of `url` whose result goes to `widget`'s window
  // (feed::kFeedResultMessage); false when none could be started.
  virtual bool StartFeedRefresh(CNewsNotes& widget, const std::u16string& url, const feed::RefreshOptions& options) = 0;
};

}  // namespace widgets
