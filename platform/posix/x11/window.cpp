// The saver window: by default one override-redirect window over the primary monitor with keyboard and
// pointer grabbed and the pointer hidden on request; or, given a parent window, a plain child of it that
// fills it, with nothing grabbed and the pointer left as the parent's owner set it.

#include "empty_cursor.h"
#include "x11_state.h"

#include <algorithm>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace x11 {
namespace {

// The hidden pointer is an empty cursor; while shown, the pointer is the one the desktop gave the root
// window (cursor None), as it was before the saver came.
void make_cursors() {
    if (!g.invisible) g.invisible = create_empty_cursor(g.dpy, g.root);
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

// How long another client's grab (an open menu, a locker) is waited out before the saver gives up.
constexpr int kGrabTryMs = 3000;

// Takes the keyboard and the pointer for the window w, trying again every 10 ms while another client
// holds one of them, for up to kGrabTryMs; a termination signal stops the trying at once. Both or
// neither: a half that was taken is given back.
bool grab_both(Window w, Bool owner_events) {
    const int64_t deadline = posix::now_ms() + kGrabTryMs;
    bool keyboard = false, pointer = false;
    while (alive() && !posix::termination_requested()) {
        if (!keyboard)
            keyboard = XGrabKeyboard(g.dpy, w, owner_events, GrabModeAsync, GrabModeAsync, CurrentTime) ==
                       GrabSuccess;
        if (!pointer)
            pointer = XGrabPointer(g.dpy, w, owner_events, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                                   GrabModeAsync, None, g.cursor_visible ? None : g.invisible,
                                   CurrentTime) == GrabSuccess;
        if (keyboard && pointer) return true;
        if (posix::now_ms() >= deadline) break;
        pollfd p{posix::termination_fd(), POLLIN, 0};
        poll(&p, p.fd >= 0 ? 1 : 0, 10);
    }
    if (alive()) {
        if (keyboard) XUngrabKeyboard(g.dpy, CurrentTime);
        if (pointer) XUngrabPointer(g.dpy, CurrentTime);
        XFlush(g.dpy);
    }
    return false;
}

// Before the screen is covered, both grabs are held on the root window, where every key and button
// comes to this program whichever window it was meant for; once the window is mapped they move onto
// it (a grab this client holds is never refused to it), and stay on the root window if that fails.
bool grab_input() {
    if (g.grabbed) return true;
    if (!grab_both(g.root, False)) {
        if (alive() && !posix::termination_requested())
            std::fputs(
                "scrwarpvue: another program holds the keyboard or the pointer; not covering the screen\n",
                stderr);
        return false;
    }
    g.grabbed = true;
    return true;
}

void move_grabs_to_window() {
    XGrabKeyboard(g.dpy, g.win, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    XGrabPointer(g.dpy, g.win, True, ButtonPressMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, None,
                 g.cursor_visible ? None : g.invisible, CurrentTime);
}

void ungrab_input() {
    if (g.grabbed) {
        XUngrabPointer(g.dpy, CurrentTime);
        XUngrabKeyboard(g.dpy, CurrentTime);
    }
    g.grabbed = false;
}

} // namespace

bool keep_on_top() {
    if (!alive() || !g.win || !g.shown || g.embedded || g.win_gone) return false;
    Window root_ret, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(g.dpy, g.root, &root_ret, &parent, &children, &n)) return false;
    bool above = false, overlapped = false, covered = false;
    const long left = g.mon_x, top = g.mon_y, right = left + g.mon_w, bottom = top + g.mon_h;
    for (unsigned i = 0; i < n && !covered; ++i) { // bottom to top
        if (children[i] == g.win) {
            above = true;
            continue;
        }
        XWindowAttributes a{};
        if (!above || !XGetWindowAttributes(g.dpy, children[i], &a) || a.map_state != IsViewable ||
            a.c_class == InputOnly)
            continue;
        const long x0 = a.x, y0 = a.y, x1 = x0 + a.width + 2l * a.border_width,
                   y1 = y0 + a.height + 2l * a.border_width;
        if (x1 <= left || y1 <= top || x0 >= right || y0 >= bottom) continue;
        overlapped = true;
        covered = x0 <= left && y0 <= top && x1 >= right && y1 >= bottom;
    }
    if (children) XFree(children);
    // A window over all of the cover is a locker's (or another saver's): it wins, and gets the grabs.
    if (covered) return posix::display_lost();
    if (overlapped) {
        XRaiseWindow(g.dpy, g.win);
        XFlush(g.dpy);
    }
    return false;
}

void apply_cursor() {
    if (!alive() || !g.win || g.embedded) return;
    Cursor c = g.cursor_visible ? None : g.invisible;
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
    // Black from the moment it maps, as its first erase paints it: the server shows that at once, while
    // the client's pixels follow.
    attrs.background_pixel = BlackPixel(g.dpy, g.screen);
    attrs.border_pixel = 0;
    attrs.colormap = DefaultColormap(g.dpy, g.screen);
    // Inside a parent, input is its owner's: only exposures and the window's own end are heard.
    attrs.event_mask = parent ? ExposureMask | StructureNotifyMask
                              : ExposureMask | KeyPressMask | ButtonPressMask | PointerMotionMask |
                                    StructureNotifyMask | VisibilityChangeMask;
    // The default visual even inside a parent of another one: the pixels are made for it.
    g.win =
        XCreateWindow(g.dpy, under, x, y, unsigned(w), unsigned(h), 0, g.depth, InputOutput, g.visual,
                      CWOverrideRedirect | CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attrs);
    if (!alive() || !g.win) {
        g.win = 0;
        return false;
    }
    XStoreName(g.dpy, g.win, "SCRWARPVUE");
    XGCValues gcv{};
    gcv.graphics_exposures = False;
    g.gc = XCreateGC(g.dpy, g.win, GCGraphicsExposures, &gcv);
    g.embedded = parent != 0;
    if (!g.embedded) x11::make_cursors();
    // The saver covers the screen only with every key and click its own: without the grabs there is
    // no window (and the program ends without having touched anything).
    if (posix::termination_requested() || !x11::allocate_pixels(w, h) ||
        (!g.embedded && !x11::grab_input())) {
        x11::release_pixels();
        XFreeGC(g.dpy, g.gc);
        XDestroyWindow(g.dpy, g.win);
        XFlush(g.dpy);
        g.gc = nullptr;
        g.win = 0;
        g.embedded = false;
        return false;
    }
    posix::close_on_signals();
    if (!g.embedded) x11::watch_the_screen();
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
    // Shown again after it was hidden: the grabs come first, as at creation; without them the run ends.
    if (!g.embedded && !x11::grab_input()) {
        posix::display_lost();
        return;
    }
    g.layer_presented = false;
    g.shown = true;
    XMapRaised(g.dpy, g.win);
    XFlush(g.dpy);
    // The first erase writes every page of the window's new pixels: made here in one call, while the
    // server maps the window, instead of one trap per page in the middle of the fill.
    x11::populate_pixels();
    x11::wait_mapped();
    if (!g.embedded) x11::move_grabs_to_window();
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
