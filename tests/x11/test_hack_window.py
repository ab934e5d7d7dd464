"""The saver inside a window another client owns, the way xscreensaver runs it: the stage is that window,
the desktop comes from the window's _SCREENSAVER_SCREENSHOT pixmap (else the root window under it),
input and the pointer are left alone, SIGTERM or the window going away end it with exit code 0, and the
one-copy guard is per window."""

import os
import signal
import subprocess

import xharness

WX, WY, WW, WH = 100, 60, 160, 120  # the host window, smaller than the 320x240 screen


def other_picture(w, h):
    """A picture unlike the desktop pattern, every pixel distinct."""
    return [0xFFFFFF ^ p for p in xharness.test_pattern(w, h)]


class HostWindow:
    """A black override-redirect window made by the helper, with an optional screenshot pixmap."""

    def __init__(self, server, x, y, w, h, screenshot=None):
        args = [xharness.XDESK, "host", str(x), str(y), str(w), str(h)]
        if screenshot:
            sw, sh, pixels = screenshot
            path = os.path.join(server.tmp, "shot-%d.ppm" % len(os.listdir(server.tmp)))
            xharness.write_ppm(path, sw, sh, pixels)
            args.append(path)
        self.proc = subprocess.Popen(args, env=server.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     text=True)
        line = self.proc.stdout.readline().split()
        if len(line) != 2 or line[0] != "window":
            raise AssertionError("the host window did not map")
        self.id = line[1]

    def destroy(self):
        if self.proc.poll() is None:
            self.proc.stdin.close()
            self.proc.wait(xharness.DEADLINE)
            self.proc.stdout.close()


class HackWindow(xharness.SaverTestCase):
    def host(self, *args, **kw):
        window = HostWindow(self.x, *args, **kw)
        self.addCleanup(window.destroy)
        return window

    def start_in(self, window_id, *args):
        env = dict(self.x.env, XSCREENSAVER_WINDOW=window_id)
        saver = xharness.Saver(self.x, args, env=env)
        self.savers.append(saver)
        return saver

    def screen_with(self, x0, y0, w, h, local, base=None):
        """The desktop (or `base`) with the window's rectangle showing local(x, y)."""
        want = list(base or self.pattern)
        for y in range(h):
            for x in range(w):
                want[(y0 + y) * self.w + x0 + x] = local(x, y)
        return want

    def test_screenshot_cropped_to_the_window_and_input_left_alone(self):
        shot = other_picture(self.w, self.h)
        window = self.host(WX, WY, WW, WH, screenshot=(self.w, self.h, shot))
        self.x.write_profile(DispType=1)  # upside down and mirrored: both edges of the stage show
        saver = self.start_in(window.id)
        want = self.screen_with(WX, WY, WW, WH,
                                lambda x, y: shot[(WY + WH - 1 - y) * self.w + WX + WW - 1 - x])
        self.x.wait_for_screen(want, "the screenshot's part under the window, turned half round")

        # The same window again: one copy per window.
        self.assert_quiet_exit(self.start_in(window.id), "a second copy for the same window")

        # Input belongs to whoever owns the window: keys, clicks and moves do not end the saver, nothing
        # is grabbed and the pointer stays visible.
        self.x.xdotool("mousemove", WX + 10, WY + 10)
        self.x.xdotool("mousemove", WX + 50, WY + 40, "click", 1, "click", 3, "key", "space")
        grabs = subprocess.run([xharness.XDESK, "grabs"], env=self.x.env, stdout=subprocess.PIPE, text=True,
                               check=True, timeout=xharness.DEADLINE).stdout.split("\n")
        self.assertEqual(grabs[:2], ["keyboard free", "pointer free"])
        cursor = subprocess.run([xharness.XDESK, "cursor"], env=self.x.env, stdout=subprocess.PIPE, text=True,
                                check=True, timeout=xharness.DEADLINE).stdout.strip()
        self.assertEqual(cursor, "shown")
        # A cover over the window makes the saver repaint: once it has, the input before it was handled.
        cover = self.x.cover(WX + 20, WY + 20, 40, 30)
        cover.close()
        self.x.wait_for_screen(want, "the scene repainted after the cover")
        self.assert_still_running(saver, "keys, clicks and moves")

        saver.proc.send_signal(signal.SIGTERM)
        self.assert_quiet_exit(saver, "SIGTERM")
        self.x.wait_for_screen(self.screen_with(WX, WY, WW, WH, lambda x, y: 0), "the host window alone again")

    def test_each_window_its_own_copy_and_picture(self):
        """Without a screenshot, the root window under the window; a screenshot as big as the window
        (xscreensaver's picture of one monitor) is all of it, wherever the window is; a smaller one sits in
        the middle, black around it. Destroying a window ends its copy."""
        small_shot, fitting_shot = other_picture(40, 30), other_picture(60, 50)[::-1]
        window = self.host(WX, WY, WW, WH)
        small = self.host(0, 0, 80, 60, screenshot=(40, 30, small_shot))
        fitting = self.host(260, 190, 60, 50, screenshot=(60, 50, fitting_shot))
        self.x.write_profile(DispType=5)  # mirrored
        copies = [xharness.Saver(self.x, ("--window-id", window.id)),
                  self.start_in(small.id, "-root"),  # xscreensaver's way: the switch and the environment
                  self.start_in(fitting.id)]
        self.savers += copies

        def centred(x, y):
            x, y = 79 - x - 20, y - 15
            return small_shot[y * 40 + x] if 0 <= x < 40 and 0 <= y < 30 else 0

        want = self.screen_with(WX, WY, WW, WH, lambda x, y: self.pattern[(WY + y) * self.w + WX + WW - 1 - x])
        want = self.screen_with(0, 0, 80, 60, centred, want)
        want = self.screen_with(260, 190, 60, 50, lambda x, y: fitting_shot[y * 60 + 59 - x], want)
        self.x.wait_for_screen(want, "three windows, three copies, each with its own picture")

        for host, saver in zip((window, small, fitting), copies):
            host.destroy()
            self.assert_quiet_exit(saver, "its window going away")

    def test_root_window(self):
        self.x.write_profile(DispType=8)  # colours inverted
        saver = self.start("--root")
        self.x.wait_for_screen([p ^ 0xFFFFFF for p in self.pattern], "the inverted desktop over the root window")
        self.assertEqual(subprocess.run([xharness.XDESK, "grabs"], env=self.x.env, stdout=subprocess.PIPE,
                                        text=True, check=True, timeout=xharness.DEADLINE).stdout.split(),
                         ["keyboard", "free", "pointer", "free"])
        saver.proc.send_signal(signal.SIGTERM)
        self.assert_quiet_exit(saver, "SIGTERM")


if __name__ == "__main__":
    xharness.main()
