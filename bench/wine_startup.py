#!/usr/bin/env python3
"""Start-up benchmark of the real program under Wine, against a floor program.

Builds (unless --no-build) the program in a tree of its own, build/bench-win: Release,
built for size as the shipped exe is, the maker's service at a loopback port, and
PELINOR_BENCH_TRACE, which makes each widget append "<ms> painted|content <hwnd>" to
bench-events.txt beside the exe after it pushes its layered image ("content" once the
image shows feed items). The exe is then stripped as the shipped one is. The floor
(bench/win/floor_win.cpp) starts COM, the common controls, GDI+, WinINet and the shell,
shows one layered window and reports "painted" the same way.

For each widget count (default 1, 10, 50) and each run, the floor and the program are
started in alternating order, in a Wine prefix and virtual display of their own, against a
loopback feed server started here. Times count from the start of each program's own code
(its "main" event); the time from the Windows process's creation (GetProcessTimes) to
there, spent loading and starting DLLs, is reported on its own.
Reported per count, as medians over the runs and as ratios to the floor of the same run
(and once more counted from each process's creation, DLL loading included):
  painted  - every widget has pushed its first image
  content  - every widget shows the items of its feed
  CPU      - CPU time the process used until then (less disturbed by a busy machine)
  VmHWM    - peak resident memory of the program's process, three seconds after all show
             content (so that the save that follows start-up counts)
  threads  - the most threads it had at once until then (each holds about 1 MiB under Wine)
  first content - the first widget shows the items of its feed
  idle CPU - CPU seconds of the process (and of the wineserver) over --idle-seconds
             after start-up, for the count given by --idle-count: first with the pointer
             in a corner no window covers (where it waits during every run), then as long
             again with it resting on the program's first window
  CPU quiet - CPU time the process used until three seconds after all show content (the
             late work of the start-up included)

With --stored each program starts with the data.dat the program itself wrote after showing
its feeds once (warm-up runs, not counted): a returning user's start, whose widgets show
their stored items at once and then get the same items from the server.

The pointer is moved with libX11 on the virtual display.

The floor is also run with as many windows as the program has widgets ("floor-N",
floor.exe --windows N): what each window costs the system by itself, and so what a widget
costs beyond its window.

With --as-widgets the floor runs once more with N windows that each take a widget's steps
("as-widgets", floor.exe --windows N --as-widgets): made hidden at a widget's place, a first
image of the size of the status line a widget shows while it loads, with round corners,
shown below the others; then, once all show, each grows with a second image of the size the
benchmark's feed gives a widget ("content"). What the system costs for a widget's windows
alone, in both phases.

The floor's windows are opaque rectangles; a widget's rounded corners are fully transparent
pixels, which Wine turns into an X shape. The X server then exposes a shaped window row by
row when it is mapped or resized, and Wine handles those events on the program's thread once
it looks at its messages again: with 50 overlapping widgets that is where much of the time
from "painted" to "content" goes. (A build whose widgets had no fully transparent pixel
showed 50 widgets' feeds in 863 ms instead of 1184 ms, with square corners under Wine.)

Usage: bench/wine_startup.py [--counts 1,10,50] [--runs 3] [--idle-seconds 60]
                             [--idle-count 10] [--no-build] [--stored] [--also LABEL=EXE ...]
                             [--floor-threads K] [--as-widgets]
--also runs another build of the program (before a change, say) in the same alternation.
--floor-threads K has K threads make floor-N's windows: how much of a window's cost is
waiting that other threads could overlap.
"""
import argparse
import asyncio
import ctypes
import ctypes.util
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from harness import scramble  # noqa: E402  (data.dat's scrambling, as the end-to-end tests write it)
TREE = os.path.join(ROOT, "build", "bench-win")
PORT = 18791  # the service port compiled into the benchmark tree; also serves the feeds
WIDGET_W, WIDGET_H = 260, 200
FLOOR_X, FLOOR_Y, FLOOR_W, FLOOR_H = 100, 100, 260, 200  # the floor's first window (bench/win/floor_win.cpp)
# Where the pointer waits: a corner of the 1280 x 800 display that no widget and no window
# of the floor covers, as a user's mouse elsewhere on the desktop.
PARKED = (1279, 799)


def build(targets=("pelinor", "floor", "winprobe"), tree=TREE, extra=()):
    # The same optimisation as the shipped exe (scripts/build release): built for size.
    args = ["-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-i686.cmake" % ROOT, "-DCMAKE_BUILD_TYPE=Release",
            "-DCMAKE_CXX_FLAGS_RELEASE=-Os -DNDEBUG", "-DCMAKE_C_FLAGS_RELEASE=-Os -DNDEBUG",
            "-DPELINOR_BENCH_TRACE=ON", "-DPELINOR_SERVICE_HOST=127.0.0.1", "-DPELINOR_SERVICE_PORT=%d" % PORT] + list(extra)
    if shutil.which("ccache"):
        args += ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
    subprocess.run(["cmake", "-S", ROOT, "-B", tree, "-G", "Ninja"] + args, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", tree, "-j", os.environ.get("PELINOR_JOBS", "2"), "--target"] + list(targets),
                   check=True)


def wine_env():
    """cmake/wine-env.sh's environment with a prefix and display of the benchmark's own."""
    env = dict(os.environ, PELINOR_WINEPREFIX=os.path.join(ROOT, "build", "wineprefix-bench"),
               PELINOR_XVFB_DISPLAY=str(130 + zlib.crc32(ROOT.encode()) % 40))
    env.pop("DISPLAY", None)
    with tempfile.TemporaryFile() as f:
        subprocess.run(["bash", "-c", '. "%s/cmake/wine-env.sh" && pelinor_wine_ready >/dev/null && env -0' % ROOT],
                       env=env, stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.DEVNULL, check=True,
                       timeout=300)
        f.seek(0)
        pairs = [item.split(b"=", 1) for item in f.read().split(b"\0") if b"=" in item]
    return {k.decode(): v.decode(errors="replace") for k, v in pairs}


def local_appdata(env):
    """The prefix's %LOCALAPPDATA% as a Unix path."""
    r = subprocess.run(["wine", "cmd", "/c", "echo %LOCALAPPDATA%"], env=env, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL)
    local = r.stdout.decode(errors="replace").strip()
    return subprocess.run(["wine", "winepath.exe", "-u", local], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL).stdout.decode().strip()


def rss(n):
    items = "".join("<item><title>第%d号源 第%d条：桌面订阅的新闻标题</title><link>http://127.0.0.1/%d/%d</link></item>"
                    % (n, i + 1, n, i + 1) for i in range(10))
    return ('<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel><title>%d</title>%s</channel></rss>'
            % (n, items)).encode("utf-8")


class FeedServer:
    """Answers /feed/N with ten items, after `delay_ms`; 404 otherwise, which is also what the
    program's start-up configuration request gets. HTTP/1.1 with kept-alive connections
    (an HTTP/1.0 request without "Connection: keep-alive" is answered and closed).

    One event loop on a thread of its own serves every connection, and a delayed answer is a
    timer of that loop: fifty requests at once are answered about `delay_ms` after each came,
    not one after another behind a thread per connection and the interpreter's lock (which
    made the server itself answer the last of fifty plain GETs about 18 ms late on this kind
    of machine)."""

    def __init__(self, port, delay_ms=0, feed=rss):
        self.loop = asyncio.new_event_loop()
        delay = delay_ms / 1000.0
        started = threading.Event()
        failure = []

        async def serve(reader, writer):
            try:
                while True:
                    head = (await reader.readuntil(b"\r\n\r\n")).decode("latin-1").split("\r\n")
                    method, target, version = (head[0].split(" ") + ["", ""])[:3]
                    connection = next((value.strip().lower() for name, _, value in (line.partition(":") for line in head[1:])
                                       if name.strip().lower() == "connection"), "")
                    path = target.partition("?")[0]
                    if method == "GET" and path.startswith("/feed/"):
                        if delay:
                            await asyncio.sleep(delay)
                        status, reason, body = 200, "OK", feed(int(path[6:]) if path[6:].isdigit() else 0)
                        kind = "text/xml"
                    else:
                        status, reason, body, kind = 404, "Not Found", b"not found", "text/plain"
                    keep = connection == "keep-alive" if version == "HTTP/1.0" else connection != "close"
                    # The head and the body leave in one write. Written apart, the body of an
                    # answer on a kept-alive connection waits for the client's delayed
                    # acknowledgement of the head (Nagle's algorithm; about 40 ms).
                    writer.write(("HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %d\r\n%s\r\n" % (
                        status, reason, kind, len(body), "" if keep else "Connection: close\r\n")).encode() + body)
                    await writer.drain()
                    if not keep:
                        break
            except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, ConnectionError):
                pass  # the client went, or sent what is no request
            finally:
                writer.close()

        def run():
            asyncio.set_event_loop(self.loop)
            try:
                self.server = self.loop.run_until_complete(
                    asyncio.start_server(serve, "127.0.0.1", port, backlog=128, reuse_address=True))
            except OSError as e:
                failure.append(e)
                started.set()
                return
            started.set()
            self.loop.run_forever()

        self.thread = threading.Thread(target=run, daemon=True)
        self.thread.start()
        started.wait()
        if failure:
            raise failure[0]

    def close(self):
        self.loop.call_soon_threadsafe(self.server.close)
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(5)


def widget_origin(i):
    """Where profile() places widget `i`: spread over a 1280 x 800 screen, overlapping when
    there are many. (floor.exe --as-widgets places its windows the same way.)"""
    return (i % 4) * 300 + (i // 16) * 12, ((i // 4) % 4) * 190 + (i // 16) * 12


def profile(count, settings=""):
    """A scrambled data.dat with `count` widgets; `settings` is inserted as elements of <config>."""
    notes = []
    for i in range(count):
        x, y = widget_origin(i)
        notes.append(
            '\t\t<note create_time="1300000000" group_name="">\r\n'
            '\t\t\t<template image="" type="1" bkcolor_id="%d" x1="0.050000" y1="0.100000" x2="0.950000" '
            'y2="0.950000"></template>\r\n'
            "\t\t\t<content><![CDATA[]]></content>\r\n\t\t\t<textcolor>0</textcolor>\r\n"
            '\t\t\t<position x="%f" y="%f" width="%d" height="%d"></position>\r\n'
            '\t\t\t<font face="宋体" size="90" bold="0"></font>\r\n\t\t\t<scrolly>0</scrolly>\r\n'
            "\t\t\t<transparent>200</transparent>\r\n\t\t\t<topmost>0</topmost>\r\n\t\t\t<visible>1</visible>\r\n"
            "\t\t\t<locked>0</locked>\r\n\t\t\t<linespace>6</linespace>\r\n"
            "\t\t\t<rssurl>http://127.0.0.1:%d/feed/%d</rssurl>\r\n"
            "\t\t\t<advlink_url></advlink_url>\r\n\t\t\t<advlink_title></advlink_title>\r\n\t\t</note>\r\n"
            % (i % 6 + 1, x / 1280.0, y / 800.0, WIDGET_W, WIDGET_H, PORT, i))
    text = ('<?xml version="1.0" encoding="gb2312"?>\r\n<config ver="1.8">\r\n\t<usecount>3</usecount>\r\n%s'
            "\t<newsnotes>\r\n%s\t</newsnotes>\r\n</config>" % (settings, "".join(notes)))
    return scramble(text.encode("gbk") + b"\0")


def find_process(name, prefix, timeout=30):
    """The Unix pid of the Windows process `name` running in `prefix`."""
    end = time.time() + timeout
    while time.time() < end:
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/comm" % pid) as f:
                    if f.read().strip() != name:
                        continue
                with open("/proc/%s/environ" % pid, "rb") as f:
                    if ("WINEPREFIX=%s" % prefix).encode() in f.read().split(b"\0"):
                        return int(pid)
            except OSError:
                continue
        time.sleep(0.02)
    return None


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def status_field(pid, field):
    """A number of /proc/PID/status ("VmHWM" in KiB, "Threads"); 0 when the process is gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def vm_hwm_kib(pid):
    return status_field(pid, "VmHWM")


def wineserver_pid(prefix):
    out = subprocess.run(["pgrep", "-f", "(^|/)wineserver"], stdout=subprocess.PIPE, text=True).stdout.split()
    for pid in out:
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if ("WINEPREFIX=%s" % prefix).encode() in f.read().split(b"\0"):
                    return int(pid)
        except OSError:
            pass
    return None


def read_events(path):
    created, started, first_paint, first_content = None, None, {}, {}
    try:
        with open(path) as f:
            lines = f.read().splitlines()
    except FileNotFoundError:
        return None, None, {}, {}
    for line in lines:
        parts = line.split()
        if len(parts) != 3:
            continue
        ms, what, who = int(parts[0]), parts[1], parts[2]
        if what == "created":
            created = ms
            continue
        if what == "main":
            started = ms
            continue
        if what not in ("painted", "content"):
            continue
        first_paint.setdefault(who, ms)
        if what == "content":
            first_content.setdefault(who, ms)
    return created, started, first_paint, first_content


def warp_pointer(env, x, y):
    """Puts the virtual display's pointer at (x, y), as a user's mouse resting there."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XWarpPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 2 + [ctypes.c_int] * 2
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(env["DISPLAY"].encode())
    if not display:
        raise RuntimeError("cannot open display %s to move the pointer" % env["DISPLAY"])
    try:
        x11.XWarpPointer(display, 0, x11.XDefaultRootWindow(display), 0, 0, 0, 0, x, y)
        x11.XSync(display, 0)
    finally:
        x11.XCloseDisplay(display)


def idle_cpu(pid, prefix, seconds):
    """CPU seconds of the process and of the wineserver over `seconds`."""
    server = wineserver_pid(prefix)
    c0, s0 = cpu_seconds(pid), cpu_seconds(server) if server else 0.0
    time.sleep(seconds)
    return cpu_seconds(pid) - c0, (cpu_seconds(server) - s0) if server else None


def stop(pid, proc):
    """Kills the Windows process `pid` (when known) and waits for its `wine` launcher."""
    if pid:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    try:
        proc.wait(30)
    except subprocess.TimeoutExpired:
        proc.kill()


def run_once(env, exe_src, name, count, idle_seconds, work, windows=False, data=None, threads=1,
             as_widgets=False):
    """Starts one copy; returns its figures (ms from process creation, KiB, CPU seconds) and,
    under "saved", the data.dat it left. With `windows` the floor shows `count` windows instead
    of one, made by `threads` threads (or, `as_widgets`, as a widget's are made and grown);
    `data` is the program's data.dat (by default `count` widgets that show nothing yet)."""
    folder = tempfile.mkdtemp(prefix="run-", dir=work)
    exe = os.path.join(folder, name)
    shutil.copy(exe_src, exe)
    widgets = count if (name == "pelinor.exe" or windows) else 1
    if name == "pelinor.exe":
        with open(os.path.join(folder, "data.dat"), "wb") as f:
            f.write(data or profile(count))
        shutil.rmtree(os.path.join(env["_LOCALAPPDATA"], "Vessaly"), ignore_errors=True)
    events = os.path.join(folder, "bench-events.txt")
    warp_pointer(env, *PARKED)
    launched = time.time()
    args = ["--windows", str(count), "--threads", str(threads)] if windows else []
    if as_widgets:
        args.append("--as-widgets")
    with_content = name == "pelinor.exe" or as_widgets
    proc = subprocess.Popen(["wine", exe] + args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    pid = find_process(name, env["WINEPREFIX"])
    result = {"widgets": widgets}
    try:
        end = time.time() + 120
        threads = 0  # the most threads seen at once: under Wine each holds about 1 MiB
        while time.time() < end:
            threads = max(threads, status_field(pid, "Threads") if pid else 0)
            created, started, painted, content = read_events(events)
            if len(painted) >= widgets and (not with_content or len(content) >= widgets):
                break
            time.sleep(0.02)
        cpu_done = cpu_seconds(pid)
        created, started, painted, content = read_events(events)
        if created is None or started is None or len(painted) < widgets:
            raise RuntimeError("%s with %d widgets: only %d painted" % (name, count, len(painted)))
        result["launch_to_created_ms"] = created - launched * 1000
        result["created_to_main_ms"] = started - created
        result["cpu_to_done_ms"] = cpu_done * 1000
        result["first_painted_ms"] = min(painted.values()) - started
        result["painted_ms"] = max(painted.values()) - started
        if with_content:
            if len(content) < widgets:
                raise RuntimeError("%s with %d widgets: only %d show content" % (name, count, len(content)))
            result["first_content_ms"] = min(content.values()) - started
            result["content_ms"] = max(content.values()) - started
        # Late work of the start-up counts as well: the configuration request a second
        # after the start and the save two seconds after the last widget changed size.
        settle = time.time() + 3.0
        while time.time() < settle:
            threads = max(threads, status_field(pid, "Threads"))
            time.sleep(0.02)
        result["vmhwm_kib"] = vm_hwm_kib(pid)
        result["cpu_quiet_ms"] = cpu_seconds(pid) * 1000
        result["threads"] = threads
        if name == "pelinor.exe":
            with open(os.path.join(folder, "data.dat"), "rb") as f:
                result["saved"] = f.read()
        if idle_seconds:
            # First with the pointer away from every window, then resting on the first one:
            # Wine's TrackMouseEvent looks at the pointer every hover time (400 ms) while it
            # stays over a window that asked to hear when it leaves.
            result["idle_cpu_s"], result["idle_wineserver_cpu_s"] = idle_cpu(pid, env["WINEPREFIX"], idle_seconds)
            if name == "pelinor.exe":
                warp_pointer(env, WIDGET_W // 2, WIDGET_H // 2)
            else:
                warp_pointer(env, FLOOR_X + FLOOR_W // 2, FLOOR_Y + FLOOR_H // 2)
            result["hover_idle_cpu_s"], result["hover_idle_wineserver_cpu_s"] = idle_cpu(
                pid, env["WINEPREFIX"], idle_seconds)
            warp_pointer(env, *PARKED)
            result["idle_seconds"] = idle_seconds
    finally:
        stop(pid, proc)
        shutil.rmtree(folder, ignore_errors=True)
    return result


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--counts", default="1,10,50")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--idle-seconds", type=int, default=60)
    ap.add_argument("--idle-count", type=int, default=10)
    ap.add_argument("--no-build", action="store_true")
    ap.add_argument("--also", action="append", default=[], metavar="LABEL=EXE",
                    help="another pelinor.exe (say, before a change) run in the same alternation")
    ap.add_argument("--stored", action="store_true",
                    help="start with the data.dat the program wrote after showing its feeds once")
    ap.add_argument("--json", help="also write every run's figures to this file")
    ap.add_argument("--floor-threads", type=int, default=1, metavar="K",
                    help="floor-N's windows are made by K threads, each with a message loop of its own")
    ap.add_argument("--as-widgets", action="store_true",
                    help="also run the floor with N windows made, shown and grown as widgets' are")
    args = ap.parse_args()
    counts = [int(c) for c in args.counts.split(",")]

    if not args.no_build:
        build()
    work = tempfile.mkdtemp(prefix="pelinor-bench-")
    # label -> (stripped copy, the name it runs under)
    programs = {"floor": (os.path.join(TREE, "bench", "win", "floor.exe"), "floor.exe"),
                "pelinor": (os.path.join(TREE, "pelinor.exe"), "pelinor.exe")}
    # The yardstick: the floor with as many windows as the program has widgets.
    yardstick = "floor-N"
    programs[yardstick] = programs["floor"]
    # The same windows made and grown as the widgets' are (--as-widgets).
    alike = "as-widgets"
    if args.as_widgets:
        programs[alike] = programs["floor"]
    for item in args.also:
        label, _, path = item.partition("=")
        programs[label] = (path, "pelinor.exe")
    for label, (path, name) in list(programs.items()):
        stripped = os.path.join(work, "stripped-%s-%s" % (label, name))
        subprocess.run(["i686-w64-mingw32-strip", "-o", stripped, path], check=True)
        programs[label] = (stripped, name)
    labels = list(programs)
    programs_shown = [label for label in labels if label not in ("floor", yardstick, alike)]
    env = wine_env()
    env["_LOCALAPPDATA"] = local_appdata(env)
    server = FeedServer(PORT)
    load_before = os.getloadavg()
    runs = []
    try:
        # A returning user's data.dat: the one this build wrote after showing its feeds.
        stored = {count: run_once(env, programs["pelinor"][0], "pelinor.exe", count, 0, work)["saved"]
                  for count in counts} if args.stored else {}
        for run in range(args.runs):
            for count in counts:
                shift = (run + counts.index(count)) % len(labels)
                figures = {}
                for label in labels[shift:] + labels[:shift]:  # each program leads in turn
                    idle = args.idle_seconds if (count == args.idle_count and run == 0) else 0
                    figures[label] = run_once(env, programs[label][0], programs[label][1], count,
                                              0 if label in (yardstick, alike) else idle, work,
                                              windows=label in (yardstick, alike), data=stored.get(count),
                                              threads=args.floor_threads, as_widgets=label == alike)
                    figures[label].pop("saved", None)
                runs.append({"run": run, "count": count, **figures})
                f = figures["floor"]
                line = "run %d, %2d widgets: floor painted %4.0f ms %5.1f MiB %2d threads" % (
                    run, count, f["painted_ms"], f["vmhwm_kib"] / 1024.0, f["threads"])
                y = figures[yardstick]
                line += " | %d windows %4.0f ms %5.1f MiB" % (count, y["painted_ms"], y["vmhwm_kib"] / 1024.0)
                if alike in figures:
                    a = figures[alike]
                    line += " | as widgets painted %4.0f ms, content %4.0f ms" % (a["painted_ms"], a["content_ms"])
                for label in programs_shown:
                    p = figures[label]
                    line += " | %s painted %5.0f ms, content %5.0f ms, %5.1f MiB, %2d threads, CPU %5.0f ms (%5.0f quiet)" % (
                        label, p["painted_ms"], p["content_ms"], p["vmhwm_kib"] / 1024.0, p["threads"],
                        p["cpu_to_done_ms"], p["cpu_quiet_ms"])
                print(line, flush=True)
    finally:
        server.close()
        shutil.rmtree(work, ignore_errors=True)
    load_after = os.getloadavg()

    print("\nload average before %.1f, after %.1f (%d cores)" % (load_before[0], load_after[0], os.cpu_count()))
    print("medians over %d runs; ratios are program / floor of the same run, then the median of those" % args.runs)
    # What the system itself costs per window: the floor with N windows.
    print("\n%s (the floor showing as many windows as there are widgets%s):" % (
        yardstick, ", made by %d threads" % args.floor_threads if args.floor_threads > 1 else ""))
    print("%7s %11s %10s %12s" % ("windows", "painted ms", "MiB", "MiB - floor"))
    windows = {}
    for count in counts:
        rs = [r for r in runs if r["count"] == count]
        yp = median([r[yardstick]["painted_ms"] for r in rs])
        ym = median([r[yardstick]["vmhwm_kib"] for r in rs]) / 1024.0
        windows[count] = (yp, ym)
        print("%7d %11.0f %10.1f %+12.1f" % (count, yp, ym,
                                            median([(r[yardstick]["vmhwm_kib"] - r["floor"]["vmhwm_kib"]) / 1024.0
                                                    for r in rs])))
    for a, b in zip(counts, counts[1:]):
        n = b - a
        print("per extra window from %d to %d: painted %+.1f ms, memory %+.2f MiB" % (
            a, b, (windows[b][0] - windows[a][0]) / n, (windows[b][1] - windows[a][1]) / n))
    alike_ms = {}
    if args.as_widgets:
        print("\n%s (as many windows, made, shown and grown as the widgets' are):" % alike)
        print("%7s %11s %11s %10s" % ("windows", "painted ms", "content ms", "MiB"))
        for count in counts:
            rs = [r for r in runs if r["count"] == count]
            alike_ms[count] = (median([r[alike]["painted_ms"] for r in rs]),
                               median([r[alike]["content_ms"] for r in rs]))
            print("%7d %11.0f %11.0f %10.1f" % (count, alike_ms[count][0], alike_ms[count][1],
                                                median([r[alike]["vmhwm_kib"] for r in rs]) / 1024.0))
        for a, b in zip(counts, counts[1:]):
            n = b - a
            print("per extra window from %d to %d: painted %+.1f ms, content %+.1f ms" % (
                a, b, (alike_ms[b][0] - alike_ms[a][0]) / n, (alike_ms[b][1] - alike_ms[a][1]) / n))
    for label in programs_shown:
        print("\n%s:" % label)
        print("%7s %9s %11s %8s %11s %8s %10s %10s %12s %9s %8s %7s %8s %14s" % (
            "widgets", "floor ms", "painted ms", "ratio", "content ms", "ratio", "floor MiB", "MiB", "MiB - floor",
            "floor CPU", "CPU ms", "ratio", "threads", "first content"))
        summary = {}
        for count in counts:
            rs = [r for r in runs if r["count"] == count]
            fp = median([r["floor"]["painted_ms"] for r in rs])
            pp = median([r[label]["painted_ms"] for r in rs])
            pc = median([r[label]["content_ms"] for r in rs])
            rp = median([r[label]["painted_ms"] / max(r["floor"]["painted_ms"], 1) for r in rs])
            rc = median([r[label]["content_ms"] / max(r["floor"]["painted_ms"], 1) for r in rs])
            fm = median([r["floor"]["vmhwm_kib"] for r in rs]) / 1024.0
            pm = median([r[label]["vmhwm_kib"] for r in rs]) / 1024.0
            dm = median([(r[label]["vmhwm_kib"] - r["floor"]["vmhwm_kib"]) / 1024.0 for r in rs])
            fc = median([r["floor"]["cpu_to_done_ms"] for r in rs])
            pcpu = median([r[label]["cpu_to_done_ms"] for r in rs])
            rcpu = median([r[label]["cpu_to_done_ms"] / max(r["floor"]["cpu_to_done_ms"], 1) for r in rs])
            summary[count] = (pp, pc, pm, pcpu)
            th = median([r[label]["threads"] for r in rs])
            first = median([r[label]["first_content_ms"] for r in rs])
            print("%7d %9.0f %11.0f %7.2fx %11.0f %7.2fx %10.1f %10.1f %+12.1f %9.0f %8.0f %6.2fx %8.0f %11.0f ms" % (
                count, fp, pp, rp, pc, rc, fm, pm, dm, fc, pcpu, rcpu, th, first))
        # As a user launching the program sees it: from the Windows process's creation, so
        # that the DLL loading both programs do before their own code counts for both.
        for count in counts:
            rs = [r for r in runs if r["count"] == count]
            launched = lambda r, k, what: r[k]["created_to_main_ms"] + r[k][what]
            print("%7d from process creation: floor %.0f ms, painted %.0f ms %.2fx, content %.0f ms %.2fx" % (
                count, median([launched(r, "floor", "painted_ms") for r in rs]),
                median([launched(r, label, "painted_ms") for r in rs]),
                median([launched(r, label, "painted_ms") / max(launched(r, "floor", "painted_ms"), 1) for r in rs]),
                median([launched(r, label, "content_ms") for r in rs]),
                median([launched(r, label, "content_ms") / max(launched(r, "floor", "painted_ms"), 1) for r in rs])))
        for a, b in zip(counts, counts[1:]):
            da, db = summary[a], summary[b]
            n = b - a
            print("per extra widget from %d to %d: painted %+.1f ms, content %+.1f ms, memory %+.2f MiB, CPU %+.1f ms"
                  % (a, b, (db[0] - da[0]) / n, (db[1] - da[1]) / n, (db[2] - da[2]) / n, (db[3] - da[3]) / n))
            print("  of which beyond a window of the %s: painted %+.1f ms, memory %+.2f MiB" % (
                yardstick, (db[0] - da[0] - windows[b][0] + windows[a][0]) / n,
                (db[2] - da[2] - windows[b][1] + windows[a][1]) / n))
            if alike_ms:
                print("  of which beyond a window made and grown as a widget's (%s): painted %+.1f ms, "
                      "content %+.1f ms" % (alike, (db[0] - da[0] - alike_ms[b][0] + alike_ms[a][0]) / n,
                                            (db[1] - da[1] - alike_ms[b][1] + alike_ms[a][1]) / n))
        print("CPU until quiet (3 s after all show content), median: %s" % ", ".join(
            "%d widgets %.0f ms" % (count, median([r[label]["cpu_quiet_ms"] for r in runs if r["count"] == count]))
            for count in counts))
        print("process creation to own code (DLL loading), median: floor %.0f ms, %s %.0f ms" % (
            median([r["floor"]["created_to_main_ms"] for r in runs]), label,
            median([r[label]["created_to_main_ms"] for r in runs])))
    for r in runs:
        for label in labels:
            p = r[label]
            if "idle_cpu_s" in p:
                print("idle over %d s with %d widgets: %s %.2f s CPU (wineserver meanwhile %.2f s); "
                      "with the pointer resting on its first window %.2f s (wineserver %.2f s)" % (
                          p["idle_seconds"], r["count"], label, p["idle_cpu_s"], p["idle_wineserver_cpu_s"] or 0,
                          p["hover_idle_cpu_s"], p["hover_idle_wineserver_cpu_s"] or 0))
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"load": [load_before, load_after], "runs": runs}, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
