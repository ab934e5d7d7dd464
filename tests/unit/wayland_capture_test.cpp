// The Wayland backend's capture conversion: every shared-memory format a compositor hands out, every
// output transform and the upside-down rows of wlr screencopy give the screen's own 0x00RRGGBB picture.

#include "platform/posix/wayland/capture_pixels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(WaylandCapture, EveryFormatAndTransformGivesTheScreensPicture) {
    // Where each format keeps red, green and blue in a pixel of so many bytes (little-endian).
    struct Format {
        uint32_t code;
        int bytes, r, g, b, bits;
        uint32_t alpha; // set in the pixels, to be ignored
    } const kFormats[] = {
        {wayland::kXrgb8888, 4, 16, 8, 0, 8, 0},      {wayland::kArgb8888, 4, 16, 8, 0, 8, 0xFF000000},
        {wayland::kXbgr8888, 4, 0, 8, 16, 8, 0},      {wayland::kAbgr8888, 4, 0, 8, 16, 8, 0xFF000000},
        {wayland::kRgb888, 3, 16, 8, 0, 8, 0},        {wayland::kBgr888, 3, 0, 8, 16, 8, 0},
        {wayland::kXrgb2101010, 4, 20, 10, 0, 10, 0}, {wayland::kArgb2101010, 4, 20, 10, 0, 10, 3u << 30},
        {wayland::kXbgr2101010, 4, 0, 10, 20, 10, 0}, {wayland::kAbgr2101010, 4, 0, 10, 20, 10, 3u << 30},
    };
    // A 3 x 2 buffer of pixels 1 to 6, row by row ("123/456"), and the picture each transform makes of
    // it, as the compositor means it (checked against sway's own rotated outputs).
    struct Turn {
        int transform;
        bool y_invert;
        const char *picture;
    } const kTurns[] = {
        {0, false, "123/456"}, {1, false, "41/52/63"}, {2, false, "654/321"}, {3, false, "36/25/14"},
        {4, false, "321/654"}, {5, false, "14/25/36"}, {6, false, "456/123"}, {7, false, "63/52/41"},
        {0, true, "456/123"},  {1, true, "14/25/36"},
    };
    // Pixel n's colour, with low bits below the top 8 of a 10-bit channel that the picture drops.
    auto colour = [](int n) {
        return uint32_t(0x10 * n) << 16 | uint32_t(0x80 + n) << 8 | uint32_t(0xF0 - n);
    };
    for (const Format &f : kFormats) {
        const int stride = 3 * f.bytes + 5; // rows padded, as a compositor's stride may be
        std::vector<uint8_t> buffer(size_t(stride) * 2, 0xEE);
        for (int n = 1; n <= 6; ++n) {
            const uint32_t c = colour(n), extra = f.bits == 10 ? uint32_t(n & 3) : 0;
            const uint32_t word = ((c >> 16 & 0xFF) << (f.bits - 8) | extra) << f.r |
                                  ((c >> 8 & 0xFF) << (f.bits - 8) | extra) << f.g |
                                  ((c & 0xFF) << (f.bits - 8) | extra) << f.b | f.alpha;
            std::memcpy(&buffer[size_t((n - 1) / 3) * stride + size_t((n - 1) % 3) * f.bytes], &word,
                        size_t(f.bytes));
        }
        for (const Turn &t : kTurns) {
            SCOPED_TRACE(testing::Message() << "format 0x" << std::hex << f.code << std::dec << " transform "
                                            << t.transform << (t.y_invert ? " y-inverted" : ""));
            int w = 0, h = 0;
            wayland::transformed_size(t.transform, 3, 2, &w, &h);
            std::vector<uint32_t> picture(size_t(w + 1) * h, 0xABCDEF);
            ASSERT_TRUE(wayland::convert_capture(buffer.data(), 3, 2, stride, f.code, t.transform, t.y_invert,
                                                 picture.data(), w + 1));
            std::string got;
            for (int y = 0; y < h; ++y) {
                if (y) got += '/';
                for (int x = 0; x < w; ++x) {
                    const uint32_t px = picture[size_t(y) * (w + 1) + x];
                    int n = 1;
                    while (n < 7 && colour(n) != px)
                        ++n;
                    got += n < 7 ? char('0' + n) : '?';
                }
                EXPECT_EQ(picture[size_t(y) * (w + 1) + w], 0xABCDEFu); // the row's padding is left alone
            }
            EXPECT_EQ(got, t.picture);
        }
    }
    // A format it does not take (RGB565) is refused, the picture untouched.
    uint32_t px = 7, src = 0;
    EXPECT_FALSE(
        wayland::convert_capture(reinterpret_cast<uint8_t *>(&src), 1, 1, 4, 0x36314752, 0, false, &px, 1));
    EXPECT_EQ(px, 7u);
}

} // namespace
