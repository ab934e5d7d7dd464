"""The settings dialog ("/c") on a real X server: what it shows, what confirming and cancelling store,
the keyboard, and the one-copy rule while it is open.

DialogTestCase (also used by test_dialog_warning.py) starts the program on a private X server large
enough for the dialog, finds its windows by title, waits for the keyboard focus, clicks at template
positions and sends the close request a window manager would send."""

import ctypes
import ctypes.util
import os
import shutil
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import xharness  # noqa: E402
from xharness import DEADLINE, wait_for  # noqa: E402

TITLE = "スクリーンセーバー設定"
WARNING_TITLE = "SCRWARPVUE"

# The template's dialog size and control cells (x, y, width, height), in dialog units.
DIALOG_UNITS = (188, 169)
ROBOT_BOX = (26, 122, 96, 10)
OVERVOLTAGE = (37, 86, 106, 9)
MIRROR = (37, 67, 79, 8)
WIRING = (37, 23, 86, 10)


def profile_keys(text):
    """The key=value lines of a profile as a dict (None for no file)."""
    if text is None:
        return None
    keys = {}
    for line in text.splitlines():
        if "=" in line:
            key, value = line.split("=", 1)
            keys[key.strip()] = value.strip()
    return keys


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


def send_close_request(display, window):
    """Sends WM_DELETE_WINDOW to the window, as a window manager's close button does."""
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = xlib.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open display %s" % display)
    try:
        event = _Event()
        event.client.type = 33  # ClientMessage
        event.client.window = window
        event.client.message_type = xlib.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.data[0] = xlib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        event.client.data[1] = 0  # CurrentTime
        xlib.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
        xlib.XSync(dpy, 0)
    finally:
        xlib.XCloseDisplay(dpy)


class DialogTestCase(unittest.TestCase):
    """A private X server without a window manager, big enough for the dialog."""

    SCREEN = (800, 600)

    def setUp(self):
        if not xharness.SCRWARPVUE:
            self.fail("SCRWARPVUE_BIN must name the program")
        self.x = xharness.XServer(*self.SCREEN)
        self.addCleanup(self.x.close)
        self.programs = []
        self.addCleanup(lambda: [p.close() for p in self.programs])

    def start(self, *args, env=None):
        program = xharness.Saver(self.x, args, env)
        self.programs.append(program)
        return program

    def xdotool_out(self, *args):
        result = subprocess.run(["xdotool", *[str(a) for a in args]], env=self.x.env, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True, timeout=DEADLINE)
        return result.stdout if result.returncode == 0 else ""

    def visible_window(self, title):
        ids = self.xdotool_out("search", "--onlyvisible", "--name", "^%s$" % title).split()
        return int(ids[0]) if ids else None

    def wait_window(self, title):
        return wait_for(lambda: self.visible_window(title), "a window titled %r" % title)

    def wait_window_gone(self, title):
        wait_for(lambda: self.visible_window(title) is None, "the window %r to go" % title)

    def focused_window(self):
        out = self.xdotool_out("getwindowfocus", "-f").strip()
        return int(out) if out.isdigit() else None

    def wait_focus(self, window, what):
        wait_for(lambda: self.focused_window() == window, "the keyboard focus on %s" % what)

    def key(self, window, what, *keys):
        """Presses keys once the window holds the keyboard."""
        self.wait_focus(window, what)
        self.x.xdotool("key", *keys)

    def geometry(self, window):
        out = self.xdotool_out("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def click_cell(self, window, cell):
        """Clicks the middle of a control's template cell, scaled as the dialog's window is."""
        _, _, width, height = self.geometry(window)
        x, y, cx, cy = cell
        px = round((x + cx / 2) * width / DIALOG_UNITS[0])
        py = round((y + cy / 2) * height / DIALOG_UNITS[1])
        self.x.xdotool("mousemove", "--window", window, px, py, "click", "1")

    def picture(self, window):
        """The window's pixels once two dumps in a row agree (GTK has finished drawing)."""
        last = [None]

        def settled():
            out = subprocess.run(["xwd", "-silent", "-id", str(window)], env=self.x.env, stdout=subprocess.PIPE,
                                 check=True, timeout=DEADLINE).stdout
            picture = xharness.parse_xwd(out)
            same = picture == last[0]
            last[0] = picture
            return same

        wait_for(settled, "the dialog to be drawn")
        return last[0]

    def cell_pixels(self, picture, cell):
        """The pixels of a control's template cell in a window picture."""
        width, height, pixels = picture
        x0 = round(cell[0] * width / DIALOG_UNITS[0])
        x1 = round((cell[0] + cell[2]) * width / DIALOG_UNITS[0])
        y0 = round(cell[1] * height / DIALOG_UNITS[1])
        y1 = round((cell[1] + cell[3]) * height / DIALOG_UNITS[1])
        return [pixels[y * width + x] for y in range(y0, y1) for x in range(x0, x1)]

    def open_dialog(self, **profile):
        """Starts "/c" (over a profile with these keys, if any) and waits for its window and focus."""
        if profile:
            self.x.write_profile(**profile)
        program = self.start("/c")
        window = self.wait_window(TITLE)
        self.wait_focus(window, "the dialog")
        return program, window

    def assert_quiet_exit(self, program, what):
        code = program.wait_exit()
        self.assertEqual(code, 0, "%s: exit code %d, output %r" % (what, code, program.output()))
        self.assertEqual(program.output(), "", "%s: the program printed something" % what)

    def wait_profile(self, what, **want):
        """Waits until the profile holds these keys with these values."""

        def holds():
            keys = profile_keys(self.x.read_profile()) or {}
            return all(keys.get(k) == str(v) for k, v in want.items())

        wait_for(holds, what)


class SettingsDialogTest(DialogTestCase):
    def test_defaults_are_confirmed_with_enter(self):
        # No settings file: "配線ミス" (type 1) is selected and the robot box checked.
        program, window = self.open_dialog()
        self.assertIsNone(self.x.read_profile(), "opening the dialog wrote the profile")
        self.key(window, "the dialog", "Return")
        self.assert_quiet_exit(program, "confirming")
        keys = profile_keys(self.x.read_profile())
        self.assertEqual((keys.get("DispType"), keys.get("DispRobo")), ("1", "1"), keys)

    def test_stored_choice_is_shown_and_fire_setting_survives(self):
        # Type 4 is control 1002, the fourth button; DispRobo 2 leaves the robot box clear.
        program, window = self.open_dialog(DispType=4, DispRobo=2, EternalFire=5)
        self.key(window, "the dialog", "Return")
        self.assert_quiet_exit(program, "confirming")
        keys = profile_keys(self.x.read_profile())
        self.assertEqual(keys, {"DispType": "4", "DispRobo": "0", "EternalFire": "5"})

    def test_unknown_type_leaves_every_radio_button_clear(self):
        # The "配線ミス" button as drawn when type 2 is stored is the picture of an unchecked button; with
        # type 9 it must look the same, and with type 1 it must not. Confirming with none checked stores 1.
        rows = {}
        for stored in (2, 1, 9):
            program, window = self.open_dialog(DispType=stored, DispRobo=1)
            rows[stored] = self.cell_pixels(self.picture(window), WIRING)
            self.key(window, "the dialog", "Return")
            self.assert_quiet_exit(program, "confirming type %d" % stored)
        self.assertNotEqual(rows[1], rows[2], "a checked and a clear button look the same")
        self.assertEqual(rows[9], rows[2], "type 9 shows a radio button checked")
        self.assertEqual(profile_keys(self.x.read_profile()).get("DispType"), "1")

    def test_clicking_the_robot_box_clears_it(self):
        program, window = self.open_dialog(DispType=2, DispRobo=1)
        self.click_cell(window, ROBOT_BOX)
        self.key(window, "the dialog", "Return")
        self.assert_quiet_exit(program, "confirming")
        keys = profile_keys(self.x.read_profile())
        self.assertEqual((keys.get("DispType"), keys.get("DispRobo")), ("2", "0"), keys)

    def test_keyboard_tab_stops_space_and_enter(self):
        # Tab goes confirm -> cancel -> the checked fault -> robot box; Space toggles the box; Enter on a
        # control that is no push button presses the default one.
        program, window = self.open_dialog(DispType=5, DispRobo=1)
        self.key(window, "the dialog", "Tab", "Tab", "Tab", "space", "Return")
        self.assert_quiet_exit(program, "confirming from the keyboard")
        keys = profile_keys(self.x.read_profile())
        self.assertEqual((keys.get("DispType"), keys.get("DispRobo")), ("5", "0"), keys)

    def test_arrow_keys_choose_a_fault(self):
        # From the checked fault (mirror, 1004) Up chooses the power shortage (1003, type 3).
        program, window = self.open_dialog(DispType=5, DispRobo=1)
        self.key(window, "the dialog", "Tab", "Tab", "Up", "Return")
        self.assert_quiet_exit(program, "confirming the arrow's choice")
        self.assertEqual(profile_keys(self.x.read_profile()).get("DispType"), "3")

    def test_enter_on_the_focused_cancel_button_cancels(self):
        program, window = self.open_dialog(DispType=3, DispRobo=0)
        before = self.x.read_profile()
        self.key(window, "the dialog", "Tab", "Return")
        self.assert_quiet_exit(program, "Enter on the cancel button")
        self.assertEqual(self.x.read_profile(), before)

    def test_escape_and_close_request_cancel(self):
        for how in ("Escape", "close request"):
            with self.subTest(how=how):
                # Escape with no file (none may appear), the close request over an existing one.
                if how == "Escape":
                    program, window = self.open_dialog()
                else:
                    program, window = self.open_dialog(DispType=6, DispRobo=1, EternalFire=0)
                before = self.x.read_profile()
                self.click_cell(window, ROBOT_BOX)  # a change that must not be stored
                if how == "Escape":
                    self.key(window, "the dialog", "Escape")
                else:
                    send_close_request(self.x.display, window)
                self.assert_quiet_exit(program, how)
                self.assertEqual(self.x.read_profile(), before, "%s changed the profile" % how)

    def test_termination_signals_cancel_and_release_the_lock(self):
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            with self.subTest(signal=sig.name):
                program, window = self.open_dialog(DispType=6, DispRobo=1, EternalFire=0)
                before = self.x.read_profile()
                self.click_cell(window, ROBOT_BOX)  # a change that must not be stored
                program.proc.send_signal(sig)
                self.assert_quiet_exit(program, sig.name)
                self.wait_window_gone(TITLE)
                self.assertEqual(self.x.read_profile(), before, "%s changed the profile" % sig.name)
        again, window = self.open_dialog()  # the lock went with the dialog
        self.key(window, "the dialog", "Escape")
        self.assert_quiet_exit(again, "a dialog after the signals")

    def test_losing_the_x_server_cancels_quietly(self):
        program, window = self.open_dialog(DispType=6, DispRobo=1, EternalFire=0)
        before = self.x.read_profile()
        self.click_cell(window, ROBOT_BOX)
        self.x.proc.kill()
        self.x.proc.wait(DEADLINE)
        self.assert_quiet_exit(program, "the dialog losing its X server")
        self.assertEqual(self.x.read_profile(), before)

    def test_without_a_display_nothing_opens_and_it_says_so(self):
        env = dict(self.x.env)
        env.pop("DISPLAY")
        program = self.start("/c", env=env)
        self.assertEqual(program.wait_exit(), 0)
        self.assertEqual(program.output(), "scrwarpvue: no X display to open the settings dialog on (is DISPLAY set?)\n")
        self.assertIsNone(self.x.read_profile())

    def test_a_missing_dialog_module_is_said_in_one_line(self):
        # The program alone, without its dialog module beside it or installed next to it.
        alone = os.path.join(self.x.tmp, "bin", "scrwarpvue")
        os.makedirs(os.path.dirname(alone))
        shutil.copy(xharness.SCRWARPVUE, alone)
        done = subprocess.run([alone, "/c"], env=self.x.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              text=True, timeout=DEADLINE)
        self.assertEqual((done.returncode, done.stdout), (0, ""))
        self.assertRegex(done.stderr, r"^scrwarpvue: the settings dialog is not installed: no "
                                      r"scrwarpvue-dialog\.so in [^\n]*\n$")
        self.assertIsNone(self.x.read_profile())
        again, window = self.open_dialog()  # the lock went with it
        self.key(window, "the dialog", "Escape")
        self.assert_quiet_exit(again, "a dialog after the missing module")

    def test_saver_cannot_start_while_the_dialog_is_open(self):
        dialog, window = self.open_dialog(DispType=2, DispRobo=1)
        saver = self.start("/s")
        self.assert_quiet_exit(saver, "a saver started beside the dialog")
        self.assertTrue(dialog.running(), "the dialog ended when the saver tried to start")
        self.assertEqual(self.visible_window(TITLE), window)
        self.key(window, "the dialog", "Escape")
        self.assert_quiet_exit(dialog, "cancelling")


if __name__ == "__main__":
    xharness.main()
