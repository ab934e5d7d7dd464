// The cover: one layer-shell surface on the overlay layer of the covered output, anchored to its four
// edges over every panel (exclusive zone -1), with the keyboard its own. The compositor decides its size
// (the output's, in logical units); its pixels are the output's physical ones: an integer scale through
// the buffer scale, any other through a viewport of the logical size over a buffer of the physical size
// (wlroots rounds wl_output's scale up, so the fractional-scale protocol's preferred scale is the one
// believed). Frames are shown from two shared-memory buffers, whichever the compositor has released,
// each brought up to date with what it lacks; only what changed is damaged, and the next frame waits
// for the compositor's frame callback.

#include "wayland_state.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace wayland {
namespace {

void layer_configure(void *, zwlr_layer_surface_v1 *layer, uint32_t serial, uint32_t w, uint32_t h) {
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    if (g.configured && (int(w) != g.logical_w || int(h) != g.logical_h)) {
        // The output changed its size under the cover: the run ends rather than cover it wrongly.
        g.reported |= posix::display_lost();
        return;
    }
    g.logical_w = int(w);
    g.logical_h = int(h);
    g.configured = true;
}
void layer_closed(void *, zwlr_layer_surface_v1 *) {
    g.closed = true;
    g.reported |= posix::display_lost();
}
const zwlr_layer_surface_v1_listener kLayerListener = {.configure = layer_configure, .closed = layer_closed};

void preferred_scale(void *, wp_fractional_scale_v1 *, uint32_t scale) {
    g.preferred_scale = int(scale);
}
const wp_fractional_scale_v1_listener kFractionalListener = {.preferred_scale = preferred_scale};

void buffer_release(void *data, wl_buffer *) {
    static_cast<ShmBuffer *>(data)->busy = false;
}
const wl_buffer_listener kBufferListener = {.release = buffer_release};

void frame_done(void *, wl_callback *cb, uint32_t) {
    wl_callback_destroy(cb);
    if (cb == g.frame) g.frame = nullptr;
}
const wl_callback_listener kFrameListener = {.done = frame_done};

// Commits the surface with buffer i attached and the rectangle damaged, asking for a frame callback.
void commit(int i, int x, int y, int w, int h) {
    ShmBuffer &b = g.buffers[i];
    wl_surface_attach(g.surface, b.buffer, 0, 0);
    if (g.compositor_version >= 4)
        wl_surface_damage_buffer(g.surface, x, y, w, h);
    else
        wl_surface_damage(g.surface, 0, 0, INT32_MAX, INT32_MAX);
    if (g.frame) wl_callback_destroy(g.frame);
    g.frame = wl_surface_frame(g.surface);
    wl_callback_add_listener(g.frame, &kFrameListener, nullptr);
    wl_surface_commit(g.surface);
    b.busy = true;
    wl_display_flush(g.dpy);
}

// Chooses the buffers' size and how the compositor maps them onto the logical size configure gave.
void size_buffers() {
    int pw, ph;
    physical_size(&pw, &ph);
    const int lw = g.logical_w > 0 ? g.logical_w : pw, lh = g.logical_h > 0 ? g.logical_h : ph;
    const int s = lw > 0 ? pw / lw : 1;
    if (s >= 1 && pw == lw * s && ph == lh * s && (!g.preferred_scale || g.preferred_scale == 120 * s) &&
        (s == 1 || g.compositor_version >= 3)) {
        // An integer scale: the buffer's pixels are the output's, the compositor divides by s.
        g.buffer_w = pw;
        g.buffer_h = ph;
        if (s > 1) wl_surface_set_buffer_scale(g.surface, s);
    } else if (g.viewporter) {
        // A fractional scale: a buffer of the physical size shown at the logical size.
        g.buffer_w = g.preferred_scale ? int(std::lround(lw * g.preferred_scale / 120.0)) : pw;
        g.buffer_h = g.preferred_scale ? int(std::lround(lh * g.preferred_scale / 120.0)) : ph;
        g.viewport = wp_viewporter_get_viewport(g.viewporter, g.surface);
        wp_viewport_set_destination(g.viewport, lw, lh);
    } else {
        // Neither: the logical size, which the compositor scales up.
        g.buffer_w = lw;
        g.buffer_h = lh;
    }
}

} // namespace

// Of the backend's entry (backend.cpp).

backend::Progress create_window(HWND hwnd, int, int, int, int, unsigned long parent, Surface *surf) {
    (void)surf;
    if (!alive() || parent || g.surface || !g.covered || g.covered_gone) return backend::Progress::Refused;
    g.hwnd = hwnd;
    g.surface = wl_compositor_create_surface(g.compositor);
    if (g.fractional) {
        g.fractional_scale = wp_fractional_scale_manager_v1_get_fractional_scale(g.fractional, g.surface);
        wp_fractional_scale_v1_add_listener(g.fractional_scale, &kFractionalListener, nullptr);
    }
    g.layer = zwlr_layer_shell_v1_get_layer_surface(g.layer_shell, g.surface, g.covered->wl,
                                                    ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "scrwarpvue");
    zwlr_layer_surface_v1_add_listener(g.layer, &kLayerListener, nullptr);
    zwlr_layer_surface_v1_set_size(g.layer, 0, 0);
    zwlr_layer_surface_v1_set_anchor(
        g.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                     ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(g.layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(g.layer,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    // The first commit carries no buffer: the compositor answers with the size. Nothing shows yet, so a
    // capture taken now pictures the desktop without the cover.
    wl_surface_commit(g.surface);
    wl_display_flush(g.dpy);
    return backend::Progress::Pending;
}

backend::Progress window_configured(HWND hwnd, Surface *surf) {
    if (hwnd != g.hwnd || !alive() || g.closed || g.covered_gone) return backend::Progress::Refused;
    if (!g.configured) return backend::Progress::Pending;
    if (g.buffer_w == 0) {
        size_buffers();
        for (ShmBuffer &b : g.buffers) {
            if (!make_shm_buffer(&b, g.buffer_w, g.buffer_h, g.buffer_w * 4, WL_SHM_FORMAT_XRGB8888, false))
                return backend::Progress::Refused;
            wl_buffer_add_listener(b.buffer, &kBufferListener, &b);
        }
    }
    // The layer draws into pixels of its own; present copies from them.
    *surf = Surface{nullptr, g.buffer_w, g.buffer_h, 0};
    return backend::Progress::Done;
}

void show_window(HWND hwnd, bool show) {
    if (hwnd != g.hwnd || !alive() || !g.configured || g.closed) return;
    if (show && !g.mapped) {
        // Not over a desktop that could not be pictured: the run is ending.
        if (g.capture_failed) return;
        // Mapped with the window's pixels as they are: black, as a window is when shown, and as both
        // buffers are (new, or given back after the capture; neither is touched here).
        g.mapped = true;
        commit(0, 0, 0, g.buffer_w, g.buffer_h);
        g.stale[1][0] = g.stale[1][2] = 0;
    } else if (!show && g.mapped) {
        wl_surface_attach(g.surface, nullptr, 0, 0);
        wl_surface_commit(g.surface);
        wl_display_flush(g.dpy);
        g.mapped = false;
    }
}

void destroy_window(HWND hwnd, Surface *) {
    if (hwnd != g.hwnd) return;
    if (g.dpy) {
        if (g.frame) wl_callback_destroy(g.frame);
        if (g.viewport) wp_viewport_destroy(g.viewport);
        if (g.fractional_scale) wp_fractional_scale_v1_destroy(g.fractional_scale);
        if (g.layer) zwlr_layer_surface_v1_destroy(g.layer);
        if (g.surface) wl_surface_destroy(g.surface);
        for (ShmBuffer &b : g.buffers)
            free_shm_buffer(&b);
        if (alive()) wl_display_flush(g.dpy);
    }
    g.frame = nullptr;
    g.viewport = nullptr;
    g.fractional_scale = nullptr;
    g.layer = nullptr;
    g.surface = nullptr;
    g.hwnd = nullptr;
    g.configured = g.mapped = false;
    g.buffer_w = g.buffer_h = 0;
}

// r (x0, y0, x1, y1) grows to hold `add` as well; an empty one (x1 <= x0) adds nothing, an empty r
// becomes `add`.
static void unite(int *r, const int *add) {
    if (add[2] <= add[0]) return;
    if (r[2] <= r[0]) {
        std::copy(add, add + 4, r);
        return;
    }
    r[0] = std::min(r[0], add[0]), r[1] = std::min(r[1], add[1]);
    r[2] = std::max(r[2], add[2]), r[3] = std::max(r[3], add[3]);
}

bool present(HWND hwnd, const Surface &surf, int x, int y, int w, int h) {
    if (hwnd != g.hwnd || !alive() || !g.mapped || g.closed || !surf.px) return true; // gone: dropped
    int i = !g.buffers[0].busy ? 0 : !g.buffers[1].busy ? 1 : -1;
    if (i < 0) return false; // both with the compositor: again after a release
    // This buffer gets the rectangle and what it lacked from frames shown in the other one.
    int *st = g.stale[i];
    int r[4] = {x, y, x + w, y + h};
    unite(r, st);
    int x0 = std::max(r[0], 0), y0 = std::max(r[1], 0), x1 = r[2], y1 = r[3];
    x1 = std::min({x1, surf.w, g.buffer_w}), y1 = std::min({y1, surf.h, g.buffer_h});
    ShmBuffer &b = g.buffers[i];
    for (int row = y0; row < y1 && x1 > x0; ++row)
        std::memcpy(b.data + size_t(row) * size_t(b.stride) + size_t(x0) * 4,
                    surf.px + size_t(row) * size_t(surf.stride) + size_t(x0), size_t(x1 - x0) * 4);
    st[0] = st[1] = st[2] = st[3] = 0;
    const int drawn[4] = {x, y, x + w, y + h};
    unite(g.stale[1 - i], drawn);
    // Against the frame shown before, only the rectangle changed.
    commit(i, x, y, w, h);
    return true;
}

bool frame_ready(HWND hwnd) {
    return hwnd != g.hwnd || !g.frame || !alive();
}

} // namespace wayland
