"""Widgets on a 200 % display (LogPixels 192) against the same widgets at 100 %: twice the
width and text twice the height, the first-run tip and the failure toast scaled with them;
a widget stored on a monitor that is gone comes up inside the work area, its stored place
kept; and the data.dat written at 200 % keeps every widget in view at 100 %. Runs in a Wine
prefix of its own, whose DPI it changes."""
import time
import unittest

import harness as h

FAILURE = "读取失败！访问服务器失败"


def text_rows(png, rect):
    """The first and last row (relative to rect) holding dark text pixels."""
    rgb = h.rgb_crop(png, rect)
    w = rect[2] - rect[0]
    rows = [y for y in range(rect[3] - rect[1])
            if any(sum(rgb[(y * w + x) * 3:(y * w + x) * 3 + 3]) < 200 for x in range(w))]
    return (rows[0], rows[-1]) if rows else (0, -1)


def text_lines(png, rect):
    """How many bands of rows holding dark text pixels, apart from each other, rect has."""
    rgb = h.rgb_crop(png, rect)
    w = rect[2] - rect[0]
    inked = [any(sum(rgb[(y * w + x) * 3:(y * w + x) * 3 + 3]) < 200 for x in range(w))
             for y in range(rect[3] - rect[1])]
    return sum(1 for y, ink in enumerate(inked) if ink and (y == 0 or not inked[y - 1]))


def size(r):
    return r[2] - r[0], r[3] - r[1]


def inside_screen(r):
    return 0 <= r[0] and r[2] <= h.SCREEN_W and 0 <= r[1] and r[3] <= h.SCREEN_H


class Dpi(unittest.TestCase):
    def setUp(self):
        body = h.rss("dpi", 3)
        self.server = h.Server({"/dpi.xml": (200, {"Content-Type": "application/rss+xml"}, body)})

    def tearDown(self):
        self.server.close()

    def first_run_profile(self):
        """One widget on the screen, one that fails to read its feed, and one stored on a
        monitor left of the screen that is gone; the first load shows the first-run tip."""
        doc = h.profile([h.note(self.server.url("/dpi.xml"), 0.05, 0.05, 2, 255),
                         h.note(self.server.url("/missing.xml"), 0.55, 0.5, 4, 255, height=150),
                         h.note(self.server.url("/dpi.xml"), -2.0, 0.5, 6, 255)])
        return doc.replace(b"<usecount>3</usecount>", b"<usecount>0</usecount>")

    def run_at(self, dpi, data, tag):
        """Runs the program on `data` (data.dat's bytes) at `dpi`; returns the rectangles of
        its widgets (top to bottom, left to right) and of the alpha popups, the screenshot,
        and data.dat (as text and as bytes) after the program quit."""
        h.use_dpi(dpi)
        h.reset_user_data()
        program = h.Program()
        try:
            pid = program.start_on(data)
            self.assertIsNotNone(pid, "the main window never appeared")

            def own(cls):
                return [w for w in h.windows() if w.pid == pid and w.cls == cls and w.visible]

            saved = program.saved

            self.assertTrue(h.wait_for(lambda: len(own("PelinorWidget")) == 3 and saved().count("dpi 第3条") == 2,
                                       30), own("PelinorWidget"))
            popups = {}
            if b"<usecount>0</usecount>" in data:
                toast = h.wait_for(lambda: [w for w in own("AlphaWindow") if w.title == FAILURE], 20)
                self.assertTrue(toast, "no failure toast")
                popups["toast"] = toast[0].rect
                popups["tip"] = [w for w in own("AlphaWindow") if w.title != FAILURE][0].rect
            time.sleep(1.0)
            shot = h.screenshot("dpi-%s.png" % tag)
            rects = sorted((w.rect for w in own("PelinorWidget")), key=lambda r: (r[1], r[0]))
            self.assertEqual(program.quit(), 0)
            with open(program.file("data.dat"), "rb") as f:
                raw = f.read()
            return rects, popups, shot, saved(), raw
        finally:
            program.stop(kill=True)

    def test_twice_the_size_at_200_percent_and_every_widget_in_view(self):
        (one96, failing96, lost96), popups96, shot96, saved96, _ = self.run_at(96, self.first_run_profile(), "96")
        (one192, failing192, lost192), popups192, shot192, saved192, raw192 = \
            self.run_at(192, self.first_run_profile(), "192")
        w96, h96 = size(one96)
        w192, h192 = size(one192)
        # Twice the width; twice the height, but for font rasterising (a font twice the
        # height is not exactly twice as tall in every glyph).
        self.assertAlmostEqual(w192, 2 * w96, delta=2)
        self.assertAlmostEqual(h192 / h96, 2.0, delta=0.05)

        # The text block of the content: twice as tall.
        def content(r, dpi):
            k = dpi // 96
            return (r[0] + 10 * k, r[1] + 39 * k, r[2] - 10 * k, r[3] - 20 * k)
        top96, bottom96 = text_rows(shot96, content(one96, 96))
        top192, bottom192 = text_rows(shot192, content(one192, 192))
        self.assertGreater(bottom96 - top96, 20)
        self.assertAlmostEqual((bottom192 - top192) / (bottom96 - top96), 2.0, delta=0.15)

        # The first-run tip is twice the size and shows all three lines of its hint at both
        # (a tip that kept its size would cut the larger text off).
        self.assertEqual(size(popups192["tip"]), tuple(2 * v for v in size(popups96["tip"])))
        for popups, shot, k in ((popups96, shot96, 1), (popups192, shot192, 2)):
            tip = popups["tip"]  # arrow above: the text starts 40 units down, under the close box
            text = (tip[0] + 2 * k, tip[1] + 38 * k, tip[2] - 2 * k, tip[3] - 2 * k)
            self.assertEqual(text_lines(shot, text), 3, "the hint's lines at %d DPI" % (96 * k))
        # The failure toast's text is twice as tall, so is the toast (within rasterising).
        self.assertAlmostEqual(size(popups192["toast"])[1] / size(popups96["toast"])[1], 2.0, delta=0.15)
        self.assertAlmostEqual(size(popups192["toast"])[0] / size(popups96["toast"])[0], 2.0, delta=0.15)

        # The widget stored at x = -2 screens comes up inside the screen (1280 x 800, no
        # taskbar), its height from the top kept, and data.dat still holds its place.
        for lost in (lost96, lost192):
            self.assertTrue(inside_screen(lost), lost)
            self.assertEqual(lost[1], 400, lost)
        for saved in (saved96, saved192):
            self.assertIn('<position x="-2.000000" y="0.500000" width="', saved)
        # Sizes are stored at 96 DPI: the same numbers at both.
        sizes = lambda s: sorted(s.split('width="')[i].split('"')[0] for i in range(1, s.count('width="') + 1))
        self.assertEqual(sizes(saved96), sizes(saved192))

        # The data.dat written at 200 %, read at 100 %: every widget inside the screen, each
        # half the size it had at 200 %, and the lost widget's place still kept.
        again = self.run_at(96, raw192, "192-read-at-96")
        for at96, at192 in zip(again[0], (one192, failing192, lost192)):
            self.assertTrue(inside_screen(at96), at96)
            self.assertAlmostEqual(size(at96)[0], size(at192)[0] / 2, delta=1)
        self.assertIn('<position x="-2.000000" y="0.500000" width="', again[3])


if __name__ == "__main__":
    h.main()
