"""The X11 backend's window inside another client's window: it fills that window with the pixels
pushed to it, grabs nothing, and leaves the rest of the screen alone (checks inside the helper, the
picture here)."""

import os
import subprocess

import xharness

XEMBED = os.environ.get("XEMBED_BIN", "")


class Embedded(xharness.SaverTestCase):
    def test_window_fills_its_parent(self):
        self.assertTrue(XEMBED, "XEMBED_BIN must name the helper")
        x, y, w, h, colour = 40, 30, 200, 150, 0x3366CC
        proc = subprocess.Popen([XEMBED, str(x), str(y), str(w), str(h), "%06X" % colour], env=self.x.env,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        line = proc.stdout.readline()
        if line.strip() != "embedded":
            proc.stdin.close()
            proc.wait(xharness.DEADLINE)
            self.fail("the helper failed: %s" % proc.stderr.read())
        want = [colour if x <= px < x + w and y <= py < y + h else self.pattern[py * self.w + px]
                for py in range(self.h) for px in range(self.w)]
        self.x.wait_for_screen(want, "the parent filled with the window's pixels")
        proc.stdin.close()
        self.assertEqual(proc.wait(xharness.DEADLINE), 0, proc.stderr.read())
        proc.stdout.close()
        proc.stderr.close()


if __name__ == "__main__":
    xharness.main()
