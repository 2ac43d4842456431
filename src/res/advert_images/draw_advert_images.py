#!/usr/bin/env python3
"""Draws the advert popup's button images (32-bit RGBA PNG) with the standard library
only (the widget images' drawing helpers), each pixel averaged over 8 x 8 samples:

  close_cross.png      15 x 15  the close button's cross
  view_arrow.png       16 x 16  the view button's round arrow
  close_highlight.png  37 x 20  the close button's hover background
  close_separator.png   2 x 19  the line left of the close button

Run: python3 draw_advert_images.py   (writes the PNGs beside this script)
"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "widget_images"))
from draw_widget_images import render, segment_distance, write_png  # noqa: E402


CLEAR = (0.0, 0.0, 0.0, 0.0)
GREY = (0.40, 0.42, 0.45)
BLUE = (66 / 255.0, 111 / 255.0, 156 / 255.0)


def cross(x, y):
    if min(segment_distance(x, y, 4.0, 4.0, 11.0, 11.0), segment_distance(x, y, 11.0, 4.0, 4.0, 11.0)) <= 0.9:
        return GREY + (1.0,)
    return CLEAR


def arrow(x, y):
    d = math.hypot(x - 8.0, y - 8.0)
    if d > 7.5:
        return CLEAR
    # A blue disc with a white chevron pointing right.
    if min(segment_distance(x, y, 6.0, 4.5, 9.5, 8.0), segment_distance(x, y, 9.5, 8.0, 6.0, 11.5)) <= 1.0:
        return (1.0, 1.0, 1.0, 1.0)
    return BLUE + (1.0 if d <= 6.8 else 0.6,)


def highlight(x, y):
    # A light blue rounded box with a slightly darker rim.
    left, top, right, bottom, r = 0.5, 0.5, 36.5, 19.5, 3.0
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    d = math.hypot(x - cx, y - cy) - r if (x < left + r or x > right - r) and (y < top + r or y > bottom - r) \
        else -min(x - left, right - x, y - top, bottom - y)
    if d > 0:
        return CLEAR
    if d > -1.0:
        return (0.60, 0.74, 0.88, 1.0)
    k = y / 20.0
    return (0.86 - 0.06 * k, 0.92 - 0.05 * k, 0.98, 1.0)


def separator(x, y):
    return (0.80, 0.80, 0.80, 1.0) if x < 1.0 else (1.0, 1.0, 1.0, 1.0)


def main():
    for name, w, h, shade in (("close_cross", 15, 15, cross), ("view_arrow", 16, 16, arrow),
                              ("close_highlight", 37, 20, highlight), ("close_separator", 2, 19, separator)):
        write_png(os.path.join(HERE, name + ".png"), w, h, render(w, h, shade))


if __name__ == "__main__":
    main()
