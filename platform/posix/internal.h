// Inner records of the posix Win32 layer: GDI objects, device contexts, windows. Only the layer's own
// files and its backends include this; it brings the headers of the layer's parts along.
#pragma once

#include "clock.h"
#include "display_backend.h"
#include "events.h"
#include "gdi.h"
#include "kernel.h"
#include "resources.h"
#include "testing.h"
#include "user_pointer.h"
#include "user_queue.h"
#include "user_window.h"
#include "winapi_posix.h"

#include <cstdint>
#include <string>

enum class GdiKind : uint32_t { Bitmap = 0x42544D31, Brush = 0x42525348, Dead = 0xDEADDEAD };

struct GdiObject {
    GdiKind kind;
};

struct HBITMAP__ : GdiObject {
    Surface surf;
    bool stock = false;           // the 1x1 bitmap every new memory surface starts with
    HDC selected_in = nullptr;    // the memory surface holding it, if any
    size_t mapped_bytes = 0;      // pixels mapped from the system rather than allocated (see gdi.cpp)
    const uint8_t *dib = nullptr; // a DIB still to decode into the pixels at the first selection
    size_t dib_size = 0;
};

struct HBRUSH__ : GdiObject {
    uint32_t color;
    bool stock;
};

enum class DcKind { Screen, Window, Memory };

struct HDC__ {
    DcKind kind;
    Surface *surf;  // what transfers read and write; for the screen, null (read through the backend)
    HBITMAP bitmap; // memory surfaces: the selected bitmap
    HWND hwnd;      // window surfaces: the window
    // Of a window surface, kept by the presenting unit (present.h): the area drawn since the last push,
    // as [x0,x1) x [y0,y1), and the transfers since the clock was last looked at during a long render.
    int dirty_x0, dirty_y0, dirty_x1, dirty_y1;
    uint32_t ops_since_check;
};

struct HWND__ {
    WNDPROC proc;
    DWORD style;
    RECT rect;
    bool visible;
    bool needs_paint;
    bool needs_erase;
    bool is_dialog;
    bool destroyed;
    bool top_level_display; // backed by the display backend's window
    Surface surf;           // the window's client pixels (top-level saver window only)
    bool layer_pixels;      // surf.px is the layer's own (the backend copies from it), not the backend's
    int dc_count;           // window surfaces handed out and not released
    RECT held_back;         // the presenting unit's: drawn, not yet pushed (a press came first, or the
                            // display was not ready); empty: nothing
};
