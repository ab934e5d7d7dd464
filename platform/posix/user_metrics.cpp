// System metrics: the size of the screen the display shows.

#include "internal.h"

int WINAPI GetSystemMetrics(int index) {
    int w = 0, h = 0;
    backend::display().screen_size(&w, &h);
    switch (index) {
    case SM_CXSCREEN:
        return w;
    case SM_CYSCREEN:
        return h;
    default:
        return 0;
    }
}
