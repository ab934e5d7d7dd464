"""Shared harness for the tests that drive the real program on a private X server.

Every test gets its own Xvfb (display chosen by -displayfd), its own configuration directory, a desktop picture on the root window, screenshots read with xwd, and input sent with
xdotool. Nothing waits for a fixed time: every wait polls for the expected screen or process state
with a generous deadline.

The program and the helper come from the environment that CTest sets: SCRWARPVUE_BIN and XDESK_BIN.
"""

import array
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

DEADLINE = 30.0  # seconds for anything to happen on a busy, shared machine

SCRWARPVUE = os.environ.get("SCRWARPVUE_BIN", "")
XDESK = os.environ.get("XDESK_BIN", "")


def wait_for(predicate, what, timeout=DEADLINE, interval=0.02):
    """Polls predicate until it returns something true; fails the test with `what` at the deadline."""
    end = time.monotonic() + timeout
    last = None
    while True:
        last = predicate()
        if last:
            return last
        if time.monotonic() > end:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)
        interval = min(interval * 1.5, 0.25)


# ---------------------------------------------------------------------------------------------------
# Pictures: lists of 0x00RRGGBB ints, row after row.


def test_pattern(w, h):
    """A desktop in which every pixel differs from every other (for w, h up to 4096)."""
    return [((y >> 4) << 16) | (((y & 15) << 4 | (x >> 8)) << 8) | (x & 255) for y in range(h) for x in range(w)]


def write_ppm(path, w, h, pixels):
    data = bytearray(w * h * 3)
    data[0::3] = bytes((p >> 16) & 255 for p in pixels)
    data[1::3] = bytes((p >> 8) & 255 for p in pixels)
    data[2::3] = bytes(p & 255 for p in pixels)
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (w, h))
        f.write(data)


def parse_xwd(data):
    """(width, height, pixels) of an XWD dump. Pixels of a 32-bit screen are 0x00RRGGBB; those of a
    16-bit screen are the server's own pixel values; those of an 8-bit colormapped screen are the
    colours of their cells, as 0x00RRGGBB."""

    def card32(i):
        return int.from_bytes(data[4 * i:4 * i + 4], "big")

    header_size, version = card32(0), card32(1)
    if version != 7:
        raise ValueError("not an XWD version 7 dump")
    width, height = card32(4), card32(5)
    byte_order, bits_per_pixel, bytes_per_line = card32(7), card32(11), card32(12)
    masks = card32(14), card32(15), card32(16)
    ncolors = card32(19)
    offset = header_size + 12 * ncolors
    if bits_per_pixel == 8:
        cells = {}
        for i in range(ncolors):
            entry = data[header_size + 12 * i:header_size + 12 * (i + 1)]
            pixel = int.from_bytes(entry[0:4], "big")
            red, green, blue = (int.from_bytes(entry[k:k + 2], "big") >> 8 for k in (4, 6, 8))
            cells[pixel] = red << 16 | green << 8 | blue
        rows = data[offset:offset + bytes_per_line * height]
        return width, height, [cells.get(rows[y * bytes_per_line + x], 0) for y in range(height)
                               for x in range(width)]
    if bits_per_pixel == 24:
        # What xwd writes when windows of other visuals are on the screen (xscreensaver's, at times).
        used = masks[0] | masks[1] | masks[2]
        rows = data[offset:offset + bytes_per_line * height]
        order = "little" if byte_order == 0 else "big"
        return width, height, [int.from_bytes(rows[y * bytes_per_line + 3 * x:y * bytes_per_line + 3 * x + 3], order)
                               & used for y in range(height) for x in range(width)]
    if bits_per_pixel not in (16, 32):
        raise ValueError("expected 8, 16 or 32 bits per pixel, got %d" % bits_per_pixel)
    if bits_per_pixel == 32 and masks != (0xFF0000, 0xFF00, 0xFF):
        raise ValueError("unexpected visual masks %r" % (masks,))
    raw = array.array("I" if bits_per_pixel == 32 else "H")
    raw.frombytes(bytes(data[offset:offset + bytes_per_line * height]))
    if (byte_order == 0) != (sys.byteorder == "little"):
        raw.byteswap()
    stride = bytes_per_line // raw.itemsize
    used = masks[0] | masks[1] | masks[2]
    if stride == width:
        return width, height, [p & used for p in raw]
    return width, height, [raw[y * stride + x] & used for y in range(height) for x in range(width)]


def describe_difference(w, h, got, want, limit=5):
    """A short account of where two pictures differ."""
    bad = [i for i in range(w * h) if got[i] != want[i]]
    if not bad:
        return "pictures are equal"
    lines = ["%d of %d pixels differ" % (len(bad), w * h)]
    for i in bad[:limit]:
        lines.append("  (%d,%d): got %06x, want %06x" % (i % w, i // w, got[i], want[i]))
    return "\n".join(lines)


# ---------------------------------------------------------------------------------------------------
# The X server and the program.


class XServer:
    """A private Xvfb with its own configuration directory. (The program's lock is the user's one lock
    whatever the environment says, so the suites take turns: CTest runs them under one resource lock.)"""

    def __init__(self, width=320, height=240, depth=24, extra_args=()):
        self.width, self.height = width, height
        self.tmp = tempfile.mkdtemp(prefix="scrwarpvue-x11-")
        self.config = os.path.join(self.tmp, "config")
        self.runtime = os.path.join(self.tmp, "run")
        os.mkdir(self.config, 0o700)
        os.mkdir(self.runtime, 0o700)
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx%d" % (width, height, depth),
             "-nolisten", "tcp", "-noreset", *extra_args],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as f:
            while not number.endswith(b"\n"):
                chunk = f.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.proc.kill()
            raise RuntimeError("Xvfb did not report a display")
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ)
        for key in ("WAYLAND_DISPLAY", "XAUTHORITY"):
            self.env.pop(key, None)
        self.env.update(DISPLAY=self.display, XDG_CONFIG_HOME=self.config, XDG_RUNTIME_DIR=self.runtime,
                        HOME=self.tmp)
        self.desktop = None
        self.depth = depth

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def alive(self):
        return self.proc.poll() is None

    def run(self, *argv, **kw):
        return subprocess.run(list(argv), env=self.env, check=True, timeout=DEADLINE, **kw)

    def set_desktop(self, pixels):
        """Puts the picture on the root window and waits until the screen shows it. Returns the screen
        as read back (on a 16-bit screen: the server's pixel values)."""
        path = os.path.join(self.tmp, "desktop.ppm")
        write_ppm(path, self.width, self.height, pixels)
        self.run(XDESK, "root", path)
        self.desktop = list(pixels)
        if self.depth != 24:
            return self.screenshot()  # the helper waited until the server took the picture
        return self.wait_for_screen(self.desktop, "the desktop picture")

    def screenshot(self):
        # xwd gives up with BadWindow when a window goes away while it walks the tree (a program under
        # test closing, Wine replacing a window): such a dump is taken again.
        for attempt in range(5):
            run = subprocess.run(["xwd", "-root", "-silent"], env=self.env, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, timeout=DEADLINE)
            if run.returncode == 0 or attempt == 4:
                break
            time.sleep(0.1)
        run.check_returncode()
        out = run.stdout
        w, h, pixels = parse_xwd(out)
        assert (w, h) == (self.width, self.height), (w, h)
        return pixels

    def wait_for_screen(self, want, what, timeout=DEADLINE, accept=None):
        """Polls screenshots until the screen equals `want` (or `accept(pixels)` holds)."""
        last = [None]

        def check():
            last[0] = self.screenshot()
            return accept(last[0]) if accept else last[0] == want

        try:
            wait_for(check, what, timeout)
        except AssertionError as e:
            detail = describe_difference(self.width, self.height, last[0], want) if want and last[0] else ""
            raise AssertionError("%s\n%s" % (e, detail)) from None
        return last[0]

    def xdotool(self, *args):
        self.run("xdotool", *[str(a) for a in args])

    def pointer(self):
        out = subprocess.run(["xdotool", "getmouselocation", "--shell"], env=self.env, stdout=subprocess.PIPE,
                             check=True, text=True, timeout=DEADLINE).stdout
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"])

    def xdesk(self, *args):
        """The helper's answer to a question about the server (xdesk grabs, xdesk top), as lines."""
        return subprocess.run([XDESK, *args], env=self.env, stdout=subprocess.PIPE, text=True, check=True,
                              timeout=DEADLINE).stdout.split("\n")[:-1]

    def write_profile(self, **keys):
        with open(os.path.join(self.config, "SCRWARPVUE.ini"), "w") as f:
            f.write("[SCRWARPVUE_SECTION]\n")
            for key, value in keys.items():
                f.write("%s=%s\n" % (key, value))

    def read_profile(self):
        try:
            with open(os.path.join(self.config, "SCRWARPVUE.ini")) as f:
                return f.read()
        except FileNotFoundError:
            return None

    def start_saver(self, *args):
        return Saver(self, args or ("/s",))

    def cover(self, x, y, w, h):
        return Cover(self, x, y, w, h)

    def wait_for_saver_on_top(self, picture, what):
        """Waits until the saver's window is the topmost one again and the screen shows `picture`: proof
        that a running saver raised itself over what came later and repainted what that hid."""
        wait_for(lambda: self.xdesk("top") == ["SCRWARPVUE"], "the saver on top after %s" % what)
        self.wait_for_screen(picture, "the saver's picture after %s" % what)


class RunningProgram:
    """A started program (proc) whose output goes to a temporary file (out), on any display."""

    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=DEADLINE):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program is still running after %.0f s" % timeout) from None

    def output(self):
        self.out.seek(0)
        return self.out.read().decode(errors="replace")

    def close(self):
        if self.running():
            self.proc.kill()
            self.proc.wait()
        self.out.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Saver(RunningProgram):
    """The program running on the server; its output is collected."""

    def __init__(self, server, args, env=None):
        self.server = server
        self.out = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([SCRWARPVUE, *args], env=env or server.env, stdout=self.out,
                                     stderr=subprocess.STDOUT)

    def dismiss(self, key="space"):
        """Ends the saver with a key press and waits for it to exit."""
        self.server.xdotool("key", key)
        self.wait_exit()
        self.close()


class Cover:
    """A white override-redirect window over part of the screen, until closed."""

    def __init__(self, server, x, y, w, h):
        self.proc = subprocess.Popen([XDESK, "cover", str(x), str(y), str(w), str(h)], env=server.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        line = self.proc.stdout.readline()
        if line.strip() != "mapped":
            raise AssertionError("the cover window did not map")

    def close(self):
        self.proc.stdin.close()
        self.proc.wait(DEADLINE)
        self.proc.stdout.close()


class ProgramAssertions:
    """What a test asks of a running program (one with wait_exit, output, running and proc), on any display."""

    def assert_quiet_exit(self, program, what):
        code = program.wait_exit()
        self.assertEqual(code, 0, "%s: exit code %d, output %r" % (what, code, program.output()))
        self.assertEqual(program.output(), "", "%s: the program printed something" % what)

    def assert_still_running(self, program, what):
        self.assertTrue(program.running(), "%s ended the program (exit code %r)" % (what, program.proc.returncode))


class SaverTestCase(ProgramAssertions, unittest.TestCase):
    """A test with one private X server (SCREEN sized) showing the test pattern as its desktop."""

    SCREEN = (320, 240)
    DEPTH = 24
    XVFB_ARGS = ()

    def setUp(self):
        if not SCRWARPVUE or not XDESK:
            self.fail("SCRWARPVUE_BIN and XDESK_BIN must name the program and the helper")
        self.x = XServer(*self.SCREEN, depth=self.DEPTH, extra_args=self.XVFB_ARGS)
        self.addCleanup(self.x.close)
        self.w, self.h = self.SCREEN
        self.pattern = test_pattern(self.w, self.h)
        self.shown_desktop = self.x.set_desktop(self.pattern)
        self.savers = []
        self.addCleanup(lambda: [s.close() for s in self.savers])

    def start(self, *args):
        saver = self.x.start_saver(*args)
        self.savers.append(saver)
        return saver



def main():
    unittest.main(verbosity=2)
