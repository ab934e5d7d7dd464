// Dialog boxes from dialog template resources, and message boxes: the running dialogs' models are kept
// here (the template is parsed in dialog_template.cpp); the dialog backend builds, shows and runs the
// modal window.

#include "dialog_template.h"
#include "internal.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<dialog::Model *> g_running; // the dialogs being run, innermost last

dialog::Model *model_of(HWND hwnd) {
    HWND w = posix::window_from(hwnd);
    if (!w || !w->is_dialog) return nullptr;
    for (dialog::Model *m : g_running)
        if (m->hwnd == w) return m;
    return nullptr;
}

} // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC proc,
                               LPARAM init) {
    const uint8_t *data = nullptr;
    uint32_t size = 0;
    if (!proc || !posix::find_resource(instance, RT_DIALOG, template_name, &data, &size)) return -1;
    posix::ParsedDialog parsed;
    if (!posix::parse_dialog_template(data, size, &parsed)) return -1;
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
    if (!backend::dialog_open(&m)) return -1;
    m.hwnd = posix::create_dialog_window(owner);
    g_running.push_back(&m);
    if (proc(m.hwnd, WM_INITDIALOG, 0, init) && !m.ended) dialog::focus_first(&m);
    backend::dialog_update(&m);
    if (!m.ended) backend::dialog_run(&m);
    g_running.pop_back();
    backend::dialog_close(&m);
    posix::destroy_dialog_window(m.hwnd);
    return m.ended ? m.result : -1;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    dialog::Model *m = model_of(dialog);
    if (!m) return FALSE;
    if (!m->ended) {
        m->ended = true;
        m->result = result;
        backend::dialog_update(m);
    }
    return TRUE;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    dialog::Model *m = model_of(dialog);
    int i = m ? dialog::index_of(*m, id) : -1;
    if (i < 0) return FALSE;
    dialog::set_check(m, i, check);
    backend::dialog_update(m);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    dialog::Model *m = model_of(dialog);
    int i = m ? dialog::index_of(*m, id) : -1;
    return i < 0 ? 0 : m->states[size_t(i)];
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return backend::message_box(owner, model_of(owner), text ? text : "", caption ? caption : "Error", type);
}
