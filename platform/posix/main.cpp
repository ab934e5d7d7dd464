// The Linux program's start: WinMain gets the resource table as its instance, the command-line tail and
// the show code 10 (show default). The tail is the arguments joined by single blanks, unless the host
// was started the way xscreensaver starts a hack: then the saver runs inside the window it was given,
// with a one-copy guard of that window's own.

#include "backend.h"
#include "host_switches.h"
#include "internal.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
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
    }
    return WinMain(posix::module_instance(), nullptr, start.tail.data(), SW_SHOWDEFAULT);
}
