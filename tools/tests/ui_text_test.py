#!/usr/bin/env python3
"""The text controls under real input: the gallery's path field, its number
field, its hyperlink text in several languages and its language combo,
driven through the X server with the helpers of ui_window_test.

Usage: ui_text_test.py --wine-run tools/wine-run.sh --gallery gallery.exe
                       --shots DIR [--case NAME]
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ui_window_test as uw  # noqa: E402
from ui_window_test import Gallery, check, events, near, pixels, screenshot  # noqa: E402

PROMPT_GREY = (0x9a, 0xa0, 0xa6)


def text_of(g, name):
    """The control's text as the gallery reads it back (F6)."""
    g.key("F6")
    m = g.expect(rf"^text {name} (\d+) ?(.*)$", timeout=5)
    if not m:
        return None
    g.drain(0.2)
    return m.group(2)


CLIPBOARD = []  # the xclip owning the clipboard now, kept in the foreground so that it can be ended


def to_clipboard(text):
    """|text| as the X clipboard's owner; Wine hands it to the program's paste."""
    end_clipboard()
    owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], stdin=subprocess.PIPE,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, text=True)
    owner.stdin.write(text)
    owner.stdin.close()
    CLIPBOARD.append(owner)
    time.sleep(0.3)


def end_clipboard():
    while CLIPBOARD:
        owner = CLIPBOARD.pop()
        owner.terminate()
        owner.wait(timeout=5)


def ink(block, darker_than=200):
    return sum(1 for c in block if max(c) < darker_than)


def case_text_field():
    """Typing, the caret keys, select-all and paste in the path field; the prompt while empty;
    digits only in the number field; a 5000-character paste kept whole."""
    g = Gallery("--items", 5)
    try:
        if not check(g.start(), "the gallery shows its window"):
            return
        left, top, right, bottom = g.rects["path"]
        prompt_block = lambda: pixels(left + 30, top + 6, 120, bottom - top - 12)  # noqa: E731
        before = prompt_block()
        check(any(near(c, PROMPT_GREY, 14) for c in before) and ink(before, 0x80) == 0,
              "the empty field shows its prompt in the prompt grey, nothing darker")
        screenshot("text-prompt")
        g.click_control("path")
        g.expect(r"^event setfocus path", timeout=3)
        uw.xdotool("type", "--delay", "30", "C")
        time.sleep(0.4)
        after = prompt_block()
        check(all(near(c, (255, 255, 255), 6) for c in after),
              "after the first character the prompt is gone (white beside the text)")
        path = r"C:\Program Files\VARNO"
        uw.xdotool("type", "--delay", "30", path[1:])
        check(text_of(g, "path") == path, f"the typed path reads back: {g.seen[-2:]}")
        lines = g.drain(0.3)
        check(len(events(g.seen, "textchange path")) >= len(path), "every character raised a text change")
        screenshot("text-typed")

        g.key("Home", "Right", "Right", "Right")
        uw.xdotool("type", "X")
        check(text_of(g, "path") == r"C:\XProgram Files\VARNO", "Home and Right moved the caret: typed after C:\\")
        g.key("End", "Left", "BackSpace")
        check(text_of(g, "path") == r"C:\XProgram Files\VARO", "End, Left and BackSpace removed the N")

        g.key("ctrl+a")
        uw.xdotool("type", "--delay", "30", r"D:\Games")
        check(text_of(g, "path") == r"D:\Games", "Ctrl+A then typing replaced everything")
        # The caret blinks: the field's ink changes by the caret's pixels while nothing is typed.
        inks = []
        for _ in range(10):
            inks.append(ink(pixels(left + 2, top + 3, right - left - 4, bottom - top - 6), 0x80))
            time.sleep(0.2)
        check(max(inks) - min(inks) >= 6, f"the caret blinks while the field waits: ink {inks}")

        to_clipboard(r"E:\Pasted Path\sub")
        g.key("ctrl+a", "ctrl+v")
        check(text_of(g, "path") == r"E:\Pasted Path\sub", "a pasted path replaced the selection")

        long_path = "C:\\" + "\\".join(f"folder{i:04d}" for i in range(455))
        long_path = long_path[:5000]
        to_clipboard(long_path)
        g.key("ctrl+a", "ctrl+v")
        got = text_of(g, "path")
        check(got == long_path, f"a 5000-character pasted path reads back whole: {len(got or '')} characters")
        g.key("Return")
        g.drain(0.5)
        check(events(g.seen, "return path"), "Return raises its event")
        g.key("Tab")
        lines = g.drain(0.5)
        # Without "wanttab" the window takes Tab: focus moves on, or the field reports it.
        check(events(lines, "tab path") or [l for l in lines if l.startswith("event setfocus ") and " path " not in l],
              f"Tab leaves the field or raises its event: {lines[-3:]}")

        g.click_control("number")
        uw.xdotool("type", "--delay", "30", "12a3b-4 ")
        check(text_of(g, "number") == "1234", "the number field keeps the typed digits only")
        to_clipboard("5x6 7.8")
        g.key("End", "ctrl+v")
        check(text_of(g, "number") == "1234567" + "8", "and the pasted digits only")
        screenshot("text-number")
    finally:
        end_clipboard()
        g.kill()


def case_links():
    """The agreement sentence in three languages, one right to left: a click on each link gives
    its name, a click beside them none. Hebrew is left out while the text services draw it
    without a font fallback (boxes, and a line longer than the control)."""
    for lang in ("English", "German", "Arabic"):
        g = Gallery("--items", 5, "--lang", lang)
        try:
            if not check(g.start(), f"the gallery shows its window in {lang}"):
                continue
            points = {}
            for line in g.seen:
                parts = line.split()
                if parts[0] == "linkpoint":
                    points[parts[1]] = (int(parts[2]), int(parts[3]))
            check(sorted(points) == ["eula", "terms"], f"{lang}: the sentence has the links eula and terms: {points}")
            screenshot(f"text-links-{lang}")
            for name, (x, y) in sorted(points.items()):
                g.click(x, y)
                m = g.expect(r"^linkat links (\S+)$", timeout=3)
                link = g.expect(r"^link links (\S+)$", timeout=2)
                check(m and m.group(1) == name and link and link.group(1) == name,
                      f"{lang}: a click on {name} at {x},{y} gives {m.group(1) if m else None}")
            left, top, right, bottom = g.rects["links"]
            g.click(left + 3, top + 3)
            m = g.expect(r"^linkat links (\S+)$", timeout=3)
            check(m and m.group(1) == "-", f"{lang}: a click beside the text gives no name: {m.group(1) if m else None}")
        finally:
            g.kill()


def case_language_combo():
    """The 25 language names in their own scripts: every row of the open list has ink."""
    g = Gallery("--items", 5)
    try:
        if not check(g.start(), "the gallery shows its window"):
            return
        g.click_control("langcombo")
        m = g.expect(r"^drop langcombo (-?\d+) (-?\d+) (-?\d+) (-?\d+)$", timeout=5)
        if not check(m is not None, "the language combo opens its list"):
            return
        drop = tuple(int(v) for v in m.groups())
        time.sleep(0.5)
        screenshot("text-langcombo")
        rows = (drop[3] - drop[1] - 2) // 24
        empty = [r for r in range(rows)
                 if ink(pixels(drop[0] + 8, drop[1] + 1 + 24 * r + 4, drop[2] - drop[0] - 20, 16), 160) < 8]
        check(rows >= 5 and not empty, f"each of the {rows} visible rows has text: empty rows {empty}")
    finally:
        g.kill()


def case_combo_closes():
    """Hidden or disabled while open, the combo's pop-up closes."""
    for how in ("hide", "disable"):
        g = Gallery("--items", 5, "--combo-close", how)
        try:
            if not check(g.start(), "the gallery shows its window"):
                continue
            g.click_control("combo")
            m = g.expect(r"^drop combo (-?\d+) (-?\d+) (-?\d+) (-?\d+)$", timeout=5)
            if not check(m is not None, "the combo opens its list"):
                continue
            drop = tuple(int(v) for v in m.groups())
            check(g.expect(rf"^combo combo {how}$", timeout=3) is not None, f"the gallery did {how} the combo")
            # The selected first row's grey, where the closed list leaves the body's white.
            started = time.monotonic()
            while near(uw.pixel(drop[0] + 4, drop[1] + 15), (0xe4, 0xe7, 0xeb), 3) and time.monotonic() - started < 3:
                time.sleep(0.1)
            colour = uw.pixel(drop[0] + 4, drop[1] + 15)
            check(not near(colour, (0xe4, 0xe7, 0xeb), 3),
                  f"after {how} the pop-up is gone ({time.monotonic() - started:.1f} s): {colour}")
            screenshot(f"text-combo-{how}")
        finally:
            g.kill()


CASES = {
    "text_field": case_text_field,
    "links": case_links,
    "language_combo": case_language_combo,
    "combo_closes": case_combo_closes,
}

if __name__ == "__main__":
    sys.exit(uw.main(CASES))
