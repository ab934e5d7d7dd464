// Placeholder until the X11 display lands: a display of size 0 that never has events.
#include "../backend.h"

#include <ctime>
#include <poll.h>

namespace backend {
void screen_size(int *w, int *h) { *w = *h = 0; }
void read_screen(int, int, int, int, uint32_t *, int) {}
bool create_window(HWND, int, int, int, int, Surface *) { return false; }
void show_window(HWND, bool) {}
void destroy_window(HWND, Surface *) {}
void present(HWND, int, int, int, int) {}
void set_cursor_visible(bool) {}
bool cursor_pos(int *x, int *y) {
    *x = *y = 0;
    return false;
}
int64_t now_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
void local_time(SYSTEMTIME *out) { *out = SYSTEMTIME{}; }
void wait_events(int timeout_ms) { poll(nullptr, 0, timeout_ms); }
} // namespace backend
