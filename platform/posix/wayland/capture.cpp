// The snapshot: the covered output's picture, copied by the compositor into a shared-memory buffer of
// ours before the cover is mapped, and turned into the effects' 0x00RRGGBB picture (capture_pixels.h).
// The image-copy-capture protocol with an output capture source when the compositor offers both, else
// wlroots' screencopy (its plain copy: the first frame as it is, not a wait for damage). Neither is asked
// to paint the pointer (a compositor that draws the pointer itself into its frames, as wlroots does when
// the output has no cursor plane, leaves it in all the same). A capture that fails, or that the layer
// stops waiting for, ends the run.

#include "capture_pixels.h"
#include "wayland_state.h"

#include "ext-image-capture-source-v1-client-protocol.h"
#include "ext-image-copy-capture-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace wayland {
namespace {

struct Capture {
    bool active = false;
    backend::Progress progress = backend::Progress::Refused;
    int x = 0, y = 0, w = 0, h = 0; // the rectangle asked for, on the screen
    uint32_t *dst = nullptr;
    int dst_stride = 0;
    ShmBuffer buffer;
    uint32_t format = 0;
    int transform = 0;
    bool y_invert = false;
    // image copy capture
    ext_image_capture_source_v1 *source = nullptr;
    ext_image_copy_capture_session_v1 *session = nullptr;
    ext_image_copy_capture_frame_v1 *frame = nullptr;
    std::vector<uint32_t> formats;
    int size_w = 0, size_h = 0;
    // wlr screencopy
    zwlr_screencopy_frame_v1 *wlr_frame = nullptr;
    bool wlr_shm_offered = false;
    bool borrowed = false; // the buffer is the cover's second one, not ours to free
    int wlr_stride = 0;
};
Capture c;

// A buffer for the capture: the cover's second buffer when it has the same layout (the usual case: the
// cover is configured, not yet shown, and that buffer is not needed before the first frame after the
// black one), given back empty afterwards; else one of its own.
bool take_buffer(int w, int h, int stride, uint32_t format) {
    ShmBuffer &spare = g.buffers[1];
    if (spare.buffer && !g.mapped && format == kXrgb8888 && w == spare.w && h == spare.h &&
        stride == spare.stride) {
        populate_shm_buffer(&spare);
        c.buffer = spare;
        c.borrowed = true;
        return true;
    }
    return make_shm_buffer(&c.buffer, w, h, stride, format, true);
}

void release() {
    if (c.frame) ext_image_copy_capture_frame_v1_destroy(c.frame);
    if (c.session) ext_image_copy_capture_session_v1_destroy(c.session);
    if (c.source) ext_image_capture_source_v1_destroy(c.source);
    if (c.wlr_frame) zwlr_screencopy_frame_v1_destroy(c.wlr_frame);
    if (c.borrowed)
        // Black again, as the cover expects it, and no memory until a frame needs it: a compositor that
        // releases each buffer at once (one drawing with the GPU) never does.
        empty_shm_buffer(&g.buffers[1]);
    else
        free_shm_buffer(&c.buffer);
    c = Capture{};
}

void fail() {
    release();
    c.progress = backend::Progress::Refused;
    g.capture_failed = true;
    g.reported |= posix::display_lost();
}

// The pixels came: into the layer's picture, the part of it asked for.
void finish() {
    int pw, ph;
    transformed_size(c.transform, c.buffer.w, c.buffer.h, &pw, &ph);
    const bool whole = c.x == 0 && c.y == 0 && c.w == pw && c.h == ph;
    // The picture's memory is most likely new: its pages come in with one call rather than one fault each,
    // which on a large screen is most of the conversion's time. (A kernel without this ignores it.)
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t from = reinterpret_cast<uintptr_t>(c.dst) & ~(page - 1);
    const uintptr_t to =
        reinterpret_cast<uintptr_t>(c.dst + size_t(c.h - 1) * size_t(c.dst_stride) + size_t(c.w));
    if (c.w > 0 && c.h > 0) madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE);
    bool ok;
    if (whole) {
        ok = convert_capture(c.buffer.data, c.buffer.w, c.buffer.h, c.buffer.stride, c.format, c.transform,
                             c.y_invert, c.dst, c.dst_stride);
    } else {
        // The screen's size and the picture's disagree (a mode changed meanwhile), or only a part was asked
        // for: the part that both have, the rest black.
        std::vector<uint32_t> picture(size_t(pw) * size_t(ph));
        ok = convert_capture(c.buffer.data, c.buffer.w, c.buffer.h, c.buffer.stride, c.format, c.transform,
                             c.y_invert, picture.data(), pw);
        for (int row = 0; ok && row < c.h; ++row) {
            uint32_t *out = c.dst + size_t(row) * size_t(c.dst_stride);
            std::fill_n(out, c.w, 0u);
            const int sy = c.y + row;
            if (sy < 0 || sy >= ph) continue;
            const int x0 = std::max(c.x, 0), x1 = std::min(c.x + c.w, pw);
            if (x1 > x0)
                std::memcpy(out + (x0 - c.x), &picture[size_t(sy) * size_t(pw) + size_t(x0)],
                            size_t(x1 - x0) * 4);
        }
    }
    if (!ok) return fail();
    release();
    c.progress = backend::Progress::Done;
}

// --- image copy capture ---

void frame_transform(void *, ext_image_copy_capture_frame_v1 *, uint32_t transform) {
    c.transform = int(transform & 7);
}
void frame_damage(void *, ext_image_copy_capture_frame_v1 *, int32_t, int32_t, int32_t, int32_t) {}
void frame_time(void *, ext_image_copy_capture_frame_v1 *, uint32_t, uint32_t, uint32_t) {}
void frame_ready(void *, ext_image_copy_capture_frame_v1 *) {
    finish();
}
void frame_failed(void *, ext_image_copy_capture_frame_v1 *, uint32_t) {
    fail();
}
const ext_image_copy_capture_frame_v1_listener kFrameListener = {
    .transform = frame_transform,
    .damage = frame_damage,
    .presentation_time = frame_time,
    .ready = frame_ready,
    .failed = frame_failed,
};

void session_size(void *, ext_image_copy_capture_session_v1 *, uint32_t w, uint32_t h) {
    c.size_w = int(w);
    c.size_h = int(h);
}
void session_shm_format(void *, ext_image_copy_capture_session_v1 *, uint32_t format) {
    c.formats.push_back(format);
}
void session_dmabuf_device(void *, ext_image_copy_capture_session_v1 *, wl_array *) {}
void session_dmabuf_format(void *, ext_image_copy_capture_session_v1 *, uint32_t, wl_array *) {}
// The constraints are all told: one frame into a buffer that meets them. (A later batch, sent when the
// constraints change under way, finds the frame taken already and is not acted on.)
void session_done(void *, ext_image_copy_capture_session_v1 *session) {
    if (c.frame || c.buffer.buffer) return;
    if (!choose_shm_format(c.formats.data(), int(c.formats.size()), &c.format)) return fail();
    const int bpp = shm_bytes_per_pixel(c.format);
    if (!take_buffer(c.size_w, c.size_h, c.size_w * bpp, c.format)) return fail();
    c.frame = ext_image_copy_capture_session_v1_create_frame(session);
    ext_image_copy_capture_frame_v1_add_listener(c.frame, &kFrameListener, nullptr);
    ext_image_copy_capture_frame_v1_attach_buffer(c.frame, c.buffer.buffer);
    ext_image_copy_capture_frame_v1_damage_buffer(c.frame, 0, 0, c.size_w, c.size_h);
    ext_image_copy_capture_frame_v1_capture(c.frame);
}
void session_stopped(void *, ext_image_copy_capture_session_v1 *) {
    if (c.progress == backend::Progress::Pending) fail();
}
const ext_image_copy_capture_session_v1_listener kSessionListener = {
    .buffer_size = session_size,
    .shm_format = session_shm_format,
    .dmabuf_device = session_dmabuf_device,
    .dmabuf_format = session_dmabuf_format,
    .done = session_done,
    .stopped = session_stopped,
};

// --- wlr screencopy ---

void wlr_copy() {
    if (c.buffer.buffer) return;
    if (!c.wlr_shm_offered || shm_bytes_per_pixel(c.format) == 0) return fail();
    if (!take_buffer(c.size_w, c.size_h, c.wlr_stride, c.format)) return fail();
    zwlr_screencopy_frame_v1_copy(c.wlr_frame, c.buffer.buffer);
}
void wlr_buffer(void *, zwlr_screencopy_frame_v1 *, uint32_t format, uint32_t w, uint32_t h,
                uint32_t stride) {
    c.wlr_shm_offered = true;
    c.format = format;
    c.size_w = int(w);
    c.size_h = int(h);
    c.wlr_stride = int(stride);
    if (g.screencopy_version < 3) wlr_copy(); // no buffer_done before version 3
}
void wlr_flags(void *, zwlr_screencopy_frame_v1 *, uint32_t flags) {
    c.y_invert = flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
}
void wlr_ready(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {
    finish();
}
void wlr_failed(void *, zwlr_screencopy_frame_v1 *) {
    fail();
}
void wlr_damage(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t, uint32_t) {}
void wlr_dmabuf(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {}
void wlr_buffer_done(void *, zwlr_screencopy_frame_v1 *) {
    wlr_copy();
}
const zwlr_screencopy_frame_v1_listener kWlrListener = {
    .buffer = wlr_buffer,
    .flags = wlr_flags,
    .ready = wlr_ready,
    .failed = wlr_failed,
    .damage = wlr_damage,
    .linux_dmabuf = wlr_dmabuf,
    .buffer_done = wlr_buffer_done,
};

} // namespace

// Of the backend's entry (backend.cpp).

backend::Progress capture_begin(int x, int y, int w, int h, uint32_t *dst, int dst_stride) {
    if (!alive() || !g.covered || g.covered_gone || c.active || g.capture_failed)
        return backend::Progress::Refused;
    c = Capture{};
    c.active = true;
    c.progress = backend::Progress::Pending;
    c.x = x, c.y = y, c.w = w, c.h = h;
    c.dst = dst;
    c.dst_stride = dst_stride;
    if (g.copy_capture && g.output_sources) {
        c.source = ext_output_image_capture_source_manager_v1_create_source(g.output_sources, g.covered->wl);
        c.session =
            ext_image_copy_capture_manager_v1_create_session(g.copy_capture, c.source, 0); // no cursor
        ext_image_copy_capture_session_v1_add_listener(c.session, &kSessionListener, nullptr);
    } else {
        // The output's own transform turns the picture; the frame tells only whether it is upside down.
        c.transform = g.covered->transform;
        c.wlr_frame = zwlr_screencopy_manager_v1_capture_output(g.screencopy, 0, g.covered->wl); // no cursor
        zwlr_screencopy_frame_v1_add_listener(c.wlr_frame, &kWlrListener, nullptr);
    }
    wl_display_flush(g.dpy);
    return capture_poll();
}

backend::Progress capture_poll() {
    if (c.progress == backend::Progress::Pending && !alive()) fail();
    return c.progress;
}

void capture_cancel() {
    if (c.progress == backend::Progress::Pending) fail();
}

} // namespace wayland
