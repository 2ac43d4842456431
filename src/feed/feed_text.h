// Text as feeds deliver it, turned into what a widget shows: HTML reduced to its text,
// white space collapsed, over-long text cut, and addresses checked before anyone opens
// them.
#pragma once
#include <cstddef>
#include <string>

namespace feed {

// Longest title and summary kept (UTF-16 units); longer ones end in "…".
constexpr size_t kMaxTitleChars = 300;
constexpr size_t kMaxSummaryChars = 240;

bool IsFeedSpace(char16_t c);

// Leading and trailing white space (including no-break and ideographic spaces) removed.
std::u16string Trimmed(const std::u16string& s);

// Runs of white space as one space, trimmed, cut to `maxChars` (0: no limit).
std::u16string CollapsedText(const std::u16string& s, size_t maxChars = 0);

// A title made from an entry's summary, for entries that come without one (the posts of
// social and micro-blog feeds): the summary's start, at most `kDerivedTitleColumns` columns
// wide (a CJK or full-width character, or one outside the BMP, counts two), cut after the
// last sentence that fits, or else after the last word that fits and ended with "…".
// Empty for an empty summary.
constexpr size_t kDerivedTitleColumns = 80;
std::u16string TitleFromSummary(const std::u16string& summary);

// The character an HTML named reference stands for ("nbsp" gives U+00A0): the XML ones,
// HTML's Latin-1 ones and its common typographic and symbol ones. Case matters, as in
// HTML; 0 for any other name.
constexpr size_t kLongestEntityName = 8;
char16_t HtmlNamedCharacter(const std::string& name);

// Character references decoded: numeric ones and the named ones above. An unknown or
// broken reference stays as written.
std::u16string DecodeHtmlEntities(const std::u16string& s);

// An HTML fragment as text: tags and comments removed (script and style with their
// content), references decoded, white space collapsed, cut to `maxChars` (0: no limit).
// Work stops once enough text is gathered.
std::u16string HtmlToText(const std::u16string& html, size_t maxChars = 0);

// `ref` made absolute against `base` when it is relative. Returns an empty string unless
// the result is an http or https address with a host: scripts, data, files, UNC paths
// and the like are never handed on.
std::u16string OpenableAddress(const std::u16string& base, const std::u16string& ref);

}  // namespace feed
