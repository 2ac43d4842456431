// What a feed widget does with a refresh request and with a feed result, apart from its
// window: the window implements NewsFeedHost and carries out the effects.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "widgets/news_content.h"

namespace widgets {

class NewsFeedHost {
 public:
  virtual ~NewsFeedHost() = default;
  // Starts retrieval of the (refresh) address; true when a worker was started.
  virtual bool StartRetrieval(const std::u16string& url) = 0;
  // Pixel width of a title in the content font.
  virtual int MeasureTitle(const std::u16string& title) = 0;
  virtual int CurrentHeight() = 0;
  virtual void ResizeTo(int width, int height) = 0;
  // Hands the content to the engine, repaints and schedules a save.
  virtual void SetContent(const std::u16string& html) = 0;
  virtual int ContentHeight() = 0;
  virtual void ShowFailureToast(const std::u16string& text) = 0;
  virtual void Repaint() = 0;
};

class NewsFeedLogic {
 public:
  // The result count of a refresh that brought nothing new (see feed::kFeedUnchanged).
  static constexpr int kResultUnchanged = 0;

  explicit NewsFeedLogic(NewsFeedHost* host) : host_(host) {}

  // Starts a refresh of feedUrl unless one is running (which then only takes the new
  // silent flag) or the address is empty.
  void Refresh(const std::u16string& feedUrl, bool silent);

  // A feed result: count items (or a negative code, or kResultUnchanged) and the received
  // items (may be null). Rebuilds the content when it changed; reports a failure unless
  // silent; keeps everything as it is when nothing is new.
  void OnResult(int count, const NewsItem* items, const std::u16string& advertTitle,
                const std::u16string& advertUrl);

  // The user opened the link `href` (as the content spells it): its item is no longer
  // new. Rebuilds the content when that changes it.
  void OnLinkOpened(const std::u16string& href);

  // The items (hrefs) the widget showed as new when the program last ended: the first
  // items delivered in this run keep those marks, as the user has not seen them since.
  void CarryMarks(std::vector<std::u16string> hrefs) { carried_ = std::move(hrefs); }

  bool refreshing() const { return refreshing_; }
  bool silent() const { return silent_; }
  const std::vector<NewsItem>& items() const { return items_; }
  const std::u16string& lastHtml() const { return lastHtml_; }

 private:
  void Rebuild(std::vector<NewsItem> received, const std::u16string& advertTitle,
               const std::u16string& advertUrl);
  void Show(std::vector<NewsItem> shown);

  NewsFeedHost* host_;
  bool refreshing_ = false;
  bool silent_ = false;
  std::vector<NewsItem> items_;
  std::u16string lastHtml_;
  std::vector<std::u16string> carried_;
};

}  // namespace widgets
