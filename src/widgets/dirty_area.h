// What a widget must compose again at its next paint: nothing, one rectangle holding every
// part asked for, or the whole image.
#pragma once
#include <algorithm>

#include "ui/rect.h"

namespace widgets {

class DirtyArea {
 public:
  // Adds a rectangle in window coordinates; an empty one adds nothing.
  void Add(const ui::Rect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    if (!any_) {
      area_ = r;
      any_ = true;
      return;
    }
    area_ = {std::min(area_.left, r.left), std::min(area_.top, r.top), std::max(area_.right, r.right),
             std::max(area_.bottom, r.bottom)};
  }
  void AddAll() { all_ = true; }
  bool empty() const { return !all_ && !any_; }
  bool all() const { return all_; }

  // The part of a w x h image to compose, inside it (empty when none), and starts over.
  ui::Rect Take(int w, int h) {
    ui::Rect r = all_ ? ui::Rect{0, 0, w, h} : area_;
    if (!all_ && !any_) r = {};
    all_ = any_ = false;
    area_ = {};
    r = {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, w), std::min(r.bottom, h)};
    if (r.right <= r.left || r.bottom <= r.top) return {};
    return r;
  }

 private:
  bool all_ = false, any_ = false;
  ui::Rect area_;
};

}  // namespace widgets
