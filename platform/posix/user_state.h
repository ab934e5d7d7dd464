// The records USER keeps: the registered window classes, the windows, the message queue, the timers,
// the quit request, the pointer's show count, the window the display shows and the active window. Only
// the user_*.cpp files read them.
#pragma once

#include "internal.h"

#include <deque>
#include <string>
#include <vector>

namespace posix::user {

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

extern std::vector<WindowClass> g_classes;
extern std::vector<HWND> g_windows;
extern std::deque<MSG> g_queue;
extern std::vector<Timer> g_timers;
extern bool g_quit_posted;
extern int g_quit_code;
extern int g_cursor_count;
extern HWND g_display_window; // the top-level window the display backend shows
extern HWND g_active;

// The class registered under that name, if any.
const WindowClass *find_class(LPCSTR name, HINSTANCE instance);
// The timer due first at `now`, as its WM_TIMER in *msg, rescheduled a full period from now.
bool take_timer(MSG *msg, int64_t now);

} // namespace posix::user

namespace posix {

// Forgets every window, class, timer, queued message and the pointer's count.
void reset_user_state();

} // namespace posix
