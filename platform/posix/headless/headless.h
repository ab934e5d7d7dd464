// Controls of the headless display backend, for tests: a virtual screen, the saver window's pixels, a
// virtual clock, scripted input, and dialogs and message boxes held in memory.
#pragma once

#include "../dialog_backend.h"
#include "../display_backend.h"

#include <functional>
#include <string>
#include <vector>

namespace headless {

// A fresh virtual screen of w x h black pixels; clears every window, timer, queue, cursor counter,
// script, message box record and clock setting of the posix layer.
void reset(int w, int h);
int screen_width();
int screen_height();
void set_screen_pixel(int x, int y, uint32_t px);
uint32_t screen_pixel(int x, int y);

// The display window's pixels (0x00RRGGBB); empty when there is no window.
bool has_window();
bool window_shown();
int window_x(); // where the window's top-left corner is on the screen
int window_y();
int window_width();
int window_height();
uint32_t window_pixel(int x, int y);
std::vector<uint32_t> window_pixels();
int presents(); // pushes of window pixels to the "display"
// What a new window shows before anything is drawn on it. A real screen shows whatever was under the
// window; here it is black unless a test picks a picture (0x00RRGGBB by position; null: black again).
void set_window_start(std::function<uint32_t(int x, int y)> picture);
// The window as it builds up: its pixels after each of the given numbers of block transfers, counted
// from this call (ascending). built_up() holds one picture for each count reached so far, in order.
void watch_build_up(std::vector<uint64_t> after_transfers);
const std::vector<std::vector<uint32_t>> &built_up();

// The virtual monotonic clock, in milliseconds, and the local time GetLocalTime reads. By default the
// local time follows the virtual clock (its milliseconds and seconds); a source set here replaces that.
// The clock stands still unless moved, or unless a step is set: each GetLocalTime then moves it on by
// that many milliseconds after the reading, as time passes between two readings on a real machine.
int64_t now();
void advance(int64_t ms);
void set_clock_step(int64_t ms);
void set_local_time(int seconds, int milliseconds);
void set_local_time_source(std::function<SYSTEMTIME()> source);
int local_time_reads();

// Steps run one at a time, each when the message loop has nothing left to do. If the loop goes idle
// after the last step, the backend dismisses the saver with a key press and records an overrun.
using Step = std::function<void()>;
void script(std::vector<Step> steps);
bool script_overrun();
int last_wait_ms(); // how long the loop last said it would sleep at most (-1: until an event)
// What a step can do:
void tick(); // move the clock on to the next due timer
void input(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
// An input the display holds until the layer next reads its events, at any wait, even one that does not
// sleep; a key press or click held so is a press that waits.
void hold_input(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
void move_pointer(int x, int y); // the pointer moves: WM_MOUSEMOVE
void set_pointer(int x, int y);  // the pointer is here (no message)
void expose();                   // the window was covered and uncovered
void terminate();                // a termination request (signal, lost display)
bool cursor_visible();

// Message boxes shown, in order.
struct ShownBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
const std::vector<ShownBox> &message_boxes();
// Runs while a message box is "open", after it was recorded; its result is the box's (default IDOK).
void set_message_box_hook(std::function<int(const ShownBox &)> hook);

// Dialogs: the driver runs once the dialog has been initialised, and drives it with these calls.
void set_dialog_driver(std::function<void(HWND)> driver);
const backend::DialogTemplate *dialog_template(); // of the open dialog
UINT dialog_state(int id);
int dialog_focus();               // the id of the control with the focus; 0 for none
void dialog_click(int id);        // a click on a control: automatic buttons change state, then WM_COMMAND
void dialog_key(dialog::Key key); // a key the dialog manager handles
void dialog_enter();              // the Enter key: the focused push button, else the default one
void dialog_escape();             // the Escape key or the close button: IDCANCEL
bool dialog_open();
bool dialog_left_open(); // the last dialog's driver returned with the dialog still open

} // namespace headless
