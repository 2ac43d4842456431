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
        self.program.stop()

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
        # The test build's clock runs 60 times faster here: "5 分钟" is 5 s.
        self.program.clock_scale = 60
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
        # 设置 again while it is open: still one dialog.
        sub = self.open_options(self.open_menu())
        h.probe("click", sub.hwnd, *SUB_SETTINGS)
        self.assertTrue(h.wait_for(lambda: self.menus() == [], timeout=10))
        time.sleep(0.5)
        dialogs = [w for w in h.windows() if w.pid == self.pid and w.title == "设置" and w.visible]
        self.assertEqual([w.hwnd for w in dialogs], [dlg])
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


class MainMenuAtTwiceTheDpi(unittest.TestCase):
    """The main menu and the settings dialog on a 200 % display (LogPixels 192) against
    100 %: twice the size, the font with them. Runs in the Wine prefix whose DPI the
    widgets' test changes too (end-to-end tests run one at a time)."""

    def run_at(self, dpi):
        h.use_dpi(dpi)
        h.reset_user_data()
        program = h.Program()
        try:
            program.start()
            hwnd = program.main_window()
            self.assertIsNotNone(hwnd, "the main window never appeared")
            pid = [w for w in h.windows() if w.hwnd == hwnd][0].pid

            def menus():
                return [w for w in h.windows() if w.pid == pid and w.cls == MENU_CLASS and w.visible]

            h.probe("post", hwnd, WM_USER_TRAY, 0, WM_RBUTTONUP)
            self.assertTrue(h.wait_for(lambda: len(menus()) == 1, timeout=10))
            top = menus()[0]
            scale = dpi / 96.0
            h.probe("move", top.hwnd, int(TOP_OPTIONS[0] * scale), int(TOP_OPTIONS[1] * scale))
            self.assertTrue(h.wait_for(lambda: len(menus()) == 2, timeout=10))
            sub = [w for w in menus() if w.hwnd != top.hwnd][0]
            shot = h.screenshot("main_menu_%d.png" % dpi)
            h.probe("click", sub.hwnd, int(SUB_SETTINGS[0] * scale), int(SUB_SETTINGS[1] * scale))
            code, dlg = h.probe("wait", "设置", 10000, "#32770")
            self.assertEqual(code, 0, "no settings dialog")
            dlg = dlg.strip()
            rect = tuple(int(v) for v in h.probe("rect", dlg)[1].split())
            ok = tuple(int(v) for v in h.probe("rect", h.probe("item", dlg, 1)[1].strip())[1].split())
            dshot = h.screenshot("settings_dialog_%d.png" % dpi)
            h.probe("button", dlg, 2)  # 取消
            self.assertEqual(h.probe("gone", dlg, 10000)[0], 0)
            self.assertEqual(program.quit(), 0)
            return top.rect, sub.rect, rect, ok, shot, dshot
        finally:
            program.stop(kill=True)

    def test_twice_the_size_at_200_percent(self):
        top96, sub96, dlg96, ok96, _, _ = self.run_at(96)
        top192, sub192, dlg192, ok192, shot, dshot = self.run_at(192)
        size = lambda r: (r[2] - r[0], r[3] - r[1])
        self.assertEqual(size(top96)[1], 76)
        self.assertEqual(size(top192)[1], 152)
        # The dialog grows with its font, whose glyphs do not scale exactly.
        for a, b in ((top96, top192), (sub96, sub192), (dlg96, dlg192), (ok96, ok192)):
            self.assertAlmostEqual(size(b)[0] / size(a)[0], 2.0, delta=0.25, msg=(a, b))
            self.assertAlmostEqual(size(b)[1] / size(a)[1], 2.0, delta=0.25, msg=(a, b))
        # The submenu still opens at the right edge, level with 选项.
        self.assertEqual(sub192[0], top192[2])
        self.assertEqual(sub192[1], top192[1] + 66)
        # The 2x icon of 工具箱 fills its 32 x 32 square: coloured pixels well beyond 16 x 16.
        icon = (top192[0] + 10, top192[1] + 6 + 20 + 4, top192[0] + 10 + 40, top192[1] + 6 + 20 + 36)
        rgb = h.rgb_crop(shot, icon)
        coloured = sum(1 for i in range(0, len(rgb), 3) if abs(rgb[i] - rgb[i + 2]) > 60)
        self.assertGreater(coloured, 16 * 16, "the toolbox icon is no larger than at 100 %")


if __name__ == "__main__":
    h.main()
