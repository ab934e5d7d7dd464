// The seat's keyboard and pointer, reported to the layer as on X11: every key press (modifiers alone
// too, and a held key's repeats, which a Wayland client makes itself from the compositor's rate and
// delay, for the keys X11 repeats), every button, and pointer motion in the window's pixels. Key codes
// become virtual-key codes through a small table of the keyboard's own (evdev) codes, by the key's
// place on a US keyboard, rather than through a keymap library: the saver only needs to know a key came,
// and Alt for a system key. The pointer is hidden over the cover when the saver asks.
//
// The saver compares the pointer with where it was at the start, which a Wayland client cannot know
// before its surface is under the pointer: the pointer's first place over the cover counts as that
// start, and the place cursor_pos reports is the way travelled since, so that entering moves nothing.

#include "wayland_state.h"

#include <wayland-client.h>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace wayland {
namespace {

// Linux input codes (linux/input-event-codes.h) of the keys and buttons named here.
constexpr uint32_t kBtnLeft = 0x110, kBtnRight = 0x111, kBtnMiddle = 0x112;
constexpr uint32_t kKeyLeftCtrl = 29, kKeyLeftShift = 42, kKeyRightShift = 54, kKeyLeftAlt = 56,
                   kKeyCapsLock = 58, kKeyNumLock = 69, kKeyScrollLock = 70, kKeyRightCtrl = 97,
                   kKeyRightAlt = 100, kKeyLeftMeta = 125, kKeyRightMeta = 126;

// The virtual-key code of each key code below 128 that has one worth naming (as the X11 backend names
// them); 0 for the rest.
constexpr uint8_t kVirtualKeys[128] = {
    0,    0x1B, '1',  '2',  '3',  '4', '5',  '6',  '7',  '8',  '9',  '0',  0,    0,    0x08, 0x09, // 0
    'Q',  'W',  'E',  'R',  'T',  'Y', 'U',  'I',  'O',  'P',  0,    0,    0x0D, 0x11, 'A',  'S',  // 16
    'D',  'F',  'G',  'H',  'J',  'K', 'L',  0,    0,    0,    0x10, 0,    'Z',  'X',  'C',  'V',  // 32
    'B',  'N',  'M',  0,    0,    0,   0x10, 0,    0x12, 0x20, 0,    0x70, 0x71, 0x72, 0x73, 0x74, // 48
    0x75, 0x76, 0x77, 0x78, 0x79, 0,   0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    // 64
    0,    0,    0,    0,    0,    0,   0,    0x7A, 0x7B, 0,    0,    0,    0,    0,    0,    0,    // 80
    0x0D, 0x11, 0,    0,    0x12, 0,   0x24, 0x26, 0x21, 0x25, 0x27, 0x23, 0x28, 0x22, 0x2D, 0x2E, // 96
    0,    0,    0,    0,    0,    0,   0,    0x13, 0,    0,    0,    0,    0,    0x5B, 0x5C, 0,    // 112
};

unsigned virtual_key(uint32_t key) {
    if (key < 128) return kVirtualKeys[key];
    if (key >= 183 && key <= 194) return 0x7C + (key - 183); // F13 to F24
    return 0;
}

// The keys X11 does not repeat: the modifiers and the locks.
bool is_modifier(uint32_t key) {
    switch (key) {
    case kKeyLeftCtrl:
    case kKeyRightCtrl:
    case kKeyLeftShift:
    case kKeyRightShift:
    case kKeyLeftAlt:
    case kKeyRightAlt:
    case kKeyLeftMeta:
    case kKeyRightMeta:
    case kKeyCapsLock:
    case kKeyNumLock:
    case kKeyScrollLock:
        return true;
    default:
        return false;
    }
}

struct Input {
    // Keyboard.
    unsigned mods = 0; // posix::k*Held of the keyboard, from the compositor's modifier state
    int repeat_rate = 25, repeat_delay = 600; // per second, and ms; rate 0: no repeat
    uint32_t repeat_key = 0;                  // + 8 (0: none)
    int64_t repeat_due = -1;
    // Pointer.
    uint32_t enter_serial = 0;
    bool over = false;   // the pointer is over the cover
    double x = 0, y = 0; // in the window's pixels
    bool seen = false;   // its first place over the cover is known
    double first_x = 0, first_y = 0;
    unsigned buttons = 0; // posix::k*Held of the pointer
    double axis[2] = {};  // wheel travel not yet reported, per axis
};
Input in;

bool g_pressed = false; // a key or one of buttons 1 to 3 was reported (for press_waiting)

void report(const posix::InputEvent &ev) {
    posix::input(ev);
    g.reported = true;
    if (ev.kind == posix::InputEvent::Key || (ev.kind == posix::InputEvent::Button && ev.button <= 3))
        g_pressed = true;
}

void report_key(uint32_t key) {
    posix::InputEvent ev{posix::InputEvent::Key};
    ev.key = virtual_key(key);
    ev.scancode = key;
    ev.mods = in.mods | in.buttons;
    report(ev);
}

// --- Keyboard ---

void kb_keymap(void *, wl_keyboard *, uint32_t, int32_t fd, uint32_t) {
    close(fd); // the key codes are read by the table above
}
void kb_enter(void *, wl_keyboard *, uint32_t, wl_surface *surface, wl_array *keys) {
    if (surface != g.surface) return;
    // A key held down as the cover takes the keyboard repeats after the delay, as it would into an X11
    // grab: the first repeat ends the saver, a key only released does not.
    in.repeat_key = 0;
    in.repeat_due = -1;
    const uint32_t *k = static_cast<const uint32_t *>(keys->data);
    for (size_t i = 0; i < keys->size / sizeof(uint32_t); ++i) {
        if (is_modifier(k[i]) || in.repeat_rate <= 0) continue;
        in.repeat_key = k[i] + 8;
        in.repeat_due = posix::now_ms() + in.repeat_delay;
    }
}
void kb_leave(void *, wl_keyboard *, uint32_t, wl_surface *) {
    in.repeat_key = 0;
    in.repeat_due = -1;
}
void kb_key(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
        report_key(key);
        if (!is_modifier(key) && in.repeat_rate > 0) {
            in.repeat_key = key + 8;
            in.repeat_due = posix::now_ms() + in.repeat_delay;
        }
    } else if (key + 8 == in.repeat_key) {
        in.repeat_key = 0;
        in.repeat_due = -1;
    }
}
void kb_modifiers(void *, wl_keyboard *, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                  uint32_t) {
    // The real modifiers have the same places in every keymap: Shift 0, Lock 1, Control 2, Mod1 (Alt) 3.
    const uint32_t m = depressed | latched | locked;
    in.mods =
        (m & 1 ? posix::kShiftHeld : 0) | (m & 4 ? posix::kControlHeld : 0) | (m & 8 ? posix::kAltHeld : 0);
}
void kb_repeat_info(void *, wl_keyboard *, int32_t rate, int32_t delay) {
    in.repeat_rate = std::max(rate, 0);
    in.repeat_delay = std::max(delay, 0);
    if (in.repeat_rate == 0) in.repeat_due = -1;
}
const wl_keyboard_listener kKeyboardListener = {
    .keymap = kb_keymap,
    .enter = kb_enter,
    .leave = kb_leave,
    .key = kb_key,
    .modifiers = kb_modifiers,
    .repeat_info = kb_repeat_info,
};

// --- Pointer ---

// From the surface's logical units to the window's pixels.
void place(wl_fixed_t sx, wl_fixed_t sy) {
    const double fx = g.logical_w > 0 ? double(g.buffer_w) / g.logical_w : 1.0;
    const double fy = g.logical_h > 0 ? double(g.buffer_h) / g.logical_h : 1.0;
    in.x = wl_fixed_to_double(sx) * fx;
    in.y = wl_fixed_to_double(sy) * fy;
}

void hide_cursor_if_asked() {
    if (in.over && g.pointer && !g.cursor_visible)
        wl_pointer_set_cursor(g.pointer, in.enter_serial, nullptr, 0, 0);
}

void ptr_enter(void *, wl_pointer *, uint32_t serial, wl_surface *surface, wl_fixed_t sx, wl_fixed_t sy) {
    if (surface != g.surface) return;
    in.enter_serial = serial;
    in.over = true;
    place(sx, sy);
    if (!in.seen) {
        in.seen = true;
        in.first_x = in.x;
        in.first_y = in.y;
    }
    hide_cursor_if_asked();
}
void ptr_leave(void *, wl_pointer *, uint32_t, wl_surface *) {
    in.over = false;
}
void ptr_motion(void *, wl_pointer *, uint32_t, wl_fixed_t sx, wl_fixed_t sy) {
    if (!in.over) return;
    place(sx, sy);
    posix::InputEvent ev{posix::InputEvent::Motion};
    ev.mods = in.mods | in.buttons;
    ev.x = ev.screen_x = int(std::floor(in.x));
    ev.y = ev.screen_y = int(std::floor(in.y));
    report(ev);
}
void ptr_button(void *, wl_pointer *, uint32_t, uint32_t, uint32_t button, uint32_t state) {
    unsigned number = 0, held = 0;
    switch (button) {
    case kBtnLeft:
        number = 1, held = posix::kLeftHeld;
        break;
    case kBtnMiddle:
        number = 2, held = posix::kMiddleHeld;
        break;
    case kBtnRight:
        number = 3, held = posix::kRightHeld;
        break;
    default:
        return;
    }
    if (state != WL_POINTER_BUTTON_STATE_PRESSED) {
        in.buttons &= ~held;
        return;
    }
    posix::InputEvent ev{posix::InputEvent::Button};
    ev.button = number;
    ev.mods = in.mods | in.buttons; // what was held before, as X11 reports it
    ev.x = ev.screen_x = int(std::floor(in.x));
    ev.y = ev.screen_y = int(std::floor(in.y));
    in.buttons |= held;
    report(ev);
}
void ptr_axis(void *, wl_pointer *, uint32_t, uint32_t axis, wl_fixed_t value) {
    if (axis > 1) return;
    // One wheel step per 10 units of travel (a mouse wheel's notch), as buttons 4 to 7 on X11.
    double &travel = in.axis[axis];
    travel += wl_fixed_to_double(value);
    while (std::fabs(travel) >= 10) {
        const bool forward = travel > 0; // down, or right
        travel -= forward ? 10 : -10;
        posix::InputEvent ev{posix::InputEvent::Button};
        ev.button = axis == WL_POINTER_AXIS_VERTICAL_SCROLL ? (forward ? 5 : 4) : (forward ? 7 : 6);
        ev.mods = in.mods | in.buttons;
        ev.x = ev.screen_x = int(std::floor(in.x));
        ev.y = ev.screen_y = int(std::floor(in.y));
        report(ev);
    }
}
void ptr_frame(void *, wl_pointer *) {}
void ptr_axis_source(void *, wl_pointer *, uint32_t) {}
void ptr_axis_stop(void *, wl_pointer *, uint32_t, uint32_t axis) {
    if (axis <= 1) in.axis[axis] = 0;
}
void ptr_axis_discrete(void *, wl_pointer *, uint32_t, int32_t) {}
const wl_pointer_listener kPointerListener = {
    .enter = ptr_enter,
    .leave = ptr_leave,
    .motion = ptr_motion,
    .button = ptr_button,
    .axis = ptr_axis,
    .frame = ptr_frame,
    .axis_source = ptr_axis_source,
    .axis_stop = ptr_axis_stop,
    .axis_discrete = ptr_axis_discrete,
    .axis_value120 = nullptr,
};

// release exists from the seat's version 3 on; before that the object can only be forgotten.
void release_pointer(wl_pointer *p) {
    if (wl_pointer_get_version(p) >= WL_POINTER_RELEASE_SINCE_VERSION)
        wl_pointer_release(p);
    else
        wl_pointer_destroy(p);
}
void release_keyboard(wl_keyboard *k) {
    if (wl_keyboard_get_version(k) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
        wl_keyboard_release(k);
    else
        wl_keyboard_destroy(k);
}

} // namespace

void seat_capabilities(uint32_t caps) {
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && !g.pointer) {
        g.pointer = wl_seat_get_pointer(g.seat);
        wl_pointer_add_listener(g.pointer, &kPointerListener, nullptr);
    } else if (!(caps & WL_SEAT_CAPABILITY_POINTER) && g.pointer) {
        release_pointer(g.pointer);
        g.pointer = nullptr;
        in.over = false;
    }
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !g.keyboard) {
        g.keyboard = wl_seat_get_keyboard(g.seat);
        wl_keyboard_add_listener(g.keyboard, &kKeyboardListener, nullptr);
    } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && g.keyboard) {
        release_keyboard(g.keyboard);
        g.keyboard = nullptr;
        in.repeat_due = -1;
    }
}

int64_t next_repeat_ms() {
    return in.repeat_due;
}

void repeat_keys() {
    if (in.repeat_due < 0 || posix::now_ms() < in.repeat_due) return;
    report_key(in.repeat_key - 8);
    in.repeat_due = posix::now_ms() + std::max(1000 / std::max(in.repeat_rate, 1), 1);
}

// Of the backend's entry (backend.cpp).

bool press_waiting() {
    // What the connection holds by now is handled: a press among it is in the layer's queue after this.
    g_pressed = false;
    dispatch_now();
    return g_pressed;
}

void set_cursor_visible(bool visible) {
    g.cursor_visible = visible;
    // Shown again, the pointer takes the compositor's own image when it leaves the cover (the saver has
    // no cursor image to set; it shows the pointer again only as it ends).
    hide_cursor_if_asked();
    if (alive()) wl_display_flush(g.dpy);
}

bool cursor_pos(int *x, int *y) {
    *x = in.seen ? int(std::floor(in.x)) - int(std::floor(in.first_x)) : 0;
    *y = in.seen ? int(std::floor(in.y)) - int(std::floor(in.first_y)) : 0;
    return true;
}

} // namespace wayland
