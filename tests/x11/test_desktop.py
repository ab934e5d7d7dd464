"""The saver on a desktop with a window manager (openbox) and a compositor (picom): another client holding
the grabs when it starts, a screen locker started while it runs, the monitors changing under it, and
windows mapped over it."""

import os
import shutil
import signal
import subprocess

import xharness
from fault_pictures import expected

KIND = 8  # inverted colours: quick to draw and to check


class Desktop(xharness.SaverTestCase):
    def setUp(self):
        for tool in ("openbox", "picom", "xrandr", "xwininfo"):
            if not shutil.which(tool):
                self.skipTest("%s is not installed" % tool)
        super().setUp()
        self.start_desktop()

    def start_desktop(self):
        """openbox and picom (plain XRender, no shadows or fading, so that pictures stay exact)."""
        helpers = [subprocess.Popen(argv, env=self.x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                   for argv in (["openbox"], ["picom", "--backend", "xrender", "--config", "/dev/null"])]
        self.addCleanup(lambda: [p.terminate() or p.wait() for p in helpers])
        # openbox names its check window once it manages the screen; picom makes a window of its name.
        xharness.wait_for(lambda: "window id" in self.read(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]) and
                          '"picom"' in self.read(["xwininfo", "-root", "-tree"]), "openbox and picom")
        self.shown_desktop = self.x.set_desktop(self.pattern)  # openbox cleared the root window
        self.x.write_profile(DispType=KIND, DispRobo=0)
        self.picture = expected(KIND, self.w, self.h, self.pattern)

    def read(self, argv):
        return subprocess.run(argv, env=self.x.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True).stdout

    def start_covering(self):
        saver = self.start()
        self.x.wait_for_screen(self.picture, "the saver's picture")
        return saver

    def window_exists(self, name):
        return subprocess.run(["xwininfo", "-name", name], env=self.x.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def test_another_clients_grab_at_start(self):
        """The saver covers only with the keyboard and the pointer its own; it waits a few seconds for
        another client to let go, and otherwise ends saying why, with the settings untouched."""
        for case in ("held throughout", "a signal while waiting", "let go while waiting"):
            with self.subTest(case=case):
                os.remove(os.path.join(self.x.config, "SCRWARPVUE.ini"))
                holder = subprocess.Popen([xharness.XDESK, "hold"], env=self.x.env, stdin=subprocess.PIPE,
                                          stdout=subprocess.PIPE, text=True)
                self.assertEqual(holder.stdout.readline().strip(), "held")
                saver = self.start()
                # Its window exists, unmapped, while it waits for the grabs.
                xharness.wait_for(lambda: self.window_exists("SCRWARPVUE"), "the saver's window")
                self.assertNotEqual(self.x.screenshot(), self.picture)
                if case == "a signal while waiting":
                    saver.proc.send_signal(signal.SIGTERM)
                elif case == "let go while waiting":
                    holder.stdin.close()
                    holder.wait(xharness.DEADLINE)
                    self.x.wait_for_screen(expected(1, self.w, self.h, self.pattern), "the saver's picture")
                    self.x.xdotool("key", "space")
                code = saver.wait_exit()
                self.assertEqual(code, 0)
                if case == "held throughout":
                    self.assertEqual(saver.output(), "scrwarpvue: another program holds the keyboard or the "
                                                     "pointer; not covering the screen\n")
                else:
                    self.assertEqual(saver.output(), "")
                if case != "let go while waiting":
                    self.assertIsNone(self.x.read_profile(), "the settings were touched")
                    holder.stdin.close()
                    holder.wait(xharness.DEADLINE)
                self.x.wait_for_screen(self.pattern, "the desktop as it was")
                holder.stdout.close()
                self.x.write_profile(DispType=KIND, DispRobo=0)

    def test_a_locker_takes_over(self):
        """The README's locker command ends the saver first, and the locker gets its grabs; a locker
        started on its own over the saver wins as well, since the saver leaves when a window covers
        all of it."""
        if not shutil.which("i3lock"):
            self.skipTest("i3lock is not installed")
        # pkill limited to this test's own children: other copies on the machine are not ours to end.
        recipe = "pkill -x -P %d scrwarpvue; exec i3lock -n" % os.getpid()
        for what, command in (("the recipe", recipe), ("a locker alone", "exec i3lock -n")):
            with self.subTest(locker=what):
                saver = self.start_covering()
                locker = subprocess.Popen(["sh", "-c", command], env=self.x.env, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.PIPE, text=True)
                try:
                    self.assertEqual(saver.wait_exit(), 0)
                    xharness.wait_for(lambda: locker.poll() is not None or
                                      self.x.xdesk("grabs") == ["keyboard taken", "pointer taken"],
                                      "the locker's grabs")
                    if locker.poll() is not None:
                        self.fail("the locker gave up: %s" % locker.stderr.read())
                    self.assertEqual(saver.output(), "")
                finally:
                    locker.kill()
                    locker.wait()
                    locker.stderr.close()

    def test_monitor_changes_during_a_run(self):
        """A change to the primary monitor's place or size, or its end, ends the run as a dismissal
        would (keyboard and pointer free again); other changes leave it running."""
        cases = [
            # (what, set up before the saver starts, the change while it runs, whether the run ends)
            ("a RandR 1.5 monitor made primary", [], ["--setmonitor", "*left", "160/42x240/63+0+0", "screen"],
             True),
            ("the primary RandR 1.5 monitor deleted", [["--setmonitor", "*left", "160/42x240/63+0+0", "screen"]],
             ["--delmonitor", "left"], True),
            ("the primary output switched off", [["--output", "screen", "--primary"]],
             ["--output", "screen", "--off"], True),
            ("the screen resized", [["--newmode", "small", "6", "200", "336", "368", "400", "150", "243", "247",
                                     "250"], ["--addmode", "screen", "small"]],
             ["--output", "screen", "--mode", "small"], True),
            ("a monitor that is not primary", [], ["--setmonitor", "side", "100/26x100/26+200+100", "none"], False),
        ]
        for i, (what, before, change, ends) in enumerate(cases):
            if i:
                self.restart_server()
            with self.subTest(change=what):
                for args in before:
                    self.x.run("xrandr", *args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                want = self.picture
                if before and before[0][0] == "--setmonitor":
                    # The primary monitor is the left half: only it is covered.
                    half = [self.pattern[y * self.w + x] for y in range(self.h) for x in range(160)]
                    turned = expected(KIND, 160, self.h, half)
                    want = [turned[y * 160 + x] if x < 160 else self.pattern[y * self.w + x]
                            for y in range(self.h) for x in range(self.w)]
                saver = self.start()
                self.x.wait_for_screen(want, "the saver's picture before the change")
                # (Switching the one output off, xrandr fails to make the screen 0 x 0 afterwards.)
                subprocess.run(["xrandr", *change], env=self.x.env, check=not ends, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=xharness.DEADLINE)
                if ends:
                    self.assert_quiet_exit(saver, what)
                    self.assertEqual(self.x.xdesk("grabs"), ["keyboard free", "pointer free"])
                else:
                    cover = self.x.cover(0, 0, 30, 30)
                    try:
                        self.x.wait_for_saver_on_top(want, what)
                    finally:
                        cover.close()
                    self.assert_still_running(saver, what)
                    saver.dismiss()

    def restart_server(self):
        self.doCleanups()
        self.setUp()

    def test_windows_mapped_later_go_below(self):
        """An override-redirect window (a tooltip, a notification) and a window the window manager maps
        and raises both end up below the saver, which repaints what they hid."""
        saver = self.start_covering()
        cover = self.x.cover(20, 20, 120, 90)
        managed = subprocess.Popen(["xlogo", "-geometry", "150x100+100+80"], env=self.x.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            xharness.wait_for(lambda: self.window_exists("xlogo"), "the managed window")
            self.x.wait_for_saver_on_top(self.picture, "two windows mapped over it")
        finally:
            cover.close()
            managed.kill()
            managed.wait()
        saver.dismiss()
        self.assertEqual(saver.proc.returncode, 0)


if __name__ == "__main__":
    xharness.main()
