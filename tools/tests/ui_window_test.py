#!/usr/bin/env python3
"""The window host and its controls, driven as a user would.

Starts the control gallery in a real Wine window on the harness's Xvfb
display, gives it input through the X server (xdotool), reads the screen back
(ImageMagick's import) and checks what the gallery reports on stdout.
Screenshots stay in the folder given by --shots for a person to look at.

Usage: ui_window_test.py --wine-run tools/wine-run.sh --gallery gallery.exe
                         --shots DIR [--case NAME]
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

ARGS = None
FAILURES = []


def log(text):
    print(text, flush=True)


def check(condition, what):
    if condition:
        log(f"  ok   {what}")
    else:
        log(f"  FAIL {what}")
        FAILURES.append(what)
    return condition


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=20).stdout


def screenshot(name):
    path = os.path.join(ARGS.shots, name + ".png")
    subprocess.run(["import", "-window", "root", path], check=True, timeout=30)
    return path


def pixels(x, y, w=1, h=1):
    """The screen's colours in a w × h block at (x, y), as (r, g, b) tuples, row by row."""
    out = subprocess.run(
        ["bash", "-c", f"import -window root -crop {w}x{h}+{x}+{y} +repage -depth 8 txt:-"],
        capture_output=True, text=True, timeout=30).stdout
    found = []
    for line in out.splitlines():
        m = re.match(r"\s*(\d+),(\d+):\s*\((\d+),(\d+),(\d+)", line)
        if m:
            found.append(tuple(int(v) for v in m.group(3, 4, 5)))
    return found


def pixel(x, y):
    got = pixels(x, y)
    return got[0] if got else None


def popups():
    """The gallery's unnamed top-level X windows (its tooltips) as (x, y, width, height)."""
    out = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True, timeout=20).stdout
    found = []
    for line in out.splitlines():
        m = re.search(r'\(has no name\): \("gallery.exe" "gallery.exe"\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)', line)
        if m:
            w, h, x, y = map(int, m.groups())
            if w > 1 and h > 1:
                found.append((x, y, w, h))
    return found


def near(colour, want, slack=12):
    return colour is not None and all(abs(a - b) <= slack for a, b in zip(colour, want))


class Gallery:
    """One gallery process: its output lines, its rectangles, its window."""

    def __init__(self, *args, dpi=None):
        self.lines = queue.Queue()
        self.seen = []
        self.rects = {}
        env = dict(os.environ)
        self.proc = subprocess.Popen([ARGS.wine_run, ARGS.gallery, *map(str, args)], stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True, env=env,
                                     start_new_session=True)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def expect(self, pattern, timeout=15.0):
        """The first new line matching |pattern|, or None after |timeout| seconds."""
        deadline = time.monotonic() + timeout
        regex = re.compile(pattern)
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                return None
            if line is None:
                self.lines.put(None)
                return None
            self.seen.append(line)
            m = re.match(r"rect (\S+) (-?\d+) (-?\d+) (-?\d+) (-?\d+)$", line)
            if m:
                self.rects[m.group(1)] = tuple(int(v) for v in m.group(2, 3, 4, 5))
            m = regex.search(line)
            if m:
                return m

    def drain(self, seconds=0.3):
        """Lines that arrive within |seconds|."""
        got = []
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            try:
                line = self.lines.get(timeout=max(0.01, deadline - time.monotonic()))
            except queue.Empty:
                break
            if line is None:
                self.lines.put(None)
                break
            self.seen.append(line)
            got.append(line)
        return got

    def start(self):
        m = self.expect(r"^ready (-?\d+) (-?\d+) (-?\d+) (-?\d+)$", timeout=60)
        if not m:
            return False
        self.window = tuple(int(v) for v in m.groups())
        self.expect(r"^rects end$", timeout=10)
        self.drain(0.5)
        ids = xdotool("search", "--name", "^VARNO gallery$").split()
        self.xid = ids[0] if ids else None
        if self.xid:
            xdotool("windowfocus", self.xid)
        time.sleep(0.5)  # the fade-in runs 250 ms
        return True

    def centre(self, name):
        left, top, right, bottom = self.rects[name]
        return (left + right) // 2, (top + bottom) // 2

    def click(self, x, y):
        xdotool("mousemove", x, y)
        time.sleep(0.15)
        xdotool("click", 1)

    def click_control(self, name):
        self.click(*self.centre(name))

    def key(self, *keys):
        for k in keys:
            xdotool("key", k)
            time.sleep(0.1)

    def refresh_rects(self):
        self.key("F7")
        self.expect(r"^rects end$", timeout=5)

    def stop(self, timeout=15):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            return None

    def kill(self):
        """Ends the whole process group: the wrapper script and the Wine process under it."""
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.proc.wait()
        time.sleep(0.3)  # the X server drops the window


def events(lines, kind):
    return [line for line in lines if line.startswith("event " + kind + " ")]


# ---------------------------------------------------------------------------


def case_look_and_hover():
    """The first frame, the shadow, hover colours and the dirty rectangle."""
    g = Gallery("--items", 100)
    try:
        if not check(g.start(), "the gallery shows its window"):
            return
        left, top, right, bottom = g.window
        screenshot("gallery-96dpi")
        # The window rectangle holds the 640 × 460 client plus the shadow on both sides.
        body = g.rects["body"]
        check(body[2] - body[0] == 640 and body[3] - body[1] == 460, f"the body is 640 x 460: {body}")
        check(body[0] - left == right - body[2] and body[0] - left > 0,
              f"the shadow pads both sides alike: window {g.window}, body {body}")
        # The harness's compositor blends the shadow over its grey desktop:
        # darkest next to the body, fading out towards the window's edge.
        inner = pixel(body[0] - 2, (body[1] + body[3]) // 2)
        outer = pixel(left, (body[1] + body[3]) // 2)
        check(inner is not None and outer is not None and sum(inner) + 30 < sum(outer),
              f"the shadow is darker beside the body ({inner}) than at the window's edge ({outer})")
        # The body itself is opaque white; the caption strip is #FAFAFA.
        check(near(pixel(body[0] + 320, body[1] + 330), (255, 255, 255), 2), "the body paints opaque white")
        check(near(pixel(body[0] + 200, body[1] + 4), (250, 250, 250), 2), "the caption strip is its deep colour")

        x, y = g.centre("btn_small")
        check(near(pixel(x, y), (0x2f, 0x6b, 0xff)), f"the small button is blue at rest: {pixel(x, y)}")
        xdotool("mousemove", x, y)
        time.sleep(0.8)  # past the hot fade
        check(near(pixel(x, y), (0xff, 0x00, 0x32)), f"hovered, it turns red: {pixel(x, y)}")
        screenshot("gallery-hover")
        g.key("F9")
        m = g.expect(r"^painted (-?\d+) (-?\d+) (-?\d+) (-?\d+) (\d+) (\d+)$")
        if check(m is not None, "the window reports its last paint"):
            painted = tuple(int(v) for v in m.groups()[:4])
            b = g.rects["btn_small"]
            # Client coordinates: the button's rectangle less the window origin.
            want = (b[0] - left, b[1] - top, b[2] - left, b[3] - top)
            check(painted == want, f"the hover repaints only the button: painted {painted}, button {want}")
        tips = []
        for _ in range(20):  # the tooltip shows after the hover time
            time.sleep(0.2)
            tips = [w for w in popups() if w[0] - 40 <= x <= w[0] + w[2] + 40 and y < w[1] <= y + 60]
            if tips:
                break
        check(bool(tips), f"resting on the button shows its tooltip below the pointer: {tips}")
        if tips:
            tx, ty, tw, th = tips[0]
            inside = pixels(tx + 2, ty + th // 2, tw - 4, 1)
            check(len(set(inside)) > 1, "and the tooltip shows text")
        xdotool("mousemove", body[0] + 320, body[3] - 10)
        time.sleep(0.8)
        check(near(pixel(x, y), (0x2f, 0x6b, 0xff)), f"left, it is blue again: {pixel(x, y)}")
        # A 20000-character tooltip and a 100000-character label are safe.
        lx, ly = g.centre("longtip")
        xdotool("mousemove", lx, ly)
        big = []
        for _ in range(20):
            time.sleep(0.2)
            big = [w for w in popups() if w[1] > ly and w[3] > 100]  # wrapped at its width: tall
            if big:
                break
        screenshot("gallery-long-tooltip")
        check(bool(big) and g.proc.poll() is None, f"a 20000-character tooltip shows: {big}")
        g.key("F9")
        check(g.expect(r"^painted ", timeout=5) is not None, "and the window still answers")
    finally:
        g.kill()


def case_caption_and_shadow():
    """The caption label drags the window; the caption's button clicks; the shadow does neither."""
    g = Gallery("--items", 5)
    try:
        if not check(g.start(), "the gallery shows its window"):
            return
        left, top, _, _ = g.window
        x, y = g.centre("title")
        xdotool("mousemove", x, y)
        time.sleep(0.2)
        xdotool("mousedown", 1)
        for step in range(1, 6):
            xdotool("mousemove", x + 12 * step, y + 8 * step)
            time.sleep(0.1)
        xdotool("mouseup", 1)
        time.sleep(0.5)
        moves = [line for line in g.drain(0.5) if line.startswith("moved ")]
        check(bool(moves) and moves[-1] == f"moved {left + 60} {top + 40}",
              f"dragging the caption label moves the window by (60, 40): {moves[-1:] or 'no move'}")
        g.refresh_rects()
        body = g.rects["body"]
        g.click_control("caption_btn")
        lines = g.drain(0.8)
        check(any(line == "event click caption_btn 0 0" for line in lines) and
              not any(line.startswith("moved ") for line in lines),
              f"a button in the caption clicks and does not drag: {lines}")
        # A press in the shadow, just outside the body, neither drags nor sizes.
        sx, sy = body[0] - 3, (body[1] + body[3]) // 2
        xdotool("mousemove", sx, sy)
        time.sleep(0.2)
        xdotool("mousedown", 1)
        xdotool("mousemove", sx - 40, sy + 30)
        time.sleep(0.2)
        xdotool("mouseup", 1)
        lines = g.drain(0.8)
        check(not any(line.startswith(("moved ", "size ")) for line in lines),
              f"a press in the shadow neither moves nor sizes: {lines}")
        g.refresh_rects()
        check(g.rects["body"] == body, "the body stays where it was")
    finally:
        g.kill()


def case_keyboard():
    """Tab walks the focusable controls; Space and Return click; Alt+F4 asks to close with code 0."""
    g = Gallery("--items", 5)
    try:
        if not check(g.start(), "the gallery shows its window"):
            return
        g.click(*g.centre("hello"))  # a label: takes no focus, gives the window the keyboard
        focused = []
        for _ in range(6):
            g.key("Tab")
            m = g.expect(r"^event setfocus (\S+)", timeout=3)
            focused.append(m.group(1) if m else None)
        check(focused[:3] == ["caption_btn", "minbtn", "maxbtn"],
              f"Tab goes through the buttons in markup order: {focused}")
        # Back to a known button: the blue one, then Space and Return click it.
        while focused[-1] not in ("btn_blue", None):
            g.key("Tab")
            m = g.expect(r"^event setfocus (\S+)", timeout=3)
            focused.append(m.group(1) if m else None)
            if len(focused) > 40:
                break
        check(focused[-1] == "btn_blue", f"Tab reaches the blue button: {focused}")
        g.key("space")
        check(g.expect(r"^event click btn_blue ", timeout=3) is not None, "Space clicks the focused button")
        g.key("Return")
        check(g.expect(r"^event click btn_blue ", timeout=3) is not None, "Return clicks it too")
        g.key("alt+F4")
        check(g.expect(r"^wmclose 0$", timeout=5) is not None, "Alt+F4 closes with code 0")
        check(g.expect(r"^final$", timeout=10) is not None and g.stop() == 0, "the process ends cleanly")
    finally:
        g.kill()


def case_title_buttons():
    """Maximise and restore swap their buttons; minimise minimises; close fades out with code 1."""
    g = Gallery("--items", 5)
    try:
        if not check(g.start(), "the gallery shows its window"):
            return
        g.click_control("maxbtn")
        check(g.expect(r"^size maximized ", timeout=5) is not None, "the maximise button maximises")
        lines = [g.expect(r"^visible maxbtn (\d)$", timeout=3), g.expect(r"^visible restorebtn (\d)$", timeout=3)]
        check([m.group(1) if m else None for m in lines] == ["0", "1"], "maximised, only the restore button shows")
        time.sleep(0.5)
        g.refresh_rects()
        screenshot("gallery-maximized")
        body = g.rects["body"]
        check(body == (0, 0, 1280, 800), f"maximised, the body fills the screen without its shadow: {body}")
        # Without a window manager Wine leaves the X window at its old size,
        # so the restore button, now at the right of the screen, is out of
        # the pointer's reach: the keyboard presses it instead.
        for _ in range(12):
            g.key("Tab")
            m = g.expect(r"^event setfocus (\S+)", timeout=3)
            if not m or m.group(1) == "restorebtn":
                break
        check(m is not None and m.group(1) == "restorebtn", "Tab reaches the restore button")
        g.key("space")
        check(g.expect(r"^size restored ", timeout=5) is not None, "the restore button restores")
        lines = [g.expect(r"^visible maxbtn (\d)$", timeout=3), g.expect(r"^visible restorebtn (\d)$", timeout=3)]
        check([m.group(1) if m else None for m in lines] == ["1", "0"], "restored, only the maximise button shows")
        time.sleep(0.5)
        g.refresh_rects()
        g.click_control("minbtn")
        check(g.expect(r"^size minimized ", timeout=5) is not None, "the minimise button minimises")
        if g.xid:
            subprocess.run(["xdotool", "windowmap", g.xid], capture_output=True, timeout=10)
        g.proc.terminate()
    finally:
        g.kill()
    g = Gallery("--items", 5)
    try:
        if not check(g.start(), "the gallery shows its window again"):
            return
        x, y = g.centre("body")
        started = time.monotonic()
        g.click_control("closebtn")
        time.sleep(0.12)
        mid = pixel(x, y)
        m = g.expect(r"^wmclose (\d+)$", timeout=5)
        elapsed = time.monotonic() - started
        check(m is not None and m.group(1) == "1", "the close button closes with code 1")
        check(0.2 <= elapsed, f"WM_CLOSE comes after the fade-out ({elapsed:.2f} s)")
        check(mid is not None and sum(mid) < 3 * 255, f"half-way the body is fading ({mid})")
        check(g.expect(r"^final$", timeout=10) is not None and g.stop() == 0, "the process ends cleanly")
    finally:
        g.kill()


def case_list():
    """The list box: the wheel scrolls one unit, the thumb drags, keys and clicks select."""
    g = Gallery("--items", 100)
    try:
        if not check(g.start(), "the gallery shows its window"):
            return
        first = g.rects["item0"]
        x, y = g.centre("list")
        xdotool("mousemove", x, y)
        time.sleep(0.3)
        xdotool("click", 5)  # one notch down
        time.sleep(1.0)  # past the scroll animation
        g.refresh_rects()
        moved = g.rects["item0"]
        check(first[1] - moved[1] == 30, f"one wheel notch scrolls 30 pixels: {first} -> {moved}")
        screenshot("gallery-list-scrolled")
        # Clicking an item selects it; Down selects the next one, unselecting it.
        g.click_control("item3")
        check(g.expect(r"^event select list 3 -1$", timeout=3) is not None, "a click selects item 3")
        g.key("Down")
        check(g.expect(r"^event unselect item3 ", timeout=3) is not None, "Down unselects item 3")
        check(g.expect(r"^event select list 4 3$", timeout=3) is not None, "and selects item 4")
        g.key("End")
        check(g.expect(r"^event select list 99 4$", timeout=3) is not None, "End selects the last item")
        time.sleep(1.0)
        g.refresh_rects()
        last = g.rects["item99"]
        lst = g.rects["list"]
        check(lst[1] <= last[1] and last[3] <= lst[3], f"the last item is scrolled into view: {last} in {lst}")
        g.key("Home")
        check(g.expect(r"^event select list 0 99$", timeout=3) is not None, "Home selects the first item")
        time.sleep(1.0)
        g.refresh_rects()
        check(g.rects["item0"] == first, f"and scrolls back to the top: {g.rects['item0']} vs {first}")
        # The thumb: the bar shows on hover at the right edge; dragging it
        # half the free rail scrolls about half the range.
        bar_x = lst[2] - 5
        xdotool("mousemove", bar_x, lst[1] + 20)
        time.sleep(0.5)
        xdotool("mousedown", 1)
        rail = lst[3] - lst[1]
        for step in range(1, 11):
            xdotool("mousemove", bar_x, lst[1] + 20 + step * rail // 20)
            time.sleep(0.08)
        time.sleep(0.3)
        xdotool("mouseup", 1)
        time.sleep(0.5)
        g.refresh_rects()
        offset = first[1] - g.rects["item0"][1]
        content = 100 * 28
        visible = rail - 2
        want = (content - visible) * (rail // 2) / max(1, visible - max(30, visible * visible // content))
        check(abs(offset - want) <= 0.05 * want, f"dragging the thumb scrolls in proportion: {offset} vs ~{want:.0f}")
    finally:
        g.kill()


def case_combo():
    """The combo: a real click opens its list below it, a click on an item picks it with one
    "select"; in the open list the keys move the selection quietly and a click outside keeps it."""
    g = Gallery("--items", 5)
    try:
        if not check(g.start(), "the gallery shows its window"):
            return

        def current():
            g.refresh_rects()
            got = [line for line in g.seen if line.startswith("combo combo ")]
            return int(got[-1].split()[2]) if got else None

        def open_list():
            g.click_control("combo")
            m = g.expect(r"^drop combo (-?\d+) (-?\d+) (-?\d+) (-?\d+)$", timeout=5)
            time.sleep(0.5)  # shown and painted
            return tuple(int(v) for v in m.groups()) if m else None

        def gone(drop, seconds=3.0):
            started = time.monotonic()
            while shown(drop) and time.monotonic() - started < seconds:
                time.sleep(0.1)
            return not shown(drop), time.monotonic() - started

        def shown(drop):
            # The list's rows (white, or the selected grey) below the window's body: Wine
            # may keep a closed pop-up's X window around, so the screen decides.
            colour = pixel(drop[0] + 4, drop[3] - 5)
            return near(colour, (255, 255, 255), 3) or near(colour, (0xe4, 0xe7, 0xeb), 3)

        combo = g.rects["combo"]
        check(current() == 0, "the combo starts at its first item")
        drop = open_list()
        if not check(drop is not None, "a click on the combo opens its list"):
            return
        check(drop == (combo[0], combo[3] + 1, combo[2], combo[3] + 151),
              f"below the combo, as wide, 25 items of 30 px capped at 150: {drop} for {combo}")
        check(any((x, y, x + w, y + h) == drop for x, y, w, h in popups()) and shown(drop),
              "the pop-up is on the screen there")
        screenshot("gallery-combo-open")
        inside = pixels(drop[0] + 4, drop[1] + 1 + 30 * 2 + 15, 1, 1)
        check(bool(inside) and near(inside[0], (255, 255, 255), 4), f"an item row is white: {inside}")
        g.click((drop[0] + drop[2]) // 2, drop[1] + 1 + 30 * 3 + 15)
        lines = g.drain(1.0)
        check(events(lines, "select") == ["event select combo 3 -1"],
              f"picking item 3 sends one select with its index: {events(lines, 'select')}")
        closed, after = gone(drop)
        check(closed, f"and the list closes ({after:.1f} s)")
        check(current() == 3, "the combo shows item 3")

        drop = open_list()
        if not check(drop is not None, "the combo opens again"):
            return
        g.key("Down", "Down")
        lines = g.drain(0.8)
        check(not events(lines, "select") and shown(drop),
              f"Down keys move the selection without an event and the list stays open: {events(lines, 'select')}")
        g.click_control("hello")  # outside the list
        lines = g.drain(1.0)
        check(not events(lines, "select"), f"a click outside sends no select: {events(lines, 'select')}")
        closed, after = gone(drop)
        check(closed, f"and closes the list ({after:.1f} s)")
        check(current() == 5, "the moved selection is kept")
        screenshot("gallery-combo-closed")
    finally:
        g.kill()


def case_broken_skin():
    """A skin that fails to build: the "UI" box, then the process ends with no window left."""
    g = Gallery("--skin", "broken.xml")
    try:
        box = ""
        for _ in range(100):
            box = xdotool("search", "--name", "^UI$").strip()
            if box:
                break
            time.sleep(0.2)
        if check(bool(box), "the failure box shows"):
            time.sleep(0.5)
            screenshot("gallery-broken-skin")
            xdotool("windowfocus", box.split()[0])
            time.sleep(0.2)
            xdotool("key", "Return")
        check(g.expect(r"^create failed$", timeout=10) is not None, "the caller learns that Create failed")
        check(g.stop() == 3, "and the process ends")
        check(not xdotool("search", "--name", "^VARNO gallery$").strip(), "no window is left behind")
    finally:
        g.kill()


def set_dpi(dpi):
    """The prefix's DPI, taken up by a fresh wineserver."""
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", str(dpi), "/f"], **quiet)
    subprocess.run(["wineserver", "-k"], **quiet)
    subprocess.run(["wineserver", "-w"], **quiet)
    # The desktop process comes up with the first program and keeps that
    # program's output open; start it here with none, as the harness does.
    subprocess.run(["wine", "rundll32.exe"], **quiet)


def case_dpi():
    """At 120 and 144 DPI the window and its controls grow in proportion."""
    try:
        for dpi in (120, 144):
            set_dpi(dpi)
            g = Gallery("--items", 20)
            try:
                if not check(g.start(), f"the gallery starts at {dpi} DPI"):
                    continue
                screenshot(f"gallery-{dpi}dpi")
                body = g.rects["body"]
                scale = dpi / 96
                check((body[2] - body[0], body[3] - body[1]) == (round(640 * scale), round(460 * scale)),
                      f"at {dpi} DPI the body is {round(640 * scale)} x {round(460 * scale)}: {body}")
                b = g.rects["btn_small"]
                check(b[2] - b[0] == round(24 * scale), f"and the 24-pixel button is {round(24 * scale)} wide")
                g.key("alt+F4")
                g.expect(r"^final$", timeout=10)
            finally:
                g.kill()
    finally:
        set_dpi(96)


CASES = {
    "look_and_hover": case_look_and_hover,
    "caption_and_shadow": case_caption_and_shadow,
    "keyboard": case_keyboard,
    "title_buttons": case_title_buttons,
    "list": case_list,
    "combo": case_combo,
    "broken_skin": case_broken_skin,
    "dpi": case_dpi,
}


def main(cases=None):
    global ARGS
    cases = cases or CASES
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--gallery", required=True)
    parser.add_argument("--shots", required=True)
    parser.add_argument("--case", action="append")
    ARGS = parser.parse_args()
    ARGS.gallery = os.path.abspath(ARGS.gallery)
    ARGS.wine_run = os.path.abspath(ARGS.wine_run)
    os.makedirs(ARGS.shots, exist_ok=True)
    if not os.environ.get("DISPLAY"):
        log("ui_window_test: no DISPLAY; run under the test harness")
        return 1
    for name in ARGS.case or cases:
        log(f"== {name}")
        cases[name]()
    log(f"screenshots in {ARGS.shots}")
    if FAILURES:
        log(f"{len(FAILURES)} check(s) failed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
