// A pointer device for the tests, through wlroots' virtual-pointer protocol: a headless compositor has no
// pointer of its own, and while this client is connected its seat has one. Commands come one a line on
// standard input; after each the client waits until the compositor has handled it and answers "ok" (the
// first answer, "ready", once the device exists). End of input disconnects, and the device goes.
//
//   abs X Y W H          move to (X, Y) of a W x H layout (the whole layout of the compositor's outputs)
//   rel DX DY            move by (DX, DY)
//   button N down|up     press or release button N: 1 left, 2 middle, 3 right
//   click N              press and release button N
//   wheel A V            scroll by V along axis A: 0 vertical, 1 horizontal
#include "virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

static struct zwlr_virtual_pointer_manager_v1 *manager;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static uint32_t now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static int button_code(int n) {
    switch (n) {
    case 1:
        return BTN_LEFT;
    case 2:
        return BTN_MIDDLE;
    case 3:
        return BTN_RIGHT;
    default:
        return -1;
    }
}

int main(void) {
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "vpointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "vpointer: the compositor offers no virtual pointers\n");
        return 1;
    }
    struct zwlr_virtual_pointer_v1 *pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
    if (wl_display_roundtrip(display) < 0) return 1;
    printf("ready\n");
    fflush(stdout);

    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        unsigned x, y, w, h;
        double dx, dy;
        int n;
        char state[8];
        if (sscanf(line, "abs %u %u %u %u", &x, &y, &w, &h) == 4) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, w, h);
        } else if (sscanf(line, "rel %lf %lf", &dx, &dy) == 2) {
            zwlr_virtual_pointer_v1_motion(pointer, now_ms(), wl_fixed_from_double(dx),
                                           wl_fixed_from_double(dy));
        } else if (sscanf(line, "button %d %7s", &n, state) == 2 && button_code(n) >= 0 &&
                   (strcmp(state, "down") == 0 || strcmp(state, "up") == 0)) {
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), (uint32_t)button_code(n),
                                           strcmp(state, "down") == 0 ? WL_POINTER_BUTTON_STATE_PRESSED
                                                                      : WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (sscanf(line, "click %d", &n) == 1 && button_code(n) >= 0) {
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), (uint32_t)button_code(n),
                                           WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), (uint32_t)button_code(n),
                                           WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (sscanf(line, "wheel %d %lf", &n, &dx) == 2 && (n == 0 || n == 1)) {
            zwlr_virtual_pointer_v1_axis(pointer, now_ms(), (uint32_t)n, wl_fixed_from_double(dx));
        } else {
            fprintf(stderr, "vpointer: not understood: %s", line);
            return 1;
        }
        zwlr_virtual_pointer_v1_frame(pointer);
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "vpointer: the compositor went away\n");
            return 1;
        }
        printf("ok\n");
        fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
