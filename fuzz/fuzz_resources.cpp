// Resource tables and bitmaps from arbitrary bytes. The first byte chooses: a DIB alone (even) or a
// resource table (odd), whose bitmaps are then looked up by the names the program uses and decoded.
// A malformed input must give no handle, never a read past the bytes; a bitmap that decodes has the
// size its header gives, and every pixel of it can be read.

#include "platform/posix/internal.h"

#include <cstdlib>
#include <cstring>

namespace {

void Check(HBITMAP bitmap) {
    if (!bitmap) return;
    BITMAP info{};
    if (GetObjectA(bitmap, sizeof info, &info) != sizeof info || info.bmWidth <= 0 || info.bmHeight <= 0)
        std::abort();
    volatile uint32_t sum = 0;
    for (int y = 0; y < bitmap->surf.h; ++y)
        for (int x = 0; x < bitmap->surf.w; ++x)
            sum = sum + bitmap->surf.px[size_t(y) * size_t(bitmap->surf.stride) + size_t(x)];
    if (!DeleteObject(bitmap)) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    posix::set_max_bitmap_pixels(1 << 20); // what a fuzzed header asks for is bounded, as in the program
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const bool table = data[0] & 1;
    ++data;
    --size;
    if (!table) {
        Check(posix::decode_dib(data, size));
        return 0;
    }
    HINSTANCE module = posix::load_module(data, size);
    if (!module) return 0;
    static const char *const names[] = {"A", "SOK-TAN00", "XHONOO-BK1", "DLG_QUINDLEX"};
    for (const char *name : names) {
        Check(LoadBitmapA(module, name));
        const uint8_t *found;
        uint32_t found_size;
        if (posix::find_resource(module, RT_DIALOG, name, &found, &found_size) && found_size) {
            volatile uint8_t ends = found[0] ^ found[found_size - 1]; // both ends lie inside the input
            (void)ends;
        }
    }
    Check(LoadBitmapA(module, MAKEINTRESOURCEA(1)));
    posix::free_module(module);
    return 0;
}
