// Measuring aid for bench/wayland_figures.py, built by that script (not by CMake), with the client code
// wayland-scanner makes of the Wayland backend's own copy of the screencopy protocol.
//
//   wayland_probe watch X0 Y0 X1 Y1 RRGGBB   prints "ready", waits until pixel (X0, Y0) of the first
//                                             output turns black, then until pixel (X1, Y1) shows
//                                             RRGGBB; prints the monotonic clock at the black (ms) and
//                                             the milliseconds between the two
//
// Each look is a screencopy of that one pixel, which the compositor answers with its next frame of the
// output: the figures are as fine as the output's refresh (60 Hz on a headless sway), not finer.
#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace {

wl_shm *g_shm;
wl_output *g_output;
zwlr_screencopy_manager_v1 *g_screencopy;

double now_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void global(void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
    if (std::strcmp(interface, wl_shm_interface.name) == 0)
        g_shm = static_cast<wl_shm *>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    else if (std::strcmp(interface, wl_output_interface.name) == 0 && !g_output)
        g_output = static_cast<wl_output *>(wl_registry_bind(registry, name, &wl_output_interface, 1));
    else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0)
        g_screencopy = static_cast<zwlr_screencopy_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_screencopy_manager_v1_interface, 1));
}
void global_remove(void *, wl_registry *, uint32_t) {}
const wl_registry_listener kRegistry = {global, global_remove};

// One look at one pixel: the buffer the compositor asks for, made once and reused.
struct Look {
    wl_buffer *buffer = nullptr;
    uint32_t *pixels = nullptr;
    bool done = false, failed = false;
};

void frame_buffer(void *data, zwlr_screencopy_frame_v1 *frame, uint32_t format, uint32_t w, uint32_t h,
                  uint32_t stride) {
    Look *look = static_cast<Look *>(data);
    if (!look->buffer) {
        const size_t size = size_t(stride) * h;
        const int fd = memfd_create("wayland_probe", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(size)) != 0) std::exit(2);
        look->pixels =
            static_cast<uint32_t *>(mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        wl_shm_pool *pool = wl_shm_create_pool(g_shm, fd, int32_t(size));
        look->buffer = wl_shm_pool_create_buffer(pool, 0, int32_t(w), int32_t(h), int32_t(stride), format);
        wl_shm_pool_destroy(pool);
        close(fd);
    }
    zwlr_screencopy_frame_v1_copy(frame, look->buffer);
}
void frame_flags(void *, zwlr_screencopy_frame_v1 *, uint32_t) {}
void frame_ready(void *data, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {
    static_cast<Look *>(data)->done = true;
}
void frame_failed(void *data, zwlr_screencopy_frame_v1 *) {
    static_cast<Look *>(data)->failed = static_cast<Look *>(data)->done = true;
}
void frame_damage(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t, uint32_t) {}
void frame_dmabuf(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {}
void frame_buffer_done(void *, zwlr_screencopy_frame_v1 *) {}
const zwlr_screencopy_frame_v1_listener kFrame = {frame_buffer, frame_flags,  frame_ready,      frame_failed,
                                                  frame_damage, frame_dmabuf, frame_buffer_done};

// The pixel (x, y) as 0xRRGGBB (the formats a software renderer offers, XRGB and ARGB, keep it so in a
// 32-bit word), or ~0 when the copy failed.
unsigned long pixel_at(wl_display *dpy, Look &look, int x, int y) {
    look.done = look.failed = false;
    zwlr_screencopy_frame_v1 *frame =
        zwlr_screencopy_manager_v1_capture_output_region(g_screencopy, 0, g_output, x, y, 1, 1);
    zwlr_screencopy_frame_v1_add_listener(frame, &kFrame, &look);
    while (!look.done)
        if (wl_display_dispatch(dpy) < 0) std::exit(2);
    zwlr_screencopy_frame_v1_destroy(frame);
    return look.failed ? ~0ul : look.pixels[0] & 0xFFFFFF;
}

bool wait_pixel(wl_display *dpy, Look &look, int x, int y, unsigned long want, double timeout_ms) {
    const double start = now_ms();
    while (pixel_at(dpy, look, x, y) != want)
        if (now_ms() - start > timeout_ms) return false;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 7 || std::strcmp(argv[1], "watch") != 0) return 2;
    wl_display *dpy = wl_display_connect(nullptr);
    if (!dpy) return 2;
    wl_registry *registry = wl_display_get_registry(dpy);
    wl_registry_add_listener(registry, &kRegistry, nullptr);
    wl_display_roundtrip(dpy);
    if (!g_shm || !g_output || !g_screencopy) return 2;
    Look look;
    std::printf("ready\n");
    std::fflush(stdout);
    if (!wait_pixel(dpy, look, std::atoi(argv[2]), std::atoi(argv[3]), 0, 60000)) return 1;
    const double black = now_ms();
    if (!wait_pixel(dpy, look, std::atoi(argv[4]), std::atoi(argv[5]), std::strtoul(argv[6], nullptr, 16),
                    60000))
        return 1;
    std::printf("%.3f %.1f\n", black, now_ms() - black);
    wl_display_disconnect(dpy);
    return 0;
}
