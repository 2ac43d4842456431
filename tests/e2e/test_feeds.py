"""What a feed widget tells about its items: items that appeared since the last refresh are
marked as new, hovering an item shows its summary and date, and the marks outlive a restart
of the program. Against a loopback feed server that answers every request in full."""
import gzip
import os
import re
import shutil
import tempfile
import time
import unittest

import harness as h
from test_dialogs import with_custom_links

ITEM_LINE = re.compile(r'<font color="#3a3031" underline="0"( bold="1")?>·<a href="http://127\.0\.0\.1/item/(\d+)">')


class NewItems(h.ProgramSession, unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.count = 3

        def feed(req):
            items = "".join(
                "<item><title>条目%d</title><link>http://127.0.0.1/item/%d</link>"
                "<description>第%d条的摘要：&lt;b&gt;要点&lt;/b&gt;</description>"
                "<pubDate>Mon, 07 Dec 2026 0%d:00:00 GMT</pubDate></item>" % (i, i, i, i)
                for i in range(self.count, 0, -1))
            body = ('<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel><title>新闻</title>%s'
                    "</channel></rss>" % items).encode("utf-8")
            req.send_response(200)
            req.send_header("Content-Type", "application/rss+xml")
            req.send_header("Content-Length", str(len(body)))
            req.end_headers()
            req.wfile.write(body)

        self.server = h.Server({"/news.xml": feed})
        self.program = h.Program()

    def tearDown(self):
        self.program.stop()
        self.server.close()

    def marks(self):
        """{item number: marked as new} of the saved content."""
        return {int(n): bool(bold) for bold, n in ITEM_LINE.findall(self.saved())}

    def requests(self):
        return sum(1 for r in self.server.requests if r[0].startswith("GET /news.xml"))

    def refresh(self, widget):
        asked = self.requests()
        h.probe("click", widget.hwnd, widget.rect[2] - widget.rect[0] - 60, 20)
        self.assertTrue(h.wait_for(lambda: self.requests() > asked, 15), "the refresh button asked nothing")

    def test_new_items_are_marked_summarised_and_still_marked_after_a_restart(self):
        self.start([h.note(self.server.url("/news.xml"), 0.3, 0.2, 6, 255)])
        self.assertTrue(h.wait_for(lambda: self.marks() == {3: False, 2: False, 1: False}, 20),
                        "a first look marks nothing: %r" % self.marks())

        # A new item on the server: the next refresh marks it, and only it.
        self.count = 4
        widget = self.widgets()[0]
        self.refresh(widget)
        self.assertTrue(h.wait_for(lambda: self.marks() == {4: True, 3: False, 2: False, 1: False}, 15),
                        "the new item is not marked: %r" % self.marks())
        h.screenshot("feeds_new_item_marked.png")

        # Hovering the new item (the first line) shows its summary and date.
        widget = self.widgets()[0]

        def tip():
            h.probe("hover", widget.hwnd, 40, 46)
            shown = [w for w in h.windows() if w.cls == "tooltips_class32" and w.pid == self.pid and w.visible]
            return shown and h.probe("tiptext", shown[0].hwnd)[1]

        text = h.wait_for(tip, 10, 0.5)
        h.screenshot("feeds_summary_tooltip.png")
        self.assertTrue(text, "no tooltip over the item")
        self.assertRegex(text, "第4条的摘要： ?要点")
        # The feed's "Mon, 07 Dec 2026 04:00:00 GMT", on the local clock (whatever its zone).
        self.assertRegex(text, r"(2026年)?12月[678]日 \d\d:00")
        self.assertNotIn("<b>", text)

        # A restart: the widget asks again, gets the same four items (now all known) and
        # still shows the new one as new.
        self.assertEqual(self.program.quit(), 0)
        asked = self.requests()
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared again")
        self.pid = [w for w in h.windows() if w.title == "Dorvane"][0].pid
        self.assertTrue(h.wait_for(lambda: self.requests() > asked and self.widgets(), 20), "no refresh after the restart")
        time.sleep(2.5)  # the answer is shown and saved a second later
        h.screenshot("feeds_marks_after_restart.png")
        self.assertEqual(self.marks(), {4: True, 3: False, 2: False, 1: False})

        # The next refresh the user sees ends the mark.
        self.refresh(self.widgets()[0])
        self.assertTrue(h.wait_for(lambda: self.marks() == {4: False, 3: False, 2: False, 1: False}, 15),
                        "the mark stays after the next refresh: %r" % self.marks())
        self.assertEqual(self.program.quit(), 0)



CONTENT = re.compile(r"<content><!\[CDATA\[(.*?)\]\]></content>", re.S)


class PoliteRefresh(h.ProgramSession, unittest.TestCase):
    """A server that answers with validators, in gzip when asked, and with 304 when the
    request carries its ETag."""

    def setUp(self):
        h.reset_user_data()
        self.asked = []  # (If-None-Match, Accept-Encoding) of every request

        def feed(req):
            tag = req.headers.get("If-None-Match")
            self.asked.append((tag, req.headers.get("Accept-Encoding") or ""))
            if tag == '"v1"':
                req.send_response(304)
                req.send_header("ETag", '"v1"')
                req.send_header("Content-Length", "0")
                req.end_headers()
                return
            body = gzip.compress(h.rss("压缩", 3))
            req.send_response(200)
            req.send_header("Content-Type", "application/rss+xml")
            req.send_header("Content-Encoding", "gzip")
            req.send_header("ETag", '"v1"')
            req.send_header("Last-Modified", "Mon, 07 Dec 2026 08:00:00 GMT")
            req.send_header("Content-Length", str(len(body)))
            req.end_headers()
            req.wfile.write(body)

        self.server = h.Server({"/feed.xml": feed})
        self.program = h.Program()

    def tearDown(self):
        self.program.stop()
        self.server.close()

    def content(self):
        found = CONTENT.search(self.saved())
        return found.group(1) if found else ""

    def test_a_304_changes_nothing_and_the_validators_outlive_a_restart(self):
        self.start([h.note(self.server.url("/feed.xml"), 0.3, 0.3, 6, 255)])
        # The gzip answer shows its items.
        self.assertTrue(h.wait_for(lambda: "压缩 第3条" in self.content(), 20), self.saved())
        self.assertEqual(self.asked[0][0], None)  # nothing shown yet: asked in full
        self.assertIn("gzip", self.asked[0][1])
        time.sleep(1.5)
        before, widget = self.content(), self.widgets()[0]

        # Refresh: the request carries the ETag, the 304 leaves widget and data.dat as they were.
        h.probe("click", widget.hwnd, widget.rect[2] - widget.rect[0] - 60, 20)
        self.assertTrue(h.wait_for(lambda: len(self.asked) == 2, 15), "the refresh asked nothing")
        self.assertEqual(self.asked[1][0], '"v1"')
        time.sleep(2.5)
        self.assertEqual(self.content(), before)
        self.assertEqual(self.widgets()[0].rect, widget.rect)
        self.assertFalse([w for w in h.windows() if w.cls == "AlphaWindow" and w.pid == self.pid],
                         "an unchanged feed is no failure")

        # After a restart the first request carries the validators of the last answer.
        self.assertEqual(self.program.quit(), 0)
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared again")
        self.assertTrue(h.wait_for(lambda: len(self.asked) == 3, 20), "no refresh after the restart")
        self.assertEqual(self.asked[2][0], '"v1"')
        time.sleep(2.5)
        self.assertEqual(self.content(), before)
        self.assertEqual(self.program.quit(), 0)



class Opml(h.ProgramSession, unittest.TestCase):
    """The subscription list out to an OPML file and back, through the system's file
    dialogs as a user goes through them."""

    def setUp(self):
        h.reset_user_data()
        route = (200, {"Content-Type": "application/rss+xml"}, h.rss("feed", 3))
        self.server = h.Server({"/own.xml": route, "/mine.xml": route})
        self.program = h.Program()
        self.folder = tempfile.mkdtemp(prefix="pelinor-opml-")

    def tearDown(self):
        self.program.stop()
        self.server.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def dialog(self, title):
        found = h.wait_for(lambda: [w for w in h.windows()
                                    if w.cls == "#32770" and w.title == title and w.visible and w.pid == self.pid], 15)
        self.assertTrue(found, "no dialog %r" % title)
        return found[0]

    def choose_file(self, title, path):
        """Types `path` into the file dialog's name box and confirms."""
        dlg = self.dialog(title)
        code, out = h.probe("children", dlg.hwnd)
        edits = [l.split()[0] for l in out.splitlines() if ' Edit "' in l]
        self.assertTrue(edits, out)
        h.probe("settext", edits[0], 0, h.win_path(self.folder) + "\\" + os.path.basename(path))
        h.probe("button", dlg.hwnd, 1)

    def told(self):
        box = self.dialog("提示")
        text = h.probe("gettext", box.hwnd, 65535)[1].strip()
        h.probe("command", box.hwnd, 1)
        self.assertTrue(h.wait_for(lambda: not [w for w in h.windows() if w.hwnd == box.hwnd], 10))
        return text

    def test_exported_subscriptions_import_back(self):
        own, mine = self.server.url("/own.xml"), self.server.url("/mine.xml")
        # The widget reads its feed with a user name and password, written as the README writes them.
        private = own.replace("http://", "http://user:p%40ss@", 1)
        doc = h.profile([h.note(private, 0.05, 0.05, 3, 255)])
        with open(self.program.file("data.dat"), "wb") as f:
            f.write(with_custom_links(doc, [("我的", mine)]))
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared")
        self.pid = [w for w in h.windows() if w.title == "Dorvane"][0].pid
        widget = h.wait_for(lambda: self.widgets(), 20)[0]
        # Its items are read (and saved): the feed has told its title.
        self.assertTrue(h.wait_for(lambda: "feed 第1条" in self.saved(), 20), "the feed was never read")

        # "订阅" > "导出订阅列表(OPML)..." (the last entry): the widget's feed, by its title and
        # without its user name and password, and the custom link.
        target = os.path.join(self.folder, "订阅导出.opml")
        self.menu_keys(widget, [h.VK_DOWN, h.VK_RIGHT, h.VK_UP, h.VK_RETURN])
        h.screenshot("feeds_opml_save_dialog.png")
        self.choose_file("导出订阅", target)
        self.assertEqual(self.told(), "已导出 2 个订阅源。其中 1 个订阅源的网址带有用户名和密码，它们没有导出，导入后请重新填写。")
        with open(target, "rb") as f:
            exported = f.read().decode("utf-8")
        for secret in ("user", "p%40ss", "p@ss"):
            self.assertNotIn(secret, exported)
        self.assertIn('text="feed" title="feed" xmlUrl="%s"' % own, exported)
        self.assertIn('text="我的" title="我的" xmlUrl="%s"' % mine, exported)

        # "导入订阅列表(OPML)..." (second from the end): the widget's feed joins the custom
        # links, the one already there is a repeat.
        self.menu_keys(self.widgets()[0], [h.VK_DOWN, h.VK_RIGHT, h.VK_UP, h.VK_UP, h.VK_RETURN])
        self.choose_file("导入订阅", target)
        self.assertEqual(self.told(), "已导入 1 个订阅源，跳过 1 个。")
        def custom_links():
            return re.findall(r"<url><!\[CDATA\[(.*?)\]\]></url>", self.saved().split("</custom_newslinks>")[0])

        self.assertTrue(h.wait_for(lambda: custom_links() == [mine, own], 10), custom_links())
        self.assertEqual(self.program.quit(), 0)


if __name__ == "__main__":
    h.main()
