// How a press and drag on a widget is told apart from dragging its text, and how the
// widget follows the cursor while Ctrl and the left button are held. Portable: the window
// feeds in what happened and carries out the answer.
#pragma once

namespace widgets {

class DragTracker {
 public:
  // A left-button press, inside the content rectangle or elsewhere.
  void Press(bool inContent) { pressArea_ = inContent ? kInContent : kElsewhere; }
  // The pointer rested on the widget: a following drag may move it.
  void Hover() { armed_ = true; }
  // The pointer left the widget: the press no longer counts.
  void Leave() { pressArea_ = kNone; }
  // A mouse move. leftOnly: exactly the left button is down. textDraggable: the engine
  // would drag its text (enabled, and the text at least as tall as its rectangle). True
  // when the widget is to start moving its window now; the press is then used up.
  bool Move(bool leftOnly, bool textDraggable);

  bool armed() const { return armed_; }
  bool pressed() const { return pressArea_ != kNone; }

 private:
  enum PressArea { kNone = 0, kInContent = 1, kElsewhere = 2 };
  PressArea pressArea_ = kNone;
  bool armed_ = false;  // set by hover and drag moves, never cleared
};

// Following the cursor (Ctrl + left button): the window moves by the cursor's movement
// since the last step.
class CursorFollower {
 public:
  void Begin(int cursorX, int cursorY);
  // One step with the cursor at (x, y). False when a key is up: following ends. Otherwise
  // *dx, *dy receive the movement to apply to the window.
  bool Step(int x, int y, bool ctrlDown, bool leftDown, int* dx, int* dy);

 private:
  int lastX_ = 0, lastY_ = 0;
};

}  // namespace widgets
