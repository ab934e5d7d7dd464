// The X11 backend's entry in the layer's table of display backends. An X server knows a window's size at
// once, captures and presents synchronously (the window's pixels are the image the server reads) and
// has no frame callbacks: the asynchronous parts of the interface are left out.

#include "x11_state.h"

namespace x11 {
namespace {

bool open(const char **why) {
    if (open_display()) return true;
    *why = "no X display to run the saver on (is DISPLAY set?)";
    return false;
}

backend::Progress capture_begin(int x, int y, int w, int h, uint32_t *dst, int dst_stride) {
    read_screen(x, y, w, h, dst, dst_stride);
    return backend::Progress::Done;
}

backend::Progress create(HWND hwnd, int x, int y, int w, int h, unsigned long parent, Surface *surf) {
    return create_window(hwnd, x, y, w, h, surf, parent) ? backend::Progress::Done
                                                         : backend::Progress::Refused;
}

bool present_rect(HWND hwnd, const Surface &, int x, int y, int w, int h) {
    present(hwnd, x, y, w, h); // the surface is the image itself
    return true;
}

} // namespace
} // namespace x11

namespace backend {

extern const DisplayBackend kX11Display;
const DisplayBackend kX11Display = {
    .name = "x11",
    .open = x11::open,
    .use_host_window = x11::use_host_window,
    .screen_size = x11::screen_size,
    .capture_begin = x11::capture_begin,
    .create_window = x11::create,
    .show_window = x11::show_window,
    .destroy_window = x11::destroy_window,
    .present = x11::present_rect,
    .press_waiting = x11::press_waiting,
    .set_cursor_visible = x11::set_cursor_visible,
    .cursor_pos = x11::cursor_pos,
    .wait_events = x11::wait_events,
};

} // namespace backend
