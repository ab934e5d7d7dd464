// Placeholder until the GTK dialogs land: no dialog can be shown.
#include "../backend.h"

namespace backend {
INT_PTR dialog_run(const DialogTemplate *, HWND, HWND, DLGPROC, LPARAM) { return -1; }
void dialog_end(HWND, INT_PTR) {}
void dialog_check(HWND, int, UINT) {}
UINT dialog_is_checked(HWND, int) { return 0; }
bool dialog_has_control(HWND, int) { return false; }
int message_box(HWND, const char *, const char *, UINT) { return IDOK; }
} // namespace backend
