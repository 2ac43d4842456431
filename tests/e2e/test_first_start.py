"""What a new user meets when a feed cannot be read: the widget says it is loading, then
why it failed, in a line that stays above the last items it had, and it recovers on its
own when the feed answers again. Against loopback servers only; the program under test is
the test build, its clock sped up six times: failed widgets first retry after a minute,
10 seconds here."""
import os
import threading
import time
import unittest

import harness as h

# The status line sits on the first line of the content, below the title strip.
LINE_TOP, LINE_BOTTOM = 39, 58


def line_strip(widget):
    l, t, r, b = widget.rect
    return (l + 10, t + LINE_TOP, r - 10, t + LINE_BOTTOM)


def pixels(png, rect, test):
    data = h.rgb_crop(png, rect)
    return sum(1 for i in range(0, len(data) - 2, 3) if test(data[i], data[i + 1], data[i + 2]))


def failure_pixels(png, rect):
    """Pixels in the failure line's colour (#bd0a01) or near it."""
    return pixels(png, rect, lambda r, g, b: r > 140 and g < 70 and b < 70)


def text_pixels(png, rect):
    """Dark pixels: text in the links' colour (#3a3031) on the white theme."""
    return pixels(png, rect, lambda r, g, b: r < 110 and g < 110 and b < 110)


class FirstStart(h.ProgramSession, unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.status = 200
        self.requests = 0
        lock = threading.Lock()

        def feed(req):
            with lock:
                self.requests += 1
            body = h.rss("feed", 3) if self.status == 200 else b"gone"
            req.send_response(self.status)
            req.send_header("Content-Type", "application/rss+xml" if self.status == 200 else "text/plain")
            req.send_header("Content-Length", str(len(body)))
            req.end_headers()
            req.wfile.write(body)

        self.server = h.Server({"/feed.xml": feed})
        self.program = h.Program(clock_scale=6)
        self.service = None

    def tearDown(self):
        self.program.stop()
        self.server.close()
        if self.service:
            self.service.close()

    def widget(self):
        ws = h.wait_for(lambda: len(self.widgets()) == 1 and self.widgets(), 60)
        self.assertTrue(ws, "one widget expected, saw %r" % self.widgets())
        return ws[0]

    def test_a_404_keeps_the_items_under_a_lasting_line_and_recovers_alone(self):
        self.start([h.note(self.server.url("/feed.xml"), 0.05, 0.05, 4, 255)])
        self.assertTrue(h.wait_for(lambda: "feed 第3条" in self.saved(), 30), self.saved())
        w = self.widget()
        shot = h.screenshot("first-start-loaded.png")
        self.assertEqual(failure_pixels(shot, line_strip(w)), 0)

        # The feed goes away; the user presses refresh.
        self.status = 404
        width, height = w.rect[2] - w.rect[0], w.rect[3] - w.rect[1]
        h.probe("click", w.hwnd, width - 60, 20)
        failed = h.wait_for(lambda: failure_pixels(h.screenshot("first-start-failed.png"),
                                                   line_strip(self.widget())) > 20, 15)
        self.assertTrue(failed, "no failure line after the 404")
        # It lasts (a toast would be gone after three seconds), and the items stay below it.
        time.sleep(5)
        w = self.widget()
        shot = h.screenshot("first-start-failed-later.png")
        self.assertGreater(failure_pixels(shot, line_strip(w)), 20)
        below = (w.rect[0] + 10, w.rect[1] + LINE_BOTTOM + 2, w.rect[2] - 10, w.rect[3] - 20)
        self.assertGreater(text_pixels(shot, below), 100, "the last items are no longer shown")
        self.assertGreater(w.rect[3] - w.rect[1], height, "the widget did not grow for the line")
        # Only the items are kept in data.dat, never the line.
        saved = self.saved()
        self.assertIn("feed 第3条", saved)
        self.assertNotIn("读取失败", saved)

        # The feed answers again: the widget recovers without anyone touching it.
        asked = self.requests
        self.status = 200
        recovered = h.wait_for(lambda: failure_pixels(h.screenshot("first-start-recovered.png"),
                                                      line_strip(self.widget())) == 0, 90, 1.0)
        self.assertTrue(recovered, "still failing %d requests later" % (self.requests - asked))
        self.assertGreater(self.requests, asked)
        w = self.widget()
        self.assertEqual(w.rect[3] - w.rect[1], height)

    def test_a_fresh_installation_says_it_is_loading_then_why_it_failed(self):
        # No data.dat: the first widget is made for the first built-in feed, on the
        # service's port, whose stand-in takes its time and then drops the connection.
        def slow_then_drop(req):
            time.sleep(6)
            req.close_connection = True
            req.connection.shutdown(2)

        self.service = h.service({"/feeds/first.xml": slow_then_drop})
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared")
        self.pid = [x for x in h.windows() if x.title == "Dorvane"][0].pid
        w = self.widget()
        time.sleep(1.5)
        shot = h.screenshot("first-start-loading.png")
        w = self.widget()
        self.assertGreater(text_pixels(shot, line_strip(w)), 20, "nothing says it is loading")
        self.assertEqual(failure_pixels(shot, line_strip(w)), 0)
        failed = h.wait_for(lambda: failure_pixels(h.screenshot("first-start-fresh-failed.png"),
                                                   line_strip(self.widget())) > 20, 40, 1.0)
        self.assertTrue(failed, "no failure line after the dropped connection")

    def test_a_first_start_without_an_answer_shows_a_widget_at_once_that_takes_the_makers_source(self):
        # Without a network the configuration does not come. (Wine always reports a
        # connection, so there the request goes out and gets no answer: the stand-in holds it
        # until the test lets the configuration arrive.) Nothing serves the built-in feeds.
        arrive = threading.Event()
        self.addCleanup(arrive.set)  # a held request must end before its server can close
        maker = self.server.url("/feed.xml")

        def configuration(req):
            arrive.wait(120)
            body = ('<?xml version="1.0" encoding="gb2312"?><config><appconfig><thirdparty_news_url>'
                    '<item><name>制作方</name><url>%s</url></item>'
                    '</thirdparty_news_url></appconfig></config>' % maker).encode("gbk")
            req.send_response(200)
            req.send_header("Content-Type", "text/xml")
            req.send_header("Content-Length", str(len(body)))
            req.end_headers()
            req.wfile.write(body)

        self.service = h.service({"/pelinor/appconfig/appconfig.php": configuration})
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared")
        shown = time.time()
        self.pid = [x for x in h.windows() if x.title == "Dorvane"][0].pid
        first = h.wait_for(self.widgets, 3)
        self.assertTrue(first, "no widget within 3 s of the start")
        self.assertLess(time.time() - shown, 3.5)
        w = first[0]
        loading = h.wait_for(lambda: text_pixels(h.screenshot("first-start-waiting.png"), line_strip(w)) > 20, 10)
        self.assertTrue(loading, "the first widget does not say it is loading")
        self.assertEqual(failure_pixels(h.screenshot("first-start-waiting.png"), line_strip(w)), 0)
        self.assertEqual(self.requests, 0, "the widget fetched a feed before it had one")
        self.assertNotIn("<note", self.saved(), "a widget without a feed was saved")

        # The configuration arrives: the same widget reads the maker's first source.
        arrive.set()
        self.assertTrue(h.wait_for(lambda: "feed 第3条" in self.saved(), 30), self.saved())
        self.assertIn("<rssurl>%s</rssurl>" % maker, self.saved())
        self.assertEqual([x.hwnd for x in self.widgets()], [w.hwnd], "not the same single widget")

    def test_a_fresh_installation_without_a_network_says_why(self):
        # Loopback only, and nothing listening: the first widget (made after half a minute
        # offline) cannot reach its feed and says so, then keeps retrying quietly.
        self.program = h.Program(launcher=h.OFFLINE)
        self.program.start()
        self.assertIsNotNone(self.program.main_window(40000), "the main window never appeared")
        self.pid = [x for x in h.windows() if x.title == "Dorvane"][0].pid
        w = self.widget()
        failed = h.wait_for(lambda: failure_pixels(h.screenshot("first-start-offline.png"),
                                                   line_strip(self.widget())) > 20, 30, 1.0)
        self.assertTrue(failed, "no failure line without a network")
        with open(self.program.file("log.txt"), "rb") as f:
            log = f.read().decode("gbk", errors="replace")
        self.assertIn("download third party news failed!", log)
        self.assertNotIn("[error]", log, "a fresh installation logs no error")


if __name__ == "__main__":
    h.main()
