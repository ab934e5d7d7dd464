"""Shared harness for the tests that drive the real program on a private headless sway.

Sway will not run as root, so as root (as CI runs the tests) everything Wayland runs as an unprivileged
account of its own, made when it is missing. Every test gets its own sway (headless backend, software
renderer, no input devices, no Xwayland) with a runtime directory and a home of its own, the desktop
picture as wallpaper (swaybg, stretched at the output's own size: pixel-exact), screenshots read with
grim, keys typed with wtype and a pointer driven through the virtual-pointer test client. Nothing waits
for a fixed time: every wait polls for the expected screen or process state with a generous deadline.

The programs come from the environment that CTest sets: SCRWARPVUE_BIN and VPOINTER_BIN.
"""

import contextlib
import json
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "x11"))

import xharness  # noqa: E402
from xharness import DEADLINE, describe_difference, test_pattern, wait_for  # noqa: E402,F401

SCRWARPVUE = os.environ.get("SCRWARPVUE_BIN", "")
VPOINTER = os.environ.get("VPOINTER_BIN", "")
ACCOUNT = "scrwarpvue-wl"  # the account sway and its clients run as when the tests run as root
SKIP = 77  # what a test script exits with when sway is not installed (CTest's SKIP_RETURN_CODE)


def skip_without_sway():
    missing = [tool for tool in ("sway", "swaymsg", "swaybg", "grim", "wtype") if not shutil.which(tool)]
    if missing:
        print("skipped: %s not installed" % ", ".join(missing))
        sys.exit(SKIP)


def account():
    """(uid, gid) for sway and its clients: the unprivileged test account as root, else the caller."""
    if os.geteuid() != 0:
        return os.getuid(), os.getgid()
    # Another suite may make it at the same moment: whoever makes it, it is looked up afterwards.
    subprocess.run(["useradd", "--system", "--user-group", "--no-create-home", "--home-dir", "/nonexistent",
                    "--shell", "/usr/sbin/nologin", ACCOUNT], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    entry = pwd.getpwnam(ACCOUNT)
    return entry.pw_uid, entry.pw_gid


def rgb_bytes(pixels):
    """0x00RRGGBB ints as packed RGB bytes, the form of a PPM's pixels."""
    data = bytearray(len(pixels) * 3)
    data[0::3] = bytes((p >> 16) & 255 for p in pixels)
    data[1::3] = bytes((p >> 8) & 255 for p in pixels)
    data[2::3] = bytes(p & 255 for p in pixels)
    return bytes(data)


def parse_ppm(data):
    """(width, height, RGB bytes) of a PPM as grim writes it: "P6\nW H\n255\n" and the pixels."""
    magic, size, depth, rgb = data.split(b"\n", 3)
    if (magic, depth) != (b"P6", b"255"):
        raise ValueError("not a PPM of 8-bit samples")
    w, h = map(int, size.split())
    return w, h, rgb


def pixels_of(rgb):
    return [rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2] for i in range(0, len(rgb), 3)]


class Sway:
    """A private headless sway with one output of the given size showing `desktop` (0x00RRGGBB pixels,
    or their RGB bytes) as its wallpaper."""

    def __init__(self, width, height, desktop):
        self.uid, self.gid = account()
        self.width, self.height = width, height
        self.tmp = tempfile.mkdtemp(prefix="scrwarpvue-wayland-")
        self.proc = None
        try:
            self._start(desktop)
        except BaseException:
            self.close()
            raise

    def _start(self, desktop):
        os.chmod(self.tmp, 0o755)  # the account reads the programs, the pictures and the configuration here
        self.runtime = self.private_dir("run")
        self.home = self.private_dir("home")
        self.config = self.private_dir("home/config")
        self.bin = os.path.join(self.tmp, "bin")
        os.mkdir(self.bin, 0o755)
        # The build tree may be closed to the account. The program loads its dialog from a module beside it.
        module = os.path.join(os.path.dirname(SCRWARPVUE), "scrwarpvue-dialog.so")
        for program in (SCRWARPVUE, VPOINTER, module):
            if program and os.path.exists(program):
                shutil.copy(program, self.bin)
        self.desktop_rgb = bytes(desktop) if isinstance(desktop, (bytes, bytearray)) else rgb_bytes(desktop)
        self.wallpapers = {}
        wallpaper = self.write_picture("desktop", self.width, self.height, self.desktop_rgb)
        conf = os.path.join(self.tmp, "sway.conf")
        with open(conf, "w") as f:
            f.write("xwayland disable\n")
            f.write("output * mode %dx%d\n" % (self.width, self.height))
            f.write("output HEADLESS-1 position 0 0 bg %s stretch\n" % wallpaper)
        os.chmod(conf, 0o644)
        self.base_env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_HOME": self.config,
            "LANG": "C.UTF-8",
        }
        self.log = open(os.path.join(self.tmp, "sway.log"), "wb")
        self.proc = subprocess.Popen(
            self.as_account(["sway", "-c", conf]), stdout=self.log, stderr=subprocess.STDOUT,
            env=dict(self.base_env, WLR_BACKENDS="headless", WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1"),
            start_new_session=True)  # its own process group: swaybg goes with it
        self.display = wait_for(self._socket, "sway's Wayland socket")
        self.env = dict(self.base_env, WAYLAND_DISPLAY=self.display,
                        SWAYSOCK=wait_for(self._ipc_socket, "sway's IPC socket"))
        # A keyboard on the seat for the whole session, as a real one is: each wtype adds a keyboard of
        # its own only while it runs, and a client hears keys only from keyboards there before them.
        self.keyboard = subprocess.Popen(self.as_account(["wtype", "-s", "2000000"]), env=self.env)
        wait_for(lambda: self.query("get_seats")[0]["capabilities"] & 2, "the keyboard on the seat")
        self.wallpapers["HEADLESS-1"] = self.desktop_rgb
        self.wait_for_screen(self.desktop_rgb, "the wallpaper")

    def private_dir(self, name):
        path = os.path.join(self.tmp, name)
        os.mkdir(path, 0o700)
        os.chown(path, self.uid, self.gid)
        return path

    def write_picture(self, name, w, h, rgb):
        path = os.path.join(self.tmp, name + ".ppm")
        with open(path, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (w, h))
            f.write(rgb)
        os.chmod(path, 0o644)
        return path

    def _socket(self):
        if self.proc.poll() is not None:
            raise AssertionError("sway ended at start (exit code %d): %s" % (self.proc.returncode, self.sway_log()))
        names = [n for n in os.listdir(self.runtime) if n.startswith("wayland-") and not n.endswith(".lock")]
        return names[0] if names else None

    def _ipc_socket(self):
        names = [n for n in os.listdir(self.runtime) if n.startswith("sway-ipc.")]
        return os.path.join(self.runtime, names[0]) if names else None

    def sway_log(self):
        with open(os.path.join(self.tmp, "sway.log"), "rb") as f:
            return f.read()[-2000:].decode(errors="replace")

    def as_account(self, argv):
        """argv run as the account; as root, also ended with the test should the test itself be killed."""
        if os.geteuid() != 0:
            return list(argv)
        return ["setpriv", "--reuid=%d" % self.uid, "--regid=%d" % self.gid, "--clear-groups", "--pdeathsig=TERM",
                *argv]

    def close(self):
        if getattr(self, "keyboard", None):
            self.keyboard.kill()
            self.keyboard.wait()
        if self.proc:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(self.proc.pid, signal.SIGTERM)
            with contextlib.suppress(subprocess.TimeoutExpired):
                self.proc.wait(10)
            with contextlib.suppress(ProcessLookupError):  # what sway started may outlive it a moment
                os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()
            self.log.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    # -- the compositor's side ------------------------------------------------------------------------

    def run(self, *argv, env=None, **kw):
        return subprocess.run(self.as_account(argv), env=env or self.env, check=True, timeout=DEADLINE, **kw)

    def swaymsg(self, *args):
        return self.run("swaymsg", *args, stdout=subprocess.PIPE, text=True).stdout

    def query(self, kind):
        """swaymsg -t KIND, parsed: get_outputs, get_tree, get_seats."""
        return json.loads(self.swaymsg("-t", kind))

    def add_output(self, pixels):
        """Adds a headless output of the same size right of the others, showing `pixels` as its
        wallpaper; returns its name once the screen shows them."""
        before = {o["name"] for o in self.query("get_outputs")}
        self.swaymsg("create_output")
        name = wait_for(lambda: ({o["name"] for o in self.query("get_outputs")} - before or {None}).pop(),
                        "the new output")
        self.wallpapers[name] = rgb_bytes(pixels)
        path = self.write_picture(name, self.width, self.height, self.wallpapers[name])
        self.swaymsg("output", name, "bg", path, "stretch")
        self.wait_for_screen(self.wallpapers[name], "the new output's wallpaper", output=name)
        return name

    def screenshot(self, output="HEADLESS-1"):
        """The output's pixels as RGB bytes (physical pixels: at scale 2, twice the logical size)."""
        out = self.run("grim", "-t", "ppm", "-o", output, "-", stdout=subprocess.PIPE).stdout
        return parse_ppm(out)[2]

    def wait_for_screen(self, want, what, output="HEADLESS-1", timeout=DEADLINE, accept=None):
        """Polls screenshots until the output shows `want` (RGB bytes, or 0x00RRGGBB ints), or until
        `accept(rgb)` holds. Returns the last screenshot."""
        if isinstance(want, list):
            want = rgb_bytes(want)
        last = [None]

        def check():
            last[0] = self.screenshot(output)
            return accept(last[0]) if accept else last[0] == want

        try:
            wait_for(check, what, timeout)
        except AssertionError as e:
            detail = ""
            if want and last[0] and len(want) == len(last[0]):
                detail = self.difference(last[0], want)
            raise AssertionError("%s on %s\n%s" % (e, output, detail)) from None
        return last[0]

    def difference(self, got, want):
        return describe_difference(self.width, self.height, pixels_of(got), pixels_of(want))

    def key(self, name):
        self.run("wtype", "-k", name)

    def pointer(self):
        return Pointer(self)

    # -- the program ----------------------------------------------------------------------------------

    def write_profile(self, **keys):
        path = os.path.join(self.config, "SCRWARPVUE.ini")
        with open(path, "w") as f:
            f.write("[SCRWARPVUE_SECTION]\n")
            for key, value in keys.items():
                f.write("%s=%s\n" % (key, value))
        os.chown(path, self.uid, self.gid)

    def read_profile(self):
        with open(os.path.join(self.config, "SCRWARPVUE.ini")) as f:
            return f.read()

    def start(self, *args, env=None):
        return Program(self, args or ("/s",), env)


class Program(xharness.RunningProgram):
    """The program running on the sway as the account; its output is collected. As a context manager,
    it is killed at the end of the block if it still runs."""

    def __init__(self, sway, args, env=None):
        self.out = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(sway.as_account([os.path.join(sway.bin, "scrwarpvue"), *args]),
                                     env=env or sway.env, stdout=self.out, stderr=subprocess.STDOUT)


class Pointer:
    """A pointer device on the seat for as long as it is open (the virtual-pointer test client). Each
    command returns once sway has handled it."""

    def __init__(self, sway):
        self.proc = subprocess.Popen(sway.as_account([os.path.join(sway.bin, "vpointer")]), env=sway.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.expect("ready")

    def expect(self, word):
        line = self.proc.stdout.readline().strip()
        if line != word:
            raise AssertionError("the pointer client answered %r, not %r" % (line, word))

    def send(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        self.expect("ok")

    def move_to(self, x, y, layout_w, layout_h):
        self.send("abs %d %d %d %d" % (x, y, layout_w, layout_h))

    def move_by(self, dx, dy):
        self.send("rel %d %d" % (dx, dy))

    def click(self, button):
        self.send("click %d" % button)

    def close(self):
        """Disconnects: the seat has no pointer any more, and sway draws no cursor."""
        if self.proc.poll() is None:
            self.proc.stdin.close()
            try:
                self.proc.wait(DEADLINE)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()


class SwayTestCase(xharness.ProgramAssertions, unittest.TestCase):
    """A test with one private sway (SCREEN sized) showing the test pattern as its wallpaper."""

    SCREEN = (320, 240)

    def setUp(self):
        if not SCRWARPVUE or not VPOINTER:
            self.fail("SCRWARPVUE_BIN and VPOINTER_BIN must name the program and the pointer client")
        self.w, self.h = self.SCREEN
        self.pattern = test_pattern(self.w, self.h)
        self.sway = Sway(self.w, self.h, self.pattern)
        self.addCleanup(self.sway.close)
        self.closers = []
        self.addCleanup(lambda: [c.close() for c in reversed(self.closers)])

    def start(self, *args, env=None):
        program = self.sway.start(*args, env=env)
        self.closers.append(program)
        return program

    def pointer(self):
        pointer = self.sway.pointer()
        self.closers.append(pointer)
        return pointer



def main():
    skip_without_sway()
    unittest.main(verbosity=2)
