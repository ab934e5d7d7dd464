// The Wayland backend's entry in the layer's table of display backends. A compositor finishes the
// snapshot and the cover's configuration later, presents from buffers of the backend's own and paces
// frames with its callbacks: the asynchronous parts of the interface are all here. It cannot live inside
// another client's window (xscreensaver's hosting is X11's). When the compositor is reached but lacks
// layer-shell or screen capture, the choice stops with its reason: an X server beside it (Xwayland)
// would neither cover the screen nor see the desktop.

#include "wayland_state.h"

namespace backend {

extern const DisplayBackend kWaylandDisplay;
const DisplayBackend kWaylandDisplay = {
    .name = "wayland",
    .open = wayland::open,
    .refusal_ends_choice = true,
    .screen_size = wayland::screen_size,
    .capture_begin = wayland::capture_begin,
    .capture_poll = wayland::capture_poll,
    .capture_cancel = wayland::capture_cancel,
    .create_window = wayland::create_window,
    .window_configured = wayland::window_configured,
    .show_window = wayland::show_window,
    .destroy_window = wayland::destroy_window,
    .present = wayland::present,
    .frame_ready = wayland::frame_ready,
    .press_waiting = wayland::press_waiting,
    .set_cursor_visible = wayland::set_cursor_visible,
    .cursor_pos = wayland::cursor_pos,
    .wait_events = wayland::wait_events,
};

} // namespace backend
