// The Wayland backend's shared state, seen only by the backend's own files: the connection, its globals
// and the outputs (connection.cpp), shared-memory buffers (shm.cpp), the snapshot (capture.cpp), the
// cover over one output (cover.cpp), the seat's keyboard and pointer (input.cpp), and the entry in the
// layer's table of display backends (backend.cpp).
#pragma once

#include "../display_backend.h"

#include <cstdint>
#include <vector>

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wp_viewport;
struct wp_viewporter;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct zwlr_screencopy_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct ext_image_copy_capture_manager_v1;
struct ext_output_image_capture_source_manager_v1;

namespace wayland {

// One wl_output as the compositor describes it.
struct Output {
    uint32_t name = 0; // its global's name, for global_remove
    wl_output *wl = nullptr;
    zxdg_output_v1 *xdg = nullptr;
    int x = 0, y = 0;                 // wl_output.geometry's place in the compositor's space
    int logical_x = 0, logical_y = 0; // xdg_output's logical place, when told
    bool logical_known = false;
    int logical_w = 0, logical_h = 0; // xdg_output's logical size, when told
    int mode_w = 0, mode_h = 0;       // the current mode: physical pixels, before the transform
    int transform = 0;                // wl_output.transform
    int scale = 1;                    // wl_output.scale (rounded up by wlroots for fractional scales)
};

// A shared-memory buffer of the compositor's wl_shm.
struct ShmBuffer {
    wl_buffer *buffer = nullptr;
    uint8_t *data = nullptr;
    size_t size = 0;
    int w = 0, h = 0, stride = 0; // stride in bytes
    bool busy = false;            // attached and not yet released by the compositor
};

struct State {
    bool tried_open = false;
    wl_display *dpy = nullptr;
    bool dead = false; // the connection is lost: no more requests
    wl_registry *registry = nullptr;
    wl_compositor *compositor = nullptr;
    uint32_t compositor_version = 0;
    wl_shm *shm = nullptr;
    wl_seat *seat = nullptr;
    zwlr_layer_shell_v1 *layer_shell = nullptr;
    zwlr_screencopy_manager_v1 *screencopy = nullptr;
    uint32_t screencopy_version = 0;
    ext_image_copy_capture_manager_v1 *copy_capture = nullptr;
    ext_output_image_capture_source_manager_v1 *output_sources = nullptr;
    zxdg_output_manager_v1 *xdg_outputs = nullptr;
    wp_viewporter *viewporter = nullptr;
    wp_fractional_scale_manager_v1 *fractional = nullptr;
    std::vector<Output *> outputs;
    Output *covered = nullptr; // the output the saver covers and captures
    bool covered_gone = false; // ... which was unplugged

    // The cover.
    HWND hwnd = nullptr;
    wl_surface *surface = nullptr;
    zwlr_layer_surface_v1 *layer = nullptr;
    wp_viewport *viewport = nullptr;
    wp_fractional_scale_v1 *fractional_scale = nullptr;
    int preferred_scale = 0;          // the fractional scale in 120ths, once told
    bool configured = false;          // the first configure came (and was acknowledged)
    bool closed = false;              // the compositor closed the layer surface
    int logical_w = 0, logical_h = 0; // the size configure gave, in the surface's logical units
    int buffer_w = 0, buffer_h = 0;   // the pixels of the window and of each buffer
    bool mapped = false;
    ShmBuffer buffers[2];
    // What each buffer lacks of the window's pixels: presented into the other one since it was last
    // brought up to date (left, top, right, bottom; empty when right <= left).
    int stale[2][4] = {};
    wl_callback *frame = nullptr; // the frame callback asked for at the last commit, until it comes
    bool capture_failed = false;  // the snapshot could not be taken: the run ends without covering

    // What the seat's devices report.
    wl_pointer *pointer = nullptr;
    wl_keyboard *keyboard = nullptr;
    bool cursor_visible = true;

    bool reported = false; // a handler told the layer something (input, loss) since the wait began
};

extern State g;

inline bool alive() {
    return g.dpy && !g.dead;
}

// connection.cpp
bool connect(const char **why);
// Handles what the connection holds, reading what arrived without waiting. Returns how many events it
// handled, or -1 once the connection is lost.
int dispatch_now();
// The connection broke, or the compositor sent a protocol error: the run ends as on SIGTERM.
void connection_lost();
// The size of the covered output in its physical pixels, turned as the user sees it.
void physical_size(int *w, int *h);

// shm.cpp
// populate: its pages come in now, with one call, rather than one fault at a time when first touched.
bool make_shm_buffer(ShmBuffer *b, int w, int h, int stride, uint32_t format, bool populate);
void populate_shm_buffer(ShmBuffer *b);
// Gives its pages back: it reads as zeros again.
void empty_shm_buffer(ShmBuffer *b);
void free_shm_buffer(ShmBuffer *b);

// input.cpp
void seat_capabilities(uint32_t caps);
// When a key held down repeats next (posix::now_ms()), or -1.
int64_t next_repeat_ms();
void repeat_keys();

// What the backend's entry (backend.cpp) is made of, in the files above.
bool open(const char **why);
void screen_size(int *w, int *h);
backend::Progress capture_begin(int x, int y, int w, int h, uint32_t *dst, int dst_stride);
backend::Progress capture_poll();
void capture_cancel();
backend::Progress create_window(HWND hwnd, int x, int y, int w, int h, unsigned long parent, Surface *surf);
backend::Progress window_configured(HWND hwnd, Surface *surf);
void show_window(HWND hwnd, bool show);
void destroy_window(HWND hwnd, Surface *surf);
bool present(HWND hwnd, const Surface &surf, int x, int y, int w, int h);
bool frame_ready(HWND hwnd);
bool press_waiting();
void set_cursor_visible(bool visible);
bool cursor_pos(int *x, int *y);
void wait_events(int timeout_ms, int wake_fd);

} // namespace wayland
