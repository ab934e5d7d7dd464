// Screen capture: rectangles of the primary monitor read from the root window, converted to the layer's
// 0x00RRGGBB pixels: through the window's shared segment while the window is hidden, else in strips
// through the connection. Inside a host window the screen is that window, and its picture is the
// one xscreensaver saved of the desktop before it covered it (else the root window's pixels there).

#include "x11_state.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <cstring>
#include <sys/mman.h>

namespace x11 {
namespace {

constexpr int kStripRows = 64; // rows per XGetImage while reading the screen through the connection

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

// Reads the rectangle (sx, sy, w, h) of a drawable into dst through the saver window's shared segment:
// one request, the pixels through memory instead of the connection. Only while the window is hidden: a
// hidden window keeps no picture of its own (as on Windows, it is erased and painted when shown), so
// its pixels can hold the screen for a moment, and they are black again afterwards. That also has the
// server bring in every page of the new segment here, where it writes them anyway, instead of at the
// first push, which would wait for it. False, with nothing read, when this is not possible.
bool read_through_segment(Drawable d, int sx, int sy, int w, int h, uint32_t *dst, int dst_stride) {
    if (!g.use_shm || g.shown || !g.image || !alive()) return false;
    XImage *img = XShmCreateImage(g.dpy, g.visual, unsigned(g.depth), ZPixmap, nullptr, &g.shm, unsigned(w),
                                  unsigned(h));
    if (!img) return false;
    const size_t bytes = size_t(img->bytes_per_line) * size_t(h);
    bool ok = false;
    if (bytes <= size_t(g.image->bytes_per_line) * size_t(g.surf.h)) {
        img->data = g.shm.shmaddr;
        ok = XShmGetImage(g.dpy, d, img, sx, sy, AllPlanes) && alive();
        if (ok) {
#ifdef MADV_POPULATE_WRITE
            madvise(g.shm.shmaddr, bytes, MADV_POPULATE_WRITE); // the pages exist: map them with one call
#endif
            convert_from_image(img, w, h, dst, dst_stride);
        }
        std::memset(g.shm.shmaddr, 0, bytes);
        img->data = nullptr;
    }
    XDestroyImage(img);
    return ok;
}

// Copies the rectangle (sx, sy, w, h) of a drawable of dw x dh pixels into dst; what falls outside the
// drawable, or cannot be read, is black.
void read_drawable(Drawable d, int dw, int dh, int sx, int sy, int w, int h, uint32_t *dst, int dst_stride) {
    if (sx >= 0 && sy >= 0 && sx + w <= dw && sy + h <= dh &&
        read_through_segment(d, sx, sy, w, h, dst, dst_stride))
        return;
    const int x0 = std::max(sx, 0), x1 = std::min(sx + w, dw);
    for (int row = 0; row < h; row += kStripRows) {
        const int n = std::min(kStripRows, h - row);
        uint32_t *out = dst + size_t(row) * dst_stride;
        for (int r = 0; r < n; ++r)
            std::memset(out + size_t(r) * dst_stride, 0, size_t(w) * 4);
        const int y0 = std::max(sy + row, 0), y1 = std::min(sy + row + n, dh);
        if (x0 >= x1 || y0 >= y1 || !alive()) continue;
        XImage *img = XGetImage(g.dpy, d, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0), AllPlanes, ZPixmap);
        if (!img) continue;
        convert_from_image(img, x1 - x0, y1 - y0, dst + size_t(y0 - sy) * dst_stride + (x0 - sx), dst_stride);
        XDestroyImage(img);
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
