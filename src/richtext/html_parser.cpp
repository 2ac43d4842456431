#include "richtext/html_parser.h"

#include <algorithm>
#include <climits>
#include <string_view>

namespace richtext {

namespace {

// Tag names are accepted when they occur anywhere in this string, so fragments such as
// "b", "i" or "fon" are tags too: they are taken out of the text and mean nothing.
constexpr char16_t kTagSet[] = u"|<font|<img|<a|<br|";
// Distance from '<' to the end of an open tag's name: names of 1 to 18 characters.
constexpr size_t kMinNameSpan = 2;
constexpr size_t kMaxNameSpan = 19;

bool InTagSet(const std::u16string& name) {
  return std::u16string_view(kTagSet).find(name) != std::u16string_view::npos;
}

bool IsNameStart(char16_t c) { return c >= u'A' && c <= u'z'; }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Hexadecimal digits from `from` until the first other character; saturates like the C
// library's conversions do.
uint32_t ReadHex(const std::u16string& s, size_t from) {
  uint64_t v = 0;
  for (size_t i = from; i < s.size(); ++i) {
    int d = HexDigit(s[i]);
    if (d < 0) break;
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(v);
}

ColorRef RgbToColorRef(uint32_t rgb) {
  return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

// Leading decimal digits only (a sign or anything else gives 0); saturates at INT_MAX.
int ReadDigits(const std::u16string& s) {
  int64_t v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') break;
    v = v * 10 + (c - u'0');
    if (v > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(v);
}

// Like the C library's integer conversion: optional blanks and sign, then digits.
int ReadInt(const std::u16string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) neg = s[i++] == u'-';
  int64_t v = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
    v = v * 10 + (s[i] - u'0');
    if (v > INT_MAX) { v = INT_MAX; break; }
  }
  return static_cast<int>(neg ? -v : v);
}

}  // namespace

const std::u16string* CHtmlTag::GetAttr(const std::u16string& name) const {
  for (int i = 0; i < attrCount_; ++i)
    if (names_[i] == name) return &values_[i];
  return nullptr;
}

size_t CHtmlParser::FindGt(size_t from) const {
  // The first '>' at or after a position only moves forward as the position does, so one
  // search serves every '<' before it: a text full of '<' stays linear.
  if (!gtKnown_ || (nextGt_ != std::u16string::npos && nextGt_ < from)) {
    nextGt_ = input_.find(u'>', from);
    gtKnown_ = true;
  }
  return nextGt_;
}

bool CHtmlParser::MatchOpenTag(size_t lt, OpenTag* out) const {
  const std::u16string& s = input_;
  if (lt + 1 >= s.size() || !IsNameStart(s[lt + 1])) return false;
  size_t gt = FindGt(lt);
  if (gt == std::u16string::npos) return false;
  size_t end = s[gt - 1] == u'/' ? gt - 1 : gt;
  // A name ends at the first space before its end; only short names can be tags.
  size_t limit = std::min(end, lt + kMaxNameSpan + 1);
  for (size_t i = lt + 1; i < limit; ++i) {
    if (s[i] == u' ') {
      end = i;
      break;
    }
  }
  size_t span = end - lt;
  if (span < kMinNameSpan || span > kMaxNameSpan) return false;
  std::u16string name = s.substr(lt + 1, end - lt - 1);
  if (!InTagSet(name)) return false;
  out->gt = gt;
  out->name = std::move(name);
  return true;
}

bool CHtmlParser::MatchCloseTag(size_t lt, OpenTag* out) const {
  const std::u16string& s = input_;
  if (lt + 1 >= s.size() || s[lt + 1] != u'/') return false;
  size_t gt = FindGt(lt + 2);
  if (gt == std::u16string::npos) return false;
  // Longer names cannot occur in the tag set.
  if (gt - lt - 2 > kMaxNameSpan) return false;
  for (size_t i = lt + 2; i < gt; ++i)
    if (!IsNameStart(s[i])) return false;
  std::u16string name = s.substr(lt + 2, gt - lt - 2);
  if (!InTagSet(name)) return false;
  out->gt = gt;
  out->name = std::move(name);
  return true;
}

std::unique_ptr<CHtmlTag> CHtmlParser::ReadTag(size_t lt, const OpenTag& t) const {
  const std::u16string& s = input_;
  const size_t gt = t.gt;
  auto tag = std::make_unique<CHtmlTag>();
  tag->selfClosing_ = s[gt - 1] == u'/';
  tag->name_ = t.name;
  // Attributes: from each space, the next `="` opens a value that runs to the next '"'.
  // A space inside a value starts another search; such nonsense names never match a
  // lookup by exact name, so they are harmless. Everything searched for must lie before
  // the tag's '>', so the searches stop there, and the next `="` is remembered between
  // spaces, keeping long tags linear.
  auto findBefore = [&s, gt](char16_t c, size_t from) {
    for (size_t i = from; i < gt; ++i)
      if (s[i] == c) return i;
    return std::u16string::npos;
  };
  size_t eq = std::u16string::npos;
  bool eqKnown = false;
  size_t space = findBefore(u' ', lt + 1);
  while (tag->attrCount_ < CHtmlTag::kMaxAttributes && space != std::u16string::npos) {
    if (!eqKnown || (eq != std::u16string::npos && eq < space + 1)) {
      eq = std::u16string::npos;
      for (size_t i = space + 1; i + 1 < gt; ++i) {
        if (s[i] == u'=' && s[i + 1] == u'"') {
          eq = i;
          break;
        }
      }
      eqKnown = true;
    }
    if (eq != std::u16string::npos) {
      size_t close = findBefore(u'"', eq + 2);
      if (close != std::u16string::npos) {
        int i = tag->attrCount_++;
        tag->names_[i] = s.substr(space + 1, eq - space - 1);
        tag->values_[i] = s.substr(eq + 2, close - eq - 2);
      }
    }
    space = findBefore(u' ', space + 2);
  }
  return tag;
}

std::vector<std::unique_ptr<CHtmlTag>>* CHtmlParser::OpenStack(const std::u16string& name, bool create) {
  // Names are fragments of the tag set, so there are only ever a few stacks.
  for (auto& entry : openTags_)
    if (entry.first == name) return &entry.second;
  if (!create) return nullptr;
  openTags_.emplace_back(name, std::vector<std::unique_ptr<CHtmlTag>>());
  return &openTags_.back().second;
}

void CHtmlParser::AddText(size_t from, size_t to) {
  auto text = std::make_unique<CHtmlText>();
  text->SetText(input_.substr(from, to - from));
  objectPtrs_.push_back(text.get());
  objects_.push_back(std::move(text));
}

int CHtmlParser::Parse(const std::u16string& text) {
  objects_.clear();
  objectPtrs_.clear();
  tags_.clear();
  tagPtrs_.clear();
  openTags_.clear();
  input_ = text;
  gtKnown_ = false;
  if (input_.empty()) return 0;

  auto listTag = [this](std::unique_ptr<CHtmlTag> tag) {
    tagPtrs_.push_back(tag.get());
    tags_.push_back(std::move(tag));
  };
  const std::u16string& s = input_;
  size_t pending = 0;
  size_t lt = s.find(u'<');
  while (lt != std::u16string::npos) {
    OpenTag t;
    bool open = MatchOpenTag(lt, &t);
    if (!open && !MatchCloseTag(lt, &t)) {
      lt = s.find(u'<', lt + 1);
      continue;
    }
    if (lt > pending) AddText(pending, lt);
    pending = t.gt + 1;
    const int count = static_cast<int>(objectPtrs_.size());
    if (!open) {
      if (auto* stack = OpenStack(t.name, false); stack && !stack->empty()) {
        stack->back()->end_ = count;
        listTag(std::move(stack->back()));
        stack->pop_back();
      }
    } else if (t.name == u"img") {
      std::unique_ptr<CHtmlTag> tag = ReadTag(lt, t);
      tag->start_ = count;
      const std::u16string* src = tag->GetAttr(u"src");
      const std::u16string* width = tag->GetAttr(u"width");
      const std::u16string* height = tag->GetAttr(u"height");
      if (src && width && height) {
        auto image = std::make_unique<CHtmlImage>();
        image->SetSource(*src);
        image->SetWidth(ReadDigits(*width));
        image->SetHeight(ReadDigits(*height));
        objectPtrs_.push_back(image.get());
        objects_.push_back(std::move(image));
      }
      tag->end_ = static_cast<int>(objectPtrs_.size());
      listTag(std::move(tag));
    } else if (t.name == u"br") {
      auto br = std::make_unique<CHtmlText>();
      br->SetText(u"\r\n");
      objectPtrs_.push_back(br.get());
      objects_.push_back(std::move(br));
    } else {
      std::unique_ptr<CHtmlTag> tag = ReadTag(lt, t);
      if (tag->selfClosing_) {
        listTag(std::move(tag));
      } else {
        tag->start_ = count;
        OpenStack(t.name, true)->push_back(std::move(tag));
      }
    }
    lt = s.find(u'<', pending);
  }
  if (pending < s.size()) AddText(pending, s.size());
  return 1;
}

CHtmlObject* const* CHtmlParser::GetObjects(int* count) const {
  if (count) *count = static_cast<int>(objectPtrs_.size());
  return objectPtrs_.data();
}

CHtmlTag* const* CHtmlParser::GetTags(int* count) const {
  if (count) *count = static_cast<int>(tagPtrs_.size());
  return tagPtrs_.data();
}

ColorRef ParseHtmlColor(const std::u16string& value) {
  // The first character is the '#'; an empty value has nothing to read.
  return value.empty() ? 0 : RgbToColorRef(ReadHex(value, 1));
}

namespace {

constexpr int kMinTextSize = 50;
// Larger sizes are cut so that layout coordinates stay far from integer overflow.
constexpr int kMaxTextSize = 10000;

void ApplyFont(const CHtmlTag& tag, CHtmlObject* const* objects, int from, int to, ColorRef defaultColor,
               int defaultSize) {
  ColorRef color = defaultColor;
  uint32_t background = 0;
  int size = defaultSize;
  if (const std::u16string* v = tag.GetAttr(u"color")) color = ParseHtmlColor(*v);
  if (const std::u16string* v = tag.GetAttr(u"style")) {
    static const std::u16string kBackground = u"background-color:#";
    size_t at = v->find(kBackground);
    if (at != std::u16string::npos) {
      size_t hash = v->find(u'#', at);
      background = kHasBackground | RgbToColorRef(ReadHex(*v, hash + 1));
    }
  }
  if (const std::u16string* v = tag.GetAttr(u"size")) {
    int points = ReadInt(*v);
    if (points > kMaxTextSize / 10) points = kMaxTextSize / 10;
    if (points < 0) points = 0;
    size = points * 10 < kMinTextSize ? kMinTextSize : points * 10;
  }
  const std::u16string* face = tag.GetAttr(u"face");
  auto flag = [&tag](const char16_t* name) {
    const std::u16string* v = tag.GetAttr(name);
    return v && *v == u"1" ? 1 : 0;
  };
  int bold = flag(u"bold"), underline = flag(u"underline"), italic = flag(u"italic");
  int strikeout = flag(u"strikeout");
  for (int i = from; i < to; ++i) {
    if (!IsNodeOfType(*objects[i], u"HtmlText")) continue;
    TextStyle& style = static_cast<CHtmlText*>(objects[i])->Style();
    style.color = color;
    style.background = background;
    style.size = size;
    style.face = face ? std::optional<std::u16string>(*face) : std::nullopt;
    style.bold = bold;
    style.underline = underline;
    style.italic = italic;
    style.strikeout = strikeout;
  }
}

}  // namespace

void ApplyHtmlTags(const CHtmlParser& parser, ColorRef defaultColor, int defaultSize) {
  int tagCount = 0, objectCount = 0;
  CHtmlTag* const* tags = parser.GetTags(&tagCount);
  CHtmlObject* const* objects = parser.GetObjects(&objectCount);
  for (int t = 0; t < tagCount; ++t) {
    const CHtmlTag& tag = *tags[t];
    int from = tag.GetStart() < 0 ? 0 : tag.GetStart();
    int to = tag.GetEnd() > objectCount ? objectCount : tag.GetEnd();
    if (tag.GetName() == u"font") {
      ApplyFont(tag, objects, from, to, defaultColor, defaultSize);
    } else if (tag.GetName() == u"a") {
      const std::u16string* href = tag.GetAttr(u"href");
      if (!href) continue;
      for (int i = from; i < to; ++i) {
        if (IsNodeOfType(*objects[i], u"HtmlText")) static_cast<CHtmlText*>(objects[i])->SetLink(href);
        else if (IsNodeOfType(*objects[i], u"HtmlImage")) static_cast<CHtmlImage*>(objects[i])->SetLink(href);
      }
    }
  }
}

}  // namespace richtext
