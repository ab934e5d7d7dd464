// The pointer: its arrow cursor, its place, and showing or hiding it by a count as Windows does.

#include "user_state.h"

using namespace posix::user;

namespace posix {

int cursor_count() {
    return g_cursor_count;
}

} // namespace posix

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    static char arrow;
    if (!instance && name == IDC_ARROW) return reinterpret_cast<HCURSOR>(&arrow);
    return nullptr;
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    int x = 0, y = 0;
    if (!backend::display().cursor_pos(&x, &y)) return FALSE;
    point->x = x;
    point->y = y;
    return TRUE;
}

int WINAPI ShowCursor(BOOL show) {
    g_cursor_count += show ? 1 : -1;
    backend::display().set_cursor_visible(g_cursor_count >= 0);
    return g_cursor_count;
}
