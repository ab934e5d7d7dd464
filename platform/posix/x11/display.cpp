// The connection to the X server: opening it, the primary monitor, the visual's pixel format, and what
// happens when requests fail or the connection goes away.
//
// Whatever goes wrong with the display ends the saver the way a dismissal does: a lost connection, like
// SIGTERM, SIGINT and SIGHUP, makes the layer close the saver window, and the process exits with 0
// without a word. Once the connection is lost every X call is skipped.

#include "x11_state.h"

#include <X11/extensions/Xrandr.h>

#include <csignal>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace x11 {

State g;

namespace {

Channel channel_of(unsigned long mask) {
    Channel c;
    c.mask = mask;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1))
        ++c.shift;
    while ((mask >> (c.shift + c.bits)) & 1)
        ++c.bits;
    return c;
}

uint32_t channel_to8(unsigned long pixel, const Channel &c) {
    if (!c.bits) return 0;
    unsigned long v = (pixel & c.mask) >> c.shift;
    if (c.bits >= 8) return uint32_t(v >> (c.bits - 8));
    return uint32_t(v * 255 / ((1ul << c.bits) - 1));
}

unsigned long channel_from8(uint32_t v8, const Channel &c) {
    if (!c.bits) return 0;
    unsigned long v = c.bits >= 8 ? (unsigned long)v8 << (c.bits - 8) : v8 >> (8 - c.bits);
    return (v << c.shift) & c.mask;
}

// A screen whose pixel values index a colormap (8-bit PseudoColor, and the static and grey kinds) has no
// colour masks: its colours are the colormap's cells. Reading looks a value up in the cells as they were
// when the connection opened; drawing asks the server for a shared cell of exactly the colour (one round
// trip per new colour, remembered) and takes the nearest cell only when the colormap is full.
struct Palette {
    bool used = false;
    Colormap colormap = 0;
    std::vector<uint32_t> rgb; // by pixel value
    std::unordered_map<uint32_t, unsigned long> pixel_of;
    uint32_t last_rgb = 0xFFFFFFFFu;
    unsigned long last_pixel = 0;
};
Palette g_palette;

uint32_t rgb_of(const XColor &c) {
    return uint32_t(c.red >> 8) << 16 | uint32_t(c.green >> 8) << 8 | uint32_t(c.blue >> 8);
}

void load_palette() {
    const int c = g.visual->c_class;
    const int n = g.visual->map_entries;
    if ((c != PseudoColor && c != StaticColor && c != GrayScale && c != StaticGray) || n <= 0 || n > 65536)
        return;
    g_palette.used = true;
    g_palette.colormap = DefaultColormap(g.dpy, g.screen);
    std::vector<XColor> cells(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        cells[size_t(i)].pixel = static_cast<unsigned long>(i);
    XQueryColors(g.dpy, g_palette.colormap, cells.data(), n);
    g_palette.rgb.resize(size_t(n));
    for (int i = 0; i < n; ++i)
        g_palette.rgb[size_t(i)] = rgb_of(cells[size_t(i)]);
}

unsigned long nearest_cell(uint32_t px) {
    unsigned long best = 0;
    long best_distance = -1;
    for (size_t i = 0; i < g_palette.rgb.size(); ++i) {
        const uint32_t q = g_palette.rgb[i];
        long dr = long((q >> 16) & 0xFF) - long((px >> 16) & 0xFF),
             dg = long((q >> 8) & 0xFF) - long((px >> 8) & 0xFF), db = long(q & 0xFF) - long(px & 0xFF);
        long distance = dr * dr + dg * dg + db * db;
        if (best_distance < 0 || distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return best;
}

unsigned long palette_pixel(uint32_t px) {
    if (px == g_palette.last_rgb) return g_palette.last_pixel;
    auto it = g_palette.pixel_of.find(px);
    unsigned long pixel;
    if (it != g_palette.pixel_of.end()) {
        pixel = it->second;
    } else {
        XColor want{};
        want.red = uint16_t(((px >> 16) & 0xFF) * 0x101);
        want.green = uint16_t(((px >> 8) & 0xFF) * 0x101);
        want.blue = uint16_t((px & 0xFF) * 0x101);
        want.flags = DoRed | DoGreen | DoBlue;
        if (alive() && XAllocColor(g.dpy, g_palette.colormap, &want) && want.pixel < g_palette.rgb.size()) {
            pixel = want.pixel;
            g_palette.rgb[pixel] = rgb_of(want);
        } else {
            pixel = nearest_cell(px);
        }
        g_palette.pixel_of.emplace(px, pixel);
    }
    g_palette.last_rgb = px;
    g_palette.last_pixel = pixel;
    return pixel;
}

int on_x_error(Display *, XErrorEvent *) {
    return 0;
} // a failed request is no reason to stop

int on_io_error(Display *) {
    g.dead = true;
    return 0;
}

void on_io_exit(Display *, void *) {
    g.dead = true;
} // returning keeps the process alive

void find_primary_monitor() {
    g.mon_x = g.mon_y = 0;
    g.mon_w = DisplayWidth(g.dpy, g.screen);
    g.mon_h = DisplayHeight(g.dpy, g.screen);
    int event_base, error_base, major = 0, minor = 0;
    if (!XRRQueryExtension(g.dpy, &event_base, &error_base) || !XRRQueryVersion(g.dpy, &major, &minor))
        return;
    if (major < 1 || (major == 1 && minor < 3)) return;
    RROutput primary = XRRGetOutputPrimary(g.dpy, g.root);
    if (primary == None) return;
    XRRScreenResources *res = XRRGetScreenResourcesCurrent(g.dpy, g.root);
    if (!res) return;
    if (XRROutputInfo *out = XRRGetOutputInfo(g.dpy, res, primary)) {
        if (out->crtc != None) {
            if (XRRCrtcInfo *crtc = XRRGetCrtcInfo(g.dpy, res, out->crtc)) {
                if (crtc->width > 0 && crtc->height > 0) {
                    g.mon_x = crtc->x;
                    g.mon_y = crtc->y;
                    g.mon_w = int(crtc->width);
                    g.mon_h = int(crtc->height);
                }
                XRRFreeCrtcInfo(crtc);
            }
        }
        XRRFreeOutputInfo(out);
    }
    XRRFreeScreenResources(res);
}

// The host window's place on the root window and its size stand for the monitor's. A window that is not
// there leaves a screen of 0 x 0, on which nothing starts.
void find_host_window() {
    g.mon_x = g.mon_y = g.mon_w = g.mon_h = 0;
    const Window w = g.host_id ? Window(g.host_id) : g.root;
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(g.dpy, w, &attrs) || !alive() || attrs.width <= 0 || attrs.height <= 0) return;
    int x = 0, y = 0;
    Window child;
    if (w != g.root && (!XTranslateCoordinates(g.dpy, w, g.root, 0, 0, &x, &y, &child) || !alive())) return;
    g.host = w;
    g.mon_x = x;
    g.mon_y = y;
    g.mon_w = attrs.width;
    g.mon_h = attrs.height;
}

bool host_little_endian() {
    const uint16_t one = 1;
    uint8_t first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

} // namespace

bool open_display() {
    if (g.tried_open) return alive();
    g.tried_open = true;
    g.dpy = XOpenDisplay(nullptr);
    if (!g.dpy) return false;
    // Writing to a server that went away must end in the I/O error path, not in SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    XSetErrorHandler(on_x_error);
    XSetIOErrorHandler(on_io_error);
    XSetIOErrorExitHandler(g.dpy, on_io_exit, nullptr);
    g.screen = DefaultScreen(g.dpy);
    g.root = RootWindow(g.dpy, g.screen);
    g.visual = DefaultVisual(g.dpy, g.screen);
    g.depth = DefaultDepth(g.dpy, g.screen);
    g.red = channel_of(g.visual->red_mask);
    g.green = channel_of(g.visual->green_mask);
    g.blue = channel_of(g.visual->blue_mask);
    g.standard_rgb = g.visual->c_class == TrueColor && g.visual->red_mask == 0xFF0000 &&
                     g.visual->green_mask == 0xFF00 && g.visual->blue_mask == 0xFF;
    load_palette();
    if (g.hosted)
        find_host_window();
    else
        find_primary_monitor();
    if (XShmQueryExtension(g.dpy)) {
        g.shm_offered = true;
        g.shm_completion = XShmGetEventBase(g.dpy) + ShmCompletion;
    }
    return alive();
}

int root_width() {
    return DisplayWidth(g.dpy, g.screen);
}

int root_height() {
    return DisplayHeight(g.dpy, g.screen);
}

bool image_is_native_rgb32(const XImage *img) {
    return g.standard_rgb && img->bits_per_pixel == 32 &&
           img->byte_order == (host_little_endian() ? LSBFirst : MSBFirst);
}

bool image_is_direct(const XImage *img) {
    return image_is_native_rgb32(img) && img->bytes_per_line % 4 == 0;
}

uint32_t to_rgb(unsigned long pixel) {
    if (g_palette.used) return pixel < g_palette.rgb.size() ? g_palette.rgb[pixel] : 0;
    return (channel_to8(pixel, g.red) << 16) | (channel_to8(pixel, g.green) << 8) |
           channel_to8(pixel, g.blue);
}

unsigned long from_rgb(uint32_t px) {
    if (g_palette.used) return palette_pixel(px & 0xFFFFFF);
    return channel_from8((px >> 16) & 0xFF, g.red) | channel_from8((px >> 8) & 0xFF, g.green) |
           channel_from8(px & 0xFF, g.blue);
}

// Of the backend's entry (backend.cpp).

void use_host_window(unsigned long window) {
    x11::g.hosted = true;
    x11::g.host_id = window;
}

void screen_size(int *w, int *h) {

    if (x11::open_display()) {
        *w = g.mon_w;
        *h = g.mon_h;
    } else if (g.dpy) {
        *w = g.mon_w; // a connection lost later still knows the size the saver was built for
        *h = g.mon_h;
    } else {
        *w = *h = 0;
    }
}

} // namespace x11
