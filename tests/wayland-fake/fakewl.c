// fakewl: a small Wayland compositor for the saver's tests, offering only what a test asks for on its
// command line. It shows the paths a real headless compositor cannot: the image-copy-capture snapshot,
// a compositor without layer-shell or without screen capture, a capture that fails or never answers, the
// layer surface closed, the covered output unplugged.
//
// It answers a capture with a known picture of each output (fakewl_picture below, which the test computes
// too) in the chosen shared-memory format, turned by the chosen transform. It keeps what the layer surface
// shows as a compositor would, copying only the damaged parts of each committed buffer, and writes that
// picture to the --screen file after every commit. It reports on stdout, one line each, what the client
// binds, asks and commits; it reads commands on stdin: "closed" (the layer surface is closed), "unplug N"
// (output N's global is removed).
//
//   fakewl --socket NAME [--screen FILE] [--output WxH[+X+Y][/T][*S]]... [--xdg-output] [--no-layer-shell]
//          [--screencopy] [--ext-capture [--no-output-sources]] [--capture-format F[,F...]]
//          [--capture-transform T] [--capture ok|fail|silent|stop] [--y-invert] [--stride-pad N]

#include "ext-image-capture-source-v1-server-protocol.h"
#include "ext-image-copy-capture-v1-server-protocol.h"
#include "wlr-layer-shell-unstable-v1-server-protocol.h"
#include "wlr-screencopy-unstable-v1-server-protocol.h"
#include "xdg-output-unstable-v1-server-protocol.h"
#include <wayland-server.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kMaxOutputs = 2, kMaxFormats = 4 };

// --- What the test asked for ---

struct output {
    int mode_w, mode_h, x, y, transform, scale;
    struct wl_global *global;
};

static struct {
    const char *socket, *screen;
    struct output outputs[kMaxOutputs];
    int output_count;
    int xdg_output, layer_shell, screencopy, ext_capture, output_sources;
    uint32_t formats[kMaxFormats];
    int format_count;
    int capture_transform; // -1: the output's own
    const char *capture;   // ok, fail, silent, stop
    int y_invert, stride_pad;
} opt = {.socket = "wayland-fake", .layer_shell = 1, .capture_transform = -1, .capture = "ok"};

static struct wl_display *display;
static int running = 1;
static struct wl_resource *layer_surface; // the one layer surface, for "closed"

static void say(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    putchar('\n');
    fflush(stdout);
}

static int output_index(struct wl_resource *output) {
    return output ? (int)(intptr_t)wl_resource_get_user_data(output) : -1;
}

// The output's size as the user sees it: its mode, turned a quarter by the odd transforms.
static void turned_size(const struct output *o, int *w, int *h) {
    *w = o->transform & 1 ? o->mode_h : o->mode_w;
    *h = o->transform & 1 ? o->mode_w : o->mode_h;
}

// --- The known pictures ---

// Output o's desktop at (x, y), as the user sees it: 0x00RRGGBB. The test has the same formula.
static uint32_t fakewl_picture(int o, int x, int y) {
    const uint32_t r = (uint32_t)(x * 7 + o * 101) & 0xFF, g = (uint32_t)(y * 5 + 3) & 0xFF;
    const uint32_t b = (uint32_t)((x ^ y) * 3 + o * 50) & 0xFF;
    return r << 16 | g << 8 | b;
}

// Where picture pixel (x, y) of a pw x ph picture lies in a buffer that holds it under transform t: first
// mirrored about the vertical axis (the flipped ones, 4 to 7), then turned a quarter counter-clockwise
// t & 3 times.
static void place(int t, int pw, int ph, int x, int y, int *bx, int *by) {
    if (t & 4) x = pw - 1 - x;
    int w = pw, h = ph;
    for (int k = 0; k < (t & 3); ++k) {
        const int nx = y, ny = w - 1 - x; // a quarter turn counter-clockwise of a w x h picture
        x = nx, y = ny;
        const int tmp = w;
        w = h, h = tmp;
    }
    *bx = x, *by = y;
}

// One pixel in a shared-memory format (DRM fourcc layouts, little-endian words); 0 bytes: not known.
// The alpha of the formats that have one is opaque; a client must ignore it all the same.
static int encode(uint32_t format, uint32_t rgb, uint8_t *p) {
    const uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
    const uint32_t r10 = r << 2 | r >> 6, g10 = g << 2 | g >> 6, b10 = b << 2 | b >> 6;
    uint32_t v;
    switch (format) {
    case WL_SHM_FORMAT_XRGB8888:
        v = r << 16 | g << 8 | b;
        break;
    case WL_SHM_FORMAT_ARGB8888:
        v = 0xFFu << 24 | r << 16 | g << 8 | b;
        break;
    case WL_SHM_FORMAT_XBGR8888:
        v = b << 16 | g << 8 | r;
        break;
    case WL_SHM_FORMAT_ABGR8888:
        v = 0xFFu << 24 | b << 16 | g << 8 | r;
        break;
    case WL_SHM_FORMAT_XRGB2101010:
        v = r10 << 20 | g10 << 10 | b10;
        break;
    case WL_SHM_FORMAT_ARGB2101010:
        v = 3u << 30 | r10 << 20 | g10 << 10 | b10;
        break;
    case WL_SHM_FORMAT_XBGR2101010:
        v = b10 << 20 | g10 << 10 | r10;
        break;
    case WL_SHM_FORMAT_ABGR2101010:
        v = 3u << 30 | b10 << 20 | g10 << 10 | r10;
        break;
    case WL_SHM_FORMAT_RGB888:
        p[0] = (uint8_t)b, p[1] = (uint8_t)g, p[2] = (uint8_t)r;
        return 3;
    case WL_SHM_FORMAT_BGR888:
        p[0] = (uint8_t)r, p[1] = (uint8_t)g, p[2] = (uint8_t)b;
        return 3;
    default:
        return 0;
    }
    memcpy(p, &v, 4);
    return 4;
}

// The buffer size a capture of output o under transform t takes.
static void capture_size(int o, int t, int *bw, int *bh) {
    int pw, ph;
    turned_size(&opt.outputs[o], &pw, &ph);
    *bw = t & 1 ? ph : pw;
    *bh = t & 1 ? pw : ph;
}

// Paints output o's picture into the client's buffer under transform t. False (nothing painted) when the
// buffer is not one the capture offered.
static int paint_capture(int o, int t, struct wl_resource *buffer_res, int y_invert) {
    struct wl_shm_buffer *buffer = wl_shm_buffer_get(buffer_res);
    int bw, bh;
    capture_size(o, t, &bw, &bh);
    if (!buffer || wl_shm_buffer_get_width(buffer) != bw || wl_shm_buffer_get_height(buffer) != bh) return 0;
    const uint32_t format = wl_shm_buffer_get_format(buffer);
    int offered = 0;
    for (int i = 0; i < opt.format_count; ++i)
        offered |= opt.formats[i] == format;
    uint8_t probe[4];
    const int bpp = encode(format, 0, probe);
    const int stride = wl_shm_buffer_get_stride(buffer);
    if (!offered || !bpp || stride < bw * bpp) return 0;
    int pw, ph;
    turned_size(&opt.outputs[o], &pw, &ph);
    wl_shm_buffer_begin_access(buffer);
    uint8_t *data = wl_shm_buffer_get_data(buffer);
    for (int y = 0; y < ph; ++y)
        for (int x = 0; x < pw; ++x) {
            int bx, by;
            place(t, pw, ph, x, y, &bx, &by);
            if (y_invert) by = bh - 1 - by;
            encode(format, fakewl_picture(o, x, y), data + (size_t)by * stride + (size_t)bx * bpp);
        }
    wl_shm_buffer_end_access(buffer);
    return 1;
}

// --- Surfaces: what the client commits ---

struct surface {
    struct wl_resource *resource;
    struct wl_resource *pending_buffer, *current_buffer;
    struct wl_listener pending_gone, current_gone;
    int attached; // an attach came since the last commit
    int pending_scale, scale;
    int damage[16][4], damage_count; // in buffer pixels
    int damage_all;
    struct wl_list frames; // wl_callback resources' links
    int is_layer, configured, layer_output;
    uint32_t *content; // what it shows: 0x00RRGGBB
    int content_w, content_h;
};

static void pending_gone(struct wl_listener *l, void *data) {
    (void)data;
    struct surface *s = wl_container_of(l, s, pending_gone);
    s->pending_buffer = NULL;
    wl_list_remove(&l->link);
    wl_list_init(&l->link);
}
static void current_gone(struct wl_listener *l, void *data) {
    (void)data;
    struct surface *s = wl_container_of(l, s, current_gone);
    s->current_buffer = NULL;
    wl_list_remove(&l->link);
    wl_list_init(&l->link);
}

static void write_screen(const struct surface *s) {
    if (!opt.screen) return;
    char tmp[4096];
    snprintf(tmp, sizeof tmp, "%s.tmp", opt.screen);
    FILE *f = fopen(tmp, "wb");
    if (!f) return;
    const uint32_t size[2] = {(uint32_t)s->content_w, (uint32_t)s->content_h};
    fwrite(size, 4, 2, f);
    fwrite(s->content, 4, (size_t)s->content_w * s->content_h, f);
    fclose(f);
    rename(tmp, opt.screen);
}

static void add_damage(struct surface *s, int x, int y, int w, int h) {
    if (s->damage_count == 16) {
        s->damage_all = 1;
        return;
    }
    int *d = s->damage[s->damage_count++];
    d[0] = x, d[1] = y, d[2] = w, d[3] = h;
}

// Copies the damaged parts of the new buffer into what the surface shows (all of it when its size changed).
static void take_buffer(struct surface *s, struct wl_shm_buffer *b) {
    const int w = wl_shm_buffer_get_width(b), h = wl_shm_buffer_get_height(b);
    const int stride = wl_shm_buffer_get_stride(b);
    if (w != s->content_w || h != s->content_h) {
        free(s->content);
        s->content = calloc((size_t)w * h, 4);
        s->content_w = w, s->content_h = h;
        s->damage_all = 1;
    }
    wl_shm_buffer_begin_access(b);
    const uint8_t *data = wl_shm_buffer_get_data(b);
    for (int i = 0; i < (s->damage_all ? 1 : s->damage_count); ++i) {
        int x0 = 0, y0 = 0, x1 = w, y1 = h;
        if (!s->damage_all) {
            const int *d = s->damage[i];
            x0 = d[0] < 0 ? 0 : d[0], y0 = d[1] < 0 ? 0 : d[1];
            x1 = d[0] + d[2] > w ? w : d[0] + d[2], y1 = d[1] + d[3] > h ? h : d[1] + d[3];
        }
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                uint32_t v;
                memcpy(&v, data + (size_t)y * stride + (size_t)x * 4, 4);
                s->content[(size_t)y * w + x] = v & 0xFFFFFF;
            }
    }
    wl_shm_buffer_end_access(b);
}

static void surface_commit(struct wl_client *client, struct wl_resource *resource) {
    (void)client;
    struct surface *s = wl_resource_get_user_data(resource);
    s->scale = s->pending_scale;
    if (s->is_layer && !s->configured && layer_surface) {
        // The first commit of a layer surface: its size, the output's in logical units.
        const struct output *o = &opt.outputs[s->layer_output];
        int w, h;
        turned_size(o, &w, &h);
        s->configured = 1;
        say("configure %d %d", w / o->scale, h / o->scale);
        zwlr_layer_surface_v1_send_configure(layer_surface, 1, (uint32_t)(w / o->scale),
                                             (uint32_t)(h / o->scale));
    }
    if (s->attached && s->pending_buffer) {
        struct wl_shm_buffer *b = wl_shm_buffer_get(s->pending_buffer);
        if (b) {
            char damage[512] = "";
            size_t used = 0;
            for (int i = 0; i < s->damage_count && used < sizeof damage - 64; ++i)
                used += (size_t)snprintf(damage + used, sizeof damage - used, "%s%d,%d,%d,%d", i ? ";" : "",
                                         s->damage[i][0], s->damage[i][1], s->damage[i][2], s->damage[i][3]);
            say("commit buffer %dx%d format %u scale %d damage %s", wl_shm_buffer_get_width(b),
                wl_shm_buffer_get_height(b), wl_shm_buffer_get_format(b), s->scale,
                s->damage_all     ? "all"
                : s->damage_count ? damage
                                  : "none");
            take_buffer(s, b);
            if (s->is_layer) write_screen(s);
        }
        // Held until another replaces it, as a compositor showing it would.
        if (s->current_buffer && s->current_buffer != s->pending_buffer)
            wl_buffer_send_release(s->current_buffer);
        wl_list_remove(&s->current_gone.link);
        wl_list_init(&s->current_gone.link);
        s->current_buffer = s->pending_buffer;
        if (s->current_buffer) wl_resource_add_destroy_listener(s->current_buffer, &s->current_gone);
    } else if (s->attached) {
        say("commit unmap");
        if (s->current_buffer) wl_buffer_send_release(s->current_buffer);
        wl_list_remove(&s->current_gone.link);
        wl_list_init(&s->current_gone.link);
        s->current_buffer = NULL;
    } else {
        say("commit nobuffer");
    }
    s->attached = 0;
    s->damage_count = s->damage_all = 0;
    wl_list_remove(&s->pending_gone.link);
    wl_list_init(&s->pending_gone.link);
    s->pending_buffer = NULL;
    // Shown at once: the frame callbacks are done.
    struct wl_resource *cb, *next;
    wl_resource_for_each_safe(cb, next, &s->frames) {
        wl_callback_send_done(cb, 0);
        wl_resource_destroy(cb);
    }
}

static void surface_attach(struct wl_client *client, struct wl_resource *resource, struct wl_resource *buffer,
                           int32_t x, int32_t y) {
    (void)client, (void)x, (void)y;
    struct surface *s = wl_resource_get_user_data(resource);
    wl_list_remove(&s->pending_gone.link);
    wl_list_init(&s->pending_gone.link);
    s->pending_buffer = buffer;
    s->attached = 1;
    if (buffer) wl_resource_add_destroy_listener(buffer, &s->pending_gone);
}
static void surface_damage(struct wl_client *client, struct wl_resource *resource, int32_t x, int32_t y,
                           int32_t w, int32_t h) {
    (void)client, (void)x, (void)y, (void)w, (void)h;
    // In surface units: the whole buffer is taken as damaged (the cover uses the buffer's own units).
    ((struct surface *)wl_resource_get_user_data(resource))->damage_all = 1;
}
static void surface_damage_buffer(struct wl_client *client, struct wl_resource *resource, int32_t x,
                                  int32_t y, int32_t w, int32_t h) {
    (void)client;
    add_damage(wl_resource_get_user_data(resource), x, y, w, h);
}
static void frame_gone(struct wl_resource *cb) {
    wl_list_remove(wl_resource_get_link(cb));
}
static void surface_frame(struct wl_client *client, struct wl_resource *resource, uint32_t id) {
    struct surface *s = wl_resource_get_user_data(resource);
    struct wl_resource *cb = wl_resource_create(client, &wl_callback_interface, 1, id);
    wl_resource_set_implementation(cb, NULL, NULL, frame_gone);
    wl_list_insert(s->frames.prev, wl_resource_get_link(cb));
}
static void surface_set_scale(struct wl_client *client, struct wl_resource *resource, int32_t scale) {
    (void)client;
    ((struct surface *)wl_resource_get_user_data(resource))->pending_scale = scale;
}
static void surface_region(struct wl_client *client, struct wl_resource *resource,
                           struct wl_resource *region) {
    (void)client, (void)resource, (void)region;
}
static void surface_transform(struct wl_client *client, struct wl_resource *resource, int32_t transform) {
    (void)client, (void)resource;
    say("buffer transform %d", transform);
}
static void destroy_request(struct wl_client *client, struct wl_resource *resource) {
    (void)client;
    wl_resource_destroy(resource);
}
static const struct wl_surface_interface surface_impl = {
    .destroy = destroy_request,
    .attach = surface_attach,
    .damage = surface_damage,
    .frame = surface_frame,
    .set_opaque_region = surface_region,
    .set_input_region = surface_region,
    .commit = surface_commit,
    .set_buffer_transform = surface_transform,
    .set_buffer_scale = surface_set_scale,
    .damage_buffer = surface_damage_buffer,
};

static void surface_gone(struct wl_resource *resource) {
    struct surface *s = wl_resource_get_user_data(resource);
    wl_list_remove(&s->pending_gone.link);
    wl_list_remove(&s->current_gone.link);
    struct wl_resource *cb, *next;
    wl_resource_for_each_safe(cb, next, &s->frames) wl_resource_destroy(cb);
    free(s->content);
    free(s);
}

static void region_add(struct wl_client *c, struct wl_resource *r, int32_t x, int32_t y, int32_t w,
                       int32_t h) {
    (void)c, (void)r, (void)x, (void)y, (void)w, (void)h;
}
static const struct wl_region_interface region_impl = {
    .destroy = destroy_request, .add = region_add, .subtract = region_add};

static void compositor_create_surface(struct wl_client *client, struct wl_resource *resource, uint32_t id) {
    struct surface *s = calloc(1, sizeof *s);
    s->resource = wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(resource), id);
    s->pending_scale = s->scale = 1;
    wl_list_init(&s->frames);
    s->pending_gone.notify = pending_gone;
    s->current_gone.notify = current_gone;
    wl_list_init(&s->pending_gone.link);
    wl_list_init(&s->current_gone.link);
    wl_resource_set_implementation(s->resource, &surface_impl, s, surface_gone);
}
static void compositor_create_region(struct wl_client *client, struct wl_resource *resource, uint32_t id) {
    struct wl_resource *r =
        wl_resource_create(client, &wl_region_interface, wl_resource_get_version(resource), id);
    wl_resource_set_implementation(r, &region_impl, NULL, NULL);
}
static const struct wl_compositor_interface compositor_impl = {.create_surface = compositor_create_surface,
                                                               .create_region = compositor_create_region};

// --- Outputs ---

static void output_release(struct wl_client *client, struct wl_resource *resource) {
    destroy_request(client, resource);
}
static const struct wl_output_interface output_impl = {.release = output_release};

static void bind_output(struct wl_client *client, void *data, uint32_t version, uint32_t id) {
    const int o = (int)(intptr_t)data;
    const struct output *out = &opt.outputs[o];
    struct wl_resource *r = wl_resource_create(client, &wl_output_interface, (int)version, id);
    wl_resource_set_implementation(r, &output_impl, data, NULL);
    say("bind wl_output %d version %u", o, version);
    wl_output_send_geometry(r, out->x, out->y, 300, 200, WL_OUTPUT_SUBPIXEL_UNKNOWN, "fakewl", "fake",
                            out->transform);
    wl_output_send_mode(r, WL_OUTPUT_MODE_CURRENT | WL_OUTPUT_MODE_PREFERRED, out->mode_w, out->mode_h,
                        60000);
    if (version >= 2) {
        wl_output_send_scale(r, out->scale);
        wl_output_send_done(r);
    }
}

static void xdg_output_destroy(struct wl_client *c, struct wl_resource *r) {
    destroy_request(c, r);
}
static const struct zxdg_output_v1_interface xdg_output_impl = {.destroy = xdg_output_destroy};
static void xdg_get_output(struct wl_client *client, struct wl_resource *resource, uint32_t id,
                           struct wl_resource *output) {
    const int o = output_index(output);
    struct wl_resource *r =
        wl_resource_create(client, &zxdg_output_v1_interface, wl_resource_get_version(resource), id);
    wl_resource_set_implementation(r, &xdg_output_impl, NULL, NULL);
    int w, h;
    turned_size(&opt.outputs[o], &w, &h);
    zxdg_output_v1_send_logical_position(r, opt.outputs[o].x, opt.outputs[o].y);
    zxdg_output_v1_send_logical_size(r, w / opt.outputs[o].scale, h / opt.outputs[o].scale);
    if (wl_resource_get_version(resource) < 3) zxdg_output_v1_send_done(r);
}
static const struct zxdg_output_manager_v1_interface xdg_manager_impl = {.destroy = destroy_request,
                                                                         .get_xdg_output = xdg_get_output};

// --- Layer shell ---

static void layer_set_size(struct wl_client *c, struct wl_resource *r, uint32_t w, uint32_t h) {
    (void)c, (void)r;
    say("layer size %u %u", w, h);
}
static void layer_set_anchor(struct wl_client *c, struct wl_resource *r, uint32_t anchor) {
    (void)c, (void)r;
    say("layer anchor %u", anchor);
}
static void layer_set_zone(struct wl_client *c, struct wl_resource *r, int32_t zone) {
    (void)c, (void)r;
    say("layer exclusive zone %d", zone);
}
static void layer_set_margin(struct wl_client *c, struct wl_resource *r, int32_t t, int32_t ri, int32_t b,
                             int32_t l) {
    (void)c, (void)r, (void)t, (void)ri, (void)b, (void)l;
}
static void layer_set_keyboard(struct wl_client *c, struct wl_resource *r, uint32_t mode) {
    (void)c, (void)r;
    say("layer keyboard %u", mode);
}
static void layer_get_popup(struct wl_client *c, struct wl_resource *r, struct wl_resource *popup) {
    (void)c, (void)r, (void)popup;
}
static void layer_ack(struct wl_client *c, struct wl_resource *r, uint32_t serial) {
    (void)c, (void)r;
    say("ack %u", serial);
}
static void layer_set_layer(struct wl_client *c, struct wl_resource *r, uint32_t layer) {
    (void)c, (void)r;
    say("layer layer %u", layer);
}
static const struct zwlr_layer_surface_v1_interface layer_surface_impl = {
    .set_size = layer_set_size,
    .set_anchor = layer_set_anchor,
    .set_exclusive_zone = layer_set_zone,
    .set_margin = layer_set_margin,
    .set_keyboard_interactivity = layer_set_keyboard,
    .get_popup = layer_get_popup,
    .ack_configure = layer_ack,
    .destroy = destroy_request,
    .set_layer = layer_set_layer,
};
static void layer_surface_gone(struct wl_resource *r) {
    if (r == layer_surface) layer_surface = NULL;
}

static void layer_get_surface(struct wl_client *client, struct wl_resource *resource, uint32_t id,
                              struct wl_resource *surface, struct wl_resource *output, uint32_t layer,
                              const char *namespace) {
    const int o = output_index(output);
    layer_surface =
        wl_resource_create(client, &zwlr_layer_surface_v1_interface, wl_resource_get_version(resource), id);
    wl_resource_set_implementation(layer_surface, &layer_surface_impl, NULL, layer_surface_gone);
    say("layer surface output %d layer %u namespace %s", o, layer, namespace);
    struct surface *s = wl_resource_get_user_data(surface);
    s->is_layer = 1;
    s->layer_output = o < 0 ? 0 : o;
}
static const struct zwlr_layer_shell_v1_interface layer_shell_impl = {.get_layer_surface = layer_get_surface,
                                                                      .destroy = destroy_request};

// --- Screen capture ---

struct capture {
    int output, transform, done;
    struct wl_resource *buffer; // ext: the attached buffer
};

static void capture_gone(struct wl_resource *r) {
    free(wl_resource_get_user_data(r));
}

// Answers a capture into the buffer: 1 painted (ready goes out), 0 failed, -1 no answer at all.
static int answer(struct capture *c, struct wl_resource *buffer, int y_invert) {
    if (c->done) return -1;
    c->done = 1;
    if (!strcmp(opt.capture, "silent")) return -1;
    if (strcmp(opt.capture, "ok") || !paint_capture(c->output, c->transform, buffer, y_invert)) {
        say("capture failed");
        return 0;
    }
    say("capture ready format %u", wl_shm_buffer_get_format(wl_shm_buffer_get(buffer)));
    return 1;
}

// wlr screencopy
static void sc_copy(struct wl_client *client, struct wl_resource *resource, struct wl_resource *buffer) {
    (void)client;
    const int a = answer(wl_resource_get_user_data(resource), buffer, opt.y_invert);
    if (a == 0) zwlr_screencopy_frame_v1_send_failed(resource);
    if (a != 1) return;
    zwlr_screencopy_frame_v1_send_flags(resource, opt.y_invert ? ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT : 0);
    zwlr_screencopy_frame_v1_send_ready(resource, 0, 0, 0);
}
static const struct zwlr_screencopy_frame_v1_interface sc_frame_impl = {
    .copy = sc_copy, .destroy = destroy_request, .copy_with_damage = sc_copy};

static void sc_capture(struct wl_client *client, struct wl_resource *resource, uint32_t id, int32_t cursor,
                       struct wl_resource *output) {
    struct capture *c = calloc(1, sizeof *c);
    c->output = output_index(output);
    c->transform = opt.outputs[c->output].transform; // screencopy: the output's own
    const int version = wl_resource_get_version(resource);
    struct wl_resource *r = wl_resource_create(client, &zwlr_screencopy_frame_v1_interface, version, id);
    wl_resource_set_implementation(r, &sc_frame_impl, c, capture_gone);
    say("capture screencopy output %d cursor %d", c->output, cursor);
    int bw, bh;
    capture_size(c->output, c->transform, &bw, &bh);
    uint8_t probe[4];
    const uint32_t f = opt.formats[0];
    zwlr_screencopy_frame_v1_send_buffer(r, f, (uint32_t)bw, (uint32_t)bh,
                                         (uint32_t)(bw * encode(f, 0, probe) + opt.stride_pad));
    if (version >= 3) zwlr_screencopy_frame_v1_send_buffer_done(r);
}
static void sc_capture_region(struct wl_client *client, struct wl_resource *resource, uint32_t id,
                              int32_t cursor, struct wl_resource *output, int32_t x, int32_t y, int32_t w,
                              int32_t h) {
    (void)x, (void)y, (void)w, (void)h;
    say("capture screencopy region");
    sc_capture(client, resource, id, cursor, output);
}
static const struct zwlr_screencopy_manager_v1_interface sc_manager_impl = {
    .capture_output = sc_capture, .capture_output_region = sc_capture_region, .destroy = destroy_request};

// image copy capture, of an output source
static const struct ext_image_capture_source_v1_interface source_impl = {.destroy = destroy_request};
static void source_create(struct wl_client *client, struct wl_resource *resource, uint32_t id,
                          struct wl_resource *output) {
    struct wl_resource *r = wl_resource_create(client, &ext_image_capture_source_v1_interface,
                                               wl_resource_get_version(resource), id);
    wl_resource_set_implementation(r, &source_impl, (void *)(intptr_t)output_index(output), NULL);
}
static const struct ext_output_image_capture_source_manager_v1_interface source_manager_impl = {
    .create_source = source_create, .destroy = destroy_request};

static void frame_attach(struct wl_client *c, struct wl_resource *r, struct wl_resource *buffer) {
    (void)c;
    ((struct capture *)wl_resource_get_user_data(r))->buffer = buffer;
}
static void frame_damage(struct wl_client *c, struct wl_resource *r, int32_t x, int32_t y, int32_t w,
                         int32_t h) {
    (void)c, (void)r;
    say("capture damage %d,%d,%d,%d", x, y, w, h);
}
static void frame_capture(struct wl_client *client, struct wl_resource *resource) {
    (void)client;
    struct capture *c = wl_resource_get_user_data(resource);
    if (!strcmp(opt.capture, "stop")) {
        c->done = 1;
        say("capture stopped");
        ext_image_copy_capture_frame_v1_send_failed(resource,
                                                    EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_STOPPED);
        return;
    }
    const int a = answer(c, c->buffer, 0);
    if (a == 0)
        ext_image_copy_capture_frame_v1_send_failed(resource,
                                                    EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_UNKNOWN);
    if (a != 1) return;
    int bw, bh;
    capture_size(c->output, c->transform, &bw, &bh);
    ext_image_copy_capture_frame_v1_send_transform(resource, (uint32_t)c->transform);
    ext_image_copy_capture_frame_v1_send_damage(resource, 0, 0, bw, bh);
    ext_image_copy_capture_frame_v1_send_presentation_time(resource, 0, 0, 0);
    ext_image_copy_capture_frame_v1_send_ready(resource);
}
static const struct ext_image_copy_capture_frame_v1_interface frame_impl = {.destroy = destroy_request,
                                                                            .attach_buffer = frame_attach,
                                                                            .damage_buffer = frame_damage,
                                                                            .capture = frame_capture};

static void session_create_frame(struct wl_client *client, struct wl_resource *resource, uint32_t id) {
    struct capture *c = calloc(1, sizeof *c);
    *c = *(struct capture *)wl_resource_get_user_data(resource);
    struct wl_resource *r = wl_resource_create(client, &ext_image_copy_capture_frame_v1_interface,
                                               wl_resource_get_version(resource), id);
    wl_resource_set_implementation(r, &frame_impl, c, capture_gone);
    // A session that stops (its output went away, say) tells so, and fails the frame it was asked for.
    if (!strcmp(opt.capture, "stop")) ext_image_copy_capture_session_v1_send_stopped(resource);
}
static const struct ext_image_copy_capture_session_v1_interface session_impl = {
    .create_frame = session_create_frame, .destroy = destroy_request};

static void manager_create_session(struct wl_client *client, struct wl_resource *resource, uint32_t id,
                                   struct wl_resource *source, uint32_t options) {
    struct capture *c = calloc(1, sizeof *c);
    c->output = (int)(intptr_t)wl_resource_get_user_data(source);
    c->transform = opt.capture_transform >= 0 ? opt.capture_transform : opt.outputs[c->output].transform;
    struct wl_resource *r = wl_resource_create(client, &ext_image_copy_capture_session_v1_interface,
                                               wl_resource_get_version(resource), id);
    wl_resource_set_implementation(r, &session_impl, c, capture_gone);
    say("capture ext output %d options %u", c->output, options);
    int bw, bh;
    capture_size(c->output, c->transform, &bw, &bh);
    ext_image_copy_capture_session_v1_send_buffer_size(r, (uint32_t)bw, (uint32_t)bh);
    for (int i = 0; i < opt.format_count; ++i)
        ext_image_copy_capture_session_v1_send_shm_format(r, opt.formats[i]);
    ext_image_copy_capture_session_v1_send_done(r);
}
static void manager_cursor_session(struct wl_client *client, struct wl_resource *resource, uint32_t id,
                                   struct wl_resource *source, struct wl_resource *pointer) {
    (void)client, (void)id, (void)source, (void)pointer;
    wl_resource_post_error(resource, 0, "fakewl has no cursor sessions");
}
static const struct ext_image_copy_capture_manager_v1_interface capture_manager_impl = {
    .create_session = manager_create_session,
    .create_pointer_cursor_session = manager_cursor_session,
    .destroy = destroy_request};

// --- Globals ---

struct global_kind {
    const struct wl_interface *interface;
    const void *impl;
};

static void bind_global(struct wl_client *client, void *data, uint32_t version, uint32_t id) {
    const struct global_kind *k = data;
    struct wl_resource *r = wl_resource_create(client, k->interface, (int)version, id);
    wl_resource_set_implementation(r, k->impl, NULL, NULL);
    say("bind %s version %u", k->interface->name, version);
}

static const struct global_kind kCompositor = {&wl_compositor_interface, &compositor_impl},
                                kXdgOutputs = {&zxdg_output_manager_v1_interface, &xdg_manager_impl},
                                kLayerShell = {&zwlr_layer_shell_v1_interface, &layer_shell_impl},
                                kScreencopy = {&zwlr_screencopy_manager_v1_interface, &sc_manager_impl},
                                kCopyCapture = {&ext_image_copy_capture_manager_v1_interface,
                                                &capture_manager_impl},
                                kSources = {&ext_output_image_capture_source_manager_v1_interface,
                                            &source_manager_impl};

static void offer(const struct global_kind *k, int version) {
    wl_global_create(display, k->interface, version, (void *)k, bind_global);
}

// --- Commands on stdin ---

static int command(int fd, uint32_t mask, void *data) {
    (void)data;
    static char line[256];
    static size_t used;
    const ssize_t n = (mask & WL_EVENT_READABLE) ? read(fd, line + used, sizeof line - 1 - used) : 0;
    if (n <= 0) {
        running = 0; // the test is gone
        return 0;
    }
    used += (size_t)n;
    char *end;
    while ((end = memchr(line, '\n', used))) {
        *end = 0;
        int o;
        if (!strcmp(line, "closed") && layer_surface) {
            zwlr_layer_surface_v1_send_closed(layer_surface);
            say("sent closed");
        } else if (sscanf(line, "unplug %d", &o) == 1 && o >= 0 && o < opt.output_count &&
                   opt.outputs[o].global) {
            wl_global_destroy(opt.outputs[o].global);
            opt.outputs[o].global = NULL;
            say("removed output %d", o);
        }
        used -= (size_t)(end + 1 - line);
        memmove(line, end + 1, used);
    }
    wl_display_flush_clients(display);
    return 0;
}

// --- Options ---

static uint32_t parse_format(const char *name) {
    static const struct {
        const char *name;
        uint32_t code;
    } kFormats[] = {
        {"argb8888", WL_SHM_FORMAT_ARGB8888},
        {"xrgb8888", WL_SHM_FORMAT_XRGB8888},
        {"xbgr8888", WL_SHM_FORMAT_XBGR8888},
        {"abgr8888", WL_SHM_FORMAT_ABGR8888},
        {"rgb888", WL_SHM_FORMAT_RGB888},
        {"bgr888", WL_SHM_FORMAT_BGR888},
        {"xrgb2101010", WL_SHM_FORMAT_XRGB2101010},
        {"argb2101010", WL_SHM_FORMAT_ARGB2101010},
        {"xbgr2101010", WL_SHM_FORMAT_XBGR2101010},
        {"abgr2101010", WL_SHM_FORMAT_ABGR2101010},
        {"nv12", WL_SHM_FORMAT_NV12}, // not painted: a client that takes it gets a failed capture
    };
    for (size_t i = 0; i < sizeof kFormats / sizeof kFormats[0]; ++i)
        if (!strcmp(name, kFormats[i].name)) return kFormats[i].code;
    fprintf(stderr, "fakewl: unknown format %s\n", name);
    exit(2);
}

static void parse_args(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i], *v = i + 1 < argc ? argv[i + 1] : "";
        if (!strcmp(a, "--socket"))
            opt.socket = v, ++i;
        else if (!strcmp(a, "--screen"))
            opt.screen = v, ++i;
        else if (!strcmp(a, "--output") && opt.output_count < kMaxOutputs) {
            struct output *o = &opt.outputs[opt.output_count++];
            o->scale = 1;
            if (sscanf(v, "%dx%d", &o->mode_w, &o->mode_h) != 2) exit(2);
            const char *p;
            if ((p = strchr(v, '+'))) sscanf(p, "+%d+%d", &o->x, &o->y);
            if ((p = strchr(v, '/'))) o->transform = atoi(p + 1) & 7;
            if ((p = strchr(v, '*'))) o->scale = atoi(p + 1);
            ++i;
        } else if (!strcmp(a, "--xdg-output"))
            opt.xdg_output = 1;
        else if (!strcmp(a, "--no-layer-shell"))
            opt.layer_shell = 0;
        else if (!strcmp(a, "--screencopy"))
            opt.screencopy = 1;
        else if (!strcmp(a, "--ext-capture"))
            opt.ext_capture = opt.output_sources = 1;
        else if (!strcmp(a, "--no-output-sources"))
            opt.output_sources = 0;
        else if (!strcmp(a, "--capture-format")) {
            char names[256];
            snprintf(names, sizeof names, "%s", v);
            for (char *t = strtok(names, ","); t && opt.format_count < kMaxFormats; t = strtok(NULL, ","))
                opt.formats[opt.format_count++] = parse_format(t);
            ++i;
        } else if (!strcmp(a, "--capture-transform"))
            opt.capture_transform = atoi(v) & 7, ++i;
        else if (!strcmp(a, "--capture"))
            opt.capture = v, ++i;
        else if (!strcmp(a, "--y-invert"))
            opt.y_invert = 1;
        else if (!strcmp(a, "--stride-pad"))
            opt.stride_pad = atoi(v), ++i;
        else {
            fprintf(stderr, "fakewl: unknown argument %s\n", a);
            exit(2);
        }
    }
    if (!opt.output_count)
        opt.outputs[opt.output_count++] = (struct output){.mode_w = 64, .mode_h = 48, .scale = 1};
    if (!opt.format_count) opt.formats[opt.format_count++] = WL_SHM_FORMAT_XRGB8888;
}

int main(int argc, char **argv) {
    parse_args(argc, argv);
    display = wl_display_create();
    if (!display || wl_display_add_socket(display, opt.socket) != 0) {
        fprintf(stderr, "fakewl: cannot listen on %s (is XDG_RUNTIME_DIR set?)\n", opt.socket);
        return 1;
    }
    offer(&kCompositor, 4);
    wl_display_init_shm(display);
    for (int i = 0; i < opt.format_count; ++i)
        if (opt.formats[i] != WL_SHM_FORMAT_XRGB8888 && opt.formats[i] != WL_SHM_FORMAT_ARGB8888)
            wl_display_add_shm_format(display, opt.formats[i]);
    for (int o = 0; o < opt.output_count; ++o)
        opt.outputs[o].global =
            wl_global_create(display, &wl_output_interface, 3, (void *)(intptr_t)o, bind_output);
    if (opt.xdg_output) offer(&kXdgOutputs, 3);
    if (opt.layer_shell) offer(&kLayerShell, 4);
    if (opt.screencopy) offer(&kScreencopy, 3);
    if (opt.ext_capture) {
        offer(&kCopyCapture, 1);
        if (opt.output_sources) offer(&kSources, 1);
    }
    struct wl_event_loop *loop = wl_display_get_event_loop(display);
    wl_event_loop_add_fd(loop, 0, WL_EVENT_READABLE, command, NULL);
    say("ready");
    while (running) {
        wl_display_flush_clients(display);
        if (wl_event_loop_dispatch(loop, -1) < 0) break;
    }
    wl_display_destroy(display);
    return 0;
}
