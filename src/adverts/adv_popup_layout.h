// The advert popup without its window: size and place on the screen, the rectangles of
// its parts, its colours, and the steps of its slide and fade animation.
#pragma once
#include <cstdint>
#include <string>

#include "model/advert_record.h"

namespace adverts {

struct PopupRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool operator==(const PopupRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// Colours as 0xRRGGBB.
constexpr uint32_t kGradientTopColour = 0xEAEAEA;
constexpr uint32_t kGradientBottomColour = 0xFFFFFF;
constexpr uint32_t kBottomBarColour = 0xF3F4F5;
constexpr uint32_t kDottedLineColour = 0xCDCDCD;
constexpr uint32_t kFrameColour = 0xDCDCDC;
constexpr uint32_t kViewTextColour = 0x426F9C;

constexpr int kDefaultPopupWidth = 250;
constexpr int kDefaultPopupHeight = 180;
// A size from the service below this is raised to it; above the screen it is cut.
constexpr int kMinPopupSide = 100;
constexpr int kSlideStep = 30;
constexpr int kFadeStep = 8;
constexpr int kAnimationMs = 30;
constexpr int kHighlightStep = 20;

struct PopupLayout {
  int width = 0, height = 0;    // the popup
  int screenWidth = 0, screenHeight = 0;
  int left = 0;
  int finalTop = 0;
  int startTop = 0;             // below the screen when sliding in
  int startAlpha = 255;         // 0 when fading in
  PopupRect content;            // text, picture
  PopupRect closeButton;
  PopupRect title;
  PopupRect viewButton;
  PopupRect browser;            // where a web page is shown
  PopupRect bottomBar;
  int dottedLineY = 0;
};

PopupLayout LayoutPopup(const AdvertRecord& advert, int screenWidth, int screenHeight);

// The caption: the advert's title, or "Dorvane" without one.
std::u16string PopupCaption(const AdvertRecord& advert);

// Seconds shown before the popup fades (showtime is in milliseconds); 0: no countdown.
int CountdownSeconds(const AdvertRecord& advert);

// One slide step. Returns the new top; `done` is set when the final top (opening) or the
// screen's bottom (closing) is reached.
int SlideInStep(const PopupLayout& l, int top, bool* done);
int SlideOutStep(const PopupLayout& l, int top, bool* done);
// One fade step of the alpha (0..255).
int FadeInStep(int alpha, bool* done);
int FadeOutStep(int alpha, bool* done);

// A picture of `w` x `h` placed in `box`: at its own size and centred when it fits,
// otherwise scaled to fit with its aspect ratio kept and centred along the other axis.
PopupRect FitPicture(int w, int h, const PopupRect& box);
// A picture-and-text advert: the square for the picture at the content's top-left (its
// side 0.8 of the content height) and the text area 10 pixels to its right.
PopupRect PictureSquare(const PopupRect& content);
PopupRect TextBesidePicture(const PopupRect& content);

}  // namespace adverts
