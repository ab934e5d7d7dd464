"""The program as a Wayland client of fakewl, a compositor that offers what each case asks for: the
image-copy-capture snapshot in several formats and transforms, which capture protocol is taken, the
compositors that lack layer-shell or screen capture, captures that fail or never answer, and the cover's
end when its layer surface is closed or its output unplugged.

The program and the compositor come from the environment CTest sets: SCRWARPVUE_BIN and FAKEWL_BIN.
"""

import array
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "x11"))
from fault_pictures import expected  # noqa: E402
from xharness import DEADLINE, XServer, wait_for  # noqa: E402

SCRWARPVUE = os.environ.get("SCRWARPVUE_BIN", "")
FAKEWL = os.environ.get("FAKEWL_BIN", "")
PROFILE = "[SCRWARPVUE_SECTION]\nDispType=%d\nDispRobo=0\nEternalFire=0\n"


def desktop(output, w, h):
    """fakewl's picture of an output, as the user sees it (the compositor has the same formula)."""
    return [((x * 7 + output * 101) & 255) << 16 | ((y * 5 + 3) & 255) << 8 | (((x ^ y) * 3 + output * 50) & 255)
            for y in range(h) for x in range(w)]


class Session:
    """fakewl on a private runtime directory, and the program started on it with a profile of its own."""

    def __init__(self, args, fault=5, x_display=None):
        self.tmp = tempfile.mkdtemp(prefix="scrwarpvue-fakewl-")
        run, config = os.path.join(self.tmp, "run"), os.path.join(self.tmp, "config")
        os.mkdir(run, 0o700)
        os.mkdir(config, 0o700)
        self.screen, self.log = os.path.join(self.tmp, "screen"), os.path.join(self.tmp, "log")
        self.profile, self.profile_text = os.path.join(config, "SCRWARPVUE.ini"), PROFILE % fault
        with open(self.profile, "w") as f:
            f.write(self.profile_text)
        with open(self.log, "w") as log:
            self.fake = subprocess.Popen([FAKEWL, "--screen", self.screen, *args], stdin=subprocess.PIPE,
                                         stdout=log, stderr=subprocess.STDOUT, text=True,
                                         env=dict(os.environ, XDG_RUNTIME_DIR=run))
        wait_for(lambda: "ready" in self.lines() or self.fake.poll() is not None, "the compositor")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XAUTHORITY", "SCRWARPVUE_BACKEND")}
        env.update(WAYLAND_DISPLAY="wayland-fake", XDG_RUNTIME_DIR=run, XDG_CONFIG_HOME=config, HOME=self.tmp)
        if x_display:
            env["DISPLAY"] = x_display
        self.out = tempfile.TemporaryFile()
        self.saver = subprocess.Popen([SCRWARPVUE, "/s"], env=env, stdout=subprocess.DEVNULL, stderr=self.out)

    def lines(self):
        with open(self.log) as f:
            return f.read().splitlines()

    def picture(self):
        try:
            with open(self.screen, "rb") as f:
                data = array.array("I", f.read())
        except FileNotFoundError:
            return None
        return data[0], data[1], list(data[2:])

    def send(self, command):
        self.fake.stdin.write(command + "\n")
        self.fake.stdin.flush()

    def wait_exit(self):
        try:
            return self.saver.wait(DEADLINE)
        except subprocess.TimeoutExpired:
            raise AssertionError("the saver is still running after %.0f s" % DEADLINE) from None

    def stderr(self):
        self.out.seek(0)
        return self.out.read().decode(errors="replace")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        # Each case's saver ends with it: the next one's would meet its lock otherwise.
        for proc in (self.saver, self.fake):
            if proc.poll() is None:
                proc.kill()
            proc.wait()
        self.fake.stdin.close()
        self.out.close()
        shutil.rmtree(self.tmp, ignore_errors=True)


class FakeCompositorTest(unittest.TestCase):
    def setUp(self):
        if not SCRWARPVUE or not FAKEWL:
            self.fail("SCRWARPVUE_BIN and FAKEWL_BIN must name the program and the compositor")

    def wait_for_picture(self, s, output, w, h, fault):
        want = expected(fault, w, h, desktop(output, w, h))
        last = [None]

        def shown():
            last[0] = s.picture()
            return last[0] == (w, h, want) or s.saver.poll() is not None

        try:
            wait_for(shown, "the cover's first picture")
        except AssertionError:
            pass  # the comparison below says how it differs
        self.assertEqual(last[0] and last[0][:2], (w, h), "the cover's size")
        bad = [i for i in range(w * h) if last[0][2][i] != want[i]]
        if bad:
            self.fail("%d pixels differ, the first at (%d, %d)" % (len(bad), bad[0] % w, bad[0] // w))

    def assert_quiet_end(self, s, mapped):
        self.assertEqual(s.wait_exit(), 0, s.stderr())
        self.assertEqual(s.stderr(), "")
        self.assertEqual(any(l.startswith("commit buffer") for l in s.lines()), mapped, "\n".join(s.lines()))
        with open(s.profile) as f:
            self.assertEqual(f.read(), s.profile_text, "the settings file changed")

    # Pictures: the cover shows the fault applied to the capture of the output at the top left.
    # (name, fakewl's arguments, fault, capture protocol taken, covered output, its turned size, buffer scale)
    PICTURES = [
        ("ext, xrgb8888", ["--ext-capture"], 5, "ext", 0, (64, 48), 1),
        ("ext, abgr2101010 turned 90", ["--ext-capture", "--output", "64x48/1", "--capture-format", "abgr2101010"],
         8, "ext", 0, (48, 64), 1),
        ("ext, xbgr8888 flipped 270 after a format it cannot read", ["--ext-capture", "--output", "40x30/7",
         "--capture-format", "nv12,xbgr8888"], 5, "ext", 0, (30, 40), 1),
        ("ext, upright picture of an output turned 180", ["--ext-capture", "--output", "40x30/2",
         "--capture-transform", "0"], 5, "ext", 0, (40, 30), 1),
        ("screencopy only, bgr888 upside down, padded rows", ["--screencopy", "--capture-format", "bgr888",
         "--y-invert", "--stride-pad", "8"], 8, "screencopy", 0, (64, 48), 1),
        ("screencopy, output turned 90", ["--screencopy", "--output", "40x30/1"], 5, "screencopy", 0, (30, 40), 1),
        ("both offered: ext taken", ["--screencopy", "--ext-capture"], 8, "ext", 0, (64, 48), 1),
        ("ext without its output sources: screencopy taken", ["--screencopy", "--ext-capture",
         "--no-output-sources"], 8, "screencopy", 0, (64, 48), 1),
        ("the second output at the top left, scale 2", ["--ext-capture", "--xdg-output", "--output", "40x30+32+0",
         "--output", "64x48*2"], 5, "ext", 1, (64, 48), 2),
    ]

    def test_pictures(self):
        for name, args, fault, protocol, output, (w, h), scale in self.PICTURES:
            with self.subTest(name), Session(args, fault=fault) as s:
                self.wait_for_picture(s, output, w, h, fault)
                lines = s.lines()
                self.assertIn("layer surface output %d layer 3 namespace scrwarpvue" % output, lines)
                self.assertIn("capture %s output %d %s 0" % (protocol, output, "options" if protocol == "ext"
                                                                 else "cursor"), lines)
                commits = [l for l in lines if l.startswith("commit buffer")]
                self.assertTrue(all(l.startswith("commit buffer %dx%d format 1 scale %d" % (w, h, scale))
                                    for l in commits), commits)
                self.assertEqual(commits[0].split(" damage ")[1], "0,0,%d,%d" % (w, h), "the mapping commit")
                s.saver.send_signal(signal.SIGTERM)
                self.assertEqual(s.wait_exit(), 0, s.stderr())

    # A compositor lacking what the saver needs: one line naming it, exit 0, no surface asked for; with an
    # X server beside it too (no choice of X11 after a refusing compositor).
    # (name, fakewl's arguments, what the line says)
    REFUSALS = [
        ("GNOME-like: neither", ["--no-layer-shell"], "neither zwlr_layer_shell_v1 (to cover the screen) nor"),
        ("KDE-like: layer-shell without capture", [], "offers no screen capture protocol (ext_image_copy_capture"),
        ("capture without layer-shell", ["--no-layer-shell", "--ext-capture"], "offers no zwlr_layer_shell_v1"),
    ]

    def test_refusals(self):
        for name, args, says in self.REFUSALS:
            for with_x in (False, True):
                if with_x and not shutil.which("Xvfb"):
                    continue
                x = XServer(64, 48) if with_x else None
                if x:
                    self.addCleanup(x.close)
                with self.subTest(name, with_x=with_x), Session(args, x_display=x and x.display) as s:
                    self.assertEqual(s.wait_exit(), 0, s.stderr())
                    err = s.stderr().splitlines()
                    self.assertEqual(len(err), 1, err)
                    self.assertIn(says, err[0])
                    self.assertTrue(err[0].startswith("scrwarpvue: this Wayland compositor"), err[0])
                    self.assertFalse([l for l in s.lines() if l.startswith(("layer", "capture", "commit"))])

    # Runs that end by themselves, quietly, with the settings file as it was: the snapshot failing or never
    # coming (the cover never shown), or the cover losing its surface or its output once shown.
    # (name, fakewl's arguments, command once the picture shows (None: no picture expected))
    ENDINGS = [
        ("screencopy fails", ["--screencopy", "--capture", "fail"], None),
        ("ext fails", ["--ext-capture", "--capture", "fail"], None),
        ("ext session stopped", ["--ext-capture", "--capture", "stop"], None),
        ("screencopy never answers", ["--screencopy", "--capture", "silent"], None),
        ("ext never answers", ["--ext-capture", "--capture", "silent"], None),
        ("layer surface closed", ["--ext-capture"], "closed"),
        ("covered output unplugged", ["--screencopy", "--output", "64x48", "--output", "40x30+64+0"], "unplug 0"),
    ]

    def test_endings(self):
        for name, args, command in self.ENDINGS:
            with self.subTest(name), Session(args) as s:
                if command:
                    self.wait_for_picture(s, 0, 64, 48, 5)
                    s.send(command)
                self.assert_quiet_end(s, mapped=command is not None)
                if not command:
                    self.assertTrue([l for l in s.lines() if l.startswith("capture ")], "no capture was asked")

    def test_other_output_unplugged(self):
        # Under the overvoltage fault the flame changes every tick: two frames after the removal, each
        # asked for after the frame callback that followed it, show the saver lives on.
        with Session(["--ext-capture", "--output", "64x48", "--output", "40x30+64+0"], fault=7) as s:
            wait_for(lambda: any(l.startswith("commit buffer") for l in s.lines()), "the cover")
            s.send("unplug 1")

            def frames_after():
                lines = s.lines()
                return "removed output 1" in lines and sum(l.startswith("commit buffer") for l in
                                                           lines[lines.index("removed output 1"):]) >= 2

            wait_for(lambda: frames_after() or s.saver.poll() is not None, "frames after the removal")
            self.assertIsNone(s.saver.poll(), "the saver ended when another output went away")
            s.saver.send_signal(signal.SIGTERM)
            self.assert_quiet_end(s, mapped=True)


if __name__ == "__main__":
    unittest.main(verbosity=2)
