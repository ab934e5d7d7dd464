// Screen capture: rectangles of the primary monitor read from the root window, in strips, converted to
// the layer's 0x00RRGGBB pixels.

#include "x11_state.h"

#include <algorithm>
#include <cstring>

namespace x11 {
namespace {

constexpr int kStripRows = 64; // rows per XGetImage while reading the screen

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

} // namespace
} // namespace x11

namespace backend {

void read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride) {
    using x11::g;
    for (int row = 0; row < h; row += x11::kStripRows) {
        int n = std::min(x11::kStripRows, h - row);
        uint32_t *out = dst + size_t(row) * dst_stride;
        XImage *img = nullptr;
        if (x11::open_display())
            img = XGetImage(g.dpy, g.root, g.mon_x + x, g.mon_y + y + row, unsigned(w), unsigned(n),
                            AllPlanes, ZPixmap);
        if (!img) {
            for (int r = 0; r < n; ++r)
                std::memset(out + size_t(r) * dst_stride, 0, size_t(w) * 4);
            continue;
        }
        x11::convert_from_image(img, w, n, out, dst_stride);
        XDestroyImage(img);
    }
}

} // namespace backend
