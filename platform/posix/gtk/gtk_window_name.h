// The Japanese caption in WM_NAME on an X11 display.
#pragma once

#include <gtk/gtk.h>

namespace gtk_dialog {

// On an X11 display, writes title (UTF-8) into the realized window's WM_NAME; elsewhere nothing.
void set_wm_name(GtkWidget *window, const char *title);

} // namespace gtk_dialog
