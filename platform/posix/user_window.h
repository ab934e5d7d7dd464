// Windows of the posix layer: looking a handle up, the window the display shows, and the dialogs' own
// windows.
#pragma once

#include "winapi_posix.h"

namespace posix {

// null when not a live window
HWND window_from(HWND hwnd);
HWND display_window();            // the top-level window the display backend shows, if any
void invalidate_display_window(); // the display lost the window's pixels (exposure)
// A window a dialog runs in, and its end.
HWND create_dialog_window(HWND owner);
void destroy_dialog_window(HWND dialog);

} // namespace posix
