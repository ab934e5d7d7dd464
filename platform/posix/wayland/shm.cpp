// Shared-memory buffers: a memory file mapped here and handed to the compositor as one wl_buffer. The
// snapshot is copied into one, the cover's frames are shown from two. A new one reads as zeros (black)
// and takes no memory until its pages are touched.

#include "wayland_state.h"

#include <wayland-client.h>

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace wayland {

bool make_shm_buffer(ShmBuffer *b, int w, int h, int stride, uint32_t format, bool populate) {
    *b = ShmBuffer{};
    if (!alive() || !g.shm || w <= 0 || h <= 0 || stride <= 0) return false;
    const size_t size = size_t(stride) * size_t(h);
    const int fd = memfd_create("scrwarpvue", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return false;
    void *data = MAP_FAILED;
    if (ftruncate(fd, off_t(size)) == 0)
        data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | (populate ? MAP_POPULATE : 0), fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return false;
    }
    // The file keeps its size: the compositor maps it too, and a shrunk file would make it fault.
    fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_SEAL);
    wl_shm_pool *pool = wl_shm_create_pool(g.shm, fd, int32_t(size));
    b->buffer = wl_shm_pool_create_buffer(pool, 0, w, h, stride, format);
    wl_shm_pool_destroy(pool);
    close(fd);
    b->data = static_cast<uint8_t *>(data);
    b->size = size;
    b->w = w;
    b->h = h;
    b->stride = stride;
    return true;
}

void populate_shm_buffer(ShmBuffer *b) {
    madvise(b->data, b->size, MADV_POPULATE_WRITE);
}

void empty_shm_buffer(ShmBuffer *b) {
    if (madvise(b->data, b->size, MADV_REMOVE) != 0) std::memset(b->data, 0, b->size);
}

void free_shm_buffer(ShmBuffer *b) {
    if (b->buffer && g.dpy) wl_buffer_destroy(b->buffer);
    if (b->data) munmap(b->data, b->size);
    *b = ShmBuffer{};
}

} // namespace wayland
