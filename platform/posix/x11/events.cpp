// Events: X input reported to the layer as neutral key, button and motion events, exposures, a lost
// connection, and the wait for any of them.

#include "x11_state.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cerrno>
#include <poll.h>

namespace x11 {
namespace {

unsigned held(unsigned state) {
    unsigned mods = 0;
    if (state & Button1Mask) mods |= posix::kLeftHeld;
    if (state & Button2Mask) mods |= posix::kMiddleHeld;
    if (state & Button3Mask) mods |= posix::kRightHeld;
    if (state & ShiftMask) mods |= posix::kShiftHeld;
    if (state & ControlMask) mods |= posix::kControlHeld;
    if (state & Mod1Mask) mods |= posix::kAltHeld;
    return mods;
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

} // namespace

// One X event to the layer. Returns whether it was input or an exposure the layer hears about.
bool handle_event(XEvent &ev) {
    switch (ev.type) {
    case KeyPress: {
        posix::InputEvent in{posix::InputEvent::Key};
        in.key = unsigned(virtual_key(XLookupKeysym(&ev.xkey, 0)));
        in.scancode = ev.xkey.keycode - 8;
        in.mods = held(ev.xkey.state);
        posix::input(in);
        return true;
    }
    case ButtonPress: {
        const XButtonEvent &b = ev.xbutton;
        if (b.button < Button1 || b.button > 7) return false;
        posix::InputEvent in{posix::InputEvent::Button};
        in.button = b.button;
        in.mods = held(b.state);
        in.x = b.x;
        in.y = b.y;
        in.screen_x = b.x_root - g.mon_x;
        in.screen_y = b.y_root - g.mon_y;
        posix::input(in);
        return true;
    }
    case MotionNotify: {
        posix::InputEvent in{posix::InputEvent::Motion};
        in.mods = held(ev.xmotion.state);
        in.x = ev.xmotion.x;
        in.y = ev.xmotion.y;
        in.screen_x = ev.xmotion.x_root - g.mon_x;
        in.screen_y = ev.xmotion.y_root - g.mon_y;
        posix::input(in);
        return true;
    }
    case Expose:
        if (ev.xexpose.window != g.win) return false;
        if (!g.layer_presented) {
            // The exposures of the map itself: the pixels are all here, client-side.
            push(ev.xexpose.x, ev.xexpose.y, ev.xexpose.width, ev.xexpose.height);
            return false;
        }
        if (ev.xexpose.count == 0) {
            posix::display_exposed();
            return true;
        }
        return false;
    case DestroyNotify:
        // Destroyed with its parent (xscreensaver's window went away): the saver ends as on SIGTERM.
        if (!g.win || ev.xdestroywindow.window != g.win) return false;
        g.win_gone = true;
        return posix::display_lost();
    case MappingNotify:
        if (ev.xmapping.request != MappingPointer) XRefreshKeyboardMapping(&ev.xmapping);
        return false;
    // Another window mapped or restacked (a tooltip, a notification, a new window without a window
    // manager), or the saver window obscured: it goes back on top.
    case VisibilityNotify:
        return ev.xvisibility.window == g.win && ev.xvisibility.state != VisibilityUnobscured &&
               keep_on_top();
    case MapNotify:
        return ev.xmap.window != g.win && keep_on_top();
    case ConfigureNotify:
        return ev.xconfigure.window != g.win && ev.xconfigure.event != g.win && keep_on_top();
    case CirculateNotify:
        return ev.xcirculate.window != g.win && keep_on_top();
    default:
        return screen_event(ev);
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

// Of the backend's entry (backend.cpp).

bool press_waiting() {
    if (!x11::alive() || !g.win) return false;
    // A predicate that never takes an event looks through the whole queue, and what the connection holds
    // by now, without waiting and without removing anything.
    bool seen = false;
    XEvent ev;
    XCheckIfEvent(
        g.dpy, &ev,
        [](Display *, XEvent *e, XPointer arg) -> Bool {
            if (e->type == KeyPress || (e->type == ButtonPress && e->xbutton.button <= Button3))
                *reinterpret_cast<bool *>(arg) = true;
            return False;
        },
        reinterpret_cast<XPointer>(&seen));
    return seen;
}

void wait_events(int timeout_ms, int wake_fd) {
    const bool drained = x11::drain_events();
    const bool changed = x11::recheck_monitors(); // whether or not events came: both run every time
    bool any = drained || changed;
    if (g.dead && posix::display_lost()) return;
    if (any || timeout_ms == 0) return;
    const int64_t deadline = timeout_ms < 0 ? -1 : posix::now_ms() + timeout_ms;
    for (;;) {
        pollfd fds[2];
        int n = 0;
        if (wake_fd >= 0) fds[n++] = pollfd{wake_fd, POLLIN, 0};
        const int x_index = n;
        if (x11::alive()) fds[n++] = pollfd{ConnectionNumber(g.dpy), POLLIN, 0};
        int wait = -1;
        if (deadline >= 0) {
            int64_t left = deadline - posix::now_ms();
            if (left <= 0) return;
            wait = int(std::min<int64_t>(left, 1 << 30));
        }
        int r = poll(fds, nfds_t(n), wait);
        if (r < 0 && errno != EINTR) return;
        if (wake_fd >= 0 && r > 0 && fds[0].revents) return; // a termination signal: the layer sees to it
        if (r > 0 && x_index < n && fds[x_index].revents) {
            // Readable, or hung up: XPending reads what came, or runs into the lost connection (after
            // which the connection is no longer watched).
            bool got = x11::drain_events();
            if ((g.dead && posix::display_lost()) || got) return;
        }
        if (r == 0) return;
    }
}

} // namespace x11
