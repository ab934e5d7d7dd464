// Timers. A timer that fell behind gives one WM_TIMER and is rescheduled a full period from now, so a
// slow tick never leaves a backlog.

#include "user_state.h"

namespace posix::user {

bool take_timer(MSG *msg, int64_t now) {
    Timer *best = nullptr;
    for (auto &t : g_timers)
        if (t.due <= now && (!best || t.due < best->due)) best = &t;
    if (!best) return false;
    best->due = now + best->period;
    *msg = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), 0, {0, 0}};
    return true;
}

} // namespace posix::user

using namespace posix::user;

namespace posix {

int64_t next_timer_due_ms() {
    int64_t due = -1;
    for (auto &t : g_timers)
        if (due < 0 || t.due < due) due = t.due;
    return due;
}

} // namespace posix

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
