"""Input on a real X server: what dismisses the saver (with exit code 0 and not a word printed) and what
does not. Every input is sent only once the saver shows its picture, with keyboard and pointer grabbed."""

import xharness

KIND = 8  # inverted colours: one transfer per picture, quick to draw and to repaint


class Input(xharness.SaverTestCase):
    def setUp(self):
        super().setUp()
        self.x.write_profile(DispType=KIND, DispRobo=0)
        self.inverted = [~v & 0xFFFFFF for v in self.pattern]

    def start_and_wait(self):
        saver = self.start()
        self.x.wait_for_screen(self.inverted, "the saver's picture")
        return saver

    def assert_survives(self, saver, what):
        """Shows that the saver handled everything sent so far and is still there: a window mapped over
        part of it goes below it again, which only a running saver does."""
        cover = self.x.cover(10, 10, 100, 80)
        try:
            self.x.wait_for_saver_on_top(self.inverted, what)
        finally:
            cover.close()
        self.assert_still_running(saver, what)

    def test_dismissing_inputs(self):
        cases = [
            ("a key press", ("key", "a")),
            ("Alt+Tab", ("key", "alt+Tab")),
            ("a left click", ("click", "1")),
            ("a right click", ("click", "3")),
            ("a move changing both coordinates", ("mousemove_relative", "--", "37", "23")),
        ]
        for what, command in cases:
            with self.subTest(input=what):
                saver = self.start_and_wait()
                self.x.xdotool(*command)
                self.assert_quiet_exit(saver, what)

    def test_inputs_that_do_not_dismiss(self):
        saver = self.start_and_wait()
        self.assertEqual(xharness.subprocess.run([xharness.XDESK, "cursor"], env=self.x.env, text=True,
                                                 stdout=xharness.subprocess.PIPE).stdout.strip(), "hidden",
                         "the pointer shows while the saver runs")
        sx, sy = self.x.pointer()
        self.x.xdotool("mousemove", sx + 40, sy)
        self.assert_survives(saver, "a purely horizontal move")
        self.x.xdotool("mousemove", sx, sy)  # back along the same row: still only x changes
        self.x.xdotool("mousemove", sx, sy + 30)
        self.assert_survives(saver, "a purely vertical move")
        self.x.xdotool("mousemove", sx, sy)
        self.x.xdotool("click", "2")
        self.assert_survives(saver, "the middle button")
        for button in (4, 5, 6, 7):
            self.x.xdotool("click", button)
        self.assert_survives(saver, "the wheel, both ways and sideways")
        self.x.xdotool("key", "Escape")
        self.assert_quiet_exit(saver, "a key after the harmless inputs")


if __name__ == "__main__":
    xharness.main()
