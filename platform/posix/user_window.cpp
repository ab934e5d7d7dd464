// Windows: creating, showing, painting and destroying them, their default handling of messages, and
// sending a message to one.

#include "present.h"
#include "user_state.h"

#include <algorithm>

using namespace posix::user;

namespace posix {

HWND window_from(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (HWND w : g_windows)
        if (w == hwnd && !w->destroyed) return w;
    return nullptr;
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

// Extended styles (edges, layering, transparency) change how Windows shows a window; the layer draws
// none of them, so a window that asks for one is refused rather than shown as if it had not.
HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR, DWORD style, int x, int y, int w,
                            int h, HWND, HMENU, HINSTANCE instance, LPVOID) {
    if (ex_style != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const WindowClass *wc = find_class(class_name, instance);
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

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    HWND w = posix::window_from(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

HWND WINAPI GetActiveWindow(void) {
    return posix::window_from(g_active);
}
