#include "widgets/news_feed_logic.h"

#include <algorithm>

#include "feed/feed_parser.h"

namespace widgets {

void NewsFeedLogic::Refresh(const std::u16string& feedUrl, bool silent) {
  silent_ = silent;
  if (refreshing_ || feedUrl.empty()) return;
  if (!host_->StartRetrieval(feed::FeedRefreshUrl(feedUrl))) return;
  refreshing_ = true;
  host_->Repaint();
}

void NewsFeedLogic::OnResult(int count, const NewsItem* items, const std::u16string& advertTitle,
                             const std::u16string& advertUrl) {
  refreshing_ = false;
  if (count == kResultUnchanged) {  // nothing new: what is shown stays, nothing is said
    host_->Repaint();
    return;
  }
  if (count >= 1 && items) {
    // Only the first ten are shown: copy no more than that.
    size_t n = std::min(static_cast<size_t>(count), kMaxShownItems);
    Rebuild(std::vector<NewsItem>(items, items + n), advertTitle, advertUrl);
    host_->Repaint();
    return;
  }
  if (!silent_) host_->ShowFailureToast(FeedFailureText(count >= 1 ? -1 : count));
  host_->Repaint();
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
  std::u16string html = BuildContent(shown);
  int widest = 0;
  for (const NewsItem& item : shown) widest = std::max(widest, host_->MeasureTitle(TitleAsText(item.title)));
  int width = WidthForTitles(widest);
  items_ = std::move(shown);
  if (html == lastHtml_) return;  // unchanged feed: no layout, no resize, no save
  lastHtml_ = html;
  host_->ResizeTo(width, host_->CurrentHeight());
  host_->SetContent(html);
  host_->ResizeTo(width, HeightForContent(host_->ContentHeight()));
}

}  // namespace widgets
