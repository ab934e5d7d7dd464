"""The overvoltage warning: confirming the dialog with the overvoltage button shows the "SCRWARPVUE"
box over the dialog first, and the choice is stored only once the box is closed."""

from test_dialog import MIRROR, OVERVOLTAGE, TITLE, WARNING_TITLE, DialogTestCase, profile_keys
import xharness


class FireWarningTest(DialogTestCase):
    def test_warning_comes_before_the_write(self):
        program, window = self.open_dialog(DispType=2, DispRobo=1, EternalFire=5)
        before = self.x.read_profile()
        self.click_cell(window, OVERVOLTAGE)
        self.key(window, "the dialog", "Return")
        box = self.wait_window(WARNING_TITLE)
        self.assertNotEqual(box, window)
        self.assertEqual(self.x.read_profile(), before, "the choice was stored while the warning is shown")
        self.assertTrue(program.running())
        self.key(box, "the warning", "Return")
        self.assert_quiet_exit(program, "confirming after the warning")
        keys = profile_keys(self.x.read_profile())
        self.assertEqual(keys, {"DispType": "7", "DispRobo": "1", "EternalFire": "5"})

    def test_a_termination_signal_during_the_warning_stores_nothing(self):
        program, window = self.open_dialog(DispType=2, DispRobo=1, EternalFire=5)
        before = self.x.read_profile()
        self.click_cell(window, OVERVOLTAGE)
        self.key(window, "the dialog", "Return")
        self.wait_window(WARNING_TITLE)
        program.proc.terminate()
        self.assert_quiet_exit(program, "SIGTERM during the warning")
        self.assertEqual(self.x.read_profile(), before)

    def test_other_choices_store_at_once(self):
        # Clicking the overvoltage button and then another one: no warning, the last click counts.
        program, window = self.open_dialog(DispType=1, DispRobo=0)
        self.click_cell(window, OVERVOLTAGE)
        self.click_cell(window, MIRROR)
        self.key(window, "the dialog", "Return")
        self.assert_quiet_exit(program, "confirming the mirror fault")
        keys = profile_keys(self.x.read_profile())
        self.assertEqual((keys.get("DispType"), keys.get("DispRobo")), ("5", "0"), keys)
        self.assertIsNone(self.visible_window(WARNING_TITLE))


if __name__ == "__main__":
    xharness.main()
