#include "widgets/news_content.h"

#include <algorithm>

#include "feed/feed_date.h"
#include "platform/text.h"

namespace widgets {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x3000; }


void AppendPercent(std::u16string* out, unsigned byte) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  out->push_back(u'%');
  out->push_back(kHex[(byte >> 4) & 0xF]);
  out->push_back(kHex[byte & 0xF]);
}

}  // namespace

std::u16string TitleAsText(const std::u16string& title) {
  std::u16string out;
  out.reserve(title.size());
  for (char16_t c : title) {
    if (c == u'<') {
      out.push_back(u'\uFF1C');  // full-width less-than: looks the same, never starts a tag
    } else if (c < 0x20) {
      out.push_back(u' ');
    } else {
      out.push_back(c);
    }
  }
  size_t first = 0, last = out.size();
  while (first < last && IsBlank(out[first])) ++first;
  while (last > first && IsBlank(out[last - 1])) --last;
  return out.substr(first, last - first);
}

std::u16string LinkAsHref(const std::u16string& link) {
  std::u16string out;
  out.reserve(link.size());
  for (char16_t c : link) {
    if (c == u'"' || c == u'<' || c == u'>' || c == u' ' || c < 0x20 || c == 0x7F) {
      AppendPercent(&out, c);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

namespace {
constexpr char16_t kFreshLineStart[] = u"<font color=\"#3a3031\" underline=\"0\" bold=\"1\">·<a href=\"";
}  // namespace

std::u16string ItemLine(const NewsItem& item) {
  // A new item stands out in bold, in the same colour.
  std::u16string line = item.fresh ? kFreshLineStart : u"<font color=\"#3a3031\" underline=\"0\">·<a href=\"";
  line += LinkAsHref(item.link);
  line += u"\">";
  line += TitleAsText(item.title);
  line += u"</a></font>\r\n";
  return line;
}

std::u16string ItemDateText(const std::u16string& feedDate, const DateContext& when) {
  feed::FeedDate date;
  if (!feed::ParseFeedDate(feedDate, &date)) return feedDate;
  feed::CivilTime t = feed::CivilFromSeconds(date.seconds);
  if (date.zoned && when.toLocal) {
    platform::LocalTime local = when.toLocal(date.seconds);
    if (local.year == 0) return feedDate;
    t.year = local.year;
    t.month = local.month;
    t.day = local.day;
    t.hour = local.hour;
    t.minute = local.minute;
  }
  auto dayNumber = [](int year, int month, int day) {
    feed::CivilTime d;
    d.year = year;
    d.month = month;
    d.day = day;
    return feed::SecondsFromCivil(d) / 86400;
  };
  const int64_t daysAgo = dayNumber(when.now.year, when.now.month, when.now.day) - dayNumber(t.year, t.month, t.day);
  auto number = [](int n, int width) {
    std::u16string s = platform::Utf8ToU16(std::to_string(n));
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), u'0');
    return s;
  };
  std::u16string text;
  if (daysAgo == 0) text = u"今天";
  else if (daysAgo == 1) text = u"昨天";
  else if (t.year == when.now.year) text = number(t.month, 1) + u"月" + number(t.day, 1) + u"日";
  else text = number(t.year, 4) + u"年" + number(t.month, 1) + u"月" + number(t.day, 1) + u"日";
  if (date.hasTime) text += u" " + number(t.hour, 2) + u":" + number(t.minute, 2);
  return text;
}

std::u16string ItemTooltip(const std::vector<NewsItem>& items, const std::u16string& href, const DateContext& when,
                           bool withTitle) {
  for (const NewsItem& item : items) {
    if (LinkAsHref(item.link) != href) continue;
    std::u16string text = withTitle ? TitleAsText(item.title) : std::u16string();
    const std::u16string summary = TitleAsText(item.summary);
    if (!summary.empty()) text += (text.empty() ? u"" : u"\r\n") + summary;
    if (!item.date.empty()) text += (text.empty() ? u"" : u"\r\n") + TitleAsText(ItemDateText(item.date, when));
    return text;
  }
  return std::u16string();
}

std::u16string BuildContent(const std::vector<NewsItem>& items) {
  std::u16string html;
  for (const NewsItem& item : items) html += ItemLine(item);
  return html;
}

std::vector<std::u16string> MarkedLinks(const std::u16string& html) {
  std::vector<std::u16string> hrefs;
  const std::u16string start = kFreshLineStart;
  for (size_t at = html.find(start); at != std::u16string::npos; at = html.find(start, at)) {
    at += start.size();
    size_t end = html.find(u'"', at);  // an href never holds a quote (LinkAsHref)
    if (end == std::u16string::npos) break;
    hrefs.push_back(html.substr(at, end - at));
    at = end;
  }
  return hrefs;
}

std::vector<NewsItem> ShownItems(const std::vector<NewsItem>& received, const std::u16string& advertTitle,
                                 const std::u16string& advertUrl) {
  std::vector<NewsItem> shown(received.begin(), received.begin() + std::min(received.size(), kMaxShownItems));
  if (!advertTitle.empty() && !advertUrl.empty()) {
    NewsItem advert;
    advert.title = advertTitle;
    advert.link = advertUrl;
    shown.push_back(std::move(advert));
  }
  return shown;
}

std::u16string FeedFailureText(int code) {
  switch (code) {
    case -3: return u"读取失败！访问服务器失败";
    case -2: return u"读取失败！订阅源格式错误";
    default: return u"读取失败！未知错误";
  }
}

int WidthForTitles(int widestTitle) {
  return std::clamp(widestTitle + kTitleMargin, kMinTitlesWidth, kMaxTitlesWidth);
}

std::u16string CutToWidth(const std::u16string& text, int maxWidth,
                          const std::function<int(const std::u16string&)>& measure, int* width) {
  *width = measure(text);
  if (*width <= maxWidth) return text;
  // The places a cut may fall, between whole characters.
  std::vector<size_t> cuts;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
    const bool afterHigh = i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
    if (!(low && afterHigh)) cuts.push_back(i);
  }
  // The longest start that fits, found by halving: cuts[lo] fits (nothing does at 0), cuts[hi] does not.
  size_t lo = 0, hi = cuts.size();
  std::u16string best = kEllipsis;
  *width = measure(best);
  while (hi - lo > 1) {
    const size_t mid = (lo + hi) / 2;
    std::u16string candidate = text.substr(0, cuts[mid]) + kEllipsis;
    const int w = measure(candidate);
    if (w <= maxWidth) {
      lo = mid;
      best = std::move(candidate);
      *width = w;
    } else {
      hi = mid;
    }
  }
  return best;
}

int HeightForContent(int contentHeight) { return std::max(contentHeight, 20) + 60; }

std::u16string OpenableAddress(const std::u16string& link) {
  for (char16_t c : link)
    if (c <= 0x20 || c == 0x7F) return std::u16string();  // no blanks or controls in a web address
  if (platform::StartsWithNoCase(link, u"http://") || platform::StartsWithNoCase(link, u"https://")) {
    // Something must follow the scheme.
    size_t rest = link.find(u"//") + 2;
    return rest < link.size() ? link : std::u16string();
  }
  if (platform::StartsWithNoCase(link, u"www.") && link.size() > 4) return u"http://" + link;
  return std::u16string();
}

bool ClickOpensLink(bool ctrlClickSetting, unsigned keyState) {
  if (!ctrlClickSetting) return true;
  return keyState == kKeyControl || keyState == (kKeyControl | kKeyLButton);
}

}  // namespace widgets
