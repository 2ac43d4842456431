// CNewsNotes: the feed widget. It asks for its feed on a worker thread, lists the newest
// items as links, sizes itself to their titles, opens links in the browser (web
// addresses only), and carries the widget menu: subscriptions, colour, transparency,
// options, help and quit.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "feed/feed_fetch_win.h"
#include "platform/clock.h"
#include "ui/arrow_tip_win.h"
#include "widgets/news_feed_logic.h"
#include "widgets/notes_base_win.h"
#include "widgets/widget_geometry.h"
#include "widgets/widget_menu.h"

constexpr wchar_t kFirstRunTipText[] = L"点击这里可以订阅您喜欢的内容，还可以自定义订阅的网站哦！";
constexpr wchar_t kHintViewPicture[] = L"按住 CTRL 并单击鼠标浏览图片";
constexpr int kHintTipWidth = 100;     // at 96 DPI: the Ctrl+click hint alone
constexpr int kSummaryTipWidth = 320;  // an item's summary

class CNewsNotes : public CNotesBase, private widgets::NewsFeedHost {
 public:
  explicit CNewsNotes(widgets::WidgetEnv& env);
  ~CNewsNotes() override;

  // Starts a refresh of the feed (silent: no caption, no failure toast).
  void Refresh(int silent);
  // The widget has no feed yet: it says it is loading until SwitchFeed.
  void WaitForFeed() { logic_.WaitForFeed(); }
  // Reads `url` from now on: what the old feed showed goes, and the new one is fetched.
  void SwitchFeed(const std::u16string& url);
  // Builds the widget menu at a screen point, tracks it and carries out the choice.
  void ShowWidgetMenu(int x, int y);
  // Carries out one menu command (also used by tests).
  void RunMenuCommand(int command);

  // The widget's own refresh interval (0: the settings' default), kept with it.
  void SetRefreshInterval(int32_t seconds);
  // The network came back or the computer woke up: a failed feed is fetched again now.
  void NetworkBack() { logic_.NetworkBack(); }
  bool AwaitsNetwork() const { return logic_.AwaitsNetwork(); }

  void DestroyWidget() override;
  // Both the widget's own operation and what the feed logic asks of the window.
  void ResizeTo(int w, int h) override { CNotesBase::ResizeTo(w, h); }

  bool refreshing() const { return logic_.refreshing(); }
  const widgets::NewsFeedLogic& feedLogic() const { return logic_; }
  widgets::NewsFeedLogic& feedLogic() { return logic_; }
  const std::vector<widgets::NewsItem>& items() const { return logic_.items(); }
  bool firstRunTipShown() const { return tip_ && tip_->IsWindow(); }
  HWND firstRunTipWindow() const { return tip_ ? tip_->hwnd() : nullptr; }

  BEGIN_MSG_MAP(CNewsNotes)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
    MESSAGE_HANDLER(WM_RBUTTONUP, OnRButtonUp)
    MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
    MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
    MESSAGE_HANDLER(feed::kFeedResultMessage, OnFeedResult)
    CHAIN_MSG_MAP(CNotesBase)
  END_MSG_MAP()

 protected:
  bool KeepButtonsShown() const override { return firstRunTipShown(); }
  // Not while the widget says it is loading in its status line already.
  bool ShowRefreshCaption() const override {
    return logic_.CaptionShown();
  }
  void OnWidgetCreated() override;
  void OnWidgetResized() override;

 private:
  LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnRButtonUp(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnFeedResult(UINT, WPARAM, LPARAM, BOOL&);

  // widgets::NewsFeedHost
  bool StartRetrieval(const std::u16string& url, bool automatic) override;
  int MeasureTitle(const std::u16string& title, bool bold) override;
  int CurrentWidth() override { return width; }
  int CurrentHeight() override { return height; }
  int WidthLimit() override;
  void LayOutForWidth(int width) override { LayOutContentForWidth(width); }
  void ShowContent(const std::u16string& stored, const std::u16string& shown) override;
  std::u16string StoredContent() override { return content; }
  int ContentHeight() override { return ui::ToLogical(engine_->GetContentHeight(), dpi()); }
  void ShowFailureToast(const std::u16string& text) override;
  void Repaint() override { CNotesBase::Repaint(); }
  int64_t NowSeconds() override { return platform::ScheduleSeconds(); }

  void OpenLink(const std::u16string& link);
  void ShowFirstRunTip();
  void PlaceFirstRunTip();
  void ToggleAutoStart();

  feed::SettingsRefreshView settingsView_;
  widgets::NewsFeedLogic logic_;
  widgets::CornerCounter corner_;
  std::unique_ptr<ui::CArrowTip> tip_;
  std::u16string tipText_;  // what the tooltip says now
};
