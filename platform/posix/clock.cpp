// The layer's clocks: a monotonic millisecond count (timers, GetTickCount) and the local time
// (GetLocalTime). A test double may replace both.

#include "clock.h"
#include "display_backend.h"
#include "internal.h"
#include "testing.h"

#include <ctime>

namespace {

int64_t (*g_now)() = nullptr;
void (*g_local)(SYSTEMTIME *) = nullptr;

} // namespace

namespace posix {

void set_clock(int64_t (*now)(), void (*local)(SYSTEMTIME *)) {
    g_now = now;
    g_local = local;
}

int64_t now_ms() {
    if (g_now) return g_now();
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void local_time(SYSTEMTIME *out) {
    if (g_local) {
        g_local(out);
        return;
    }
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

} // namespace posix
