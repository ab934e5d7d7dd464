// The headless display backend: everything a display does, held in memory and driven by tests.

#include "headless.h"

#include "../testing.h"

#include <deque>
#include <vector>

namespace {

struct State {
    int screen_w = 0, screen_h = 0;
    std::vector<uint32_t> screen;
    HWND window = nullptr;
    std::vector<uint32_t> window_px;
    int window_x = 0, window_y = 0, window_w = 0, window_h = 0;
    bool shown = false;
    int presents = 0;
    std::function<uint32_t(int, int)> window_start;
    std::vector<uint64_t> watch; // transfer counts still to picture, ascending
    uint64_t watched = 0;        // transfers since the watch began
    std::vector<std::vector<uint32_t>> built_up;
    int64_t clock = 1000000;
    int64_t clock_step = 0;
    std::function<SYSTEMTIME()> local_source;
    int local_reads = 0;
    std::deque<headless::Step> steps;
    std::vector<MSG> held; // inputs the layer has not read yet
    bool overrun = false;
    int last_wait = 0;
    int idle_after_overrun = 0;
    int cursor_x = 0, cursor_y = 0;
    bool cursor_visible = true;
    std::vector<headless::ShownBox> boxes;
    std::function<int(const headless::ShownBox &)> box_hook;
    std::function<void(HWND)> driver;
    dialog::Model *dialog = nullptr; // the innermost open dialog
    bool dialog_left_open = false;
};

State g;

int index_of(int id) {
    return g.dialog ? dialog::index_of(*g.dialog, id) : -1;
}

int64_t virtual_now() {
    return g.clock;
}

void virtual_local_time(SYSTEMTIME *out) {
    ++g.local_reads;
    if (g.local_source) {
        *out = g.local_source();
    } else {
        *out = SYSTEMTIME{};
        out->wYear = 2026;
        out->wMonth = 12;
        out->wDay = 8;
        out->wSecond = WORD((g.clock / 1000) % 60);
        out->wMilliseconds = WORD(g.clock % 1000);
    }
    g.clock += g.clock_step;
}

void picture_after_transfer() {
    ++g.watched;
    while (!g.watch.empty() && g.watch.front() <= g.watched) {
        g.built_up.push_back(g.window_px);
        g.watch.erase(g.watch.begin());
    }
    if (g.watch.empty()) posix::after_each_transfer(nullptr);
}

// The layer reads the virtual clock from the start.
[[maybe_unused]] const bool g_clock_installed = (posix::set_clock(virtual_now, virtual_local_time), true);

} // namespace

namespace headless {

void reset(int w, int h) {
    posix::reset_layer();
    posix::set_clock(virtual_now, virtual_local_time);
    g.window = nullptr;
    g = State{};
    g.screen_w = w;
    g.screen_h = h;
    g.screen.assign(size_t(w) * size_t(h), 0);
}

int screen_width() {
    return g.screen_w;
}
int screen_height() {
    return g.screen_h;
}
void set_screen_pixel(int x, int y, uint32_t px) {
    g.screen[size_t(y) * g.screen_w + x] = px & 0xFFFFFF;
}
uint32_t screen_pixel(int x, int y) {
    return g.screen[size_t(y) * g.screen_w + x];
}

bool has_window() {
    return g.window != nullptr;
}
bool window_shown() {
    return g.window && g.shown;
}
int window_x() {
    return g.window_x;
}
int window_y() {
    return g.window_y;
}
int window_width() {
    return g.window_w;
}
int window_height() {
    return g.window_h;
}
uint32_t window_pixel(int x, int y) {
    return g.window_px[size_t(y) * g.window_w + x];
}
std::vector<uint32_t> window_pixels() {
    return g.window_px;
}
int presents() {
    return g.presents;
}
void set_window_start(std::function<uint32_t(int x, int y)> picture) {
    g.window_start = std::move(picture);
}
void watch_build_up(std::vector<uint64_t> after_transfers) {
    g.watch = std::move(after_transfers);
    g.watched = 0;
    g.built_up.clear();
    posix::after_each_transfer(g.watch.empty() ? nullptr : picture_after_transfer);
}
const std::vector<std::vector<uint32_t>> &built_up() {
    return g.built_up;
}

int64_t now() {
    return g.clock;
}
void advance(int64_t ms) {
    g.clock += ms;
}
void set_clock_step(int64_t ms) {
    g.clock_step = ms;
}
void set_local_time(int seconds, int milliseconds) {
    g.local_source = [seconds, milliseconds] {
        SYSTEMTIME t{};
        t.wYear = 2026;
        t.wMonth = 12;
        t.wDay = 8;
        t.wSecond = WORD(seconds);
        t.wMilliseconds = WORD(milliseconds);
        return t;
    };
}
void set_local_time_source(std::function<SYSTEMTIME()> source) {
    g.local_source = std::move(source);
}
int local_time_reads() {
    return g.local_reads;
}

void script(std::vector<Step> steps) {
    g.steps.assign(steps.begin(), steps.end());
    g.overrun = false;
    g.idle_after_overrun = 0;
}
bool script_overrun() {
    return g.overrun;
}
int last_wait_ms() {
    return g.last_wait;
}

void tick() {
    int64_t due = posix::next_timer_due_ms();
    if (due > g.clock) g.clock = due;
}
void input(UINT msg, WPARAM wp, LPARAM lp) {
    posix::post_input(msg, wp, lp);
}
void hold_input(UINT msg, WPARAM wp, LPARAM lp) {
    g.held.push_back(MSG{nullptr, msg, wp, lp, 0, {0, 0}});
}
void move_pointer(int x, int y) {
    g.cursor_x = x;
    g.cursor_y = y;
    posix::InputEvent ev{posix::InputEvent::Motion};
    ev.x = ev.screen_x = x;
    ev.y = ev.screen_y = y;
    posix::input(ev);
}
void set_pointer(int x, int y) {
    g.cursor_x = x;
    g.cursor_y = y;
}
void expose() {
    posix::display_exposed();
}
void terminate() {
    posix::request_close();
}
bool cursor_visible() {
    return g.cursor_visible;
}

const std::vector<ShownBox> &message_boxes() {
    return g.boxes;
}
void set_message_box_hook(std::function<int(const ShownBox &)> hook) {
    g.box_hook = std::move(hook);
}

void set_dialog_driver(std::function<void(HWND)> driver) {
    g.driver = std::move(driver);
}
const backend::DialogTemplate *dialog_template() {
    return g.dialog ? g.dialog->tpl : nullptr;
}
UINT dialog_state(int id) {
    int i = index_of(id);
    return i < 0 ? 0 : g.dialog->states[size_t(i)];
}
int dialog_focus() {
    return g.dialog && g.dialog->focus >= 0 ? g.dialog->tpl->controls[g.dialog->focus].id : 0;
}
void dialog_click(int id) {
    if (int i = index_of(id); i >= 0) dialog::click(g.dialog, i);
}
void dialog_key(dialog::Key key) {
    if (g.dialog) dialog::key(g.dialog, key);
}
void dialog_enter() {
    dialog_key(dialog::Key::Enter);
}
void dialog_escape() {
    dialog_key(dialog::Key::Escape);
}
bool dialog_open() {
    return g.dialog && !g.dialog->ended;
}
bool dialog_left_open() {
    return g.dialog_left_open;
}

} // namespace headless

// The display, as the entry of the layer's table of display backends.
namespace {

bool always_open(const char **) {
    return true; // always there
}

void screen_size(int *w, int *h) {
    *w = g.screen_w;
    *h = g.screen_h;
}

backend::Progress capture_begin(int x, int y, int w, int h, uint32_t *dst, int dst_stride) {
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
            dst[size_t(row) * dst_stride + col] = g.screen[size_t(y + row) * g.screen_w + (x + col)];
    return backend::Progress::Done;
}

backend::Progress create_window(HWND hwnd, int x, int y, int w, int h, unsigned long, Surface *surf) {
    g.window = hwnd;
    g.window_x = x;
    g.window_y = y;
    g.window_w = w;
    g.window_h = h;
    g.window_px.assign(size_t(w) * size_t(h), 0);
    if (g.window_start)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                g.window_px[size_t(y) * size_t(w) + size_t(x)] = g.window_start(x, y) & 0xFFFFFF;
    g.shown = false;
    *surf = Surface{g.window_px.data(), w, h, w};
    return backend::Progress::Done;
}

void show_window(HWND, bool show) {
    g.shown = show;
}

void destroy_window(HWND hwnd, Surface *) {
    if (hwnd == g.window) {
        g.window = nullptr;
        g.shown = false;
    }
}

bool present(HWND, const Surface &, int, int, int, int) {
    ++g.presents;
    return true;
}

bool press_waiting() {
    // Scripted input goes straight to the layer's queue; only held input waits here.
    for (const MSG &m : g.held)
        if (m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN || m.message == WM_LBUTTONDOWN ||
            m.message == WM_MBUTTONDOWN || m.message == WM_RBUTTONDOWN)
            return true;
    return false;
}

void set_cursor_visible(bool visible) {
    g.cursor_visible = visible;
}

bool cursor_pos(int *x, int *y) {
    *x = g.cursor_x;
    *y = g.cursor_y;
    return true;
}

void wait_events(int timeout_ms, int) {
    if (!g.held.empty()) { // read at once, and the wait ends with them
        const std::vector<MSG> held = std::move(g.held);
        g.held.clear();
        for (const MSG &m : held)
            posix::post_input(m.message, m.wParam, m.lParam);
        return;
    }
    if (timeout_ms == 0) return;
    g.last_wait = timeout_ms;
    if (!g.steps.empty()) {
        headless::Step step = std::move(g.steps.front());
        g.steps.pop_front();
        step();
        return;
    }
    // Nothing scripted is left: end the run rather than wait for ever.
    g.overrun = true;
    if (g.idle_after_overrun++ == 0 && g.window)
        posix::post_input(WM_KEYDOWN, 0x1B, 0);
    else
        PostQuitMessage(0);
}

} // namespace

namespace backend {

extern const DisplayBackend kHeadlessDisplay;
const DisplayBackend kHeadlessDisplay = {
    .name = "headless",
    .open = always_open,
    .screen_size = screen_size,
    .capture_begin = capture_begin,
    .create_window = create_window,
    .show_window = show_window,
    .destroy_window = destroy_window,
    .present = present,
    .press_waiting = press_waiting,
    .set_cursor_visible = set_cursor_visible,
    .cursor_pos = cursor_pos,
    .wait_events = wait_events,
};

// The dialogs.
namespace {

bool dialog_start(const DialogHost *) {
    return true;
}

bool dialog_open(dialog::Model *m) {
    m->view = g.dialog; // the dialog it opened over
    g.dialog = m;
    return true;
}

void dialog_update(dialog::Model *) {}

void dialog_run(dialog::Model *m) {
    if (g.driver && !m->ended) g.driver(m->hwnd);
}

void dialog_close(dialog::Model *m) {
    g.dialog_left_open = !m->ended;
    g.dialog = static_cast<dialog::Model *>(m->view);
}

int message_box(HWND owner, dialog::Model *, const char *text, const char *caption, UINT type) {
    g.boxes.push_back(headless::ShownBox{owner, text, caption, type});
    return g.box_hook ? g.box_hook(g.boxes.back()) : IDOK;
}

} // namespace

extern const DialogBackend kHeadlessDialog;
const DialogBackend kHeadlessDialog = {
    .name = "headless",
    .start = dialog_start,
    .open = dialog_open,
    .update = dialog_update,
    .run = dialog_run,
    .close = dialog_close,
    .message_box = message_box,
};

} // namespace backend
