// The presenting unit: dirty areas, the single-pixel copy's pair, the pacing of pushes and the pixels held
// back (see present.h).
//
// While a key press or a click waits, what was drawn is held back and pushed once the press has been
// handled: the press most likely closes the window, and on a large screen the push (the server copying up
// to a whole frame) would hold up the desktop's return by several milliseconds. Handling a press does not
// wait for pixels that nobody would see. A display that paces frames holds them back the same way until
// it is ready for the next one.

#include "present.h"
#include "testing.h"

namespace posix {
OnePixelPair g_one_pixel;
uint64_t g_transfers = 0;
} // namespace posix

namespace {

using posix::g_transfers;
posix::OnePixelPair &g_hot = posix::g_one_pixel;

constexpr int64_t kPushIntervalMs = 50;

int64_t g_last_push_ms = 0;

// A test's look at every transfer as it happens (testing.h); while it is set, the inline copy hands every
// transfer to the layer.
void (*g_after_transfer)() = nullptr;

// The destination's area where a pixel needs nothing but its store, after its dirty area changed.
void update_hot_area() {
    HDC dc = g_hot.dst;
    if (dc->kind != DcKind::Window) {
        g_hot.fx0 = g_hot.fy0 = 0;
        g_hot.fw = g_hot.dw;
        g_hot.fh = g_hot.dh;
        return;
    }
    const int x0 = std::max(dc->dirty_x0, 0), y0 = std::max(dc->dirty_y0, 0);
    const int x1 = std::min(dc->dirty_x1, int(g_hot.dw)), y1 = std::min(dc->dirty_y1, int(g_hot.dh));
    g_hot.fx0 = x0;
    g_hot.fy0 = y0;
    g_hot.fw = x1 > x0 && y1 > y0 ? unsigned(x1 - x0) : 0;
    g_hot.fh = x1 > x0 && y1 > y0 ? unsigned(y1 - y0) : 0;
}

// A single pixel of the remembered pair outside the area where it needs only its store: on the destination
// but not yet in its dirty area, or off either surface.
[[gnu::noinline]] void pixel_outside_hot_area(int x, int y, int sx, int sy) {
    if (unsigned(x) >= g_hot.dw || unsigned(y) >= g_hot.dh) return;
    uint32_t *d = g_hot.dpx + size_t(y) * g_hot.dstride + x;
    *d = g_hot.spx[size_t(sy) * g_hot.sstride + sx];
    HDC dst = g_hot.dst;
    if (dst->kind != DcKind::Window) return;
    posix::mark_dirty(dst, x, y, x + 1, y + 1);
    if (dst == g_hot.dst) update_hot_area(); // a push on the way may have forgotten the pair
}

void hold_back(HWND hwnd, HDC dc) {
    RECT &held = hwnd->held_back;
    if (held.left >= held.right) {
        held = RECT{dc->dirty_x0, dc->dirty_y0, dc->dirty_x1, dc->dirty_y1};
    } else {
        held.left = std::min<LONG>(held.left, dc->dirty_x0);
        held.top = std::min<LONG>(held.top, dc->dirty_y0);
        held.right = std::max<LONG>(held.right, dc->dirty_x1);
        held.bottom = std::max<LONG>(held.bottom, dc->dirty_y1);
    }
}

} // namespace

namespace posix {

void remember_pair(HDC dst, HDC src) {
    if (dst == g_hot.dst && src == g_hot.src) return;
    const Surface *ds = dst->surf, *ss = src->surf;
    g_hot.dst = dst;
    g_hot.src = src;
    g_hot.dpx = ds->px;
    g_hot.spx = ss->px;
    g_hot.dstride = size_t(ds->stride);
    g_hot.sstride = size_t(ss->stride);
    g_hot.dw = unsigned(std::max(ds->w, 0));
    g_hot.dh = unsigned(std::max(ds->h, 0));
    g_hot.sw = unsigned(std::max(ss->w, 0));
    g_hot.sh = unsigned(std::max(ss->h, 0));
    g_hot.clock_mask = g_after_transfer              ? 0
                       : dst->kind == DcKind::Window ? kOpsBetweenClockChecks - 1
                                                     : ~0ull;
    update_hot_area();
}

void forget_pair_of(HDC dc) {
    if (dc == g_hot.dst || dc == g_hot.src) g_hot = OnePixelPair{};
}

void forget_pair() {
    g_hot = OnePixelPair{};
}

void check_clock(HDC dc) {
    dc->ops_since_check = 0;
    window_surface_push(dc, false);
}

void window_surface_push(HDC dc, bool force) {
    if (dc->kind != DcKind::Window || dc->dirty_x0 >= dc->dirty_x1) return;
    int64_t now = now_ms();
    if (!force && now - g_last_push_ms < kPushIntervalMs) return;
    g_last_push_ms = now;
    HWND hwnd = window_from(dc->hwnd);
    if (hwnd && hwnd->visible && hwnd->top_level_display) {
        hold_back(hwnd, dc);
        if (!press_waiting()) flush_held_back(hwnd);
    }
    dc->dirty_x0 = dc->dirty_x1 = 0;
    dc->dirty_y0 = dc->dirty_y1 = 0;
    if (dc == g_hot.dst) update_hot_area();
}

void flush_held_back(HWND hwnd) {
    RECT &held = hwnd->held_back;
    if (held.left >= held.right) return;
    if (hwnd->visible && !hwnd->destroyed && hwnd->top_level_display) {
        const backend::DisplayBackend &d = backend::display();
        // Not ready for a frame, or no free buffer: the area stays held back for the next message boundary
        // (the display's frame callback ends the wait for events).
        if (d.frame_ready && !d.frame_ready(hwnd)) return;
        if (!d.present(hwnd, hwnd->surf, held.left, held.top, held.right - held.left, held.bottom - held.top))
            return;
    }
    held = RECT{};
}

void drop_held_back(HWND hwnd) {
    hwnd->held_back = RECT{};
}

void reset_push_clock() {
    g_last_push_ms = 0;
}

uint64_t transfer_count() {
    return g_transfers;
}

void after_each_transfer(void (*hook)()) {
    g_after_transfer = hook;
    forget_pair(); // the next transfer takes the pair again, with the inline copy's exit set to match
}

namespace {

BOOL one_transfer(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    if (w != 1 || h != 1 || rop != SRCCOPY || dst != g_hot.dst || src != g_hot.src || !dst)
        return transfer(dst, x, y, w, h, src, sx, sy, rop);
    if (unsigned(sx) >= g_hot.sw || unsigned(sy) >= g_hot.sh) return TRUE;
    if (uint64_t(x - g_hot.fx0) < g_hot.fw && uint64_t(y - g_hot.fy0) < g_hot.fh) {
        g_hot.dpx[size_t(y) * g_hot.dstride + size_t(x)] = g_hot.spx[size_t(sy) * g_hot.sstride + size_t(sx)];
        if (dst->kind == DcKind::Window && (g_transfers & (kOpsBetweenClockChecks - 1)) == 0)
            check_clock(dst);
        return TRUE;
    }
    pixel_outside_hot_area(x, y, sx, sy);
    return TRUE;
}

} // namespace

// Every transfer that BitBlt's inline case leaves to the layer: another size or operation, another pair of
// surfaces, a pixel outside the area where it needs only its store, and each kOpsBetweenClockChecks-th one
// onto a window, at which a long render looks at the clock (by the process-wide count of transfers).
BOOL bitblt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    ++g_transfers;
    const BOOL done = one_transfer(dst, x, y, w, h, src, sx, sy, rop);
    if (g_after_transfer) [[unlikely]]
        g_after_transfer();
    return done;
}

} // namespace posix
