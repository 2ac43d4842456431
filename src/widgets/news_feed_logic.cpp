#include "widgets/news_feed_logic.h"

#include <algorithm>

#include "feed/feed_parser.h"
#include "feed/fetch_state.h"
#include "widgets/widget_geometry.h"

namespace widgets {

void NewsFeedLogic::SetOwnInterval(int32_t seconds) {
  ownInterval_ = feed::EffectiveInterval(seconds, 0) == 0 ? 0 : seconds;
}

int64_t NewsFeedLogic::IntervalSeconds() const {
  return feed::WidgetInterval(ownInterval_, settings_ ? settings_->DefaultIntervalSeconds() : 0);
}

void NewsFeedLogic::Schedule(int64_t retryAfter) {
  retryAfter_ = retryAfter;
  postponedTo_ = 0;
}

int64_t NewsFeedLogic::dueAt() const {
  if (lastAttempt_ == 0) return 0;
  const int failures = retrying_ ? std::max(failures_, 1) : 0;
  return std::max(feed::NextDue(lastAttempt_, failures, retryAfter_, IntervalSeconds()), postponedTo_);
}

std::u16string StatusLineHtml(const std::u16string& text, const std::u16string& color) {
  return u"<font color=\"" + color + u"\" underline=\"0\">" + TitleAsText(text) + u"</font>\r\n";
}

void NewsFeedLogic::Refresh(const std::u16string& feedUrl, bool silent) {
  if (feedUrl.empty()) {
    silent_ = silent;
    return;
  }
  if (!feedUrl_.empty() && feedUrl != feedUrl_) {  // the widget reads another feed now
    SwitchFeed(feedUrl);
    return;
  }
  feedUrl_ = feedUrl;
  const bool caption = CaptionShown();
  silent_ = silent;
  if (refreshing_) {  // the running request is for this address: it answers for both
    if (CaptionShown() != caption) host_->Repaint();  // its caption comes or goes now
    return;
  }
  // A refresh the program starts on its own leaves a feed alone while its server asked
  // for a pause.
  Start(feedUrl, silent);
}

void NewsFeedLogic::SwitchFeed(const std::u16string& feedUrl) {
  if (feedUrl.empty()) return;
  feedUrl_ = feedUrl;
  // Nothing of the old feed may stay on screen or be saved under the new address.
  items_.clear();
  title_.clear();
  lastHtml_.clear();
  carried_.clear();
  state_ = State::kWaiting;
  failure_ = feed::FetchFailure();
  failures_ = 0;
  retrying_ = false;
  status_ = kLoadingText;
  Display(std::u16string(), WidthForTitles(host_->MeasureTitle(status_, false)));
  silent_ = false;
  // A running request is for the old address: its answer is dropped.
  refreshing_ = false;
  requestUrl_ = feed::FeedRefreshUrl(feedUrl);
  Start(feedUrl, false);
}

void NewsFeedLogic::WaitForFeed() {
  state_ = State::kWaiting;
  status_ = kLoadingText;
  Display(std::u16string(), WidthForTitles(host_->MeasureTitle(status_, false)));
  host_->Repaint();
}

void NewsFeedLogic::Start(const std::u16string& feedUrl, bool automatic) {
  std::u16string request = feed::FeedRefreshUrl(feedUrl);
  // Due again by the interval (or the back-off) also when no answer comes.
  lastAttempt_ = host_->NowSeconds();
  Schedule(0);
  if (!host_->StartRetrieval(request, automatic)) return;
  requestUrl_ = request;
  refreshing_ = true;
  retrying_ = false;
  if (state_ == State::kWaiting && status_.empty() && lastHtml_.empty() && host_->StoredContent().empty()) {
    // Nothing to show yet: say what the widget is doing.
    status_ = kLoadingText;
    Display(std::u16string(), WidthForTitles(host_->MeasureTitle(status_, false)));
  }
  host_->Repaint();
}

bool NewsFeedLogic::OnResult(const FeedAnswer& answer, const std::u16string& advertTitle,
                             const std::u16string& advertUrl) {
  if (answer.requestUrl != requestUrl_) {
    // Requested for an address the widget no longer reads: it must not show or save it.
    // The current address is asked now unless it is being asked or has answered.
    if (!refreshing_ && state_ == State::kWaiting && !feedUrl_.empty()) Start(feedUrl_, false);
    return false;
  }
  // New content repaints as it is shown; the answer itself changes the image only by
  // taking the refresh caption away. (A start's answers with the items the widgets were
  // loaded with then cost nothing.)
  const bool caption = CaptionShown();
  refreshing_ = false;
  if (answer.code >= 1 && !answer.items.empty()) {
    state_ = State::kShown;
    failure_ = feed::FetchFailure();
    failures_ = 0;
    retrying_ = false;
    Schedule(0);
    status_.clear();
    if (!answer.title.empty()) title_ = answer.title;
    // Only the first ten are shown: copy no more than that.
    size_t n = std::min(answer.items.size(), kMaxShownItems);
    Rebuild(std::vector<NewsItem>(answer.items.begin(), answer.items.begin() + static_cast<std::ptrdiff_t>(n)),
            advertTitle, advertUrl);
    if (caption) host_->Repaint();
    return true;
  }
  if (answer.code == kResultUnchanged && answer.failure.kind == feed::FailureKind::kNone) {
    if (answer.status == 304) {
      // The server answered: what is shown is current, and a failure is over.
      state_ = State::kShown;
      failure_ = feed::FetchFailure();
      failures_ = 0;
      retrying_ = false;
      Schedule(0);
      if (!status_.empty()) {
        status_.clear();
        if (!items_.empty()) Show(items_);
        else Display(host_->StoredContent(), host_->CurrentWidth());
      }
    } else if (state_ != State::kShown) {
      // Left alone for now while failing or not yet loaded: try again later on its own.
      retrying_ = true;
      Schedule(answer.retryAfterSeconds);
    } else {
      Schedule(answer.retryAfterSeconds);
    }
    if (caption) host_->Repaint();
    return true;
  }
  Fail(answer);
  if (caption) host_->Repaint();
  return true;
}

void NewsFeedLogic::Fail(const FeedAnswer& answer) {
  feed::FetchFailure why = answer.failure;
  if (why.kind == feed::FailureKind::kNone)
    why.kind = answer.code == feed::kFeedErrorFormat ? feed::FailureKind::kNotAFeed : feed::FailureKind::kOther;
  if (failures_ < 1000) ++failures_;
  failure_ = why;
  state_ = State::kFailed;
  status_ = feed::FailureLine(why);
  retrying_ = true;
  Schedule(answer.retryAfterSeconds);
  if (!silent_) host_->ShowFailureToast(FeedFailureText(answer.code >= 1 ? -1 : answer.code));

  // The cause goes above the last good items (or what the widget was loaded with).
  if (!items_.empty()) {
    Show(items_);
    return;
  }
  std::u16string stored = host_->StoredContent();
  Display(stored, stored.empty() ? WidthForTitles(host_->MeasureTitle(status_, false)) : host_->CurrentWidth());
}

bool NewsFeedLogic::Due(int64_t now) const {
  const int64_t due = dueAt();
  return !refreshing_ && !feedUrl_.empty() && due != 0 && now >= due;
}

void NewsFeedLogic::RefreshDue() {
  if (refreshing_ || feedUrl_.empty()) return;
  silent_ = true;
  Start(feedUrl_, false);  // the due time already honours what the server asked for
}

void RefreshDueFeeds(const std::vector<NewsFeedLogic*>& feeds, int64_t now) {
  std::vector<NewsFeedLogic*> due;
  for (NewsFeedLogic* f : feeds)
    if (f->Due(now)) due.push_back(f);
  std::stable_sort(due.begin(), due.end(),
                   [](const NewsFeedLogic* a, const NewsFeedLogic* b) { return a->dueAt() < b->dueAt(); });
  for (size_t i = 0; i < due.size(); ++i) {
    if (i == 0) due[i]->RefreshDue();
    else due[i]->Postpone(now + feed::SpreadDelay(i, due.size()));
  }
}

bool NewsFeedLogic::AwaitsNetwork() const {
  if (feedUrl_.empty() || !retrying_) return false;
  return state_ != State::kFailed || feed::CuredByNetwork(failure_.kind);
}

void NewsFeedLogic::NetworkBack() {
  if (refreshing_ || !AwaitsNetwork()) return;
  silent_ = true;
  Start(feedUrl_, false);
}

void NewsFeedLogic::Rebuild(std::vector<NewsItem> received, const std::u16string& advertTitle,
                            const std::u16string& advertUrl) {
  for (NewsItem& item : received)
    if (std::find(carried_.begin(), carried_.end(), LinkAsHref(item.link)) != carried_.end()) item.fresh = true;
  carried_.clear();
  Show(ShownItems(received, advertTitle, advertUrl));
}

void NewsFeedLogic::OnLinkOpened(const std::u16string& href) {
  carried_.erase(std::remove(carried_.begin(), carried_.end(), href), carried_.end());
  bool changed = false;
  for (NewsItem& item : items_) {
    if (item.fresh && LinkAsHref(item.link) == href) {
      item.fresh = false;
      changed = true;
    }
  }
  if (changed) Show(items_);
}

void NewsFeedLogic::Show(std::vector<NewsItem> shown) {
  // Every item on one line: a title too wide for the widest the widget may become is cut
  // with "…" (the tooltip tells it whole), so that it neither wraps nor widens the widget
  // over its neighbours.
  const int limit = std::clamp(host_->WidthLimit(), kMinTitlesWidth, kMaxTitlesWidth);
  std::vector<NewsItem> drawn = shown;
  int widest = 0;
  bool anyCut = false;
  cut_.clear();
  for (NewsItem& item : drawn) {
    const std::u16string title = TitleAsText(item.title);
    const bool bold = item.fresh;
    int width = 0;
    item.title = CutToWidth(
        title, limit - kTitleMargin, [&](const std::u16string& t) { return host_->MeasureTitle(t, bold); }, &width);
    if (item.title != title) {
      anyCut = true;
      cut_.push_back(LinkAsHref(item.link));
    }
    widest = std::max(widest, width);
  }
  std::u16string html = BuildContent(drawn);
  items_ = std::move(shown);
  lastHtml_ = html;
  Display(html, anyCut ? limit : WidthForTitles(widest));
}

bool NewsFeedLogic::TitleCut(const std::u16string& href) const {
  return std::find(cut_.begin(), cut_.end(), href) != cut_.end();
}

void NewsFeedLogic::Display(const std::u16string& stored, int width) {
  std::u16string shown = stored;
  if (!status_.empty())
    shown = StatusLineHtml(status_, state_ == State::kFailed && failure_.kind != feed::FailureKind::kNoEntries
                                        ? kFailureColor
                                        : kLoadingColor) +
            stored;
  // An unchanged feed: no layout, no resize, no save.
  const std::u16string loaded = host_->StoredContent();
  if (gaveEngine_ && shown == shownHtml_ && stored == loaded) return;
  // So with the first answer after a start that has the items the widget was loaded with,
  // while they take the size a rebuild would give them: a rebuild would draw the same
  // pixels. (A loaded widget's text area starts a little narrower; a title wrapped in it
  // makes the content taller. And the size may be the user's own, or one measured with
  // another font. Then the widget is fitted again.)
  if (!gaveEngine_ && shown == loaded && stored == loaded) {
    int w = width, h = HeightForContent(host_->ContentHeight());
    ClampWidgetSize(&w, &h);
    if (w == host_->CurrentWidth() && h == host_->CurrentHeight()) {
      gaveEngine_ = true;
      shownHtml_ = shown;
      return;
    }
  }
  gaveEngine_ = true;
  shownHtml_ = shown;
  // One resize, to the width and the height the content needs at that width: each resize
  // of a window costs the system a round of messages and the widget a new surface.
  host_->LayOutForWidth(width);
  host_->ShowContent(stored, shown);
  host_->ResizeTo(width, HeightForContent(host_->ContentHeight()));
}

}  // namespace widgets
