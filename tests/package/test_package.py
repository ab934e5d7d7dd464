"""What a user installs. `cmake --install` puts exactly the program, its xscreensaver link and config,
the man page, the menu entry and the icons under the prefix; `cpack -G DEB` makes a .deb holding the
same files under /usr whose dependencies are shared libraries only; and the program unpacked from it
runs the saver as xscreensaver starts it, and finds its dialog module. lintian, Debian's package checker, finds neither errors nor
warnings in the .deb."""

import os
import re
import signal
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "x11"))
import xharness  # noqa: E402

BUILD = os.environ.get("BUILD_DIR", "")
MULTIARCH = subprocess.run(["gcc", "-print-multiarch"], stdout=subprocess.PIPE, text=True).stdout.strip()
INSTALLED = {
    "bin/scrwarpvue",
    "lib/%s/scrwarpvue/scrwarpvue-dialog.so" % MULTIARCH,
    "libexec/xscreensaver/scrwarpvue",
    "share/xscreensaver/config/scrwarpvue.xml",
    "share/man/man6/scrwarpvue.6.gz",
    "share/applications/scrwarpvue.desktop",
    "share/icons/hicolor/32x32/apps/scrwarpvue.png",
    "share/icons/hicolor/128x128/apps/scrwarpvue.png",
    "share/doc/scrwarpvue/copyright",
    "share/doc/scrwarpvue/changelog.gz",
}


def files_under(top):
    found = set()
    for path, _, names in os.walk(top):
        for name in names:
            found.add(os.path.relpath(os.path.join(path, name), top))
    return found


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", path
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


class Package(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="scrwarpvue-package-")
        self.addCleanup(self.tmp.cleanup)

    def run_tool(self, *argv):
        return subprocess.run(list(argv), check=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=500).stdout

    def test_install_listing(self):
        prefix = os.path.join(self.tmp.name, "prefix")
        self.run_tool(os.environ["CMAKE_COMMAND"], "--install", BUILD, "--prefix", prefix)
        self.assertEqual(files_under(prefix), INSTALLED)
        link = os.path.join(prefix, "libexec/xscreensaver/scrwarpvue")
        self.assertEqual(os.readlink(link), "../../bin/scrwarpvue")
        self.assertTrue(os.path.samefile(link, os.path.join(prefix, "bin/scrwarpvue")))

        hack = ET.parse(os.path.join(prefix, "share/xscreensaver/config/scrwarpvue.xml")).getroot()
        self.assertEqual((hack.tag, hack.get("name")), ("screensaver", "scrwarpvue"))
        self.assertEqual(hack.find("command").get("arg"), "--root")
        self.assertIn("scrwarpvue /c", hack.find("_description").text)

        with open(os.path.join(prefix, "share/applications/scrwarpvue.desktop")) as f:
            entry = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)
        self.assertEqual((entry["Exec"], entry["Icon"], entry["Type"]), ("scrwarpvue /c", "scrwarpvue", "Application"))
        for size in (32, 128):
            self.assertEqual(png_size(os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/scrwarpvue.png" %
                                                   (size, size))), (size, size))

    def test_deb_depends_on_libraries_only_and_its_program_runs(self):
        out = os.path.join(self.tmp.name, "deb")
        self.run_tool(os.environ["CPACK_COMMAND"], "--config", os.path.join(BUILD, "CPackConfig.cmake"),
                      "-G", "DEB", "-B", out)
        debs = [name for name in os.listdir(out) if name.endswith(".deb")]
        self.assertEqual(len(debs), 1, debs)
        self.assertRegex(debs[0], r"^scrwarpvue_\d+\.\d+\.\d+_[a-z0-9]+\.deb$")
        deb = os.path.join(out, debs[0])

        self.assertEqual(self.run_tool("dpkg-deb", "-f", deb, "Suggests").strip(), "xscreensaver | xautolock | swayidle")
        # Errors and warnings only; lintian's infos (optional hardening, say) are advice.
        said = self.run_tool("lintian", "--no-tag-display-limit", deb)
        self.assertEqual([line for line in said.splitlines() if line[:2] in ("E:", "W:")], [], said)

        depends = self.run_tool("dpkg-deb", "-f", deb, "Depends").strip()
        names = [re.match(r"\s*([a-z0-9.+-]+)", alt).group(1)
                 for dep in depends.split(",") for alt in dep.split("|")]
        for name in names:
            self.assertRegex(name, r"^lib.*[0-9]", "%s is not a shared library's package" % name)
            self.assertNotRegex(name, r"-dev$|gtest|benchmark|mingw|wine")
        for needed in ("libc6", "libx11-6", "libgtk-3-0", "libwayland-client0"):
            self.assertIn(needed, names)

        listing = self.run_tool("dpkg-deb", "-c", deb)
        entries = {line.split()[5][len("./usr/"):] for line in listing.splitlines()
                   if not line.split()[5].endswith("/")}
        self.assertEqual(entries, INSTALLED)

        root = os.path.join(self.tmp.name, "root")
        self.run_tool("dpkg", "-x", deb, root)
        x = xharness.XServer(160, 120)
        self.addCleanup(x.close)
        pattern = xharness.test_pattern(160, 120)
        x.set_desktop(pattern)
        x.write_profile(DispType=5)
        # Started the way xscreensaver starts it: through the link, over the root window.
        self.run_until_shown(x, [os.path.join(root, "usr/libexec/xscreensaver/scrwarpvue"), "--root"],
                             lambda: x.wait_for_screen([pattern[y * 160 + 159 - i] for y in range(120)
                                                        for i in range(160)], "the unpacked program's mirrored desktop"))
        # The settings dialog, from the module the package put beside the program's folder.
        self.run_until_shown(x, [os.path.join(root, "usr/bin/scrwarpvue"), "/c"],
                             lambda: xharness.wait_for(lambda: subprocess.run(
                                 ["xdotool", "search", "--onlyvisible", "--name", "設定$"], env=x.env,
                                 stdout=subprocess.DEVNULL).returncode == 0, "the unpacked program's settings dialog"))

    def run_until_shown(self, x, command, wait_until_shown):
        """Runs the command on x until wait_until_shown returns, then ends it with SIGTERM: exit 0, silent."""
        program = subprocess.Popen(command, env=x.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            wait_until_shown()
            program.send_signal(signal.SIGTERM)
            self.assertEqual(program.wait(xharness.DEADLINE), 0)
            self.assertEqual(program.stdout.read(), b"")
        finally:
            if program.poll() is None:
                program.kill()
                program.wait()
            program.stdout.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
