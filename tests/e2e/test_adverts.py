"""Adverts through the loopback stand-in of the maker's service: a start-time advert shows
its popup in the lower right corner once, is retired in adv\\config.dat and never shows
again; a web-page advert hosts the browser, which asks the stand-in for the page."""
import os
import time
import unittest

import harness as h

POPUP_CLASS = "PelinorAdvPopup"
WS_EX_TOPMOST, WS_EX_TOOLWINDOW, WS_EX_LAYERED = 0x8, 0x80, 0x80000


def advert(kind, ident, start, content, showtime=2000):
    field = "text" if kind == 1 else "htmlurl"
    return ('<adv type="%d" position="2" id="%d"><showtime>%d</showtime><starttime>%s</starttime>'
            '<%s>%s</%s><url>http://127.0.0.1:9/ad</url><title>测试广告</title><usergrade>0</usergrade></adv>'
            % (kind, ident, showtime, time.strftime("%Y-%m-%d %H:%M", time.localtime(start)), field, content,
               field))


def config_doc(adverts):
    return ('<?xml version="1.0" encoding="gb2312"?><config><advs>%s</advs></config>'
            % "".join(adverts)).encode("gbk")


def next_minute(at_least_after):
    """The first whole minute at least that many seconds from now: the program has its
    configuration by then, and its scheduler (every 11 s) runs inside the 20 s after it."""
    t = time.time() + at_least_after
    return int(t // 60 + 1) * 60


class Adverts(unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.program = h.Program()
        self.service = h.service()

    def tearDown(self):
        self.program.stop()
        self.service.close()

    def popups(self, pid, visible_only=True):
        return [w for w in h.windows()
                if w.cls == POPUP_CLASS and w.pid == pid and (w.visible or not visible_only)]

    def config_dat(self):
        with open(os.path.join(h.local_appdata(), "Vessaly", "adv", "config.dat"), "rb") as f:
            return h.unscramble(f.read())

    def test_advert_shows_once_is_retired_and_a_web_page_advert_asks_for_its_page(self):
        start = next_minute(10)
        self.service.routes["/pelinor/appconfig/appconfig.php"] = (
            200, {}, config_doc([advert(1, 41, start, "欢迎使用桌面订阅")]))
        self.program.start()
        self.assertIsNotNone(self.program.main_window())
        pid = [w for w in h.windows() if w.title == "Dorvane"][0].pid
        # Shown by the first scheduler run in the advert's minute, then it slides up.
        final = (h.SCREEN_W - 250 - 20, h.SCREEN_H - 180 - 40, h.SCREEN_W - 20, h.SCREEN_H - 40)
        shown = h.wait_for(lambda: [w for w in self.popups(pid) if w.rect == final],
                           start - time.time() + 30, 0.1)
        self.assertTrue(shown, "no popup at the lower right: %r" % self.popups(pid, False))
        popup = shown[0]
        self.assertEqual(popup.exstyle & (WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST),
                         WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST)
        self.assertEqual(popup.title, "测试广告")
        h.screenshot("advert_popup.png")
        # 2000 ms: three seconds shown, about one fading out, then the window is gone.
        self.assertTrue(h.wait_for(lambda: not self.popups(pid, False), 10, 0.2), "the popup never closed")
        text = self.config_dat()
        self.assertIn(b"<removed_advs>41,</removed_advs>", text)
        self.assertEqual(self.program.quit(), 0)

        # Again with the same advert due in the next minute, and a web-page advert beside it.
        start = next_minute(10)
        page = "/ads/page.html"
        self.service.routes[page] = (200, {"Content-Type": "text/html"}, b"<html><body>ad</body></html>")
        self.service.routes["/pelinor/appconfig/appconfig.php"] = (
            200, {}, config_doc([advert(1, 41, start, "欢迎使用桌面订阅"),
                                 advert(3, 42, start, self.service.url(page), showtime=5000)]))
        self.program.start()
        self.assertIsNotNone(self.program.main_window())
        pid = [w for w in h.windows() if w.title == "Dorvane"][0].pid
        seen_visible = []

        def page_requested():
            seen_visible.extend(self.popups(pid))
            return any(r[0].startswith("GET %s " % page) for r in self.service.requests)

        self.assertTrue(h.wait_for(page_requested, start - time.time() + 40, 0.1), "the page was never asked for")
        with open(self.program.file("log.txt"), "rb") as f:
            log = f.read().decode("gbk", errors="replace")
        self.assertIn("advert 42: loading its page in the browser: %s" % self.service.url(page), log)
        # Here every navigation fails: the hidden popup goes away with its page.
        self.assertTrue(h.wait_for(lambda: not self.popups(pid, False) and not seen_visible.extend(self.popups(pid)),
                                   40, 0.2), "the web-page popup stayed")
        self.assertEqual(seen_visible, [], "a popup was shown: the retired advert came back")
        self.assertIn(b"<removed_advs>41,42,</removed_advs>", self.config_dat())
        self.assertEqual(self.program.quit(), 0)


if __name__ == "__main__":
    h.main()
