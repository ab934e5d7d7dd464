// The X11 backend's shared state, seen only by the backend's own files: the connection and its pixel
// format (display.cpp), the saver window and its grabs (window.cpp), the window's pixels and their pushes
// (framebuffer.cpp), screen capture (capture.cpp), events (events.cpp), and the entry in the layer's table of
// display backends (backend.cpp).
#pragma once

#include "../display_backend.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace x11 {

// How a pixel value of the server's visual holds red, green and blue.
struct Channel {
    unsigned long mask = 0;
    int shift = 0;
    int bits = 0;
};

struct State {
    bool tried_open = false;
    Display *dpy = nullptr;
    bool dead = false; // the connection is lost: no more X calls
    int screen = 0;
    Window root = 0;
    Visual *visual = nullptr;
    int depth = 0;
    Channel red, green, blue;
    bool standard_rgb = false;                      // TrueColor with masks 0xFF0000, 0xFF00, 0xFF
    int mon_x = 0, mon_y = 0, mon_w = 0, mon_h = 0; // the screen the saver covers, on the root window
    bool mon_named = false; // that is RandR's primary monitor (else the whole X screen, for want of one)
    // Another client's window to live in (use_host_window): the screen is then that window.
    bool hosted = false;
    unsigned long host_id = 0; // the window asked for; 0 is the root window
    Window host = 0;           // that window once found on the server
    bool shm_offered = false;
    int shm_completion = -1;                                     // event type of ShmCompletion
    int randr_event_base = -1, randr_major = 0, randr_minor = 0; // RandR, when the server has it

    // The saver window.
    HWND hwnd = nullptr;
    Window win = 0;
    bool embedded = false; // a child of another client's window: no grabs, the cursor left alone
    bool win_gone = false; // destroyed under us (its parent went away): nothing more is sent to it
    GC gc = nullptr;
    Surface surf;
    XImage *image = nullptr; // over the surface pixels (direct) or a converted copy (shadow)
    bool shadow = false;     // the surface's layout is not the server's: present converts
    bool use_shm = false;
    XShmSegmentInfo shm{};
    bool grabbed = false;
    bool shown = false;           // mapped by show_window
    bool layer_presented = false; // the layer pushed something since the window was shown
    Cursor invisible = 0;         // shown: None, the root window's
    bool cursor_visible = true;
};

extern State g;

inline bool alive() {
    return g.dpy && !g.dead;
}

// display.cpp
bool open_display();
int root_width();
int root_height();
// Whether an image of the server's format holds 32-bit 0x00RRGGBB pixels in the host's byte order.
bool image_is_native_rgb32(const XImage *img);
// ... and rows of whole pixels, so that the surface's pixels can be the image's data as they are.
bool image_is_direct(const XImage *img);
uint32_t to_rgb(unsigned long pixel);
unsigned long from_rgb(uint32_t px);
// The saver window over the primary monitor hears of changes to the screen's monitors, and of other
// windows mapped or restacked on the root window.
void watch_the_screen();
// A RandR event: returns whether it made the run end (the primary monitor moved, resized or went).
bool screen_event(XEvent &ev);
// The same for changes that come without an event, looked for at most every quarter of a second.
bool recheck_monitors();
// Another window may have come over the saver window: raise it again, or end the run when the window
// above covers all of it (a screen locker, another saver).
bool keep_on_top();

// window.cpp
void apply_cursor();

// framebuffer.cpp
bool allocate_pixels(int w, int h);
void populate_pixels(); // every page of the window's shared pixels made at once, before they are written
void release_pixels();
void push(int x, int y, int w, int h);

// events.cpp
bool handle_event(XEvent &ev);

// What the backend's entry (backend.cpp) is made of, in the files above.
void use_host_window(unsigned long window);
void screen_size(int *w, int *h);
void read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride);
bool create_window(HWND hwnd, int x, int y, int w, int h, Surface *surf, unsigned long parent);
void show_window(HWND hwnd, bool show);
void destroy_window(HWND hwnd, Surface *surf);
void present(HWND hwnd, int x, int y, int w, int h);
bool press_waiting();
void set_cursor_visible(bool visible);
bool cursor_pos(int *x, int *y);
void wait_events(int timeout_ms, int wake_fd);

} // namespace x11
