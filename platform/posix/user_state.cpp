// The records USER keeps, and forgetting them all.

#include "user_state.h"

namespace posix::user {

std::vector<WindowClass> g_classes;
std::vector<HWND> g_windows;
std::deque<MSG> g_queue;
std::vector<Timer> g_timers;
bool g_quit_posted = false;
int g_quit_code = 0;
int g_cursor_count = 0;
HWND g_display_window = nullptr; // the top-level window the display backend shows
HWND g_active = nullptr;

} // namespace posix::user

namespace posix {

using namespace user;

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

} // namespace posix
