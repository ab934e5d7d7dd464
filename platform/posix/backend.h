// The display backend: what the posix Win32 layer needs from a real display (x11) or a test double
// (headless). Exactly one backend is linked into a program.
#pragma once

#include "internal.h"

namespace backend {

// Before anything else: the saver lives inside this window of another client (xscreensaver's), 0 being
// the root window. The screen is then that window: its size, its place on the root window, and as its
// picture the desktop that client saved for it (or the root window's pixels there).
void use_host_window(unsigned long window);

// The primary monitor's size, opening the display on first use. 0 x 0 when there is no display.
void screen_size(int *w, int *h);
// Copies the screen rectangle (x, y, w, h), which lies inside the screen, into dst.
void read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride);

// Creates the display window for a top-level popup and allocates its client pixels (zeroed) into *surf.
// With a parent (a window of the display, e.g. an X window id), the window lives inside it instead: at
// its origin, of its size (which *surf then has), not grabbing input nor hiding the pointer.
bool create_window(HWND hwnd, int x, int y, int w, int h, Surface *surf, unsigned long parent = 0);
void show_window(HWND hwnd, bool show);
void destroy_window(HWND hwnd, Surface *surf);
// Pushes the rectangle of the window's pixels to the display.
void present(HWND hwnd, int x, int y, int w, int h);

void set_cursor_visible(bool visible);
bool cursor_pos(int *x, int *y);

// Milliseconds on a monotonic clock.
int64_t now_ms();
void local_time(SYSTEMTIME *out);

// Waits up to timeout_ms (-1: no limit) for display events and hands them to the layer
// (posix::post_input, posix::invalidate_display_window, posix::request_close). Returns early when an
// event arrived; 0 polls.
void wait_events(int timeout_ms);

// Dialogs: a modal dialog built from a parsed template, and a message box.
struct DialogControl {
    int id;
    DWORD style;
    short x, y, cx, cy;
    char klass[16];   // "BUTTON" etc.
    const char *text; // UTF-8
};
struct DialogTemplate {
    DWORD style;
    short x, y, cx, cy;
    const char *caption; // UTF-8
    const char *font;
    int point_size;
    int count;
    DialogControl *controls;
};
INT_PTR dialog_run(const DialogTemplate *tpl, HWND dialog, HWND owner, DLGPROC proc, LPARAM init);
void dialog_end(HWND dialog, INT_PTR result);
void dialog_check(HWND dialog, int id, UINT state);
UINT dialog_is_checked(HWND dialog, int id);
bool dialog_has_control(HWND dialog, int id);
int message_box(HWND owner, const char *text_utf8, const char *caption_utf8, UINT type);

} // namespace backend
