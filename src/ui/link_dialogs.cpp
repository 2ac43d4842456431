#include "ui/link_dialogs.h"

#include <utility>

namespace ui {

bool IsWideSpace(char16_t c) {
  if (c == u' ' || (c >= u'\t' && c <= u'\r')) return true;
  switch (c) {
    case 0x0085: case 0x00A0: case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

std::u16string TrimWide(const std::u16string& s) {
  size_t end = s.size();
  while (end > 0 && IsWideSpace(s[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && IsWideSpace(s[begin])) ++begin;
  return s.substr(begin, end - begin);
}

void LinkInput::SetLink(const NewsLink& link) {
  link_ = link;
  editing_ = true;
}

std::u16string LinkInput::Caption() const { return link_.name.empty() ? kCaptionNewLink : kCaptionEditLink; }

bool LinkInput::Confirm(const std::u16string& nameText, const std::u16string& urlText) {
  link_.name = TrimWide(nameText);
  link_.url = TrimWide(urlText);
  return !editing_;
}

std::vector<NewsLink> CombinedLinks(const std::vector<NewsLink>& remote, const std::vector<NewsLink>& custom) {
  std::vector<NewsLink> all(remote);
  all.insert(all.end(), custom.begin(), custom.end());
  return all;
}

NewsLink ChosenLink(const std::vector<NewsLink>& remote, const std::vector<NewsLink>& custom, int index) {
  if (index < 0) return {};
  size_t i = static_cast<size_t>(index);
  if (i < remote.size()) return remote[i];
  i -= remote.size();
  if (i < custom.size()) return custom[i];
  return {};
}

namespace {
bool InRange(const std::vector<NewsLink>& links, int index) {
  return index >= 0 && static_cast<size_t>(index) < links.size();
}
}  // namespace

bool ReplaceLink(std::vector<NewsLink>* links, int index, const NewsLink& link) {
  if (!InRange(*links, index)) return false;
  (*links)[index] = link;
  return true;
}

bool DeleteLink(std::vector<NewsLink>* links, int index) {
  if (!InRange(*links, index)) return false;
  links->erase(links->begin() + index);
  return true;
}

bool MoveLinkUp(std::vector<NewsLink>* links, int index) {
  if (index <= 0 || !InRange(*links, index)) return false;
  std::swap((*links)[index - 1], (*links)[index]);
  return true;
}

bool MoveLinkDown(std::vector<NewsLink>* links, int index) {
  if (!InRange(*links, index) || !InRange(*links, index + 1)) return false;
  std::swap((*links)[index], (*links)[index + 1]);
  return true;
}

}  // namespace ui
