"""A desktop-like sample picture, drawn from scratch: a gradient background, icons down the left, a few
windows with title bars and lines of "text", and a task bar. Used for screenshots, scripts/run and the
figures; the tests use a plainer pattern in which every pixel differs.

    python3 sample_desktop.py WIDTH HEIGHT OUT.ppm
"""

import os
import random
import subprocess
import sys


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.rgb = bytearray(w * h * 3)

    def fill(self, x, y, w, h, colour):
        x0, y0 = max(x, 0), max(y, 0)
        x1, y1 = min(x + w, self.w), min(y + h, self.h)
        if x0 >= x1 or y0 >= y1:
            return
        run = bytes(colour) * (x1 - x0)
        for row in range(y0, y1):
            start = (row * self.w + x0) * 3
            self.rgb[start:start + len(run)] = run

    def gradient(self, top, bottom):
        for row in range(self.h):
            t = row / max(self.h - 1, 1)
            c = tuple(int(a + (b - a) * t) for a, b in zip(top, bottom))
            self.fill(0, row, self.w, 1, c)
        # A soft diagonal light band across the background.
        for row in range(self.h):
            for k in range(0, self.w // 3, 4):
                x = (row * 2 // 3 + self.w // 3 + k) % (self.w + self.h)
                if x < self.w:
                    i = (row * self.w + x) * 3
                    for j in range(3):
                        self.rgb[i + j] = min(255, self.rgb[i + j] + 10)

    def save(self, path):
        with open(path, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (self.w, self.h))
            f.write(self.rgb)


def text_lines(c, rnd, x, y, w, h, colour, line=14):
    for ty in range(y, y + h - line, line):
        tx = x
        end = x + int(w * rnd.uniform(0.55, 1.0))
        while tx < end:
            word = rnd.randint(12, 60)
            c.fill(tx, ty + 3, min(word, end - tx), 6, colour)
            tx += word + 7


def window(c, rnd, x, y, w, h, title_colour, body=(246, 246, 242), ink=(60, 64, 80)):
    c.fill(x + 6, y + 6, w, h, (20, 24, 40))  # shadow
    c.fill(x, y, w, h, (90, 96, 110))  # frame
    c.fill(x + 1, y + 1, w - 2, 26, title_colour)  # title bar
    c.fill(x + 10, y + 10, min(w // 3, 160), 8, (250, 250, 250))  # title "text"
    for i, colour in enumerate(((236, 95, 86), (245, 190, 70), (98, 196, 98))):
        c.fill(x + w - 24 - 22 * i, y + 7, 14, 14, colour)  # buttons
    c.fill(x + 1, y + 27, w - 2, h - 28, body)
    text_lines(c, rnd, x + 14, y + 40, w - 28, h - 50, ink)


def icon(c, x, y, colour, label_width):
    c.fill(x + 8, y, 40, 40, (250, 250, 250))
    c.fill(x + 12, y + 4, 32, 32, colour)
    c.fill(x + 20, y + 12, 16, 16, (250, 250, 250))
    c.fill(x + 28 - label_width // 2, y + 46, label_width, 6, (235, 240, 250))


def draw(w, h, seed=7):
    rnd = random.Random(seed)
    c = Canvas(w, h)
    c.gradient((38, 92, 150), (122, 62, 128))
    colours = [(70, 150, 230), (240, 170, 60), (100, 200, 120), (220, 90, 110), (150, 110, 220)]
    for i in range(min(6, (h - 80) // 80)):
        icon(c, 20, 24 + 80 * i, colours[i % len(colours)], rnd.randint(30, 50))
    window(c, rnd, w * 18 // 100, h * 10 // 100, w * 45 // 100, h * 50 // 100, (52, 101, 164))
    window(c, rnd, w * 50 // 100, h * 30 // 100, w * 40 // 100, h * 45 // 100, (46, 140, 90))
    window(c, rnd, w * 30 // 100, h * 58 // 100, w * 28 // 100, h * 28 // 100, (160, 70, 60),
           body=(30, 32, 38), ink=(120, 200, 130))
    # Task bar with a start button, a few open windows and a clock.
    c.fill(0, h - 36, w, 36, (28, 30, 40))
    c.fill(6, h - 30, 60, 24, (70, 150, 230))
    for i in range(3):
        c.fill(80 + 150 * i, h - 30, 140, 24, (58, 62, 78))
        c.fill(90 + 150 * i, h - 21, 90, 6, (200, 204, 214))
    c.fill(w - 70, h - 22, 54, 8, (220, 224, 234))
    return c


if __name__ == "__main__":
    width, height, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    draw(width, height).save(out)


def server_with_sample_desktop(build, w, h):
    """A private X server showing the sample desktop, for the programs of `build`. Returns the server
    and the path of the desktop picture (a PPM)."""
    import xharness

    xharness.SCRWARPVUE = os.path.join(build, "scrwarpvue")
    xharness.XDESK = os.path.join(build, "tests", "x11", "xdesk")
    x = xharness.XServer(w, h)
    desktop = os.path.join(x.tmp, "desktop.ppm")
    draw(w, h).save(desktop)
    x.run(xharness.XDESK, "root", desktop)
    return x, desktop


def grab(x):
    """The whole screen of server `x` as xwd's bytes, for pictures kept as files."""
    return subprocess.run(["xwd", "-root", "-silent"], env=x.env, stdout=subprocess.PIPE, check=True).stdout
