"""The saver's life on a real X server: one copy at a time, signals and a lost server end it like a
dismissal (exit code 0, nothing printed), even one sent before the program starts, the profile keeps
EternalFire (and no home directory is made up for it), and a window mapped later goes below the saver."""

import os
import signal
import subprocess

import xharness
from fault_pictures import expected


# Starts argv with the signal blocked, sends it before the program can have run a line of its own, and
# exits with the program's exit code (a program killed by the signal gives 128 + its number).
BLOCKED_AND_SENT = """
import os, signal, subprocess, sys
sig = %d
signal.pthread_sigmask(signal.SIG_BLOCK, {sig})
child = subprocess.Popen(sys.argv[1:])
os.kill(child.pid, sig)
code = child.wait()
sys.exit(code if code >= 0 else 128 - code)
"""


class Lifecycle(xharness.SaverTestCase):
    def setUp(self):
        super().setUp()
        self.mirrored = expected(5, self.w, self.h, self.pattern)

    def start_mirror(self):
        self.x.write_profile(DispType=5, DispRobo=0)
        saver = self.start()
        self.x.wait_for_screen(self.mirrored, "the mirrored desktop")
        return saver

    def test_second_copy_returns_at_once(self):
        first = self.start_mirror()
        second = self.start()
        self.assert_quiet_exit(second, "the second copy")
        self.assert_still_running(first, "starting a second copy")
        self.x.xdotool("key", "space")
        self.assert_quiet_exit(first, "the first copy")

    def test_the_running_saver_maps_no_toolkit(self):
        # The dialog's toolkit lives in a module of its own that only the dialog loads.
        saver = self.start_mirror()
        with open("/proc/%d/maps" % saver.proc.pid) as f:
            libraries = {os.path.basename(line.split()[-1]) for line in f if "/" in line}
        toolkit = [n for n in libraries if n.startswith(("libgtk", "libgdk", "libgobject", "libpango", "libcairo",
                                                        "scrwarpvue-dialog"))]
        self.assertEqual(toolkit, [], "the saver mapped %s" % toolkit)
        self.assertTrue(any(n.startswith("libX11.so") for n in libraries), libraries)  # read while it ran
        saver.dismiss()

    def test_signals_end_the_saver_quietly(self):
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=sig.name):
                saver = self.start_mirror()
                saver.proc.send_signal(sig)
                self.assert_quiet_exit(saver, sig.name)
            with self.subTest(signal=sig.name, sent="before main"):
                # Sent at once to a program that inherits the signal blocked: it waits until the program
                # unblocks it, which it does at its first instruction, and the screen is never covered.
                done = subprocess.run(["python3", "-c", BLOCKED_AND_SENT % int(sig), xharness.SCRWARPVUE, "/s"],
                                      env=self.x.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                      text=True, timeout=xharness.DEADLINE)
                self.assertEqual((done.returncode, done.stdout), (0, ""))
                self.assertEqual(self.x.screenshot(), self.pattern)
        # A run leaves the endless-fire key in the profile and keeps the other keys as they were.
        profile = self.x.read_profile()
        self.assertIn("EternalFire=0", profile)
        self.assertIn("DispType=5", profile)

    def test_profile_gets_eternal_fire_when_there_was_none(self):
        saver = self.start()  # no profile: type 1, robot on
        want = expected(1, self.w, self.h, self.pattern)
        self.x.wait_for_screen(want, "the default display type")
        saver.proc.send_signal(signal.SIGTERM)
        self.assert_quiet_exit(saver, "SIGTERM")
        self.assertEqual(self.x.read_profile().split(), ["[SCRWARPVUE_SECTION]", "EternalFire=0"])

    def test_a_window_mapped_later_goes_below_the_saver(self):
        saver = self.start_mirror()
        cover = self.x.cover(40, 30, 200, 150)
        try:
            self.x.wait_for_saver_on_top(self.mirrored, "a window mapped over it")
        finally:
            cover.close()
        self.x.wait_for_screen(self.mirrored, "the picture after the window went")
        self.x.xdotool("key", "space")
        self.assert_quiet_exit(saver, "the key after the repaint")

    def test_a_missing_home_is_not_made(self):
        # No configuration directory and a home that is not there: the saver runs with the defaults and
        # makes nothing.
        home = os.path.join(self.x.tmp, "gone", "home")
        env = dict(self.x.env, HOME=home)
        env.pop("XDG_CONFIG_HOME")
        saver = xharness.Saver(self.x, ("/s",), env)
        self.savers.append(saver)
        self.x.wait_for_screen(expected(1, self.w, self.h, self.pattern), "the default display type")
        self.x.xdotool("key", "space")
        self.assert_quiet_exit(saver, "a run without a home")
        self.assertFalse(os.path.exists(os.path.join(self.x.tmp, "gone")))

    def test_losing_the_server_ends_the_saver_quietly(self):
        saver = self.start_mirror()
        self.x.proc.kill()
        self.x.proc.wait()
        self.assert_quiet_exit(saver, "the server going away")

    def test_command_line_manners(self):
        """--help and --version answer on standard output; a command line that starts nothing, and the
        saver or the dialog without a display, say so in one line on standard error; the exit code is always 0."""
        no_display = dict(self.x.env)
        no_display.pop("DISPLAY")
        cases = [
            (["--help"], self.x.env, "Usage: scrwarpvue", ""),
            (["--version"], self.x.env, "scrwarpvue 1.", ""),
            ([], self.x.env, "", "scrwarpvue: nothing to start"),
            (["/p", "1234"], self.x.env, "", "scrwarpvue: nothing to start"),
            (["/s"], no_display, "", "scrwarpvue: no X display to run the saver"),
            (["/c"], no_display, "", "scrwarpvue: no X display to open the settings dialog"),
        ]
        for args, env, out, err in cases:
            with self.subTest(args=args):
                done = subprocess.run([xharness.SCRWARPVUE, *args], env=env, stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, text=True, timeout=xharness.DEADLINE)
                self.assertEqual(done.returncode, 0)
                self.assertTrue(done.stdout.startswith(out) and (out or not done.stdout), done.stdout)
                self.assertTrue(done.stderr.startswith(err) and done.stderr.count("\n") == (1 if err else 0),
                                done.stderr)


if __name__ == "__main__":
    xharness.main()
