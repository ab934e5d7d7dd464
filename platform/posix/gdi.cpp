// GDI on 32-bit XRGB surfaces: device contexts, compatible bitmaps and the block transfers.
//
// Handles are checked against the registries of live objects and device contexts, never by reading
// through a pointer that may already be freed. The single-pixel BitBlt is the program's hot path
// (millions of calls per picture): the layer remembers the last pair of device contexts it found live,
// and the header's inline BitBlt copies a pixel between them with a few compares, a clip and a store.

#include "internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

namespace posix {
OnePixelPair g_one_pixel;
uint64_t g_transfers = 0;
} // namespace posix

namespace {

using posix::g_transfers;
posix::OnePixelPair &g_hot = posix::g_one_pixel;

std::unordered_set<const void *> g_live_objects; // bitmaps and brushes made and not yet deleted
std::unordered_set<const void *> g_live_dcs;

constexpr int64_t kPushIntervalMs = 50;
constexpr uint32_t kOpsBetweenClockChecks = 4096; // a power of two: the hot case tests it with a mask

HBRUSH__ g_black_brush{{GdiKind::Brush}, 0x000000, true};
HBRUSH__ g_white_brush{{GdiKind::Brush}, 0xFFFFFF, true};

// The 1x1 black bitmap that a new memory surface holds, shared by all of them as on Windows.
uint32_t g_stock_pixel = 0;
HBITMAP__ g_stock_bitmap{{GdiKind::Bitmap}, Surface{&g_stock_pixel, 1, 1, 1}, true, nullptr};

int64_t g_last_push_ms = 0;
int64_t g_max_bitmap_pixels = int64_t(1) << 28;

HDC new_dc(DcKind kind) {
    HDC dc = new (std::nothrow) HDC__{};
    if (!dc) return nullptr;
    dc->kind = kind;
    dc->dirty_x0 = dc->dirty_y0 = 0;
    dc->dirty_x1 = dc->dirty_y1 = 0;
    g_live_dcs.insert(dc);
    return dc;
}

void forget_hot_pair_of(HDC dc) {
    if (dc == g_hot.dst || dc == g_hot.src) g_hot = posix::OnePixelPair{};
}

void free_dc(HDC dc) {
    g_live_dcs.erase(dc);
    forget_hot_pair_of(dc);
    delete dc;
}

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

// Both live pixel surfaces: the single-pixel copy may take them as they are from now on.
void remember_hot_pair(HDC dst, HDC src) {
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
    g_hot.clock_mask = dst->kind == DcKind::Window ? kOpsBetweenClockChecks - 1 : ~0ull;
    update_hot_area();
}

bool live_dc(HDC dc) {
    return dc && g_live_dcs.count(dc) != 0;
}

// A long render shows as it goes: about every 50 ms what has been drawn reaches the display.
[[gnu::noinline, gnu::cold]] void check_clock(HDC dc) {
    dc->ops_since_check = 0;
    posix::window_surface_push(dc, false);
}

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

constexpr uint32_t kRgb = 0x00FFFFFF, kAll = 0xFFFFFFFF;

// Every raster operation the layer knows is one row of this table: dst = (dst & A) ^ X, where
// A = (src & a_src) ^ a_const and X = (src & x_src) ^ x_const.
struct Rop {
    DWORD code;
    uint32_t a_src, a_const, x_src, x_const;
};
constexpr Rop kRops[] = {
    {SRCCOPY, 0, 0, kAll, 0},        // src
    {NOTSRCCOPY, 0, 0, kRgb, kRgb},  // ~src
    {SRCAND, kAll, 0, 0, 0},         // dst & src
    {SRCPAINT, kAll, kAll, kAll, 0}, // dst | src, as (dst & ~src) ^ src
    {BLACKNESS, 0, 0, 0, 0},         // black
    {WHITENESS, 0, 0, 0, kRgb},      // white
};
const Rop &kCopy = kRops[0];

const Rop *rop_of(DWORD code) {
    for (const Rop &r : kRops)
        if (r.code == code) return &r;
    return nullptr;
}

bool rop_uses_source(const Rop &r) {
    return (r.a_src | r.x_src) != 0;
}

// One row of a transfer; s is null for the operations that read no source.
void apply_row(uint32_t *d, const uint32_t *s, int n, const Rop &r) {
    if (!s) {
        for (int i = 0; i < n; ++i)
            d[i] = (d[i] & r.a_const) ^ r.x_const;
    } else if (&r == &kCopy) {
        if (n == 1)
            *d = *s; // the columns of the squeezed pictures: no library call per row
        else
            std::memcpy(d, s, size_t(n) * 4);
    } else if ((r.a_src | r.a_const) == 0) {
        // A is 0: the destination is only overwritten (the inverted copy), so it is not read.
        for (int i = 0; i < n; ++i)
            d[i] = (s[i] & r.x_src) ^ r.x_const;
    } else {
        for (int i = 0; i < n; ++i)
            d[i] = (d[i] & ((s[i] & r.a_src) ^ r.a_const)) ^ ((s[i] & r.x_src) ^ r.x_const);
    }
}

// Width and height a surface offers for clipping: the screen's size for the screen surface.
void extent_of(HDC dc, int *w, int *h) {
    if (dc->kind == DcKind::Screen) {
        backend::display().screen_size(w, h);
    } else {
        *w = dc->surf->w;
        *h = dc->surf->h;
    }
}

} // namespace

namespace posix {

HDC dc_from(HDC dc) {
    return live_dc(dc) ? dc : nullptr;
}

HBITMAP bitmap_from(HGDIOBJ obj) {
    if (!obj) return nullptr;
    if (obj == &g_stock_bitmap) return &g_stock_bitmap;
    if (!g_live_objects.count(obj)) return nullptr;
    auto *g = static_cast<GdiObject *>(obj);
    return g->kind == GdiKind::Bitmap ? static_cast<HBITMAP>(g) : nullptr;
}

HBITMAP create_bitmap(int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    // Refuse absurd sizes rather than try to allocate them.
    if (int64_t(w) * int64_t(h) > g_max_bitmap_pixels) return nullptr;
    auto *px = static_cast<uint32_t *>(std::calloc(size_t(w) * size_t(h), 4));
    if (!px) return nullptr;
    HBITMAP b = new (std::nothrow) HBITMAP__{};
    if (!b) {
        std::free(px);
        return nullptr;
    }
    b->kind = GdiKind::Bitmap;
    b->surf = Surface{px, w, h, w};
    g_live_objects.insert(b);
    return b;
}

// While a key press or a click waits, what was drawn is held back and pushed once the press has been handled:
// the press most likely closes the window, and on a large screen the push (the server copying up to a whole
// frame) would hold up the desktop's return by several milliseconds. Handling a press does not wait for
// pixels that nobody would see.
void window_surface_push(HDC dc, bool force) {
    if (dc->kind != DcKind::Window || dc->dirty_x0 >= dc->dirty_x1) return;
    int64_t now = posix::now_ms();
    if (!force && now - g_last_push_ms < kPushIntervalMs) return;
    g_last_push_ms = now;
    HWND hwnd = window_from(dc->hwnd);
    if (hwnd && hwnd->visible && hwnd->top_level_display) {
        RECT &held = hwnd->held_back;
        if (held.left >= held.right) {
            held = RECT{dc->dirty_x0, dc->dirty_y0, dc->dirty_x1, dc->dirty_y1};
        } else {
            held.left = std::min<LONG>(held.left, dc->dirty_x0);
            held.top = std::min<LONG>(held.top, dc->dirty_y0);
            held.right = std::max<LONG>(held.right, dc->dirty_x1);
            held.bottom = std::max<LONG>(held.bottom, dc->dirty_y1);
        }
        if (!press_waiting()) push_held_back(hwnd);
    }
    dc->dirty_x0 = dc->dirty_x1 = 0;
    dc->dirty_y0 = dc->dirty_y1 = 0;
    if (dc == g_hot.dst) update_hot_area();
}

void push_held_back(HWND hwnd) {
    RECT &held = hwnd->held_back;
    if (held.left >= held.right) return;
    if (hwnd->visible && !hwnd->destroyed && hwnd->top_level_display) {
        const backend::DisplayBackend &d = backend::display();
        // A display that paces frames, not ready yet or without a free buffer: the area stays held back
        // for the next message boundary (its frame callback ends the wait for events).
        if (d.frame_ready && !d.frame_ready(hwnd)) return;
        if (!d.present(hwnd, hwnd->surf, held.left, held.top, held.right - held.left, held.bottom - held.top))
            return;
    }
    held = RECT{};
}

void forget_transfer_pair() {
    g_hot = posix::OnePixelPair{};
}

size_t live_gdi_objects() {
    return g_live_objects.size();
}
size_t live_dcs() {
    return g_live_dcs.size();
}
uint64_t transfer_count() {
    return g_transfers;
}
void set_max_bitmap_pixels(int64_t pixels) {
    g_max_bitmap_pixels = pixels;
}

void reset_gdi_clock() {
    g_last_push_ms = 0;
}

} // namespace posix

HDC WINAPI GetDC(HWND hwnd) {
    if (!hwnd) {
        HDC dc = new_dc(DcKind::Screen);
        return dc;
    }
    HWND w = posix::window_from(hwnd);
    if (!w || !w->surf.px) return nullptr;
    HDC dc = new_dc(DcKind::Window);
    if (!dc) return nullptr;
    dc->surf = &w->surf;
    dc->hwnd = w;
    ++w->dc_count;
    return dc;
}

int WINAPI ReleaseDC(HWND hwnd, HDC dc) {
    if (!live_dc(dc) || dc->kind == DcKind::Memory) return 0;
    if (dc->kind == DcKind::Window) {
        if (dc->hwnd != hwnd) return 0;
        posix::window_surface_push(dc, true);
        if (HWND w = posix::window_from(dc->hwnd)) --w->dc_count;
    } else if (hwnd) {
        return 0;
    }
    free_dc(dc);
    return 1;
}

HDC WINAPI CreateCompatibleDC(HDC dc) {
    if (dc && !live_dc(dc)) return nullptr;
    HDC mem = new_dc(DcKind::Memory);
    if (!mem) return nullptr;
    mem->bitmap = &g_stock_bitmap;
    mem->surf = &g_stock_bitmap.surf;
    return mem;
}

BOOL WINAPI DeleteDC(HDC dc) {
    if (!live_dc(dc) || dc->kind != DcKind::Memory) return FALSE;
    if (dc->bitmap && dc->bitmap != &g_stock_bitmap) dc->bitmap->selected_in = nullptr;
    free_dc(dc);
    return TRUE;
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int w, int h) {
    if (!live_dc(dc)) return nullptr;
    return posix::create_bitmap(w, h);
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    if (!live_dc(dc)) return nullptr;
    HBITMAP b = posix::bitmap_from(object);
    if (!b) {
        // Brushes select as a no-op: the program fills with explicit brushes only.
        if (object == &g_black_brush || object == &g_white_brush || g_live_objects.count(object))
            return &g_black_brush;
        return nullptr;
    }
    if (dc->kind != DcKind::Memory) return nullptr;
    if (b != &g_stock_bitmap && b->selected_in && b->selected_in != dc) return nullptr; // one DC at a time
    HBITMAP old = dc->bitmap;
    if (old && old != &g_stock_bitmap) old->selected_in = nullptr;
    dc->bitmap = b;
    dc->surf = &b->surf;
    forget_hot_pair_of(dc);
    if (b != &g_stock_bitmap) b->selected_in = dc;
    return old;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    if (!object || !g_live_objects.count(object)) return FALSE; // stock objects and strangers
    auto *g = static_cast<GdiObject *>(object);
    if (g->kind == GdiKind::Bitmap) {
        auto *b = static_cast<HBITMAP>(g);
        if (b->selected_in) return FALSE; // still in a memory surface
        g_live_objects.erase(object);
        std::free(b->surf.px);
        b->kind = GdiKind::Dead;
        delete b;
        return TRUE;
    }
    g_live_objects.erase(object);
    g->kind = GdiKind::Dead;
    delete static_cast<HBRUSH>(g);
    return TRUE;
}

HGDIOBJ WINAPI GetStockObject(int index) {
    switch (index) {
    case BLACK_BRUSH:
        return &g_black_brush;
    case WHITE_BRUSH:
        return &g_white_brush;
    default:
        return nullptr;
    }
}

int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID out) {
    HBITMAP b = posix::bitmap_from(object);
    if (!b) return 0;
    if (!out) return int(sizeof(BITMAP));
    if (size < int(sizeof(BITMAP))) return 0;
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = b->surf.w;
    bm.bmHeight = b->surf.h;
    bm.bmWidthBytes = b->surf.w * 4;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = 32;
    bm.bmBits = nullptr;
    std::memcpy(out, &bm, sizeof bm);
    return int(sizeof(BITMAP));
}

int WINAPI GetDeviceCaps(HDC dc, int index) {
    if (!live_dc(dc)) return 0;
    int w = 0, h = 0;
    backend::display().screen_size(&w, &h);
    switch (index) {
    case HORZRES:
        return w;
    case VERTRES:
        return h;
    case BITSPIXEL:
        return 32;
    default:
        return 0;
    }
}

namespace {

// Every transfer but the single-pixel copy: kept out of BitBlt so that the hot case stays small.
[[gnu::noinline]] BOOL transfer(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    if (!live_dc(dst) || dst->kind == DcKind::Screen) return FALSE;
    Surface *ds = dst->surf;
    const Rop *r = rop_of(rop);
    if (!r) return FALSE;
    const bool uses_source = rop_uses_source(*r);
    if (uses_source && !live_dc(src)) return FALSE;
    if (uses_source && src->kind != DcKind::Screen) remember_hot_pair(dst, src);
    if (w <= 0 || h <= 0) return TRUE;

    // Clip to the destination, then to the source, in 64 bits: far-off coordinates must not overflow.
    int64_t cx0 = x, cy0 = y, cx1 = int64_t(x) + w, cy1 = int64_t(y) + h;
    int64_t cdx = 0, cdy = 0; // source offset relative to the destination
    if (uses_source) {
        cdx = int64_t(sx) - x;
        cdy = int64_t(sy) - y;
    }
    cx0 = std::max<int64_t>(cx0, 0);
    cy0 = std::max<int64_t>(cy0, 0);
    cx1 = std::min<int64_t>(cx1, ds->w);
    cy1 = std::min<int64_t>(cy1, ds->h);
    if (uses_source) {
        int sw = 0, sh = 0;
        extent_of(src, &sw, &sh);
        cx0 = std::max(cx0, -cdx);
        cy0 = std::max(cy0, -cdy);
        cx1 = std::min(cx1, sw - cdx);
        cy1 = std::min(cy1, sh - cdy);
    }
    if (cx0 >= cx1 || cy0 >= cy1) return TRUE;
    // What is left lies inside both surfaces, so it fits in int again.
    const int x0 = int(cx0), y0 = int(cy0), x1 = int(cx1), y1 = int(cy1), dx = int(cdx), dy = int(cdy);
    const int n = x1 - x0;

    if (!uses_source) {
        for (int row = y0; row < y1; ++row)
            apply_row(ds->px + size_t(row) * ds->stride + x0, nullptr, n, *r);
    } else if (src->kind == DcKind::Screen) {
        if (r == &kCopy) {
            posix::read_screen(x0 + dx, y0 + dy, n, y1 - y0, ds->px + size_t(y0) * ds->stride + x0,
                               ds->stride);
        } else {
            std::vector<uint32_t> line(static_cast<size_t>(n));
            for (int row = y0; row < y1; ++row) {
                posix::read_screen(x0 + dx, row + dy, n, 1, line.data(), n);
                apply_row(ds->px + size_t(row) * ds->stride + x0, line.data(), n, *r);
            }
        }
    } else {
        const Surface *ss = src->surf;
        // Overlapping transfers within one surface copy through a row buffer in the safe direction.
        if (ss == ds) {
            std::vector<uint32_t> line(static_cast<size_t>(n));
            const bool bottom_up = dy < 0; // the source lies above: rows below are read later
            for (int i = 0; i < y1 - y0; ++i) {
                int row = bottom_up ? y1 - 1 - i : y0 + i;
                std::memcpy(line.data(), ss->px + size_t(row + dy) * ss->stride + (x0 + dx), size_t(n) * 4);
                apply_row(ds->px + size_t(row) * ds->stride + x0, line.data(), n, *r);
            }
        } else {
            for (int row = y0; row < y1; ++row)
                apply_row(ds->px + size_t(row) * ds->stride + x0,
                          ss->px + size_t(row + dy) * ss->stride + (x0 + dx), n, *r);
        }
    }
    if (dst->kind == DcKind::Window) mark_dirty(dst, x0, y0, x1, y1);
    return TRUE;
}

// A single pixel of the remembered pair outside the area where it needs only its store: on the destination
// but not yet in its dirty area, or off either surface.
[[gnu::noinline]] void pixel_outside_hot_area(int x, int y, int sx, int sy) {
    if (unsigned(x) >= g_hot.dw || unsigned(y) >= g_hot.dh) return;
    uint32_t *d = g_hot.dpx + size_t(y) * g_hot.dstride + x;
    *d = g_hot.spx[size_t(sy) * g_hot.sstride + sx];
    HDC dst = g_hot.dst;
    if (dst->kind != DcKind::Window) return;
    mark_dirty(dst, x, y, x + 1, y + 1);
    if (dst == g_hot.dst) update_hot_area(); // a push on the way may have forgotten the pair
}

} // namespace

// Every transfer that BitBlt's inline case leaves to the layer: another size or operation, another pair of
// surfaces, a pixel outside the area where it needs only its store, and each kOpsBetweenClockChecks-th one
// onto a window, at which a long render looks at the clock (by the process-wide count of transfers).
BOOL posix::bitblt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    ++g_transfers;
    if (w != 1 || h != 1 || rop != SRCCOPY || dst != g_hot.dst || src != g_hot.src || !dst)
        return transfer(dst, x, y, w, h, src, sx, sy, rop);
    if (unsigned(sx) >= g_hot.sw || unsigned(sy) >= g_hot.sh) return TRUE;
    if (uint64_t(x - g_hot.fx0) < g_hot.fw && uint64_t(y - g_hot.fy0) < g_hot.fh) {
        g_hot.dpx[size_t(y) * g_hot.dstride + size_t(x)] = g_hot.spx[size_t(sy) * g_hot.sstride + size_t(sx)];
        if ((g_transfers & g_hot.clock_mask) == 0) check_clock(dst);
        return TRUE;
    }
    pixel_outside_hot_area(x, y, sx, sy);
    return TRUE;
}

// The program only ever stretches to the same size, which is a plain transfer; a scaling stretch is
// not part of the subset and fails.
BOOL WINAPI StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                       DWORD rop) {
    if (w != sw || h != sh) return FALSE;
    return BitBlt(dst, x, y, w, h, src, sx, sy, rop);
}

int WINAPI FillRect(HDC dc, const RECT *rect, HBRUSH brush) {
    if (!live_dc(dc) || dc->kind == DcKind::Screen || !rect) return 0;
    uint32_t color;
    auto value = reinterpret_cast<uintptr_t>(brush);
    if (value > 0 && value <= 31) {
        color = value == COLOR_WINDOW + 1 ? kRgb : 0; // system colour index + 1
    } else if (brush == &g_black_brush || brush == &g_white_brush || g_live_objects.count(brush)) {
        color = brush->color;
    } else {
        return 0;
    }
    Surface *s = dc->surf;
    int x0 = std::max<int>(rect->left, 0), y0 = std::max<int>(rect->top, 0);
    int x1 = std::min<int>(rect->right, s->w), y1 = std::min<int>(rect->bottom, s->h);
    if (x0 >= x1 || y0 >= y1) return 1;
    for (int row = y0; row < y1; ++row)
        std::fill_n(s->px + size_t(row) * s->stride + x0, x1 - x0, color);
    if (dc->kind == DcKind::Window) mark_dirty(dc, x0, y0, x1, y1);
    return 1;
}

static COLORREF to_colorref(uint32_t px) {
    return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

COLORREF WINAPI GetPixel(HDC dc, int x, int y) {
    if (!live_dc(dc)) return CLR_INVALID;
    if (dc->kind == DcKind::Screen) {
        int w = 0, h = 0;
        backend::display().screen_size(&w, &h);
        if (x < 0 || y < 0 || x >= w || y >= h) return CLR_INVALID;
        uint32_t px = 0;
        posix::read_screen(x, y, 1, 1, &px, 1);
        return to_colorref(px);
    }
    Surface *s = dc->surf;
    if (x < 0 || y < 0 || x >= s->w || y >= s->h) return CLR_INVALID;
    return to_colorref(s->px[size_t(y) * s->stride + x]);
}

COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF color) {
    if (!live_dc(dc) || dc->kind == DcKind::Screen) return CLR_INVALID;
    Surface *s = dc->surf;
    if (x < 0 || y < 0 || x >= s->w || y >= s->h) return CLR_INVALID;
    s->px[size_t(y) * s->stride + x] = ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
    if (dc->kind == DcKind::Window) mark_dirty(dc, x, y, x + 1, y + 1);
    return color;
}
