#!/usr/bin/env python3
"""Draws the widget frame and button images (32-bit RGBA PNG) with no dependency
beyond the standard library: every pixel is sampled 8 x 8 times and averaged, so
edges are smooth.

The frame is cut from one drawing of a whole frame so that the pieces join without
seams. The widget paints its title strip and body over the inner part of the frame,
so only the ring outside that area shows: a thin outline around the card and a soft
shadow that falls slightly downwards.

Every image is drawn at 1x, 1.5x and 2x (the names of the larger ones end in "_150" and
"_200"), so that a widget on a high-DPI monitor uses a drawing made for its size instead of
a blurred enlargement.

Run: python3 draw_widget_images.py   (writes the PNGs beside this script)
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 8  # samples per pixel along each axis


def write_png(path, w, h, rgba):
    """rgba: list of rows, each a list of (r, g, b, a) tuples of ints 0..255."""
    raw = bytearray()
    for row in rgba:
        raw.append(0)  # filter: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def over(top, bottom):
    """Source-over of two non-premultiplied colours given as (r, g, b, a) floats 0..1."""
    ta, ba = top[3], bottom[3]
    a = ta + ba * (1 - ta)
    if a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((top[i] * ta + bottom[i] * ba * (1 - ta)) / a for i in range(3)) + (a,)


def render(w, h, shade):
    """shade(x, y) -> (r, g, b, a) floats for a point; averaged over SS x SS samples."""
    rows = []
    for py in range(h):
        row = []
        for px in range(w):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = shade(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            a = acc[3] / n
            if a > 0:
                col = tuple(int(round(min(1.0, acc[i] / acc[3]) * 255)) for i in range(3))
            else:
                col = (0, 0, 0)
            row.append(col + (int(round(a * 255)),))
        rows.append(row)
    return rows


def rounded_rect_distance(x, y, left, top, right, bottom, radius):
    """Signed distance from a point to a rounded rectangle (negative inside)."""
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    dx, dy = x - cx, y - cy
    inside_core = left + radius <= x <= right - radius or top + radius <= y <= bottom - radius
    d = math.hypot(dx, dy) - radius
    if inside_core and left <= x <= right and top <= y <= bottom:
        d = -min(x - left, right - x, y - top, bottom - y)
    return d


# --- The frame -------------------------------------------------------------------------
# A whole frame of FW x FH pixels. The card (title strip and body, painted by the widget)
# covers x 4 .. FW-5 and y 5 .. FH-7; the frame shows around it.
FW, FH = 40, 40
CARD = (4.0, 5.0, FW - 5.0, FH - 7.0)
OUTLINE = (0.36, 0.38, 0.42)  # slate grey
SHADOW = (0.0, 0.0, 0.0)


def frame_shade(x, y):
    left, top, right, bottom = CARD
    # The soft shadow: the card moved 1.5 pixels down, faded out over about 4 pixels.
    ds = rounded_rect_distance(x, y, left + 0.5, top + 1.5, right - 0.5, bottom + 1.5, 3.0)
    shadow_a = 0.0
    if ds > -1.0:
        t = max(ds, 0.0)
        shadow_a = 0.30 * math.exp(-(t * t) / 5.0)
    col = (SHADOW[0], SHADOW[1], SHADOW[2], shadow_a)
    # The outline: a one-pixel ring just outside the card, rounded at the corners.
    do = rounded_rect_distance(x, y, left - 1.0, top - 1.0, right + 1.0, bottom + 1.0, 2.5)
    if -1.0 <= do <= 0.0:
        col = over((OUTLINE[0], OUTLINE[1], OUTLINE[2], 0.78), col)
    # Inside the outline the widget paints its own colours; leave it clear there.
    if do < -1.0:
        col = (0.0, 0.0, 0.0, 0.0)
    return col


def scaled(shade, scale):
    """The drawing `shade` enlarged `scale` times: the same shapes, drawn with more pixels."""
    return lambda x, y: shade(x / scale, y / scale)


def px(v, scale):
    """A 1x length in pixels at `scale`, rounded half up as the program rounds."""
    return int(v * scale + 0.5)


def crop(rows, x0, y0, w, h):
    return [row[x0:x0 + w] for row in rows[y0:y0 + h]]


# --- Buttons ---------------------------------------------------------------------------
BUTTON_BG = (1.0, 1.0, 1.0)
BUTTON_EDGE = (0.45, 0.48, 0.53)
GLYPH = (0.22, 0.25, 0.30)


def button_base(x, y):
    """A round, slightly raised white button with a thin grey ring, 20 x 20."""
    d = math.hypot(x - 10.0, y - 10.0)
    if d > 9.5:
        return (0.0, 0.0, 0.0, 0.0)
    if d > 8.5:
        return BUTTON_EDGE + (0.85,)
    # A faint top-to-bottom sheen.
    k = 0.97 - 0.07 * (y / 20.0)
    return (BUTTON_BG[0] * k, BUTTON_BG[1] * k, BUTTON_BG[2] * k + 0.01, 0.92)


def segment_distance(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - (ax + t * vx), py - (ay + t * vy))


def in_triangle(px, py, a, b, c):
    def sign(p1, p2, p3):
        return (p1[0] - p3[0]) * (p2[1] - p3[1]) - (p2[0] - p3[0]) * (p1[1] - p3[1])
    d1, d2, d3 = sign((px, py), a, b), sign((px, py), b, c), sign((px, py), c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def refresh_shade(x, y):
    col = button_base(x, y)
    if col[3] == 0:
        return col
    # A circular arrow: an arc of radius 4.6 from 40 to 320 degrees, with a head at its end.
    d = math.hypot(x - 10.0, y - 10.0)
    ang = math.degrees(math.atan2(10.0 - y, x - 10.0)) % 360
    on_arc = abs(d - 4.6) <= 0.85 and 50 <= ang <= 330
    head = in_triangle(x, y, (13.2, 3.6), (16.6, 8.4), (11.4, 9.0))
    if on_arc or head:
        return GLYPH + (1.0,)
    return col


def menu_shade(x, y):
    col = button_base(x, y)
    if col[3] == 0:
        return col
    # Three short bars: the usual sign for a menu.
    for by in (6.6, 10.0, 13.4):
        if segment_distance(x, y, 6.3, by, 13.7, by) <= 0.8:
            return GLYPH + (1.0,)
    return col


def grip_shade(x, y):
    # Three diagonal rows of dots in the bottom-right corner, 8 x 8.
    for cx, cy in ((6.0, 6.0), (3.0, 6.0), (6.0, 3.0), (0.0 + 1.5, 6.5), (6.5, 1.5), (4.0, 4.0)):
        if math.hypot(x - cx, y - cy) <= 0.9:
            return OUTLINE + (0.8,)
    return (0.0, 0.0, 0.0, 0.0)


SCALES = {100: "", 150: "_150", 200: "_200"}


def main():
    for percent, suffix in SCALES.items():
        s = percent / 100.0
        fw, fh = px(FW, s), px(FH, s)
        frame = render(fw, fh, scaled(frame_shade, s))
        # name: (x, y, w, h) cut out of the whole frame, in 1x units
        pieces = {
            "frame_top_left": (0, 0, 10, 5),
            "frame_top_right": (FW - 10, 0, 10, 5),
            "frame_top": (10, 0, 1, 5),
            "frame_left_upper": (0, 5, 5, 5),
            "frame_left": (0, 10, 5, 1),
            "frame_right_upper": (FW - 5, 5, 5, 5),
            "frame_right": (FW - 5, 10, 5, 1),
            "frame_bottom_left": (0, FH - 7, 10, 7),
            "frame_bottom_right": (FW - 10, FH - 7, 10, 7),
            "frame_bottom": (10, FH - 7, 1, 7),
        }
        for name, (x0, y0, w, h) in pieces.items():
            # Edges measured from the right or bottom stay flush with the scaled frame.
            x = fw - px(FW - x0, s) if x0 >= FW / 2 else px(x0, s)
            y = fh - px(FH - y0, s) if y0 >= FH / 2 else px(y0, s)
            write_png(os.path.join(HERE, name + suffix + ".png"), px(w, s), px(h, s),
                      crop(frame, x, y, px(w, s), px(h, s)))
        for name, size, shade in (("resize_grip", 8, grip_shade), ("button_refresh", 20, refresh_shade),
                                  ("button_menu", 20, menu_shade)):
            n = px(size, s)
            write_png(os.path.join(HERE, name + suffix + ".png"), n, n, render(n, n, scaled(shade, s)))


if __name__ == "__main__":
    main()
