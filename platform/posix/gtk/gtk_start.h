// GTK's one-time start in the dialog module, and what the layer lent it.
#pragma once

#include "../dialog_backend.h"

namespace gtk_dialog {

// Starts GTK on its display (X11 or Wayland, as GDK finds it) the first time; later calls answer the
// same. False when there is no display: no dialog opens, every message box counts as confirmed.
bool start(const backend::DialogHost *host);
// What the layer lent at the start.
const backend::DialogHost &host();

} // namespace gtk_dialog
