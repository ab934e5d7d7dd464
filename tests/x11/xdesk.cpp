// Test and demo helper for a private X server: puts a picture on the root window, or covers part of the
// screen with a window for a while.
//
//   xdesk root FILE.ppm        the P6 picture becomes the root window's background and its
//                              _XROOTPMAP_ID (and stays there);
//                              on a colormapped screen, in the colours of a 5x5x5 cube it allocates
//   xdesk cover X Y W H        maps a white override-redirect window there, prints "mapped" once it is
//                              viewable, and unmaps it when standard input closes
//   xdesk cursor               prints "hidden" when the pointer's current image is fully transparent,
//                              else "shown"
//   xdesk host X Y W H [FILE.ppm]
//                              maps an override-redirect window there for a saver to run in: black, with
//                              the picture (any size) as the pixmap of its _SCREENSAVER_SCREENSHOT
//                              property, or without a picture see-through (it keeps the screen's pixels);
//                              prints "window 0x..." once it is viewable, destroys it when standard input
//                              closes
//   xdesk grabs                prints whether the keyboard and the pointer can be grabbed ("keyboard
//                              free" or "keyboard taken", then the same for the pointer)
//   xdesk hold                 grabs the keyboard and the pointer (as an open menu does), prints "held",
//                              and lets them go when standard input closes
//   xdesk top                  prints the name of the topmost mapped window on the root window ("-" for
//                              one without a name)
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool read_ppm(const char *path, int *w, int *h, std::vector<unsigned char> *rgb) {
    FILE *f = std::fopen(path, "rb");
    if (!f) return false;
    int maxval = 0;
    bool ok = std::fscanf(f, "P6 %d %d %d", w, h, &maxval) == 3 && maxval == 255 && *w > 0 && *h > 0;
    if (ok) {
        std::fgetc(f); // the single blank after the header
        rgb->resize(size_t(*w) * size_t(*h) * 3);
        ok = std::fread(rgb->data(), 1, rgb->size(), f) == rgb->size();
    }
    std::fclose(f);
    return ok;
}

// The picture in a pixmap of the screen's depth, or None.
Pixmap pixmap_from_ppm(Display *dpy, const char *path, int *pw, int *ph) {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    if (!read_ppm(path, &w, &h, &rgb)) {
        std::fprintf(stderr, "xdesk: cannot read %s\n", path);
        return None;
    }
    int screen = DefaultScreen(dpy);
    Window root = RootWindow(dpy, screen);
    Visual *visual = DefaultVisual(dpy, screen);
    int depth = DefaultDepth(dpy, screen);
    XImage *img =
        XCreateImage(dpy, visual, unsigned(depth), ZPixmap, 0, nullptr, unsigned(w), unsigned(h), 32, 0);
    img->data = static_cast<char *>(std::calloc(size_t(img->bytes_per_line), size_t(h)));
    auto place = [](unsigned long mask, unsigned v) {
        int shift = 0;
        while (mask && !((mask >> shift) & 1))
            ++shift;
        int bits = 0;
        while ((mask >> (shift + bits)) & 1)
            ++bits;
        unsigned long scaled = bits >= 8 ? (unsigned long)v << (bits - 8) : v >> (8 - bits);
        return (scaled << shift) & mask;
    };
    std::vector<unsigned long> cube; // colormapped screens: the cell of each of 5x5x5 colours
    if (visual->c_class != TrueColor) {
        Colormap cmap = DefaultColormap(dpy, screen);
        for (int i = 0; i < 125; ++i) {
            XColor c{};
            c.red = uint16_t(i / 25 * 255 / 4 * 0x101);
            c.green = uint16_t(i / 5 % 5 * 255 / 4 * 0x101);
            c.blue = uint16_t(i % 5 * 255 / 4 * 0x101);
            c.flags = DoRed | DoGreen | DoBlue;
            if (!XAllocColor(dpy, cmap, &c)) {
                std::fprintf(stderr, "xdesk: cannot allocate the colour cube\n");
                XDestroyImage(img);
                return None;
            }
            cube.push_back(c.pixel);
        }
        XSetCloseDownMode(dpy, RetainPermanent); // the cells stay the desktop's after this helper ends
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char *p = &rgb[(size_t(y) * w + x) * 3];
            if (!cube.empty())
                XPutPixel(img, x, y,
                          cube[size_t((p[0] + 32) / 64 * 25 + (p[1] + 32) / 64 * 5 + (p[2] + 32) / 64)]);
            else
                XPutPixel(img, x, y,
                          place(visual->red_mask, p[0]) | place(visual->green_mask, p[1]) |
                              place(visual->blue_mask, p[2]));
        }
    Pixmap pm = XCreatePixmap(dpy, root, unsigned(w), unsigned(h), unsigned(depth));
    GC gc = XCreateGC(dpy, pm, 0, nullptr);
    XPutImage(dpy, pm, gc, img, 0, 0, 0, 0, unsigned(w), unsigned(h));
    XFreeGC(dpy, gc);
    XDestroyImage(img);
    *pw = w;
    *ph = h;
    return pm;
}

int set_root(Display *dpy, const char *path) {
    int w, h;
    Pixmap pm = pixmap_from_ppm(dpy, path, &w, &h);
    if (!pm) return 1;
    Window root = DefaultRootWindow(dpy);
    XSetWindowBackgroundPixmap(dpy, root, pm);
    XClearWindow(dpy, root);
    // A compositor paints the desktop from the pixmap the root window's property names: it stays on the
    // server after this helper ends.
    long item = long(pm);
    XChangeProperty(dpy, root, XInternAtom(dpy, "_XROOTPMAP_ID", False), XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&item), 1);
    XSetCloseDownMode(dpy, RetainPermanent);
    XSync(dpy, False);
    return 0;
}

// Maps an override-redirect window of one colour (or, with no colour, one that keeps the pixels that
// were on the screen) and waits until it is viewable.
Window map_window(Display *dpy, int x, int y, int w, int h, long colour) {
    int screen = DefaultScreen(dpy);
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    attrs.background_pixel = colour < 0 ? 0 : (unsigned long)colour;
    attrs.background_pixmap = None;
    attrs.event_mask = StructureNotifyMask;
    Window win = XCreateWindow(
        dpy, RootWindow(dpy, screen), x, y, unsigned(w), unsigned(h), 0, CopyFromParent, InputOutput,
        CopyFromParent, CWOverrideRedirect | (colour < 0 ? CWBackPixmap : CWBackPixel) | CWEventMask, &attrs);
    XMapRaised(dpy, win);
    XEvent ev;
    do
        XNextEvent(dpy, &ev);
    while (ev.type != MapNotify);
    XSync(dpy, False);
    return win;
}

void wait_for_stdin_to_close() {
    char buf[256];
    while (std::fgets(buf, sizeof buf, stdin)) {
    }
}

int cover(Display *dpy, int x, int y, int w, int h) {
    Window win = map_window(dpy, x, y, w, h, long(WhitePixel(dpy, DefaultScreen(dpy))));
    XStoreName(dpy, win, "xdesk cover");
    XSync(dpy, False);
    std::printf("mapped\n");
    std::fflush(stdout);
    wait_for_stdin_to_close();
    XUnmapWindow(dpy, win);
    XDestroyWindow(dpy, win);
    XSync(dpy, False);
    return 0;
}

int host(Display *dpy, int x, int y, int w, int h, const char *screenshot) {
    // Without a screenshot the window keeps the desktop's pixels: the root window's picture there.
    Window win = map_window(dpy, x, y, w, h, screenshot ? long(BlackPixel(dpy, DefaultScreen(dpy))) : -1);
    if (screenshot) {
        int pw, ph;
        Pixmap pm = pixmap_from_ppm(dpy, screenshot, &pw, &ph);
        if (!pm) return 1;
        long item = long(pm);
        XChangeProperty(dpy, win, XInternAtom(dpy, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32,
                        PropModeReplace, reinterpret_cast<unsigned char *>(&item), 1);
    }
    XSync(dpy, False);
    std::printf("window 0x%lx\n", win);
    std::fflush(stdout);
    wait_for_stdin_to_close();
    XDestroyWindow(dpy, win);
    XSync(dpy, False);
    return 0;
}

int grabs(Display *dpy) {
    Window root = DefaultRootWindow(dpy);
    bool keyboard = XGrabKeyboard(dpy, root, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    bool pointer = XGrabPointer(dpy, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                                CurrentTime) == GrabSuccess;
    if (keyboard) XUngrabKeyboard(dpy, CurrentTime);
    if (pointer) XUngrabPointer(dpy, CurrentTime);
    XSync(dpy, False);
    std::printf("keyboard %s\npointer %s\n", keyboard ? "free" : "taken", pointer ? "free" : "taken");
    return 0;
}

int hold(Display *dpy) {
    Window root = DefaultRootWindow(dpy);
    if (XGrabKeyboard(dpy, root, False, GrabModeAsync, GrabModeAsync, CurrentTime) != GrabSuccess ||
        XGrabPointer(dpy, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                     CurrentTime) != GrabSuccess) {
        std::fprintf(stderr, "xdesk: cannot grab\n");
        return 1;
    }
    XSync(dpy, False);
    std::printf("held\n");
    std::fflush(stdout);
    wait_for_stdin_to_close();
    return 0;
}

int top(Display *dpy) {
    Window root_ret, parent, *children = nullptr;
    unsigned n = 0;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root_ret, &parent, &children, &n);
    for (unsigned i = n; i-- > 0;) { // top to bottom
        XWindowAttributes a{};
        if (!XGetWindowAttributes(dpy, children[i], &a) || a.map_state != IsViewable ||
            a.c_class == InputOnly)
            continue;
        char *name = nullptr;
        XFetchName(dpy, children[i], &name);
        std::printf("%s\n", name ? name : "-");
        if (name) XFree(name);
        break;
    }
    if (children) XFree(children);
    return 0;
}

int cursor(Display *dpy) {
    XFixesCursorImage *img = XFixesGetCursorImage(dpy);
    if (!img) return 1;
    bool visible = false;
    for (int i = 0; i < int(img->width) * int(img->height); ++i)
        if ((img->pixels[i] >> 24) & 0xFF) visible = true;
    std::printf("%s\n", visible ? "shown" : "hidden");
    XFree(img);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "xdesk: no display\n");
        return 1;
    }
    int rc = 2;
    if (argc == 3 && std::strcmp(argv[1], "root") == 0)
        rc = set_root(dpy, argv[2]);
    else if (argc == 6 && std::strcmp(argv[1], "cover") == 0)
        rc = cover(dpy, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    else if (argc == 2 && std::strcmp(argv[1], "cursor") == 0)
        rc = cursor(dpy);
    else if ((argc == 6 || argc == 7) && std::strcmp(argv[1], "host") == 0)
        rc = host(dpy, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                  argc == 7 ? argv[6] : nullptr);
    else if (argc == 2 && std::strcmp(argv[1], "grabs") == 0)
        rc = grabs(dpy);
    else if (argc == 2 && std::strcmp(argv[1], "hold") == 0)
        rc = hold(dpy);
    else if (argc == 2 && std::strcmp(argv[1], "top") == 0)
        rc = top(dpy);
    else
        std::fprintf(stderr, "usage: xdesk root FILE.ppm | xdesk cover X Y W H | xdesk cursor | "
                             "xdesk host X Y W H [FILE.ppm] | xdesk grabs | xdesk hold | xdesk top\n");
    XCloseDisplay(dpy);
    return rc;
}
