"""The installer users get (scripts/build installer): a per-user silent installation, an
upgrade over the running program, an installation that stops because a copy will not quit,
and the uninstaller with and without the user's settings."""
import os
import re
import subprocess
import time
import unittest

import harness as h
from test_release import RELEASE, cache_value
from harness import note, profile, unscramble

INSTALLERS = os.path.join(h.ROOT, "build", "installer")
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelinor"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
PROGRAM_KEY = r"HKCU\Software\Pelinor"
KEPT_FEED = "http://127.0.0.1:9/kept.xml"


def env():
    # No desktop entries on the host for the Start-menu shortcut.
    e = dict(h.env())
    e["WINEDLLOVERRIDES"] = e.get("WINEDLLOVERRIDES", "") + ",winemenubuilder.exe=d"
    return e


def run(args, timeout=120):
    """Runs a Windows program offline (loopback only: the installed release exe talks to the
    maker's real host) and returns its exit code."""
    return subprocess.run(list(h.OFFLINE) + ["wine"] + args, env=env(), stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout).returncode


def reg_values(key):
    """The values of a registry key as {name: (type, data)}; None when the key is missing."""
    r = h.wine(["reg", "query", key])
    if r.returncode != 0:
        return None
    values = {}
    for line in r.stdout.decode("utf-8", errors="replace").splitlines():
        m = re.match(r"^\s+(\S.*?)\s+(REG_\w+)\s*(.*)$", line)
        if m:
            values[m.group(1)] = (m.group(2), m.group(3).strip())
    return values


def main_windows():
    return [w for w in h.windows() if w.title == "Dorvane" and w.cls == "#32770"]


class Installer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        version = cache_value(RELEASE, "CMAKE_PROJECT_VERSION")
        cls.version = version
        cls.setup = os.path.join(INSTALLERS, "pelinor-setup-%s.exe" % version)
        cls.appdata = h.unix_path(h.wine(["cmd", "/c", "echo %APPDATA%"]).stdout.decode().strip())

    def setUp(self):
        self.assertTrue(os.path.isfile(self.setup), "%s is missing: run scripts/build installer" % self.setup)
        self.folder = os.path.join(h.local_appdata(), "Programs", "Pelinor")
        self.shortcut = os.path.join(self.appdata, "Microsoft", "Windows", "Start Menu", "Programs", "Pelinor.lnk")
        self.data = os.path.join(h.local_appdata(), "Vessaly")
        self.clean()
        # A widget on a closed loopback port, so that the installed program fetches nothing.
        os.makedirs(self.data)
        with open(os.path.join(self.data, "data.dat"), "wb") as f:
            f.write(profile([note(KEPT_FEED, 0.1, 0.1, 3, 255)]))

    def tearDown(self):
        for w in main_windows():
            h.probe("post", w.hwnd, 0x0111, 2, 0)
            h.probe("gone", w.hwnd, 10000)
        self.clean()

    def clean(self):
        for key in (UNINSTALL_KEY, PROGRAM_KEY):
            h.wine(["reg", "delete", key, "/f"])
        h.wine(["reg", "delete", RUN_KEY, "/v", "Pelinor", "/f"])
        subprocess.run(["rm", "-rf", self.folder, self.shortcut, self.data])

    def uninstall(self, *options):
        self.assertEqual(run([os.path.join(self.folder, "uninstall.exe"), "/S"] + list(options)), 0)
        # The uninstaller runs on from a copy of itself in the temporary folder.
        if not h.wait_for(lambda: not os.path.exists(self.folder), 30):
            self.fail("the uninstaller left %r" % os.listdir(self.folder))

    def kept_data(self):
        path = os.path.join(self.data, "data.dat")
        if not os.path.exists(path):
            return ""
        with open(path, "rb") as f:
            return unscramble(f.read()).decode("gbk", errors="replace")

    def test_silent_install_upgrade_over_the_running_copy_and_uninstall(self):
        started = time.time()
        self.assertEqual(run([self.setup, "/S"]), 0)
        installed = time.time() - started
        with open(os.path.join(RELEASE, "pelinor.exe"), "rb") as a, \
                open(os.path.join(self.folder, "pelinor.exe"), "rb") as b:
            self.assertEqual(a.read(), b.read(), "the installed exe must be the release exe")
        for name in ("使用说明.txt", "uninstall.exe"):
            self.assertTrue(os.path.isfile(os.path.join(self.folder, name)), name)
        self.assertTrue(os.path.isfile(self.shortcut))

        exe = h.win_path(os.path.join(self.folder, "pelinor.exe"))
        self.assertTrue(exe.lower().startswith(h.win_path(h.local_appdata()).lower()), exe)
        key = reg_values(UNINSTALL_KEY)
        self.assertIsNotNone(key, "no Uninstall key")
        self.assertEqual(key["DisplayName"], ("REG_SZ", "Pelinor"))
        self.assertEqual(key["DisplayVersion"], ("REG_SZ", self.version))
        self.assertEqual(key["DisplayVersion"], ("REG_SZ", "1.0.0.0"))
        self.assertEqual(key["Publisher"][0], "REG_SZ")
        self.assertTrue(key["Publisher"][1])
        self.assertEqual(key["DisplayIcon"], ("REG_SZ", exe + ",0"))
        uninstaller = h.win_path(os.path.join(self.folder, "uninstall.exe"))
        self.assertEqual(key["UninstallString"], ("REG_SZ", '"%s"' % uninstaller))
        self.assertEqual(key["EstimatedSize"][0], "REG_DWORD")
        size_kb = int(key["EstimatedSize"][1], 0)
        self.assertAlmostEqual(size_kb * 1024, os.path.getsize(os.path.join(self.folder, "pelinor.exe")),
                               delta=1024 * 1024)
        # Start with Windows is ticked by default: the very value the program's menu writes.
        self.assertEqual(reg_values(RUN_KEY).get("Pelinor"), ("REG_SZ", '"%s"' % exe))

        # The installer started the installed program, with its stored widget.
        first = h.wait_for(main_windows, 20)
        self.assertEqual(len(first or []), 1, "the installed program did not start")
        pid = first[0].pid
        self.assertTrue(h.wait_for(lambda: [w for w in h.windows()
                                            if w.pid == pid and w.cls == "PelinorWidget" and w.visible], 20))

        # Installing again asks the running copy to quit and starts the new one.
        self.assertEqual(run([self.setup, "?update=true", "/S"]), 0)
        self.assertEqual(h.probe("gone", first[0].hwnd, 1000)[0], 0, "the old copy is still running")
        second = h.wait_for(main_windows, 20)
        self.assertEqual(len(second or []), 1, "the new copy did not start")
        self.assertNotEqual(second[0].hwnd, first[0].hwnd)
        # The copy that quit was the installed one: it saved beside itself.
        self.assertTrue(os.path.isfile(os.path.join(self.folder, "data.dat")))

        self.uninstall()
        self.assertEqual(main_windows(), [], "the uninstaller must quit the program")
        self.assertFalse(os.path.exists(self.shortcut))
        self.assertIsNone(reg_values(UNINSTALL_KEY))
        self.assertNotIn("Pelinor", reg_values(RUN_KEY) or {})
        self.assertNotIn("Location", reg_values(PROGRAM_KEY) or {})
        # The user's settings stay, as the quitting program last saved them.
        self.assertIn(KEPT_FEED, self.kept_data())
        print("silent installation took %.1f s" % installed)

    def test_a_copy_that_does_not_quit_stops_the_installation_before_anything_changes(self):
        holder = subprocess.Popen(["wine", os.path.join(h.BUILD, "tools", "winprobe", "winprobe.exe"),
                                   "holdevent", r"Global\PelinorLiveEvent", "25000"], env=env(),
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            # The stand-in holds the event once a second copy of the program would exit at once.
            time.sleep(3)
            self.assertIsNone(holder.poll())
            started = time.time()
            code = run([self.setup, "/S"])
            waited = time.time() - started
            self.assertEqual(code, 3)
            self.assertGreaterEqual(waited, 9)
            self.assertFalse(os.path.exists(self.folder), "a half-installed folder was left")
            self.assertIsNone(reg_values(UNINSTALL_KEY))
            self.assertFalse(os.path.exists(self.shortcut))
        finally:
            holder.wait(60)

    def test_removing_the_settings_on_request(self):
        self.assertEqual(run([self.setup, "/S"]), 0)
        self.assertTrue(h.wait_for(main_windows, 20))
        self.uninstall("/REMOVESETTINGS")
        self.assertFalse(os.path.exists(os.path.join(self.data, "data.dat")))
        self.assertFalse(os.path.exists(os.path.join(self.data, "statistics.dat")))


if __name__ == "__main__":
    h.main()
