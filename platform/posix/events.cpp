// What the layer does with the display: neutral input events become the saver window's Win32 messages,
// an exposure repaints it, and a lost display or a termination signal closes it (once) as a dismissal
// would. Signals reach the message loop through a self-pipe that the display backend's wait watches; a
// signal that came before there was a window to close is remembered, so the window closes as soon as
// it exists (and the X11 backend does not even cover the screen). A capture or a window that the
// display finishes later is waited for here, with the display's events handled meanwhile, up to a
// deadline.

#include "display_backend.h"
#include "events.h"
#include "present.h"
#include "testing.h"
#include "user_state.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr WPARAM kMkLButton = 0x0001, kMkRButton = 0x0002, kMkShift = 0x0004, kMkControl = 0x0008,
                 kMkMButton = 0x0010;
constexpr WPARAM kVkMenu = 0x12; // the Alt key
constexpr int kWheelDelta = 120;

// How long the layer waits for a capture, and for the display to configure a new window.
constexpr int64_t kCaptureDeadlineMs = 3000;
constexpr int64_t kConfigureDeadlineMs = 2000;

int g_pipe_r = -1, g_pipe_w = -1;
bool g_close_sent = false;
volatile sig_atomic_t g_terminated = 0;

void on_signal(int) {
    int saved = errno;
    g_terminated = 1;
    if (g_pipe_w >= 0) {
        char c = 1;
        ssize_t n = write(g_pipe_w, &c, 1);
        (void)n;
    }
    errno = saved;
}

bool drain_signal_pipe() {
    if (g_pipe_r < 0) return false;
    char buf[64];
    bool any = false;
    while (read(g_pipe_r, buf, sizeof buf) > 0)
        any = true;
    return any;
}

// The saver window is closed once, for a signal or a lost display. Returns whether this call asked.
bool close_once() {
    if (g_close_sent || !posix::display_window()) return false;
    g_close_sent = true;
    posix::request_close();
    return true;
}

// Runs the display's events until poll() no longer answers Pending or the deadline passes (then Pending).
template <class Poll> backend::Progress wait_until_settled(Poll poll, int64_t deadline_ms) {
    const int64_t deadline = posix::now_ms() + deadline_ms;
    backend::Progress p = poll();
    while (p == backend::Progress::Pending) {
        const int64_t left = deadline - posix::now_ms();
        if (left <= 0) break;
        posix::wait_for_events(int(left));
        p = poll();
    }
    return p;
}

WPARAM mouse_keys(unsigned mods) {
    WPARAM mk = 0;
    if (mods & posix::kLeftHeld) mk |= kMkLButton;
    if (mods & posix::kRightHeld) mk |= kMkRButton;
    if (mods & posix::kMiddleHeld) mk |= kMkMButton;
    if (mods & posix::kShiftHeld) mk |= kMkShift;
    if (mods & posix::kControlHeld) mk |= kMkControl;
    return mk;
}

} // namespace

namespace posix {

void input(const InputEvent &ev) {
    const WPARAM mk = mouse_keys(ev.mods);
    const LPARAM at = MAKELPARAM(ev.x, ev.y);
    switch (ev.kind) {
    case InputEvent::Key: {
        bool alt = (ev.mods & kAltHeld) || ev.key == kVkMenu;
        LPARAM lp = LPARAM(1 | (ev.scancode & 0xFF) << 16 | (alt ? 1u << 29 : 0u));
        post_input(alt ? WM_SYSKEYDOWN : WM_KEYDOWN, ev.key, lp);
        break;
    }
    case InputEvent::Button:
        switch (ev.button) {
        case 1:
            post_input(WM_LBUTTONDOWN, mk | kMkLButton, at);
            break;
        case 2:
            post_input(WM_MBUTTONDOWN, mk | kMkMButton, at);
            break;
        case 3:
            post_input(WM_RBUTTONDOWN, mk | kMkRButton, at);
            break;
        case 4:
        case 5:
        case 6:
        case 7: {
            // Wheel messages carry screen coordinates.
            int delta = (ev.button == 4 || ev.button == 7) ? kWheelDelta : -kWheelDelta;
            UINT msg = ev.button <= 5 ? WM_MOUSEWHEEL : WM_MOUSEHWHEEL;
            post_input(msg, MAKEWPARAM(mk, WORD(short(delta))), MAKELPARAM(ev.screen_x, ev.screen_y));
            break;
        }
        default:
            break;
        }
        break;
    case InputEvent::Motion:
        post_input(WM_MOUSEMOVE, mk, at);
        break;
    }
}

void display_exposed() {
    invalidate_display_window();
}

bool display_lost() {
    return close_once();
}

void close_on_signals() {
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    if (g_pipe_r < 0) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            g_pipe_r = fds[0];
            g_pipe_w = fds[1];
        }
        struct sigaction sa {};
        sa.sa_handler = on_signal;
        sigemptyset(&sa.sa_mask);
        for (int sig : signals)
            sigaction(sig, &sa, nullptr);
        // A closed pipe (standard error, the display's socket) is an error to handle, not a way to die.
        signal(SIGPIPE, SIG_IGN);
    }
    // A mask inherited from whoever started the program must not hold them back: they are ours now.
    sigset_t set;
    sigemptyset(&set);
    for (int sig : signals)
        sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

bool termination_requested() {
    return g_terminated != 0;
}

int termination_fd() {
    return g_pipe_r;
}

void display_window_created() {
    g_close_sent = false;
}

void drain_termination_fd() {
    drain_signal_pipe();
}

void wait_for_events(int timeout_ms) {
    backend::display().wait_events(timeout_ms, g_pipe_r);
    drain_signal_pipe();
    if (g_terminated) close_once();
}

bool read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride) {
    const backend::DisplayBackend &d = backend::display();
    backend::Progress p = d.capture_begin(x, y, w, h, dst, dst_stride);
    if (p == backend::Progress::Pending) {
        p = wait_until_settled([&d] { return d.capture_poll(); }, kCaptureDeadlineMs);
        if (p == backend::Progress::Pending) d.capture_cancel();
    }
    if (p == backend::Progress::Done) return true;
    for (int row = 0; row < h; ++row)
        std::memset(dst + size_t(row) * dst_stride, 0, size_t(w) * 4);
    return false;
}

bool create_display_window(HWND hwnd, int x, int y, int w, int h) {
    const backend::DisplayBackend &d = backend::display();
    Surface surf;
    backend::Progress p = d.create_window(hwnd, x, y, w, h, 0, &surf);
    if (p == backend::Progress::Refused) return false;
    if (p == backend::Progress::Pending)
        p = wait_until_settled([&] { return d.window_configured(hwnd, &surf); }, kConfigureDeadlineMs);
    bool ok = p == backend::Progress::Done;
    if (ok && !surf.px && surf.w > 0 && surf.h > 0) {
        // The backend presents from pixels of the layer's own.
        surf.px = static_cast<uint32_t *>(std::calloc(size_t(surf.w) * size_t(surf.h), 4));
        surf.stride = surf.w;
        hwnd->layer_pixels = ok = surf.px != nullptr;
    }
    if (!ok) {
        d.destroy_window(hwnd, &surf);
        return false;
    }
    hwnd->surf = surf;
    hwnd->rect.right = hwnd->rect.left + surf.w; // the size the display gave it
    hwnd->rect.bottom = hwnd->rect.top + surf.h;
    return true;
}

void destroy_display_window(HWND hwnd) {
    backend::display().destroy_window(hwnd, &hwnd->surf);
    if (hwnd->layer_pixels) std::free(hwnd->surf.px);
    hwnd->layer_pixels = false;
    hwnd->surf = Surface{};
}

void reset_layer() {
    g_terminated = 0;
    reset_user_state();
    set_max_bitmap_pixels(int64_t(1) << 28);
    reset_push_clock();
    after_each_transfer(nullptr);
    before_each_bitmap_load(nullptr);
}

} // namespace posix
