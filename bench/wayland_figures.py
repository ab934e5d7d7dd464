#!/usr/bin/env python3
"""Figures of the Linux program on Wayland beside the same figures on X11, measured in one run: the
program on private headless sways (the harness of tests/wayland) and on private Xvfb servers (as
bench/x11_figures.py measures them), both showing the sample desktop, at 1920x1080 and at 3840x2160:

- the time from exec to the first black screen, and from there to the complete wiring-fault picture
  (the two displays and the two sizes take turns, five runs each, medians),
- the memory while the wiring fault shows: the program's proportional set size plus what the X server
  or the compositor grew by,
- the CPU the saver uses while the robot plays (type 4, robot on), over 10 s after start-up, and the
  compositor's or X server's meanwhile, at 1920x1080.

    python3 bench/wayland_figures.py [BUILD_DIR]      (default: build; as root, or as a user sway runs for)

On Wayland the screen is read with one-pixel screencopies (bench/wayland_probe.cpp), which sway answers
with its next frame: those figures are as fine as its 60 Hz refresh. Prints a Markdown table and the load
average before and after: the machine is shared and noisy, so each timed figure is a median.
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "wayland"))

import wharness  # noqa: E402
import x11_figures as x11  # noqa: E402

ROBOT_SECONDS = 10.0


def build_probe(tmp):
    """The Wayland probe, with the client code of the backend's own screencopy protocol file."""
    xml = os.path.join(ROOT, "platform", "posix", "wayland", "protocols", "wlr-screencopy-unstable-v1.xml")
    header = os.path.join(tmp, "wlr-screencopy-unstable-v1-client-protocol.h")
    code = os.path.join(tmp, "wlr-screencopy-unstable-v1-protocol.c")
    subprocess.run(["wayland-scanner", "client-header", xml, header], check=True)
    subprocess.run(["wayland-scanner", "private-code", xml, code], check=True)
    exe = os.path.join(tmp, "wayland_probe")
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "wayland-client"], stdout=subprocess.PIPE, text=True,
                           check=True).stdout.split()
    subprocess.run(["c++", "-O2", "-I", tmp, "-o", exe, os.path.join(HERE, "wayland_probe.cpp"), "-x", "c", code,
                    *flags], check=True)
    return exe


def sway_for(desktop, probe):
    sway = wharness.Sway(desktop.w, desktop.h, bytes(desktop.picture.rgb))
    shutil.copy(probe, sway.bin)
    return sway


def wayland_run(desktop, probe):
    """One saver on a fresh sway: exec to black, black to the complete wiring fault, the peak memory."""
    w, h = desktop.w, desktop.h
    sway = sway_for(desktop, probe)
    try:
        sway.write_profile(DispType=1, DispRobo=0)
        last = "%06x" % desktop.pixel(0, 0)  # the bottom-right pixel of the wiring fault, drawn last
        watcher = subprocess.Popen(sway.as_account([os.path.join(sway.bin, "wayland_probe"), "watch", "0", "0",
                                                    str(w - 1), str(h - 1), last]),
                                   env=sway.env, stdout=subprocess.PIPE, text=True)
        if watcher.stdout.readline().strip() != "ready":
            raise RuntimeError("the probe did not start")
        sway_before = x11.pss_mib(sway.proc.pid)
        t0 = time.monotonic() * 1e3
        with sway.start() as program:
            black_at, picture = (float(v) for v in x11.probe_result(watcher, "complete picture"))
            peak = (x11.pss_mib(program.proc.pid), x11.pss_mib(sway.proc.pid) - sway_before)
            sway.key("space")
            program.wait_exit()
        return black_at - t0, picture, peak
    finally:
        sway.close()


def wayland_robot_cpu(desktop):
    w, h = desktop.w, desktop.h
    sway = sway_for(desktop, PROBE)
    try:
        sway.write_profile(DispType=4, DispRobo=1)
        with sway.start() as program:
            # Start-up done: the squeezed picture is up (its top rows are black, the middle is the desktop).
            want = desktop.picture.rgb[0:3]
            at = (h // 4) * w * 3
            wharness.wait_for(lambda: sway.screenshot()[at:at + 3] == want, "the vertical-sync picture")
            pid = program.proc.pid
            c0, e0, s0, t0 = x11.cpu_seconds(pid), x11.cpu_seconds_exact(pid), x11.cpu_seconds_exact(
                sway.proc.pid), time.monotonic()
            time.sleep(ROBOT_SECONDS)
            c1, e1, s1, t1 = x11.cpu_seconds(pid), x11.cpu_seconds_exact(pid), x11.cpu_seconds_exact(
                sway.proc.pid), time.monotonic()
            sway.key("space")
            program.wait_exit()
        span = t1 - t0
        return 100 * (c1 - c0) / span, 100 * (e1 - e0) / span, 100 * (s1 - s0) / span
    finally:
        sway.close()


def table(desktops, runs, robot):
    small, large = desktops
    cols = [(d, display) for d in desktops for display in ("x11", "wayland")]
    print("| Figure | " + " | ".join("%s %dx%d" % (("X11", "Wayland")[display == "wayland"], d.w, d.h)
                                     for d, display in cols) + " |")
    print("|---|" + "---|" * len(cols))
    for name, i, unit in (("Exec to the first black screen", 0, "ms"),
                          ("First black screen to the complete wiring-fault picture", 1, "ms")):
        print("| %s | %s |" % (name, " | ".join(x11.figure([r[i] for r in runs[display][d.w]], unit)
                                                for d, display in cols)))
    def memory(rs):  # the run with the largest sum: the program's PSS + the display server's growth
        own, server = max((r[2] for r in rs), key=sum)
        return "%.1f + %.1f = %.1f MiB" % (own, server, own + server)

    print("| Memory while the picture shows: the program's PSS + the X server's or compositor's growth | %s |"
          % " | ".join(memory(runs[display][d.w]) for d, display in cols))
    print("| CPU while the robot plays (type 4, %.0f s after start-up) | %s | %s | | |" % (
        ROBOT_SECONDS, *("%.2f %% by utime+stime; %.3f %% by schedstat (the %s meanwhile: %.3f %%)"
                         % (*robot[display][:2], who, robot[display][2])
                         for display, who in (("x11", "X server"), ("wayland", "compositor")))))


PROBE = None


def main():
    global PROBE
    build = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    x11.use(build)
    wharness.SCRWARPVUE = os.path.join(build, "scrwarpvue")
    load_before = x11.load_average()
    tmp = tempfile.mkdtemp(prefix="scrwarpvue-bench-")
    try:
        x11_probe, PROBE = x11.build_probe(tmp), build_probe(tmp)
        desktops = [x11.Desktop(w, h) for w, h in x11.SIZES]
        runs = {display: {d.w: [] for d in desktops} for display in ("x11", "wayland")}
        for _ in range(x11.RUNS):  # the displays and the sizes take turns, so that all meet the same load
            for d in desktops:
                runs["x11"][d.w].append(x11.one_run(d, x11_probe)[:3])
                runs["wayland"][d.w].append(wayland_run(d, PROBE))
        robot = {"x11": x11.robot_cpu_percent(desktops[0]), "wayland": wayland_robot_cpu(desktops[0])}
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    table(desktops, runs, robot)
    print()
    print("Load average before: %s; after: %s." % (load_before, x11.load_average()))


if __name__ == "__main__":
    main()
