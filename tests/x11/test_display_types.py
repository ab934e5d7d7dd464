"""Each monitor fault on a real X server: after the first tick the screen shows the desktop picture
distorted exactly as the fault's closed-form mapping says."""

import xharness
from fault_pictures import BLACK, expected, scorch_only


class DisplayTypes(xharness.SaverTestCase):
    def show(self, kind):
        """Runs the saver with display type `kind` (no robot) and waits for the first tick's picture."""
        self.x.write_profile(DispType=kind, DispRobo=0)
        saver = self.start()
        want = expected(kind, self.w, self.h, self.pattern)
        self.x.wait_for_screen(want, "the picture of display type %d" % kind)
        return saver

    def test_each_type_shows_its_closed_form_picture(self):
        for kind in (1, 2, 3, 4, 5, 6, 8):
            with self.subTest(display_type=kind):
                saver = self.show(kind)
                self.x.xdotool("key", "space")
                self.assert_quiet_exit(saver, "type %d" % kind)

    def test_type_outside_one_to_eight_stays_black(self):
        # The first tick draws nothing: the screen stays as the first erase left it.
        self.x.write_profile(DispType=9, DispRobo=0)
        saver = self.start()
        self.x.wait_for_screen([BLACK] * (self.w * self.h), "a black screen")
        self.assert_still_running(saver, "display type 9")
        self.x.xdotool("key", "Escape")
        self.assert_quiet_exit(saver, "type 9")


class LargeScreen(xharness.SaverTestCase):
    SCREEN = (1024, 768)

    def test_wiring_fault_at_1024_by_768(self):
        self.x.write_profile(DispType=1, DispRobo=0)
        saver = self.start()
        self.x.wait_for_screen(expected(1, self.w, self.h, self.pattern), "the half-turned desktop")
        self.x.xdotool("key", "space")
        self.assert_quiet_exit(saver, "type 1")

    def test_overvoltage_changes_nothing_but_the_scorch(self):
        # The first tick shows the desktop unchanged; the second burns a scorch of at most 275 x 317
        # pixels into it. Once the scorch shows, everything outside one such rectangle is the desktop
        # itself, drawn again by the saver over its black window.
        self.x.write_profile(DispType=7, EternalFire=1)
        saver = self.start()
        w, h, p = self.w, self.h, self.pattern
        shown = self.x.wait_for_screen(p, "the desktop with a scorch on it", accept=scorch_only(w, h, p))
        self.assertGreater(sum(1 for i in range(w * h) if shown[i] == p[i]), w * h // 2)
        self.x.xdotool("key", "space")
        self.assert_quiet_exit(saver, "type 7")


if __name__ == "__main__":
    xharness.main()
