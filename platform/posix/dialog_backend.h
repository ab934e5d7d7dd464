// The dialog interface between the posix layer and a dialog backend (gtk, headless). The layer parses
// the template and owns one model of the running dialog: its controls' check states, the focus, the
// default push button, and the rules of Windows' dialog manager for clicks and keys. A backend builds a
// window from the template, shows what the model holds, and reports clicks and keys to it.
#pragma once

#include "winapi_posix.h"

#include <vector>

namespace backend {

struct DialogControl {
    int id;
    DWORD style;
    short x, y, cx, cy;
    char klass[16];   // "BUTTON" etc.
    const char *text; // UTF-8
};
struct DialogTemplate {
    DWORD style;
    short x, y, cx, cy;
    const char *caption; // UTF-8
    const char *font;
    int point_size;
    int count;
    DialogControl *controls;
};

} // namespace backend

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

namespace backend {

// Builds the dialog's window (not shown yet). False when no dialog can be shown at all.
bool dialog_open(dialog::Model *m);
// The model changed (checks, focus, default button, ended): show it.
void dialog_update(dialog::Model *m);
// Shows the window and runs until the model has ended.
void dialog_run(dialog::Model *m);
void dialog_close(dialog::Model *m);
// A modal message box, over the owner's dialog when the owner is one (else owner_dialog is null).
// Returns the button pressed.
int message_box(HWND owner, dialog::Model *owner_dialog, const char *text_utf8, const char *caption_utf8,
                UINT type);

} // namespace backend
