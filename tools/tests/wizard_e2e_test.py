#!/usr/bin/env python3
"""The real VarnoSetup.exe under Wine, driven as a user would: clicks and keys
through the X server, message boxes found as windows and answered from the
keyboard, and what the outside world saw checked afterwards (the demo
installer's and product's records, the language cache file, the collector)."""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "demo"))
import demo_report  # noqa: E402

TITLE = "Install VARNO"
# Window coordinates (the 640 x 360 body inside its shadow).
INSTALL_NOW = (334, 246)
START_NOW = (334, 302)

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=20).stdout


def windows():
    return set(xdotool("search", "--onlyvisible", "--name", ".*").split())


def wait_for(predicate, timeout, step=0.3):
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return None


def unix_path(wine_path):
    out = subprocess.run(["winepath", "-u", wine_path], capture_output=True, text=True, timeout=30).stdout
    return out.strip()


class Wizard:
    def __init__(self, setup, work):
        self.setup, self.work = setup, work
        self.proc = None
        self.window = None

    def start(self):
        self.proc = subprocess.Popen(["wine", self.setup], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^%s$" % TITLE).split()[:1],
                               60)
        self.window = self.window[0] if self.window else None
        time.sleep(1.5)  # first frame
        return self.window is not None

    def click(self, point):
        xdotool("mousemove", "--window", self.window, *point)
        time.sleep(0.2)
        xdotool("click", "1")

    def key(self, keys):
        xdotool("key", "--window", self.window, keys)

    def box(self, before, timeout=20):
        """A window that appeared since |before| (a message box)."""
        found = wait_for(lambda: sorted((windows() - before) - {self.window}), timeout)
        return found[-1] if found else None

    def ended(self, timeout):
        try:
            return self.proc.wait(timeout) is not None
        except subprocess.TimeoutExpired:
            return False

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)


def collector():
    return demo_report.read_collector("http://127.0.0.1:%s" % os.environ.get("VARNO_DEMO_COLLECTOR_PORT", "18480"))


def clear_collector():
    import urllib.request
    port = os.environ.get("VARNO_DEMO_COLLECTOR_PORT", "18480")
    urllib.request.urlopen(urllib.request.Request("http://127.0.0.1:%s/_clear" % port, method="POST"), timeout=5)


def reset_prefix():
    subprocess.run(["wine", "cmd", "/c", "rmdir", "/s", "/q", r"C:\Program Files\VARNO"], capture_output=True,
                   timeout=60)


def case_default_install(args):
    """Install Now, wait, Start Now: the installer's switches in order, the configuration run, the cache
    file's bytes, the product's plain start, and the funnel in order."""
    reset_prefix()
    clear_collector()
    record = os.path.join(args.work, "record-default.txt")
    os.environ["VARNO_DEMO_RECORD"] = subprocess.run(["winepath", "-w", record], capture_output=True,
                                                     text=True).stdout.strip()
    w = Wizard(args.setup, args.work)
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        w.click(INSTALL_NOW)
        events = wait_for(lambda: os.path.exists(record) and
                          [e for e in demo_report.read_record(record) if e["kind"] == "product"], 120, 0.5)
        check(bool(events), "the configuration run happened")
        time.sleep(2)  # the end page
        w.click(START_NOW)
        check(w.ended(30), "Start Now ends the wizard")
        wait_for(lambda: len([e for e in demo_report.read_record(record) if e["kind"] == "product"]) >= 2, 20)
        entries = demo_report.read_record(record)
        installer = [e for e in entries if e["kind"] == "installer"]
        product = [e for e in entries if e["kind"] == "product"]
        check(len(installer) == 1 and installer[0]["cmdline"].endswith(
            ' /DIR="C:\\Program Files\\VARNO" /tolvane_down /wait_run /verysilent'),
            "the installer's switches: %s" % [e["cmdline"] for e in installer])
        check(len(product) == 2 and product[0]["cmdline"].endswith(" --install=1 --language=English")
              and product[1]["cmdline"].rstrip().endswith('VARNO.exe"'),
              "the configuration run, then a plain start: %s" % [e["cmdline"] for e in product])
        appdata = unix_path(r"C:\users\%s\AppData\Roaming" % os.environ.get("USER", "root"))
        cache = os.path.join(appdata, "VARNO", "cache", "language")
        got = open(cache, "rb").read() if os.path.exists(cache) else None
        check(got == b"English", "the language cache file holds exactly the key: %r" % got)
        seen = collector()
        labels = [a["label"] for a in seen["analytics"]]
        check(labels[:1] == ["Installer_Popup"] and "Install_Start" in labels and "Install_End" in labels
              and any(l.startswith("Install_Time_0-15s") for l in labels),
              "the analytics events: %s" % labels)
        reports = [(r["action"], r["status"]) for r in seen["reports"]]
        check(reports == [("install", "start"), ("install", "end")], "the signed reports in order: %s" % reports)
    finally:
        w.kill()
        # The started product's window would cover the screen of later tests.
        if os.path.exists(record):
            for entry in demo_report.read_record(record):
                if entry["kind"] == "product":
                    subprocess.run(["wine", "taskkill", "/f", "/pid", str(entry["pid"])], capture_output=True,
                                   timeout=60)


def case_quit_box(args):
    """Alt+F4 on the home page asks; Escape (Cancel) keeps the window, Return (OK) sends Install_Cancel
    and the process ends."""
    clear_collector()
    w = Wizard(args.setup, args.work)
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        before = windows()
        w.key("alt+F4")
        box = w.box(before)
        if not check(box is not None, "Alt+F4 shows the quit box"):
            return
        xdotool("key", "--window", box, "Escape")
        check(wait_for(lambda: box not in windows(), 10) is not None, "Cancel closes the box")
        check(not w.ended(2), "Cancel keeps the wizard")
        before = windows()
        w.key("alt+F4")
        box = w.box(before)
        if not check(box is not None, "the quit box shows again"):
            return
        xdotool("key", "--window", box, "Return")
        check(w.ended(20), "OK ends the process")
        labels = wait_for(lambda: [a["label"] for a in collector()["analytics"] if a["label"] == "Install_Cancel"],
                          10)
        check(bool(labels), "Install_Cancel was sent")
    finally:
        w.kill()


CASES = {"default_install": case_default_install, "quit_box": case_quit_box}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--setup", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("cases", nargs="*")
    args = parser.parse_args()
    for name in args.cases or CASES:
        print("== %s" % name, flush=True)
        CASES[name](args)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
