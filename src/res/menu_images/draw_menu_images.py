#!/usr/bin/env python3
"""Draws the 16 x 16 icons of the main menu (32-bit RGBA PNG), with the helpers of the
widget images: settings (a gear), toolbox, options (sliders), desktop files (a folder)
and shutdown timer (a clock); also at 1.5x and 2x (24 and 32 pixels, "_150" and "_200")
for monitors of higher DPI.

Run: python3 draw_menu_images.py   (writes the PNGs beside this script)
"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "widget_images"))
from draw_widget_images import render, rounded_rect_distance, segment_distance, write_png  # noqa: E402

BLUE = (0.20, 0.42, 0.72)
DARK = (0.25, 0.25, 0.28)
ORANGE = (0.90, 0.55, 0.15)
CLEAR = (0.0, 0.0, 0.0, 0.0)


def settings_shade(x, y):
    dx, dy = x - 8, y - 8
    r = math.hypot(dx, dy)
    ang = math.atan2(dy, dx)
    tooth = 0.5 + 0.5 * math.cos(ang * 8)
    outer = 5.2 + 1.6 * (1 if tooth > 0.5 else 0)
    if r <= outer and r >= 2.2:
        return BLUE + (1.0,)
    return CLEAR


def toolbox_shade(x, y):
    if rounded_rect_distance(x, y, 1.5, 5.5, 14.5, 14.0, 1.5) <= 0:
        if 9.0 <= y <= 10.0:
            return DARK + (1.0,)
        return ORANGE + (1.0,)
    # the handle
    if rounded_rect_distance(x, y, 5.0, 2.5, 11.0, 6.5, 1.5) <= 0 and \
            rounded_rect_distance(x, y, 6.2, 3.7, 9.8, 6.5, 0.5) > 0:
        return DARK + (1.0,)
    return CLEAR


def options_shade(x, y):
    for row, knob in ((4.0, 10.5), (8.0, 5.0), (12.0, 9.0)):
        if math.hypot(x - knob, y - row) <= 2.0:
            return BLUE + (1.0,)
        if segment_distance(x, y, 2.0, row, 14.0, row) <= 0.7:
            return DARK + (1.0,)
    return CLEAR


def folder_shade(x, y):
    if rounded_rect_distance(x, y, 1.5, 4.5, 14.5, 13.5, 1.0) <= 0:
        return (0.95, 0.75, 0.25, 1.0)
    if rounded_rect_distance(x, y, 1.5, 2.5, 7.0, 5.5, 1.0) <= 0:
        return (0.85, 0.62, 0.15, 1.0)
    return CLEAR


def clock_shade(x, y):
    r = math.hypot(x - 8, y - 8)
    if r <= 7.0:
        if r >= 5.8:
            return DARK + (1.0,)
        if segment_distance(x, y, 8, 8, 8, 3.8) <= 0.7 or segment_distance(x, y, 8, 8, 11, 9.5) <= 0.7:
            return DARK + (1.0,)
        return (1.0, 1.0, 1.0, 1.0)
    return CLEAR


def main():
    for name, shade in (("settings", settings_shade), ("toolbox", toolbox_shade), ("options", options_shade),
                        ("desktop_files", folder_shade), ("shutdown_timer", clock_shade)):
        for scale, suffix in ((1, ""), (1.5, "_150"), (2, "_200")):
            n = int(16 * scale)
            big = (lambda s: lambda x, y: shade(x / s, y / s))(scale)
            write_png(os.path.join(HERE, name + suffix + ".png"), n, n, render(n, n, big))


if __name__ == "__main__":
    main()
