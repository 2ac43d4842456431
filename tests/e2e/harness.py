"""End-to-end harness: runs the real pelinor.exe under Wine and Xvfb.

Each test gets a fresh program folder (a copy of pelinor.exe) and a clean per-user data
folder; all end-to-end tests share one Wine prefix and one virtual display of their own
(never the unit tests'), and ctest runs them one at a time. Offers a loopback HTTP server
for feeds and the maker's service, winprobe for listing and driving windows, and
screenshots.
"""
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("PELINOR_BUILD", os.path.join(ROOT, "build", "win"))
ARTIFACTS = os.path.join(BUILD, "e2e-artifacts")


def wine_env(prefix_name="wineprefix-e2e", first_display=90):
    """The environment of cmake/wine-env.sh with a prefix of that name in the build tree and
    a virtual display of this checkout, ready to use. The end-to-end tests share the
    default one; a run that changes the prefix's settings (its DPI) or the display's
    background takes one of its own."""
    prefix = os.path.join(BUILD, prefix_name)
    display = first_display + zlib.crc32(ROOT.encode()) % 40
    script = ('. "%s/cmake/wine-env.sh" && pelinor_wine_ready >/dev/null && env -0'
              % ROOT)
    env = dict(os.environ, PELINOR_WINEPREFIX=prefix, PELINOR_XVFB_DISPLAY=str(display))
    env.pop("DISPLAY", None)
    with tempfile.TemporaryFile() as f, tempfile.TemporaryFile() as err:
        r = subprocess.run(["bash", "-c", script], env=env, stdin=subprocess.DEVNULL, stdout=f,
                           stderr=err, timeout=300)
        if r.returncode != 0:
            err.seek(0)
            raise RuntimeError("the Wine prefix or display %s could not be made ready: %s"
                               % (display, err.read().decode(errors="replace").strip()))
        f.seek(0)
        out = f.read()
    result = {}
    for item in out.split(b"\0"):
        if b"=" in item:
            k, v = item.split(b"=", 1)
            result[k.decode()] = v.decode(errors="replace")
    return result


ENV = None


def env():
    global ENV
    if ENV is None:
        ENV = wine_env()
    return ENV


def wine(args, timeout=60, check=False):
    """Runs a Windows program to its end. Output goes through files, not pipes: Wine may
    start helper processes (the desktop's explorer) that inherit the output handles and
    live on, and a pipe would then never reach its end."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        r = subprocess.run(["wine"] + args, env=env(), stdin=subprocess.DEVNULL, stdout=out,
                           stderr=err, timeout=timeout, check=check)
        out.seek(0)
        err.seek(0)
        r.stdout, r.stderr = out.read(), err.read()
    return r


def unix_path(win_path):
    return wine(["winepath.exe", "-u", win_path]).stdout.decode().strip()


def win_path(path):
    return wine(["winepath.exe", "-w", path]).stdout.decode().strip()


def probe(*args, timeout=120):
    """Runs winprobe; returns (exit code, stdout text)."""
    exe = os.path.join(BUILD, "tools", "winprobe", "winprobe.exe")
    r = wine([exe] + [str(a) for a in args], timeout=timeout)
    return r.returncode, r.stdout.decode("utf-8", errors="replace")


class Window:
    def __init__(self, line):
        # hwnd pid visible exstyle class "title" left top right bottom
        head, rest = line.split(' "', 1)
        title, rect = rest.rsplit('" ', 1)
        parts = head.split(" ")
        self.hwnd = parts[0]
        self.pid = int(parts[1])
        self.visible = parts[2] == "1"
        self.exstyle = int(parts[3], 16)
        self.cls = parts[4]
        self.title = title
        self.rect = tuple(int(x) for x in rect.split())

    def __repr__(self):
        return "Window(%s %s %r %r vis=%s %s)" % (self.hwnd, self.cls, self.title, self.rect,
                                                  self.visible, hex(self.exstyle))


def windows():
    code, out = probe("list")
    return [Window(l) for l in out.splitlines() if l.strip()]


def screenshot(name):
    os.makedirs(ARTIFACTS, exist_ok=True)
    path = os.path.join(ARTIFACTS, name)
    subprocess.run(["import", "-window", "root", path], env=env(), timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path


def local_appdata():
    r = wine(["cmd", "/c", "echo %LOCALAPPDATA%"])
    return unix_path(r.stdout.decode(errors="replace").strip())


def temp_folder():
    r = wine(["cmd", "/c", "echo %TEMP%"])
    return unix_path(r.stdout.decode(errors="replace").strip())


class Program:
    """A copy of pelinor.exe (the test build's unless `exe` names another) in a fresh folder,
    started and stopped on request. `launcher` is put before "wine" (for example to run the
    program in a network namespace of its own). `clock_scale` makes the test build's clock
    run that many times faster (PELINOR_CLOCK_SCALE), so that refreshes and retries due
    minutes or hours later come in seconds."""

    def __init__(self, folder=None, exe=None, launcher=(), clock_scale=None):
        self.clock_scale = clock_scale
        self.folder = folder or tempfile.mkdtemp(prefix="pelinor-e2e-")
        os.makedirs(self.folder, exist_ok=True)
        self.exe = os.path.join(self.folder, "pelinor.exe")
        shutil.copy(exe or os.path.join(BUILD, "pelinor.exe"), self.exe)
        self.launcher = list(launcher)
        self.proc = None

    def start(self, *args):
        run_env = env()
        if self.clock_scale:
            run_env = dict(run_env, PELINOR_CLOCK_SCALE=str(self.clock_scale))
        self.proc = subprocess.Popen(self.launcher + ["wine", self.exe] + list(args), env=run_env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self.proc

    def start_on(self, data):
        """Starts the program on `data` (data.dat's bytes); returns the process id of its main
        window, or None when that never appeared."""
        with open(self.file("data.dat"), "wb") as f:
            f.write(data)
        self.start()
        if not self.main_window():
            return None
        return [w for w in windows() if w.title == "Dorvane"][0].pid

    def saved(self):
        """The data.dat in its folder as text."""
        with open(self.file("data.dat"), "rb") as f:
            return unscramble(f.read()).decode("gbk", errors="replace")

    def run_to_end(self, timeout=60):
        return subprocess.run(["wine", self.exe], env=env(), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout).returncode

    def main_window(self, timeout_ms=20000):
        code, out = probe("wait", "Dorvane", timeout_ms, "#32770")
        return out.strip() if code == 0 else None

    def quit(self, timeout=30):
        """Asks the program to quit as its menu does (command 2) and waits for the exit."""
        hwnd = self.main_window(2000)
        if hwnd:
            probe("post", hwnd, 0x0111, 2, 0)
        if self.proc:
            try:
                return self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.kill()
        return None

    def kill(self):
        subprocess.run(["wineserver", "-k"], env=env(), timeout=60)
        if self.proc:
            self.proc.wait(30)

    def file(self, name):
        return os.path.join(self.folder, name)

    def cleanup(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def stop(self, kill=False):
        """Ends the program if it still runs (asks it to quit, or with `kill` kills it
        without waiting for a save), then removes its folder."""
        if self.proc and self.proc.poll() is None:
            if kill:
                self.kill()
            else:
                self.quit()
        self.cleanup()


class Server:
    """A loopback HTTP server. `routes` maps a path (without query) to (status, headers, body)
    or to a callable taking the handler. Every request line is recorded."""

    def __init__(self, routes=None, port=0):
        self.routes = dict(routes or {})
        self.requests = []
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *a):
                pass

            def do_GET(self):
                outer.requests.append((self.requestline, dict(self.headers)))
                path = self.path.split("?", 1)[0]
                route = outer.routes.get(path)
                if callable(route):
                    return route(self)
                if route is None:
                    route = (404, {"Content-Type": "text/html"}, b"not found")
                status, headers, body = route
                self.send_response(status)
                for k, v in headers.items():
                    self.send_header(k, v)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        http.server.ThreadingHTTPServer.allow_reuse_address = True
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


# Runs a command with loopback as its only network: a program that must not reach the
# internet (the release build, which talks to the maker's real host) runs under it.
OFFLINE = ("unshare", "-n", "sh", "-c", 'ip link set lo up && exec "$@"', "offline")


# The loopback stand-in for the maker's service: test builds point the service at this port.
SERVICE_PORT = int(os.environ.get("PELINOR_SERVICE_PORT", "18777"))


def service(routes=None):
    """A Server on the service's port, serving what the test chooses (configuration
    documents, update manifests, pictures, installers)."""
    return Server(routes, port=SERVICE_PORT)


def use_dpi(dpi):
    """Switches to the Wine prefix whose DPI tests change and sets its DPI (LogPixels); a
    fresh wineserver makes every new program read it. End-to-end tests run one at a time,
    so the tests that need another DPI share that prefix."""
    global ENV
    ENV = wine_env("wineprefix-dpi", 170)
    wine(["reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"])
    subprocess.run(["wineserver", "-k"], env=env(), timeout=60)
    subprocess.run(["wineserver", "-w"], env=env(), timeout=60)
    ENV = wine_env("wineprefix-dpi", 170)


def reset_user_data():
    """Removes the per-user data folder so each test starts as a fresh installation."""
    shutil.rmtree(os.path.join(local_appdata(), "Vessaly"), ignore_errors=True)


def wait_for(predicate, timeout=20.0, interval=0.2):
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()



# --- Profiles, feeds and data.dat shared by the tests -------------------------------------

SCREEN_W, SCREEN_H = 1280, 800
WM_KEYDOWN, WM_MOUSEMOVE, WM_COMMAND = 0x100, 0x200, 0x111
VK_RETURN, VK_ESCAPE, VK_UP, VK_RIGHT, VK_DOWN = 0x0D, 0x1B, 0x26, 0x27, 0x28


def rss(name, count):
    items = "".join(
        "<item><title>%s 第%d条：桌面订阅的新闻标题</title><link>http://127.0.0.1/%s/%d</link></item>"
        % (name, i + 1, name, i + 1) for i in range(count))
    return ('<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel><title>%s</title>%s'
            "</channel></rss>" % (name, items)).encode("utf-8")


def note(url, fx, fy, theme, alpha, width=260, height=200):
    return ("\t\t<note create_time=\"1300000000\" group_name=\"\">\r\n"
            "\t\t\t<template image=\"\" type=\"1\" bkcolor_id=\"%d\" x1=\"0.050000\" y1=\"0.100000\" "
            "x2=\"0.950000\" y2=\"0.950000\"></template>\r\n"
            "\t\t\t<content><![CDATA[]]></content>\r\n\t\t\t<textcolor>0</textcolor>\r\n"
            "\t\t\t<position x=\"%f\" y=\"%f\" width=\"%d\" height=\"%d\"></position>\r\n"
            "\t\t\t<font face=\"宋体\" size=\"90\" bold=\"0\"></font>\r\n\t\t\t<scrolly>0</scrolly>\r\n"
            "\t\t\t<transparent>%d</transparent>\r\n\t\t\t<topmost>0</topmost>\r\n\t\t\t<visible>1</visible>\r\n"
            "\t\t\t<locked>0</locked>\r\n\t\t\t<linespace>6</linespace>\r\n\t\t\t<rssurl>%s</rssurl>\r\n"
            "\t\t\t<advlink_url></advlink_url>\r\n\t\t\t<advlink_title></advlink_title>\r\n\t\t</note>\r\n"
            % (theme, fx, fy, width, height, alpha, url))


def profile(notes):
    return ('<?xml version="1.0" encoding="gb2312"?>\r\n<config ver="1.8">\r\n\t<usecount>3</usecount>\r\n'
            "\t<newsnotes>\r\n%s\t</newsnotes>\r\n</config>" % "".join(notes)).encode("gbk")


def unscramble(data):
    if data.startswith(b"<?xml"):
        return data
    out = bytearray()
    for i, b in enumerate(data):
        b = ~b & 0xFF
        n = i % 7 + 1
        out.append(((b >> n) | (b << (8 - n))) & 0xFF)
    return bytes(out)


def rgb_crop(png, rect):
    """Raw RGB bytes of a screen rectangle of a screenshot."""
    l, t, r, b = rect
    return subprocess.run(["convert", png, "-crop", "%dx%d+%d+%d" % (r - l, b - t, l, t), "rgb:-"],
                          stdout=subprocess.PIPE, check=True).stdout


def scramble(data):
    out = bytearray()
    for i, b in enumerate(data):
        n = i % 7 + 1
        out.append(~(((b << n) | (b >> (8 - n))) & 0xFF) & 0xFF)
    return bytes(out)


class ProgramSession:
    """A test case that runs the program on a prepared profile: expects self.program (a
    Program) and reads its widgets, its saved data.dat and types into a widget's menu."""

    def start(self, notes):
        with open(self.program.file("data.dat"), "wb") as f:
            f.write(profile(notes))
        self.program.start()
        self.assertIsNotNone(self.program.main_window(), "the main window never appeared")
        self.pid = [w for w in windows() if w.title == "Dorvane"][0].pid

    def widgets(self):
        return [w for w in windows() if w.cls == "PelinorWidget" and w.pid == self.pid and w.visible]

    def saved(self):
        """The program-folder data.dat as text; empty while a save is replacing it."""
        try:
            with open(self.program.file("data.dat"), "rb") as f:
                return unscramble(f.read()).decode("gbk", errors="replace")
        except FileNotFoundError:
            return ""

    def menu_keys(self, widget, keys):
        """Opens the widget's menu with a right click and types the keys into it."""
        probe("click", widget.hwnd, 40, 60, "right")
        menu = wait_for(lambda: [w for w in windows() if w.cls == "#32768" and w.visible], 10)
        self.assertTrue(menu, "the widget menu did not open")
        for k in keys:
            probe("post", menu[0].hwnd, WM_KEYDOWN, k, 0)
        time.sleep(0.5)


def main():
    """Runs the calling module's tests and prints the closing count line."""
    result = unittest.main(module="__main__", exit=False, verbosity=2).result
    failed = len(result.failures) + len(result.errors)
    passed = result.testsRun - failed - len(result.skipped)
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)
