// An invisible pointer for the X11 backend's window.
#pragma once

#include <X11/Xlib.h>

namespace x11 {

// An empty 1x1 cursor on the screen of root.
Cursor create_empty_cursor(Display *dpy, Window root);

} // namespace x11
