#include "adverts/adv_popup_layout.h"

#include <algorithm>

namespace adverts {
namespace {

int Clamp64(int64_t v, int lo, int hi) { return static_cast<int>(std::min<int64_t>(std::max<int64_t>(v, lo), hi)); }

int ClampSide(int side, int screen) {
  side = std::max(side, kMinPopupSide);
  return screen > 0 ? std::min(side, screen) : side;
}

}  // namespace

PopupLayout LayoutPopup(const AdvertRecord& a, int screenWidth, int screenHeight) {
  PopupLayout l;
  l.screenWidth = screenWidth;
  l.screenHeight = screenHeight;
  int w = a.width, h = a.height;
  if (w <= 0 || h <= 0) {
    w = kDefaultPopupWidth;
    h = kDefaultPopupHeight;
  }
  l.width = w = ClampSide(w, screenWidth);
  l.height = h = ClampSide(h, screenHeight);
  l.left = screenWidth - w - 20;
  l.finalTop = screenHeight - h - 40;
  if (a.slideIn) {
    l.startTop = screenHeight;
    l.startAlpha = 255;
  } else {
    l.startTop = l.finalTop;
    l.startAlpha = 0;
  }
  // Offsets from the service may move the content's corner, never out of the window.
  l.content = {Clamp64(int64_t{a.xoffset} + 20, 0, w - 20), Clamp64(int64_t{a.yoffset} + 35, 0, h - 37), w - 20,
               h - 37};
  l.closeButton = {w - 41, 1, w - 2, 21};
  l.title = {7, 7, l.closeButton.left - 2, 35};
  l.viewButton = {w - 70, h - 25, w - 10, h - 8};
  l.browser = {5, 35, w - 5, h - 37};
  l.bottomBar = {2, h - 32, w - 2, h - 2};
  l.dottedLineY = h - 34;
  return l;
}

std::u16string PopupCaption(const AdvertRecord& a) { return a.title.empty() ? u"Dorvane" : a.title; }

int CountdownSeconds(const AdvertRecord& a) { return a.showtime > 0 ? a.showtime / 1000 + 1 : 0; }

int SlideInStep(const PopupLayout& l, int top, bool* done) {
  const int span = std::max(1, l.screenHeight - l.finalTop);
  const int d = (top - l.finalTop) / span;
  const int next = std::max(top - (2 * d + 1) * kSlideStep / 2, l.finalTop);
  *done = next == l.finalTop;
  return next;
}

int SlideOutStep(const PopupLayout& l, int top, bool* done) {
  const int span = std::max(1, l.screenHeight - l.finalTop);
  const int d = (top - l.finalTop) / span;
  const int next = std::min(top + (2 * d + 1) * kSlideStep * 3 / 4, l.screenHeight);
  *done = next == l.screenHeight;
  return next;
}

int FadeInStep(int alpha, bool* done) {
  const int next = std::min(alpha + kFadeStep, 255);
  *done = next == 255;
  return next;
}

int FadeOutStep(int alpha, bool* done) {
  const int next = std::max(alpha - kFadeStep, 0);
  *done = next == 0;
  return next;
}

PopupRect FitPicture(int w, int h, const PopupRect& box) {
  const int bw = box.width(), bh = box.height();
  if (w <= 0 || h <= 0 || bw <= 0 || bh <= 0) return {box.left, box.top, box.left, box.top};
  int fw = w, fh = h;
  if (w > bw || h > bh) {
    if (int64_t{w} * bh >= int64_t{h} * bw) {  // wider than the box: fit the width
      fw = bw;
      fh = static_cast<int>(std::max<int64_t>(1, int64_t{h} * bw / w));
    } else {
      fh = bh;
      fw = static_cast<int>(std::max<int64_t>(1, int64_t{w} * bh / h));
    }
  }
  const int x = box.left + (bw - fw) / 2, y = box.top + (bh - fh) / 2;
  return {x, y, x + fw, y + fh};
}

PopupRect PictureSquare(const PopupRect& content) {
  const int side = content.height() * 8 / 10;
  return {content.left, content.top, content.left + side, content.top + side};
}

PopupRect TextBesidePicture(const PopupRect& content) {
  PopupRect r = content;
  r.left = std::min(PictureSquare(content).right + 10, content.right);
  return r;
}

}  // namespace adverts
