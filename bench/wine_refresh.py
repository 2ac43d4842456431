#!/usr/bin/env python3
"""Parallel refreshes: 1 versus N (default 50) feed refreshes at once, through the program's
own refresh path (bench/win/refresh_bench_win.cpp, run under Wine), against a loopback
feed server in this Python process that answers each request after --delay-ms (200).

Usage: bench/wine_refresh.py [--n 50] [--repeats 7] [--delay-ms 200] [--no-build]
Builds refresh_bench in build/bench-win (the tree of bench/wine_startup.py) unless --no-build.
"""
import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_startup as ws  # noqa: E402

PORT = 18792


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--n", type=int, default=50)
    ap.add_argument("--repeats", type=int, default=7)
    ap.add_argument("--delay-ms", type=int, default=200)
    ap.add_argument("--no-build", action="store_true")
    args = ap.parse_args()
    if not args.no_build:
        ws.build(["refresh_bench"])
    env = ws.wine_env()
    server = ws.FeedServer(PORT, args.delay_ms)
    try:
        exe = os.path.join(ws.TREE, "bench", "win", "refresh_bench.exe")
        base = "http://127.0.0.1:%d/feed/" % PORT
        r = subprocess.run(["wine", exe, base, str(args.n), str(args.repeats)], env=env, stdin=subprocess.DEVNULL,
                           timeout=600)
        print("load average %.1f (%d cores); server delay %d ms" % (os.getloadavg()[0], os.cpu_count(),
                                                                   args.delay_ms))
        return r.returncode
    finally:
        server.close()


if __name__ == "__main__":
    sys.exit(main())
