#!/usr/bin/env python3
"""Parallel refreshes: 1 versus N (default 50) feed refreshes at once, through the program's
own refresh path (bench/win/refresh_bench_win.cpp, run under Wine), against a loopback
feed server in this Python process that answers each request after --delay-ms (200).

The refresh path reuses download threads that ended their work less than a few seconds
ago, as the repeats here follow each other closely; "cold" times it again with a pause
before each batch, so that every refresh starts a new thread (as after a quiet spell).
Three yardsticks, timed the same way against the same server, tell the refresh path's own cost
from that of WinINet, the server and Wine's sockets:
  bare WinINet GETs  - the same N requests as bare WinINet GETs with the refresh path's flags,
                       each on a new thread this one makes (no session logic, parsing or feed
                       results): the floor of a cold batch under Wine, where WinINet looks up
                       the persistent cookies of every host suffix and path prefix in its URL
                       cache for each request, under one process-wide lock (a build
                       whose requests skipped cookies ran a cold batch at 1.25x instead
                       of 1.58x; refreshes keep WinINet's cookie handling)
  sockets under Wine - the same N requests as plain GETs over non-blocking Winsock sockets on
                       one thread of refresh_bench.exe (no WinINet, no threads, no parsing)
  native sockets     - the same from a native Linux process (this script run as a client)
The socket yardsticks open a new connection per request; the refresh path and the bare
WinINet GETs reuse WinINet's kept-alive connections and can come in below them. The server
(wine_startup.FeedServer) answers every request from one event loop, each --delay-ms after
it arrived (within about 2 ms). Where
the yardsticks' own ratio is high, the server (or the machine's load) is the bottleneck,
not the program. Each line also gives the medians of the process's CPU time for 1 and for
N (Wine counts it in 10 ms steps; the wineserver's share is not in it).

Usage: bench/wine_refresh.py [--n 50] [--repeats 7] [--delay-ms 200] [--no-build] [--no-cold] [--exe PATH]
Builds refresh_bench in build/bench-win (the tree of bench/wine_startup.py) unless --no-build.
"""
import argparse
import os
import selectors
import socket
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_startup as ws  # noqa: E402

PORT = 18792


def time_native(port, n):
    """Seconds for n plain HTTP/1.0 GETs at once, each read until the server closes."""
    sel = selectors.DefaultSelector()
    start = time.perf_counter()
    for i in range(n):
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", port))
        request = ("GET /feed/%d HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n" % i).encode()
        sel.register(s, selectors.EVENT_WRITE, request)
    left = n
    while left:
        for key, events in sel.select(60):
            s = key.fileobj
            if events & selectors.EVENT_WRITE:
                s.send(key.data)
                sel.modify(s, selectors.EVENT_READ)
            elif not s.recv(65536):
                sel.unregister(s)
                s.close()
                left -= 1
    return time.perf_counter() - start


def native_client(port, n, repeats):
    """Runs in a process of its own (so that it does not share the server's interpreter)."""
    time_native(port, 1)
    one, many = [], []
    for r in range(repeats):
        for single in ((True, False) if r % 2 == 0 else (False, True)):
            (one if single else many).append(time_native(port, 1 if single else n) * 1000)
    m1, mn = statistics.median(one), statistics.median(many)
    print("median of %d: 1 native GET %.1f ms, %d native GETs %.1f ms, ratio %.2fx" % (repeats, m1, n, mn, mn / m1))


def last_line(text):
    lines = text.strip().splitlines()
    return lines[-1] if lines else "(no output)"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--n", type=int, default=50)
    ap.add_argument("--repeats", type=int, default=7)
    ap.add_argument("--delay-ms", type=int, default=200)
    ap.add_argument("--no-build", action="store_true")
    ap.add_argument("--no-cold", action="store_true", help="skip the cold run (about 6 s per batch)")
    ap.add_argument("--exe", help="time this refresh_bench.exe (another build, say) instead of building one")
    ap.add_argument("--native-client", type=int, metavar="PORT", help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.native_client:
        native_client(args.native_client, args.n, args.repeats)
        return 0
    if not args.no_build and not args.exe:
        ws.build(["refresh_bench"])
    env = ws.wine_env()
    server = ws.FeedServer(PORT, args.delay_ms)
    load_before = os.getloadavg()[0]
    summary = []
    try:
        exe = args.exe or os.path.join(ws.TREE, "bench", "win", "refresh_bench.exe")
        base = "http://127.0.0.1:%d/feed/" % PORT
        labels = {"": "refresh path", "cold": "refresh path, cold", "wininet": "bare WinINet GETs",
                  "sockets": "sockets under Wine"}
        for extra in ([[]] if args.no_cold else [[], ["cold"]]) + [["wininet"], ["sockets"]]:
            r = subprocess.run(["wine", exe, base, str(args.n), str(args.repeats)] + extra, env=env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True, timeout=600)
            print(r.stdout, end="", flush=True)
            if r.returncode:
                return r.returncode
            summary.append((labels["".join(extra)], last_line(r.stdout)))
        r = subprocess.run([sys.executable, os.path.abspath(__file__), "--native-client", str(PORT), "--n", str(args.n),
                            "--repeats", str(args.repeats)], stdout=subprocess.PIPE, text=True, timeout=600)
        if r.returncode:
            return r.returncode
        summary.append(("native sockets", last_line(r.stdout)))
    finally:
        server.close()
    print("\nload average before %.1f, after %.1f (%d cores); server delay %d ms" % (
        load_before, os.getloadavg()[0], os.cpu_count(), args.delay_ms))
    for label, line in summary:
        print("%-20s %s" % (label + ":", line))
    return 0


if __name__ == "__main__":
    sys.exit(main())
