"""The saver on a desktop with a window manager (openbox) and a compositor (picom): another client holding
the grabs when it starts, a screen locker started while it runs, and monitors changing under it."""

import os
import shutil
import signal
import subprocess

import xharness
from fault_pictures import expected

LEFT = ["--setmonitor", "*left", "160/42x240/63+0+0", "screen"]  # a primary monitor, part of the output


class Desktop(xharness.SaverTestCase):
    def setUp(self):
        for tool in ("openbox", "picom", "i3lock"):
            if not shutil.which(tool):
                self.skipTest("%s is not installed" % tool)
        super().setUp()
        helpers = [subprocess.Popen(argv, env=self.x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                   for argv in (["openbox"], ["picom", "--backend", "xrender", "--config", "/dev/null"])]
        self.addCleanup(lambda: [p.terminate() or p.wait() for p in helpers])
        # openbox names its check window once it manages the screen; picom makes a window of its name.
        xharness.wait_for(lambda: "window id" in self.read("xprop", "-root", "_NET_SUPPORTING_WM_CHECK") and
                          '"picom"' in self.read("xwininfo", "-root", "-tree"), "openbox and picom")
        self.x.set_desktop(self.pattern)  # openbox cleared the root window
        self.x.write_profile(DispType=8, DispRobo=0)
        self.picture = expected(8, self.w, self.h, self.pattern)

    def read(self, *argv):
        return subprocess.run(argv, env=self.x.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True).stdout

    def test_another_clients_grab_at_start(self):
        """The saver covers only with the keyboard and the pointer its own: it waits for another client
        to let go, and otherwise ends saying why, the settings untouched; a signal ends the wait."""
        for case in ("held throughout", "a signal while waiting", "let go while waiting"):
            with self.subTest(case=case):
                os.remove(os.path.join(self.x.config, "SCRWARPVUE.ini"))
                holder = subprocess.Popen([xharness.XDESK, "hold"], env=self.x.env, stdin=subprocess.PIPE,
                                          stdout=subprocess.PIPE, text=True)
                self.assertEqual(holder.stdout.readline().strip(), "held")
                saver = self.start()
                # Its window exists, unmapped, while it waits.
                xharness.wait_for(lambda: self.read("xwininfo", "-name", "SCRWARPVUE"), "the saver's window")
                if case == "a signal while waiting":
                    saver.proc.send_signal(signal.SIGTERM)
                if case == "let go while waiting":
                    holder.stdin.close()
                    self.x.wait_for_screen(expected(1, self.w, self.h, self.pattern), "the saver's picture")
                    self.x.xdotool("key", "space")
                self.assertEqual(saver.wait_exit(), 0)
                said = "scrwarpvue: another program holds the keyboard or the pointer; not covering the screen\n"
                self.assertEqual(saver.output(), said if case == "held throughout" else "")
                self.assertEqual(self.x.read_profile() is None, case != "let go while waiting")
                holder.stdin.close()
                holder.wait(xharness.DEADLINE)
                holder.stdout.close()
                self.x.write_profile(DispType=8, DispRobo=0)

    def test_a_locker_takes_over(self):
        """The README's locker command ends the saver first and the locker gets its grabs; a locker
        started on its own wins as well, since the saver leaves when a window covers all of it."""
        recipe = "pkill -x -P %d scrwarpvue; exec i3lock -n" % os.getpid()  # only this test's saver
        for command in (recipe, "exec i3lock -n"):
            with self.subTest(locker=command):
                saver = self.start()
                self.x.wait_for_screen(self.picture, "the saver's picture")
                locker = subprocess.Popen(["sh", "-c", command], env=self.x.env, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL)
                try:
                    self.assert_quiet_exit(saver, command)
                    xharness.wait_for(lambda: locker.poll() is not None or
                                      self.x.xdesk("grabs") == ["keyboard taken", "pointer taken"],
                                      "the locker's grabs")
                    self.assertIsNone(locker.poll(), "the locker gave up")
                finally:
                    locker.kill()
                    locker.wait()

    def test_monitor_changes_during_a_run(self):
        """A change to the primary monitor's place or size, or its end, ends the run as a dismissal
        would (keyboard and pointer free again); other changes leave it running."""
        small = [["--newmode", "small", "6", "200", "336", "368", "400", "150", "243", "247", "250"],
                 ["--addmode", "screen", "small"]]
        cases = [  # (set up before the saver starts, the change while it runs, whether the run ends)
            ([], LEFT, True),
            ([LEFT], ["--delmonitor", "left"], True),
            ([["--output", "screen", "--primary"]], ["--output", "screen", "--off"], True),
            (small, ["--output", "screen", "--mode", "small"], True),
            ([], ["--setmonitor", "side", "100/26x100/26+200+100", "none"], False),
        ]
        for i, (before, change, ends) in enumerate(cases):
            if i:  # a fresh server
                self.doCleanups()
                self.setUp()
            with self.subTest(change=change):
                for args in before:
                    self.x.run("xrandr", *args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                want = self.picture
                if before == [LEFT]:  # only the left half is covered
                    half = expected(8, 160, self.h, [self.pattern[y * self.w + x] for y in range(self.h)
                                                     for x in range(160)])
                    want = [half[y * 160 + x] if x < 160 else self.pattern[y * self.w + x]
                            for y in range(self.h) for x in range(self.w)]
                saver = self.start()
                self.x.wait_for_screen(want, "the saver's picture before the change")
                # (Switching the one output off, xrandr fails to make the screen 0 x 0 afterwards.)
                subprocess.run(["xrandr", *change], env=self.x.env, check=not ends, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=xharness.DEADLINE)
                if ends:
                    self.assert_quiet_exit(saver, "the change")
                    self.assertEqual(self.x.xdesk("grabs"), ["keyboard free", "pointer free"])
                else:
                    with_cover = self.x.cover(0, 0, 30, 30)
                    self.x.wait_for_saver_on_top(want, "a change of another monitor")
                    with_cover.close()
                    saver.dismiss()


if __name__ == "__main__":
    xharness.main()
