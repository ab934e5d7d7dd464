// The table of display backends and the choice among them. Each backend is one entry, defined in its own
// folder; a build holds the entries its library names (SCRWARPVUE_DISPLAY_X11 and the like, set by the
// build): the program wayland and x11, the tests headless. The first entry that opens is taken, in table
// order, unless SCRWARPVUE_BACKEND names one; when none opens, the layer draws through a backend of no
// display.

#include "display_backend.h"

#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>

namespace backend {

#ifdef SCRWARPVUE_DISPLAY_WAYLAND
extern const DisplayBackend kWaylandDisplay;
#endif
#ifdef SCRWARPVUE_DISPLAY_X11
extern const DisplayBackend kX11Display;
#endif
#ifdef SCRWARPVUE_DISPLAY_HEADLESS
extern const DisplayBackend kHeadlessDisplay;
#endif

namespace {

// In the order they are tried.
const DisplayBackend *const kBackends[] = {
#ifdef SCRWARPVUE_DISPLAY_WAYLAND
    &kWaylandDisplay, // before x11: under a compositor, Xwayland's DISPLAY is set too
#endif
#ifdef SCRWARPVUE_DISPLAY_X11
    &kX11Display,
#endif
#ifdef SCRWARPVUE_DISPLAY_HEADLESS
    &kHeadlessDisplay,
#endif
    nullptr, // the end (and no empty array in a build without a backend)
};
constexpr size_t kBackendCount = sizeof kBackends / sizeof kBackends[0] - 1;

// No display at all: nothing to show on, nothing to read; the wait still hears the wake descriptor.
bool none_open(const char **) {
    return false;
}
void none_screen_size(int *w, int *h) {
    *w = *h = 0;
}
Progress none_capture_begin(int, int, int, int, uint32_t *, int) {
    return Progress::Refused;
}
Progress none_create_window(HWND, int, int, int, int, unsigned long, Surface *) {
    return Progress::Refused;
}
void none_show_window(HWND, bool) {}
void none_destroy_window(HWND, Surface *) {}
bool none_present(HWND, const Surface &, int, int, int, int) {
    return true;
}
bool none_press_waiting() {
    return false;
}
void none_set_cursor_visible(bool) {}
bool none_cursor_pos(int *x, int *y) {
    *x = *y = 0;
    return false;
}
void none_wait_events(int timeout_ms, int wake_fd) {
    if (timeout_ms == 0) return;
    pollfd p{wake_fd, POLLIN, 0};
    poll(&p, wake_fd >= 0 ? 1 : 0, timeout_ms);
}

const DisplayBackend kNoDisplay = {
    .name = "none",
    .open = none_open,
    .screen_size = none_screen_size,
    .capture_begin = none_capture_begin,
    .create_window = none_create_window,
    .show_window = none_show_window,
    .destroy_window = none_destroy_window,
    .present = none_present,
    .press_waiting = none_press_waiting,
    .set_cursor_visible = none_set_cursor_visible,
    .cursor_pos = none_cursor_pos,
    .wait_events = none_wait_events,
};

const DisplayBackend *g_chosen = nullptr;
const char *g_why = nullptr;
bool g_hosted = false;
unsigned long g_host_window = 0;
std::string g_message; // the text g_why points to when the choice made it up

} // namespace

const DisplayBackend *choose_display(const DisplayBackend *const *table, size_t count, const char *forced,
                                     bool hosted, unsigned long host_window, const char **why) {
    *why = nullptr;
    const bool is_forced = forced && *forced;
    bool named = false;
    for (size_t i = 0; i < count; ++i) {
        const DisplayBackend *b = table[i];
        if (is_forced && std::strcmp(b->name, forced) != 0) continue;
        named = true;
        if (hosted && !b->use_host_window) {
            if (is_forced) {
                g_message = std::string("the ") + b->name + " backend cannot run inside another window";
                *why = g_message.c_str();
            }
            continue;
        }
        if (hosted) b->use_host_window(host_window);
        const char *reason = nullptr;
        if (b->open(&reason)) {
            *why = nullptr;
            return b;
        }
        if (!*why) *why = reason;
        if (reason && b->refusal_ends_choice) return nullptr;
    }
    if (is_forced && !named) {
        g_message = std::string("no display backend named \"") + forced + "\" (this build has:";
        for (size_t i = 0; i < count; ++i)
            g_message += std::string(" ") + table[i]->name;
        g_message += ")";
        *why = g_message.c_str();
    }
    if (!*why) *why = "no display to run the saver on";
    return nullptr;
}

const DisplayBackend &display() {
    if (!g_chosen) {
        g_chosen = choose_display(kBackends, kBackendCount, std::getenv("SCRWARPVUE_BACKEND"), g_hosted,
                                  g_host_window, &g_why);
        if (!g_chosen) g_chosen = &kNoDisplay;
    }
    return *g_chosen;
}

bool display_available(const char **why) {
    const bool open = &display() != &kNoDisplay;
    *why = open ? nullptr : g_why;
    return open;
}

void use_host_window(unsigned long window) {
    g_hosted = true;
    g_host_window = window;
}

void set_display(const DisplayBackend *backend) {
    g_chosen = backend;
    g_why = nullptr;
}

} // namespace backend
