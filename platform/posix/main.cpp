// The Linux program's start: WinMain gets the resource table as its instance, the command-line tail and
// the show code 10 (show default). The tail is the arguments joined by single blanks, unless the host
// was started the way xscreensaver starts a hack: then the saver runs inside the window it was given,
// with a one-copy guard of that window's own.
//
// As a command-line program should, it answers --help and --version, and says on standard error when a
// command line starts nothing or the saver has no display; the exit code stays 0.

#include "../saver_switches.h"
#include "host_switches.h"
#include "internal.h"

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
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "Settings: $XDG_CONFIG_HOME/SCRWARPVUE.ini (else ~/.config/SCRWARPVUE.ini). See scrwarpvue(6).\n";

bool has_argument(int argc, char **argv, const char *name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return true;
    return false;
}

} // namespace

int main(int argc, char **argv) {
    if (has_argument(argc, argv, "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (has_argument(argc, argv, "--version")) {
        std::puts("scrwarpvue " SCRWARPVUE_VERSION);
        return 0;
    }
    posix::HostStart start = posix::read_host_switches(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
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
        const SaverSwitches asked = ScanSwitches(start.tail.c_str());
        if (!asked.configure && !asked.saver) {
            std::fputs(
                "scrwarpvue: nothing to start: /s runs the saver, /c opens its settings (--help for more)\n",
                stderr);
        } else if (const char *why = nullptr; !asked.configure && !backend::display_available(&why)) {
            std::fprintf(stderr, "scrwarpvue: %s\n", why); // the backend's own reason, or the choice's
        }
    }
    return WinMain(posix::module_instance(), nullptr, start.tail.data(), SW_SHOWDEFAULT);
}
