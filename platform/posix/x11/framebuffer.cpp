// The saver window's pixels, held client-side: in a MIT-SHM segment when the server offers one and its
// format is the surface's, else in plain memory (with a converted copy when the server's format differs),
// and pushed to the window rectangle by rectangle.

#include "x11_state.h"

#include <algorithm>
#include <cstdlib>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

namespace x11 {
namespace {

// A request that may fail (XShmAttach over a remote connection): run it under a handler that notes the
// failure instead of ignoring it.
bool g_trapped_error = false;
int on_trapped_error(Display *, XErrorEvent *) {
    g_trapped_error = true;
    return 0;
}

// Waits (at most a second) until the server says it finished reading the shared segment.
void wait_shm_completion() {
    const int64_t deadline = posix::now_ms() + 1000;
    XEvent ev;
    while (alive()) {
        if (XCheckTypedEvent(g.dpy, g.shm_completion, &ev)) return;
        int64_t left = deadline - posix::now_ms();
        if (left <= 0) break;
        pollfd p{ConnectionNumber(g.dpy), POLLIN, 0};
        poll(&p, 1, int(left));
    }
    if (alive()) XSync(g.dpy, False);
}

// Shared pixels for the window: a segment the server attaches to, or false when it cannot.
bool attach_shm(int w, int h) {
    XImage *img = XShmCreateImage(g.dpy, g.visual, unsigned(g.depth), ZPixmap, nullptr, &g.shm, unsigned(w),
                                  unsigned(h));
    if (!img) return false;
    if (!image_is_direct(img)) {
        XDestroyImage(img);
        return false;
    }
    g.shm.shmid = shmget(IPC_PRIVATE, size_t(img->bytes_per_line) * size_t(h), IPC_CREAT | 0600);
    if (g.shm.shmid < 0) {
        XDestroyImage(img);
        return false;
    }
    g.shm.shmaddr = static_cast<char *>(shmat(g.shm.shmid, nullptr, 0));
    if (g.shm.shmaddr == reinterpret_cast<char *>(-1)) {
        shmctl(g.shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(img);
        return false;
    }
    g.shm.readOnly = False; // the server also writes into it: the capture reads the screen through it
    img->data = g.shm.shmaddr;
    XSync(g.dpy, False);
    g_trapped_error = false;
    XErrorHandler previous = XSetErrorHandler(on_trapped_error);
    Status ok = XShmAttach(g.dpy, &g.shm);
    XSync(g.dpy, False);
    XSetErrorHandler(previous);
    // Marked for removal at once: the segment goes away with the last detach, even after a crash.
    shmctl(g.shm.shmid, IPC_RMID, nullptr);
    if (!ok || g_trapped_error || !alive()) {
        shmdt(g.shm.shmaddr);
        img->data = nullptr;
        XDestroyImage(img);
        return false;
    }
    g.image = img;
    g.use_shm = true;
    g.surf = Surface{reinterpret_cast<uint32_t *>(img->data), w, h, img->bytes_per_line / 4};
    return true;
}

// Plain memory for the window, with an image over it (or over a converted copy) for XPutImage.
bool allocate_plain(int w, int h) {
    auto *px = static_cast<uint32_t *>(std::calloc(size_t(w) * size_t(h), 4));
    if (!px) return false;
    XImage *img = XCreateImage(g.dpy, g.visual, unsigned(g.depth), ZPixmap, 0, nullptr, unsigned(w),
                               unsigned(h), 32, 0);
    if (!img) {
        std::free(px);
        return false;
    }
    if (image_is_direct(img) && img->bytes_per_line == w * 4) {
        img->data = reinterpret_cast<char *>(px);
    } else {
        img->data = static_cast<char *>(std::calloc(size_t(img->bytes_per_line), size_t(h)));
        if (!img->data) {
            XDestroyImage(img);
            std::free(px);
            return false;
        }
        g.shadow = true;
    }
    g.image = img;
    g.surf = Surface{px, w, h, w};
    return true;
}

} // namespace

bool allocate_pixels(int w, int h) {
    return (g.shm_offered && attach_shm(w, h)) || allocate_plain(w, h);
}

void populate_pixels() {
#ifdef MADV_POPULATE_WRITE
    if (g.use_shm)
        madvise(g.shm.shmaddr, size_t(g.image->bytes_per_line) * size_t(g.surf.h), MADV_POPULATE_WRITE);
#endif
}

void release_pixels() {
    if (g.use_shm) {
        if (alive()) {
            XShmDetach(g.dpy, &g.shm);
            XSync(g.dpy, False);
        }
        shmdt(g.shm.shmaddr);
        g.image->data = nullptr;
    } else if (g.image && !g.shadow) {
        g.image->data = nullptr; // the surface's memory, freed below
    }
    if (g.image) XDestroyImage(g.image); // client-side only; frees a shadow copy
    if (!g.use_shm) std::free(g.surf.px);
    g.image = nullptr;
    g.use_shm = false;
    g.shadow = false;
    g.surf = Surface{};
}

// Sends the rectangle of the window's pixels to the server.
void push(int x, int y, int w, int h) {
    if (!alive() || !g.win || !g.image || g.win_gone) return;
    if (x < 0) w += x, x = 0;
    if (y < 0) h += y, y = 0;
    if (x + w > g.surf.w) w = g.surf.w - x;
    if (y + h > g.surf.h) h = g.surf.h - y;
    if (w <= 0 || h <= 0) return;
    if (g.shadow) {
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col)
                XPutPixel(g.image, col, row, from_rgb(g.surf.px[size_t(row) * g.surf.stride + col]));
    }
    if (g.use_shm) {
        XShmPutImage(g.dpy, g.win, g.gc, g.image, x, y, x, y, unsigned(w), unsigned(h), True);
        XFlush(g.dpy);
        wait_shm_completion();
    } else {
        XPutImage(g.dpy, g.win, g.gc, g.image, x, y, x, y, unsigned(w), unsigned(h));
        XFlush(g.dpy);
    }
}

// Of the backend's entry (backend.cpp).

void present(HWND hwnd, int x, int y, int w, int h) {
    if (hwnd != x11::g.hwnd) return;
    x11::g.layer_presented = true;
    x11::push(x, y, w, h);
}

} // namespace x11
