#!/usr/bin/env python3
"""Drives the installer's wizard on an X display, as a user would.

  drive.py --shots DIR [--title "Install VARNO"] [--find-timeout 60]
           [--install-timeout 300] [--close-timeout 60]

Plan of the wizard it drives: a 640x360 borderless window titled "Install
VARNO"; the first page has an "Install Now" button 200x40 centred
horizontally, the last page a "Start Now" button of the same shape. The
driver finds the window (xdotool search --name), screenshots it, clicks
Install Now, screenshots the progress every few seconds until the end page
shows its button, clicks Start Now and waits for the window to go.

A button is found on the screen, not assumed: rows inside the window where
the centred 200-pixel band is one flat colour that differs from the pixels
just left and right of it, at least 30 rows high.

Screenshots: DIR/01-first.png, DIR/progress-NN.png, DIR/02-end.png,
DIR/03-after-start.png, DIR/timeout.png on failure.
Exit codes: 0 done; 2 no window appeared; 3 a page did not come in time;
4 a tool (xdotool, import) is missing or failed. Never waits longer than
the timeouts given.
"""
import argparse
import os
import subprocess
import sys
import time


class DriveError(Exception):
    def __init__(self, code, message):
        super().__init__(message)
        self.code = code


def run(*args):
    try:
        return subprocess.run(args, capture_output=True, text=True, timeout=20).stdout
    except (OSError, subprocess.TimeoutExpired) as e:
        raise DriveError(4, "%s failed: %s" % (args[0], e))


def find_window(title):
    ids = run("xdotool", "search", "--name", title).split()
    return ids[0] if ids else None


def geometry(window):
    values = {}
    for line in run("xdotool", "getwindowgeometry", "--shell", window).splitlines():
        if "=" in line:
            key, value = line.split("=", 1)
            values[key] = int(value) if value.isdigit() else value
    return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], capture_output=True, timeout=30)


def grab(x, y, w, h):
    """The window's pixels as rows of (r, g, b) from ImageMagick's PPM."""
    data = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage",
                           "-depth", "8", "ppm:-"], capture_output=True, timeout=30).stdout
    parts = data.split(b"\n", 3)
    if len(parts) < 4 or parts[0] != b"P6":
        raise DriveError(4, "import gave no picture")
    width, height = map(int, parts[1].split())
    pixels = parts[3]
    return [[tuple(pixels[(r * width + c) * 3:(r * width + c) * 3 + 3]) for c in range(width)]
            for r in range(height)]


def find_button(rows, width=200, min_height=30):
    """Centre (x, y) within the window of the centred flat band, or None."""
    if not rows:
        return None
    w = len(rows[0])
    left, right = (w - width) // 2 + 4, (w + width) // 2 - 4
    if left < 8 or right + 8 >= w:
        return None
    run_start, best = None, None
    for y, row in enumerate(rows + [None]):
        flat = False
        if row is not None:
            colour = row[left]
            samples = [row[x] for x in range(left, right, 8)]
            outside = (row[left - 12], row[right + 12])
            # Mostly one colour (its words cross the middle rows), even across a
            # gentle gradient, and far from the page around it.
            near = sum(1 for s in samples if sum(abs(a - b) for a, b in zip(s, colour)) < 90)
            flat = (near >= 0.7 * len(samples)
                    and all(sum(abs(a - b) for a, b in zip(o, colour)) > 150 for o in outside))
        if flat and run_start is None:
            run_start = y
        elif not flat and run_start is not None:
            if y - run_start >= min_height and best is None:
                best = (w // 2, (run_start + y) // 2)
            run_start = None
    return best


def click(window, x, y):
    run("xdotool", "mousemove", "--window", window, str(x), str(y))
    time.sleep(0.2)
    run("xdotool", "click", "1")


def drive(args):
    os.makedirs(args.shots, exist_ok=True)
    shot = lambda name: screenshot(os.path.join(args.shots, name))
    deadline = time.time() + args.find_timeout
    window = None
    while window is None and time.time() < deadline:
        window = find_window(args.title)
        if window is None:
            time.sleep(0.5)
    if window is None:
        shot("timeout.png")
        raise DriveError(2, "no window titled %r appeared within %d s" % (args.title, args.find_timeout))
    x, y, w, h = geometry(window)
    print("drive: window %s at %d,%d size %dx%d" % (window, x, y, w, h))

    def wait_button(what, timeout, progress):
        end, n, last_shot = time.time() + timeout, 0, 0.0
        while time.time() < end:
            if find_window(args.title) is None:
                raise DriveError(3, "the window closed while waiting for %s" % what)
            button = find_button(grab(x, y, w, h))
            if button:
                return button
            if progress and time.time() - last_shot >= 5:
                n += 1
                shot("progress-%02d.png" % n)
                last_shot = time.time()
            time.sleep(0.5)
        shot("timeout.png")
        raise DriveError(3, "%s did not show within %d s" % (what, timeout))

    time.sleep(1)
    button = wait_button("the Install Now button", args.find_timeout, False)
    shot("01-first.png")
    click(window, *button)
    print("drive: clicked Install Now at %d,%d" % button)
    # The progress page has no such button; wait for it to go, then for the end page's.
    end = time.time() + 30
    while time.time() < end and find_button(grab(x, y, w, h)):
        time.sleep(0.5)
    button = wait_button("the end page's Start Now button", args.install_timeout, True)
    shot("02-end.png")
    click(window, *button)
    print("drive: clicked Start Now at %d,%d" % button)
    end = time.time() + args.close_timeout
    while time.time() < end and find_window(args.title):
        time.sleep(0.5)
    time.sleep(2)
    shot("03-after-start.png")
    if find_window(args.title):
        raise DriveError(3, "the window stayed %d s after Start Now" % args.close_timeout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--shots", required=True)
    parser.add_argument("--title", default="Install VARNO")
    parser.add_argument("--find-timeout", type=int, default=60)
    parser.add_argument("--install-timeout", type=int, default=300)
    parser.add_argument("--close-timeout", type=int, default=60)
    args = parser.parse_args()
    try:
        drive(args)
    except DriveError as e:
        print("drive: FAILED: %s (screenshots in %s)" % (e, args.shots), file=sys.stderr)
        return e.code
    print("drive: done, screenshots in %s" % args.shots)
    return 0


if __name__ == "__main__":
    sys.exit(main())
