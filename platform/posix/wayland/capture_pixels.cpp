// Captured pixels to the effects' picture (see capture_pixels.h).

#include "capture_pixels.h"

#include <cstring>

namespace wayland {
namespace {

uint32_t read32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v; // the formats are little-endian, as the hosts this program runs on
}

// One pixel of the format at p as 0x00RRGGBB.
uint32_t to_rgb(const uint8_t *p, uint32_t format) {
    switch (format) {
    case kArgb8888:
    case kXrgb8888:
        return read32(p) & 0xFFFFFF;
    case kXbgr8888:
    case kAbgr8888: {
        const uint32_t v = read32(p);
        return (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
    }
    case kRgb888: // bytes B, G, R
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    case kBgr888: // bytes R, G, B
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    case kXrgb2101010:
    case kArgb2101010: { // 10 bits each of red, green, blue from bit 20 down
        const uint32_t v = read32(p);
        return (v >> 22 & 0xFF) << 16 | (v >> 12 & 0xFF) << 8 | (v >> 2 & 0xFF);
    }
    case kXbgr2101010:
    case kAbgr2101010: { // blue, green, red from bit 20 down
        const uint32_t v = read32(p);
        return (v >> 2 & 0xFF) << 16 | (v >> 12 & 0xFF) << 8 | (v >> 22 & 0xFF);
    }
    default:
        return 0;
    }
}

} // namespace

int shm_bytes_per_pixel(uint32_t format) {
    switch (format) {
    case kArgb8888:
    case kXrgb8888:
    case kXbgr8888:
    case kAbgr8888:
    case kXrgb2101010:
    case kArgb2101010:
    case kXbgr2101010:
    case kAbgr2101010:
        return 4;
    case kRgb888:
    case kBgr888:
        return 3;
    default:
        return 0;
    }
}

bool choose_shm_format(const uint32_t *offered, int count, uint32_t *chosen) {
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < count; ++i)
            if (pass == 0 ? offered[i] == kXrgb8888 || offered[i] == kArgb8888
                          : shm_bytes_per_pixel(offered[i]) > 0) {
                *chosen = offered[i];
                return true;
            }
    return false;
}

void transformed_size(int transform, int bw, int bh, int *w, int *h) {
    const bool quarter = transform & 1;
    *w = quarter ? bh : bw;
    *h = quarter ? bw : bh;
}

bool convert_capture(const uint8_t *src, int bw, int bh, int stride, uint32_t format, int transform,
                     bool y_invert, uint32_t *dst, int dst_stride) {
    const int bpp = shm_bytes_per_pixel(format);
    if (bpp == 0 || transform < 0 || transform > 7) return false;
    int w, h;
    transformed_size(transform, bw, bh, &w, &h);
    if (transform == 0 && (format == kXrgb8888 || format == kArgb8888)) {
        // The usual case, row by row: only the unused top byte to clear.
        for (int y = 0; y < h; ++y) {
            const uint8_t *in = src + size_t(y_invert ? bh - 1 - y : y) * size_t(stride);
            uint32_t *out = dst + size_t(y) * size_t(dst_stride);
            std::memcpy(out, in, size_t(w) * 4);
            for (int x = 0; x < w; ++x)
                out[x] &= 0xFFFFFF;
        }
        return true;
    }
    // Picture pixel (x, y) comes from buffer pixel (bx, by) = (x0 + x*dxx + y*dxy, y0 + x*dyx + y*dyy):
    // the buffer holds the picture turned by the transform (quarter turns counter-clockwise, the
    // flipped ones mirrored left to right first), which is undone here.
    int x0 = 0, y0 = 0, dxx = 1, dxy = 0, dyx = 0, dyy = 1;
    switch (transform) {
    case 0: // normal
        break;
    case 1: // 90
        dxx = 0, dxy = 1, dyx = -1, dyy = 0, y0 = w - 1;
        break;
    case 2: // 180
        dxx = -1, dyy = -1, x0 = w - 1, y0 = h - 1;
        break;
    case 3: // 270
        dxx = 0, dxy = -1, dyx = 1, dyy = 0, x0 = h - 1;
        break;
    case 4: // flipped
        dxx = -1, x0 = w - 1;
        break;
    case 5: // flipped 90
        dxx = 0, dxy = 1, dyx = 1, dyy = 0;
        break;
    case 6: // flipped 180
        dyy = -1, y0 = h - 1;
        break;
    case 7: // flipped 270
        dxx = 0, dxy = -1, dyx = -1, dyy = 0, x0 = h - 1, y0 = w - 1;
        break;
    }
    for (int y = 0; y < h; ++y) {
        uint32_t *out = dst + size_t(y) * size_t(dst_stride);
        int bx = x0 + y * dxy, by = y0 + y * dyy;
        for (int x = 0; x < w; ++x, bx += dxx, by += dyx) {
            const int row = y_invert ? bh - 1 - by : by;
            out[x] = to_rgb(src + size_t(row) * size_t(stride) + size_t(bx) * size_t(bpp), format);
        }
    }
    return true;
}

} // namespace wayland
