// Dialog boxes from dialog template resources, and message boxes. The running dialogs' models are kept
// here, in one stack, innermost last (the template is parsed in dialog_template.cpp); the dialog backend
// (dialog_backend.h) builds, shows and runs the modal window.
//
// A request to end (SIGTERM, SIGHUP, SIGINT) while a dialog runs cancels the innermost one as its cancel
// button would, and the program then ends as usual. While a message box is up the dialog's handler is in
// the middle of something it cannot abandon, so the process ends there and then, with 0: nothing is
// stored while the backend waits for events.

#include "dialog_backend.h"
#include "dialog_template.h"
#include "internal.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<dialog::Model *> g_running; // the dialogs being run, innermost last
int g_boxes_open = 0;
const backend::DialogBackend *g_backend = nullptr; // started: every running dialog is its

dialog::Model *model_of(HWND hwnd) {
    HWND w = posix::window_from(hwnd);
    if (!w || !w->is_dialog) return nullptr;
    for (dialog::Model *m : g_running)
        if (m->hwnd == w) return m;
    return nullptr;
}

void on_termination();

const backend::DialogHost kHost = {
    .kind = dialog::kind,
    .shown_default = dialog::shown_default,
    .click = dialog::click,
    .key = dialog::key,
    .termination_fd = -1,
    .terminated = on_termination,
};

// The backend, started; null when there is none or it cannot show anything here. A backend that cannot
// be had at all (its module missing) is said once on standard error.
const backend::DialogBackend *started_backend() {
    const char *why = nullptr;
    const backend::DialogBackend *b = backend::dialogs(&why);
    if (!b) {
        static bool said = false;
        if (!said && why) std::fprintf(stderr, "scrwarpvue: %s\n", why);
        said = true;
        return nullptr;
    }
    static backend::DialogHost host = kHost;
    host.termination_fd = posix::termination_fd();
    if (!b->start(&host)) return nullptr;
    g_backend = b;
    return b;
}

void on_termination() {
    posix::drain_termination_fd();
    if (g_boxes_open > 0 || g_running.empty()) _exit(0);
    dialog::Model *m = g_running.back();
    dialog::key(m, dialog::Key::Escape);
    if (!m->ended) { // a handler that ignores the cancel is ended all the same
        m->ended = true;
        m->result = IDCANCEL;
    }
    g_backend->update(m);
}

} // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC proc,
                               LPARAM init) {
    const uint8_t *data = nullptr;
    uint32_t size = 0;
    if (!proc || !posix::find_resource(instance, RT_DIALOG, template_name, &data, &size)) return -1;
    posix::ParsedDialog parsed;
    if (!posix::parse_dialog_template(data, size, &parsed)) return -1;
    const backend::DialogBackend *b = started_backend();
    if (!b) return -1;
    dialog::Model m;
    m.tpl = &parsed.tpl;
    m.proc = proc;
    m.owner = model_of(owner);
    m.states.assign(size_t(parsed.tpl.count), BST_UNCHECKED);
    for (int i = 0; i < parsed.tpl.count; ++i) {
        m.tabstop.push_back((parsed.tpl.controls[i].style & WS_TABSTOP) != 0);
        if (dialog::kind(m, i) == BS_DEFPUSHBUTTON && m.default_id == IDOK)
            m.default_id = parsed.tpl.controls[i].id;
    }
    if (!b->open(&m)) return -1;
    m.hwnd = posix::create_dialog_window(owner);
    g_running.push_back(&m);
    if (proc(m.hwnd, WM_INITDIALOG, 0, init) && !m.ended) dialog::focus_first(&m);
    b->update(&m);
    if (!m.ended) b->run(&m);
    g_running.pop_back();
    b->close(&m);
    posix::destroy_dialog_window(m.hwnd);
    return m.ended ? m.result : -1;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    dialog::Model *m = model_of(dialog);
    if (!m) return FALSE;
    if (!m->ended) {
        m->ended = true;
        m->result = result;
        g_backend->update(m);
    }
    return TRUE;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    dialog::Model *m = model_of(dialog);
    int i = m ? dialog::index_of(*m, id) : -1;
    if (i < 0) return FALSE;
    dialog::set_check(m, i, check);
    g_backend->update(m);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    dialog::Model *m = model_of(dialog);
    int i = m ? dialog::index_of(*m, id) : -1;
    return i < 0 ? 0 : m->states[size_t(i)];
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const backend::DialogBackend *b = started_backend();
    if (!b) return IDOK;
    ++g_boxes_open;
    int result = b->message_box(owner, model_of(owner), text ? text : "", caption ? caption : "Error", type);
    --g_boxes_open;
    return result;
}
