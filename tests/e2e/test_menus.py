"""The main menu, opened from the notification-area icon's callback message."""
import os
import unittest

import harness as h

WM_USER_TRAY = 0x400 + 102
WM_RBUTTONUP = 0x205
MENU_CLASS = "PelinorQMenu"


class MainMenu(unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.program = h.Program()

    def tearDown(self):
        if self.program.proc and self.program.proc.poll() is None:
            self.program.quit()
        self.program.cleanup()

    def menus(self, pid):
        return [w for w in h.windows() if w.pid == pid and w.cls == MENU_CLASS and w.visible]

    def test_right_click_opens_the_menu_and_quit_saves(self):
        self.program.start()
        hwnd = self.program.main_window()
        self.assertIsNotNone(hwnd, "the main window never appeared")
        main = [w for w in h.windows() if w.hwnd == hwnd][0]

        h.probe("post", hwnd, WM_USER_TRAY, 0, WM_RBUTTONUP)
        self.assertTrue(h.wait_for(lambda: len(self.menus(main.pid)) == 1, timeout=10), h.windows())
        top = self.menus(main.pid)[0]
        self.assertTrue(top.exstyle & 0x80, "the menu must be a tool window")
        h.screenshot("main_menu.png")

        # 选项 is the third entry, below a separator and 工具箱: its submenu opens to the right.
        h.probe("move", top.hwnd, 40, 43)
        self.assertTrue(h.wait_for(lambda: len(self.menus(main.pid)) == 2, timeout=10), h.windows())
        sub = [w for w in self.menus(main.pid) if w.hwnd != top.hwnd][0]
        self.assertEqual(sub.rect[0], top.rect[2])
        h.screenshot("main_menu_options.png")

        # 退出 ends the program with data.dat written (both copies, removed just before).
        copies = [self.program.file("data.dat"), os.path.join(h.local_appdata(), "Vessaly", "data.dat")]
        for path in copies:
            if os.path.exists(path):
                os.remove(path)
        h.probe("move", top.hwnd, 40, 63)
        h.probe("click", top.hwnd, 40, 63)
        self.assertEqual(self.program.proc.wait(30), 0)
        for path in copies:
            self.assertTrue(os.path.exists(path), path)

    def test_settings_dialog_turns_auto_start_on(self):
        h.wine(["reg", "delete", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run", "/v", "Pelinor", "/f"])
        self.program.start()
        hwnd = self.program.main_window()
        self.assertIsNotNone(hwnd, "the main window never appeared")
        main = [w for w in h.windows() if w.hwnd == hwnd][0]
        h.probe("post", hwnd, WM_USER_TRAY, 0, WM_RBUTTONUP)
        self.assertTrue(h.wait_for(lambda: len(self.menus(main.pid)) == 1, timeout=10), h.windows())
        top = self.menus(main.pid)[0]
        h.probe("move", top.hwnd, 40, 43)
        self.assertTrue(h.wait_for(lambda: len(self.menus(main.pid)) == 2, timeout=10), h.windows())
        sub = [w for w in self.menus(main.pid) if w.hwnd != top.hwnd][0]
        h.probe("click", sub.hwnd, 40, 13)  # 设置
        code, dlg = h.probe("wait", "设置", 10000, "#32770")
        self.assertEqual(code, 0, "no settings dialog")
        dlg = dlg.strip()
        self.assertEqual(self.menus(main.pid), [], "the menu must close when the dialog opens")
        h.screenshot("settings_dialog.png")
        h.probe("button", dlg, 1101)  # 开机时自动启动
        h.probe("button", dlg, 1)     # 确定
        self.assertTrue(h.wait_for(lambda: h.probe("gone", dlg, 100)[0] == 0, timeout=10))
        r = h.wine(["reg", "query", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run", "/v", "Pelinor"])
        self.assertIn("pelinor.exe", r.stdout.decode(errors="replace").lower())
        h.wine(["reg", "delete", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run", "/v", "Pelinor", "/f"])


if __name__ == "__main__":
    h.main()
