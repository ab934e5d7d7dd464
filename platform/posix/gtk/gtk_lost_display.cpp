// The X error handler of GTK's connection. GTK's own handler for a lost X server prints a message and
// exits with 1. GTK cannot go on without its display, and nothing is stored while GTK waits for events,
// so the process ends as a cancelled dialog ends: quietly, with 0. Only X11 displays have it.

#include "gtk_lost_display.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <unistd.h>

namespace gtk_dialog {

#ifdef GDK_WINDOWING_X11
namespace {

Display *g_gtk_display = nullptr;
XIOErrorHandler g_io_before = nullptr;

int on_lost_display(Display *display) {
    if (display == g_gtk_display) _exit(0);
    return g_io_before ? g_io_before(display) : 0;
}

} // namespace

void remember_io_handler() {
    g_io_before = XSetIOErrorHandler(nullptr); // what other connections had before GTK's came
    XSetIOErrorHandler(g_io_before);
}

void end_quietly_when_lost(GdkDisplay *display) {
    if (!display || !GDK_IS_X11_DISPLAY(display)) return;
    g_gtk_display = GDK_DISPLAY_XDISPLAY(display);
    XSetIOErrorHandler(on_lost_display);
}
#else
void remember_io_handler() {}
void end_quietly_when_lost(GdkDisplay *) {}
#endif

} // namespace gtk_dialog
