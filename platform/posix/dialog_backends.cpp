// The table of dialog backends and the choice among them. Each backend is one entry; a build holds the
// entries its library names (SCRWARPVUE_DIALOG_GTK and the like, set by the build): the program gtk,
// whose backend is loaded from its shared module (dialog_module.cpp), the tests headless. The first
// entry that loads is taken, once.

#include "dialog_backend.h"
#include "dialog_module.h"

namespace backend {

#ifdef SCRWARPVUE_DIALOG_HEADLESS
extern const DialogBackend kHeadlessDialog;
#endif

namespace {

#ifdef SCRWARPVUE_DIALOG_HEADLESS
const DialogBackend *load_headless(const char **) {
    return &kHeadlessDialog;
}
#endif

struct DialogEntry {
    const char *name;
    const DialogBackend *(*load)(const char **why); // null, with *why set, when it cannot be had
};

// In the order they are tried.
const DialogEntry kDialogBackends[] = {
#ifdef SCRWARPVUE_DIALOG_GTK
    {"gtk", load_gtk_module},
#endif
#ifdef SCRWARPVUE_DIALOG_HEADLESS
    {"headless", load_headless},
#endif
    {nullptr, nullptr}, // the end (and no empty array in a build without a dialog backend)
};

} // namespace

const DialogBackend *dialogs(const char **why) {
    static bool tried = false;
    static const DialogBackend *chosen = nullptr;
    static const char *reason = "this build has no dialog backend";
    if (!tried) {
        tried = true;
        for (const DialogEntry *e = kDialogBackends; e->load && !chosen; ++e)
            chosen = e->load(&reason);
    }
    *why = chosen ? nullptr : reason;
    return chosen;
}

} // namespace backend
