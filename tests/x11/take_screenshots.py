#!/usr/bin/env python3
"""Screenshots of the eight monitor faults on X11 over the sample desktop, for the documentation.

    python3 tests/x11/take_screenshots.py BUILD_DIR OUT_DIR [WIDTH HEIGHT]

Writes OUT_DIR/fault-1.png ... fault-8.png (and desktop.png, the picture they start from). The robot
(type 4) and the fire (type 7) are given a few seconds to land and to burn.
"""

import os
import subprocess
import sys
import time

import sample_desktop
import xharness

SETTLE = {4: 12.0, 7: 3.0}  # seconds to let the robot land and the fire catch


def main():
    build, out = sys.argv[1], sys.argv[2]
    w, h = (int(sys.argv[3]), int(sys.argv[4])) if len(sys.argv) > 4 else (1024, 768)
    os.makedirs(out, exist_ok=True)
    x, desktop = sample_desktop.server_with_sample_desktop(build, w, h)
    try:
        subprocess.run(["convert", desktop, os.path.join(out, "desktop.png")], check=True)
        for kind in range(1, 9):
            x.write_profile(DispType=kind, DispRobo=1, EternalFire=1)
            saver = x.start_saver()
            before = x.screenshot()
            # The first tick has drawn once the screen stops being the desktop or the first black.
            xharness.wait_for(lambda: (s := x.screenshot()) != before and any(s), "the picture of type %d" % kind)
            time.sleep(SETTLE.get(kind, 0.5))
            path = os.path.join(out, "fault-%d.png" % kind)
            subprocess.run(["convert", "xwd:-", path], input=sample_desktop.grab(x), check=True)
            print(path)
            saver.dismiss()
    finally:
        x.close()


if __name__ == "__main__":
    main()
