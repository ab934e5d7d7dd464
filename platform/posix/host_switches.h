// The Linux host's own switches, read before the command line reaches the entry: the ways xscreensaver
// (and anything imitating it) starts a hack inside a window it owns.
#pragma once

#include <string>

namespace posix {

struct HostStart {
    bool embedded = false;    // run the saver inside another client's window
    unsigned long window = 0; // that window; 0 is the root window
    std::string tail;         // the command-line tail the entry receives
};

// `-window-id ID` / `--window-id ID` (0x... hexadecimal or decimal) names the window; `-root` / `--root`
// asks for xscreensaver's window ($XSCREENSAVER_WINDOW, passed as `environment_window`) or else the root
// window; $XSCREENSAVER_WINDOW alone counts when the command line holds nothing else. Any of these gives
// the entry "/s"; a window id that is not a number gives it nothing to start. Every other command line
// reaches the entry as the arguments joined by single blanks.
HostStart read_host_switches(int argc, const char *const *argv, const char *environment_window);

// Makes the single-instance guard one per `scope` (a target window) instead of one per user.
void set_guard_scope(const std::string &scope);

} // namespace posix
