// On an X11 display: a lost X server ends the process quietly, with 0.
#pragma once

#include <gdk/gdk.h>

namespace gtk_dialog {

// Before GTK's start: keeps the handler other X connections have.
void remember_io_handler();
// After it: when GTK's display is an X11 one, losing it ends the process with 0 (other connections keep
// their handler). On any other display nothing changes.
void end_quietly_when_lost(GdkDisplay *display);

} // namespace gtk_dialog
