#!/usr/bin/env python3
"""The saver beside its peers: the screen-grabbing hacks of xscreensaver, each on the same private
1920x1080 Xvfb desktop (the sample desktop of tests/x11/sample_desktop.py), one after the other in one
run. For each program it prints

- exec -> screen covered: until the screen first differs from the desktop,
- exec -> picture: until it first shows a picture that is neither the desktop nor black (at least a
  quarter of the watched pixels lit, one of them changed),
- CPU per second over 8 s from the picture on (the program and the children it reaped, in % of a core),
- memory: the program's proportional set size (with its live children) plus the X server's growth
  while it runs (its proportional set size then, less before), at the end of the 8 s.

The screen is watched by bench/x11_probe (mode "change") on a grid of nine rows. The saver runs as
`scrwarpvue /s` over a profile that already holds all three keys (as after its first run); the peers
run from Debian's xscreensaver-data and xscreensaver-data-extra packages with `-root`, which this
script installs when they are missing.

    python3 bench/peers.py [BUILD_DIR]      (default: build)

These are measurements, not tests: the machine may be shared, so the load average before and after is
printed with them. Nothing fails on a figure.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "x11"))
sys.path.insert(0, HERE)

import x11_figures  # noqa: E402
import xharness  # noqa: E402

SIZE = (1920, 1080)
CPU_SECONDS = 8.0
HACKS = "/usr/libexec/xscreensaver"
PEERS = ("decayscreen", "distort", "ripples", "swirl", "rotzoomer", "zoom", "slidescreen", "tessellimage",
         "xanalogtv")
PACKAGES = ("xscreensaver-data", "xscreensaver-data-extra")
TICKS = os.sysconf("SC_CLK_TCK")


def install_peers():
    if all(os.access(os.path.join(HACKS, p), os.X_OK) for p in PEERS):
        return
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    subprocess.run([*sudo, "apt-get", "-o", "DPkg::Lock::Timeout=900", "install", "-y", "--no-install-recommends",
                    *PACKAGES], check=True)


def descendants(pid):
    """The process and its live descendants."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    parent = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(parent, []).append(int(entry))
            except (OSError, ValueError, IndexError):
                pass
    found, todo = [], [pid]
    while todo:
        p = todo.pop()
        found.append(p)
        todo.extend(children.get(p, []))
    return found


def cpu_seconds(pid):
    """utime + stime of the process and of the children it waited for."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return sum(int(v) for v in fields[11:15]) / TICKS


def pss_mib(pids):
    total = 0
    for pid in pids:
        try:
            with open("/proc/%d/smaps_rollup" % pid) as f:
                total += next(int(line.split()[1]) for line in f if line.startswith("Pss:"))
        except (OSError, StopIteration):
            pass
    return total / 1024


def measure(desktop, probe, name, argv, stop):
    x = desktop.server()
    try:
        x.write_profile(DispType=1, DispRobo=0, EternalFire=0)
        x_before = pss_mib([x.proc.pid])
        watcher = x11_figures.probe_start(probe, x, "change")
        if watcher.stdout.readline().strip() != "ready":
            raise RuntimeError("the probe did not start")
        t0 = time.monotonic() * 1e3
        proc = subprocess.Popen(argv, env=x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            covered, picture = (float(v) for v in x11_figures.probe_result(watcher, "picture of %s" % name))
            c0, w0 = cpu_seconds(proc.pid), time.monotonic()
            time.sleep(CPU_SECONDS)
            cpu = 100 * (cpu_seconds(proc.pid) - c0) / (time.monotonic() - w0)
            own = pss_mib(descendants(proc.pid))
            growth = pss_mib([x.proc.pid]) - x_before
        finally:
            stop(x, proc)
        return covered - t0, picture - t0, cpu, own, growth
    finally:
        x.close()


def stop_saver(x, proc):
    x.xdotool("key", "space")
    try:
        proc.wait(xharness.DEADLINE)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def stop_hack(_, proc):
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def main():
    build = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    install_peers()
    x11_figures.use(build)
    load_before = x11_figures.load_average()
    tmp = tempfile.mkdtemp(prefix="scrwarpvue-peers-")
    rows = []
    try:
        probe = x11_figures.build_probe(tmp)
        desktop = x11_figures.Desktop(*SIZE)
        programs = [("scrwarpvue /s", [os.path.join(build, "scrwarpvue"), "/s"], stop_saver)]
        programs += [("%s -root" % p, [os.path.join(HACKS, p), "-root"], stop_hack) for p in PEERS]
        for name, argv, stop in programs:
            try:
                rows.append((name, measure(desktop, probe, name, argv, stop)))
            except RuntimeError as e:
                rows.append((name, str(e)))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    frame = x11_figures.frame_mib(*SIZE)
    print("| Program (%dx%d) | exec -> covered | exec -> picture | CPU over %.0f s | memory: PSS + X server's "
          "growth (two frames + 8 MiB = %.1f MiB) |" % (*SIZE, CPU_SECONDS, 2 * frame + 8))
    print("|---|---|---|---|---|")
    for name, r in rows:
        if isinstance(r, str):
            print("| `%s` | %s | | | |" % (name, r))
        else:
            covered, picture, cpu, own, growth = r
            print("| `%s` | %.0f ms | %.0f ms | %.1f %% | %.1f + %.1f = %.1f MiB |"
                  % (name, covered, picture, cpu, own, growth, own + growth))
    print()
    print("Load average before: %s; after: %s." % (load_before, x11_figures.load_average()))


if __name__ == "__main__":
    main()
