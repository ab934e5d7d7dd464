// Icons: the program's icon group found in its resources.

#include "internal.h"

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    // The program's icon is an icon group with a numeric id; lookups by name find nothing, and the
    // icon is never drawn on Linux.
    const uint8_t *data = nullptr;
    uint32_t size = 0;
    if (name && posix::find_resource(instance, RT_GROUP_ICON, name, &data, &size))
        return reinterpret_cast<HICON>(const_cast<uint8_t *>(data));
    return nullptr;
}
