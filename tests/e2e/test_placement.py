"""Widgets placed as neighbours at 100 %, brought up again at 150 % (their places are
fractions of the screen, their sizes grow): no widget lies over another's refresh or menu
button, and every title strip is on the screen; a feed with a 2,000-character title keeps
its widget one line per item. Runs in the Wine prefix whose DPI tests change."""
import time
import unittest

import harness as h

COLUMNS = (0.02, 0.25, 0.48)  # 260-pixel widgets 35 pixels apart at 1280 pixels wide
ROWS = (0.03, 0.28, 0.53)     # 200 pixels apart at 800 high: a five-item widget is 188 high


def px(units, dpi):
    """96-DPI units in pixels, rounded as the program rounds them."""
    return (units * dpi + 48) // 96


def buttons(r, dpi):
    """The refresh and menu buttons of a widget window at `dpi`, in screen pixels."""
    top, bottom = r[1] + px(10, dpi), r[1] + px(30, dpi)
    return [(r[2] - px(70, dpi), top, r[2] - px(50, dpi), bottom),
            (r[2] - px(35, dpi), top, r[2] - px(15, dpi), bottom)]


def title_strip(r, dpi):
    return (r[0] + px(4, dpi), r[1] + px(5, dpi), r[2] - px(5, dpi), r[1] + px(34, dpi))


def overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


class Placement(unittest.TestCase):
    def setUp(self):
        routes = {"/n%d.xml" % i: (200, {"Content-Type": "application/rss+xml"}, h.rss("n%d" % i, 5))
                  for i in range(len(COLUMNS) * len(ROWS))}
        long_feed = h.rss("long", 3).decode("utf-8").replace("long 第2条", "长" * 2000).encode("utf-8")
        routes["/long.xml"] = (200, {"Content-Type": "application/rss+xml"}, long_feed)
        self.server = h.Server(routes)

    def tearDown(self):
        self.server.close()

    def run_at(self, dpi, data, loaded, tag):
        """Runs the program on `data` (data.dat's bytes) at `dpi` until every feed in
        `loaded` shows in data.dat and the widgets stand still; returns their rectangles
        and the data.dat it wrote on quitting."""
        h.use_dpi(dpi)
        h.reset_user_data()
        program = h.Program()
        try:
            pid = program.start_on(data)
            self.assertIsNotNone(pid, "the main window never appeared")
            count = h.unscramble(data).count(b"<note ")

            def rects():
                return sorted(w.rect for w in h.windows()
                              if w.pid == pid and w.cls == "PelinorWidget" and w.visible)

            self.assertTrue(h.wait_for(lambda: len(rects()) == count and all(n in program.saved() for n in loaded), 60),
                            rects())
            # Each feed shown moves its widget at most once more: standing still for two
            # looks a second apart, they are done.
            last = [None]

            def settled():
                now = rects()
                done = now == last[0]
                last[0] = now
                return done
            self.assertTrue(h.wait_for(settled, 30, interval=1.0))
            shot = h.screenshot("placement-%s.png" % tag)
            result = rects()
            self.assertEqual(program.quit(), 0)
            with open(program.file("data.dat"), "rb") as f:
                raw = f.read()
            return result, raw, shot
        finally:
            program.stop(kill=True)

    def assert_placed(self, rects, dpi):
        for i, r in enumerate(rects):
            strip = title_strip(r, dpi)
            self.assertTrue(0 <= strip[0] and strip[2] <= h.SCREEN_W and 0 <= strip[1] and strip[3] <= h.SCREEN_H,
                            "title strip of %s off the screen" % (r,))
            for j, other in enumerate(rects):
                if i != j:
                    for b in buttons(other, dpi):
                        self.assertFalse(overlap(r, b), "%s lies over a button of %s" % (r, other))

    def test_neighbours_at_100_percent_keep_clear_of_each_others_buttons_at_150(self):
        notes = []
        for row, fy in enumerate(ROWS):
            for col, fx in enumerate(COLUMNS):
                n = row * len(COLUMNS) + col
                notes.append(h.note(self.server.url("/n%d.xml" % n), fx, fy, n % 6 + 1, 230, height=150))
        loaded = ["n%d 第5条" % i for i in range(len(notes))]
        at96, saved96, _ = self.run_at(96, h.profile(notes), loaded, "neighbours-96")
        self.assert_placed(at96, 96)
        # Clear of each other at 100 %: each stands at its stored place.
        stored = sorted((int(fx * h.SCREEN_W + 0.5), int(fy * h.SCREEN_H + 0.5)) for fy in ROWS for fx in COLUMNS)
        self.assertEqual(sorted(r[:2] for r in at96), stored)
        at144, _, shot = self.run_at(144, saved96, loaded, "neighbours-144")
        self.assertGreater(at144[0][2] - at144[0][0], 1.4 * (at96[0][2] - at96[0][0]), "not drawn at 150 %")
        self.assert_placed(at144, 144)

    def test_a_2000_character_title_keeps_its_widget_one_line_per_item(self):
        notes = [h.note(self.server.url("/long.xml"), COLUMNS[0], ROWS[0], 2, 230),
                 h.note(self.server.url("/n1.xml"), COLUMNS[1], ROWS[0], 3, 230),
                 h.note(self.server.url("/n2.xml"), COLUMNS[2], ROWS[0], 4, 230)]
        rects, _, _ = self.run_at(144, h.profile(notes), ["long 第3条", "n1 第5条", "n2 第5条"], "long-title-144")
        self.assert_placed(rects, 144)
        # Three items on three lines against five on five: the shortest of the three.
        by_height = sorted(rects, key=lambda r: r[3] - r[1])
        self.assertLess(by_height[0][3] - by_height[0][1], by_height[1][3] - by_height[1][1])
        # It widened no further than its neighbour's buttons let it, far from the widest.
        self.assertLess(by_height[0][2] - by_height[0][0], px(500, 144), by_height[0])


if __name__ == "__main__":
    h.main()
