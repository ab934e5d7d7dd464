// Window classes: registering one, and finding it by name.

#include "user_state.h"

#include <strings.h>

namespace posix::user {

// As on Windows, a class is known by its name together with the instance that registered it.
const WindowClass *find_class(LPCSTR name, HINSTANCE instance) {
    if (!name || IS_INTRESOURCE(name)) return nullptr;
    for (auto &c : g_classes)
        if (strcasecmp(c.name.c_str(), name) == 0 && c.wc.hInstance == instance) return &c;
    return nullptr;
}

} // namespace posix::user

using namespace posix::user;

ATOM WINAPI RegisterClassA(const WNDCLASSA *wc) {
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc) return 0;
    if (wc->cbClsExtra < 0 || wc->cbWndExtra < 0) return 0;     // counts of extra bytes, never below 0
    if (find_class(wc->lpszClassName, wc->hInstance)) return 0; // already registered
    g_classes.push_back(WindowClass{wc->lpszClassName, *wc});
    g_classes.back().wc.lpszClassName = nullptr;
    g_classes.back().wc.lpszMenuName = nullptr;
    return ATOM(0xC000 + g_classes.size());
}
