#include "widgets/widget_drag.h"

namespace widgets {

bool DragTracker::Move(bool leftOnly, bool textDraggable) {
  if (!leftOnly || pressArea_ == kNone) return false;
  const bool textDrag = pressArea_ == kInContent && textDraggable;
  if (!textDrag && armed_) {
    pressArea_ = kNone;
    return true;
  }
  armed_ = true;
  return false;
}

void CursorFollower::Begin(int cursorX, int cursorY) {
  lastX_ = cursorX;
  lastY_ = cursorY;
}

bool CursorFollower::Step(int x, int y, bool ctrlDown, bool leftDown, int* dx, int* dy) {
  if (!ctrlDown || !leftDown) return false;
  *dx = x - lastX_;
  *dy = y - lastY_;
  lastX_ = x;
  lastY_ = y;
  return true;
}

}  // namespace widgets
