// The Linux host's switches for running inside another client's window.

#include "host_switches.h"

#include <cstring>

namespace {

// A window id: "0x" and hexadecimal digits, or decimal digits; X ids fit in 29 bits, 0 is none.
bool parse_window_id(const char *text, unsigned long *out) {
    if (!text) return false;
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    if (!*text) return false;
    unsigned long value = 0;
    for (const char *p = text; *p; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        else
            return false;
        value = value * unsigned(base) + unsigned(digit);
        if (value > 0x1FFFFFFFul) return false;
    }
    if (value == 0) return false;
    *out = value;
    return true;
}

bool is(const char *arg, const char *name) {
    return std::strcmp(arg, name) == 0 || (arg[0] == '-' && std::strcmp(arg + 1, name) == 0);
}

} // namespace

namespace posix {

HostStart read_host_switches(int argc, const char *const *argv, const char *environment_window) {
    HostStart start;
    bool window_switch = false, root_switch = false, window_ok = false;
    unsigned long window = 0;
    std::string rest;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (is(arg, "-window-id")) {
            window_switch = true;
            const char *value = i + 1 < argc ? argv[++i] : nullptr;
            window_ok = parse_window_id(value, &window);
        } else if (std::strncmp(arg, "--window-id=", 12) == 0) {
            window_switch = true;
            window_ok = parse_window_id(arg + 12, &window);
        } else if (is(arg, "-root")) {
            root_switch = true;
        } else {
            if (!rest.empty()) rest += ' ';
            rest += arg;
        }
    }
    unsigned long env_window = 0;
    const bool env_set = environment_window && *environment_window;
    const bool env_ok = env_set && parse_window_id(environment_window, &env_window);

    if (window_switch) {
        start.embedded = window_ok;
        start.window = window;
    } else if (root_switch) {
        start.embedded = true;
        start.window = env_ok ? env_window : 0;
    } else if (env_set && rest.empty()) {
        start.embedded = env_ok;
        start.window = env_window;
    } else {
        start.tail = rest;
        return start;
    }
    if (start.embedded) start.tail = "/s";
    return start;
}

} // namespace posix
