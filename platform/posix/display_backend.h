// The display interface between the posix layer and a display backend (x11, wayland, headless): the
// screen, the one saver window and its pixels, the pointer, and waiting for events. Every backend is one
// entry of the table in display_backends.cpp, a DisplayBackend of function pointers; the layer draws
// through the one chosen at its first use: the one SCRWARPVUE_BACKEND names, else the first that opens.
// A backend reports what happens on the display to the layer in neutral terms (keys, buttons, motion,
// exposure, loss); the layer turns them into Win32 messages.
//
// The interface also carries what a compositor needs and an X server does not: a capture that completes
// later, a window whose size the display decides, presenting into a buffer of the backend's own, and
// pushes paced by the display's frame callbacks. The layer waits for the first two by polling the
// backend between calls of its wait_events, up to a deadline.
#pragma once

#include "winapi_posix.h"

#include <cstddef>
#include <cstdint>

// A 32-bit XRGB pixel buffer. Stride is in pixels.
struct Surface {
    uint32_t *px = nullptr;
    int w = 0;
    int h = 0;
    int stride = 0;
};

namespace backend {

// How far an asynchronous request (a capture, a window's configuration) has come. The layer waits for a
// capture up to 3 s (then cancels it and takes it as refused) and for a configuration up to 2 s (then
// destroys the window), handling the display's events meanwhile.
enum class Progress {
    Done,    // finished: the pixels, or the window's size, are there
    Pending, // still under way: the layer runs wait_events and asks again
    Refused, // the display will not do it
};

// One display backend, written with designated initializers. Functions marked "may be null" may be left
// out; the layer then does what the comment says. Every other one must be there, and must cope with being
// called after the display is lost.
struct DisplayBackend {
    const char *name = nullptr; // what SCRWARPVUE_BACKEND says to force it: "x11", "wayland", "headless"

    // Probes and opens the display. False when this backend cannot run here; *why may then say why in one
    // line (static text, no newline, shown by the program at start), else it stays null (no display of
    // this kind at all: the choice goes on quietly).
    bool (*open)(const char **why) = nullptr;
    // When open fails with a reason, no later backend is tried: the session is this display's, and
    // another one beside it (an X server under a compositor) would show nothing that matters.
    bool refusal_ends_choice = false;
    // Before open: the saver lives inside this window of another client (xscreensaver's, on X11), 0 being
    // the root window. The screen is then that window: its size, its place, and as its picture the
    // desktop that client saved for it. May be null: the backend cannot do this and is not chosen when
    // the program is started so.
    void (*use_host_window)(unsigned long window) = nullptr;

    // The primary monitor's size in pixels; 0 x 0 when there is none.
    void (*screen_size)(int *w, int *h) = nullptr;
    // Starts copying the screen rectangle (x, y, w, h), which lies inside the screen, into dst. Done: dst
    // holds it already. Pending: it arrives while wait_events runs, capture_poll says when. Refused: dst
    // is untouched. Only one capture is under way at a time; dst stays valid until it is finished or
    // cancelled.
    Progress (*capture_begin)(int x, int y, int w, int h, uint32_t *dst, int dst_stride) = nullptr;
    // How the capture under way stands now. May be null when capture_begin never answers Pending.
    Progress (*capture_poll)() = nullptr;
    // The layer stopped waiting for the capture under way: dst must not be written any more. May be null
    // when capture_begin never answers Pending.
    void (*capture_cancel)() = nullptr;

    // Creates the display window for a top-level popup. While the window is hidden its pixels are not its
    // picture (as on Windows, a window is erased and painted when it is shown): a capture may pass the
    // screen through them, and leaves them black. With a parent (a window of the display, e.g. an X
    // window id), the window lives inside it instead: at its origin, of its size, not grabbing input nor
    // hiding the pointer.
    // Done: *surf holds the window's size and pixels (zeroed). Pending: the display decides the size
    // later, window_configured says when. Refused: no window (nothing to destroy).
    // A backend may leave surf->px null with the size filled in: the layer then allocates the pixels
    // itself (zeroed, stride = width) and the backend reads them in present.
    Progress (*create_window)(HWND hwnd, int x, int y, int w, int h, unsigned long parent,
                              Surface *surf) = nullptr;
    // A window whose create_window answered Pending: Done once the display configured it (then *surf as
    // above), Pending, or Refused (the layer then destroys the window). May be null when create_window
    // never answers Pending.
    Progress (*window_configured)(HWND hwnd, Surface *surf) = nullptr;
    void (*show_window)(HWND hwnd, bool show) = nullptr;
    // After this the surface's pixels are no longer used by the backend (the layer frees its own).
    void (*destroy_window)(HWND hwnd, Surface *surf) = nullptr;
    // Shows the rectangle (x, y, w, h) of the window's pixels, surf, which lies inside them, on the
    // display: the backend's own pixels pushed (X11), or copied from surf into a free buffer of its own
    // and attached with that damage. False when it cannot now (no free buffer): the layer keeps the
    // rectangle and asks again later; true when shown, or dropped for good (the window is gone).
    bool (*present)(HWND hwnd, const Surface &surf, int x, int y, int w, int h) = nullptr;
    // Whether the display is ready for the next frame (its last frame callback came). While it is not, the
    // layer holds what was drawn back; when the callback arrives during wait_events, wait_events returns
    // as for any event, and the layer pushes then. May be null: always ready (the layer's own pacing, at
    // most one push per 50 ms during a long render, is all there is).
    bool (*frame_ready)(HWND hwnd) = nullptr;

    // Whether a key press or a click (buttons 1 to 3) on the window waits with the display, not yet
    // reported.
    bool (*press_waiting)() = nullptr;
    void (*set_cursor_visible)(bool visible) = nullptr;
    bool (*cursor_pos)(int *x, int *y) = nullptr;
    // Waits up to timeout_ms (-1: no limit) for display events and reports them to the layer. Returns early
    // when an event arrived or wake_fd (when >= 0) became readable; 0 polls.
    void (*wait_events)(int timeout_ms, int wake_fd) = nullptr;
};

// The backend the layer draws through, chosen at the first call: the one SCRWARPVUE_BACKEND names, else
// the first of the table that opens (skipping those that cannot live in a host window when one was
// asked for, and stopping at one that refuses with refusal_ends_choice). When none opens, a backend of no
// display at all: a 0 x 0 screen, no window, captures refused.
const DisplayBackend &display();
// Whether a backend opened; else *why says why, in one line.
bool display_available(const char **why);
// Before anything else (the program's start): run inside this window of another client (see
// DisplayBackend::use_host_window).
void use_host_window(unsigned long window);

// The choice itself, over any table: forced names the backend to take ("" or null: none forced). Returns
// null, with *why set, when none opens.
const DisplayBackend *choose_display(const DisplayBackend *const *table, size_t count, const char *forced,
                                     bool hosted, unsigned long host_window, const char **why);
// Tests only: draw through this backend from now on (null: choose again at the next use).
void set_display(const DisplayBackend *backend);

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
