// The rules of a running dialog, as Windows' dialog manager and button controls apply them: automatic
// radio buttons of a group exclude each other, a radio button is a tab stop while it is checked, Tab and
// Shift+Tab walk the tab stops in template order, the arrow keys walk the controls of the focused one's
// group (and choose a radio button they land on), Enter presses the focused push button or else the
// default one, Escape cancels. Both dialog backends drive this one model.

#include "dialog_model.h"

#include <cstring>

namespace dialog {
namespace {

bool is_radio(DWORD k) {
    return k == BS_RADIOBUTTON || k == BS_AUTORADIOBUTTON;
}
bool is_push(DWORD k) {
    return k == BS_PUSHBUTTON || k == BS_DEFPUSHBUTTON;
}

void command(Model *m, int id) {
    if (!m->ended) m->proc(m->hwnd, WM_COMMAND, MAKEWPARAM(id, 0 /* BN_CLICKED */), 0);
}

// A group runs from a control with WS_GROUP (or the first control) to the next one.
void group_of(const Model &m, int i, int *first, int *last) {
    *first = i;
    *last = i;
    while (*first > 0 && !(m.tpl->controls[*first].style & WS_GROUP))
        --*first;
    while (*last + 1 < m.tpl->count && !(m.tpl->controls[*last + 1].style & WS_GROUP))
        ++*last;
}

// Checks an automatic radio button and clears the others of its group.
void choose_radio(Model *m, int i) {
    int first, last;
    group_of(*m, i, &first, &last);
    for (int j = first; j <= last; ++j)
        if (j != i && kind(*m, j) == BS_AUTORADIOBUTTON) set_check(m, j, BST_UNCHECKED);
    set_check(m, i, BST_CHECKED);
}

// The keyboard moves the focus. A radio button that gains it unchecked is chosen, as if clicked.
void move_focus(Model *m, int i) {
    if (i < 0 || i == m->focus) return;
    m->focus = i;
    if (is_radio(kind(*m, i)) && !m->states[size_t(i)]) {
        if (kind(*m, i) == BS_AUTORADIOBUTTON) choose_radio(m, i);
        command(m, m->tpl->controls[i].id);
    }
}

int next_tab_stop(const Model &m, bool back) {
    const int n = m.tpl->count;
    int at = m.focus >= 0 ? m.focus : (back ? 0 : n - 1);
    for (int step = 1; step <= n; ++step) {
        int i = ((back ? at - step : at + step) % n + n) % n;
        if (m.tabstop[size_t(i)] && can_focus(m, i)) return i;
    }
    return -1;
}

int next_in_group(const Model &m, bool back) {
    if (m.focus < 0) return -1;
    int first, last;
    group_of(m, m.focus, &first, &last);
    const int n = last - first + 1;
    for (int step = 1; step < n; ++step) {
        int i = first + ((m.focus - first + (back ? -step : step)) % n + n) % n;
        if (can_focus(m, i)) return i;
    }
    return -1;
}

} // namespace

DWORD kind(const Model &m, int i) {
    const backend::DialogControl &c = m.tpl->controls[i];
    return std::strcmp(c.klass, "BUTTON") == 0 ? c.style & BS_TYPEMASK : DWORD(BS_GROUPBOX);
}

int index_of(const Model &m, int id) {
    for (int i = 0; i < m.tpl->count; ++i)
        if (m.tpl->controls[i].id == id) return i;
    return -1;
}

bool can_focus(const Model &m, int i) {
    return kind(m, i) != BS_GROUPBOX;
}

int shown_default(const Model &m) {
    if (m.focus >= 0 && is_push(kind(m, m.focus))) return m.focus;
    int i = index_of(m, m.default_id);
    return i >= 0 && is_push(kind(m, i)) ? i : -1;
}

void set_check(Model *m, int i, UINT state) {
    m->states[size_t(i)] = state;
    if (is_radio(kind(*m, i))) m->tabstop[size_t(i)] = state != BST_UNCHECKED;
}

void focus_first(Model *m) {
    m->focus = -1;
    move_focus(m, next_tab_stop(*m, false));
}

void click(Model *m, int i) {
    if (m->ended || i < 0 || i >= m->tpl->count) return;
    DWORD k = kind(*m, i);
    if (k == BS_AUTORADIOBUTTON)
        choose_radio(m, i);
    else if (k == BS_AUTOCHECKBOX)
        set_check(m, i, m->states[size_t(i)] ? BST_UNCHECKED : BST_CHECKED);
    if (can_focus(*m, i)) m->focus = i;
    command(m, m->tpl->controls[i].id);
}

void key(Model *m, Key k) {
    if (m->ended) return;
    switch (k) {
    case Key::Tab:
    case Key::BackTab:
        move_focus(m, next_tab_stop(*m, k == Key::BackTab));
        break;
    case Key::Up:
    case Key::Left:
    case Key::Down:
    case Key::Right:
        move_focus(m, next_in_group(*m, k == Key::Up || k == Key::Left));
        break;
    case Key::Enter: {
        int i = shown_default(*m);
        command(m, i >= 0 ? m->tpl->controls[i].id : m->default_id);
        break;
    }
    case Key::Escape:
        command(m, IDCANCEL);
        break;
    case Key::Space:
        if (m->focus >= 0) click(m, m->focus);
        break;
    }
}

} // namespace dialog
