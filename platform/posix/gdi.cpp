// GDI on 32-bit XRGB surfaces: device contexts, compatible bitmaps and the block transfers.
//
// Handles are checked against the registries of live objects and device contexts, never by reading
// through a pointer that may already be freed. What a transfer draws onto a window surface is marked for
// the presenting unit (present.cpp), which also holds the pair of surfaces for the inline single-pixel
// copy: a transfer that finds both live hands them over.

#include "gdi.h"
#include "present.h"
#include "resources.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unordered_set>
#include <vector>

namespace {

std::unordered_set<const void *> g_live_objects; // bitmaps and brushes made and not yet deleted
std::unordered_set<const void *> g_live_dcs;

HBRUSH__ g_black_brush{{GdiKind::Brush}, 0x000000, true};
HBRUSH__ g_white_brush{{GdiKind::Brush}, 0xFFFFFF, true};

// The 1x1 black bitmap that a new memory surface holds, shared by all of them as on Windows.
uint32_t g_stock_pixel = 0;
HBITMAP__ g_stock_bitmap{{GdiKind::Bitmap}, Surface{&g_stock_pixel, 1, 1, 1}, true, nullptr};

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

void free_dc(HDC dc) {
    g_live_dcs.erase(dc);
    posix::forget_pair_of(dc);
    delete dc;
}

bool live_dc(HDC dc) {
    return dc && g_live_dcs.count(dc) != 0;
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

namespace {

// A bitmap of a screen's size (the desktop's snapshot) is written whole at once, right after it is
// made. Left to page faults, each of its zeroed pages would cost a trap of its own there (thousands of
// them at 3840x2160, the largest part of the saver's start): such pixels are mapped from the system with
// every page made at once. (Large pages measured no quicker, and may wait for the kernel to compact
// memory.) Smaller ones come from the heap.
uint32_t *allocate_bitmap_pixels(size_t bytes, size_t *mapped_bytes) {
    *mapped_bytes = 0;
#if defined(__SANITIZE_ADDRESS__)
#define SCRWARPVUE_CHECKED_HEAP 1 // the sanitizer watches the heap's blocks, not mapped pages
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCRWARPVUE_CHECKED_HEAP 1
#endif
#endif
#if !defined(SCRWARPVUE_CHECKED_HEAP) && defined(MADV_POPULATE_WRITE)
    constexpr size_t kMappedBitmapBytes = size_t(4) << 20;
    if (bytes >= kMappedBitmapBytes) {
        void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p != MAP_FAILED) {
            madvise(p, bytes, MADV_POPULATE_WRITE); // zeroed pages, made now in one call
            *mapped_bytes = bytes;
            return static_cast<uint32_t *>(p);
        }
    }
#endif
    return static_cast<uint32_t *>(std::calloc(bytes, 1));
}

} // namespace

void free_bitmap_pixels(uint32_t *px, size_t mapped_bytes) {
    if (mapped_bytes)
        munmap(px, mapped_bytes);
    else
        std::free(px);
}

HBITMAP create_bitmap_without_pixels(int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    // Refuse absurd sizes rather than try to allocate them.
    if (int64_t(w) * int64_t(h) > g_max_bitmap_pixels) return nullptr;
    HBITMAP b = new (std::nothrow) HBITMAP__{};
    if (!b) return nullptr;
    b->kind = GdiKind::Bitmap;
    b->surf = Surface{nullptr, w, h, w};
    g_live_objects.insert(b);
    return b;
}

bool make_bitmap_pixels(HBITMAP b) {
    if (b->surf.px) return true;
    b->surf.px = allocate_bitmap_pixels(size_t(b->surf.w) * size_t(b->surf.h) * 4, &b->mapped_bytes);
    if (!b->surf.px) b->surf = Surface{nullptr, 0, 0, 0}; // nothing to draw from or into
    return b->surf.px != nullptr;
}

HBITMAP create_bitmap(int w, int h) {
    HBITMAP b = create_bitmap_without_pixels(w, h);
    if (b && !make_bitmap_pixels(b)) {
        g_live_objects.erase(b);
        delete b;
        return nullptr;
    }
    return b;
}

size_t live_gdi_objects() {
    return g_live_objects.size();
}
size_t live_dcs() {
    return g_live_dcs.size();
}
void set_max_bitmap_pixels(int64_t pixels) {
    g_max_bitmap_pixels = pixels;
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
    if (b->dib) posix::decode_later_dib(b);
    HBITMAP old = dc->bitmap;
    if (old && old != &g_stock_bitmap) old->selected_in = nullptr;
    dc->bitmap = b;
    dc->surf = &b->surf;
    posix::forget_pair_of(dc);
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
        posix::free_bitmap_pixels(b->surf.px, b->mapped_bytes);
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

// Every transfer but the single-pixel copy: kept out of BitBlt so that the hot case stays small.
[[gnu::noinline]] BOOL posix::transfer(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy,
                                       DWORD rop) {
    if (!live_dc(dst) || dst->kind == DcKind::Screen) return FALSE;
    Surface *ds = dst->surf;
    const Rop *r = rop_of(rop);
    if (!r) return FALSE;
    const bool uses_source = rop_uses_source(*r);
    if (uses_source && !live_dc(src)) return FALSE;
    if (uses_source && src->kind != DcKind::Screen) posix::remember_pair(dst, src);
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
    if (dst->kind == DcKind::Window) posix::mark_dirty(dst, x0, y0, x1, y1);
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
    if (dc->kind == DcKind::Window) posix::mark_dirty(dc, x0, y0, x1, y1);
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
    if (dc->kind == DcKind::Window) posix::mark_dirty(dc, x, y, x + 1, y + 1);
    return color;
}
