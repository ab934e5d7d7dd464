#!/usr/bin/env python3
"""Figures of the Linux program on X11, measured on private Xvfb servers with the sample desktop:

- at 1920x1080 and at 3840x2160, side by side (the two sizes take turns, five runs each, medians):
  - the time from exec to the first black screen,
  - the time from the first black screen to the complete wiring-fault picture,
  - the time from a key press to the desktop back on the screen, once the picture is complete and once
    pressed while the first picture is being drawn,
  - the memory while the wiring fault shows: the saver's proportional set size plus the X server's growth
    (its proportional set size then, less before the start; the saver's shared segment counts once),
- the renderer's one-pixel faults (types 1, 5 and 6) at 3840x2160 from `bench_effects` (CPU time,
  median of five repetitions),
- the CPU the saver uses while the robot plays (type 4, robot on), over 10 s after start-up, at 1920x1080,
- the cost of one small shared-memory push when waiting with XSync or with ShmCompletion.

    python3 bench/x11_figures.py [BUILD_DIR ...]      (default: build)

With several build directories (say, the program before and after a change), their runs take turns too, and
a table is printed for each.

Prints a Markdown table. These are measurements, not tests: the machine is shared and noisy, so each
timed figure is the median of a few runs, and the load average before and after is printed with them.
"""

import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "x11"))

import sample_desktop  # noqa: E402
import xharness  # noqa: E402

SIZES = ((1920, 1080), (3840, 2160))
RUNS = 5
TICKS = os.sysconf("SC_CLK_TCK")


def frame_mib(w, h):
    return w * h * 4 / 2**20


def build_probe(tmp):
    exe = os.path.join(tmp, "x11_probe")
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "x11", "xext", "xtst"], stdout=subprocess.PIPE,
                           text=True, check=True).stdout.split()
    subprocess.run(["c++", "-O2", "-o", exe, os.path.join(HERE, "x11_probe.cpp"), *flags], check=True)
    return exe


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def cpu_seconds_exact(pid):
    """On-CPU time from the scheduler, in nanoseconds rather than clock ticks."""
    with open("/proc/%d/schedstat" % pid) as f:
        return int(f.read().split()[0]) / 1e9


def pss_mib(pid):
    with open("/proc/%d/smaps_rollup" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("Pss:")) / 1024


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


class Desktop:
    """The sample desktop at one size, with the pixels the measurements look at."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.picture = sample_desktop.draw(w, h)
        # A pixel where the desktop, black and the wiring fault (turned by half a turn) all differ: there
        # the desktop is back on the screen only once the saver's window is gone.
        self.back = next((x, y) for y in range(h // 3, h, 7) for x in range(w // 3, w, 13)
                         if self.pixel(x, y) not in (0, self.pixel(w - 1 - x, h - 1 - y)))

    def pixel(self, px, py):
        i = (py * self.w + px) * 3
        r, g, b = self.picture.rgb[i:i + 3]
        return (r << 16) | (g << 8) | b

    def server(self):
        x = xharness.XServer(self.w, self.h)
        path = os.path.join(x.tmp, "desktop.ppm")
        self.picture.save(path)
        x.run(xharness.XDESK, "root", path)
        return x


def probe_start(probe, x, *args):
    return subprocess.Popen([probe, *[str(a) for a in args]], env=x.env, stdout=subprocess.PIPE, text=True)


def probe_result(proc, what):
    out, _ = proc.communicate(timeout=120)
    if proc.returncode != 0:
        raise RuntimeError("the probe saw no %s" % what)
    return out.split()


def one_run(desktop, probe):
    """One saver on a fresh server: exec to black, black to the complete wiring fault, the memory while
    it shows (the saver's and the X server's growth), a key press to the desktop; then a second saver dismissed while it draws its first picture.
    Returns the five figures and whether the second key press came before the picture was complete."""
    w, h = desktop.w, desktop.h
    last = "%06x" % desktop.pixel(0, 0)  # the bottom-right pixel of the wiring fault, drawn last
    first = "%06x" % desktop.pixel(w - 1, h - 1)  # its top-left pixel, drawn first
    bx, by = desktop.back
    back = "%06x" % desktop.pixel(bx, by)
    x = desktop.server()
    try:
        x.write_profile(DispType=1, DispRobo=0)
        server_before = pss_mib(x.proc.pid)
        watcher = probe_start(probe, x, "watch", 0, 0, w - 1, h - 1, last)
        if watcher.stdout.readline().strip() != "ready":
            raise RuntimeError("the probe did not start")
        t0 = time.monotonic() * 1e3
        saver = x.start_saver()
        black_at, picture = (float(v) for v in probe_result(watcher, "complete picture"))
        peak = (pss_mib(saver.proc.pid), pss_mib(x.proc.pid) - server_before)
        key_idle = float(probe_result(probe_start(probe, x, "key", bx, by, back), "desktop")[0])
        saver.wait_exit()
        saver.close()

        key = probe_start(probe, x, "key", bx, by, back, 0, 0, first, w - 1, h - 1, last)
        saver = x.start_saver()
        value, state = probe_result(key, "desktop after a key press while drawing")
        saver.wait_exit()
        saver.close()
        return black_at - t0, picture, peak, key_idle, float(value), state == "drawing"
    finally:
        x.close()


def effects_ms(build):
    """CPU milliseconds of the one-pixel faults at 3840x2160, median of five repetitions."""
    out = subprocess.run([os.path.join(build, "bench", "bench_effects"),
                          "--benchmark_filter=BM_Render/w:3840/h:2160/type:[156]$", "--benchmark_repetitions=5",
                          "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
                         stdout=subprocess.PIPE, text=True, check=True).stdout
    found = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            found[int(b["run_name"].rsplit(":", 1)[1])] = b["ms"]
    return found


def robot_cpu_percent(desktop, seconds=10.0):
    x = desktop.server()
    w, h = desktop.w, desktop.h
    try:
        x.write_profile(DispType=4, DispRobo=1)
        saver = x.start_saver()
        # Start-up done: the squeezed picture is up (its top rows are black, the middle is the desktop).
        want = desktop.pixel(0, 0)
        xharness.wait_for(lambda: x.screenshot()[(h // 4) * w] == want, "the vertical-sync picture")
        pid = saver.proc.pid
        c0, e0, t0 = cpu_seconds(pid), cpu_seconds_exact(pid), time.monotonic()
        xs0 = cpu_seconds_exact(x.proc.pid)
        time.sleep(seconds)
        c1, e1, t1 = cpu_seconds(pid), cpu_seconds_exact(pid), time.monotonic()
        xs1 = cpu_seconds_exact(x.proc.pid)
        x.xdotool("key", "space")
        saver.wait_exit()
        saver.close()
        span = t1 - t0
        return 100 * (c1 - c0) / span, 100 * (e1 - e0) / span, 100 * (xs1 - xs0) / span
    finally:
        x.close()


def shm_wait_costs(desktop, probe):
    x = desktop.server()
    try:
        return subprocess.run([probe, "shmwait", "64", "96", "2000"], env=x.env, stdout=subprocess.PIPE,
                              text=True, check=True).stdout.strip().splitlines()
    finally:
        x.close()


def figure(values, unit="ms"):
    return "%.0f %s (runs: %s)" % (statistics.median(values), unit, ", ".join("%.0f" % v for v in values))


def use(build):
    xharness.SCRWARPVUE = os.path.join(build, "scrwarpvue")
    xharness.XDESK = os.path.join(build, "tests", "x11", "xdesk")


def table(desktops, runs, effects, robot, shm):
    def column(d, i, unit="ms"):
        return figure([r[i] for r in runs[d.w]], unit)

    small, large = desktops
    print("| Figure | Target | %dx%d | %dx%d |" % (small.w, small.h, large.w, large.h))
    print("|---|---|---|---|")
    print("| Exec to the first black screen | at most 15 ms (1920x1080), 40 ms (3840x2160) | %s | %s |"
          % (column(small, 0), column(large, 0)))
    print("| First black screen to the complete wiring-fault picture | at most 260 ms | %s | %s |"
          % (column(small, 1), column(large, 1)))
    print("| Key press to the desktop back on the screen, picture complete | at most 50 ms | %s | %s |"
          % (column(small, 3), column(large, 3)))
    drawing = ["%s; %d of %d presses came while drawing" % (column(d, 4), sum(r[5] for r in runs[d.w]), RUNS)
               for d in desktops]
    print("| Key press to the desktop back on the screen, pressed while the first picture is drawn | at most 50 ms "
          "| %s | %s |" % tuple(drawing))
    def memory(d):
        own, server = max((r[2] for r in runs[d.w]), key=sum)
        return "%.1f MiB (saver %.1f + X server %.1f)" % (own + server, own, server)

    print("| Memory while the wiring fault shows: the saver's PSS + the X server's growth | at most two frames "
          "+ 8 MiB (%.1f MiB, %.1f MiB) | %s | %s |" % (2 * frame_mib(small.w, small.h) + 8,
                                                         2 * frame_mib(large.w, large.h) + 8, memory(small),
                                                         memory(large)))
    print("| `bench_effects` CPU time, types 1 / 5 / 6 (median of 5) | at most 35 ms each at 3840x2160 | | "
          "%s |" % " / ".join("%.1f ms" % effects.get(t, float("nan")) for t in (1, 5, 6)))
    print("| CPU while the robot plays (type 4, robot on, 10 s after start-up) | below 1 %% of a core | "
          "%.2f %% by utime+stime; %.3f %% by schedstat (the X server meanwhile: %.3f %%) | |" % robot)
    for line in shm:
        name, value = (s.strip() for s in line.split(":", 1))
        print("| Small push (64x96) waiting with %s | (choice) | %s | |" % (name, value))


def main():
    builds = [os.path.abspath(b) for b in sys.argv[1:]] or [os.path.join(ROOT, "build")]
    load_before = load_average()
    tmp = tempfile.mkdtemp(prefix="scrwarpvue-bench-")
    try:
        probe = build_probe(tmp)
        desktops = [Desktop(w, h) for w, h in SIZES]
        runs = {b: {d.w: [] for d in desktops} for b in builds}
        for _ in range(RUNS):
            for b in builds:  # the programs and the sizes take turns, so that all meet the same load
                use(b)
                for d in desktops:
                    runs[b][d.w].append(one_run(d, probe))
        rest = {}
        for b in builds:
            use(b)
            rest[b] = (effects_ms(b), robot_cpu_percent(desktops[0]), shm_wait_costs(desktops[0], probe))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    load_after = load_average()
    for b in builds:
        if len(builds) > 1:
            print("%s:\n" % b)
        table(desktops, runs[b], *rest[b])
        print()
    print("Load average before: %s; after: %s." % (load_before, load_after))


if __name__ == "__main__":
    main()
