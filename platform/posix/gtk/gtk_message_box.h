// The modal message box of the GTK backend.
#pragma once

#include "../dialog_backend.h"

namespace gtk_dialog {

// MessageBoxA's box: the text as given, the icon the type asks for, one OK button. Returns IDOK.
int message_box(HWND owner, dialog::Model *owner_dialog, const char *text, const char *caption, UINT type);

} // namespace gtk_dialog
