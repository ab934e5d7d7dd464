"""The Windows program, SCRWARPVUE.scr, under Wine on a private X server: the same system code against
the real Win32 API shows the same pictures, keeps its settings in the Windows directory and opens its
dialog from the same resource script."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "x11"))
import xharness  # noqa: E402
from fault_pictures import expected  # noqa: E402

SCR = os.environ.get("SCRWARPVUE_SCR", "")
BOOT_DEADLINE = 180.0


class WineSaverTest(xharness.SaverTestCase):
    SCREEN = (240, 180)

    def setUp(self):
        if not SCR or not os.path.exists(SCR):
            self.fail("SCRWARPVUE_SCR must name the Windows build (cmake --preset windows first)")
        super().setUp()
        self.prefix = os.path.join(self.x.tmp, "wine")
        self.x.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        subprocess.run(["wineboot", "-i"], env=self.x.env, check=True, timeout=BOOT_DEADLINE,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: subprocess.run(["wineserver", "-k"], env=self.x.env, timeout=60,
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.ini = os.path.join(self.prefix, "drive_c", "windows", "SCRWARPVUE.ini")

    def start_scr(self, *args):
        proc = subprocess.Popen(["wine", SCR, *args], env=self.x.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        return proc

    def wait_exit(self, proc):
        try:
            return proc.wait(xharness.DEADLINE * 2)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program is still running") from None

    def read_ini(self):
        with open(self.ini, "rb") as f:
            return f.read().decode().replace("\r\n", "\n")

    def window_named(self, name):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], env=self.x.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.split()
        return out[0] if out else None

    def try_xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.x.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def test_saver_shows_the_wiring_fault_and_writes_its_profile(self):
        turned = expected(1, self.w, self.h, self.pattern)
        proc = self.start_scr("/s")
        self.x.wait_for_screen(turned, "the picture turned by half a turn", timeout=xharness.DEADLINE * 2)
        xharness.wait_for(lambda: proc.poll() is not None or (self.try_xdotool("key", "a") and False),
                          "the saver dismissed by a key", interval=0.5)
        self.assertEqual(self.wait_exit(proc), 0)
        self.assertEqual(self.read_ini(), "[SCRWARPVUE_SECTION]\nEternalFire=0\n")
        self.x.wait_for_screen(self.pattern, "the desktop back as it was")

    def test_power_shortage_from_the_windows_directory(self):
        with open(self.ini, "w") as f:
            f.write("[SCRWARPVUE_SECTION]\r\nDispType=3\r\nDispRobo=0\r\n")
        want = expected(3, self.w, self.h, self.pattern)
        proc = self.start_scr("/s")
        self.x.wait_for_screen(want, "the picture at half size", timeout=xharness.DEADLINE * 2)
        self.x.xdotool("mousedown", "3")
        self.assertEqual(self.wait_exit(proc), 0)

    def test_dialog_opens_from_the_resource_script_and_stores_the_choice(self):
        proc = self.start_scr("/c")
        window = xharness.wait_for(lambda: self.window_named("スクリーンセーバー設定"), "the settings dialog",
                                   timeout=xharness.DEADLINE * 2)
        # No window manager runs: give the dialog the focus directly, then press Enter there. Wine may
        # take a moment before the window accepts the focus, and a key sent before that is lost, so
        # both are repeated until the dialog has ended.
        xharness.wait_for(lambda: self.try_xdotool("windowfocus", window), "the dialog taking the focus")
        xharness.wait_for(lambda: proc.poll() is not None or (self.try_xdotool("key", "Return") and False),
                          "the dialog confirmed with Enter", interval=0.5)
        self.assertEqual(self.wait_exit(proc), 0)
        self.assertEqual(self.read_ini(), "[SCRWARPVUE_SECTION]\nDispType=1\nDispRobo=1\n")


if __name__ == "__main__":
    xharness.main()
