// Events: X input turned into the layer's Win32 messages, exposures, the signals that end the saver
// (through a self-pipe), the wait for any of them, and the clock.

#include "x11_state.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace x11 {
namespace {

constexpr WPARAM kMkLButton = 0x0001, kMkRButton = 0x0002, kMkShift = 0x0004, kMkControl = 0x0008,
                 kMkMButton = 0x0010;
constexpr int kWheelDelta = 120;

void on_signal(int) {
    int saved = errno;
    if (g.pipe_w >= 0) {
        char c = 1;
        ssize_t n = write(g.pipe_w, &c, 1);
        (void)n;
    }
    errno = saved;
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

} // namespace

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
    case DestroyNotify:
        // Destroyed with its parent (xscreensaver's window went away): the saver ends as on SIGTERM.
        if (!g.win || ev.xdestroywindow.window != g.win) return false;
        g.win_gone = true;
        return close_once();
    case MappingNotify:
        if (ev.xmapping.request != MappingPointer) XRefreshKeyboardMapping(&ev.xmapping);
        return false;
    default:
        return false;
    }
}

namespace {

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

} // namespace
} // namespace x11

namespace backend {

using x11::g;

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
    bool any = x11::drain_events();
    if ((x11::drain_signal_pipe() || g.dead) && x11::close_once()) return;
    if (any || timeout_ms == 0) return;
    const int64_t deadline = timeout_ms < 0 ? -1 : now_ms() + timeout_ms;
    for (;;) {
        pollfd fds[2];
        int n = 0;
        if (g.pipe_r >= 0) fds[n++] = pollfd{g.pipe_r, POLLIN, 0};
        const int x_index = n;
        if (x11::alive()) fds[n++] = pollfd{ConnectionNumber(g.dpy), POLLIN, 0};
        int wait = -1;
        if (deadline >= 0) {
            int64_t left = deadline - now_ms();
            if (left <= 0) return;
            wait = int(std::min<int64_t>(left, 1 << 30));
        }
        int r = poll(fds, nfds_t(n), wait);
        if (r < 0 && errno != EINTR) return;
        if (x11::drain_signal_pipe() && x11::close_once()) return;
        if (r > 0 && x_index < n && fds[x_index].revents) {
            // Readable, or hung up: XPending reads what came, or runs into the lost connection (after
            // which the connection is no longer watched).
            bool got = x11::drain_events();
            if ((g.dead && x11::close_once()) || got) return;
        }
        if (r == 0) return;
    }
}

} // namespace backend
