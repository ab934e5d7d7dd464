// Measuring aid for bench/x11_figures.py, built by that script (not by CMake).
//
//   x11_probe watch X0 Y0 X1 Y1 RRGGBB   prints "ready", waits until pixel (X0, Y0) turns black, then until
//                                         pixel (X1, Y1) shows RRGGBB; prints the monotonic clock at the
//                                         black (ms) and the milliseconds between the two
//   x11_probe shmwait W H N               pushes an W x H rectangle of a shared-memory image N times,
//                                         waiting for the server either with XSync or with the
//                                         ShmCompletion event; prints wall and CPU microseconds per push
//   x11_probe key X Y RRGGBB [WX WY WRGB [CX CY CRGB]]
//                                         (after pixel (WX, WY) shows WRGB) presses and releases the
//                                         space key, then waits until pixel (X, Y) shows RRGGBB; prints
//                                         the milliseconds from the press, and when CX CY CRGB are given,
//                                         "complete" or "drawing": whether pixel (CX, CY) already showed
//                                         CRGB right after the press
//   x11_probe change                      prints "ready" once it has read the screen as it is, then
//                                         watches a grid of rows: prints the monotonic clock (ms) when
//                                         the screen first differs from that ("covered"), then when it
//                                         first shows a picture that is neither that nor black (at least
//                                         a quarter of the watched pixels lit and one of them changed)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/ipc.h>
#include <sys/resource.h>
#include <sys/shm.h>
#include <unistd.h>
#include <vector>

namespace {

double now_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double cpu_ms() {
    rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

unsigned long pixel_at(Display *dpy, int x, int y) {
    XImage *img = XGetImage(dpy, DefaultRootWindow(dpy), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return ~0ul;
    unsigned long p = XGetPixel(img, 0, 0) & 0xFFFFFF;
    XDestroyImage(img);
    return p;
}

bool wait_pixel(Display *dpy, int x, int y, unsigned long want, double timeout_ms) {
    double start = now_ms();
    while (pixel_at(dpy, x, y) != want) {
        if (now_ms() - start > timeout_ms) return false;
        usleep(500);
    }
    return true;
}

int watch(Display *dpy, int x0, int y0, int x1, int y1, unsigned long want, double timeout_ms) {
    std::printf("ready\n");
    std::fflush(stdout);
    if (!wait_pixel(dpy, x0, y0, 0, timeout_ms)) return 1;
    double black = now_ms();
    if (!wait_pixel(dpy, x1, y1, want, timeout_ms)) return 1;
    std::printf("%.3f %.1f\n", black, now_ms() - black);
    return 0;
}

int key(Display *dpy, char **argv, int argc, double timeout_ms) {
    const int x = std::atoi(argv[0]), y = std::atoi(argv[1]);
    const unsigned long want = std::strtoul(argv[2], nullptr, 16);
    if (argc >= 6 && !wait_pixel(dpy, std::atoi(argv[3]), std::atoi(argv[4]),
                                 std::strtoul(argv[5], nullptr, 16), timeout_ms))
        return 1;
    const KeyCode space = XKeysymToKeycode(dpy, XK_space);
    XTestFakeKeyEvent(dpy, space, True, CurrentTime);
    XTestFakeKeyEvent(dpy, space, False, CurrentTime);
    XFlush(dpy);
    const double pressed = now_ms();
    bool complete = false;
    if (argc >= 9)
        complete =
            pixel_at(dpy, std::atoi(argv[6]), std::atoi(argv[7])) == std::strtoul(argv[8], nullptr, 16);
    if (!wait_pixel(dpy, x, y, want, timeout_ms)) return 1;
    std::printf("%.1f%s\n", now_ms() - pressed, argc >= 9 ? (complete ? " complete" : " drawing") : "");
    return 0;
}

// The pixels of a few rows across the screen, every 8th column of each.
constexpr int kRows = 9;
std::vector<unsigned long> grid(Display *dpy) {
    const int screen = DefaultScreen(dpy), w = DisplayWidth(dpy, screen), h = DisplayHeight(dpy, screen);
    std::vector<unsigned long> out;
    for (int r = 0; r < kRows; ++r) {
        XImage *img = XGetImage(dpy, DefaultRootWindow(dpy), 0, h * (2 * r + 1) / (2 * kRows), unsigned(w), 1,
                                AllPlanes, ZPixmap);
        for (int x = 3; x < w; x += 8)
            out.push_back(img ? XGetPixel(img, x, 0) & 0xFFFFFF : 0);
        if (img) XDestroyImage(img);
    }
    return out;
}

int change(Display *dpy, double timeout_ms) {
    const std::vector<unsigned long> desktop = grid(dpy);
    std::printf("ready\n");
    std::fflush(stdout);
    const double start = now_ms();
    double covered = -1;
    while (now_ms() - start < timeout_ms) {
        const std::vector<unsigned long> now = grid(dpy);
        size_t changed = 0, lit = 0;
        for (size_t i = 0; i < now.size(); ++i) {
            changed += now[i] != desktop[i];
            lit += now[i] != 0;
        }
        const double t = now_ms();
        if (covered < 0 && changed > 0) covered = t;
        if (covered >= 0 && changed > 0 && lit * 4 >= now.size()) {
            std::printf("%.3f %.3f\n", covered, t);
            return 0;
        }
        usleep(500);
    }
    return 1;
}

int shmwait(Display *dpy, int w, int h, int n) {
    int screen = DefaultScreen(dpy);
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    Window win = XCreateWindow(dpy, RootWindow(dpy, screen), 0, 0, unsigned(w), unsigned(h), 0,
                               CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect, &attrs);
    XMapWindow(dpy, win);
    XShmSegmentInfo info{};
    XImage *img = XShmCreateImage(dpy, DefaultVisual(dpy, screen), unsigned(DefaultDepth(dpy, screen)),
                                  ZPixmap, nullptr, &info, unsigned(w), unsigned(h));
    info.shmid = shmget(IPC_PRIVATE, size_t(img->bytes_per_line) * size_t(h), IPC_CREAT | 0600);
    info.shmaddr = img->data = static_cast<char *>(shmat(info.shmid, nullptr, 0));
    XShmAttach(dpy, &info);
    XSync(dpy, False);
    shmctl(info.shmid, IPC_RMID, nullptr);
    GC gc = XCreateGC(dpy, win, 0, nullptr);
    const int completion = XShmGetEventBase(dpy) + ShmCompletion;
    for (int mode = 0; mode < 2; ++mode) {
        double wall = now_ms(), cpu = cpu_ms();
        for (int i = 0; i < n; ++i) {
            std::memset(img->data, i, size_t(img->bytes_per_line) * size_t(h));
            if (mode == 0) {
                XShmPutImage(dpy, win, gc, img, 0, 0, 0, 0, unsigned(w), unsigned(h), False);
                XSync(dpy, False);
            } else {
                XShmPutImage(dpy, win, gc, img, 0, 0, 0, 0, unsigned(w), unsigned(h), True);
                XEvent ev;
                XFlush(dpy);
                while (!XCheckTypedEvent(dpy, completion, &ev))
                    XPeekEvent(dpy, &ev);
            }
        }
        std::printf("%s: %.1f us wall, %.1f us CPU per push\n", mode == 0 ? "XSync" : "ShmCompletion",
                    (now_ms() - wall) * 1e3 / n, (cpu_ms() - cpu) * 1e3 / n);
    }
    XShmDetach(dpy, &info);
    XSync(dpy, False);
    shmdt(info.shmaddr);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) return 2;
    int rc = 2;
    if (argc == 7 && std::strcmp(argv[1], "watch") == 0)
        rc = watch(dpy, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                   std::strtoul(argv[6], nullptr, 16), 60000);
    else if (argc == 5 && std::strcmp(argv[1], "shmwait") == 0)
        rc = shmwait(dpy, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    else if (argc == 2 && std::strcmp(argv[1], "change") == 0)
        rc = change(dpy, 60000);
    else if ((argc == 5 || argc == 8 || argc == 11) && std::strcmp(argv[1], "key") == 0)
        rc = key(dpy, argv + 2, argc - 2, 60000);
    XCloseDisplay(dpy);
    return rc;
}
