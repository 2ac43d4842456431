"""The subscription dialogs and the custom links dialog in the real program: a new
subscription added from a widget's menu through "新增", and the custom links dialog opened
from the menu and closed with Esc."""
import unittest

import harness as h

IDOK, IDC_RSS_NAME, IDC_RSS_URL, IDC_RSS_NEW = 1, 1011, 1004, 1027


def with_custom_links(doc, links):
    items = "".join("\t\t<link>\t\t\t<name><![CDATA[%s]]></name>\t\t\t<url><![CDATA[%s]]></url>\t\t</link>"
                    % link for link in links)
    block = "\t<custom_newslinks>\r\n%s\t</custom_newslinks>\r\n" % items
    text = doc.decode("gbk")
    return text.replace("\t<newsnotes>", block + "\t<newsnotes>", 1).encode("gbk")


class Dialogs(h.ProgramSession, unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        body = h.rss("feed", 3)
        route = (200, {"Content-Type": "application/rss+xml"}, body)
        self.server = h.Server({"/own.xml": route, "/mine.xml": route, "/new.xml": route})
        self.program = h.Program()

    def tearDown(self):
        self.program.stop()
        self.server.close()

    def dialog(self, title):
        found = h.wait_for(lambda: [w for w in h.windows()
                                    if w.cls == "#32770" and w.title == title and w.visible], 15)
        self.assertTrue(found, "no dialog %r" % title)
        return found[0]

    def test_new_subscription_through_new_link_and_the_custom_links_dialog(self):
        doc = h.profile([h.note(self.server.url("/own.xml"), 0.05, 0.05, 3, 255)])
        with open(self.program.file("data.dat"), "wb") as f:
            f.write(with_custom_links(doc, [("我的", self.server.url("/mine.xml"))]))
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared")
        self.pid = [w for w in h.windows() if w.title == "Dorvane"][0].pid
        ws = h.wait_for(lambda: len(self.widgets()) == 1 and self.widgets(), 30)
        self.assertTrue(ws, "one widget expected")

        # "新增订阅" (the fifth entry) opens the choice; "新增" hides it for the link input.
        self.menu_keys(ws[0], [h.VK_DOWN] * 5 + [h.VK_RETURN])
        choose = self.dialog("选择订阅源")
        h.screenshot("dialogs-choose.png")
        h.probe("post", choose.hwnd, h.WM_COMMAND, IDC_RSS_NEW, 0)
        link = self.dialog("新增订阅源")
        self.assertFalse([w for w in h.windows() if w.hwnd == choose.hwnd and w.visible],
                         "the choice stays hidden behind the link input")
        h.probe("settext", link.hwnd, IDC_RSS_NAME, "  新的订阅  ")
        h.probe("settext", link.hwnd, IDC_RSS_URL, self.server.url("/new.xml"))
        h.screenshot("dialogs-input.png")
        h.probe("post", link.hwnd, h.WM_COMMAND, IDOK, 0)

        # A second widget for the new link, and both the link and the widget are saved.
        self.assertTrue(h.wait_for(lambda: len(self.widgets()) == 2, 20), "no new widget")
        new_url = self.server.url("/new.xml")
        self.assertTrue(h.wait_for(lambda: any(r[0].startswith("GET /new.xml") for r in self.server.requests), 20))
        saved = h.wait_for(lambda: new_url in self.saved() and self.saved(), 10)
        self.assertIn("<name><![CDATA[新的订阅]]></name>\t\t\t<url><![CDATA[%s]]></url>" % new_url, saved)
        self.assertIn("<rssurl>%s</rssurl>" % new_url, saved)

        # "订阅" > "管理自定义链接" (third from the end of the submenu, before the OPML
        # import and export) shows both custom links; Esc closes it.
        self.menu_keys(self.widgets()[0], [h.VK_DOWN, h.VK_RIGHT, h.VK_UP, h.VK_UP, h.VK_UP, h.VK_RETURN])
        custom = self.dialog("自定义")
        h.screenshot("dialogs-custom.png")
        code, out = h.probe("children", custom.hwnd)
        self.assertIn("SysListView32", out)
        list_hwnd = [l.split()[0] for l in out.splitlines() if "SysListView32" in l][0]
        h.probe("post", list_hwnd, h.WM_KEYDOWN, h.VK_ESCAPE, 0)
        self.assertTrue(h.wait_for(lambda: not [w for w in h.windows() if w.hwnd == custom.hwnd and w.visible], 15),
                        "Esc did not close the custom links dialog")
        self.assertEqual(self.program.quit(), 0)
        self.assertIn("新的订阅", self.saved())


if __name__ == "__main__":
    h.main()
