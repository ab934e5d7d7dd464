// The Linux program's start: WinMain gets the resource table as its instance, the command-line tail and
// the show code 10 (show default). The tail is the arguments joined by single blanks, unless the host
// was started the way xscreensaver starts a hack: then the saver runs inside the window it was given,
// with a one-copy guard of that window's own.
//
// As a command-line program should, it answers --help and --version, and says on standard error when a
// command line starts nothing or there is no display to start on; the exit code stays 0.

#include "../saver_switches.h"
#include "host_switches.h"
#include "internal.h"
#include "saver_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "Usage: scrwarpvue /s | /c\n"
    "A screen saver that pretends the monitor broke.\n"
    "\n"
    "  /s                run the saver over the primary monitor\n"
    "  /c                open the settings dialog, where the fault is chosen\n"
    "  --root            run inside xscreensaver's window ($XSCREENSAVER_WINDOW), else the root window\n"
    "  --window-id ID    run inside the X window ID (0x... or decimal)\n"
    "\n"
    "For this saver run only, instead of the settings file's choice (the file is not changed):\n"
    "  --fault N         show fault N: 1 wiring error (upside down and mirrored), 2 horizontal-sync\n"
    "                    fault (half width), 3 power shortage (half size), 4 vertical-sync fault (half\n"
    "                    height, with the robot), 5 mirror fault, 6 overuse (tilted), 7 overvoltage (on\n"
    "                    fire), 8 colour-shift fault (inverted colours)\n"
    "  --robot, --no-robot                let the robot of fault 4 appear, or keep it away\n"
    "  --eternal-fire, --no-eternal-fire  keep the fire of fault 7 burning for ever, or let it burn out\n"
    "\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "Display: a Wayland compositor with layer-shell and screen capture (sway, Hyprland, river,\n"
    "labwc, wayfire, niri) when WAYLAND_DISPLAY names one, else the X server of DISPLAY.\n"
    "SCRWARPVUE_BACKEND=wayland or SCRWARPVUE_BACKEND=x11 in the environment forces one of them.\n"
    "\n"
    "Settings: $XDG_CONFIG_HOME/SCRWARPVUE.ini (else ~/.config/SCRWARPVUE.ini). See scrwarpvue(6).\n";

bool has_argument(int argc, char **argv, const char *name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return true;
    return false;
}

} // namespace

int main(int argc, char **argv) {
    // Before anything else: a termination signal, however early, ends the program with exit code 0.
    posix::close_on_signals();
    if (has_argument(argc, argv, "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (has_argument(argc, argv, "--version")) {
        std::puts("scrwarpvue " SCRWARPVUE_VERSION);
        return 0;
    }
    const posix::SaverChoices choices = posix::take_saver_options(&argc, argv, stderr);
    posix::HostStart start = posix::read_host_switches(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
    const SaverSwitches asked = ScanSwitches(start.tail.c_str());
    if (start.embedded || (asked.saver && !asked.configure))
        posix::use_saver_choices(choices);
    else if (choices.any() && asked.configure)
        std::fputs("scrwarpvue: --fault, --robot and --eternal-fire are for the saver; the dialog shows the "
                   "settings file\n",
                   stderr);
    if (start.embedded) {
        backend::use_host_window(start.window);
        const char *display = std::getenv("DISPLAY");
        char window[32];
        if (start.window)
            std::snprintf(window, sizeof window, "0x%lx", start.window);
        else
            std::snprintf(window, sizeof window, "root");
        posix::set_guard_scope(std::string(display ? display : "") + "-" + window);
    } else {
        if (!asked.configure && !asked.saver) {
            std::fputs(
                "scrwarpvue: nothing to start: /s runs the saver, /c opens its settings (--help for more)\n",
                stderr);
        } else if (const char *why = nullptr; !asked.configure && !backend::display_available(&why)) {
            std::fprintf(stderr, "scrwarpvue: %s\n", why); // the backend's own reason, or the choice's
        } else if (asked.configure && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
            std::fputs("scrwarpvue: no X display to open the settings dialog on (is DISPLAY set?)\n", stderr);
        }
    }
    return WinMain(posix::module_instance(), nullptr, start.tail.data(), SW_SHOWDEFAULT);
}
