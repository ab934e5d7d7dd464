// GDI of the posix layer: what the rest of the layer asks of it besides the Win32 calls.
#pragma once

#include "winapi_posix.h"

#include <cstddef>
#include <cstdint>

namespace posix {

HDC dc_from(HDC dc);                 // null when not a live device context
HBITMAP bitmap_from(HGDIOBJ obj);    // null when not a live bitmap
HBITMAP create_bitmap(int w, int h); // zero-filled (black) 32-bit bitmap
// The same bitmap with its pixels made later, by make_bitmap_pixels (false, and 0x0, when they cannot be).
HBITMAP create_bitmap_without_pixels(int w, int h);
bool make_bitmap_pixels(HBITMAP b);
void free_bitmap_pixels(uint32_t *px, size_t mapped_bytes); // the pixels of a bitmap create_bitmap made
// Any transfer of BitBlt but the single-pixel copies of the pair (present.cpp sees to those).
BOOL transfer(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);

size_t live_gdi_objects();
size_t live_dcs();
void set_max_bitmap_pixels(int64_t pixels); // larger bitmaps are refused (default 2^28)

} // namespace posix
