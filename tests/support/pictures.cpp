// The artwork's list of bitmap sizes, read in this file alone: a change to the list rebuilds only it.

#include "pictures.h"

#include <cstring>

namespace test {

const ListedBitmap kListedBitmaps[ARTWORK_BITMAP_COUNT] = {ARTWORK_BITMAP_SIZES};

Size ListedSize(const char *name) {
    for (const ListedBitmap &b : kListedBitmaps)
        if (std::strcmp(b.name, name) == 0) return {b.w, b.h};
    return {0, 0};
}

} // namespace test
