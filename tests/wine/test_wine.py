"""The Windows program, SCRWARPVUE.scr, under Wine on a private X server, beside the Linux program on the
same desktop: the same system code against the real Win32 API shows the same pictures, keeps its
settings in the user's application data, opens its dialog from the same resource script, and is one file
that needs nothing but system DLLs.

One Wine prefix serves every test in this file (booted once, with the Debian CJK font standing in for the
Japanese face Windows links its shell dialog font to). When SCRWARPVUE_SHOTS names a folder, the dialog
and the warning are saved there as wine-dialog.png and wine-fire-warning.png."""

import atexit
import glob
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "x11"))
import xharness  # noqa: E402
from fault_pictures import expected as closed_form  # noqa: E402

SCR = os.environ.get("SCRWARPVUE_SCR", "")
SHOTS = os.environ.get("SCRWARPVUE_SHOTS", "")
BITMAPS = os.path.join(HERE, "..", "..", "resources", "bitmaps")
WINE_DEADLINE = 120.0  # Wine starts slowly on a busy machine
FAKETIME_LIB = next((p for p in glob.glob("/usr/lib/*/faketime/libfaketime.so.1")), "")
FROZEN = "2026-01-01 12:00:07.456"  # the instant both programs read: milliseconds 456, seconds 7
FROZEN_MS = 456
DIALOG = "スクリーンセーバー設定"

_prefix = {}


def boot_prefix(env):
    """The Wine prefix shared by every test, booted on the first call."""
    if not _prefix:
        root = tempfile.mkdtemp(prefix="scrwarpvue-wine-")
        atexit.register(shutil.rmtree, root, ignore_errors=True)
        env = dict(env, WINEPREFIX=os.path.join(root, "prefix"))
        quiet = dict(env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=WINE_DEADLINE * 2)
        subprocess.run(["wineboot", "-i"], check=True, **quiet)
        # Windows links its shell dialog font to "MS UI Gothic"; here Debian's Noto CJK plays that face.
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", "MS UI Gothic",
                        "/t", "REG_SZ", "/d", "Noto Sans CJK JP", "/f"], check=True, **quiet)
        subprocess.run(["wineserver", "-k"], **quiet)
        users = [d for d in glob.glob(os.path.join(env["WINEPREFIX"], "drive_c", "users", "*"))
                 if os.path.basename(d) != "Public"]
        assert len(users) == 1, users
        _prefix.update(path=env["WINEPREFIX"], appdata=os.path.join(users[0], "AppData", "Roaming"))
    return _prefix


def bitmap_size(name):
    with open(os.path.join(BITMAPS, name + ".bmp"), "rb") as f:
        return struct.unpack("<ii", f.read(26)[18:26])


class ImportsTest(unittest.TestCase):
    SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll", "msvcrt.dll",
                   "advapi32.dll"}

    def test_the_scr_imports_only_system_dlls(self):
        objdump = shutil.which("x86_64-w64-mingw32-objdump")
        self.assertTrue(SCR and objdump, "needs the Windows build and mingw-w64's objdump")
        out = subprocess.run([objdump, "-p", SCR], stdout=subprocess.PIPE, check=True, text=True).stdout
        dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", out)}
        self.assertIn("user32.dll", dlls)
        self.assertLessEqual(dlls, self.SYSTEM_DLLS, "runtimes must be linked in, not imported")


class WineTestCase(xharness.SaverTestCase):
    SCREEN = (1023, 767)

    def setUp(self):
        if not SCR or not os.path.exists(SCR):
            self.fail("SCRWARPVUE_SCR must name the Windows build (cmake --preset windows first)")
        super().setUp()
        # A user name outside the code page puts the profile on a path only the wide calls can reach.
        self.x.env.update(WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LANG="en_US.UTF-8", TZ="UTC",
                          USER="ユーザー")
        prefix = boot_prefix(self.x.env)
        self.x.env["WINEPREFIX"] = prefix["path"]
        self.folder = os.path.join(prefix["appdata"], "SCRWARPVUE")
        self.ini = os.path.join(self.folder, "SCRWARPVUE.ini")
        self.legacy = os.path.join(prefix["path"], "drive_c", "windows", "SCRWARPVUE.ini")
        shutil.rmtree(self.folder, ignore_errors=True)
        if os.path.exists(self.legacy):
            os.remove(self.legacy)
        # The server runs without the frozen clock, which then reaches the program alone.
        subprocess.run(["wineserver", "-p"], env=self.x.env, check=True, timeout=60)
        self.addCleanup(lambda: subprocess.run(["wineserver", "-k"], env=self.x.env, timeout=60,
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    def frozen(self, env):
        self.assertTrue(FAKETIME_LIB, "libfaketime is missing (scripts/setup installs it)")
        return dict(env, LD_PRELOAD=FAKETIME_LIB, FAKETIME=FROZEN, NO_FAKE_STAT="1",
                    FAKETIME_DONT_FAKE_MONOTONIC="1")

    def start_scr(self, *args, frozen=False):
        env = self.frozen(self.x.env) if frozen else self.x.env
        proc = subprocess.Popen(["wine", SCR, *args], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        return proc

    def start_linux(self, frozen=False):
        saver = xharness.Saver(self.x, ("/s",), env=self.frozen(self.x.env) if frozen else None)
        self.savers.append(saver)
        return saver

    def wait_exit(self, proc):
        try:
            return proc.wait(WINE_DEADLINE)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program is still running") from None

    def try_xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.x.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def press_until_exit(self, proc, key, what):
        """Wine may take a moment before a window takes keys: the key is repeated until the program ends."""
        xharness.wait_for(lambda: proc.poll() is not None or (self.try_xdotool("key", key) and False), what,
                          timeout=WINE_DEADLINE, interval=0.5)
        self.assertEqual(self.wait_exit(proc), 0)

    def window_named(self, name):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % name], env=self.x.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.split()
        return out[0] if out else None

    def geometry(self, window):
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=self.x.env,
                             stdout=subprocess.PIPE, check=True, text=True).stdout
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def save_shot(self, window, name):
        """Saves the window's picture once it is drawn: text on it, and the same on two dumps in a row."""
        if not SHOTS:
            return
        last = [None]

        def settled():
            dump = subprocess.run(["xwd", "-silent", "-id", window], env=self.x.env, stdout=subprocess.PIPE,
                                  check=True).stdout
            _, _, pixels = xharness.parse_xwd(dump)
            dark = sum(1 for p in pixels if (p >> 16) < 0x40 and (p >> 8 & 255) < 0x40 and (p & 255) < 0x40)
            done = dark > 200 and pixels == last[0]
            last[0] = pixels
            return dump if done else None

        dump = xharness.wait_for(settled, "%s drawn" % name, timeout=WINE_DEADLINE, interval=0.3)
        subprocess.run(["convert", "xwd:-", os.path.join(SHOTS, name)], input=dump, check=True)

    def write_ini(self, path, text):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(text.replace("\n", "\r\n").encode())

    def read_ini(self):
        with open(self.ini, "rb") as f:
            return f.read().decode().replace("\r\n", "\n")

    def screens_of(self, start, stop, enough, accept, what):
        """Starts a program and samples its screen until `enough(seen)`, then stops it. `seen` maps each
        distinct picture that `accept` takes to [order first seen, times it came back after another
        picture, the pixels]."""
        seen, last = {}, [None]
        running = start()

        def sample():
            pixels = self.x.screenshot()
            if accept(pixels):
                key = hashlib.sha1(struct.pack("%dI" % len(pixels), *pixels)).digest()
                if key not in seen:
                    seen[key] = [len(seen), 0, pixels]
                elif key != last[0]:
                    seen[key][1] += 1
                last[0] = key
            return enough(seen)

        xharness.wait_for(sample, what, timeout=WINE_DEADLINE)
        stop(running)
        self.x.wait_for_screen(self.pattern, "the desktop back after %s" % what)
        return seen


class ProfileAndDialog(WineTestCase):
    def run_saver_until(self, kind, what):
        proc = self.start_scr("/s")
        self.x.wait_for_screen(closed_form(kind, self.w, self.h, self.pattern), what, timeout=WINE_DEADLINE)
        self.press_until_exit(proc, "a", "the saver dismissed by a key")
        self.x.wait_for_screen(self.pattern, "the desktop back")

    def test_profile_per_user_with_the_old_file_carried_over_once(self):
        self.assertIn("ユーザー", self.ini)
        # A preview request starts nothing, and reads and writes nothing.
        self.assertEqual(self.wait_exit(self.start_scr("/p", "1234")), 0)
        self.assertFalse(os.path.exists(self.folder))
        # A first run makes the folder and the file, and leaves the Windows directory alone.
        self.run_saver_until(1, "the wiring fault with no profile")
        self.assertEqual(self.read_ini(), "[SCRWARPVUE_SECTION]\nEternalFire=0\n")
        self.assertFalse(os.path.exists(self.legacy))

        # An earlier version's file in the Windows directory is carried over when the user has none...
        shutil.rmtree(self.folder)
        old = "; kept by hand\n[SCRWARPVUE_SECTION]\nDispType=3\nDispRobo=0\nEternalFire=5\n"
        self.write_ini(self.legacy, old)
        before = os.stat(self.legacy).st_mtime_ns
        self.run_saver_until(3, "the power shortage from the carried-over profile")
        self.assertEqual(self.read_ini(), old)
        self.assertEqual(os.stat(self.legacy).st_mtime_ns, before)
        # ...once: later changes to the old file are not read, and it is never written.
        self.write_ini(self.legacy, old.replace("DispType=3", "DispType=8"))
        self.run_saver_until(3, "the power shortage again, from the per-user file")
        with open(self.legacy, "rb") as f:
            self.assertEqual(f.read().decode().replace("\r\n", "\n"), old.replace("DispType=3", "DispType=8"))

    def test_dialog_warns_before_overvoltage_and_stores_it_per_user(self):
        old = "[SCRWARPVUE_SECTION]\nDispType=2\nDispRobo=1\nEternalFire=5\n"
        self.write_ini(self.legacy, old)
        proc = self.start_scr("/c")
        dialog = xharness.wait_for(lambda: self.window_named(DIALOG), "the settings dialog", timeout=WINE_DEADLINE)
        self.save_shot(dialog, "wine-dialog.png")
        # The window is the dialog's client area: its size in dialog units gives the base units, and
        # the overvoltage button (37, 86, 106 x 9) and the confirm button (43, 144, 40 x 14) are clicked.
        width, height = self.geometry(dialog)

        def click(x, y, cx, cy):
            self.x.xdotool("mousemove", "--window", dialog, (x + cx // 2) * width // 188,
                           (y + cy // 2) * height // 169, "click", "1")

        click(37, 86, 106, 9)
        click(43, 144, 40, 14)
        warning = xharness.wait_for(lambda: self.window_named("SCRWARPVUE"), "the fire warning",
                                    timeout=WINE_DEADLINE)
        self.assertIsNone(proc.poll(), "the dialog waits for the warning to be closed")
        self.save_shot(warning, "wine-fire-warning.png")
        self.press_until_exit(proc, "Return", "the warning closed with Enter")
        self.assertEqual(self.read_ini(), old.replace("DispType=2", "DispType=7"))
        with open(self.legacy, "rb") as f:
            self.assertEqual(f.read().decode().replace("\r\n", "\n"), old)


class SameAsLinux(WineTestCase):
    """Both programs under one frozen clock on the same desktop at an odd size."""

    def run_both(self, profile, enough, accept, what):
        self.write_ini(self.ini, "[SCRWARPVUE_SECTION]\n" + "".join("%s=%s\n" % kv for kv in profile.items()))
        self.x.write_profile(**profile)
        windows = self.screens_of(lambda: self.start_scr("/s", frozen=True),
                                  lambda p: self.press_until_exit(p, "a", "the Windows saver dismissed"),
                                  enough, accept, "%s on Windows" % what)
        linux = self.screens_of(lambda: self.start_linux(frozen=True), lambda s: s.dismiss(), enough, accept,
                                "%s on Linux" % what)
        return windows, linux

    def scorch_rect(self):
        w, h = self.w, self.h
        left, top = w // 4, h // 4
        x = left + FROZEN_MS % (w - w // 4 - left) - 137
        y = top + FROZEN_MS % (h - h // 4 - top) - 158
        sw, sh = bitmap_size("XHONOO-BK1")
        return x, y, x + sw, y + sh

    def test_eight_faults_equal_on_both_programs_and_the_closed_form(self):
        for kind in range(1, 9):
            with self.subTest(display_type=kind):
                want = closed_form(kind, self.w, self.h, self.pattern)
                if kind != 7:
                    windows, linux = self.run_both({"DispType": kind, "DispRobo": 0}, lambda seen: seen,
                                                   lambda p: p == want, "display type %d" % kind)
                    self.assertEqual(list(windows), list(linux))
                    continue
                # The fire: outside the scorch the desktop as it is; inside, the three flame frames take
                # turns, each coming back again and again, and the Windows program shows those very
                # pictures (the ignition, shown once, is not among them).
                x0, y0, x1, y1 = self.scorch_rect()
                outside = [i for i in range(self.w * self.h)
                           if not (x0 <= i % self.w < x1 and y0 <= i // self.w < y1)]

                def burning(p):
                    return p != want and all(p[i] == want[i] for i in outside)

                def recurring(seen):
                    return {k for k, (_, returns, _) in seen.items() if returns >= 1}

                windows, linux = self.run_both({"DispType": 7, "DispRobo": 0, "EternalFire": 1},
                                               lambda seen: len(recurring(seen)) >= 3, burning, "the fire")
                self.assertEqual(len(recurring(linux)), 3, "three flame frames")
                self.assertEqual(recurring(windows), recurring(linux))

    def test_robot_at_the_same_places_on_both_programs(self):
        # The robot drops in and walks by the clock's milliseconds, so under one frozen clock both
        # programs go through the same pictures. The screen is sampled, so each program shows a subset:
        # a good number of pictures must be common to both, the robot landed in some.
        squeezed = closed_form(4, self.w, self.h, self.pattern)
        band = self.h // 4 * self.w  # the rows above the picture, where the robot flies and stands

        def robot(p):
            return p[band:] == squeezed[band:] and any(p[:band])

        def landed(p):
            return any(p[band - self.w:band])

        def enough(seen):
            return sum(1 for _, _, p in seen.values() if landed(p)) >= 6

        windows, linux = self.run_both({"DispType": 4, "DispRobo": 1}, enough, robot, "the robot")
        common = set(windows) & set(linux)
        self.assertGreaterEqual(len(common), 4, "pictures common to both programs")
        self.assertTrue(any(landed(windows[k][2]) for k in common), "the robot landed at the same place")


if __name__ == "__main__":
    xharness.main()
