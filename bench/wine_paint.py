#!/usr/bin/env python3
"""Paint speed of a 700 x 600 feed widget under Wine (bench/win/paint_bench_win.cpp): a full
paint (everything composed and pushed to the layered window) and a hover repaint (a mouse
move onto a link and off it again, up to and including the repaint it asks for).

Prints the median and 99th percentile of each, also as ratios to a memcpy of the widget's
pixels timed in the same run (the machine is usually busy: compare ratios, not
milliseconds), and the load average before and after.

Usage: bench/wine_paint.py [--repeats 300] [--no-build] [--also LABEL=EXE ...]
Builds paint_bench in build/bench-win (the tree of bench/wine_startup.py) unless --no-build.
--also runs another build of paint_bench (before a change, say) in turns with this one,
--runs times each.
"""
import argparse
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_startup as ws  # noqa: E402

LINE = re.compile(r"^\s*(\S.*?)\s+median\s+([\d.]+) ms\s+p99\s+([\d.]+) ms\s+min\s+([\d.]+) ms")


def run(exe, repeats, env):
    """Runs one paint_bench and returns {measure: (median, p99, min)} in ms."""
    r = subprocess.run(["wine", exe, str(repeats)], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=900)
    out = r.stdout.decode(errors="replace")
    err = "\n".join(l for l in r.stderr.decode(errors="replace").splitlines() if ":fixme:" not in l and l.strip())
    if r.returncode != 0:
        raise SystemExit("%s failed (%d):\n%s\n%s" % (exe, r.returncode, out, err))
    if "did not repaint" in err:
        print("  " + err.strip())
    measures = {}
    for line in out.splitlines():
        m = LINE.match(line)
        if m:
            measures[m.group(1).strip()] = tuple(float(v) for v in m.group(2, 3, 4))
    return measures


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--repeats", type=int, default=300)
    ap.add_argument("--runs", type=int, default=1)
    ap.add_argument("--no-build", action="store_true")
    ap.add_argument("--also", action="append", default=[], metavar="LABEL=EXE")
    args = ap.parse_args()
    if not args.no_build:
        ws.build(["paint_bench"])
    env = ws.wine_env()
    builds = [("this", os.path.join(ws.TREE, "bench", "win", "paint_bench.exe"))]
    builds += [tuple(a.split("=", 1)) for a in args.also]
    load_before = os.getloadavg()[0]
    results = {label: [] for label, _ in builds}
    for _ in range(args.runs):
        for label, exe in builds:
            results[label].append(run(exe, args.repeats, env))
    load_after = os.getloadavg()[0]

    print("load average %.1f before, %.1f after (%d cores); %d repeats" % (load_before, load_after,
                                                                         os.cpu_count(), args.repeats))
    for label, runs in results.items():
        for i, m in enumerate(runs):
            copy = m.get("memcpy of pixels", (0, 0, 0))[0]
            print("%s%s: memcpy of the pixels %.2f ms" % (label, " run %d" % (i + 1) if len(runs) > 1 else "", copy))
            for name in ("full paint", "hover repaint", "background", "layered push", "push of a line"):
                if name not in m:
                    continue
                med, p99, low = m[name]
                ratio = (" = %5.1f x memcpy, p99 %5.1f x" % (med / copy, p99 / copy)) if copy else ""
                print("  %-16s median %6.2f ms  p99 %6.2f ms  min %6.2f ms%s" % (name, med, p99, low, ratio))
    # Against the other builds: medians of all runs of each, as ratios.
    def median_of(label, name, k):
        vals = sorted(m[name][k] for m in results[label] if name in m)
        return vals[len(vals) // 2] if vals else None
    for label, _ in builds[1:]:
        for name in ("full paint", "hover repaint"):
            now, then = median_of("this", name, 0), median_of(label, name, 0)
            now99, then99 = median_of("this", name, 1), median_of(label, name, 1)
            if now and then:
                print("this / %s, %s: median %.2f x, p99 %.2f x" % (label, name, now / then, now99 / then99))
    return 0


if __name__ == "__main__":
    sys.exit(main())
