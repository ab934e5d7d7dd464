// The message queue. GetMessageA hands out, in this order: posted and input messages, the quit message,
// a paint for an invalidated window, a due timer. With nothing to hand out, it blocks in the display
// backend until an event arrives or the next timer is due. Pixels held back for a press (see present.h)
// are pushed before any other message is handed out, and before it blocks.

#include "present.h"
#include "user_state.h"

#include <algorithm>

using namespace posix::user;

namespace {

// GetMessageA's range: both bounds 0 take every message, else only those from min to max.
bool wanted(UINT msg, UINT min, UINT max) {
    return (min == 0 && max == 0) || (msg >= min && msg <= max);
}

bool is_press(UINT msg) {
    return msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN || msg == WM_LBUTTONDOWN || msg == WM_MBUTTONDOWN ||
           msg == WM_RBUTTONDOWN;
}

} // namespace

namespace posix {

void post_input(UINT msg, WPARAM wp, LPARAM lp) {
    if (g_display_window) g_queue.push_back(MSG{g_display_window, msg, wp, lp, 0, {0, 0}});
}

bool press_waiting() {
    for (const MSG &m : g_queue)
        if (is_press(m.message)) return true;
    return backend::display().press_waiting();
}

void request_close() {
    if (g_display_window) PostMessageA(g_display_window, WM_CLOSE, 0, 0);
}

} // namespace posix

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (hwnd && !posix::window_from(hwnd)) return FALSE;
    g_queue.push_back(MSG{hwnd, msg, wp, lp, 0, {0, 0}});
    return TRUE;
}

// The quit message comes whatever the range; messages outside it wait in the queue.
BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT min, UINT max) {
    if (!msg) return -1;
    for (;;) {
        posix::wait_for_events(0);
        HWND shown = g_display_window;
        auto next = std::find_if(g_queue.begin(), g_queue.end(),
                                 [&](const MSG &m) { return wanted(m.message, min, max); });
        if (next != g_queue.end()) {
            *msg = *next;
            g_queue.erase(next);
            if (shown && !is_press(msg->message)) posix::flush_held_back(shown);
            return TRUE;
        }
        if (shown) posix::flush_held_back(shown);
        if (g_quit_posted) {
            g_quit_posted = false;
            *msg = MSG{nullptr, WM_QUIT, WPARAM(g_quit_code), 0, 0, {0, 0}};
            return FALSE;
        }
        for (HWND w : g_windows) {
            if (!w->destroyed && w->visible && w->needs_paint && wanted(WM_PAINT, min, max)) {
                *msg = MSG{w, WM_PAINT, 0, 0, 0, {0, 0}};
                return TRUE;
            }
        }
        const bool timers = wanted(WM_TIMER, min, max);
        int64_t now = posix::now_ms();
        if (timers && take_timer(msg, now)) return TRUE;
        int64_t due = timers ? posix::next_timer_due_ms() : -1;
        int timeout = due < 0 ? -1 : int(std::min<int64_t>(due - now, 1 << 30));
        posix::wait_for_events(timeout);
    }
}

BOOL WINAPI TranslateMessage(const MSG *) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG *msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, DWORD(posix::now_ms()));
        return 0;
    }
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int code) {
    g_quit_posted = true;
    g_quit_code = code;
    // The program ends once the current message is handled: its window leaves the screen now, not after
    // the rest of the process is torn down (on a large screen that takes a while).
    if (g_display_window && g_display_window->visible && !g_display_window->destroyed) {
        backend::display().show_window(g_display_window, false);
        posix::drop_held_back(g_display_window);
    }
}
