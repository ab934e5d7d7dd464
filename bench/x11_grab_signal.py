#!/usr/bin/env python3
"""How soon the saver ends on SIGTERM while it waits for another client's grab to go: ten runs on a
private Xvfb, with `xdesk hold` holding the keyboard and the pointer; prints the median and the slowest,
in milliseconds, from the signal to the exit.

    python3 bench/x11_grab_signal.py [BUILD_DIR]      (default: build)
    python3 tests/x11/private_locks.py bench/x11_grab_signal.py [BUILD_DIR]   (beside other copies)
"""

import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "x11"))
import xharness  # noqa: E402

build = sys.argv[1] if len(sys.argv) > 1 else "build"
program, helper = os.path.join(build, "scrwarpvue"), os.path.join(build, "tests", "x11", "xdesk")
x = xharness.XServer(320, 240)
try:
    holder = subprocess.Popen([helper, "hold"], env=x.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    holder.stdout.readline()
    times = []
    for _ in range(10):
        saver = subprocess.Popen([program, "/s"], env=x.env, stderr=subprocess.DEVNULL)
        xharness.wait_for(lambda: subprocess.run(["xwininfo", "-name", "SCRWARPVUE"], env=x.env,
                                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0,
                          "the saver waiting for the grabs")
        start = time.monotonic()
        saver.send_signal(signal.SIGTERM)
        code = saver.wait()
        times.append((time.monotonic() - start) * 1000)
        assert code == 0, code
    times.sort()
    print("SIGTERM while the grabs are retried, to the exit: median %.1f ms, slowest %.1f ms" % (times[5], times[-1]))
    holder.stdin.close()
    holder.wait()
finally:
    x.close()
