// What a feed widget does with a refresh request and with a feed result, apart from its
// window: the window implements NewsFeedHost and carries out the effects.
//
// Besides the items, the widget shows one status line above them: "正在加载…" while it
// has nothing to show and waits for its first answer, and after a failure the cause in
// words, kept (with the last good items below it) until the next success. The widget keeps
// one due time (feed/refresh_policy): its interval after the last attempt, or after a
// failure 1, 2, 4 ... minutes up to the interval (never less than a Retry-After); a failed
// widget also tries again at once when the network comes back.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "feed/feed_result.h"
#include "feed/fetch_failure.h"
#include "feed/refresh_policy.h"
#include "widgets/news_content.h"

namespace widgets {

class NewsFeedHost {
 public:
  virtual ~NewsFeedHost() = default;
  // Starts retrieval of the (refresh) address; true when a worker was started.
  // `automatic`: started by the program, not by the user (a feed that is being left alone
  // for a while answers "unchanged").
  virtual bool StartRetrieval(const std::u16string& url, bool automatic) = 0;
  // Pixel width of a title in the content font (in its bold weight with `bold`, as a new
  // item's title is drawn).
  virtual int MeasureTitle(const std::u16string& title, bool bold) = 0;
  virtual int CurrentWidth() = 0;
  // The widest the widget may become for its titles: where it would come over another
  // widget's buttons. Titles wider than it leaves them are cut.
  virtual int WidthLimit() { return kMaxTitlesWidth; }
  virtual int CurrentHeight() = 0;
  virtual void ResizeTo(int width, int height) = 0;
  // Lays the content out as it will be at `width` while the window keeps its size, so that
  // ContentHeight follows that width before the one ResizeTo that sets both.
  virtual void LayOutForWidth(int width) = 0;
  // `stored` becomes the widget's content (saved with it); the engine shows `shown`,
  // which is `stored` under the status line, if any. Repaints; a changed content
  // schedules a save.
  virtual void ShowContent(const std::u16string& stored, const std::u16string& shown) = 0;
  // The content the widget holds now (loaded with it, or shown last).
  virtual std::u16string StoredContent() = 0;
  virtual int ContentHeight() = 0;
  virtual void ShowFailureToast(const std::u16string& text) = 0;
  virtual void Repaint() = 0;
  // Seconds on a clock that only goes forward.
  virtual int64_t NowSeconds() = 0;
};

// One answer of a refresh, as the worker delivered it.
using FeedAnswer = feed::FeedResult;

class NewsFeedLogic {
 public:
  // The result code of a refresh that brought nothing new.
  static constexpr int kResultUnchanged = feed::kFeedUnchanged;
  enum class State { kWaiting, kShown, kFailed };

  // `settings` (may be null: the default interval) gives the interval of a widget that
  // follows the settings; it outlives the logic.
  explicit NewsFeedLogic(NewsFeedHost* host, const feed::RefreshSettingsView* settings = nullptr)
      : host_(host), settings_(settings) {}

  // The widget's own interval in seconds (0: the settings' default). The next refresh is
  // due by the new interval from the last attempt.
  void SetOwnInterval(int32_t seconds);
  int32_t ownInterval() const { return ownInterval_; }
  // The interval the widget refreshes at now.
  int64_t IntervalSeconds() const;

  // Starts a refresh of feedUrl unless one for it is running (which then only takes the
  // new silent flag) or the address is empty. A refresh for another address than the
  // running one starts at once; the running one's answer will be dropped.
  void Refresh(const std::u16string& feedUrl, bool silent);

  // The widget now reads `feedUrl`: what it showed belongs to the old address and goes
  // (content and status), the widget says it is loading and fetches the new one at once.
  void SwitchFeed(const std::u16string& feedUrl);

  // The widget has no feed yet: it says it is loading, and fetches nothing until
  // SwitchFeed gives it one.
  void WaitForFeed();

  // A feed result. An answer for another address than the current one is dropped (and
  // the current address fetched when it is neither being fetched nor has answered). Rebuilds the content
  // when it changed; a failure shows its cause over the kept items, reports it in a toast
  // unless silent and schedules a retry; nothing new keeps everything as it is.
  // Returns true when the answer was taken.
  bool OnResult(const FeedAnswer& answer, const std::u16string& advertTitle, const std::u16string& advertUrl);

  // Whether the widget's next refresh is due at `now` (on the host's clock): it has a
  // feed, none is running and its due time has come.
  bool Due(int64_t now) const;
  // Starts the refresh that is due, silently and as the program's own.
  void RefreshDue();
  // Moves the due time to `until` at the earliest (widgets due together start apart).
  void Postpone(int64_t until) { postponedTo_ = until; }
  // The network came back (or the computer woke up): a widget that failed for a reason
  // the network may cure tries again now.
  void NetworkBack();
  // Whether the network coming back would make NetworkBack retry now (once a refresh
  // running meanwhile has ended): the widget failed for a reason the network may cure.
  bool AwaitsNetwork() const;

  // The user opened the link `href` (as the content spells it): its item is no longer
  // new. Rebuilds the content when that changes it.
  void OnLinkOpened(const std::u16string& href);

  // The items (hrefs) the widget showed as new when the program last ended: the first
  // items delivered in this run keep those marks, as the user has not seen them since.
  void CarryMarks(std::vector<std::u16string> hrefs) { carried_ = std::move(hrefs); }

  bool refreshing() const { return refreshing_; }
  // The refresh caption shows: a refresh the user asked for runs on a widget that shows
  // something already (not its loading line).
  bool CaptionShown() const { return refreshing_ && !silent_ && state_ != State::kWaiting; }
  bool silent() const { return silent_; }
  State state() const { return state_; }
  const feed::FetchFailure& failure() const { return failure_; }
  // The status line shown above the items; empty when there is none.
  const std::u16string& StatusLine() const { return status_; }
  // Seconds on the host's clock at which the next refresh is due, by the interval as it
  // is now; 0 before the first start.
  int64_t dueAt() const;
  // Whether the widget waits to try again after a failure (or a feed left alone).
  bool retrying() const { return retrying_; }
  const std::vector<NewsItem>& items() const { return items_; }
  // The title the feed gave with its items last read; empty until then (also after a
  // switch to another feed).
  const std::u16string& feedTitle() const { return title_; }
  // Whether the line of the item linking to `href` (as the content spells it) shows its
  // title cut short.
  bool TitleCut(const std::u16string& href) const;
  const std::u16string& lastHtml() const { return lastHtml_; }

 private:
  void Start(const std::u16string& feedUrl, bool automatic);
  void Rebuild(std::vector<NewsItem> received, const std::u16string& advertTitle, const std::u16string& advertUrl);
  void Fail(const FeedAnswer& answer);
  // What the due time follows after an answer: the server's Retry-After (0: none).
  void Schedule(int64_t retryAfter);
  void Show(std::vector<NewsItem> shown);
  // Puts `stored` under the status line on screen and sizes the widget for both.
  void Display(const std::u16string& stored, int width);

  NewsFeedHost* host_;
  const feed::RefreshSettingsView* settings_;
  int32_t ownInterval_ = 0;    // 0: the settings' default
  bool refreshing_ = false;
  bool silent_ = false;
  std::u16string feedUrl_;     // the address whose content is shown
  std::u16string requestUrl_;  // the refresh address of the latest request for it
  State state_ = State::kWaiting;
  feed::FetchFailure failure_;
  std::u16string status_;      // the status line's text
  int failures_ = 0;           // failed answers in a row
  int64_t lastAttempt_ = 0;    // host clock seconds of the last start
  int64_t retryAfter_ = 0;     // seconds the server asked for with the last answer
  int64_t postponedTo_ = 0;
  bool retrying_ = false;
  std::vector<NewsItem> items_;
  std::u16string title_;       // the feed's title, see feedTitle()
  std::u16string lastHtml_;    // the items' content last generated
  std::u16string shownHtml_;   // what the engine was last given
  bool gaveEngine_ = false;    // until then it holds the content the widget was loaded with
  std::vector<std::u16string> carried_;  // marks shown at the last exit
  std::vector<std::u16string> cut_;      // hrefs of the items whose titles are cut short
};

// The periodic tick over every widget's logic (`now` on their hosts' clock): the widgets
// whose refresh is due fetch their feeds silently, the earliest due first; of several due
// together only the first starts now, the others wait their share of a minute
// (feed::SpreadDelay) and are due again on later ticks, so no two start in one burst.
void RefreshDueFeeds(const std::vector<NewsFeedLogic*>& feeds, int64_t now);

// The status line's markup: one line of the HTML subset in `color` ("#rrggbb").
std::u16string StatusLineHtml(const std::u16string& text, const std::u16string& color);

constexpr char16_t kLoadingText[] = u"正在加载…";
constexpr char16_t kLoadingColor[] = u"#3a3031";  // the links' colour
constexpr char16_t kFailureColor[] = u"#bd0a01";  // the highlighted links' colour

}  // namespace widgets
