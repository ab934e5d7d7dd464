// Test helper: the X11 backend's window inside a window of another client.
//
//   xembed X Y W H RRGGBB   maps a W x H window at (X, Y) on the root, has the backend create its window
//                           inside it, fills that with the colour and shows it; checks that the backend's
//                           window is the parent's only child, at its origin, of its size, not
//                           override-redirect and viewable, and that neither keyboard nor pointer is
//                           grabbed; prints "embedded" and waits for standard input to close; then
//                           destroys the backend's window and checks that the parent has no child left.
// Exits 0 when every check held; else prints what failed and exits 1.
#include "platform/posix/display_backend.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

namespace {

int fail(const char *what) {
    std::fprintf(stderr, "xembed: %s\n", what);
    return 1;
}

// The children of win (0 or the only one), or -1 when there are several.
int only_child(Display *dpy, Window win, Window *child) {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, win, &root, &parent, &children, &n)) return -1;
    *child = n ? children[0] : 0;
    if (children) XFree(children);
    return n <= 1 ? int(n) : -1;
}

int run(Display *dpy, int x, int y, int w, int h, uint32_t colour) {
    int screen = DefaultScreen(dpy);
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    attrs.background_pixel = BlackPixel(dpy, screen);
    attrs.event_mask = StructureNotifyMask;
    Window parent =
        XCreateWindow(dpy, RootWindow(dpy, screen), x, y, unsigned(w), unsigned(h), 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &attrs);
    XMapRaised(dpy, parent);
    XEvent ev;
    do
        XNextEvent(dpy, &ev);
    while (ev.type != MapNotify);
    XSync(dpy, False);

    static char token; // the backend only tells windows apart by their handle
    HWND window = reinterpret_cast<HWND>(&token);
    const backend::DisplayBackend &x11 = backend::display();
    Surface surf;
    // The rectangle asked for is ignored in favour of the parent's.
    if (x11.create_window(window, 5, 5, 10, 10, parent, &surf) != backend::Progress::Done)
        return fail("create_window failed");
    if (surf.w != w || surf.h != h) return fail("the pixels are not of the parent's size");
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
            surf.px[size_t(row) * surf.stride + col] = colour;
    x11.show_window(window, true);
    x11.present(window, surf, 0, 0, w, h);

    Window child = 0;
    if (only_child(dpy, parent, &child) != 1) return fail("the parent does not hold exactly one window");
    XWindowAttributes a{};
    XGetWindowAttributes(dpy, child, &a);
    if (a.x != 0 || a.y != 0 || a.width != w || a.height != h)
        return fail("the window does not fill the parent");
    if (a.override_redirect) return fail("the window is override-redirect");
    if (a.map_state != IsViewable) return fail("the window is not viewable");
    if (XGrabKeyboard(dpy, parent, False, GrabModeAsync, GrabModeAsync, CurrentTime) != GrabSuccess)
        return fail("the keyboard is grabbed");
    if (XGrabPointer(dpy, parent, False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime) !=
        GrabSuccess)
        return fail("the pointer is grabbed");
    XUngrabKeyboard(dpy, CurrentTime);
    XUngrabPointer(dpy, CurrentTime);
    XSync(dpy, False);

    std::printf("embedded\n");
    std::fflush(stdout);
    char buf[256];
    while (std::fgets(buf, sizeof buf, stdin)) {
    }
    x11.destroy_window(window, &surf);
    if (only_child(dpy, parent, &child) != 0) return fail("the window outlived destroy_window");
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: xembed X Y W H RRGGBB\n");
        return 2;
    }
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) return fail("no display");
    int rc = run(dpy, std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                 uint32_t(std::strtoul(argv[5], nullptr, 16)));
    XCloseDisplay(dpy);
    return rc;
}
