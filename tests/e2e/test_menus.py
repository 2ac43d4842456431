"""The main menu, opened from the notification-area icon's callback message, and the
settings dialog it leads to."""
import os
import time
import unittest

import harness as h

WM_USER_TRAY = 0x400 + 102
WM_RBUTTONUP = 0x205
CB_SETCURSEL = 0x14E
MENU_CLASS = "PelinorQMenu"
TRAY_ICON_CLASS = "__winex11_tray_icon"  # an icon in Wine's stand-in notification area
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
IDC_SET_AUTOSTART, IDC_SET_REFRESH = 1101, 1102

# Client points of the entries at 96 DPI: the top menu is separator, 工具箱, 选项, 退出;
# the 选项 submenu is 设置, separator, 检查软件更新, 关于.
TOP_OPTIONS, TOP_QUIT = (40, 43), (40, 63)
SUB_SETTINGS, SUB_ABOUT = (40, 13), (40, 63)


class MainMenu(unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.program = h.Program()

    def tearDown(self):
        if self.program.proc and self.program.proc.poll() is None:
            self.program.quit()
        self.program.cleanup()

    def menus(self):
        return [w for w in h.windows() if w.pid == self.pid and w.cls == MENU_CLASS and w.visible]

    def start(self):
        self.program.start()
        self.hwnd = self.program.main_window()
        self.assertIsNotNone(self.hwnd, "the main window never appeared")
        self.pid = [w for w in h.windows() if w.hwnd == self.hwnd][0].pid

    def open_menu(self):
        h.probe("post", self.hwnd, WM_USER_TRAY, 0, WM_RBUTTONUP)
        self.assertTrue(h.wait_for(lambda: len(self.menus()) == 1, timeout=10), h.windows())
        return self.menus()[0]

    def tray_icons(self):
        trays = [w for w in h.windows() if w.cls == "__winex11_standalone_tray"]
        icons = []
        for tray in trays:
            out = h.probe("children", tray.hwnd)[1]
            icons += [h.Window(l) for l in out.splitlines() if TRAY_ICON_CLASS in l]
        return icons

    def open_options(self, top):
        h.probe("move", top.hwnd, *TOP_OPTIONS)
        self.assertTrue(h.wait_for(lambda: len(self.menus()) == 2, timeout=10), h.windows())
        return [w for w in self.menus() if w.hwnd != top.hwnd][0]

    def test_icon_menu_about_and_quit(self):
        self.start()
        # The notification icon is there, and a right click on it reaches the main window,
        # which opens the menu.
        self.assertTrue(h.wait_for(lambda: len(self.tray_icons()) == 1, timeout=10), h.windows())
        h.probe("click", self.tray_icons()[0].hwnd, 8, 8, "right")
        self.assertTrue(h.wait_for(lambda: len(self.menus()) == 1, timeout=10), h.windows())
        top = self.open_menu()  # as the callback message itself: the menu opens anew
        self.assertTrue(top.exstyle & 0x80, "the menu must be a tool window")
        h.screenshot("main_menu.png")

        # 选项's submenu opens to the right, level with its entry.
        sub = self.open_options(top)
        self.assertEqual(sub.rect[0], top.rect[2])
        self.assertEqual(sub.rect[1], top.rect[1] + 33)
        h.screenshot("main_menu_options.png")

        # 关于 opens the about box and closes the menus.
        h.probe("click", sub.hwnd, *SUB_ABOUT)
        code, about = h.probe("wait", "关于", 10000, "#32770")
        self.assertEqual(code, 0, "no about box")
        self.assertEqual(self.menus(), [])
        h.screenshot("about_from_menu.png")
        h.probe("button", about.strip(), 1)
        self.assertEqual(h.probe("gone", about.strip(), 10000)[0], 0)

        # 退出 ends the program with data.dat written (both copies, removed just before).
        top = self.open_menu()
        copies = [self.program.file("data.dat"), os.path.join(h.local_appdata(), "Vessaly", "data.dat")]
        for path in copies:
            if os.path.exists(path):
                os.remove(path)
        h.probe("move", top.hwnd, *TOP_QUIT)
        h.probe("click", top.hwnd, *TOP_QUIT)
        self.assertEqual(self.program.proc.wait(30), 0)
        for path in copies:
            self.assertTrue(os.path.exists(path), path)
        self.assertTrue(h.wait_for(lambda: self.tray_icons() == [], timeout=10), "the icon outlived the program")

    def test_settings_turn_auto_start_on_and_set_the_refresh_pace(self):
        # The test build lets a chosen interval pass 60 times faster: "5 分钟" is 5 s.
        times = []

        def feed(handler):
            times.append(time.time())
            body = h.rss("pace", 3)
            handler.send_response(200)
            handler.send_header("Content-Type", "text/xml; charset=utf-8")
            handler.send_header("Content-Length", str(len(body)))
            handler.end_headers()
            handler.wfile.write(body)

        server = h.Server({"/pace.xml": feed})
        self.addCleanup(server.close)
        with open(self.program.file("data.dat"), "wb") as f:
            f.write(h.profile([h.note(server.url("/pace.xml"), 0.3, 0.3, 1, 255)]))
        h.wine(["reg", "delete", RUN_KEY, "/v", "Pelinor", "/f"])
        self.addCleanup(h.wine, ["reg", "delete", RUN_KEY, "/v", "Pelinor", "/f"])

        self.start()
        self.assertTrue(h.wait_for(lambda: len(times) >= 1, timeout=20), "the widget never fetched its feed")
        time.sleep(8)
        self.assertEqual(len(times), 1, "the default pace is half an hour")

        sub = self.open_options(self.open_menu())
        h.probe("click", sub.hwnd, *SUB_SETTINGS)
        code, dlg = h.probe("wait", "设置", 10000, "#32770")
        self.assertEqual(code, 0, "no settings dialog")
        dlg = dlg.strip()
        self.assertEqual(self.menus(), [], "the menu must close when the dialog opens")
        h.screenshot("settings_dialog.png")
        h.probe("button", dlg, IDC_SET_AUTOSTART)
        code, combo = h.probe("item", dlg, IDC_SET_REFRESH)
        self.assertEqual(code, 0)
        h.probe("send", combo.strip(), CB_SETCURSEL, 0, 0)  # 5 分钟
        h.probe("button", dlg, 1)  # 确定
        self.assertEqual(h.probe("gone", dlg, 10000)[0], 0)
        r = h.wine(["reg", "query", RUN_KEY, "/v", "Pelinor"])
        self.assertIn('"%s"' % h.win_path(self.program.exe).lower(), r.stdout.decode(errors="replace").lower())

        # The choice is kept in data.dat and sets the pace after a restart.
        self.assertEqual(self.program.quit(), 0)
        with open(self.program.file("data.dat"), "rb") as f:
            self.assertIn(b"<refresh_interval>300</refresh_interval>", h.unscramble(f.read()))
        del times[:]
        self.start()
        self.assertTrue(h.wait_for(lambda: len(times) >= 4, timeout=40), times)
        gaps = [b - a for a, b in zip(times, times[1:])]
        for gap in gaps[1:]:  # the first follows the start-up fetch by up to a period
            self.assertAlmostEqual(gap, 5.0, delta=1.5, msg=gaps)


if __name__ == "__main__":
    h.main()
