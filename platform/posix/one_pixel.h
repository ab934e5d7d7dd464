// The inline part of the presenting unit (present.cpp owns its state): BitBlt's commonest case by far, one
// pixel copied between the pair of surfaces the last transfer found live, done where the program calls
// it. A full-screen picture at 3840x2160 makes 8.3 million such calls, and a call through the layer cost
// more than the copy. Everything else goes to the layer, which keeps the pair up to date.
#pragma once

#include <cstddef>
#include <cstdint>

struct HDC__;

namespace posix {

constexpr uint32_t kOnePixelRop = 0x00CC0020u; // SRCCOPY

// The pair of pixel surfaces the single-pixel copy last found live, with what it needs of them held in
// one place: their pixels, strides and sizes, and the part of the destination where a pixel needs no
// more than its store (all of a memory surface; of a window surface, the area already waiting to be
// pushed).
struct OnePixelPair {
    HDC__ *dst = nullptr, *src = nullptr;
    uint32_t *dpx = nullptr;
    const uint32_t *spx = nullptr;
    size_t dstride = 0, sstride = 0;
    uint64_t dw = 0, dh = 0, sw = 0, sh = 0;
    int64_t fx0 = 0, fy0 = 0; // the area where a pixel only needs its store, [fx0, fx0+fw) x [fy0, fy0+fh)
    uint64_t fw = 0, fh = 0;
    uint64_t clock_mask = ~0ull; // window surfaces: the transfer counts at which the clock is looked at
};
extern OnePixelPair g_one_pixel;
extern uint64_t g_transfers; // every BitBlt so far

// BitBlt's out-of-line part (present.cpp), in the types the Win32 names stand for: BOOL, HDC, DWORD.
int bitblt(HDC__ *dst, int x, int y, int w, int h, HDC__ *src, int sx, int sy, uint32_t rop);

// BitBlt: the pixel is copied here when every condition holds and this is not a transfer at which a
// window's long render looks at the clock; anything else goes to the layer.
[[gnu::always_inline]] inline int bitblt_inline(HDC__ *dst, int x, int y, int w, int h, HDC__ *src, int sx,
                                                int sy, uint32_t rop) {
    const OnePixelPair &p = g_one_pixel;
    if (w == 1 && h == 1 && rop == kOnePixelRop && dst == p.dst && src == p.src && dst != nullptr &&
        unsigned(sx) < p.sw && unsigned(sy) < p.sh && uint64_t(x - p.fx0) < p.fw &&
        uint64_t(y - p.fy0) < p.fh && ((g_transfers + 1) & p.clock_mask) != 0) [[likely]] {
        ++g_transfers;
        uint32_t *d = p.dpx + size_t(y) * p.dstride + size_t(x);
        *d = p.spx[size_t(sy) * p.sstride + size_t(sx)];
        // Once per cache line, ask for the line below. Pictures drawn row by row reach it anyway; the tilted
        // picture writes a staircase that changes rows every few dozen pixels, which the processor's own
        // prefetching does not follow, and its next source row writes exactly there.
        if ((reinterpret_cast<uintptr_t>(d) & 63) == 0 && unsigned(y + 1) < p.dh)
            __builtin_prefetch(d + p.dstride, 1);
        return 1;
    }
    return bitblt(dst, x, y, w, h, src, sx, sy, rop);
}

} // namespace posix
