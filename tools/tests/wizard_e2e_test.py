#!/usr/bin/env python3
"""The real VarnoSetup.exe under Wine, driven as a user would: clicks and keys
through the X server, message boxes found as windows and answered from the
keyboard, and what the outside world saw checked afterwards (the demo
installer's, product's and browser's records, the language cache file, the
nginx access log, the collector). Screenshots of each case go to --shots."""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "demo"))
import demo_report  # noqa: E402
import drive  # noqa: E402

TITLE = "Install VARNO"
SOURCE = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
# The 640-wide body's top-left corner inside the window (its shadow).
BODY = (14, 10)


def at(x, y):
    """Window coordinates of a point of the body."""
    return (BODY[0] + x, BODY[1] + y)


# Points and areas of the skin, in body coordinates.
INSTALL_NOW = at(320, 236)
START_NOW = at(320, 292)
CUSTOM_TOGGLE = at(608, 344)
COMBO = at(416, 384)
EDIT_PATH = at(320, 418)
BROWSE = at(578, 418)
DEFAULT_CHECK = at(58, 470)
EMPTY_SPOT = at(150, 476)  # the custom box's background below its options
ERROR_LABEL = (232, 434, 360, 16)
TEXT_AREAS = {
    "Install Now": (220, 214, 200, 44), "agreement": (30, 264, 580, 32), "custom": (380, 336, 218, 16),
    "language label": (48, 370, 188, 28), "path label": (48, 404, 188, 28), "default viewer": (48, 460, 400, 20),
}

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


def wine_path(path):
    return subprocess.run(["winepath", "-w", path], capture_output=True, text=True, timeout=30).stdout.strip()


def unix_path(path):
    return subprocess.run(["winepath", "-u", path], capture_output=True, text=True, timeout=30).stdout.strip()


def table_text(language, key):
    with open(os.path.join(SOURCE, "resources", "lang", language, "gdstrings.ini"), encoding="utf-8-sig") as f:
        for line in f:
            name, _, value = line.rstrip("\r\n").partition("=")
            if name.strip() == key:
                return value.strip()
    return None


def differs(a, b, slack=40):
    return any(sum(abs(p - q) for p, q in zip(x, y)) > slack for ra, rb in zip(a, b) for x, y in zip(ra, rb))


def reddish(rows):
    return sum(1 for row in rows for r, g, b in row if r > 150 and g < 110 and b < 110)


def linux_pid(windows_exe_name):
    """The Wine process running the program (not a script whose arguments name it too), or None."""
    out = subprocess.run(["pgrep", "-f", windows_exe_name], capture_output=True, text=True).stdout.split()
    for pid in map(int, out):
        try:
            if os.path.basename(os.readlink("/proc/%d/exe" % pid)).startswith("wine"):
                return pid
        except OSError:
            pass
    return None


def cpu_ticks(stat_path):
    """User and system clock ticks from a /proc stat file of a process or thread."""
    with open(stat_path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


class Servers:
    """The demo's nginx, stopped and started again as a failing server would be."""

    def __init__(self, work):
        self.dir = os.path.join(work, "servers")
        self.proc = None

    def port_open(self):
        with socket.socket() as s:
            s.settimeout(0.5)
            return s.connect_ex(("127.0.0.1", int(os.environ.get("VARNO_DEMO_TLS_PORT", "18443")))) == 0

    def stop(self):
        try:
            pid = int(open(os.path.join(self.dir, "nginx.pid")).read().strip())
            os.kill(pid, signal.SIGTERM)  # the fast shutdown: open connections drop
        except (OSError, ValueError):
            pass
        if self.proc:
            self.proc.wait(10)
            self.proc = None
        return wait_for(lambda: not self.port_open(), 10) is not None

    def start(self):
        if self.port_open():
            return True
        self.proc = subprocess.Popen(["nginx", "-e", os.path.join(self.dir, "nginx-error.log"), "-p", self.dir,
                                      "-c", os.path.join(self.dir, "nginx.conf")],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return wait_for(self.port_open, 10) is not None

    def access_log(self):
        path = os.path.join(self.dir, "access.log")
        return demo_report.read_access_log(path) if os.path.exists(path) else []


class Wizard:
    def __init__(self, args, name, **environment):
        self.args, self.name = args, name
        self.record = os.path.join(args.work, "record-%s.txt" % name)
        self.environment = dict(os.environ, VARNO_DEMO_RECORD=wine_path(self.record), **environment)
        self.proc = None
        self.window = None
        self.shots = 0

    def start(self):
        self.proc = subprocess.Popen(["wine", self.args.setup], env=self.environment, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        found = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^%s$" % TITLE).split()[:1], 60)
        self.window = found[0] if found else None
        time.sleep(1.5)  # first frame
        return self.window is not None

    def origin(self):
        x, y, _, _ = drive.geometry(self.window)
        return x + BODY[0], y + BODY[1]

    def grab(self, area):
        x, y = self.origin()
        return drive.grab(x + area[0], y + area[1], area[2], area[3])

    def shot(self, what):
        self.shots += 1
        os.makedirs(self.args.shots, exist_ok=True)
        drive.screenshot(os.path.join(self.args.shots, "%s-%02d-%s.png" % (self.name, self.shots, what)))

    def page(self):
        """"home" or "end" from the centred button's place, None between them."""
        x, y = self.origin()
        button = drive.find_button(drive.grab(x, y, 640, 360))
        if not button:
            return None
        return "home" if abs(button[1] - (INSTALL_NOW[1] - BODY[1])) < 16 else \
            "end" if abs(button[1] - (START_NOW[1] - BODY[1])) < 16 else None

    def height(self):
        return drive.geometry(self.window)[3]

    def ui_thread_ms_per_second(self, seconds):
        """Processor time of the UI thread (the process's first thread under Wine) over |seconds|."""
        pid = linux_pid(os.path.basename(self.args.setup))
        if pid is None:
            return None
        stat = "/proc/%d/task/%d/stat" % (pid, pid)
        before = cpu_ticks(stat)
        time.sleep(seconds)
        return (cpu_ticks(stat) - before) * 1000.0 / os.sysconf("SC_CLK_TCK") / seconds

    def click(self, point):
        xdotool("mousemove", "--window", self.window, *point)
        time.sleep(0.2)
        xdotool("click", "1")
        time.sleep(0.3)

    def key(self, *keys):
        for k in keys:
            xdotool("key", "--window", self.window, k)
            time.sleep(0.1)

    def type_path(self, text):
        """Replaces the path field's text as a user would: click, select all, type."""
        self.click(EDIT_PATH)
        self.key("ctrl+a")
        xdotool("type", "--delay", "30", text)
        time.sleep(0.3)

    def open_custom(self):
        before = self.height()
        self.click(CUSTOM_TOGGLE)
        return wait_for(lambda: self.height() > before + 100, 5) is not None

    def box(self, before, timeout=20):
        """A window that appeared since |before| (a message box)."""
        found = wait_for(lambda: sorted((windows() - before) - {self.window}), timeout)
        return found[-1] if found else None

    def answer(self, box, key):
        xdotool("key", "--window", box, key)
        return wait_for(lambda: box not in windows(), 10) is not None

    def ended(self, timeout):
        try:
            return self.proc.wait(timeout) is not None
        except subprocess.TimeoutExpired:
            return False

    def entries(self, kind):
        if not os.path.exists(self.record):
            return []
        return [e for e in demo_report.read_record(self.record) if e["kind"] == kind]

    def installed(self, timeout):
        """The configuration run happened, then the end page showed."""
        return (wait_for(lambda: self.entries("product"), timeout, 0.5) is not None and
                wait_for(lambda: self.page() == "end", 20, 0.5) is not None)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)
        # A started product's window would cover the screen of later cases.
        for entry in self.entries("product"):
            subprocess.run(["wine", "taskkill", "/f", "/pid", str(entry["pid"])], capture_output=True, timeout=60)


def collector():
    return demo_report.read_collector("http://127.0.0.1:%s" % os.environ.get("VARNO_DEMO_COLLECTOR_PORT", "18480"))


def clear_collector():
    import urllib.request
    port = os.environ.get("VARNO_DEMO_COLLECTOR_PORT", "18480")
    urllib.request.urlopen(urllib.request.Request("http://127.0.0.1:%s/_clear" % port, method="POST"), timeout=5)


def labels():
    return [a["label"] for a in collector()["analytics"]]


def remove_folder(path):
    subprocess.run(["wine", "cmd", "/c", "rmdir", "/s", "/q", path], capture_output=True, timeout=60)


def language_cache():
    appdata = unix_path(r"C:\users\%s\AppData\Roaming" % os.environ.get("USER", "root"))
    cache = os.path.join(appdata, "VARNO", "cache", "language")
    return open(cache, "rb").read() if os.path.exists(cache) else None


def switches(folder):
    return ' /DIR="%s" /tolvane_down /wait_run /verysilent' % folder


# --- cases ---------------------------------------------------------------

def case_default_install(args):
    """Install Now, wait, Start Now: the installer's switches in order, the configuration run, the cache
    file's bytes, the product's plain start, the feedback page on close, and the funnel in order."""
    remove_folder(r"C:\Program Files\VARNO")
    clear_collector()
    w = Wizard(args, "default")
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        w.shot("home")
        # An idle window costs nothing: a pump spinning on input it cannot
        # take once cost a third of a core here.
        busy = w.ui_thread_ms_per_second(3)
        check(busy is not None and busy < 60, "the UI thread idles on the home page: %s ms/s" % busy)
        w.click(INSTALL_NOW)
        time.sleep(1.5)
        w.shot("download")
        check(w.installed(120), "the installation ends on the end page")
        w.shot("end")
        w.click(START_NOW)
        check(w.ended(30), "Start Now ends the wizard")
        wait_for(lambda: len(w.entries("product")) >= 2 and w.entries("browser"), 20)
        installer = w.entries("installer")
        product = w.entries("product")
        check(len(installer) == 1 and installer[0]["cmdline"].endswith(switches(r"C:\Program Files\VARNO")),
              "the installer's switches: %s" % [e["cmdline"] for e in installer])
        check(len(product) == 2 and product[0]["cmdline"].endswith(" --install=1 --language=English")
              and product[1]["cmdline"].rstrip().endswith('VARNO.exe"'),
              "the configuration run, then a plain start: %s" % [e["cmdline"] for e in product])
        got = language_cache()
        check(got == b"English", "the language cache file holds exactly the key: %r" % got)
        browser = [e["cmdline"] for e in w.entries("browser")]
        check(len(browser) == 1 and table_text("English", "URLID_INSTALL") in browser[0],
              "the feedback page opened on close: %s" % browser)
        seen = collector()
        got_labels = [a["label"] for a in seen["analytics"]]
        check(got_labels[:2] == ["Installer_Popup", "Install_Start"] and got_labels[-1:] == ["Install_End"]
              and any(l.startswith("Install_Time_0-15s") for l in got_labels),
              "the analytics events in order: %s" % got_labels)
        reports = [(r["action"], r["status"]) for r in seen["reports"]]
        check(reports == [("install", "start"), ("install", "end")], "the signed reports in order: %s" % reports)
    finally:
        w.stop()


def case_custom_install(args):
    """German picked in the combo changes every text at once and reaches the product and the cache file;
    the default-viewer box cleared gives --install=0; a typed folder with blanks (and a trailing
    backslash) arrives quoted and whole; closing on the end page asks nothing."""
    folder = r"C:\Demo Apps\VARNO Viewer"
    remove_folder(r"C:\Demo Apps")
    clear_collector()
    w = Wizard(args, "custom")
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        check(w.open_custom(), "the custom toggle opens the box")
        english = {name: w.grab(area) for name, area in TEXT_AREAS.items()}
        before = windows()
        w.click(COMBO)
        drop = w.box(before, 5)
        time.sleep(0.5)
        w.shot("combo-open")
        if not check(drop is not None, "the combo opens its list"):
            return
        # English is the seventh of the sorted keys, German the ninth; Return picks.
        for key in ("Down", "Down", "Return"):
            xdotool("key", "--window", drop, key)
            time.sleep(0.2)
        check(wait_for(lambda: drop not in windows(), 5) is not None, "Return picks and closes the list")
        time.sleep(0.5)
        w.shot("german")
        same = [name for name, area in TEXT_AREAS.items() if not differs(english[name], w.grab(area))]
        check(not same, "every text changed at once (unchanged: %s)" % same)
        w.click(DEFAULT_CHECK)
        w.type_path(folder + "\\")
        w.shot("options")
        w.click(INSTALL_NOW)
        check(w.installed(120), "the installation ends on the end page")
        installer = w.entries("installer")
        product = w.entries("product")
        check(len(installer) == 1 and installer[0]["cmdline"].endswith(switches(folder)),
              "the typed folder arrives quoted and whole: %s" % [e["cmdline"] for e in installer])
        check(product[:1] and product[0]["cmdline"].endswith(" --install=0 --language=German"),
              "the configuration run: %s" % [e["cmdline"] for e in product])
        got = language_cache()
        check(got == b"German", "the cache file holds German: %r" % got)
        w.shot("end")
        before = windows()
        w.key("alt+F4")
        check(w.ended(15), "closing on the end page ends the process")
        check(not (windows() - before), "and asks nothing")
        wait_for(lambda: w.entries("browser"), 15)
        browser = [e["cmdline"] for e in w.entries("browser")]
        check(len(browser) == 1 and table_text("German", "URLID_INSTALL") in browser[0],
              "the German feedback page opened on close: %s" % browser)
    finally:
        w.stop()
        remove_folder(r"C:\Demo Apps")


def case_folder_browser(args):
    """The browse button's dialog, driven from the keyboard, fills the field with the chosen folder and
    the product's folder name."""
    w = Wizard(args, "browse")
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        check(w.open_custom(), "the custom toggle opens the box")
        before = windows()
        w.click(BROWSE)
        dialog = w.box(before)
        if not check(dialog is not None, "the browse button opens the folder dialog"):
            return
        time.sleep(1.0)
        w.shot("dialog")
        # The tree starts on the desktop; OK takes it.
        xdotool("key", "--window", dialog, "Return")
        check(wait_for(lambda: dialog not in windows(), 10) is not None, "OK closes the dialog")
        time.sleep(0.5)
        w.shot("filled")
        desktop = unix_path(r"C:\users\%s\Desktop" % os.environ.get("USER", "root"))
        clipboard = text_of_field(w)
        # Wine's clipboard hands X the whole buffer, past the text's terminator.
        clipboard = clipboard.split("\x00")[0] if clipboard is not None else None
        check(clipboard is not None and clipboard.lower().endswith("\\desktop\\varno") and
              os.path.isdir(desktop), "the field holds the chosen folder and VARNO: %r" % clipboard)
    finally:
        w.stop()


def text_of_field(w):
    """The path field's text, copied out through the clipboard as a user would."""
    subprocess.run(["xclip", "-selection", "clipboard", "-i", "/dev/null"], timeout=10)
    w.click(EDIT_PATH)
    w.key("ctrl+a", "ctrl+c")
    time.sleep(0.5)
    out = subprocess.run(["xclip", "-selection", "clipboard", "-o"], capture_output=True, timeout=10)
    return out.stdout.decode("utf-8", "replace").replace("\r", "").strip() if out.returncode == 0 else None


def case_checks(args):
    """The product already running shows its box and stays home; invalid paths show the error label and
    no box; too little space shows the space box. Nothing is downloaded."""
    running = os.path.join(args.work, "running")
    os.makedirs(running, exist_ok=True)
    shutil.copy(os.path.join(args.bin, "VARNO_demo_product.exe"), os.path.join(running, "VARNO.exe"))
    small = os.path.join(args.work, "small")
    os.makedirs(small, exist_ok=True)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m", "varno-small", small],
                             capture_output=True).returncode == 0
    drive_link = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "s:")
    if os.path.lexists(drive_link):
        os.remove(drive_link)
    os.symlink(small, drive_link)
    environment = {} if mounted else {"VARNO_DEMO_FREE_MB": "4"}
    print("     the space check sees %s" % ("a 4 MiB filesystem mapped as S:" if mounted else
                                             "an injected answer of 4 MiB (this machine cannot mount one)"))
    requests = len(Servers(args.work).access_log())
    product = subprocess.Popen(["wine", os.path.join(running, "VARNO.exe")],
                               env=dict(os.environ, VARNO_DEMO_RECORD=wine_path(os.path.join(running, "rec.txt"))),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    w = Wizard(args, "checks", **environment)
    try:
        wait_for(lambda: os.path.exists(os.path.join(running, "rec.txt")), 30)
        if not check(w.start(), "the wizard shows its window"):
            return
        before = windows()
        w.click(INSTALL_NOW)
        box = w.box(before)
        w.shot("running")
        check(box is not None and w.answer(box, "Return"), "the product running shows its box")
        check(w.page() == "home", "and the wizard stays home")
        subprocess.run(["wine", "taskkill", "/f", "/im", "VARNO.exe"], capture_output=True, timeout=60)
        try:
            product.wait(15)
        except subprocess.TimeoutExpired:  # taskkill was seen to miss it once: end it from here
            product.kill()
            product.wait(15)
        check(w.open_custom(), "the custom toggle opens the box")
        check(reddish(w.grab(ERROR_LABEL)) == 0, "no error label at first")
        for path in (r"Q:\VARNO", r"VARNO\Viewer", r"C:\VA|RNO"):
            w.type_path(path)
            before = windows()
            w.click(INSTALL_NOW)
            time.sleep(1.0)
            w.shot("invalid")
            check(reddish(w.grab(ERROR_LABEL)) > 20 and not (windows() - before) and w.page() == "home",
                  "%s shows the error label and no box" % path)
        w.type_path(r"S:\VARNO")
        before = windows()
        w.click(INSTALL_NOW)
        box = w.box(before)
        w.shot("space")
        check(box is not None and w.answer(box, "Return"), "too little space shows the space box")
        check(reddish(w.grab(ERROR_LABEL)) == 0, "and the error label has gone: the path itself is fine")
        check(w.page() == "home", "and the wizard stays home")
        # The size query at start is all that reached the server.
        sent = sum(e["bytes"] for e in Servers(args.work).access_log()[requests:])
        check(sent < 65536 and not w.entries("installer"), "nothing was downloaded (%d bytes) or installed" % sent)
    finally:
        w.stop()
        if product.poll() is None:
            product.kill()
        os.remove(drive_link)
        if mounted:
            subprocess.run(["umount", small], capture_output=True)


def failing_wizard(args, name, network="up"):
    return Wizard(args, name, VARNO_DEMO_RETRY_PAUSE_MS="50", VARNO_DEMO_NETWORK=network)


def case_server_stops(args):
    """The server stopped during the download gives the error box; Retry, pressed at once with the
    server back, starts a clean attempt that completes."""
    remove_folder(r"C:\Program Files\VARNO")
    servers = Servers(args.work)
    w = failing_wizard(args, "stops")
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        before = windows()
        w.click(INSTALL_NOW)
        time.sleep(1.0)
        check(servers.stop(), "the server stopped during the download")
        box = w.box(before, 30)
        w.shot("error-box")
        if not check(box is not None, "the error box shows"):
            return
        check(servers.start(), "the server is back")
        check(w.answer(box, "Return"), "Return (Retry) closes the box")
        check(w.installed(120), "the new attempt completes and installs")
        check(len(w.entries("installer")) == 1, "the installer ran once")
    finally:
        servers.start()
        w.stop()


def case_abort(args):
    """Abort returns home with the toggles cleared."""
    servers = Servers(args.work)
    w = failing_wizard(args, "abort")
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        closed = w.grab((560, 330, 80, 30))
        check(w.open_custom(), "the custom toggle opens the box")
        servers.stop()
        before = windows()
        w.click(INSTALL_NOW)
        box = w.box(before, 30)
        if not check(box is not None, "the error box shows"):
            return
        check(w.answer(box, "a"), "Abort closes the box")
        time.sleep(1.0)
        w.shot("home")
        check(w.page() == "home", "Abort returns home")
        check(w.height() < 420 and not differs(closed, w.grab((560, 330, 80, 30))),
              "with the custom box closed and its toggle cleared")
        check(not w.entries("installer"), "nothing was installed")
    finally:
        servers.start()
        w.stop()


def case_ignore(args):
    """Ignore opens the download address in the browser, shows the end page and quits."""
    servers = Servers(args.work)
    clear_collector()
    w = failing_wizard(args, "ignore")
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        servers.stop()
        before = windows()
        w.click(INSTALL_NOW)
        box = w.box(before, 30)
        if not check(box is not None, "the error box shows"):
            return
        check(w.answer(box, "i"), "Ignore closes the box")
        check(w.ended(20), "the process ends by itself")
        wait_for(lambda: w.entries("browser"), 15)
        browser = [e["cmdline"] for e in w.entries("browser")]
        check(len(browser) == 1 and "https://127.0.0.1:18443/download/varno/varno-win-" in browser[0],
              "the browser got the download address: %s" % browser)
        check("Install_End" not in labels(), "no Install_End")
    finally:
        servers.start()
        w.stop()


def case_network_down(args):
    """With the network reported down the network box offers Retry and Cancel: Cancel (Escape, which
    the error box does not have) returns home, Retry with the server back completes."""
    remove_folder(r"C:\Program Files\VARNO")
    servers = Servers(args.work)
    w = failing_wizard(args, "network", network="down")
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        servers.stop()
        before = windows()
        w.click(INSTALL_NOW)
        box = w.box(before, 30)
        w.shot("network-box")
        check(box is not None and w.answer(box, "Escape"), "the network box shows and Cancel closes it")
        time.sleep(1.0)
        check(w.page() == "home", "Cancel returns home")
        before = windows()
        w.click(INSTALL_NOW)
        box = w.box(before, 30)
        if not check(box is not None, "the network box shows again"):
            return
        servers.start()
        check(w.answer(box, "Return"), "Retry closes it")
        check(w.installed(120), "and the download completes and installs")
    finally:
        servers.start()
        w.stop()


def case_quit_box(args):
    """Alt+F4 on the home page asks; Escape (Cancel) keeps the window, Return (OK) sends Install_Cancel
    and the process ends."""
    clear_collector()
    w = Wizard(args, "quit")
    try:
        if not check(w.start(), "the wizard shows its window"):
            return
        before = windows()
        w.key("alt+F4")
        box = w.box(before)
        if not check(box is not None, "Alt+F4 shows the quit box"):
            return
        w.shot("quit-box")
        check(w.answer(box, "Escape"), "Cancel closes the box")
        check(not w.ended(2), "Cancel keeps the wizard")
        before = windows()
        w.key("alt+F4")
        box = w.box(before)
        if not check(box is not None, "the quit box shows again"):
            return
        xdotool("key", "--window", box, "Return")
        check(w.ended(20), "OK ends the process")
        check(wait_for(lambda: "Install_Cancel" in labels(), 10) is not None, "Install_Cancel was sent")
    finally:
        w.stop()


CASES = {
    "default_install": case_default_install, "custom_install": case_custom_install,
    "folder_browser": case_folder_browser, "checks": case_checks, "server_stops": case_server_stops,
    "abort": case_abort, "ignore": case_ignore, "network_down": case_network_down, "quit_box": case_quit_box,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--setup", required=True)
    parser.add_argument("--bin", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--shots", required=True)
    parser.add_argument("cases", nargs="*")
    args = parser.parse_args()
    servers = Servers(args.work)
    try:
        for name in args.cases or CASES:
            print("== %s" % name, flush=True)
            try:
                CASES[name](args)
            except Exception as e:  # one case's breakdown must not hide the others' results
                check(False, "%s ended early: %r" % (name, e))
    finally:
        servers.stop()
    print("%d failure(s); screenshots in %s" % (len(failures), args.shots))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
