"""The harness on its own, without the program: sway shows the wallpaper pixel for pixel (setUp waits
for it), an added output shows its own, and the pointer client's device puts sway's cursor where it
was moved, drawn into every screenshot, until the client disconnects. The other suites rely on that:
a cursor the program failed to hide, or caught in its capture, shows in their pictures."""

import wharness


class Harness(wharness.SwayTestCase):
    def test_outputs_and_pointer(self):
        other = [p ^ 0x5A5A5A for p in self.pattern]
        name = self.sway.add_output(other)
        self.assertEqual(self.sway.screenshot(), self.sway.desktop_rgb, "the first output changed")
        pointer = self.pointer()
        pointer.move_to(200, 150, 2 * self.w, self.h)
        shot = self.sway.wait_for_screen(None, "the cursor near (200, 150)",
                                         accept=lambda rgb: rgb != self.sway.desktop_rgb)
        changed = [i // 3 for i in range(0, len(shot), 3) if shot[i:i + 3] != self.sway.desktop_rgb[i:i + 3]]
        xs, ys = [i % self.w for i in changed], [i // self.w for i in changed]
        self.assertTrue(190 <= min(xs) and max(xs) < 240 and 140 <= min(ys) and max(ys) < 200, (xs, ys))
        pointer.move_to(self.w + 100, 100, 2 * self.w, self.h)  # onto the second output
        self.sway.wait_for_screen(self.sway.desktop_rgb, "the first output without the cursor")
        self.assertNotEqual(self.sway.screenshot(name), self.sway.wallpapers[name], "no cursor on %s" % name)
        pointer.close()
        self.sway.wait_for_screen(self.sway.wallpapers[name], "the second output without the cursor", output=name)


if __name__ == "__main__":
    wharness.main()
