// USER: window classes, windows, the message queue, timers and the pointer.
//
// GetMessageA hands out, in this order: posted and input messages, the quit message, a paint for an
// invalidated window, a due timer. A timer that fell behind gives one WM_TIMER and is rescheduled a
// full period from now, so a slow tick never leaves a backlog. With nothing to hand out, it blocks in
// the display backend until an event arrives or the next timer is due. Pixels held back for a press
// (see present.h) are pushed before any other message is handed out, and before it blocks.

#include "present.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <strings.h>
#include <vector>

namespace {

struct WindowClass {
    std::string name;
    WNDCLASSA wc;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT period;
    TIMERPROC proc;
    int64_t due;
};

std::vector<WindowClass> g_classes;
std::vector<HWND> g_windows;
std::deque<MSG> g_queue;
std::vector<Timer> g_timers;
bool g_quit_posted = false;
int g_quit_code = 0;
int g_cursor_count = 0;
HWND g_display_window = nullptr; // the top-level window the display backend shows
HWND g_active = nullptr;

const WindowClass *find_class(LPCSTR name) {
    if (!name || IS_INTRESOURCE(name)) return nullptr;
    for (auto &c : g_classes)
        if (strcasecmp(c.name.c_str(), name) == 0) return &c;
    return nullptr;
}

bool take_timer(MSG *msg, int64_t now) {
    Timer *best = nullptr;
    for (auto &t : g_timers)
        if (t.due <= now && (!best || t.due < best->due)) best = &t;
    if (!best) return false;
    best->due = now + best->period;
    *msg = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), 0, {0, 0}};
    return true;
}

bool is_press(UINT msg) {
    return msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN || msg == WM_LBUTTONDOWN || msg == WM_MBUTTONDOWN ||
           msg == WM_RBUTTONDOWN;
}

} // namespace

namespace posix {

HWND window_from(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (HWND w : g_windows)
        if (w == hwnd && !w->destroyed) return w;
    return nullptr;
}

void post_input(UINT msg, WPARAM wp, LPARAM lp) {
    if (g_display_window) g_queue.push_back(MSG{g_display_window, msg, wp, lp, 0, {0, 0}});
}

bool press_waiting() {
    for (const MSG &m : g_queue)
        if (is_press(m.message)) return true;
    return backend::display().press_waiting();
}

HWND display_window() {
    return g_display_window;
}

void invalidate_display_window() {
    if (g_display_window && g_display_window->visible) {
        g_display_window->needs_paint = true;
        g_display_window->needs_erase = true;
    }
}

void request_close() {
    if (g_display_window) PostMessageA(g_display_window, WM_CLOSE, 0, 0);
}

int64_t next_timer_due_ms() {
    int64_t due = -1;
    for (auto &t : g_timers)
        if (due < 0 || t.due < due) due = t.due;
    return due;
}

int cursor_count() {
    return g_cursor_count;
}

void reset_user_state() {
    for (HWND w : g_windows) {
        if (w->top_level_display && !w->destroyed) posix::destroy_display_window(w);
        delete w;
    }
    g_windows.clear();
    g_classes.clear();
    g_queue.clear();
    g_timers.clear();
    g_quit_posted = false;
    g_quit_code = 0;
    g_cursor_count = 0;
    g_display_window = nullptr;
    g_active = nullptr;
}

HWND create_dialog_window(HWND owner) {
    HWND w = new HWND__{};
    w->is_dialog = true;
    (void)owner;
    g_windows.push_back(w);
    return w;
}

void destroy_dialog_window(HWND w) {
    auto it = std::find(g_windows.begin(), g_windows.end(), w);
    if (it == g_windows.end()) return;
    g_windows.erase(it);
    delete w;
}

} // namespace posix

ATOM WINAPI RegisterClassA(const WNDCLASSA *wc) {
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc) return 0;
    if (find_class(wc->lpszClassName)) return 0; // already registered
    g_classes.push_back(WindowClass{wc->lpszClassName, *wc});
    g_classes.back().wc.lpszClassName = nullptr;
    g_classes.back().wc.lpszMenuName = nullptr;
    return ATOM(0xC000 + g_classes.size());
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR class_name, LPCSTR, DWORD style, int x, int y, int w, int h, HWND,
                            HMENU, HINSTANCE, LPVOID) {
    const WindowClass *wc = find_class(class_name);
    if (!wc) return nullptr;
    HWND hwnd = new HWND__{};
    hwnd->proc = wc->wc.lpfnWndProc;
    hwnd->style = style;
    hwnd->rect = RECT{x, y, x + std::max(w, 0), y + std::max(h, 0)};
    if (!(style & WS_CHILD)) {
        if (!posix::create_display_window(hwnd, x, y, w, h)) {
            delete hwnd;
            return nullptr;
        }
        hwnd->top_level_display = true;
    }
    g_windows.push_back(hwnd);
    if (hwnd->top_level_display && !g_display_window) {
        g_display_window = hwnd;
        posix::display_window_created();
    }
    if (SendMessageA(hwnd, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    HWND w = posix::window_from(hwnd);
    if (!w) return FALSE;
    SendMessageA(w, WM_DESTROY, 0, 0);
    w->destroyed = true;
    w->visible = false;
    g_timers.erase(
        std::remove_if(g_timers.begin(), g_timers.end(), [w](const Timer &t) { return t.hwnd == w; }),
        g_timers.end());
    if (w->top_level_display) {
        posix::destroy_display_window(w);
        posix::forget_pair();
    }
    if (g_display_window == w) g_display_window = nullptr;
    if (g_active == w) g_active = nullptr;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int show) {
    HWND w = posix::window_from(hwnd);
    if (!w) return FALSE;
    BOOL was_visible = w->visible;
    if (show == SW_HIDE) {
        w->visible = false;
        posix::drop_held_back(w);
        if (w->top_level_display) backend::display().show_window(w, false);
        return was_visible;
    }
    if (was_visible) return TRUE;
    w->visible = true;
    g_active = w;
    if (w->top_level_display) backend::display().show_window(w, true);
    // Showing a window erases its background at once; the paint itself comes later.
    w->needs_paint = true;
    w->needs_erase = false;
    if (HDC dc = GetDC(w)) {
        SendMessageA(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(w, dc);
    }
    return was_visible;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    HWND w = posix::window_from(hwnd);
    if (!w) return FALSE;
    if (w->needs_paint) SendMessageA(w, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *, BOOL erase) {
    HWND w = posix::window_from(hwnd);
    if (!w) return FALSE;
    w->needs_paint = true;
    if (erase) w->needs_erase = true;
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wp, LPARAM) {
    HWND w = posix::window_from(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_PAINT: {
        // What BeginPaint and EndPaint do: erase when asked, then the window is valid again.
        bool erase = w->needs_erase;
        w->needs_paint = false;
        w->needs_erase = false;
        if (erase) {
            if (HDC dc = GetDC(w)) {
                SendMessageA(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
                ReleaseDC(w, dc);
            }
        }
        return 0;
    }
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wp);
        RECT rc;
        GetClientRect(w, &rc);
        const WindowClass *wc = nullptr;
        for (auto &c : g_classes)
            if (c.wc.lpfnWndProc == w->proc) wc = &c;
        if (wc && wc->wc.hbrBackground) FillRect(dc, &rc, wc->wc.hbrBackground);
        return 1;
    }
    case WM_CLOSE:
        DestroyWindow(w);
        return 0;
    default:
        return 0;
    }
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    HWND w = posix::window_from(hwnd);
    if (!w || !w->proc) return 0;
    return w->proc(w, msg, wp, lp);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (hwnd && !posix::window_from(hwnd)) return FALSE;
    g_queue.push_back(MSG{hwnd, msg, wp, lp, 0, {0, 0}});
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    HWND w = posix::window_from(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

HWND WINAPI GetActiveWindow(void) {
    return posix::window_from(g_active);
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    // The program's icon is an icon group with a numeric id; lookups by name find nothing, and the
    // icon is never drawn on Linux.
    const uint8_t *data = nullptr;
    uint32_t size = 0;
    if (name && posix::find_resource(instance, RT_GROUP_ICON, name, &data, &size))
        return reinterpret_cast<HICON>(const_cast<uint8_t *>(data));
    return nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    static char arrow;
    if (!instance && name == IDC_ARROW) return reinterpret_cast<HCURSOR>(&arrow);
    return nullptr;
}

int WINAPI GetSystemMetrics(int index) {
    int w = 0, h = 0;
    backend::display().screen_size(&w, &h);
    switch (index) {
    case SM_CXSCREEN:
        return w;
    case SM_CYSCREEN:
        return h;
    default:
        return 0;
    }
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT, UINT) {
    if (!msg) return -1;
    for (;;) {
        posix::wait_for_events(0);
        HWND shown = g_display_window;
        if (!g_queue.empty()) {
            *msg = g_queue.front();
            g_queue.pop_front();
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
            if (!w->destroyed && w->visible && w->needs_paint) {
                *msg = MSG{w, WM_PAINT, 0, 0, 0, {0, 0}};
                return TRUE;
            }
        }
        int64_t now = posix::now_ms();
        if (take_timer(msg, now)) return TRUE;
        int64_t due = posix::next_timer_due_ms();
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

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    int x = 0, y = 0;
    if (!backend::display().cursor_pos(&x, &y)) return FALSE;
    point->x = x;
    point->y = y;
    return TRUE;
}

int WINAPI ShowCursor(BOOL show) {
    g_cursor_count += show ? 1 : -1;
    backend::display().set_cursor_visible(g_cursor_count >= 0);
    return g_cursor_count;
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT period, TIMERPROC proc) {
    if (hwnd && !posix::window_from(hwnd)) return 0;
    if (period < 10) period = 10; // USER_TIMER_MINIMUM
    int64_t due = posix::now_ms() + period;
    for (auto &t : g_timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.period = period;
            t.proc = proc;
            t.due = due;
            return id;
        }
    }
    if (!hwnd && id == 0) id = 1 + g_timers.size();
    g_timers.push_back(Timer{hwnd, id, period, proc, due});
    return id == 0 ? 1 : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    for (auto it = g_timers.begin(); it != g_timers.end(); ++it) {
        if (it->hwnd == hwnd && it->id == id) {
            g_timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}
