// The X11 display backend: the primary monitor as the screen, one override-redirect window over it with
// keyboard and pointer grabbed, the window's pixels held client-side (in a MIT-SHM segment when the
// server offers it) and pushed rectangle by rectangle, and X events turned into the layer's messages.
//
// Whatever goes wrong with the display ends the saver the way a dismissal does: a lost connection, like
// SIGTERM, SIGINT and SIGHUP, makes the layer close the saver window, and the process exits with 0
// without a word. Once the connection is lost every X call is skipped.

#include "../backend.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

namespace {

constexpr WPARAM kMkLButton = 0x0001, kMkRButton = 0x0002, kMkShift = 0x0004, kMkControl = 0x0008,
                 kMkMButton = 0x0010;
constexpr int kWheelDelta = 120;
constexpr int kStripRows = 64; // rows per XGetImage while reading the screen

// How a pixel value of the server's visual holds red, green and blue.
struct Channel {
    unsigned long mask = 0;
    int shift = 0;
    int bits = 0;
};

Channel channel_of(unsigned long mask) {
    Channel c;
    c.mask = mask;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1))
        ++c.shift;
    while ((mask >> (c.shift + c.bits)) & 1)
        ++c.bits;
    return c;
}

uint32_t channel_to8(unsigned long pixel, const Channel &c) {
    if (!c.bits) return 0;
    unsigned long v = (pixel & c.mask) >> c.shift;
    if (c.bits >= 8) return uint32_t(v >> (c.bits - 8));
    return uint32_t(v * 255 / ((1ul << c.bits) - 1));
}

unsigned long channel_from8(uint32_t v8, const Channel &c) {
    if (!c.bits) return 0;
    unsigned long v = c.bits >= 8 ? (unsigned long)v8 << (c.bits - 8) : v8 >> (8 - c.bits);
    return (v << c.shift) & c.mask;
}

struct State {
    bool tried_open = false;
    Display *dpy = nullptr;
    bool dead = false; // the connection is lost: no more X calls
    int screen = 0;
    Window root = 0;
    Visual *visual = nullptr;
    int depth = 0;
    Channel red, green, blue;
    bool standard_rgb = false; // TrueColor with masks 0xFF0000, 0xFF00, 0xFF
    int mon_x = 0, mon_y = 0, mon_w = 0, mon_h = 0;
    bool shm_offered = false;
    int shm_completion = -1; // event type of ShmCompletion

    // The saver window.
    HWND hwnd = nullptr;
    Window win = 0;
    GC gc = nullptr;
    Surface surf;
    XImage *image = nullptr; // over the surface pixels (direct) or a converted copy (shadow)
    bool shadow = false;     // the surface's layout is not the server's: present converts
    bool use_shm = false;
    XShmSegmentInfo shm{};
    bool grabbed = false;
    bool layer_presented = false; // the layer pushed something since the window was shown
    Cursor invisible = 0, arrow = 0;
    bool cursor_visible = true;

    // Termination: signals write to a self-pipe that wait_events watches.
    int pipe_r = -1, pipe_w = -1;
    bool close_sent = false;
};

State g;

bool alive() {
    return g.dpy && !g.dead;
}

int on_x_error(Display *, XErrorEvent *) {
    return 0;
} // a failed request is no reason to stop

int on_io_error(Display *) {
    g.dead = true;
    return 0;
}

void on_io_exit(Display *, void *) {
    g.dead = true;
} // returning keeps the process alive

// A request that may fail (XShmAttach over a remote connection): run it under a handler that notes the
// failure instead of ignoring it.
bool g_trapped_error = false;
int on_trapped_error(Display *, XErrorEvent *) {
    g_trapped_error = true;
    return 0;
}

void find_primary_monitor() {
    g.mon_x = g.mon_y = 0;
    g.mon_w = DisplayWidth(g.dpy, g.screen);
    g.mon_h = DisplayHeight(g.dpy, g.screen);
    int event_base, error_base, major = 0, minor = 0;
    if (!XRRQueryExtension(g.dpy, &event_base, &error_base) || !XRRQueryVersion(g.dpy, &major, &minor))
        return;
    if (major < 1 || (major == 1 && minor < 3)) return;
    RROutput primary = XRRGetOutputPrimary(g.dpy, g.root);
    if (primary == None) return;
    XRRScreenResources *res = XRRGetScreenResourcesCurrent(g.dpy, g.root);
    if (!res) return;
    if (XRROutputInfo *out = XRRGetOutputInfo(g.dpy, res, primary)) {
        if (out->crtc != None) {
            if (XRRCrtcInfo *crtc = XRRGetCrtcInfo(g.dpy, res, out->crtc)) {
                if (crtc->width > 0 && crtc->height > 0) {
                    g.mon_x = crtc->x;
                    g.mon_y = crtc->y;
                    g.mon_w = int(crtc->width);
                    g.mon_h = int(crtc->height);
                }
                XRRFreeCrtcInfo(crtc);
            }
        }
        XRRFreeOutputInfo(out);
    }
    XRRFreeScreenResources(res);
}

bool open_display() {
    if (g.tried_open) return alive();
    g.tried_open = true;
    g.dpy = XOpenDisplay(nullptr);
    if (!g.dpy) return false;
    // Writing to a server that went away must end in the I/O error path, not in SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    XSetErrorHandler(on_x_error);
    XSetIOErrorHandler(on_io_error);
    XSetIOErrorExitHandler(g.dpy, on_io_exit, nullptr);
    g.screen = DefaultScreen(g.dpy);
    g.root = RootWindow(g.dpy, g.screen);
    g.visual = DefaultVisual(g.dpy, g.screen);
    g.depth = DefaultDepth(g.dpy, g.screen);
    g.red = channel_of(g.visual->red_mask);
    g.green = channel_of(g.visual->green_mask);
    g.blue = channel_of(g.visual->blue_mask);
    g.standard_rgb = g.visual->c_class == TrueColor && g.visual->red_mask == 0xFF0000 &&
                     g.visual->green_mask == 0xFF00 && g.visual->blue_mask == 0xFF;
    find_primary_monitor();
    if (XShmQueryExtension(g.dpy)) {
        g.shm_offered = true;
        g.shm_completion = XShmGetEventBase(g.dpy) + ShmCompletion;
    }
    return alive();
}

bool host_little_endian() {
    const uint16_t one = 1;
    uint8_t first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// Whether an image of the server's format can hold the surface's 0x00RRGGBB pixels as they are.
bool image_is_direct(const XImage *img) {
    return g.standard_rgb && img->bits_per_pixel == 32 &&
           img->byte_order == (host_little_endian() ? LSBFirst : MSBFirst) && img->bytes_per_line % 4 == 0;
}

uint32_t to_rgb(unsigned long pixel) {
    return (channel_to8(pixel, g.red) << 16) | (channel_to8(pixel, g.green) << 8) |
           channel_to8(pixel, g.blue);
}

unsigned long from_rgb(uint32_t px) {
    return channel_from8((px >> 16) & 0xFF, g.red) | channel_from8((px >> 8) & 0xFF, g.green) |
           channel_from8(px & 0xFF, g.blue);
}

// Converts rows of a screen image to 0x00RRGGBB.
void convert_from_image(XImage *img, int w, int h, uint32_t *dst, int dst_stride) {
    if (g.standard_rgb && img->bits_per_pixel == 32 &&
        img->byte_order == (host_little_endian() ? LSBFirst : MSBFirst)) {
        for (int row = 0; row < h; ++row) {
            const auto *s = reinterpret_cast<const uint32_t *>(img->data + size_t(row) * img->bytes_per_line);
            uint32_t *d = dst + size_t(row) * dst_stride;
            for (int i = 0; i < w; ++i)
                d[i] = s[i] & 0xFFFFFF;
        }
        return;
    }
    if (g.standard_rgb && img->bits_per_pixel == 24) {
        const bool lsb = img->byte_order == LSBFirst;
        for (int row = 0; row < h; ++row) {
            const auto *s = reinterpret_cast<const uint8_t *>(img->data + size_t(row) * img->bytes_per_line);
            uint32_t *d = dst + size_t(row) * dst_stride;
            for (int i = 0; i < w; ++i, s += 3)
                d[i] = lsb ? uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16
                           : uint32_t(s[2]) | uint32_t(s[1]) << 8 | uint32_t(s[0]) << 16;
        }
        return;
    }
    for (int row = 0; row < h; ++row)
        for (int i = 0; i < w; ++i)
            dst[size_t(row) * dst_stride + i] = to_rgb(XGetPixel(img, i, row));
}

void apply_cursor() {
    if (!alive() || !g.win) return;
    Cursor c = g.cursor_visible ? g.arrow : g.invisible;
    XDefineCursor(g.dpy, g.win, c);
    if (g.grabbed) XChangeActivePointerGrab(g.dpy, ButtonPressMask | PointerMotionMask, c, CurrentTime);
    XFlush(g.dpy);
}

void make_cursors() {
    if (g.invisible) return;
    char zero = 0;
    Pixmap empty = XCreateBitmapFromData(g.dpy, g.root, &zero, 1, 1);
    XColor black{};
    g.invisible = XCreatePixmapCursor(g.dpy, empty, empty, &black, &black, 0, 0);
    XFreePixmap(g.dpy, empty);
    g.arrow = XCreateFontCursor(g.dpy, XC_left_ptr);
}

// Waits (at most a second) until the server says it finished reading the shared segment.
void wait_shm_completion() {
    const int64_t deadline = backend::now_ms() + 1000;
    XEvent ev;
    while (alive()) {
        if (XCheckTypedEvent(g.dpy, g.shm_completion, &ev)) return;
        int64_t left = deadline - backend::now_ms();
        if (left <= 0) break;
        pollfd p{ConnectionNumber(g.dpy), POLLIN, 0};
        poll(&p, 1, int(left));
    }
    if (alive()) XSync(g.dpy, False);
}

// Sends the rectangle of the window's pixels to the server.
void push(int x, int y, int w, int h) {
    if (!alive() || !g.win || !g.image) return;
    if (x < 0) w += x, x = 0;
    if (y < 0) h += y, y = 0;
    if (x + w > g.surf.w) w = g.surf.w - x;
    if (y + h > g.surf.h) h = g.surf.h - y;
    if (w <= 0 || h <= 0) return;
    if (g.shadow) {
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col)
                XPutPixel(g.image, col, row, from_rgb(g.surf.px[size_t(row) * g.surf.stride + col]));
    }
    if (g.use_shm) {
        XShmPutImage(g.dpy, g.win, g.gc, g.image, x, y, x, y, unsigned(w), unsigned(h), True);
        XFlush(g.dpy);
        wait_shm_completion();
    } else {
        XPutImage(g.dpy, g.win, g.gc, g.image, x, y, x, y, unsigned(w), unsigned(h));
        XFlush(g.dpy);
    }
}

// Shared pixels for the window: a segment the server attaches to, or false when it cannot.
bool attach_shm(int w, int h) {
    XImage *img = XShmCreateImage(g.dpy, g.visual, unsigned(g.depth), ZPixmap, nullptr, &g.shm, unsigned(w),
                                  unsigned(h));
    if (!img) return false;
    if (!image_is_direct(img)) {
        XDestroyImage(img);
        return false;
    }
    g.shm.shmid = shmget(IPC_PRIVATE, size_t(img->bytes_per_line) * size_t(h), IPC_CREAT | 0600);
    if (g.shm.shmid < 0) {
        XDestroyImage(img);
        return false;
    }
    g.shm.shmaddr = static_cast<char *>(shmat(g.shm.shmid, nullptr, 0));
    if (g.shm.shmaddr == reinterpret_cast<char *>(-1)) {
        shmctl(g.shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(img);
        return false;
    }
    g.shm.readOnly = True;
    img->data = g.shm.shmaddr;
    XSync(g.dpy, False);
    g_trapped_error = false;
    XErrorHandler previous = XSetErrorHandler(on_trapped_error);
    Status ok = XShmAttach(g.dpy, &g.shm);
    XSync(g.dpy, False);
    XSetErrorHandler(previous);
    // Marked for removal at once: the segment goes away with the last detach, even after a crash.
    shmctl(g.shm.shmid, IPC_RMID, nullptr);
    if (!ok || g_trapped_error || !alive()) {
        shmdt(g.shm.shmaddr);
        img->data = nullptr;
        XDestroyImage(img);
        return false;
    }
    g.image = img;
    g.use_shm = true;
    g.surf = Surface{reinterpret_cast<uint32_t *>(img->data), w, h, img->bytes_per_line / 4};
    return true;
}

// Plain memory for the window, with an image over it (or over a converted copy) for XPutImage.
bool allocate_plain(int w, int h) {
    auto *px = static_cast<uint32_t *>(std::calloc(size_t(w) * size_t(h), 4));
    if (!px) return false;
    XImage *img = XCreateImage(g.dpy, g.visual, unsigned(g.depth), ZPixmap, 0, nullptr, unsigned(w),
                               unsigned(h), 32, 0);
    if (!img) {
        std::free(px);
        return false;
    }
    if (image_is_direct(img) && img->bytes_per_line == w * 4) {
        img->data = reinterpret_cast<char *>(px);
    } else {
        img->data = static_cast<char *>(std::calloc(size_t(img->bytes_per_line), size_t(h)));
        if (!img->data) {
            XDestroyImage(img);
            std::free(px);
            return false;
        }
        g.shadow = true;
    }
    g.image = img;
    g.surf = Surface{px, w, h, w};
    return true;
}

void release_pixels() {
    if (g.use_shm) {
        if (alive()) {
            XShmDetach(g.dpy, &g.shm);
            XSync(g.dpy, False);
        }
        shmdt(g.shm.shmaddr);
        g.image->data = nullptr;
    } else if (g.image && !g.shadow) {
        g.image->data = nullptr; // the surface's memory, freed below
    }
    if (g.image) XDestroyImage(g.image); // client-side only; frees a shadow copy
    if (!g.use_shm) std::free(g.surf.px);
    g.image = nullptr;
    g.use_shm = false;
    g.shadow = false;
    g.surf = Surface{};
}

void on_signal(int) {
    int saved = errno;
    if (g.pipe_w >= 0) {
        char c = 1;
        ssize_t n = write(g.pipe_w, &c, 1);
        (void)n;
    }
    errno = saved;
}

void install_signal_handlers() {
    if (g.pipe_r >= 0) return;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g.pipe_r = fds[0];
    g.pipe_w = fds[1];
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

// The layer closes the saver window once, for a signal or a lost display. Returns whether this call
// asked for it.
bool close_once() {
    if (g.close_sent || !g.hwnd) return false;
    g.close_sent = true;
    posix::request_close();
    return true;
}

bool drain_signal_pipe() {
    if (g.pipe_r < 0) return false;
    char buf[64];
    bool any = false;
    while (read(g.pipe_r, buf, sizeof buf) > 0)
        any = true;
    return any;
}

WPARAM mouse_keys(unsigned state) {
    WPARAM mk = 0;
    if (state & Button1Mask) mk |= kMkLButton;
    if (state & Button3Mask) mk |= kMkRButton;
    if (state & Button2Mask) mk |= kMkMButton;
    if (state & ShiftMask) mk |= kMkShift;
    if (state & ControlMask) mk |= kMkControl;
    return mk;
}

// The Windows virtual-key code for the keys that have one worth naming; 0 for the rest.
WPARAM virtual_key(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z) return WPARAM('A' + (sym - XK_a));
    if (sym >= XK_A && sym <= XK_Z) return WPARAM('A' + (sym - XK_A));
    if (sym >= XK_0 && sym <= XK_9) return WPARAM('0' + (sym - XK_0));
    if (sym >= XK_F1 && sym <= XK_F24) return WPARAM(0x70 + (sym - XK_F1));
    switch (sym) {
    case XK_BackSpace:
        return 0x08;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return 0x09;
    case XK_Return:
    case XK_KP_Enter:
        return 0x0D;
    case XK_Shift_L:
    case XK_Shift_R:
        return 0x10;
    case XK_Control_L:
    case XK_Control_R:
        return 0x11;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return 0x12;
    case XK_Pause:
        return 0x13;
    case XK_Escape:
        return 0x1B;
    case XK_space:
        return 0x20;
    case XK_Prior:
        return 0x21;
    case XK_Next:
        return 0x22;
    case XK_End:
        return 0x23;
    case XK_Home:
        return 0x24;
    case XK_Left:
        return 0x25;
    case XK_Up:
        return 0x26;
    case XK_Right:
        return 0x27;
    case XK_Down:
        return 0x28;
    case XK_Insert:
        return 0x2D;
    case XK_Delete:
        return 0x2E;
    case XK_Super_L:
        return 0x5B;
    case XK_Super_R:
        return 0x5C;
    default:
        return 0;
    }
}

LPARAM window_point(int x, int y) {
    return MAKELPARAM(x, y);
}

// One X event to the layer. Returns whether it was input or an exposure the layer hears about.
bool handle_event(XEvent &ev) {
    switch (ev.type) {
    case KeyPress: {
        KeySym sym = XLookupKeysym(&ev.xkey, 0);
        WPARAM vk = virtual_key(sym);
        bool alt = (ev.xkey.state & Mod1Mask) || vk == 0x12;
        LPARAM lp = LPARAM(1 | ((ev.xkey.keycode - 8) & 0xFF) << 16 | (alt ? 1u << 29 : 0u));
        posix::post_input(alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, lp);
        return true;
    }
    case ButtonPress: {
        const XButtonEvent &b = ev.xbutton;
        WPARAM mk = mouse_keys(b.state);
        LPARAM at = window_point(b.x, b.y);
        switch (b.button) {
        case Button1:
            posix::post_input(WM_LBUTTONDOWN, mk | kMkLButton, at);
            return true;
        case Button2:
            posix::post_input(WM_MBUTTONDOWN, mk | kMkMButton, at);
            return true;
        case Button3:
            posix::post_input(WM_RBUTTONDOWN, mk | kMkRButton, at);
            return true;
        case 4:
        case 5:
        case 6:
        case 7: {
            // Wheel messages carry screen coordinates; the window's origin is the monitor's.
            LPARAM screen_at = MAKELPARAM(b.x_root - g.mon_x, b.y_root - g.mon_y);
            int delta = (b.button == 4 || b.button == 7) ? kWheelDelta : -kWheelDelta;
            UINT msg = b.button <= 5 ? WM_MOUSEWHEEL : WM_MOUSEHWHEEL;
            posix::post_input(msg, MAKEWPARAM(mk, WORD(short(delta))), screen_at);
            return true;
        }
        default:
            return false;
        }
    }
    case MotionNotify:
        posix::post_input(WM_MOUSEMOVE, mouse_keys(ev.xmotion.state),
                          window_point(ev.xmotion.x, ev.xmotion.y));
        return true;
    case Expose:
        if (ev.xexpose.window != g.win) return false;
        if (!g.layer_presented) {
            // The exposures of the map itself: the pixels are all here, client-side.
            push(ev.xexpose.x, ev.xexpose.y, ev.xexpose.width, ev.xexpose.height);
            return false;
        }
        if (ev.xexpose.count == 0) {
            posix::invalidate_display_window();
            return true;
        }
        return false;
    case MappingNotify:
        if (ev.xmapping.request != MappingPointer) XRefreshKeyboardMapping(&ev.xmapping);
        return false;
    default:
        return false;
    }
}

// Handles everything the connection already holds. A run of pointer motions becomes one message.
bool drain_events() {
    if (!alive()) return false;
    bool any = false;
    XEvent pending_motion;
    bool have_motion = false;
    while (alive() && XPending(g.dpy) > 0) {
        XEvent ev;
        XNextEvent(g.dpy, &ev);
        if (ev.type == MotionNotify) {
            pending_motion = ev;
            have_motion = true;
            continue;
        }
        if (have_motion && (ev.type == KeyPress || ev.type == ButtonPress || ev.type == Expose)) {
            any |= handle_event(pending_motion);
            have_motion = false;
        }
        any |= handle_event(ev);
    }
    if (have_motion) any |= handle_event(pending_motion);
    return any;
}

// Waits (up to two seconds) for the window's MapNotify.
void wait_mapped() {
    const int64_t deadline = backend::now_ms() + 2000;
    XEvent ev;
    while (alive()) {
        if (XCheckTypedWindowEvent(g.dpy, g.win, MapNotify, &ev)) return;
        int64_t left = deadline - backend::now_ms();
        if (left <= 0) return;
        pollfd p{ConnectionNumber(g.dpy), POLLIN, 0};
        poll(&p, 1, int(std::min<int64_t>(left, 50)));
    }
}

// Another client (a menu, a screen locker) may hold a grab for a moment: retry for about a second.
void grab_input() {
    const int64_t deadline = backend::now_ms() + 1000;
    bool keyboard = false, pointer = false;
    while (alive()) {
        if (!keyboard)
            keyboard =
                XGrabKeyboard(g.dpy, g.win, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        if (!pointer)
            pointer = XGrabPointer(g.dpy, g.win, True, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                                   GrabModeAsync, None, g.cursor_visible ? g.arrow : g.invisible,
                                   CurrentTime) == GrabSuccess;
        if ((keyboard && pointer) || backend::now_ms() >= deadline) break;
        usleep(10000);
    }
    g.grabbed = pointer;
}

} // namespace

namespace backend {

void screen_size(int *w, int *h) {
    if (open_display()) {
        *w = g.mon_w;
        *h = g.mon_h;
    } else if (g.dpy) {
        *w = g.mon_w; // a connection lost later still knows the size the saver was built for
        *h = g.mon_h;
    } else {
        *w = *h = 0;
    }
}

void read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride) {
    for (int row = 0; row < h; row += kStripRows) {
        int n = std::min(kStripRows, h - row);
        uint32_t *out = dst + size_t(row) * dst_stride;
        XImage *img = nullptr;
        if (open_display())
            img = XGetImage(g.dpy, g.root, g.mon_x + x, g.mon_y + y + row, unsigned(w), unsigned(n),
                            AllPlanes, ZPixmap);
        if (!img) {
            for (int r = 0; r < n; ++r)
                std::memset(out + size_t(r) * dst_stride, 0, size_t(w) * 4);
            continue;
        }
        convert_from_image(img, w, n, out, dst_stride);
        XDestroyImage(img);
    }
}

bool create_window(HWND hwnd, int x, int y, int w, int h, Surface *surf) {
    if (!open_display() || g.win || w <= 0 || h <= 0) return false;
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    attrs.background_pixmap = None; // no clearing by the server: the pixels come from the client
    attrs.border_pixel = 0;
    attrs.event_mask =
        ExposureMask | KeyPressMask | ButtonPressMask | PointerMotionMask | StructureNotifyMask;
    g.win = XCreateWindow(g.dpy, g.root, g.mon_x + x, g.mon_y + y, unsigned(w), unsigned(h), 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWBackPixmap | CWBorderPixel | CWEventMask, &attrs);
    if (!alive() || !g.win) {
        g.win = 0;
        return false;
    }
    XStoreName(g.dpy, g.win, "SCRWARPVUE");
    XGCValues gcv{};
    gcv.graphics_exposures = False;
    g.gc = XCreateGC(g.dpy, g.win, GCGraphicsExposures, &gcv);
    if (!(g.shm_offered && attach_shm(w, h)) && !allocate_plain(w, h)) {
        XFreeGC(g.dpy, g.gc);
        XDestroyWindow(g.dpy, g.win);
        XFlush(g.dpy);
        g.gc = nullptr;
        g.win = 0;
        return false;
    }
    make_cursors();
    install_signal_handlers();
    g.hwnd = hwnd;
    g.layer_presented = false;
    g.close_sent = false;
    apply_cursor();
    *surf = g.surf;
    return true;
}

void show_window(HWND hwnd, bool show) {
    if (hwnd != g.hwnd || !alive() || !g.win) return;
    if (!show) {
        if (g.grabbed) XUngrabPointer(g.dpy, CurrentTime);
        XUngrabKeyboard(g.dpy, CurrentTime);
        g.grabbed = false;
        XUnmapWindow(g.dpy, g.win);
        XFlush(g.dpy);
        return;
    }
    g.layer_presented = false;
    XMapRaised(g.dpy, g.win);
    XFlush(g.dpy);
    wait_mapped();
    grab_input();
    apply_cursor();
    if (!alive()) return;
    // The exposures of the map are in by now: answer them with the (black) pixels at once, so that they
    // do not reach the layer as a reason to repaint.
    XSync(g.dpy, False);
    XEvent ev;
    while (alive() && XCheckTypedWindowEvent(g.dpy, g.win, Expose, &ev))
        handle_event(ev);
}

void destroy_window(HWND hwnd, Surface *) {
    if (hwnd != g.hwnd || !g.win) return;
    if (alive()) {
        if (g.grabbed) XUngrabPointer(g.dpy, CurrentTime);
        XUngrabKeyboard(g.dpy, CurrentTime);
        XDestroyWindow(g.dpy, g.win);
        XFreeGC(g.dpy, g.gc);
    }
    release_pixels();
    if (alive()) XSync(g.dpy, False);
    g.grabbed = false;
    g.gc = nullptr;
    g.win = 0;
    g.hwnd = nullptr;
}

void present(HWND hwnd, int x, int y, int w, int h) {
    if (hwnd != g.hwnd) return;
    g.layer_presented = true;
    push(x, y, w, h);
}

void set_cursor_visible(bool visible) {
    g.cursor_visible = visible;
    apply_cursor();
}

bool cursor_pos(int *x, int *y) {
    *x = *y = 0;
    if (!open_display()) return false;
    Window root_ret, child;
    int rx, ry, wx, wy;
    unsigned mask;
    if (!XQueryPointer(g.dpy, g.root, &root_ret, &child, &rx, &ry, &wx, &wy, &mask) || !alive()) return false;
    *x = rx - g.mon_x;
    *y = ry - g.mon_y;
    return true;
}

int64_t now_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void local_time(SYSTEMTIME *out) {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    time_t secs = ts.tv_sec;
    tm t{};
    localtime_r(&secs, &t);
    out->wYear = WORD(t.tm_year + 1900);
    out->wMonth = WORD(t.tm_mon + 1);
    out->wDayOfWeek = WORD(t.tm_wday);
    out->wDay = WORD(t.tm_mday);
    out->wHour = WORD(t.tm_hour);
    out->wMinute = WORD(t.tm_min);
    out->wSecond = WORD(t.tm_sec > 59 ? 59 : t.tm_sec); // a leap second reads as 59
    out->wMilliseconds = WORD(ts.tv_nsec / 1000000);
}

void wait_events(int timeout_ms) {
    bool any = drain_events();
    if ((drain_signal_pipe() || g.dead) && close_once()) return;
    if (any || timeout_ms == 0) return;
    const int64_t deadline = timeout_ms < 0 ? -1 : now_ms() + timeout_ms;
    for (;;) {
        pollfd fds[2];
        int n = 0;
        if (g.pipe_r >= 0) fds[n++] = pollfd{g.pipe_r, POLLIN, 0};
        const int x_index = n;
        if (alive()) fds[n++] = pollfd{ConnectionNumber(g.dpy), POLLIN, 0};
        int wait = -1;
        if (deadline >= 0) {
            int64_t left = deadline - now_ms();
            if (left <= 0) return;
            wait = int(std::min<int64_t>(left, 1 << 30));
        }
        int r = poll(fds, nfds_t(n), wait);
        if (r < 0 && errno != EINTR) return;
        if (drain_signal_pipe() && close_once()) return;
        if (r > 0 && x_index < n && fds[x_index].revents) {
            // Readable, or hung up: XPending reads what came, or runs into the lost connection (after
            // which the connection is no longer watched).
            bool got = drain_events();
            if ((g.dead && close_once()) || got) return;
        }
        if (r == 0) return;
    }
}

} // namespace backend
