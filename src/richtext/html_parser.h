// The HTML subset used for widget content, the rich-text clipboard format and the anchors
// of downloaded pages: tags <font>, <a>, <br>, <img> with double-quoted attributes.
//
// CHtmlParser turns a string into a flat list of content nodes (text runs and images) and
// a list of the tags that enclose ranges of that list. It never fails: whatever is not a
// recognised tag stays in the text as literal characters and unclosed tags are not listed.
// Styles are applied afterwards by the reader (ApplyHtmlTags does it for the engine).
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace richtext {

// 0x00BBGGRR: red in the low byte, as GDI wants it.
using ColorRef = uint32_t;

// A background field holds this bit together with the colour when a run has a background.
constexpr uint32_t kHasBackground = 0xFF000000u;
constexpr int kDefaultTextSize = 90;  // tenths of a point

class CHtmlObject {
 public:
  virtual ~CHtmlObject() = default;
  // Callers tell node kinds apart by this name, then down-cast.
  virtual const char16_t* GetTypeName() const = 0;
};

// Node kinds are told apart by type name.
inline bool IsNodeOfType(const CHtmlObject& node, std::u16string_view name) { return name == node.GetTypeName(); }

// The style of a run of text: what the parser gives a run and what the engine inserts.
struct TextStyle {
  ColorRef color = 0;
  uint32_t background = 0;  // 0: no background; otherwise kHasBackground | the colour
  int underline = 0;
  int bold = 0;
  int strikeout = 0;
  int italic = 0;
  int size = kDefaultTextSize;  // tenths of a point
  std::optional<std::u16string> face;  // none: the engine's default face
  std::optional<std::u16string> link;  // none: not a link

  bool HasBackground() const { return background >= 0x1000000u; }
  ColorRef BackgroundColor() const { return background & 0xFFFFFFu; }
};

// One run of text with one style.
class CHtmlText : public CHtmlObject {
 public:
  const char16_t* GetTypeName() const override { return u"HtmlText"; }

  const std::u16string& GetText() const { return text_; }
  void SetText(std::u16string text) { text_ = std::move(text); }
  const TextStyle& GetStyle() const { return style_; }
  TextStyle& Style() { return style_; }
  ColorRef GetColor() const { return style_.color; }
  uint32_t GetBackground() const { return style_.background; }
  int GetUnderline() const { return style_.underline; }
  int GetBold() const { return style_.bold; }
  int GetStrikeout() const { return style_.strikeout; }
  int GetItalic() const { return style_.italic; }
  int GetSize() const { return style_.size; }
  // nullptr when the run uses the engine's default face / is not a link.
  const std::u16string* GetFace() const { return style_.face ? &*style_.face : nullptr; }
  const std::u16string* GetLink() const { return style_.link ? &*style_.link : nullptr; }
  void SetLink(const std::u16string* link) {
    style_.link = link ? std::optional<std::u16string>(*link) : std::nullopt;
  }

 private:
  std::u16string text_;
  TextStyle style_;
};

// One inline image.
class CHtmlImage : public CHtmlObject {
 public:
  const char16_t* GetTypeName() const override { return u"HtmlImage"; }

  const std::u16string& GetSource() const { return source_; }
  void SetSource(std::u16string s) { source_ = std::move(s); }
  const std::u16string* GetLink() const { return link_ ? &*link_ : nullptr; }
  void SetLink(const std::u16string* link) { link_ = link ? std::optional<std::u16string>(*link) : std::nullopt; }
  int GetWidth() const { return width_; }
  void SetWidth(int w) { width_ = w; }
  int GetHeight() const { return height_; }
  void SetHeight(int h) { height_ = h; }

 private:
  std::u16string source_;
  std::optional<std::u16string> link_;
  int width_ = 0;
  int height_ = 0;
};

// One tag and the range [start, end) of content nodes it encloses.
class CHtmlTag : public CHtmlObject {
 public:
  static constexpr int kMaxAttributes = 20;

  const char16_t* GetTypeName() const override { return u"HtmlTag"; }

  int GetStart() const { return start_; }
  int GetEnd() const { return end_; }
  bool IsSelfClosing() const { return selfClosing_; }
  const std::u16string& GetName() const { return name_; }
  int GetAttrCount() const { return attrCount_; }
  const std::u16string& GetAttrName(int i) const { return names_[i]; }
  const std::u16string& GetAttrValue(int i) const { return values_[i]; }
  // The value of the first attribute whose name equals `name` exactly, or nullptr.
  const std::u16string* GetAttr(const std::u16string& name) const;

 private:
  friend class CHtmlParser;
  int start_ = -1;
  int end_ = -1;
  bool selfClosing_ = false;
  std::u16string name_;
  std::u16string values_[kMaxAttributes];
  std::u16string names_[kMaxAttributes];
  int attrCount_ = 0;
};

class CHtmlParser : public CHtmlObject {
 public:
  const char16_t* GetTypeName() const override { return u"HtmlParser"; }

  // Replaces the previous result (its node pointers become invalid). 0 for empty text.
  int Parse(const std::u16string& text);
  // Text runs and images in document order.
  CHtmlObject* const* GetObjects(int* count) const;
  // Complete tags only, inner tags before the tags that enclose them.
  CHtmlTag* const* GetTags(int* count) const;

 private:
  struct OpenTag {
    size_t gt;          // index of the tag's first '>'
    std::u16string name;
  };
  bool MatchOpenTag(size_t lt, OpenTag* out) const;
  bool MatchCloseTag(size_t lt, OpenTag* out) const;
  std::unique_ptr<CHtmlTag> ReadTag(size_t lt, const OpenTag& t) const;
  size_t FindGt(size_t from) const;
  void AddText(size_t from, size_t to);
  std::vector<std::unique_ptr<CHtmlTag>>* OpenStack(const std::u16string& name, bool create);

  std::vector<std::unique_ptr<CHtmlObject>> objects_;
  std::vector<CHtmlObject*> objectPtrs_;
  std::vector<std::unique_ptr<CHtmlTag>> tags_;
  std::vector<CHtmlTag*> tagPtrs_;
  // Tags whose close tag has not come yet, one stack per name: a close tag takes the
  // most recent open tag of its own name and leaves the others open.
  std::vector<std::pair<std::u16string, std::vector<std::unique_ptr<CHtmlTag>>>> openTags_;
  std::u16string input_;
  mutable size_t nextGt_ = 0;
  mutable bool gtKnown_ = false;
};

// "#rrggbb" (the first character is skipped, hex digits read until the first other
// character) as a COLORREF.
ColorRef ParseHtmlColor(const std::u16string& value);

// Applies the meanings of <font> and <a> to the parsed nodes, in tag-list order: every
// <font> restyles the text runs in its range from the given defaults (so an enclosing
// tag, listed after the inner one, wins); every <a href> sets the link of its nodes.
void ApplyHtmlTags(const CHtmlParser& parser, ColorRef defaultColor, int defaultSize);

}  // namespace richtext
