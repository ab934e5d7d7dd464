// The dialog's controls as GTK widgets, placed by the template's dialog units.
#pragma once

#include "../dialog_backend.h"

#include <gtk/gtk.h>

#include <vector>

namespace gtk_dialog {

struct Control {
    GtkWidget *widget = nullptr;
    GtkWidget *none = nullptr; // radio buttons: a hidden partner that is active while it is unchecked
};

// The label's text is Japanese: its language picks the Japanese forms of the CJK glyphs.
void set_japanese(GtkWidget *label);
// Fills the window with the template's controls, in template order, at their places; each button's
// "clicked" goes to on_clicked with m.
void lay_out(GtkWidget *window, dialog::Model *m, std::vector<Control> *controls, GCallback on_clicked);

} // namespace gtk_dialog
