"""Feed widgets on the desktop: a prepared profile of three widgets against a loopback feed
server, driven through their buttons and their menu as a user would."""
import os
import re
import threading
import time
import unittest

import harness as h

class Widgets(h.ProgramSession, unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.slow = threading.Event()
        self.requests = {}

        def feed(name, count):
            def handler(req):
                self.requests[name] = self.requests.get(name, 0) + 1
                if name == "one" and self.slow.is_set():
                    time.sleep(4)  # long enough to see the refresh caption
                body = h.rss(name, count)
                req.send_response(200)
                req.send_header("Content-Type", "application/rss+xml")
                req.send_header("Content-Length", str(len(body)))
                req.end_headers()
                req.wfile.write(body)
            return handler

        self.server = h.Server({"/one.xml": feed("one", 25), "/two.xml": feed("two", 4),
                                "/three.xml": feed("three", 7)})
        self.program = h.Program()

    def tearDown(self):
        self.program.stop()
        self.server.close()

    def test_three_widgets_list_their_feeds_and_follow_the_user(self):
        self.start([h.note(self.server.url("/one.xml"), 0.05, 0.05, 6, 200),
                    h.note(self.server.url("/two.xml"), 0.45, 0.05, 2, 255),
                    h.note(self.server.url("/three.xml"), 0.05, 0.55, 1, 153)])
        ws = h.wait_for(lambda: len(self.widgets()) == 3 and self.widgets(), 30)
        self.assertTrue(ws, "three widgets expected, saw %r" % self.widgets())
        places = sorted((w.rect[0], w.rect[1]) for w in ws)
        expected = sorted((int(fx * h.SCREEN_W + 0.5), int(fy * h.SCREEN_H + 0.5))
                          for fx, fy in ((0.05, 0.05), (0.45, 0.05), (0.05, 0.55)))
        self.assertEqual(places, expected)
        for w in ws:
            self.assertTrue(w.exstyle & 0x80000, "layered")
            self.assertTrue(w.exstyle & 0x80, "tool window")

        # Each widget lists its feed: the content is saved a second after it arrived.
        text = h.wait_for(lambda: all(("%s 第1条" % n) in self.saved() for n in ("one", "two", "three"))
                          and self.saved(), 20)
        self.assertTrue(text, self.saved())
        self.assertIn("one 第10条", text)
        self.assertNotIn("one 第11条", text)  # 25 served, 10 shown
        self.assertIn('<a href="http://127.0.0.1/three/7">three 第7条：桌面订阅的新闻标题</a>', text)
        ws = self.widgets()
        for w in ws:
            width, height = w.rect[2] - w.rect[0], w.rect[3] - w.rect[1]
            self.assertTrue(250 <= width <= 700, w)
            self.assertGreaterEqual(height, 80, w)
        one = min(ws, key=lambda w: (w.rect[1], w.rect[0]))
        self.assertGreater(one.rect[3] - one.rect[1], min(w.rect[3] - w.rect[1] for w in ws))

        # Hovering one widget shows its buttons; keep a picture of the desktop.
        h.probe("move", one.hwnd, 60, 80)
        time.sleep(1.0)
        shot = h.screenshot("widgets_desktop.png")

        # The refresh button: "正在刷新列表..." is painted at the bottom while loading.
        w, hh = one.rect[2] - one.rect[0], one.rect[3] - one.rect[1]
        caption = (one.rect[0] + 5, one.rect[1] + hh - 30, one.rect[0] + w - 5, one.rect[1] + hh - 10)
        before = h.rgb_crop(shot, caption)
        self.slow.set()
        h.probe("click", one.hwnd, w - 60, 20)
        time.sleep(1.5)
        during_shot = h.screenshot("widgets_refreshing.png")
        self.assertNotEqual(h.rgb_crop(during_shot, caption), before, "no refresh caption while loading")
        self.slow.clear()
        time.sleep(4)
        self.assertEqual(h.rgb_crop(h.screenshot("widgets_refreshed.png"), caption), before)

        # Colour and transparency from the menu reach data.dat about a second later.
        two = [x for x in self.widgets() if x.rect[0] > 400][0]
        self.menu_keys(two, [h.VK_DOWN, h.VK_DOWN, h.VK_RIGHT, h.VK_DOWN, h.VK_DOWN, h.VK_RETURN])  # 紫色
        self.assertTrue(h.wait_for(lambda: 'bkcolor_id="3"' in self.saved(), 6), "colour not saved")
        self.menu_keys(two, [h.VK_DOWN, h.VK_DOWN, h.VK_DOWN, h.VK_RIGHT] + [h.VK_DOWN] * 4 + [h.VK_RETURN])  # 20%
        self.assertTrue(h.wait_for(lambda: "<transparent>51</transparent>" in self.saved(), 6),
                        "transparency not saved")

        # "取消订阅" removes a widget; with one left it is disabled.
        for expected_left in (2, 1):
            target = self.widgets()[0]
            self.menu_keys(target, [h.VK_DOWN] * 6 + [h.VK_RETURN])
            self.assertTrue(h.wait_for(lambda: len(self.widgets()) == expected_left, 10), self.widgets())
        self.menu_keys(self.widgets()[0], [h.VK_DOWN] * 6 + [h.VK_RETURN, h.VK_ESCAPE, h.VK_ESCAPE])
        time.sleep(1.0)
        self.assertEqual(len(self.widgets()), 1, "the last widget must stay")

        # "退出软件" saves and ends the program.
        survivor = self.widgets()[0]
        self.menu_keys(survivor, [h.VK_UP, h.VK_RETURN])
        self.assertEqual(self.program.proc.wait(30), 0)
        final = self.saved()
        self.assertEqual(final.count("<note "), 1)
        self.assertTrue(final.endswith("</config>\0"))

    def test_a_missing_feed_shows_the_failure_for_three_seconds(self):
        self.start([h.note(self.server.url("/missing.xml"), 0.3, 0.3, 6, 200)])
        toast = h.wait_for(lambda: [w for w in h.windows()
                                    if w.cls == "AlphaWindow" and w.title == "读取失败！访问服务器失败"], 20)
        self.assertTrue(toast, "no failure toast")
        widget = self.widgets()[0]
        self.assertGreater(toast[0].rect[1], widget.rect[1])  # in the lower part of the widget
        h.screenshot("widgets_failure_toast.png")
        gone = h.wait_for(lambda: not [w for w in h.windows() if w.hwnd == toast[0].hwnd], 10)
        self.assertTrue(gone, "the toast must go away")

    def test_a_fresh_installation_gets_a_first_widget(self):
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared")
        self.pid = [w for w in h.windows() if w.title == "Dorvane"][0].pid
        ws = h.wait_for(self.widgets, 20)
        self.assertEqual(len(ws), 1, "a first widget is needed to reach the menu at all")
        self.assertEqual(ws[0].rect[:2], (h.SCREEN_W - 400, 0))
        tip = h.wait_for(lambda: [w for w in h.windows() if w.cls == "AlphaWindow" and w.pid == self.pid], 10)
        self.assertTrue(tip, "a fresh installation's first widget shows the first-run tip")
        h.screenshot("widgets_first_run_tip.png")
        # A test build's built-in list points at loopback: the first widget never reaches
        # out of the machine. It takes that feed once the configuration request has failed
        # (nothing serves it here); a widget still waiting for its feed is not saved.
        builtin = r"<rssurl>http://127\.0\.0\.1:\d+/feeds/first\.xml</rssurl>"
        self.assertTrue(h.wait_for(lambda: re.search(builtin, self.saved()), 20), self.saved())
        self.assertEqual(self.program.quit(), 0)
        self.assertIn("<usecount>1</usecount>", self.saved(), "a fresh installation is the first load")
        self.assertRegex(self.saved(), builtin)

    def test_quitting_with_a_refresh_in_flight_exits_at_once(self):
        stalled = threading.Event()
        release = threading.Event()

        def never_answer(req):
            stalled.set()
            release.wait(60)  # holds the connection open without a status line

        self.server.routes["/stalled.xml"] = never_answer
        self.start([h.note(self.server.url("/stalled.xml"), 0.3, 0.3, 6, 200)])
        try:
            self.assertTrue(stalled.wait(20), "the widget never asked for its feed")
            time.sleep(0.5)
            begin = time.time()
            code = self.program.quit(30)
            elapsed = time.time() - begin
        finally:
            release.set()
        self.assertEqual(code, 0)
        # The refresh is cancelled: the exit does not wait for the server's two-minute
        # deadline, and the log was not left with a cut line.
        self.assertLess(elapsed, 8.0)
        log = self.program.file("log.txt")
        if os.path.exists(log):
            with open(log, "rb") as f:
                data = f.read()
            self.assertTrue(data == b"" or data.endswith(b"\r\n"), data[-200:])


if __name__ == "__main__":
    h.main()
