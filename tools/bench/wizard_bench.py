#!/usr/bin/env python3
"""Drives the demo-rebranded VarnoSetup.exe for run_wizard_bench.sh; see there.

Start: alternating runs of the bare layered-window program and of the wizard;
each prints (the wizard through VARNO_DEMO_FRAME_LOG) the milliseconds from
its process creation to a frame on the screen. The wizard fades in: its
first frame is presented fully transparent, so the figure is its first frame
with any alpha, and the first opaque one is given too.

Download: one wizard run clicks Install Now and samples the Linux process
under Wine twice a second until the demo installer starts (the download is
over then): its resident set (peak: VmHWM) and the processor time of its
main thread, which is the UI thread, and of the whole process.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import wizard_e2e_test as e2e  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def bare_first_frame(bare):
    out = subprocess.run(["wine", bare], capture_output=True, text=True, timeout=120).stdout
    for line in out.splitlines():
        if line.startswith("firstframe "):
            return float(line.split()[1])
    return None


def wizard_frames(args, log):
    """(first visible frame ms, first opaque frame ms) of one start, or None. The window fades in:
    its very first frame is presented fully transparent, so the first visible one is the first with
    any alpha."""
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, VARNO_DEMO_FRAME_LOG=e2e.wine_path(log))
    proc = subprocess.Popen(["wine", args.setup], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    frames = []
    end = time.time() + 60
    while time.time() < end:
        if os.path.exists(log):
            frames = [line.split() for line in open(log).read().splitlines() if line.startswith("frame ")]
            if frames and frames[-1][3] == "255":
                break
        time.sleep(0.1)
    proc.kill()
    proc.wait(30)
    time.sleep(0.5)  # the single-instance mutex goes with the process
    if not frames:
        return None
    visible = [float(f[2]) for f in frames if f[3] != "0"]
    opaque = [float(f[2]) for f in frames if f[3] == "255"]
    if not visible:
        return None
    return visible[0], (opaque[0] if opaque else None)


def bare_resident_kib(bare):
    """The resident set of the bare layered-window program at rest: Wine's own share of any window."""
    proc = subprocess.Popen(["wine", bare, "--hold", "4000"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    time.sleep(3)
    pid = e2e.linux_pid(os.path.basename(bare))
    kib = status_kib(pid, "VmHWM") if pid else 0
    proc.wait(30)
    return kib


def status_kib(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def threads_ticks(pid):
    """{tid: (name, processor ticks)} of the process's threads."""
    out = {}
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            name = open("/proc/%d/task/%s/comm" % (pid, tid)).read().strip()
            out[int(tid)] = (name, e2e.cpu_ticks("/proc/%d/task/%s/stat" % (pid, tid)))
        except OSError:
            pass
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--setup", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--start-only", action="store_true")
    args = parser.parse_args()
    args.shots = os.path.join(args.work, "shots")
    log = os.path.join(args.work, "frames.txt")

    # One of each first: the first start of a prefix loads and caches more.
    bare_first_frame(args.bare)
    wizard_frames(args, log)
    bare, first, opaque = [], [], []
    for _ in range(args.runs):
        b = bare_first_frame(args.bare)
        w = wizard_frames(args, log)
        if b is not None:
            bare.append(b)
        if w is not None:
            first.append(w[0])
            if w[1] is not None:
                opaque.append(w[1])
    if not bare or not first:
        print("wizard_bench: a program showed no frame")
        return 1
    b, f = statistics.median(bare), statistics.median(first)
    print("start to first visible frame, median of %d: bare layered window %.0f ms, wizard %.0f ms, "
          "ratio %.2f (goal <= 1.30)" % (len(first), b, f, f / b))
    if opaque:
        print("  the wizard's fade-in ends (first opaque frame) at %.0f ms" % statistics.median(opaque))
    print("  bare runs: %s" % " ".join("%.0f" % v for v in bare))
    print("  wizard runs: %s" % " ".join("%.0f" % v for v in first))

    if args.start_only:
        return 0
    floor = bare_resident_kib(args.bare)
    all_frames = os.path.join(args.work, "all-frames.txt")
    w = e2e.Wizard(args, "bench", VARNO_DEMO_FRAME_LOG=e2e.wine_path(all_frames), VARNO_DEMO_FRAME_LOG_ALL="1")
    try:
        if not w.start():
            print("wizard_bench: the wizard did not show")
            return 1
        pid = e2e.linux_pid(os.path.basename(args.setup))
        if pid is None:
            print("wizard_bench: no process for %s" % args.setup)
            return 1
        home_rss = status_kib(pid, "VmRSS")
        main_thread = "/proc/%d/task/%d/stat" % (pid, pid)
        process = "/proc/%d/stat" % pid
        w.click(e2e.INSTALL_NOW)
        start = time.time()
        frames0 = len(open(all_frames).read().splitlines())
        ui0, all0 = e2e.cpu_ticks(main_thread), e2e.cpu_ticks(process)
        threads0 = threads_ticks(pid)
        samples = []
        while time.time() - start < 600 and not w.entries("installer"):
            samples.append((time.time() - start, status_kib(pid, "VmRSS"), e2e.cpu_ticks(main_thread)))
            time.sleep(0.5)
        seconds = time.time() - start
        ui1, all1 = e2e.cpu_ticks(main_thread), e2e.cpu_ticks(process)
        threads1 = threads_ticks(pid)
        frames1 = len(open(all_frames).read().splitlines())
        peak = status_kib(pid, "VmHWM")
        served = os.path.getsize(os.environ["VARNO_DEMO_SERVED"])
        print("download of %.1f MiB took %.1f s (from the click to the installer's start)"
              % (served / 1048576.0, seconds))
        print("working set (resident set of the process under Wine): home page %.1f MiB, peak %.1f MiB "
              "(goal <= 30 MB)" % (home_rss / 1024.0, peak / 1024.0))
        print("  the bare layered-window program at rest: %.1f MiB; the wizard's peak above it: %.1f MiB"
              % (floor / 1024.0, (peak - floor) / 1024.0))
        rss = [s[1] for s in samples]
        if rss:
            print("  during the download: min %.1f, median %.1f, max %.1f MiB over %d samples"
                  % (min(rss) / 1024.0, statistics.median(rss) / 1024.0, max(rss) / 1024.0, len(rss)))
        print("UI thread processor time on the download page: %.1f ms per second (whole process %.1f ms per "
              "second)" % ((ui1 - ui0) * 1000.0 / TICKS / seconds, (all1 - all0) * 1000.0 / TICKS / seconds))
        print("  frames presented on the download page: %.1f per second" % ((frames1 - frames0) / seconds))
        busy = sorted(((t[1] - threads0.get(tid, (None, 0))[1], tid, t[0]) for tid, t in threads1.items()),
                      reverse=True)
        print("  threads, ms per second: " + ", ".join("%s/%d %.1f" % (name, tid, ticks * 1000.0 / TICKS / seconds)
                                                      for ticks, tid, name in busy[:8]))
        w.installed(120)
    finally:
        w.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
