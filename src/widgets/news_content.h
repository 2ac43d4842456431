// The feed widget's content: one line of the HTML subset per item, and the rules that
// keep feed text from turning into markup or into something other than a web link.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "model/feed_item.h"
#include "platform/clock.h"

namespace widgets {

// One entry shown by a feed widget: the text of its anchor and its address.
using NewsItem = FeedItem;

constexpr size_t kMaxShownItems = 10;
constexpr uint32_t kLinkColor = 0x31303A;           // "#3a3031"
constexpr uint32_t kLinkHighlightColor = 0x010ABD;  // red 189, green 10, blue 1

// A title as anchor text: "<" becomes the full-width "＜" so no tag can start inside it,
// line breaks and tabs become spaces, and surrounding blanks are dropped.
std::u16string TitleAsText(const std::u16string& title);
// A link as an href value: double quotes, angle brackets, spaces and control characters
// are percent-encoded, so the attribute and its tag end where they should.
std::u16string LinkAsHref(const std::u16string& link);

// "<font color="#3a3031" underline="0">·<a href="LINK">TITLE</a></font>\r\n"
std::u16string ItemLine(const NewsItem& item);
// What an item's date is told against: the local time now, and how a moment (seconds
// since 1970 UTC) reads on the local clock.
struct DateContext {
  platform::LocalTime now;
  platform::LocalTime (*toLocal)(int64_t seconds) = nullptr;
};

// An item's date as the user reads it, on the local clock: "今天 07:30", "昨天 18:20",
// "12月7日 07:30", "2025年12月7日 07:30" (without the time when the feed gave none).
// A time without a zone is shown as the feed wrote it; text that is no date, as it is.
std::u16string ItemDateText(const std::u16string& feedDate, const DateContext& when);

// What the tooltip tells about the item linking to `href` (as the content spells it):
// its summary and its date, one under the other, under its whole title when `withTitle`
// (the line shows it cut); empty when there is nothing to tell.
std::u16string ItemTooltip(const std::vector<NewsItem>& items, const std::u16string& href, const DateContext& when,
                           bool withTitle = false);
std::u16string BuildContent(const std::vector<NewsItem>& items);
// The hrefs of the lines `html` (as BuildContent writes it) marks as new, in order.
std::vector<std::u16string> MarkedLinks(const std::u16string& html);

// The items a widget shows: the first ten received, then the advert link when both its
// title and address are set.
std::vector<NewsItem> ShownItems(const std::vector<NewsItem>& received, const std::u16string& advertTitle,
                                 const std::u16string& advertUrl);

// The toast text for a failed feed result (-3 download, -2 format, anything else unknown).
std::u16string FeedFailureText(int code);

// Widget width for the widest title (in pixels): + 50, at least 250, at most 700.
constexpr int kTitleMargin = 50, kMinTitlesWidth = 250, kMaxTitlesWidth = 700;
int WidthForTitles(int widestTitle);

// `text` as one line of at most `maxWidth` as `measure` measures it: as it is when it fits,
// else its longest start that fits with "…" after it (a surrogate pair is never split).
// `*width` receives the measured width of the result.
constexpr char16_t kEllipsis[] = u"…";
std::u16string CutToWidth(const std::u16string& text, int maxWidth,
                          const std::function<int(const std::u16string&)>& measure, int* width);
// Widget height for the engine's content height: at least 20 counts, + 60.
int HeightForContent(int contentHeight);

// What a click on a link may open. Only web addresses are opened: "http://" and
// "https://" (any letter case) as they are, and a bare "www." address as http. Anything
// else (files, UNC paths, other schemes) yields an empty string.
std::u16string OpenableAddress(const std::u16string& link);

// Mouse key-state bits as the system reports them with a button press.
constexpr unsigned kKeyLButton = 0x0001;
constexpr unsigned kKeyShift = 0x0004;
constexpr unsigned kKeyControl = 0x0008;
// With "Ctrl+click opens links" on, only a press with exactly Ctrl (and the left button)
// opens; otherwise any press does.
bool ClickOpensLink(bool ctrlClickSetting, unsigned keyState);

}  // namespace widgets
