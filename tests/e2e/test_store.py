"""data.dat as the real program keeps it: read at start, written to both places on quit."""
import os
import time
import unittest

import harness as h


PROFILE = (
    '<?xml version="1.0" encoding="gb2312"?>\r\n<config ver="1.8">\r\n'
    "\t<usecount>5</usecount>\r\n\t<smoothing>0</smoothing>\r\n"
    "\t<custom_newslinks>\r\n\t\t<link>\t\t\t<name><![CDATA[新闻]]></name>"
    "\t\t\t<url><![CDATA[http://127.0.0.1:9/rss?a=1&b=2]]></url>\t\t</link>\t</custom_newslinks>\r\n"
    "\t<newsnotes>\r\n\t</newsnotes>\r\n</config>"
).encode("gbk")


class Store(unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.program = h.Program()

    def tearDown(self):
        self.program.stop()

    def run_and_quit(self):
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared")
        self.assertEqual(self.program.quit(), 0)

    def test_an_unreadable_file_is_kept_aside_and_the_user_is_told(self):
        garbage = b"\x13\x37 this is no settings file \xff" * 20
        with open(self.program.file("data.dat"), "wb") as f:
            f.write(garbage)
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared")
        box = h.wait_for(lambda: [w for w in h.windows() if w.title == "Pelinor" and w.cls == "#32770"], 20)
        self.assertTrue(box, "the user is told that the settings were reset")
        time.sleep(1)  # let the box paint before the picture is taken
        h.screenshot("store_unreadable_told.png")
        self.assertEqual(self.program.quit(), 0)
        kept = self.program.file("data-unreadable-1.dat")
        with open(kept, "rb") as f:
            self.assertEqual(f.read(), garbage, "the unreadable file is kept as it was")
        with open(self.program.file("data.dat"), "rb") as f:
            self.assertTrue(h.unscramble(f.read()).endswith(b"</config>\0"), "a good file replaced it")
        with open(self.program.file("log.txt"), "rb") as f:
            self.assertIn(b"data-unreadable-1.dat", f.read(), "the log says where the old file is")

    def test_settings_survive_a_run_in_both_copies(self):
        with open(self.program.file("data.dat"), "wb") as f:
            f.write(h.scramble(PROFILE + b"\0"))
        self.run_and_quit()
        data_copy = os.path.join(h.local_appdata(), "Vessaly", "data.dat")
        for path in (self.program.file("data.dat"), data_copy):
            with open(path, "rb") as f:
                text = h.unscramble(f.read())
            self.assertTrue(text.endswith(b"</config>\0"), path)
            self.assertIn(b"<usecount>6</usecount>", text)
            self.assertIn(b"<smoothing>0</smoothing>", text)
            self.assertIn("<name><![CDATA[新闻]]></name>".encode("gbk"), text)
            self.assertIn(b"http://127.0.0.1:9/rss?a=1&b=2", text)
        # A second run reads the data-folder copy and counts on from it.
        self.program.start()
        self.assertIsNotNone(self.program.main_window())
        self.assertEqual(self.program.quit(), 0)
        with open(self.program.file("data.dat"), "rb") as f:
            self.assertIn(b"<usecount>7</usecount>", h.unscramble(f.read()))

    def test_a_stored_widget_comes_back_and_is_saved_again(self):
        note = (
            '\t\t<note create_time="1300000000" group_name="g&amp;h">\r\n'
            '\t\t\t<template image="" type="1" bkcolor_id="3" x1="0.050000" y1="0.100000" x2="0.950000" y2="0.950000"></template>\r\n'
            '\t\t\t<position x="0.100000" y="0.200000" width="240" height="180"></position>\r\n'
            "\t\t\t<transparent>180</transparent>\r\n"
            "\t\t\t<rssurl>http://127.0.0.1:9/rss?a=1&b=2</rssurl>\r\n"
            "\t\t</note>\r\n"
        ).encode("gbk")
        with open(self.program.file("data.dat"), "wb") as f:
            f.write(h.scramble(PROFILE.replace(b"\t<newsnotes>\r\n", b"\t<newsnotes>\r\n" + note) + b"\0"))
        self.program.start()
        self.assertIsNotNone(self.program.main_window())
        shown = h.wait_for(lambda: [w for w in h.windows() if w.title == "便签条" and w.visible], 20)
        self.assertEqual(len(shown), 1, "one widget for the one stored record")
        h.screenshot("store_widget.png")
        self.assertEqual(self.program.quit(), 0)
        with open(self.program.file("data.dat"), "rb") as f:
            text = h.unscramble(f.read())
        self.assertEqual(text.count(b"<note "), 1)
        self.assertIn(b'create_time="1300000000" group_name="g&amp;h"', text)
        self.assertIn(b"<rssurl>http://127.0.0.1:9/rss?a=1&b=2</rssurl>", text)
        self.assertIn(b'bkcolor_id="3"', text)
        self.assertIn(b"<transparent>180</transparent>", text)

    def test_first_run_without_a_file_logs_and_writes_defaults(self):
        self.run_and_quit()
        with open(self.program.file("log.txt"), "rb") as f:
            log = f.read()
        self.assertIn(b"[debug] no data.dat yet", log)
        self.assertNotIn(b"[error]", log, "a fresh installation is no error")
        with open(self.program.file("data.dat"), "rb") as f:
            text = h.unscramble(f.read())
        self.assertIn(b"<hotkey_shownotes>ALT:Q</hotkey_shownotes>", text)
        self.assertIn(b"<last_shutdown_time>1200</last_shutdown_time>", text)


if __name__ == "__main__":
    h.main()
