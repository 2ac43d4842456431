"""The exe users get (scripts/build release): a stripped 32-bit GUI program under 2 MB whose
debug information sits beside it, that imports only DLLs every Windows has, that talks to the
configured service host and never to a loopback stand-in, and that still runs."""
import os
import re
import subprocess
import unittest
import zlib

import harness as h
from harness import note, profile, unscramble

RELEASE = os.environ.get("PELINOR_RELEASE", os.path.join(h.ROOT, "build", "release"))
RELEASE_EXE = os.path.join(RELEASE, "pelinor.exe")
# A loopback address as a host: 127.x.x.x, [::1], or localhost in a URL or with a port (the
# bare word is also a name the link dialogs recognise, not an address).
LOOPBACK = re.compile(r"(?i)(^|[^0-9.])127\.\d{1,3}\.\d{1,3}\.\d{1,3}|//localhost|localhost:\d|\[::1\]")


def loopback_strings(exe):
    """Every printable string of `exe`, 8-bit or UTF-16 (the program's wide literals), that
    names a loopback address."""
    found = []
    for encoding in ("s", "l"):
        out = subprocess.run(["strings", "-a", "-e", encoding, exe], stdout=subprocess.PIPE,
                             check=True).stdout.decode("latin-1")
        found += [s for s in out.splitlines() if LOOPBACK.search(s)]
    return found


def cache_value(tree, name):
    with open(os.path.join(tree, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return None


def section_names(exe):
    out = subprocess.run(["i686-w64-mingw32-objdump", "-h", exe], stdout=subprocess.PIPE,
                         check=True).stdout.decode()
    return set(re.findall(r"^\s*\d+\s+(\S+)", out, re.M))


def section_bytes(exe, name):
    out = subprocess.run(["i686-w64-mingw32-objdump", "-s", "-j", name, exe], stdout=subprocess.PIPE,
                         check=True).stdout.decode()
    # Lines of the dump: " address  hex words (up to four)  text"
    rows = re.findall(r"^ [0-9a-f]+ ((?:[0-9a-f]{2,8} ?){1,4})", out, re.M)
    return bytes.fromhex("".join(r.replace(" ", "") for r in rows))


# The DLLs that come with Windows 7 and every later Windows, as far as the program and its
# tests use them. Wine brings more (zlib1.dll, for one), so a program that runs under Wine
# may still not start on Windows: whatever else an exe imports has to be linked into it.
WINDOWS_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "dwmapi.dll", "gdi32.dll",
    "gdiplus.dll", "imm32.dll", "kernel32.dll", "msimg32.dll", "msvcrt.dll", "ntdll.dll",
    "ole32.dll", "oleacc.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "urlmon.dll",
    "user32.dll", "uxtheme.dll", "version.dll", "wininet.dll", "winmm.dll", "wintrust.dll",
    "ws2_32.dll",
}


def imported_dlls(exe):
    out = subprocess.run(["i686-w64-mingw32-objdump", "-p", exe], stdout=subprocess.PIPE,
                         check=True).stdout.decode("latin-1")
    return {name.lower() for name in re.findall(r"^\s*DLL Name: (\S+)", out, re.M)}


class ReleaseExe(unittest.TestCase):
    def setUp(self):
        self.assertTrue(os.path.isfile(RELEASE_EXE), "%s is missing: run scripts/build release" % RELEASE_EXE)

    def test_is_a_stripped_gui_program_under_two_megabytes(self):
        kind = subprocess.run(["file", "-b", RELEASE_EXE], stdout=subprocess.PIPE, check=True).stdout.decode()
        self.assertTrue(kind.startswith("PE32 executable (GUI) Intel 80386"), kind)
        self.assertLess(os.path.getsize(RELEASE_EXE), 2 * 1024 * 1024)
        sections = section_names(RELEASE_EXE)
        self.assertFalse([s for s in sections if s.startswith(".debug")], sections)

        # The debug information is kept beside it, and the exe names that very file.
        debug = os.path.join(RELEASE, "pelinor.debug")
        self.assertIn(".debug_info", section_names(debug))
        dump = section_bytes(RELEASE_EXE, ".gnu_debuglink")
        name, crc = dump[:dump.index(b"\0")], int.from_bytes(dump[-4:], "little")
        self.assertEqual(name, b"pelinor.debug")
        with open(debug, "rb") as f:
            self.assertEqual(crc, zlib.crc32(f.read()), "pelinor.debug is not the one this exe was built with")

    def test_imports_only_dlls_windows_ships(self):
        # The exe users get, and the test build's programs, which the tests run in its stead.
        exes = [RELEASE_EXE] + [os.path.join(h.BUILD, n)
                                for n in ("pelinor.exe", "tests/core_tests.exe", "tests/win_tests.exe")]
        for exe in exes:
            with self.subTest(exe=exe):
                self.assertTrue(os.path.isfile(exe), "%s is missing" % exe)
                dlls = imported_dlls(exe)
                self.assertIn("kernel32.dll", dlls)  # the import table was read
                self.assertEqual(sorted(dlls - WINDOWS_DLLS), [], "%s imports DLLs Windows does not ship" % exe)

    def test_talks_to_the_configured_host_and_carries_no_loopback_address(self):
        host = cache_value(RELEASE, "PELINOR_SERVICE_HOST")
        self.assertTrue(host and not LOOPBACK.search(host), host)
        wide = subprocess.run(["strings", "-a", "-e", "l", RELEASE_EXE], stdout=subprocess.PIPE,
                              check=True).stdout.decode("latin-1").splitlines()
        self.assertIn(host, wide)
        self.assertEqual(loopback_strings(RELEASE_EXE), [])

        # The same scan does find the stand-in address the test build is made with.
        self.assertTrue(LOOPBACK.search(cache_value(h.BUILD, "PELINOR_SERVICE_HOST") or ""))
        self.assertTrue(loopback_strings(os.path.join(h.BUILD, "pelinor.exe")))

    def test_starts_as_the_updater_starts_it_and_quits(self):
        # Loopback is its only network, so nothing it tries reaches the internet; its one
        # widget points at a closed loopback port.
        h.reset_user_data()
        program = h.Program(exe=RELEASE_EXE, launcher=h.OFFLINE)
        try:
            url = "http://127.0.0.1:9/feed.xml"
            with open(program.file("data.dat"), "wb") as f:
                f.write(profile([note(url, 0.1, 0.1, 2, 255)]))
            program.start("?update=true")
            self.assertIsNotNone(program.main_window(), "the release exe never showed its main window")
            pid = [w for w in h.windows() if w.title == "Dorvane"][0].pid
            self.assertTrue(h.wait_for(lambda: [w for w in h.windows()
                                                if w.pid == pid and w.cls == "PelinorWidget" and w.visible], 20),
                            "its stored widget did not appear")
            self.assertEqual(program.quit(), 0)
            with open(program.file("data.dat"), "rb") as f:
                self.assertIn(url, unscramble(f.read()).decode("gbk", errors="replace"))
        finally:
            program.stop(kill=True)


if __name__ == "__main__":
    h.main()
