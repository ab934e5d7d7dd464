// The modal dialog window of the GTK backend.
#pragma once

#include "../dialog_backend.h"

#include <gtk/gtk.h>

namespace gtk_dialog {

bool dialog_open(dialog::Model *m);
void dialog_update(dialog::Model *m);
void dialog_run(dialog::Model *m);
void dialog_close(dialog::Model *m);

// The dialog's window while it has not ended; null otherwise.
GtkWindow *open_window(dialog::Model *m);
// Without a window manager nobody gives a new X11 window the keyboard: the window takes it once mapped.
void take_focus_when_mapped(GtkWidget *window);
// Sends what is queued to the display and handles what is pending.
void flush_display();

} // namespace gtk_dialog
