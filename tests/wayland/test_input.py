"""Input on a headless sway: what ends the saver (exit code 0, not a word printed, the desktop back
exactly) and what does not. The saver shows fault 4 with the robot, so a saver that still runs shows it
moving. The pointer waits on a second output while the desktop is captured, and comes onto the covered
output by a purely horizontal move; from there on sway's cursor must not show over the cover."""

import wharness
from fault_pictures import expected


class Input(wharness.SwayTestCase):
    def setUp(self):
        super().setUp()
        w, h = self.w, self.h
        self.other = self.sway.add_output([p ^ 0x5A5A5A for p in self.pattern])
        self.top = (h // 4) * w * 3
        self.squeezed = wharness.rgb_bytes(expected(4, w, h, self.pattern))[self.top:]
        self.sway.write_profile(DispType=4, DispRobo=1)
        self.mouse = self.pointer()
        self.park()

    def park(self):
        self.mouse.move_to(self.w + self.w // 2, self.h // 2, 2 * self.w, self.h)

    def start_and_enter(self):
        """The saver with its first picture, and the pointer moved onto its middle."""
        program = self.start()
        try:
            self.sway.wait_for_screen(None, "the squeezed picture", accept=self.steady)
            self.mouse.move_to(self.w // 2, self.h // 2, 2 * self.w, self.h)
        except BaseException:
            program.close()
            raise
        return program

    def steady(self, rgb):
        """The squeezed picture below the robot's foot line, no cursor on it."""
        return rgb[self.top:] == self.squeezed

    def assert_survives(self, program, what):
        """The robot moves twice more after the input (the saver has read it by then), the cursor stays
        hidden, and the saver still runs."""
        seen = set()

        def check(rgb):
            self.assertTrue(self.steady(rgb), "the picture broke after %s" % what)
            seen.add(rgb[:self.top])
            return len(seen) >= 3

        self.sway.wait_for_screen(None, "the robot moving after %s" % what, accept=check)
        self.assert_still_running(program, what)

    def test_dismissing_inputs(self):
        cases = [
            ("a key press", lambda: self.sway.key("a")),
            ("Alt+Tab", lambda: self.sway.run("wtype", "-M", "alt", "-k", "Tab", "-m", "alt")),
            ("a left click", lambda: self.mouse.click(1)),
            ("a right click", lambda: self.mouse.click(3)),
            ("a move changing both coordinates", lambda: self.mouse.move_by(37, 23)),
        ]
        for what, send in cases:
            with self.subTest(input=what), self.start_and_enter() as program:
                send()
                self.assert_quiet_exit(program, what)
                self.park()
                self.sway.wait_for_screen(self.sway.desktop_rgb, "the desktop back after %s" % what)

    def test_inputs_that_do_not_dismiss(self):
        program = self.start_and_enter()
        self.assert_survives(program, "the pointer coming over from the other output")
        for what, there, back in [("a purely horizontal move", (40, 0), (-40, 0)),
                                  ("a purely vertical move", (0, 30), (0, -30))]:
            self.mouse.move_by(*there)
            self.assert_survives(program, what)
            self.mouse.move_by(*back)  # along the same line back: still one coordinate only
        self.mouse.click(2)
        self.assert_survives(program, "the middle button")
        for command in ("wheel 0 15", "wheel 0 -15", "wheel 1 15", "wheel 1 -15"):
            self.mouse.send(command)
        self.assert_survives(program, "the wheel, both ways and sideways")
        self.sway.key("Escape")
        self.assert_quiet_exit(program, "a key after the harmless inputs")


if __name__ == "__main__":
    wharness.main()
