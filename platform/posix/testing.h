// What a test double of the display (the headless backend) may do to the posix layer besides what a
// display reports: start afresh, replace the clock, post any message, look at the timers; and what a test
// may look at: every transfer, every bitmap asked for.
#pragma once

#include "winapi_posix.h"

#include <cstdint>

namespace posix {

// Forgets every window, class, timer, queued message and cursor count, the bitmap size limit, when a
// window surface was last pushed and the looks at every transfer and every bitmap load.
void reset_layer();
// Replaces the layer's clocks (null: the system's again).
void set_clock(int64_t (*now)(), void (*local)(SYSTEMTIME *));
void post_input(UINT msg, WPARAM wp, LPARAM lp); // queued for the saver window
void request_close();                            // the saver window gets WM_CLOSE
int64_t next_timer_due_ms();                     // -1 when no timer runs
// Runs hook after every block transfer (null: none); the transfer is on its surface by then.
void after_each_transfer(void (*hook)());
// Runs hook with the name of every bitmap LoadBitmapA is asked for, before it looks (null: none).
void before_each_bitmap_load(void (*hook)(LPCSTR name));

} // namespace posix
