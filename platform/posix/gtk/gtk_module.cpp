// The dialog module's entry: the one symbol the program looks up after loading scrwarpvue-dialog.so,
// the GTK dialog backend (its name is kDialogModuleEntry of dialog_module.h). Everything else in the
// module stays hidden.

#include "gtk_dialog.h"
#include "gtk_message_box.h"
#include "gtk_start.h"

extern "C" {
extern __attribute__((visibility("default"))) const backend::DialogBackend kScrwarpvueGtkDialog;
const backend::DialogBackend kScrwarpvueGtkDialog = {
    .name = "gtk",
    .start = gtk_dialog::start,
    .open = gtk_dialog::dialog_open,
    .update = gtk_dialog::dialog_update,
    .run = gtk_dialog::dialog_run,
    .close = gtk_dialog::dialog_close,
    .message_box = gtk_dialog::message_box,
};
}
