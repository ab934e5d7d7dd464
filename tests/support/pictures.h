// Stand-in bitmaps for the tests and the artwork's sizes as the generated header lists them: a bitmap of
// one colour, a bitmap whose every pixel a function gives, and the listed size of a bitmap by name.
#pragma once

#include "platform/posix/internal.h"
#include "resources/artwork.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace test {

struct Size {
    int w, h;
};

struct ListedBitmap {
    const char *name;
    int w, h;
};
// The list itself is read in pictures.cpp alone.
extern const ListedBitmap kListedBitmaps[ARTWORK_BITMAP_COUNT];

// The size the artwork lists for bitmap `name`; {0, 0} for a name it does not list.
Size ListedSize(const char *name);

inline HBITMAP SolidBitmap(int w, int h, uint32_t colour) {
    HBITMAP b = posix::create_bitmap(w, h);
    std::fill_n(b->surf.px, size_t(w) * size_t(h), colour);
    return b;
}

inline HBITMAP Picture(int w, int h, const std::function<uint32_t(int, int)> &colour) {
    HBITMAP b = posix::create_bitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b->surf.px[size_t(y) * size_t(w) + size_t(x)] = colour(x, y);
    return b;
}

} // namespace test
