// The layer's side of the display: its events and the termination signals, capturing the screen, and
// the display backend's window for a top-level window.
#pragma once

#include "winapi_posix.h"

#include <cstdint>

namespace posix {

void display_window_created();        // a new saver window: it may be closed (once) again
void wait_for_events(int timeout_ms); // the display's events and the termination signals
// Empties termination_fd() (which another wait, a dialog's, found readable); termination_requested()
// stays true.
void drain_termination_fd();
// Copies the screen rectangle (inside the screen) into dst, waiting for a capture the display finishes
// later. False, with dst black, when the display refused it or did not finish in time.
bool read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride);
// The display backend's window for a top-level window, its pixels in hwnd->surf and its client rectangle
// of the size the display gave it; waits for a display that configures the window later. False when
// there is none.
bool create_display_window(HWND hwnd, int x, int y, int w, int h);
void destroy_display_window(HWND hwnd); // the backend's window and the pixels go

} // namespace posix
