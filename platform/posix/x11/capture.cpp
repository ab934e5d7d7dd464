// Screen capture: rectangles of the primary monitor read from the root window, converted to the layer's
// 0x00RRGGBB pixels, in strips. Inside a host window the screen is that window, and its picture is the
// one xscreensaver saved of the desktop before it covered it (else the root window's pixels there).

#include "x11_state.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <cstring>

namespace x11 {
namespace {

// The screen is read in strips, one request each, into memory that is used again for every strip: the
// first bytes of the window's shared segment while the window is hidden (the server writes them, with no
// copy through the connection), else Xlib's blocks of a reply. On some machines (virtual ones
// especially) each page touched for the first time costs a trap that takes longer than its copy: a
// whole-screen read into a fresh segment had the server take one per page.
constexpr size_t kSegmentStripBytes = 256 * 1024;
constexpr size_t kConnectionStripBytes = 64 * 1024;

// Converts rows of a screen image to 0x00RRGGBB.
void convert_from_image(XImage *img, int w, int h, uint32_t *dst, int dst_stride) {
    if (image_is_native_rgb32(img)) {
        for (int row = 0; row < h; ++row) {
            const auto *s = reinterpret_cast<const uint32_t *>(img->data + size_t(row) * img->bytes_per_line);
            uint32_t *d = dst + size_t(row) * dst_stride;
            for (int i = 0; i < w; ++i)
                d[i] = s[i] & 0xFFFFFF;
        }
        return;
    }
    if (g.standard_rgb && img->bits_per_pixel == 24) {
        const bool lsb = img->byte_order == LSBFirst;
        for (int row = 0; row < h; ++row) {
            const auto *s = reinterpret_cast<const uint8_t *>(img->data + size_t(row) * img->bytes_per_line);
            uint32_t *d = dst + size_t(row) * dst_stride;
            for (int i = 0; i < w; ++i, s += 3)
                d[i] = lsb ? uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16
                           : uint32_t(s[2]) | uint32_t(s[1]) << 8 | uint32_t(s[0]) << 16;
        }
        return;
    }
    for (int row = 0; row < h; ++row)
        for (int i = 0; i < w; ++i)
            dst[size_t(row) * dst_stride + i] = to_rgb(XGetPixel(img, i, row));
}

// An image of w x rows over the first bytes of the window's shared segment, or null when the window
// is shown (its segment is its picture then) or has none. The caller clears those bytes afterwards: a
// hidden window's pixels are black.
XImage *segment_strip(int w, int rows) {
    if (!g.use_shm || g.shown || !g.image || !alive()) return nullptr;
    XImage *img = XShmCreateImage(g.dpy, g.visual, unsigned(g.depth), ZPixmap, nullptr, &g.shm, unsigned(w),
                                  unsigned(rows));
    if (img &&
        size_t(img->bytes_per_line) * size_t(rows) <= size_t(g.image->bytes_per_line) * size_t(g.surf.h)) {
        img->data = g.shm.shmaddr;
        return img;
    }
    if (img) XDestroyImage(img);
    return nullptr;
}

// Copies the rectangle (sx, sy, w, h) of a drawable of dw x dh pixels into dst; what falls outside the
// drawable, or cannot be read, is black.
void read_drawable(Drawable d, int dw, int dh, int sx, int sy, int w, int h, uint32_t *dst, int dst_stride) {
    const int x0 = std::max(sx, 0), x1 = std::min(sx + w, dw);
    const size_t row_bytes = size_t(std::max(x1 - x0, 1)) * 4;
    XImage *seg =
        x0 < x1 ? segment_strip(x1 - x0, int(std::max<size_t>(1, kSegmentStripBytes / row_bytes))) : nullptr;
    const int strip = seg ? seg->height : int(std::max<size_t>(1, kConnectionStripBytes / row_bytes));
    for (int row = 0; row < h; row += strip) {
        const int n = std::min(strip, h - row);
        uint32_t *out = dst + size_t(row) * dst_stride;
        for (int r = 0; r < n; ++r)
            std::memset(out + size_t(r) * dst_stride, 0, size_t(w) * 4);
        const int y0 = std::max(sy + row, 0), y1 = std::min(sy + row + n, dh);
        if (x0 >= x1 || y0 >= y1 || !alive()) continue;
        uint32_t *at = dst + size_t(y0 - sy) * dst_stride + (x0 - sx);
        if (seg) {
            seg->height = y1 - y0;
            if (XShmGetImage(g.dpy, d, seg, x0, y0, AllPlanes) && alive())
                convert_from_image(seg, x1 - x0, y1 - y0, at, dst_stride);
            continue;
        }
        XImage *img = XGetImage(g.dpy, d, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0), AllPlanes, ZPixmap);
        if (!img) continue;
        convert_from_image(img, x1 - x0, y1 - y0, at, dst_stride);
        XDestroyImage(img);
    }
    if (seg) {
        std::memset(g.shm.shmaddr, 0, size_t(seg->bytes_per_line) * size_t(strip));
        seg->data = nullptr;
        XDestroyImage(seg);
    }
}

// The desktop xscreensaver saved for its window: the pixmap named by the window's
// _SCREENSAVER_SCREENSHOT property (type PIXMAP, format 32, one item), when it has the screen's depth.
bool saved_screenshot(Pixmap *pixmap, int *w, int *h) {
    const Atom name = XInternAtom(g.dpy, "_SCREENSAVER_SCREENSHOT", True);
    if (name == None || !alive()) return false;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(g.dpy, g.host, name, 0, 1, False, XA_PIXMAP, &type, &format, &items, &after,
                           &data) != Success)
        return false;
    Pixmap pm = None;
    if (data && type == XA_PIXMAP && format == 32 && items == 1 && after == 0)
        pm = Pixmap(reinterpret_cast<unsigned long *>(data)[0]); // format 32 arrives as longs
    if (data) XFree(data);
    if (pm == None || !alive()) return false;
    Window root;
    int x, y;
    unsigned pw, ph, border, depth;
    if (!XGetGeometry(g.dpy, pm, &root, &x, &y, &pw, &ph, &border, &depth) || !alive() ||
        int(depth) != g.depth)
        return false;
    *pixmap = pm;
    *w = int(pw);
    *h = int(ph);
    return true;
}

// Where a window of `size` at `place` on the root window starts in a picture `picture` long: at its
// place, kept inside the picture; centred when the window is larger.
int crop_origin(int place, int size, int picture) {
    if (picture >= size) return std::clamp(place, 0, picture - size);
    return -((size - picture) / 2);
}

} // namespace

// Of the backend's entry (backend.cpp).

void read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride) {
    if (!x11::open_display()) {
        for (int r = 0; r < h; ++r)
            std::memset(dst + size_t(r) * dst_stride, 0, size_t(w) * 4);
        return;
    }
    Pixmap shot;
    int sw, sh;
    if (g.hosted && g.host && x11::saved_screenshot(&shot, &sw, &sh)) {
        x11::read_drawable(shot, sw, sh, x11::crop_origin(g.mon_x, g.mon_w, sw) + x,
                           x11::crop_origin(g.mon_y, g.mon_h, sh) + y, w, h, dst, dst_stride);
        return;
    }
    x11::read_drawable(g.root, x11::root_width(), x11::root_height(), g.mon_x + x, g.mon_y + y, w, h, dst,
                       dst_stride);
}

} // namespace x11
