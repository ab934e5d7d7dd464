// The presenting unit: what a window surface drew and the display has not shown yet, and when it is
// shown. It owns the dirty area of each window surface, the pair of surfaces of the inline single-pixel
// copy (one_pixel.h), the pacing of pushes during a long render, and the pixels held back while a press
// waits or the display is not ready for a frame. gdi marks what it drew; user flushes what was held back
// at each message boundary.
#pragma once

#include "internal.h"

#include <algorithm>

namespace posix {

// A long render looks at the clock every this many transfers onto a window (a power of two: the inline
// copy tests it with a mask).
constexpr uint32_t kOpsBetweenClockChecks = 4096;

// gdi: a transfer found both surfaces live; the single-pixel copy may take them as they are from now on.
void remember_pair(HDC dst, HDC src);
// gdi: the surface dies or changes its bitmap.
void forget_pair_of(HDC dc);
// user: a window's pixels went away.
void forget_pair();
// posix::bitblt, BitBlt's out-of-line part (declared in one_pixel.h), is here too: it counts the
// transfer, finishes the single-pixel copies of the pair that the inline copy left, and hands every other
// transfer to gdi's transfer().

// A long render shows as it goes: about every 50 ms what has been drawn reaches the display.
[[gnu::noinline, gnu::cold]] void check_clock(HDC dc);

// gdi: the rectangle [x0,x1) x [y0,y1), inside the window surface dc, was drawn.
inline void mark_dirty(HDC dc, int x0, int y0, int x1, int y1) {
    if (dc->dirty_x0 >= dc->dirty_x1) [[unlikely]] {
        dc->dirty_x0 = x0;
        dc->dirty_y0 = y0;
        dc->dirty_x1 = x1;
        dc->dirty_y1 = y1;
    } else {
        dc->dirty_x0 = std::min(dc->dirty_x0, x0);
        dc->dirty_y0 = std::min(dc->dirty_y0, y0);
        dc->dirty_x1 = std::max(dc->dirty_x1, x1);
        dc->dirty_y1 = std::max(dc->dirty_y1, y1);
    }
    if (++dc->ops_since_check >= kOpsBetweenClockChecks) [[unlikely]]
        check_clock(dc);
}

// Pushes what a window surface drew to the display: at once when forced (the surface is released), else
// at most once per 50 ms. Held back instead while a press waits or the display is not ready.
void window_surface_push(HDC dc, bool force);
// user, at a message boundary: pushes what was held back, if anything and if the display is ready.
void flush_held_back(HWND hwnd);
// user: the window left the screen; what was held back for it is dropped.
void drop_held_back(HWND hwnd);
// Forgets when a window surface was last pushed.
void reset_push_clock();
uint64_t transfer_count(); // every BitBlt so far

} // namespace posix
