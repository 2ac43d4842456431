"""Widgets at their own refresh intervals, on a clock sped up 120 times (an hour passes in
30 seconds): a loopback server sees each feed at its own pace and never two in one second,
a busy server's Retry-After holds a five-minute feed for two hours, a failing hourly feed is
retried at least hourly, and the intervals are still there after a restart."""
import threading
import time
import unittest

import harness as h

SCALE = 120


def with_interval(note, seconds):
    return note.replace("\t\t\t<visible>", "\t\t\t<refresh_interval>%d</refresh_interval>\r\n\t\t\t<visible>" % seconds)


class RefreshIntervals(h.ProgramSession, unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.lock = threading.Lock()
        self.asked = {"fast": [], "hourly": [], "usual": []}
        self.busy_at = None

        def route(name):
            def serve(req):
                with self.lock:
                    now = time.time()
                    self.asked[name].append(now)
                    status, headers, body = 200, {"Content-Type": "application/rss+xml"}, h.rss(name, 3)
                    if name == "hourly":
                        status, headers, body = 500, {"Content-Type": "text/plain"}, b"down"
                    elif name == "fast" and len(self.asked["fast"]) == 6:
                        self.busy_at = now
                        status, headers, body = 503, {"Content-Type": "text/plain", "Retry-After": "7200"}, b"busy"
                req.send_response(status)
                for k, v in headers.items():
                    req.send_header(k, v)
                req.send_header("Content-Length", str(len(body)))
                req.end_headers()
                req.wfile.write(body)
            return serve

        self.server = h.Server({"/%s.xml" % n: route(n) for n in self.asked})
        self.program = h.Program(clock_scale=SCALE)

    def tearDown(self):
        self.program.stop()
        self.server.close()

    def notes(self):
        return [with_interval(h.note(self.server.url("/fast.xml"), 0.05, 0.05, 1, 255), 300),
                with_interval(h.note(self.server.url("/hourly.xml"), 0.45, 0.05, 2, 255), 3600),
                h.note(self.server.url("/usual.xml"), 0.05, 0.5, 3, 255)]

    def gaps(self, name):
        t = self.asked[name]
        return [b - a for a, b in zip(t, t[1:])]

    def test_each_feed_at_its_own_pace_and_the_intervals_survive_a_restart(self):
        self.start(self.notes())
        # Until the fast feed's server has said it is busy and the two hours have passed,
        # and the hourly feed's back-off has grown to its hour.
        done = h.wait_for(lambda: self.busy_at and len(self.asked["fast"]) >= 9 and len(self.asked["hourly"]) >= 10,
                          200, 1.0)
        self.assertTrue(done, {k: len(v) for k, v in self.asked.items()})
        with self.lock:
            asked = {k: list(v) for k, v in self.asked.items()}

        # Never two feeds in one second (the start, when every widget loads, aside).
        seconds = {}
        for name, times in asked.items():
            for t in times[1:]:
                seconds.setdefault(int(t), []).append(name)
        self.assertEqual({s: n for s, n in seconds.items() if len(n) > 1}, {})

        # Five minutes are 2.5 s here; the busy answer held the feed for two hours (60 s).
        fast = self.gaps("fast")
        held = [g for t, g in zip(asked["fast"], fast) if t == self.busy_at]
        self.assertEqual(len(held), 1)
        self.assertGreaterEqual(held[0], 7200 / SCALE - 1.5)
        self.assertLessEqual(held[0], (7200 + 60) / SCALE + 3)
        for g in fast:
            if g not in held:
                self.assertGreaterEqual(g, 300 / SCALE - 1.5)
                self.assertLessEqual(g, (300 + 60) / SCALE + 2)
        # The failing hourly feed: sooner at first, never waiting more than its hour (30 s).
        hourly = self.gaps("hourly")
        for g in hourly:
            self.assertLessEqual(g, (3600 + 60) / SCALE + 2)
        for g in hourly[6:]:
            self.assertGreaterEqual(g, 3600 / SCALE - 1.5)
        # The default half hour: 15 s.
        for g in self.gaps("usual"):
            self.assertGreaterEqual(g, 1800 / SCALE - 1.5)
            self.assertLessEqual(g, (1800 + 60) / SCALE + 2)

        # The intervals are saved with their widgets, the default one writes none.
        self.assertEqual(self.program.quit(), 0)
        saved = self.saved()
        self.assertIn("<refresh_interval>300</refresh_interval>", saved)
        self.assertIn("<refresh_interval>3600</refresh_interval>", saved)
        self.assertEqual(saved.count("\t\t\t<refresh_interval>"), 2)  # (the settings' own is one level up)

        # After a restart the fast feed keeps its five minutes, the usual one its half hour.
        with self.lock:
            for v in self.asked.values():
                del v[:]
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared after the restart")
        self.assertTrue(h.wait_for(lambda: len(self.asked["fast"]) >= 6, 30, 0.5), self.asked)
        self.assertLessEqual(len(self.asked["usual"]), 2)


if __name__ == "__main__":
    h.main()
