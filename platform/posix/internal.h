// Inner records of the posix Win32 layer: GDI objects, device contexts, windows. Only the layer's own
// files and its backends include this.
#pragma once

#include "display_backend.h"
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
    bool stock = false;        // the 1x1 bitmap every new memory surface starts with
    HDC selected_in = nullptr; // the memory surface holding it, if any
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

namespace posix {

// gdi
HDC dc_from(HDC dc);                 // null when not a live device context
HBITMAP bitmap_from(HGDIOBJ obj);    // null when not a live bitmap
HBITMAP create_bitmap(int w, int h); // zero-filled (black) 32-bit bitmap
// Any transfer of BitBlt but the single-pixel copies of the pair (present.cpp sees to those).
BOOL transfer(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);

// events and clock
void display_window_created();        // a new saver window: it may be closed (once) again
void wait_for_events(int timeout_ms); // the display's events and the termination signals
// Copies the screen rectangle (inside the screen) into dst, waiting for a capture the display finishes
// later. False, with dst black, when the display refused it or did not finish in time.
bool read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride);
// The display backend's window for a top-level window, its pixels in hwnd->surf and its client rectangle
// of the size the display gave it; waits for a display that configures the window later. False when
// there is none.
bool create_display_window(HWND hwnd, int x, int y, int w, int h);
void destroy_display_window(HWND hwnd); // the backend's window and the pixels go
void local_time(SYSTEMTIME *out);

// kernel
// Tests only: the runtime, home and temporary directories the lock's place is taken from (empty: the
// system's).
void set_lock_places(const std::string &runtime_directory, const std::string &home_directory,
                     const std::string &temporary_directory);

size_t live_gdi_objects();
size_t live_dcs();
uint64_t transfer_count();                  // every BitBlt so far (present.cpp)
void set_max_bitmap_pixels(int64_t pixels); // larger bitmaps are refused (default 2^28)

} // namespace posix
