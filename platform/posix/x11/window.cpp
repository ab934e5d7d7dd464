// The saver window: by default one override-redirect window over the primary monitor with keyboard and
// pointer grabbed and the pointer hidden on request; or, given a parent window, a plain child of it that
// fills it, with nothing grabbed and the pointer left as the parent's owner set it.

#include "x11_state.h"

#include <X11/cursorfont.h>

#include <algorithm>
#include <poll.h>
#include <unistd.h>

namespace x11 {
namespace {

void make_cursors() {
    if (g.invisible) return;
    char zero = 0;
    Pixmap empty = XCreateBitmapFromData(g.dpy, g.root, &zero, 1, 1);
    XColor black{};
    g.invisible = XCreatePixmapCursor(g.dpy, empty, empty, &black, &black, 0, 0);
    XFreePixmap(g.dpy, empty);
    g.arrow = XCreateFontCursor(g.dpy, XC_left_ptr);
}

// Waits (up to two seconds) for the window's MapNotify.
void wait_mapped() {
    const int64_t deadline = posix::now_ms() + 2000;
    XEvent ev;
    while (alive()) {
        if (XCheckTypedWindowEvent(g.dpy, g.win, MapNotify, &ev)) return;
        int64_t left = deadline - posix::now_ms();
        if (left <= 0) return;
        pollfd p{ConnectionNumber(g.dpy), POLLIN, 0};
        poll(&p, 1, int(std::min<int64_t>(left, 50)));
    }
}

// Another client (a menu, a screen locker) may hold a grab for a moment: retry for about a second.
void grab_input() {
    const int64_t deadline = posix::now_ms() + 1000;
    bool keyboard = false, pointer = false;
    while (alive()) {
        if (!keyboard)
            keyboard =
                XGrabKeyboard(g.dpy, g.win, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        if (!pointer)
            pointer = XGrabPointer(g.dpy, g.win, True, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                                   GrabModeAsync, None, g.cursor_visible ? g.arrow : g.invisible,
                                   CurrentTime) == GrabSuccess;
        if ((keyboard && pointer) || posix::now_ms() >= deadline) break;
        usleep(10000);
    }
    g.grabbed = pointer;
}

void ungrab_input() {
    if (g.grabbed) XUngrabPointer(g.dpy, CurrentTime);
    if (!g.embedded) XUngrabKeyboard(g.dpy, CurrentTime);
    g.grabbed = false;
}

} // namespace

void apply_cursor() {
    if (!alive() || !g.win || g.embedded) return;
    Cursor c = g.cursor_visible ? g.arrow : g.invisible;
    XDefineCursor(g.dpy, g.win, c);
    if (g.grabbed) XChangeActivePointerGrab(g.dpy, ButtonPressMask | PointerMotionMask, c, CurrentTime);
    XFlush(g.dpy);
}

// Of the backend's entry (backend.cpp).

bool create_window(HWND hwnd, int x, int y, int w, int h, Surface *surf, unsigned long parent) {
    if (!x11::open_display() || g.win) return false;
    if (!parent && g.hosted) {
        if (!g.host) return false; // the window asked for is not there
        parent = g.host;
    }
    Window under = g.root;
    if (parent) {
        XWindowAttributes pa{};
        if (!XGetWindowAttributes(g.dpy, Window(parent), &pa) || !alive()) return false;
        under = Window(parent);
        x = y = 0;
        w = pa.width;
        h = pa.height;
    } else {
        x += g.mon_x;
        y += g.mon_y;
    }
    if (w <= 0 || h <= 0) return false;
    XSetWindowAttributes attrs{};
    attrs.override_redirect = under == g.root; // no window manager's frame, on the root window only
    attrs.background_pixmap = None;            // no clearing by the server: the pixels come from the client
    attrs.border_pixel = 0;
    attrs.colormap = DefaultColormap(g.dpy, g.screen);
    // Inside a parent, input is its owner's: only exposures and the window's own end are heard.
    attrs.event_mask =
        parent ? ExposureMask | StructureNotifyMask
               : ExposureMask | KeyPressMask | ButtonPressMask | PointerMotionMask | StructureNotifyMask;
    // The default visual even inside a parent of another one: the pixels are made for it.
    g.win =
        XCreateWindow(g.dpy, under, x, y, unsigned(w), unsigned(h), 0, g.depth, InputOutput, g.visual,
                      CWOverrideRedirect | CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attrs);
    if (!alive() || !g.win) {
        g.win = 0;
        return false;
    }
    XStoreName(g.dpy, g.win, "SCRWARPVUE");
    XGCValues gcv{};
    gcv.graphics_exposures = False;
    g.gc = XCreateGC(g.dpy, g.win, GCGraphicsExposures, &gcv);
    if (!x11::allocate_pixels(w, h)) {
        XFreeGC(g.dpy, g.gc);
        XDestroyWindow(g.dpy, g.win);
        XFlush(g.dpy);
        g.gc = nullptr;
        g.win = 0;
        return false;
    }
    posix::close_on_signals();
    g.embedded = parent != 0;
    if (!g.embedded) x11::make_cursors();
    g.hwnd = hwnd;
    g.layer_presented = false;
    x11::apply_cursor();
    *surf = g.surf;
    return true;
}

void show_window(HWND hwnd, bool show) {
    if (hwnd != g.hwnd || !alive() || !g.win) return;
    if (!show) {
        x11::ungrab_input();
        XUnmapWindow(g.dpy, g.win);
        XFlush(g.dpy);
        g.shown = false;
        return;
    }
    g.layer_presented = false;
    g.shown = true;
    XMapRaised(g.dpy, g.win);
    XFlush(g.dpy);
    x11::wait_mapped();
    if (!g.embedded) x11::grab_input();
    x11::apply_cursor();
    if (!alive()) return;
    // The exposures of the map are in by now: answer them with the (black) pixels at once, so that they
    // do not reach the layer as a reason to repaint.
    XSync(g.dpy, False);
    XEvent ev;
    while (alive() && XCheckTypedWindowEvent(g.dpy, g.win, Expose, &ev))
        x11::handle_event(ev);
}

void destroy_window(HWND hwnd, Surface *) {
    if (hwnd != g.hwnd || !g.win) return;
    if (alive()) {
        x11::ungrab_input();
        if (!g.win_gone) XDestroyWindow(g.dpy, g.win);
        XFreeGC(g.dpy, g.gc);
    }
    x11::release_pixels();
    if (alive()) XSync(g.dpy, False);
    g.grabbed = false;
    g.embedded = false;
    g.win_gone = false;
    g.gc = nullptr;
    g.win = 0;
    g.shown = false;
    g.hwnd = nullptr;
}

void set_cursor_visible(bool visible) {
    g.cursor_visible = visible;
    x11::apply_cursor();
}

bool cursor_pos(int *x, int *y) {
    *x = *y = 0;
    if (!x11::open_display()) return false;
    Window root_ret, child;
    int rx, ry, wx, wy;
    unsigned mask;
    if (!XQueryPointer(g.dpy, g.root, &root_ret, &child, &rx, &ry, &wx, &wy, &mask) || !alive()) return false;
    *x = rx - g.mon_x;
    *y = ry - g.mon_y;
    return true;
}

} // namespace x11
