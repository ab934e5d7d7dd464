// The dialog interface between the posix layer and a dialog backend (gtk, headless). The layer parses
// the template and owns the model of each running dialog (dialog_model.h) and the stack of them
// (dialog.cpp); a backend builds a window from the template, shows what the model holds, and reports
// clicks and keys to it. Every backend is one entry of the table in dialog_backends.cpp, a
// DialogBackend of function pointers, found the first time a dialog or a message box is asked for.
//
// The gtk backend lives in a shared module of its own (scrwarpvue-dialog.so), loaded only then, so that
// the saver never loads GTK: the module gets what it needs of the layer through a DialogHost rather than
// by linking against the program.
#pragma once

#include "dialog_model.h"

namespace backend {

// What the layer lends a dialog backend: the model's rules and the termination request.
struct DialogHost {
    DWORD (*kind)(const dialog::Model &m, int i);
    int (*shown_default)(const dialog::Model &m);
    void (*click)(dialog::Model *m, int i);
    void (*key)(dialog::Model *m, dialog::Key k);
    // Readable once SIGTERM, SIGINT or SIGHUP came; when the backend, waiting for events, sees it
    // readable, it calls terminated: the layer cancels the innermost dialog, or ends the process.
    int termination_fd;
    void (*terminated)();
};

// One dialog backend, written with designated initializers.
struct DialogBackend {
    const char *name = nullptr; // "gtk", "headless"
    // Starts the backend on first use (later calls answer the same). False when no dialog can be shown
    // here at all (no display): no dialog opens, every message box counts as confirmed at once.
    bool (*start)(const DialogHost *host) = nullptr;
    // Builds the dialog's window (not shown yet). False when it cannot.
    bool (*open)(dialog::Model *m) = nullptr;
    // The model changed (checks, focus, default button, ended): show it.
    void (*update)(dialog::Model *m) = nullptr;
    // Shows the window and runs until the model has ended.
    void (*run)(dialog::Model *m) = nullptr;
    void (*close)(dialog::Model *m) = nullptr;
    // A modal message box, over the owner's dialog when the owner is one (else owner_dialog is null).
    // Returns the button pressed.
    int (*message_box)(HWND owner, dialog::Model *owner_dialog, const char *text_utf8,
                       const char *caption_utf8, UINT type) = nullptr;
};

// The dialog backend, found at the first call: the first entry of the table that loads. Null when none
// does; *why then says why in one line (static text or text that lives as long as the process).
const DialogBackend *dialogs(const char **why);

} // namespace backend
