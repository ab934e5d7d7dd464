// The termination request reaching GTK's waits.
#pragma once

#include "../dialog_backend.h"

namespace gtk_dialog {

// From now on every GTK wait (a dialog's, a message box's) hears the layer's termination descriptor and
// tells the layer when it becomes readable.
void watch_termination(const backend::DialogHost &host);

} // namespace gtk_dialog
