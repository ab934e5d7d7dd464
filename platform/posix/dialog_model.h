// The model of a running dialog, with the rules of Windows' dialog manager (dialog_model.cpp): the
// controls' check states, the focus, the default push button, and what a click or a key means. Every
// dialog backend shows this one model and reports clicks and keys to it.
#pragma once

#include "dialog_template.h"

#include <vector>

namespace dialog {

// The keys the dialog manager handles itself.
enum class Key { Tab, BackTab, Up, Down, Left, Right, Enter, Escape, Space };

// One running modal dialog. Controls are addressed by their index in the template.
struct Model {
    const backend::DialogTemplate *tpl = nullptr;
    HWND hwnd = nullptr;
    DLGPROC proc = nullptr;
    Model *owner = nullptr; // the dialog this one was opened from, if any
    std::vector<UINT> states;
    std::vector<bool> tabstop; // radio buttons are tab stops while checked
    int focus = -1;
    int default_id = IDOK; // DM_GETDEFID: the template's default push button, else IDOK
    bool ended = false;
    INT_PTR result = -1;
    void *view = nullptr; // the backend's window for it
};

DWORD kind(const Model &m, int i);           // BS_* type of a BUTTON control, else BS_GROUPBOX
int index_of(const Model &m, int id);        // -1 when no control has the id
bool can_focus(const Model &m, int i);       // buttons that are not group boxes
int shown_default(const Model &m);           // the push button Enter presses now, -1 for none
void set_check(Model *m, int i, UINT state); // the program's own change: nothing is sent
void focus_first(Model *m);                  // the first tab stop takes the focus
void click(Model *m, int i);                 // a click (mouse or space bar) on the control
void key(Model *m, Key k);                   // a key the dialog manager handles

} // namespace dialog
