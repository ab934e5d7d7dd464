// The connection: the compositor's globals, the outputs and which one the saver covers, whether the
// compositor offers what the saver needs, and the wait for its events. The covered output is the one at
// the logical position (0, 0), the top left of the desktop (xdg-output's logical place when the
// compositor offers it, else wl_output's geometry); every other output is left alone. The compositor
// going away, or the covered output being unplugged, ends the run as SIGTERM would.

#include "wayland_state.h"

#include "ext-image-capture-source-v1-client-protocol.h"
#include "ext-image-copy-capture-v1-client-protocol.h"
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace wayland {

State g;

namespace {

// --- Outputs ---

void output_geometry(void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char *,
                     const char *, int32_t transform) {
    auto *o = static_cast<Output *>(data);
    o->x = x;
    o->y = y;
    o->transform = transform & 7;
}
void output_mode(void *data, wl_output *, uint32_t flags, int32_t w, int32_t h, int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    auto *o = static_cast<Output *>(data);
    o->mode_w = w;
    o->mode_h = h;
}
void output_done(void *, wl_output *) {}
void output_scale(void *data, wl_output *, int32_t factor) {
    static_cast<Output *>(data)->scale = std::max(factor, 1);
}
const wl_output_listener kOutputListener = {
    .geometry = output_geometry,
    .mode = output_mode,
    .done = output_done,
    .scale = output_scale,
    .name = nullptr,
    .description = nullptr,
};

void xdg_position(void *data, zxdg_output_v1 *, int32_t x, int32_t y) {
    auto *o = static_cast<Output *>(data);
    o->logical_x = x;
    o->logical_y = y;
    o->logical_known = true;
}
void xdg_size(void *data, zxdg_output_v1 *, int32_t w, int32_t h) {
    auto *o = static_cast<Output *>(data);
    o->logical_w = w;
    o->logical_h = h;
}
void xdg_done(void *, zxdg_output_v1 *) {}
void xdg_name(void *, zxdg_output_v1 *, const char *) {}
void xdg_description(void *, zxdg_output_v1 *, const char *) {}
const zxdg_output_v1_listener kXdgOutputListener = {
    .logical_position = xdg_position,
    .logical_size = xdg_size,
    .done = xdg_done,
    .name = xdg_name,
    .description = xdg_description,
};

void watch_xdg_output(Output *o) {
    if (!g.xdg_outputs || o->xdg) return;
    o->xdg = zxdg_output_manager_v1_get_xdg_output(g.xdg_outputs, o->wl);
    zxdg_output_v1_add_listener(o->xdg, &kXdgOutputListener, o);
}

// --- Globals ---

template <class T>
T *bind(wl_registry *registry, uint32_t name, const wl_interface *iface, uint32_t offered, uint32_t wanted) {
    return static_cast<T *>(wl_registry_bind(registry, name, iface, std::min(offered, wanted)));
}

void global(void *, wl_registry *registry, uint32_t name, const char *iface, uint32_t version) {
    if (std::strcmp(iface, wl_compositor_interface.name) == 0 && !g.compositor) {
        g.compositor_version = std::min(version, 4u);
        g.compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    } else if (std::strcmp(iface, wl_shm_interface.name) == 0 && !g.shm) {
        g.shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (std::strcmp(iface, wl_seat_interface.name) == 0 && !g.seat) {
        g.seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
        static const wl_seat_listener kSeatListener = {
            .capabilities = [](void *, wl_seat *, uint32_t caps) { seat_capabilities(caps); },
            .name = [](void *, wl_seat *, const char *) {},
        };
        wl_seat_add_listener(g.seat, &kSeatListener, nullptr);
    } else if (std::strcmp(iface, wl_output_interface.name) == 0) {
        auto *o = new Output;
        o->name = name;
        o->wl = bind<wl_output>(registry, name, &wl_output_interface, version, 2);
        wl_output_add_listener(o->wl, &kOutputListener, o);
        watch_xdg_output(o);
        g.outputs.push_back(o);
    } else if (std::strcmp(iface, zxdg_output_manager_v1_interface.name) == 0 && !g.xdg_outputs) {
        g.xdg_outputs =
            bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version, 3);
        for (Output *o : g.outputs)
            watch_xdg_output(o);
    } else if (std::strcmp(iface, zwlr_layer_shell_v1_interface.name) == 0 && !g.layer_shell) {
        g.layer_shell = bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 4);
    } else if (std::strcmp(iface, zwlr_screencopy_manager_v1_interface.name) == 0 && !g.screencopy) {
        g.screencopy_version = std::min(version, 3u);
        g.screencopy = bind<zwlr_screencopy_manager_v1>(registry, name, &zwlr_screencopy_manager_v1_interface,
                                                        version, 3);
    } else if (std::strcmp(iface, ext_image_copy_capture_manager_v1_interface.name) == 0 && !g.copy_capture) {
        g.copy_capture = bind<ext_image_copy_capture_manager_v1>(
            registry, name, &ext_image_copy_capture_manager_v1_interface, version, 1);
    } else if (std::strcmp(iface, ext_output_image_capture_source_manager_v1_interface.name) == 0 &&
               !g.output_sources) {
        g.output_sources = bind<ext_output_image_capture_source_manager_v1>(
            registry, name, &ext_output_image_capture_source_manager_v1_interface, version, 1);
    } else if (std::strcmp(iface, wp_viewporter_interface.name) == 0 && !g.viewporter) {
        g.viewporter = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (std::strcmp(iface, wp_fractional_scale_manager_v1_interface.name) == 0 && !g.fractional) {
        g.fractional = bind<wp_fractional_scale_manager_v1>(
            registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
    }
}

void global_remove(void *, wl_registry *, uint32_t name) {
    auto it = std::find_if(g.outputs.begin(), g.outputs.end(), [name](Output *o) { return o->name == name; });
    if (it == g.outputs.end()) return;
    Output *o = *it;
    if (o == g.covered) {
        // The screen the saver covers is gone: the run ends, as it ends on X11 when the primary monitor
        // goes away. The output's objects stay until then (the cover and a capture may name it).
        g.covered_gone = true;
        g.reported |= posix::display_lost();
        return;
    }
    if (o->xdg) zxdg_output_v1_destroy(o->xdg);
    // Released only where the bound version has the request (3 on): sending it to a version 2 output is
    // a protocol error, which would end the connection.
    if (wl_output_get_version(o->wl) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(o->wl);
    else
        wl_output_destroy(o->wl);
    g.outputs.erase(it);
    delete o;
}

const wl_registry_listener kRegistryListener = {.global = global, .global_remove = global_remove};

// What the program says when the compositor lacks what the saver needs (GNOME Shell lacks both, KDE Plasma
// the capture).
#define WLROOTS_FAMILY                                                                                       \
    "the saver runs on wlroots compositors such as sway, Hyprland, river, labwc, wayfire, niri"
#define CAPTURE_PROTOCOLS "ext_image_copy_capture_manager_v1 or zwlr_screencopy_manager_v1"
const char kLacksBoth[] =
    "this Wayland compositor offers neither zwlr_layer_shell_v1 (to cover the screen) nor "
    "a screen capture protocol (" CAPTURE_PROTOCOLS "); " WLROOTS_FAMILY;
const char kLacksLayerShell[] =
    "this Wayland compositor offers no zwlr_layer_shell_v1 to cover the screen with; " WLROOTS_FAMILY;
const char kLacksCapture[] = "this Wayland compositor offers no screen capture protocol (" CAPTURE_PROTOCOLS
                             ") to picture the desktop with; " WLROOTS_FAMILY;
#undef WLROOTS_FAMILY
#undef CAPTURE_PROTOCOLS

// The output at the desktop's logical top left, else the first one there is.
Output *choose_output() {
    for (Output *o : g.outputs) {
        const int x = o->logical_known ? o->logical_x : o->x, y = o->logical_known ? o->logical_y : o->y;
        if (x == 0 && y == 0 && o->mode_w > 0) return o;
    }
    for (Output *o : g.outputs)
        if (o->mode_w > 0) return o;
    return nullptr;
}

void disconnect() {
    // Everything bound goes with the connection; the compositor forgets it all at once.
    for (Output *o : g.outputs)
        delete o;
    g.outputs.clear();
    if (g.dpy) wl_display_disconnect(g.dpy);
    const bool tried = g.tried_open;
    g = State{};
    g.tried_open = tried;
}

} // namespace

bool connect(const char **why) {
    if (g.dpy) return true;
    if (g.tried_open) return false;
    g.tried_open = true;
    // Only a session that names its compositor: a stray socket is not looked for.
    const char *name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) return false;
    g.dpy = wl_display_connect(nullptr);
    if (!g.dpy) return false; // no compositor there after all: the choice goes on quietly
    g.registry = wl_display_get_registry(g.dpy);
    wl_registry_add_listener(g.registry, &kRegistryListener, nullptr);
    // The globals; then what the outputs and the seat say about themselves.
    if (wl_display_roundtrip(g.dpy) < 0 || wl_display_roundtrip(g.dpy) < 0) {
        disconnect();
        return false;
    }
    const bool can_cover = g.layer_shell && g.compositor && g.shm;
    const bool can_capture = (g.copy_capture && g.output_sources) || g.screencopy;
    if (!can_cover || !can_capture) {
        *why = !can_cover && !can_capture ? kLacksBoth : !can_cover ? kLacksLayerShell : kLacksCapture;
        disconnect();
        return false;
    }
    g.covered = choose_output();
    if (!g.covered) {
        *why = "the Wayland compositor has no output to cover";
        disconnect();
        return false;
    }
    return true;
}

void connection_lost() {
    g.dead = true;
    g.reported |= posix::display_lost();
}

int dispatch_now() {
    if (!alive()) return -1;
    int n = wl_display_dispatch_pending(g.dpy);
    int more = 0;
    while (n >= 0 && wl_display_prepare_read(g.dpy) != 0) {
        if ((more = wl_display_dispatch_pending(g.dpy)) < 0) break;
        n += more;
    }
    if (n < 0 || more < 0) {
        connection_lost();
        return -1;
    }
    wl_display_flush(g.dpy);
    pollfd p{wl_display_get_fd(g.dpy), POLLIN, 0};
    if (poll(&p, 1, 0) > 0) {
        if (wl_display_read_events(g.dpy) < 0 || (more = wl_display_dispatch_pending(g.dpy)) < 0) {
            connection_lost();
            return -1;
        }
        n += more;
    } else {
        wl_display_cancel_read(g.dpy);
    }
    return n;
}

void physical_size(int *w, int *h) {
    *w = *h = 0;
    if (!g.covered || g.covered_gone) return;
    const Output &o = *g.covered;
    const bool quarter = o.transform & 1;
    *w = quarter ? o.mode_h : o.mode_w;
    *h = quarter ? o.mode_w : o.mode_h;
}

// Of the backend's entry (backend.cpp).

bool open(const char **why) {
    return connect(why);
}

void screen_size(int *w, int *h) {
    physical_size(w, h);
}

void wait_events(int timeout_ms, int wake_fd) {
    g.reported = false;
    const int64_t before = posix::now_ms();
    const int handled = dispatch_now();
    if (handled < 0) {
        // Lost: only the wake descriptor and the clock are left to wait on.
        if (timeout_ms == 0 || g.reported) return;
        pollfd p{wake_fd, POLLIN, 0};
        poll(&p, wake_fd >= 0 ? 1 : 0, timeout_ms);
        return;
    }
    repeat_keys();
    // Anything handled (a frame callback, a released buffer, a configure) may be what the layer waits for.
    if (g.reported || handled > 0 || timeout_ms == 0) return;
    const int64_t deadline = timeout_ms < 0 ? -1 : before + timeout_ms;
    for (;;) {
        int64_t until = deadline;
        const int64_t repeat = next_repeat_ms();
        if (repeat >= 0 && (until < 0 || repeat < until)) until = repeat;
        int wait = -1;
        if (until >= 0) wait = int(std::clamp<int64_t>(until - posix::now_ms(), 0, 1 << 30));
        int queued = 0;
        while (wl_display_prepare_read(g.dpy) != 0) {
            const int more = wl_display_dispatch_pending(g.dpy);
            if (more < 0) return connection_lost();
            queued += more;
        }
        if (queued > 0 || g.reported) {
            wl_display_cancel_read(g.dpy);
            return;
        }
        if (wl_display_flush(g.dpy) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(g.dpy);
            return connection_lost();
        }
        pollfd fds[2];
        nfds_t n = 0;
        fds[n++] = pollfd{wl_display_get_fd(g.dpy), POLLIN, 0};
        if (wake_fd >= 0) fds[n++] = pollfd{wake_fd, POLLIN, 0};
        const int r = poll(fds, n, wait);
        if (r > 0 && fds[0].revents) {
            if (wl_display_read_events(g.dpy) < 0 || wl_display_dispatch_pending(g.dpy) < 0)
                return connection_lost();
            return; // something came: the layer looks at what changed
        }
        wl_display_cancel_read(g.dpy);
        if (r < 0 && errno != EINTR) return;
        if (r > 0) return; // a termination signal: the layer sees to it
        repeat_keys();
        if (g.reported) return;
        if (deadline >= 0 && posix::now_ms() >= deadline) return;
    }
}

} // namespace wayland
