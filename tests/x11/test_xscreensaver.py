"""Under the real thing: Debian's xscreensaver daemon on a private Xvfb, with a private ~/.xscreensaver
that lists only this program. Activated, it runs the program as a hack over the whole screen and the
screen shows the chosen fault of the desktop that was there; deactivated, the hack ends and no copy of
the program is left.

xscreensaver refuses to run hacks for root, so the daemon and its commands run as nobody (uid 65534)
with a home of their own, and the program is copied where nobody can run it.

On two monitors (RandR monitors on one wide screen) the daemon starts one copy per monitor, each in a
window of its own, and each shows its own monitor's half of the desktop with the fault its command line
chose, while the settings file keeps its own.

With SCRWARPVUE_XSS_SHOT=FILE.png set, the test runs on a 1024x768 sample desktop and saves the screen
under xscreensaver there (the README's picture)."""

import os
import shutil
import subprocess
import tempfile

import xharness

NOBODY = 65534
SHOT = os.environ.get("SCRWARPVUE_XSS_SHOT")


def as_nobody(*argv):
    return ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups", *argv]


def copies_running(path):
    """Pids of processes running the program at `path`."""
    pids = []
    for pid in os.listdir("/proc"):
        if pid.isdigit():
            try:
                if os.readlink("/proc/%s/exe" % pid) == path:
                    pids.append(int(pid))
            except OSError:
                pass
    return pids


def window_locks():
    """The one-copy locks of nobody's copies that ran in a given window."""
    found = []
    for place in ("/run/user/%d" % NOBODY, "/tmp/scrwarpvue-%d" % NOBODY):
        if os.path.isdir(place):
            found += [name for name in os.listdir(place) if name.startswith("SCRWARPVUE@")]
    return found


class UnderXscreensaver(xharness.SaverTestCase):
    SCREEN = (1024, 768) if SHOT else (320, 240)
    MONITORS = ()  # xrandr --setmonitor arguments, one tuple a monitor
    OPTIONS = ""   # the hack's options on the programs line

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root, to run xscreensaver as nobody")
        for tool in ("xscreensaver", "xscreensaver-command", "setpriv"):
            self.assertTrue(shutil.which(tool), "%s is missing (scripts/setup test installs it)" % tool)
        super().setUp()
        if SHOT:
            import sample_desktop
            rgb = sample_desktop.draw(self.w, self.h).rgb
            self.pattern = [rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2] for i in range(0, len(rgb), 3)]
            self.x.set_desktop(self.pattern)
        self.home = tempfile.mkdtemp(prefix="scrwarpvue-xss-")
        self.addCleanup(shutil.rmtree, self.home, True)
        os.chmod(self.home, 0o755)
        self.program = os.path.join(self.home, "scrwarpvue")
        shutil.copy(xharness.SCRWARPVUE, self.program)
        os.chmod(self.program, 0o755)
        with open(os.path.join(self.home, ".xscreensaver"), "w") as f:
            f.write("mode: one\nselected: 0\ntimeout: 1:00:00\nlock: False\nsplash: False\n"
                    "fade: False\nunfade: False\ndpmsEnabled: False\ngrabDesktopImages: True\n"
                    "programs: \"SCRWARPVUE\" %s --root %s\\n\n" % (self.program, self.OPTIONS))
        config = os.path.join(self.home, ".config")
        runtime = os.path.join(self.home, "run")
        os.mkdir(config)
        os.mkdir(runtime, 0o700)
        with open(os.path.join(config, "SCRWARPVUE.ini"), "w") as f:
            f.write("[SCRWARPVUE_SECTION]\nDispType=1\n")  # upside down and mirrored
        for path in (self.home, config, runtime, os.path.join(config, "SCRWARPVUE.ini"),
                     os.path.join(self.home, ".xscreensaver")):
            os.chown(path, NOBODY, NOBODY)
        self.env = dict(self.x.env, HOME=self.home, XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime,
                        USER="nobody", LOGNAME="nobody")
        for monitor in self.MONITORS:
            self.x.run("xrandr", "--setmonitor", *monitor, stdout=subprocess.DEVNULL)
        self.log = open(os.path.join(self.x.tmp, "xscreensaver.log"), "w+")
        self.addCleanup(self.log.close)
        self.daemon = subprocess.Popen(as_nobody("xscreensaver", "-no-splash", "-verbose"), env=self.env,
                                       cwd=self.home, stdout=self.log, stderr=subprocess.STDOUT)
        self.addCleanup(self.stop_daemon)

    def stop_daemon(self):
        if self.daemon.poll() is None:
            self.daemon.terminate()
            try:
                self.daemon.wait(xharness.DEADLINE)
            except subprocess.TimeoutExpired:
                self.daemon.kill()
                self.daemon.wait()
        for pid in copies_running(self.program):
            os.kill(pid, 9)

    def command(self, what):
        """Sends the daemon a command; polls while it is still starting up."""

        def sent():
            done = subprocess.run(as_nobody("xscreensaver-command", what), env=self.env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=xharness.DEADLINE)
            return done.returncode == 0

        xharness.wait_for(sent, "xscreensaver to take %s" % what)

    def daemon_log(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()

    def activate(self, want, what, copies=1):
        self.command("-activate")
        try:
            self.x.wait_for_screen(want, what)
            xharness.wait_for(lambda: len(copies_running(self.program)) == copies, "%d hack processes" % copies)
        except AssertionError as e:
            raise AssertionError("%s\nxscreensaver said:\n%s" % (e, self.daemon_log()[-3000:])) from None

    def deactivate(self):
        self.command("-deactivate")
        xharness.wait_for(lambda: not copies_running(self.program), "the hack to end")
        self.x.wait_for_screen(self.pattern, "the desktop back")

    def test_activate_shows_the_fault_and_deactivate_ends_it(self):
        want = [self.pattern[(self.h - 1 - y) * self.w + self.w - 1 - x] for y in range(self.h)
                for x in range(self.w)]
        self.activate(want, "the desktop upside down and mirrored, under xscreensaver")
        if SHOT:
            xwd = subprocess.run(["xwd", "-root", "-silent"], env=self.x.env, stdout=subprocess.PIPE, check=True,
                                 timeout=xharness.DEADLINE).stdout
            subprocess.run(["convert", "xwd:-", SHOT], input=xwd, check=True, timeout=xharness.DEADLINE)

        self.deactivate()


class TwoMonitors(UnderXscreensaver):
    SCREEN = (640, 240)
    MONITORS = (("left", "320/80x240/60+0+0", "screen"), ("right", "320/80x240/60+320+0", "none"))
    OPTIONS = "--fault 5"  # mirrored, where the settings file says upside down and mirrored

    # Run by the base class too; the single-monitor test belongs to it alone.
    test_activate_shows_the_fault_and_deactivate_ends_it = None

    def test_each_monitor_shows_its_own_half_with_the_chosen_fault(self):
        half = self.w // 2
        want = [self.pattern[y * self.w + (x // half) * half + half - 1 - x % half] for y in range(self.h)
                for x in range(self.w)]
        profile = os.path.join(self.env["XDG_CONFIG_HOME"], "SCRWARPVUE.ini")
        self.activate(want, "each monitor's half of the desktop mirrored, under xscreensaver", copies=2)
        self.assertEqual(len(window_locks()), 2, "one lock a window")
        self.deactivate()
        self.assertEqual(window_locks(), [], "the windows' locks are gone with their copies")
        with open(profile) as f:
            self.assertEqual(f.read(), "[SCRWARPVUE_SECTION]\nDispType=1\nEternalFire=0\n")


if __name__ == "__main__":
    xharness.main()
