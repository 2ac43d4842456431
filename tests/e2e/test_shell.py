"""The program as a process: hidden main window, single instance, temporary-folder refusal."""
import os
import time
import unittest

import harness as h


class Shell(unittest.TestCase):
    def setUp(self):
        h.reset_user_data()
        self.programs = []

    def tearDown(self):
        for p in self.programs:
            p.stop()

    def program(self, folder=None):
        p = h.Program(folder)
        self.programs.append(p)
        return p

    def test_runs_hidden_and_a_second_copy_exits_at_once(self):
        first = self.program()
        first.start()
        hwnd = first.main_window()
        self.assertIsNotNone(hwnd, "the main window never appeared")
        main = [w for w in h.windows() if w.hwnd == hwnd][0]
        self.assertFalse(main.visible)
        self.assertTrue(main.exstyle & 0x80, "the main window must be a tool window (no taskbar button)")
        self.assertFalse(main.exstyle & 0x40000)
        time.sleep(1.0)
        self.assertIsNone(first.proc.poll(), "the program must keep running")
        visible = [w for w in h.windows() if w.pid == main.pid and w.visible]
        # Widgets are the only visible windows the program may own.
        self.assertTrue(all(w.cls != "#32770" for w in visible), visible)

        second = self.program()
        started = time.time()
        self.assertEqual(second.run_to_end(timeout=30), 0)
        self.assertLess(time.time() - started, 15)
        self.assertIsNone(first.proc.poll(), "the first copy must survive the second")
        self.assertEqual(len([w for w in h.windows() if w.title == "Dorvane"]), 1)

        self.assertEqual(first.quit(), 0)

    def test_refuses_to_run_from_the_temporary_folder(self):
        temp = h.temp_folder()
        self.assertTrue(os.path.isdir(temp), temp)
        p = self.program(os.path.join(temp, "Rar$EXa0.123"))
        p.start()
        code, hwnd = h.probe("wait", "提示", 20000)
        self.assertEqual(code, 0, "no refusal message")
        hwnd = hwnd.strip()
        code, children = h.probe("children", hwnd)
        self.assertIn("请不要在压缩包中直接运行该软件，因为数据无法保存，请解压后运行！", children)
        h.screenshot("refusal.png")
        self.assertNotEqual(h.probe("find", "Dorvane", "#32770")[0], 0,
                            "a refused run must not create its main window")
        h.probe("post", hwnd, 0x0111, 1, 0)  # IDOK
        self.assertEqual(p.proc.wait(30), 0)


if __name__ == "__main__":
    h.main()
