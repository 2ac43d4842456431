"""The maker's service through the loopback stand-in: the remote configuration request and
its effects, the update check and installer download, and the about box."""
import os
import unittest

import harness as h


RSS = ('<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel><title>t</title>'
       '<item><title>Remote one</title><link>http://127.0.0.1:9/a</link></item>'
       '</channel></rss>').encode("utf-8")


def config_doc(port):
    feed = "http://127.0.0.1:%d/feeds/first.xml" % port
    return ('<?xml version="1.0" encoding="gb2312"?><config>'
            '<appconfig><thirdparty_news_url>'
            '<item><name>远程一</name><url>%s</url></item>'
            '<item><name>Second</name><url>http://127.0.0.1:%d/feeds/second.xml</url></item>'
            '</thirdparty_news_url></appconfig>'
            '<advlinks><group position="6"><link><name>Ad line</name><link>http://127.0.0.1:9/ad</link></link>'
            '</group></advlinks></config>' % (feed, port)).encode("gbk")


def manifest(version, url, sha=""):
    body = "<update><ver><![CDATA[%s]]></ver><url><![CDATA[%s]]></url>" % (version, url)
    if sha:
        body += "<sha256>%s</sha256>" % sha
    return (200, {"Content-Type": "text/xml"}, (body + "</update>").encode())


def installer(name):
    with open(os.path.join(h.BUILD, "tests", "installers", name), "rb") as f:
        return f.read()


class Service(unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.program = h.Program()
        self.service = h.service()

    def tearDown(self):
        self.program.stop()
        self.service.close()

    def requests_to(self, path):
        return [r for r in self.service.requests if r[0].split(" ")[1].startswith(path)]

    def message_box(self, timeout_ms=20000):
        code, out = h.probe("wait", "Dorvane软件更新提示", timeout_ms, "#32770")
        if code != 0:
            return None, None
        hwnd = out.strip()
        code, text = h.probe("gettext", hwnd, 65535)
        return hwnd, text.strip()

    def test_first_request_reports_counts_and_its_answer_takes_effect(self):
        port = self.service.port
        self.service.routes["/pelinor/appconfig/appconfig.php"] = (200, {}, config_doc(port))
        self.service.routes["/feeds/first.xml"] = (200, {"Content-Type": "application/rss+xml"}, RSS)
        # Both copies, as the program itself keeps them: the data folder's copy is read first.
        data_folder = os.path.join(h.local_appdata(), "Vessaly")
        os.makedirs(data_folder, exist_ok=True)
        for path in (self.program.file("statistics.dat"), os.path.join(data_folder, "statistics.dat")):
            with open(path, "wb") as f:
                f.write(b"1=3,\0")
        self.program.start()
        self.assertTrue(h.wait_for(lambda: self.requests_to("/feeds/first.xml"), 60),
                        "the first widget never fetched the first remote source")
        line, headers = self.requests_to("/pelinor/appconfig/appconfig.php")[0]
        self.assertEqual(line, "GET /pelinor/appconfig/appconfig.php?ver=1.0.0.0&run=1&stat=1%3D3%2C HTTP/1.1")
        self.assertEqual(headers.get("User-Agent"),
                         "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; Trident/6.0)")
        self.assertEqual(len(self.requests_to("/pelinor/appconfig/")), 1)
        h.wait_for(lambda: False, 3)  # the deferred save
        h.screenshot("service_first_widget.png")
        self.assertEqual(self.program.quit(), 0)
        data_folder = os.path.join(h.local_appdata(), "Vessaly")
        for folder in (self.program.folder, data_folder):
            with open(os.path.join(folder, "statistics.dat"), "rb") as f:
                self.assertEqual(f.read(), b"\0", folder)
        with open(self.program.file("data.dat"), "rb") as f:
            text = h.unscramble(f.read())
        remote = text[text.index(b"<remote_newslinks>"):text.index(b"</remote_newslinks>")]
        self.assertIn(("http://127.0.0.1:%d/feeds/first.xml" % port).encode(), remote)
        self.assertIn("远程一".encode("gbk"), remote)
        self.assertIn(b"http://127.0.0.1:9/ad", text)  # the widget's advert line

    def test_update_check_offer_and_signed_installer(self):
        self.program.start()
        main = self.program.main_window()
        self.assertIsNotNone(main)
        # 404: the check failed.
        h.probe("command", main, 4102)
        hwnd, text = self.message_box()
        self.assertEqual(text, "检测更新失败！")
        line = self.requests_to("/update/update.xml")[0][0]
        self.assertRegex(line, r"^GET /update/update\.xml\?rand=-?\d+&ver=1\.0\.0\.0 HTTP/1\.1$")
        h.probe("button", hwnd, 1)
        # Nothing newer.
        self.service.routes["/update/update.xml"] = manifest("1.0.0.0", self.service.url("/dl/setup.exe"))
        h.probe("command", main, 4102)
        hwnd, text = self.message_box()
        self.assertEqual(text, "未检查到有更新！")
        h.probe("button", hwnd, 1)
        # An unsigned installer is refused and deleted.
        self.service.routes["/dl/plain.exe"] = (200, {}, installer("stub_installer.exe"))
        self.service.routes["/update/update.xml"] = manifest("1.0.0.1", self.service.url("/dl/plain.exe"))
        h.probe("command", main, 4102)
        hwnd, text = self.message_box()
        self.assertTrue(text.startswith("发现新版本v1.0.0.1"), text)
        h.probe("button", hwnd, 1)
        hwnd, text = self.message_box()
        self.assertIn("数字签名", text)
        h.probe("button", hwnd, 1)
        update_folder = os.path.join(h.local_appdata(), "Vessaly", "update")
        self.assertFalse(os.path.exists(os.path.join(update_folder, "plain.exe")))
        # The signed one downloads, shows the dialog and starts with "?update=true".
        self.service.routes["/dl/setup.exe"] = (200, {}, installer("stub_signed.exe"))
        self.service.routes["/update/update.xml"] = manifest("1.0.0.1", self.service.url("/dl/setup.exe"))
        h.probe("command", main, 4102)
        hwnd, text = self.message_box()
        self.assertEqual(text, "发现新版本v1.0.0.1,是否立即下载？")
        h.probe("button", hwnd, 1)
        ran = os.path.join(update_folder, "stub_ran.txt")
        self.assertTrue(h.wait_for(lambda: os.path.exists(ran), 30), "the installer never ran")
        with open(ran, "rb") as f:
            self.assertEqual(f.read().decode("utf-16-le"), "?update=true")

    def test_about_box_from_the_command(self):
        self.program.start()
        main = self.program.main_window()
        self.assertIsNotNone(main)
        h.probe("command", main, 4103)
        code, out = h.probe("wait", "关于", 20000, "#32770")
        self.assertEqual(code, 0)
        code, text = h.probe("gettext", out.strip(), 1030)
        self.assertTrue(text.startswith("软件版本：1.0.0.0"), text)
        h.screenshot("service_about.png")
        h.probe("button", out.strip(), 1)


if __name__ == "__main__":
    h.main()
