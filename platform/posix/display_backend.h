// The display interface between the posix layer and a display backend (x11, headless): the screen, the
// one saver window and its pixels, the pointer, and waiting for events. Exactly one backend is linked
// into a program. A backend reports what happens on the display to the layer in neutral terms (keys,
// buttons, motion, exposure, loss); the layer turns them into Win32 messages.
#pragma once

#include "winapi_posix.h"

#include <cstdint>

// A 32-bit XRGB pixel buffer. Stride is in pixels.
struct Surface {
    uint32_t *px = nullptr;
    int w = 0;
    int h = 0;
    int stride = 0;
};

namespace backend {

// Before anything else (the program's start, on X11): the saver lives inside this window of another
// client (xscreensaver's), 0 being the root window. The screen is then that window: its size, its place
// on the root window, and as its picture the desktop that client saved for it (or the root window's
// pixels there).
void use_host_window(unsigned long window);

// The primary monitor's size, opening the display on first use. 0 x 0 when there is no display.
void screen_size(int *w, int *h);
// Copies the screen rectangle (x, y, w, h), which lies inside the screen, into dst.
void read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride);

// Creates the display window for a top-level popup and allocates its client pixels (zeroed) into *surf.
// While the window is hidden its pixels are not its picture (as on Windows, a window is erased and
// painted when it is shown): read_screen may pass the screen through them, and leaves them black.
// With a parent (a window of the display, e.g. an X window id), the window lives inside it instead: at
// its origin, of its size (which *surf then has), not grabbing input nor hiding the pointer.
bool create_window(HWND hwnd, int x, int y, int w, int h, Surface *surf, unsigned long parent = 0);
void show_window(HWND hwnd, bool show);
void destroy_window(HWND hwnd, Surface *surf);
// Pushes the rectangle of the window's pixels to the display.
void present(HWND hwnd, int x, int y, int w, int h);

// Whether a key press or a click (buttons 1 to 3) on the window waits with the display, not yet reported.
bool press_waiting();

void set_cursor_visible(bool visible);
bool cursor_pos(int *x, int *y);

// Waits up to timeout_ms (-1: no limit) for display events and reports them to the layer. Returns early
// when an event arrived or wake_fd (when >= 0) became readable; 0 polls.
void wait_events(int timeout_ms, int wake_fd);

} // namespace backend

namespace posix {

// What a display backend reports.
struct InputEvent {
    enum Kind { Key, Button, Motion } kind;
    unsigned key = 0;      // Key: the virtual-key code, 0 for a key without one
    unsigned scancode = 0; // Key: the keyboard's own code for it
    unsigned button = 0;   // Button: 1 left, 2 middle, 3 right, 4/5 wheel up/down, 6/7 wheel left/right
    unsigned mods = 0;     // what is held: the k* flags below
    int x = 0, y = 0;      // in the window
    int screen_x = 0, screen_y = 0; // on the screen (the primary monitor)
};
constexpr unsigned kShiftHeld = 1, kControlHeld = 2, kAltHeld = 4, kLeftHeld = 8, kMiddleHeld = 16,
                   kRightHeld = 32;

void input(const InputEvent &ev);
void display_exposed(); // the display lost the window's pixels: the window is repainted
// The display went away: the saver window is asked to close, once. Returns whether this call asked.
bool display_lost();
// SIGTERM, SIGINT and SIGHUP from now on close the saver window as a dismissal does (wait_events wakes).
// The program's first act; calling it again changes nothing.
void close_on_signals();
// Whether one of them came, at any time since; and a descriptor that is readable once one came (to
// wait on beside others, e.g. while grabs are retried or a dialog runs).
bool termination_requested();
int termination_fd();
// The layer's monotonic clock, in milliseconds.
int64_t now_ms();

} // namespace posix
