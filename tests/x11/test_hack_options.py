"""The options xscreensaver's settings window offers, from packaging/scrwarpvue.xml, against the
program: every option's arguments are ones the program takes without a word, and each shows what it
names (the fault by its number, the robot dropping in, the fire) over the settings file's own choice,
which stays in the file as it was."""

import os
import signal
import xml.etree.ElementTree as ET

import xharness
from fault_pictures import BLACK, expected, scorch_only

XML = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "scrwarpvue.xml")
PROFILE = "[SCRWARPVUE_SECTION]\nDispType=1\nDispRobo=0\nEternalFire=0\n"


class HackOptions(xharness.SaverTestCase):
    def robot_on_the_picture(self, pixels):
        """Fault 4's picture with something drawn into the black band above it (the robot)."""
        top = self.h // 4 * self.w
        want = expected(4, self.w, self.h, self.pattern)
        return pixels[top:] == want[top:] and any(p != BLACK for p in pixels[:top])

    def test_every_option_is_an_argument_that_shows_what_it_names(self):
        hack = ET.parse(XML).getroot()
        self.assertEqual(hack.find("command").get("arg"), "--root")
        selects = {s.get("id"): s.findall("option") for s in hack.findall("select")}
        self.assertEqual(sorted(selects), ["fault", "fire", "robot"])
        for options in selects.values():
            self.assertIsNone(options[0].get("arg-set"), "the first option keeps the settings file's choice")
        faults = [o.get("arg-set") for o in selects["fault"][1:]]
        self.assertEqual(faults, ["--fault %d" % n for n in range(1, 9)], "one option a fault, in order")

        w, h, p = self.w, self.h, self.pattern
        runs = []
        for n, args in enumerate(faults, 1):
            picture = expected(n, w, h, p)
            runs.append((args, scorch_only(w, h, p) if n == 7 else (lambda px, want=picture: px == want)))
        for option in selects["robot"][1:] + selects["fire"][1:]:
            args = option.get("arg-set")
            if "robot" in args:
                picture = expected(4, w, h, p)
                check = self.robot_on_the_picture if args == "--robot" else (lambda px, want=picture: px == want)
                runs.append(("--fault 4 " + args, check))
            else:
                runs.append(("--fault 7 " + args, scorch_only(w, h, p)))

        for args, check in runs:
            with self.subTest(args=args):
                self.x.write_profile(DispType=1, DispRobo=0, EternalFire=0)
                saver = self.start("--root", *args.split())
                self.x.wait_for_screen(None, "what %s names" % args, accept=check)
                saver.proc.send_signal(signal.SIGTERM)
                self.assert_quiet_exit(saver, args)
                self.assertEqual(self.x.read_profile(), PROFILE)


if __name__ == "__main__":
    xharness.main()
