// Turning a captured output's pixels into the picture the effects read: whatever shared-memory format
// the compositor handed out, whichever way the output is turned and whether the rows come bottom up, the
// result is 0x00RRGGBB pixels in the screen's own orientation, as an X server's picture is. Plain
// arithmetic over bytes, with nothing of Wayland in it.
#pragma once

#include <cstdint>

namespace wayland {

// The shared-memory formats a capture may come in (wl_shm's codes: the first two are its own, the
// others DRM fourcc codes).
enum ShmFormat : uint32_t {
    kArgb8888 = 0,
    kXrgb8888 = 1,
    kXbgr8888 = 0x34324258,    // 'XB24'
    kAbgr8888 = 0x34324241,    // 'AB24'
    kRgb888 = 0x34324752,      // 'RG24'
    kBgr888 = 0x34324742,      // 'BG24'
    kXrgb2101010 = 0x30335258, // 'XR30'
    kArgb2101010 = 0x30335241, // 'AR30'
    kXbgr2101010 = 0x30334258, // 'XB30'
    kAbgr2101010 = 0x30334241, // 'AB30'
};

// Whether the capture can take this format, and its bytes per pixel (0: not taken).
int shm_bytes_per_pixel(uint32_t format);

// Which of the taken formats a capture asks for, from those offered (count of them): the first plain
// 32-bit one, else the first taken at all. Returns false when none is taken.
bool choose_shm_format(const uint32_t *offered, int count, uint32_t *chosen);

// The size of the picture a buffer of bw x bh becomes under the output transform (wl_output's codes,
// 0 to 7: the odd ones turn it a quarter, so width and height trade places).
void transformed_size(int transform, int bw, int bh, int *w, int *h);

// Converts the captured buffer (bw x bh pixels of format, stride bytes a row; upside down when
// y_invert) into dst, the picture of transformed_size(), dst_stride pixels a row: 0x00RRGGBB, the
// top 8 bits of each channel. The transform is the one the output (wlr screencopy) or the frame (image
// copy capture) reports: how the buffer's contents are turned against the screen as the user sees it.
// Returns false, writing nothing, for a format it does not take or a transform outside 0 to 7.
bool convert_capture(const uint8_t *src, int bw, int bh, int stride, uint32_t format, int transform,
                     bool y_invert, uint32_t *dst, int dst_stride);

} // namespace wayland
