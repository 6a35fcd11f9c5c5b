#!/usr/bin/env python3
"""Drives the gallery for run_typing_bench.sh; see there."""
import argparse
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import ui_window_test as ui  # noqa: E402


LINE = 24  # characters typed before the field is emptied again


def text_ink(x, y, w, h):
    """Pixels of the typed text in the block: dark, but not the caret's pure black."""
    raw = subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-depth", "8",
                          "rgb:-"], capture_output=True, timeout=10).stdout
    count = 0
    for i in range(0, len(raw) - 2, 3):
        r, g, b = raw[i], raw[i + 1], raw[i + 2]
        if max(r, g, b) < 200 and (r, g, b) != (0, 0, 0):
            count += 1
    return count


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--gallery", required=True)
    parser.add_argument("--chars", type=int, default=100)
    args = parser.parse_args()
    ui.ARGS = argparse.Namespace(wine_run=args.wine_run, gallery=args.gallery, shots="/tmp")

    g = ui.Gallery("--items", 5)
    try:
        if not g.start():
            print("typing_bench: no window")
            return 1
        phases = {}
        for line in g.seen:
            parts = line.split()
            if parts[0] in ("startup", "richedit", "firstframe"):
                phases[parts[0]] = parts[1:]
        print("start-up, ms since process start:", phases)
        left, top, right, bottom = g.rects["path"]
        g.click_control("path")
        time.sleep(0.5)
        # A poll of the screen costs this much: the resolution of every figure below.
        started = time.monotonic()
        for _ in range(5):
            text_ink(left, top, right - left, bottom - top)
        poll = (time.monotonic() - started) / 5 * 1000
        latencies = []
        missed = []
        for i in range(args.chars):
            # Start over before the field is full: past 26 "m"s it scrolls, and
            # the ink count no longer changes with a character.
            if i and i % LINE == 0:
                ui.xdotool("key", "ctrl+a", "BackSpace")
                time.sleep(0.3)
            before = text_ink(left, top, right - left, bottom - top)
            t0 = time.monotonic()
            ui.xdotool("key", "m")
            while True:
                now = text_ink(left, top, right - left, bottom - top)
                elapsed = (time.monotonic() - t0) * 1000
                if abs(now - before) > 4 or elapsed > 2000:
                    break
            latencies.append(elapsed)
            if elapsed > 2000:
                missed.append(i % LINE)
            time.sleep(0.05)
        latencies.sort()
        print(f"key press to changed pixels, {len(latencies)} characters: median {statistics.median(latencies):.0f} ms, "
              f"p90 {latencies[int(len(latencies) * 0.9)]:.0f} ms, max {latencies[-1]:.0f} ms "
              f"(one screen poll costs {poll:.0f} ms; xdotool's own start is included)")
        if missed:
            print(f"no change seen within 2 s at these places in the line (0-{LINE - 1}): {sorted(missed)}")
        return 0
    finally:
        g.kill()


if __name__ == "__main__":
    sys.exit(main())
