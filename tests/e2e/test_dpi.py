"""Widgets on a 200 % display (LogPixels 192) against the same widgets at 100 %: twice the
width and text twice the height; and a widget stored on a monitor that is gone comes up
inside the work area, its stored place kept. Runs in a Wine prefix of its own, whose DPI it
changes."""
import time
import unittest

import harness as h


def text_rows(png, rect):
    """The first and last row (relative to rect) holding dark text pixels."""
    rgb = h.rgb_crop(png, rect)
    w = rect[2] - rect[0]
    rows = [y for y in range(rect[3] - rect[1])
            if any(sum(rgb[(y * w + x) * 3:(y * w + x) * 3 + 3]) < 200 for x in range(w))]
    return (rows[0], rows[-1]) if rows else (0, -1)


class Dpi(unittest.TestCase):
    def setUp(self):
        body = h.rss("dpi", 3)
        self.server = h.Server({"/dpi.xml": (200, {"Content-Type": "application/rss+xml"}, body)})

    def tearDown(self):
        self.server.close()

    def run_at(self, dpi):
        """Runs the program with one widget on the screen and one stored on a monitor left of
        it that is gone; returns their window rectangles, a screenshot and data.dat."""
        h.use_dpi(dpi)
        h.reset_user_data()
        program = h.Program()
        try:
            with open(program.file("data.dat"), "wb") as f:
                f.write(h.profile([h.note(self.server.url("/dpi.xml"), 0.05, 0.05, 2, 255),
                                   h.note(self.server.url("/dpi.xml"), -2.0, 0.5, 6, 255)]))
            program.start()
            self.assertIsNotNone(program.main_window(), "the main window never appeared")
            pid = [w for w in h.windows() if w.title == "Dorvane"][0].pid

            def widgets():
                return [w for w in h.windows() if w.pid == pid and w.cls == "PelinorWidget" and w.visible]

            def saved():
                with open(program.file("data.dat"), "rb") as f:
                    return h.unscramble(f.read()).decode("gbk", errors="replace")

            self.assertTrue(h.wait_for(lambda: len(widgets()) == 2 and saved().count("dpi 第3条") == 2, 30),
                            widgets())
            time.sleep(1.0)
            shot = h.screenshot("dpi%d.png" % dpi)
            rects = sorted((w.rect for w in widgets()), key=lambda r: (r[1], r[0]))
            self.assertEqual(program.quit(), 0)
            return rects, shot, saved()
        finally:
            if program.proc and program.proc.poll() is None:
                program.kill()
            program.cleanup()

    def test_twice_the_size_at_200_percent_and_lost_widgets_come_into_view(self):
        (one96, lost96), shot96, saved96 = self.run_at(96)
        (one192, lost192), shot192, saved192 = self.run_at(192)
        w96, w192 = one96[2] - one96[0], one192[2] - one192[0]
        h96, h192 = one96[3] - one96[1], one192[3] - one192[1]
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

        # The widget stored at x = -2 screens comes up inside the screen (1280 x 800, no
        # taskbar), its height from the top kept, and data.dat still holds its place.
        for lost, k in ((lost96, 1), (lost192, 2)):
            self.assertGreaterEqual(lost[0], 0, lost)
            self.assertLessEqual(lost[2], h.SCREEN_W, lost)
            self.assertEqual(lost[1], 400, lost)
        for saved in (saved96, saved192):
            self.assertIn('<position x="-2.000000" y="0.500000" width="', saved)
        # Sizes are stored at 96 DPI: the same numbers at both.
        self.assertEqual(saved96.count('width="'), saved192.count('width="'))
        sizes = lambda s: sorted(s.split('width="')[i].split('"')[0] for i in range(1, s.count('width="') + 1))
        self.assertEqual(sizes(saved96), sizes(saved192))


if __name__ == "__main__":
    h.main()
