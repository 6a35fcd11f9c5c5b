#!/usr/bin/env python3
"""Drives the gallery for run_window_bench.sh; see there."""
import argparse
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import ui_window_test as ui  # noqa: E402


def first_frame(command, runs_out):
    out = subprocess.run(command, capture_output=True, text=True, timeout=120).stdout
    for line in out.splitlines():
        if line.startswith("firstframe "):
            runs_out.append(float(line.split()[1]))
            return


def gallery_first_frame(runs_out):
    g = ui.Gallery("--items", 100, "--seconds", 3)
    m = g.expect(r"^firstframe ([\d.]+)", timeout=60)
    if m:
        runs_out.append(float(m.group(1)))
    g.stop(30)
    g.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--gallery", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--soak", type=int, default=60)
    args = parser.parse_args()
    ui.ARGS = argparse.Namespace(wine_run=args.wine_run, gallery=args.gallery, shots="/tmp")

    # One of each first: the first start of a prefix loads and caches more.
    warm = []
    first_frame([args.wine_run, args.bare], warm)
    gallery_first_frame(warm)
    bare, gallery = [], []
    for _ in range(args.runs):
        first_frame([args.wine_run, args.bare], bare)
        gallery_first_frame(gallery)
    if not bare or not gallery:
        print("window_bench: a program printed no first frame")
        return 1
    b, g = statistics.median(bare), statistics.median(gallery)
    print(f"start to first frame, median of {len(bare)}: bare layered window {b:.0f} ms, "
          f"gallery {g:.0f} ms, ratio {g / b:.2f} (goal <= 1.30)")
    print(f"  bare runs: {' '.join(f'{v:.0f}' for v in bare)}")
    print(f"  gallery runs: {' '.join(f'{v:.0f}' for v in gallery)}")

    g = ui.Gallery("--items", 100)
    try:
        if not g.start():
            print("window_bench: the gallery did not start")
            return 1
        g.key("F8")
        start_ws = int(g.expect(r"^memory (\d+)$").group(1))
        rest = (g.rects["body"][0] + 320, g.rects["body"][3] - 10)
        bx, by = g.centre("btn_small")
        b = g.rects["btn_small"]
        areas, times = [], []
        for _ in range(10):
            ui.xdotool("mousemove", *rest)
            time.sleep(0.6)
            g.key("F9")
            before = int(g.expect(r"^painted .* (\d+) \d+$").group(1))
            ui.xdotool("mousemove", bx, by)
            time.sleep(0.05)  # the first repaint, before the hot fade's later steps
            g.key("F9")
            m = g.expect(r"^painted (-?\d+) (-?\d+) (-?\d+) (-?\d+) (\d+) (\d+)$")
            l, t, r, btm, count, us = map(int, m.groups())
            if count > before:
                areas.append((r - l) * (btm - t))
                times.append(us)
        print(f"hover repaint onto the 24 x 24 button ({(b[2] - b[0]) * (b[3] - b[1])} px): painted "
              f"{statistics.median(areas) if areas else 0:.0f} px, median {statistics.median(times) if times else 0:.0f} us "
              f"per paint over {len(times)} hovers (window {(g.window[2] - g.window[0]) * (g.window[3] - g.window[1])} px)")
        lx, ly = g.centre("list")
        deadline = time.monotonic() + args.soak
        while time.monotonic() < deadline:
            ui.xdotool("mousemove", bx, by)
            time.sleep(0.1)
            ui.xdotool("mousemove", lx, ly)
            ui.xdotool("click", "--repeat", 3, 5)
            ui.xdotool("click", "--repeat", 3, 4)
            time.sleep(0.1)
        time.sleep(1.0)
        g.key("F8")
        end_ws = int(g.expect(r"^memory (\d+)$").group(1))
        print(f"working set: after start {start_ws / 1048576:.1f} MiB, after {args.soak} s of hover and scroll "
              f"{end_ws / 1048576:.1f} MiB")
        g.key("alt+F4")
        g.stop(20)
    finally:
        g.kill()
    return 0


if __name__ == "__main__":
    sys.exit(main())
