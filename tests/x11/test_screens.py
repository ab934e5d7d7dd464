"""Screens other than the plain 24-bit one with shared memory: a 16-bit screen (pixels converted both
ways), an 8-bit PseudoColor screen (colours through the colormap), a server without MIT-SHM (plain XPutImage), and a primary monitor smaller than the X screen
(the saver covers the monitor only)."""

import subprocess

import xharness
from fault_pictures import expected


def half_turn(w, h, p):
    return expected(1, w, h, p)


def mirror(w, h, p):
    return expected(5, w, h, p)


class SixteenBitScreen(xharness.SaverTestCase):
    DEPTH = 16

    def test_pictures_survive_the_conversion_both_ways(self):
        # Reading converts 5-6-5 pixels to 8 bits a channel, pushing converts them back: a picture
        # made of transfers alone comes back exactly.
        for kind, picture in ((1, half_turn), (5, mirror)):
            with self.subTest(display_type=kind):
                self.x.write_profile(DispType=kind, DispRobo=0)
                saver = self.start()
                self.x.wait_for_screen(picture(self.w, self.h, self.shown_desktop),
                                       "display type %d on a %d-bit screen" % (kind, self.DEPTH))
                self.x.xdotool("key", "space")
                self.assert_quiet_exit(saver, "type %d" % kind)


class EightBitPseudoColorScreen(SixteenBitScreen):
    # The desktop is drawn in a colour cube's cells; the saver reads the cells' colours and draws them
    # in cells of the same colours.
    DEPTH = 8


class WithoutSharedMemory(xharness.SaverTestCase):
    XVFB_ARGS = ("-extension", "MIT-SHM")

    def test_picture_and_repaint_without_shared_memory(self):
        self.x.write_profile(DispType=1, DispRobo=0)
        saver = self.start()
        want = half_turn(self.w, self.h, self.pattern)
        self.x.wait_for_screen(want, "the half-turned desktop")
        cover = self.x.cover(0, 0, 50, 50)
        cover.close()
        self.x.wait_for_screen(want, "the repaint after a cover came and went")
        self.x.xdotool("key", "space")
        self.assert_quiet_exit(saver, "type 1 without MIT-SHM")


class SmallerPrimaryMonitor(xharness.SaverTestCase):
    SCREEN = (480, 360)

    def test_saver_covers_the_primary_monitor_only(self):
        # The X screen stays 480 x 360; its one output becomes a 320 x 240 primary monitor.
        mw, mh = 320, 240
        try:
            self.x.run("xrandr", "--newmode", "mon", "6", str(mw), "336", "368", "400", str(mh), "243", "247", "250",
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.x.run("xrandr", "--addmode", "screen", "mon", stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
            self.x.run("xrandr", "--fb", "%dx%d" % self.SCREEN, "--output", "screen", "--mode", "mon", "--primary",
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except (subprocess.CalledProcessError, FileNotFoundError):
            self.skipTest("this X server cannot make a smaller primary monitor")
        self.x.wait_for_screen(self.pattern, "the desktop after the mode change")
        self.x.write_profile(DispType=1, DispRobo=0)
        saver = self.start()
        monitor = [self.pattern[y * self.w + x] for y in range(mh) for x in range(mw)]
        turned = half_turn(mw, mh, monitor)
        want = list(self.pattern)
        for y in range(mh):
            want[y * self.w:y * self.w + mw] = turned[y * mw:(y + 1) * mw]
        self.x.wait_for_screen(want, "the monitor half-turned and the rest of the screen as it was")
        self.x.xdotool("key", "space")
        self.assert_quiet_exit(saver, "type 1 on the primary monitor")


if __name__ == "__main__":
    xharness.main()
