#!/usr/bin/env python3
"""The wizard in every language: runs the language tour (tools/wizard_tour)
under Wine on the harness's display, takes a screenshot of each view it
shows, gathers them into one contact sheet per view and checks that

- no shown text needs more room than its control gives it (the tour
  measures each one as its control draws it);
- every language shows its texts (each view counts its measured texts);
- Arabic and Hebrew turn the framework's right-to-left mode on (the text
  direction, the system fonts' face) and the next language turns it off;
  the path error's red words show in every language.

Usage: wizard_tour_test.py --wine-run tools/wine-run.sh --tour wizard_tour.exe
                           --shots DIR [--lang KEY ...]
"""
import argparse
import os
import queue
import re
import signal
import subprocess
import sys
import threading
import time

RTL = {"Arabic", "Hebrew"}  # the catalogue's right-to-left languages
# Texts each view measures at least: home has the install button, the
# agreement, the custom check box, two labels, the combo, the path error and
# the default-viewer check box; download the installing line, its percentage
# and the hide button per slogan (three); end the message and the button.
MIN_TEXTS = {"home": 8, "download": 12, "end": 2}
FAILURES = []


def log(text):
    print(text, flush=True)


def check(condition, what):
    if not condition:
        log(f"  FAIL {what}")
        FAILURES.append(what)
    return condition


def ink_columns(png, box, darker_than):
    """The leftmost and rightmost columns inside |box| (l, t, r, b) of |png| with a pixel whose
    green channel is below |darker_than| (red text on white keeps red high, green low), or None."""
    l, t, r, b = box
    out = subprocess.run(["convert", png, "-crop", f"{r - l}x{b - t}+{l}+{t}", "+repage", "-depth", "8", "txt:-"],
                         capture_output=True, text=True, timeout=30).stdout
    columns = []
    for line in out.splitlines():
        m = re.match(r"(\d+),(\d+):\s*\((\d+),(\d+),(\d+)", line)
        if m and int(m.group(4)) < darker_than:
            columns.append(int(m.group(1)))
    return (min(columns), max(columns)) if columns else None


class Tour:
    def __init__(self, args):
        self.lines = queue.Queue()
        command = [args.wine_run, args.tour]
        for key in args.lang or []:
            command += ["--lang", key]
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True, encoding="utf-8", errors="replace",
                                     start_new_session=True)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def next_line(self, timeout):
        try:
            return self.lines.get(timeout=timeout)
        except queue.Empty:
            return None

    def go_on(self):
        self.proc.stdin.write("next\n")
        self.proc.stdin.flush()

    def kill(self):
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.proc.wait()


def sheets(shots, folder):
    """One montage per view, a tile per language labelled with its key."""
    made = []
    for view in ("home", "download", "end"):
        tiles = [(key, path) for v, key, path in shots if v == view]
        if not tiles:
            continue
        out = os.path.join(folder, f"sheet-{view}.png")
        command = ["montage", "-font", "DejaVu-Sans", "-pointsize", "14"]
        for key, path in tiles:
            command += ["-label", f"{key} · {view}", path]
        command += ["-tile", "5x", "-geometry", "+6+6", "-background", "#d0d4da", out]
        subprocess.run(command, check=True, timeout=120)
        made.append(out)
    return made


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--tour", required=True)
    parser.add_argument("--shots", required=True)
    parser.add_argument("--lang", action="append")
    args = parser.parse_args()
    args.tour = os.path.abspath(args.tour)
    args.wine_run = os.path.abspath(args.wine_run)
    os.makedirs(args.shots, exist_ok=True)
    if not os.environ.get("DISPLAY"):
        log("wizard_tour_test: no DISPLAY; run under the test harness")
        return 1
    started = time.monotonic()
    tour = Tour(args)
    shots, misfits, places, pending = [], [], {}, {}
    ended = None
    try:
        while True:
            line = tour.next_line(timeout=60)
            if line is None:
                break
            if line.startswith("misfit "):
                misfits.append(line)
                log(line)
                continue
            if line.startswith("direction "):
                pending["direction"] = line.split(" ", 2)[1:]
                continue
            if line.startswith("place "):
                _, name, *box = line.split()
                pending[name] = tuple(map(int, box))
                continue
            m = re.match(r"shot (\w+) (\w+) (\d+) (-?\d+) (-?\d+) (-?\d+) (-?\d+)$", line)
            if m:
                view, key, texts = m.group(1), m.group(2), int(m.group(3))
                left, top, right, bottom = map(int, m.group(4, 5, 6, 7))
                check(texts >= MIN_TEXTS[view], f"{key} {view}: {texts} texts measured, {MIN_TEXTS[view]} expected")
                path = os.path.join(args.shots, f"{view}-{key}.png")
                subprocess.run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                                "+repage", path], check=True, timeout=30)
                shots.append((view, key, path))
                places[(view, key)] = pending
                pending = {}
                tour.go_on()
                continue
            m = re.match(r"tour end (\d+)$", line)
            if m:
                ended = int(m.group(1))
                continue
            if line.startswith("tour:"):
                log(line)
    finally:
        try:
            code = tour.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            tour.kill()
            code = None
    check(ended is not None, "the tour ran to its end")
    check(code == (1 if misfits else 0), f"the tour's exit code ({code}) says whether any text did not fit")
    languages = {key for _, key, _ in shots}
    want = len(args.lang) if args.lang else 25
    check(len(languages) == want, f"{len(languages)} languages shown, {want} expected")
    check(len(shots) == 3 * want, f"{len(shots)} screenshots, {3 * want} expected")
    check(not misfits, f"{len(misfits)} text(s) do not fit their controls")

    # The framework's right-to-left mode: the direction of every text format
    # and the system fonts' face follow the language, and come back after it.
    # (Wine's GDI+ and text services draw that direction as left to right, so
    # where the ink lands is not checked here, only that the words show.)
    default_face = {tuple(p["direction"]) for (v, k), p in places.items() if k == "English" and "direction" in p}
    for (view, key), place in places.items():
        direction = place.get("direction")
        if not check(direction is not None, f"{key} {view}: the tour reports its direction"):
            continue
        if key in RTL:
            check(direction == ["rtl", "Segoe UI"], f"{key} {view}: right to left in the right-to-left face: {direction}")
        else:
            check(direction[0] == "ltr" and direction[1] != "Segoe UI" and
                  (not default_face or tuple(direction) in default_face),
                  f"{key} {view}: left to right in the default face: {direction}")
        if view == "home" and check("label_error" in place, f"{key}: the path error is placed"):
            png = os.path.join(args.shots, f"{view}-{key}.png")
            check(ink_columns(png, place["label_error"], 150) is not None, f"{key}: the path error shows its words")

    made = sheets(shots, args.shots) if shots else []
    for path in made:
        log(f"contact sheet {path}")
    log(f"wizard_tour: {len(shots)} screenshots, {len(misfits)} misfit(s), {time.monotonic() - started:.1f} s")
    if FAILURES:
        log(f"{len(FAILURES)} check(s) failed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
