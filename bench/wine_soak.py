#!/usr/bin/env python3
"""Memory of the real program under Wine over a long run of refreshes of feeds that change.

Builds (unless --no-build) the program in a tree of its own, build/bench-soak: as
bench/wine_startup.py builds it, except that a refresh interval the user chose passes 150
times faster, so the 5-minute choice refreshes every 2 s. Starts the (stripped) exe with
--widgets stored widgets set to that interval, against a loopback server whose feeds gain a
new item at every request (the oldest of the ten drops out, and each new title is longer or
shorter than the last), and every --hover seconds moves the pointer down the lines of one
widget after another (hover repaints, the tooltip, the surface kept while the pointer rests).

Every --sample seconds (just before a sweep, while the pointer rests off the widgets) it
reads the process's anonymous resident memory (RssAnon: the heap, surfaces, thread stacks in
use), VmRSS, its threads and its open descriptors (under Wine, sockets, files and mappings
hold one each). After --warmup minutes the figures should stay flat: it prints each as the
median of a minute's samples after the warm-up and at the end of the run, and its growth per
thousand refreshes from a least-squares line through the samples after the warm-up. At the
end it counts the program's windows by class (a tooltip or menu made anew and never
destroyed would show there), and the program's data.dat must still hold every widget.

Usage: bench/wine_soak.py [--minutes 20] [--widgets 10] [--warmup 3] [--sample 10]
                          [--hover 5] [--no-build]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_startup as ws  # noqa: E402
from harness import unscramble  # noqa: E402  (on the path through wine_startup)

TREE = os.path.join(ws.ROOT, "build", "bench-soak")
# The soak build's clock runs this many times faster (PELINOR_CLOCK_SCALE). Widgets due
# together start a tick (a second) apart, so ten widgets at the 5-minute choice can keep
# their pace at 10 s.
DIVISOR = 30
INTERVAL = 300  # the 5-minute choice: 10 s in the soak build


class ChangingFeeds:
    """Feed N as ten items; each request to it adds one newer item at the top."""

    def __init__(self):
        self.lock = threading.Lock()
        self.times = {}  # feed -> when each request for it came

    def shortest_gap(self):
        """The shortest time between two requests for one feed, in seconds."""
        with self.lock:
            gaps = [b - a for t in self.times.values() for a, b in zip(t, t[1:])]
        return min(gaps) if gaps else None

    def total(self):
        with self.lock:
            return sum(len(t) for t in self.times.values())

    def per_feed(self):
        with self.lock:
            return sorted(len(t) for t in self.times.values())

    def __call__(self, n):
        with self.lock:
            times = self.times.setdefault(n, [])
            times.append(time.time())
            k = len(times)
        items = "".join(
            "<item><title>第%d号源 第%d条：%s</title><link>http://127.0.0.1/%d/%d</link>"
            "<description>第%d条的摘要</description><guid>%d-%d</guid></item>"
            % (n, j, "桌面订阅的新闻标题" * (1 + j % 3), n, j, j, n, j) for j in range(k + 9, k - 1, -1))
        return ('<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel><title>%d</title>%s'
                "</channel></rss>" % (n, items)).encode("utf-8")


def sample(pid):
    fds = len(os.listdir("/proc/%d/fd" % pid))
    return {"anon": ws.status_field(pid, "RssAnon"), "rss": ws.status_field(pid, "VmRSS"),
            "threads": ws.status_field(pid, "Threads"), "fds": fds}


def windows_by_class(env):
    """The program's top-level windows, counted by class (tools/winprobe lists them)."""
    out = subprocess.run(["wine", os.path.join(TREE, "tools", "winprobe", "winprobe.exe"), "list"], env=env,
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         timeout=60).stdout.decode("utf-8", errors="replace").splitlines()
    rows = [line.split() for line in out if len(line.split()) >= 5]
    owners = {r[1] for r in rows if r[4] == "PelinorWidget"}
    counts = {}
    for r in rows:
        if r[1] in owners:
            counts[r[4]] = counts.get(r[4], 0) + 1
    return counts


def slope(points):
    """Least-squares slope of (x, y) points; None with fewer than two distinct x."""
    n = len(points)
    if n < 2:
        return None
    mx = sum(x for x, _ in points) / n
    my = sum(y for _, y in points) / n
    sxx = sum((x - mx) ** 2 for x, _ in points)
    if sxx == 0:
        return None
    return sum((x - mx) * (y - my) for x, y in points) / sxx


def hover_points(count):
    """Where the pointer goes: down the lines of each widget in turn, then off every widget."""
    points = []
    for i in range(count):
        x, y = ws.widget_origin(i)
        points.append([(x + ws.WIDGET_W // 3, y + dy) for dy in range(30, ws.WIDGET_H - 10, 16)])
    return points


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--minutes", type=float, default=20)
    ap.add_argument("--widgets", type=int, default=10)
    ap.add_argument("--warmup", type=float, default=3, help="minutes before growth is counted")
    ap.add_argument("--sample", type=float, default=10, help="seconds between samples")
    ap.add_argument("--hover", type=float, default=5, help="seconds between pointer sweeps (0: none)")
    ap.add_argument("--no-build", action="store_true")
    args = ap.parse_args()

    if not args.no_build:
        ws.build(targets=("pelinor", "winprobe"), tree=TREE, extra=("-DPELINOR_TEST_CLOCK=ON",))
    work = tempfile.mkdtemp(prefix="pelinor-soak-")
    exe = os.path.join(work, "pelinor.exe")
    shutil.copy(os.path.join(TREE, "pelinor.exe"), exe)  # stripped by the build, as the shipped one
    with open(os.path.join(work, "data.dat"), "wb") as f:
        f.write(ws.profile(args.widgets, "\t<refresh_interval>%d</refresh_interval>\r\n" % INTERVAL))
    env = dict(ws.wine_env(), PELINOR_CLOCK_SCALE=str(DIVISOR))
    shutil.rmtree(os.path.join(ws.local_appdata(env), "Vessaly"), ignore_errors=True)
    feeds = ChangingFeeds()
    server = ws.FeedServer(ws.PORT, feed=feeds)
    ws.warp_pointer(env, *ws.PARKED)
    proc = subprocess.Popen(["wine", exe], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    pid = ws.find_process("pelinor.exe", env["WINEPREFIX"])
    if not pid:
        ws.stop(None, proc)
        server.close()
        shutil.rmtree(work, ignore_errors=True)
        sys.exit("pelinor.exe did not start")
    sweeps = hover_points(args.widgets)
    rows = []  # (seconds, refreshes, sample)
    failure = None
    try:
        start = time.time()
        end = start + args.minutes * 60
        next_sample, next_hover, sweep = start, start + args.hover, 0
        print("%7s %10s %10s %9s %8s %5s" % ("seconds", "refreshes", "RssAnon MiB", "VmRSS MiB", "threads", "fds"))
        while time.time() < end:
            if proc.poll() is not None or not os.path.exists("/proc/%d" % pid):
                failure = "the program ended after %.0f s" % (time.time() - start)
                break
            now = time.time()
            # With sweeps, a sample waits for the next one: the pointer has then been off every
            # widget for --hover seconds, so each sample sees the same resting state.
            if now >= next_sample and (not args.hover or now >= next_hover):
                s = sample(pid)
                rows.append((now - start, feeds.total(), s))
                print("%7.0f %10d %10.1f %9.1f %8d %5d" % (now - start, feeds.total(), s["anon"] / 1024.0,
                                                          s["rss"] / 1024.0, s["threads"], s["fds"]), flush=True)
                next_sample += args.sample
            if args.hover and now >= next_hover:
                for x, y in sweeps[sweep % len(sweeps)]:
                    ws.warp_pointer(env, x, y)
                    time.sleep(0.15)
                ws.warp_pointer(env, *ws.PARKED)
                sweep += 1
                next_hover = time.time() + args.hover
            time.sleep(0.05)
        # The program saves the feeds' items after they change; give the last save time.
        time.sleep(3)
        windows = windows_by_class(env)
        with open(os.path.join(work, "data.dat"), "rb") as f:
            text = unscramble(f.read()).decode("gbk", errors="replace")
        notes = text.count("<note ")
    finally:
        ws.stop(pid, proc)
        server.close()
        shutil.rmtree(work, ignore_errors=True)

    if failure:
        sys.exit(failure)
    after = [r for r in rows if r[0] >= args.warmup * 60]
    if len(after) < 2:
        sys.exit("too short a run after the warm-up for a trend")
    last = after[-1]
    # A sample can fall on a compose, whose surfaces are held for its length (about 1 MiB
    # more): the ends of the run are each the median of a minute's samples.
    head = [r for r in after if r[0] < after[0][0] + 60]
    tail = [r for r in after if r[0] > last[0] - 60]
    print("\n%d widgets, %g minutes, %d refreshes (%.1f a second); load average now %.1f (%d cores)" % (
        args.widgets, args.minutes, last[1], last[1] / last[0], os.getloadavg()[0], os.cpu_count()))
    print("%22s %18s %18s %18s" % ("", "after the warm-up", "the last minute", "per 1000 refreshes"))
    for key, label, unit in (("anon", "RssAnon MiB", 1024.0), ("rss", "VmRSS MiB", 1024.0), ("threads", "threads", 1),
                             ("fds", "descriptors", 1)):
        trend = slope([(r[1], r[2][key] / unit) for r in after])
        print("%22s %18.1f %18.1f %+18.3f" % (label, statistics.median(r[2][key] / unit for r in head),
                                              statistics.median(r[2][key] / unit for r in tail),
                                              1000 * trend if trend is not None else float("nan")))
    counts = feeds.per_feed()
    print("requests per feed %d to %d; shortest time between two for one feed %.2f s (the interval: %d s)" % (
        counts[0], counts[-1], feeds.shortest_gap(), INTERVAL // DIVISOR))
    print("its windows at the end, by class: %s" % ", ".join("%s %d" % kv for kv in sorted(windows.items())))
    print("data.dat after the run holds %d of %d widgets" % (notes, args.widgets))
    if notes != args.widgets:
        sys.exit("data.dat lost widgets")


if __name__ == "__main__":
    main()
