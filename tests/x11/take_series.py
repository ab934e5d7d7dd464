#!/usr/bin/env python3
"""Screenshot series of the robot dropping in (type 4) and the fire catching (type 7), for the
documentation.

    python3 tests/x11/take_series.py BUILD_DIR OUT_DIR

Writes OUT_DIR/robot-landing.png and OUT_DIR/fire-catching.png. Screenshots are taken one after the
other from the moment the saver starts; each series keeps the frames in which the screen changed, a
few of them spread over the time it covers, laid out two rows high with the moment under each frame.
"""

import os
import subprocess
import sys
import time

import sample_desktop
import xharness

W, H = 640, 480
SERIES = {
    # type: (file, seconds to watch, frames to keep, crop as WxH+X+Y)
    4: ("robot-landing.png", 30.0, 10, "640x160+0+0"),
    7: ("fire-catching.png", 2.5, 8, "360x400+140+40"),
}


def main():
    build, out = sys.argv[1], sys.argv[2]
    font = subprocess.run(["fc-match", "-f", "%{file}", "sans"], stdout=subprocess.PIPE, text=True).stdout
    os.makedirs(out, exist_ok=True)
    x, _ = sample_desktop.server_with_sample_desktop(build, W, H)
    try:
        for kind, (name, seconds, keep, crop) in SERIES.items():
            x.write_profile(DispType=kind, DispRobo=1, EternalFire=1)
            saver = x.start_saver()
            start = time.monotonic()
            shots = []  # (seconds, xwd bytes) whenever the screen changed
            while time.monotonic() - start < seconds:
                data = sample_desktop.grab(x)
                if not shots or data != shots[-1][1]:
                    shots.append((time.monotonic() - start, data))
            picked = [shots[round(i * (len(shots) - 1) / (keep - 1))] for i in range(keep)] if len(shots) > keep else shots
            frames = []
            for i, (t, data) in enumerate(picked):
                frame = os.path.join(x.tmp, "frame-%d-%d.png" % (kind, i))
                subprocess.run(["convert", "xwd:-", "-crop", crop, "+repage", "-gravity", "south", "-background",
                                "white", "-splice", "0x18", "-font", font, "-annotate", "+0+2", "%.2f s" % t,
                                "-bordercolor", "white", "-border", "3", frame], input=data, check=True)
                frames.append(frame)
            half = (len(frames) + 1) // 2
            rows = []
            for r, part in enumerate((frames[:half], frames[half:])):
                if part:
                    row = os.path.join(x.tmp, "row-%d-%d.png" % (kind, r))
                    subprocess.run(["convert", *part, "+append", row], check=True)
                    rows.append(row)
            path = os.path.join(out, name)
            subprocess.run(["convert", *rows, "-background", "white", "-append", path], check=True)
            print(path)
            saver.dismiss()
    finally:
        x.close()


if __name__ == "__main__":
    main()
