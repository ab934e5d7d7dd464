"""Each monitor fault on a headless sway with two outputs: after the first tick the output at (0, 0)
shows the desktop distorted exactly as the closed-form pictures of the X11 suite say, while the second
output keeps its own wallpaper; the robot of fault 4 and the fire of fault 7 go on moving; at scale 2
the picture is exact in physical pixels; and a key ends it all with the desktop back as it was."""

import wharness
from fault_pictures import expected, scorch_only


def changing(n, steady):
    """A test of screenshots in turn: true once n different pictures passed `steady`; a picture that
    does not pass it fails the wait at once."""
    seen = set()

    def check(rgb):
        if not steady(rgb):
            raise AssertionError("a picture off the expected one")
        seen.add(rgb)
        return len(seen) >= n

    return check


class Faults(wharness.SwayTestCase):
    def setUp(self):
        super().setUp()
        self.other = self.sway.add_output([p ^ 0x5A5A5A for p in self.pattern])

    def dismiss(self, program, what):
        self.sway.key("space")
        self.assert_quiet_exit(program, what)
        self.sway.wait_for_screen(self.sway.desktop_rgb, "the desktop back after %s" % what)

    def test_each_fault_and_its_motion(self):
        w, h, p = self.w, self.h, self.pattern
        top = (h // 4) * w * 3  # the robot stays above the squeezed picture of fault 4
        squeezed = wharness.rgb_bytes(expected(4, w, h, p))[top:]
        scorched = scorch_only(w, h, p)
        cases = [(kind, {}, expected(kind, w, h, p), None) for kind in (1, 2, 3, 5, 6, 8)] + [
            (4, {"DispRobo": 1}, None, lambda rgb: rgb[top:] == squeezed and any(rgb[:top])),
            (7, {"EternalFire": 1}, None, lambda rgb: scorched(wharness.pixels_of(rgb))),
        ]
        for kind, keys, picture, steady in cases:
            self.sway.write_profile(**dict({"DispType": kind, "DispRobo": 0}, **keys))
            with self.subTest(fault=kind), self.start() as program:
                if picture:
                    self.sway.wait_for_screen(picture, "the picture of fault %d" % kind)
                else:
                    self.sway.wait_for_screen(None, "fault %d's first moving picture" % kind, accept=steady)
                    self.sway.wait_for_screen(None, "fault %d moving" % kind, accept=changing(3, steady))
                self.assertEqual(self.sway.screenshot(self.other), self.sway.wallpapers[self.other],
                                 "the second output changed under fault %d" % kind)
                self.dismiss(program, "fault %d" % kind)

    def test_scale_two_is_exact_in_physical_pixels(self):
        self.sway.swaymsg("output", "HEADLESS-1", "scale", "2")
        self.sway.wait_for_screen(self.sway.desktop_rgb, "the wallpaper at scale 2")
        self.sway.write_profile(DispType=1, DispRobo=0)
        program = self.start()
        self.sway.wait_for_screen(expected(1, self.w, self.h, self.pattern), "the half-turned desktop at scale 2")
        self.dismiss(program, "fault 1 at scale 2")


if __name__ == "__main__":
    wharness.main()
