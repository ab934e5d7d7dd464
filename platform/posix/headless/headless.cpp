// The headless display backend: everything a display does, held in memory and driven by tests.

#include "headless.h"

#include "../backend.h"

#include <deque>
#include <vector>

namespace {

struct DialogState {
    HWND hwnd = nullptr;
    const backend::DialogTemplate *tpl = nullptr;
    DLGPROC proc = nullptr;
    std::vector<UINT> states;
    bool ended = false;
    INT_PTR result = 0;
};

struct State {
    int screen_w = 0, screen_h = 0;
    std::vector<uint32_t> screen;
    HWND window = nullptr;
    std::vector<uint32_t> window_px;
    int window_w = 0, window_h = 0;
    bool shown = false;
    int presents = 0;
    int64_t clock = 1000000;
    std::function<SYSTEMTIME()> local_source;
    int local_reads = 0;
    std::deque<headless::Step> steps;
    bool overrun = false;
    int idle_after_overrun = 0;
    int cursor_x = 0, cursor_y = 0;
    bool cursor_visible = true;
    std::vector<headless::ShownBox> boxes;
    std::function<int(const headless::ShownBox &)> box_hook;
    std::function<void(HWND)> driver;
    DialogState *dialog = nullptr;
    bool dialog_left_open = false;
};

State g;

int index_of(int id) {
    if (!g.dialog) return -1;
    for (int i = 0; i < g.dialog->tpl->count; ++i)
        if (g.dialog->tpl->controls[i].id == id) return i;
    return -1;
}

DWORD kind_of(int i) {
    return g.dialog->tpl->controls[i].style & BS_TYPEMASK;
}

void command(int id) {
    if (g.dialog && !g.dialog->ended) g.dialog->proc(g.dialog->hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

} // namespace

namespace headless {

void reset(int w, int h) {
    posix::reset_user_state();
    posix::set_max_bitmap_pixels(int64_t(1) << 28);
    posix::reset_gdi_clock();
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

int64_t now() {
    return g.clock;
}
void advance(int64_t ms) {
    g.clock += ms;
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

void tick() {
    int64_t due = posix::next_timer_due_ms();
    if (due > g.clock) g.clock = due;
}
void input(UINT msg, WPARAM wp, LPARAM lp) {
    posix::post_input(msg, wp, lp);
}
void move_pointer(int x, int y) {
    g.cursor_x = x;
    g.cursor_y = y;
    posix::post_input(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}
void set_pointer(int x, int y) {
    g.cursor_x = x;
    g.cursor_y = y;
}
void expose() {
    posix::invalidate_display_window();
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
void dialog_click(int id) {
    int i = index_of(id);
    if (i < 0 || g.dialog->ended) return;
    DWORD kind = kind_of(i);
    if (kind == BS_AUTORADIOBUTTON) {
        // Automatic radio buttons of one group: the clicked one checked, the others cleared. A group runs
        // from a control with WS_GROUP to the next one.
        int first = i, last = i;
        while (first > 0 && !(g.dialog->tpl->controls[first].style & WS_GROUP))
            --first;
        while (last + 1 < g.dialog->tpl->count && !(g.dialog->tpl->controls[last + 1].style & WS_GROUP))
            ++last;
        for (int j = first; j <= last; ++j)
            if (kind_of(j) == BS_AUTORADIOBUTTON) g.dialog->states[size_t(j)] = BST_UNCHECKED;
        g.dialog->states[size_t(i)] = BST_CHECKED;
    } else if (kind == BS_AUTOCHECKBOX) {
        g.dialog->states[size_t(i)] = g.dialog->states[size_t(i)] ? BST_UNCHECKED : BST_CHECKED;
    }
    command(id);
}
void dialog_enter() {
    if (!g.dialog) return;
    int id = IDOK;
    for (int i = 0; i < g.dialog->tpl->count; ++i)
        if (kind_of(i) == BS_DEFPUSHBUTTON) id = g.dialog->tpl->controls[i].id;
    command(id);
}
void dialog_escape() {
    command(IDCANCEL);
}
bool dialog_open() {
    return g.dialog && !g.dialog->ended;
}
bool dialog_left_open() {
    return g.dialog_left_open;
}

} // namespace headless

namespace backend {

void screen_size(int *w, int *h) {
    *w = g.screen_w;
    *h = g.screen_h;
}

void read_screen(int x, int y, int w, int h, uint32_t *dst, int dst_stride) {
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
            dst[size_t(row) * dst_stride + col] = g.screen[size_t(y + row) * g.screen_w + (x + col)];
}

bool create_window(HWND hwnd, int, int, int w, int h, Surface *surf, unsigned long) {
    g.window = hwnd;
    g.window_w = w;
    g.window_h = h;
    g.window_px.assign(size_t(w) * size_t(h), 0);
    g.shown = false;
    *surf = Surface{g.window_px.data(), w, h, w};
    return true;
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

void present(HWND, int, int, int, int) {
    ++g.presents;
}

void set_cursor_visible(bool visible) {
    g.cursor_visible = visible;
}

bool cursor_pos(int *x, int *y) {
    *x = g.cursor_x;
    *y = g.cursor_y;
    return true;
}

int64_t now_ms() {
    return g.clock;
}

void local_time(SYSTEMTIME *out) {
    ++g.local_reads;
    if (g.local_source) {
        *out = g.local_source();
        return;
    }
    *out = SYSTEMTIME{};
    out->wYear = 2026;
    out->wMonth = 12;
    out->wDay = 8;
    out->wSecond = WORD((g.clock / 1000) % 60);
    out->wMilliseconds = WORD(g.clock % 1000);
}

void wait_events(int timeout_ms) {
    if (timeout_ms == 0) return;
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

INT_PTR dialog_run(const DialogTemplate *tpl, HWND dialog, HWND, DLGPROC proc, LPARAM init) {
    DialogState state;
    state.hwnd = dialog;
    state.tpl = tpl;
    state.proc = proc;
    state.states.assign(size_t(tpl->count), BST_UNCHECKED);
    DialogState *outer = g.dialog;
    g.dialog = &state;
    proc(dialog, WM_INITDIALOG, 0, init);
    if (g.driver && !state.ended) g.driver(dialog);
    g.dialog_left_open = !state.ended;
    g.dialog = outer;
    return state.ended ? state.result : -1;
}

void dialog_end(HWND dialog, INT_PTR result) {
    if (g.dialog && g.dialog->hwnd == dialog) {
        g.dialog->ended = true;
        g.dialog->result = result;
    }
}

void dialog_check(HWND, int id, UINT state) {
    int i = index_of(id);
    if (i >= 0) g.dialog->states[size_t(i)] = state;
}

UINT dialog_is_checked(HWND, int id) {
    return headless::dialog_state(id);
}

bool dialog_has_control(HWND, int id) {
    return index_of(id) >= 0;
}

int message_box(HWND owner, const char *text, const char *caption, UINT type) {
    g.boxes.push_back(headless::ShownBox{owner, text, caption, type});
    return g.box_hook ? g.box_hook(g.boxes.back()) : IDOK;
}

} // namespace backend
