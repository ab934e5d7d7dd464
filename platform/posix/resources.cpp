// Resources: the program's compiled resource script (.res bytes embedded in the binary), looked up by
// type and name as Windows does, and bitmaps decoded from their DIBs.
//
// On Linux an instance handle stands for one parsed resource table. Every read is bounds-checked: a
// truncated or corrupt table or bitmap yields no handle, never a read past the data.

#include "internal.h"
#include "little_endian.h"
#include "resources.h"
#include "testing.h"

#include <cstring>
#include <string>
#include <strings.h>
#include <unordered_set>
#include <vector>

extern "C" const uint8_t scrwarpvue_res[];
extern "C" const uint32_t scrwarpvue_res_size;

struct HINSTANCE__ {
    std::vector<uint8_t> owned; // bytes of a table loaded at run time; empty for the embedded one
    const uint8_t *base;
    size_t size;
    struct Id {
        bool is_ord;
        WORD ord;
        std::string name; // upper case
    };
    struct Entry {
        Id type, name;
        WORD language;
        const uint8_t *data;
        uint32_t size;
    };
    std::vector<Entry> entries;
};

namespace {

std::unordered_set<HINSTANCE> g_loaded; // modules load_module made and free_module has not freed

using posix::u16;
using posix::u32;

int32_t i32(const uint8_t *p) {
    return int32_t(u32(p));
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

// A type or name field of a resource header: 0xFFFF and an ordinal, or a zero-terminated UTF-16 name.
bool read_id(const uint8_t *p, const uint8_t *end, HINSTANCE__::Id *id, const uint8_t **next) {
    if (end - p < 2) return false;
    if (u16(p) == 0xFFFF) {
        if (end - p < 4) return false;
        id->is_ord = true;
        id->ord = u16(p + 2);
        *next = p + 4;
        return true;
    }
    id->is_ord = false;
    for (;;) {
        if (end - p < 2) return false;
        uint16_t c = u16(p);
        p += 2;
        if (c == 0) break;
        id->name.push_back(c < 0x80 ? upper(char(c)) : '?');
    }
    *next = p;
    return true;
}

bool parse_table(HINSTANCE__ *m) {
    const uint8_t *base = m->base;
    size_t size = m->size, pos = 0;
    while (pos + 8 <= size) {
        uint32_t data_size = u32(base + pos), header_size = u32(base + pos + 4);
        if (header_size < 24 || header_size > size - pos || data_size > size - pos - header_size)
            return false;
        const uint8_t *p = base + pos + 8, *hend = base + pos + header_size;
        HINSTANCE__::Entry e{};
        if (!read_id(p, hend, &e.type, &p) || !read_id(p, hend, &e.name, &p)) return false;
        size_t off = size_t(p - base);
        p = base + ((off + 3) & ~size_t(3));
        if (hend - p < 16 || p > hend) return false;
        e.language = u16(p + 6);
        e.data = base + pos + header_size;
        e.size = data_size;
        if (!(e.type.is_ord && e.type.ord == 0)) m->entries.push_back(std::move(e));
        pos = (pos + header_size + data_size + 3) & ~size_t(3);
    }
    return pos >= size;
}

bool matches(const HINSTANCE__::Id &id, LPCSTR want) {
    if (IS_INTRESOURCE(want)) return id.is_ord && id.ord == WORD(reinterpret_cast<uintptr_t>(want));
    if (want[0] == '#') {
        unsigned long n = std::strtoul(want + 1, nullptr, 10);
        return id.is_ord && id.ord == n;
    }
    return !id.is_ord && strcasecmp(id.name.c_str(), want) == 0;
}

} // namespace

namespace posix {

HINSTANCE module_instance() {
    static HINSTANCE__ *module = [] {
        auto *m = new HINSTANCE__{};
        m->base = scrwarpvue_res;
        m->size = scrwarpvue_res_size;
        if (!parse_table(m)) m->entries.clear();
        return m;
    }();
    return module;
}

HINSTANCE load_module(const uint8_t *data, size_t size) {
    auto *m = new HINSTANCE__{};
    m->owned.assign(data, data + size);
    m->base = m->owned.data();
    m->size = m->owned.size();
    if (!parse_table(m)) {
        delete m;
        return nullptr;
    }
    g_loaded.insert(m);
    return m;
}

void free_module(HINSTANCE module) {
    if (g_loaded.erase(module)) delete module;
}

bool find_resource(HINSTANCE module, LPCSTR type, LPCSTR name, const uint8_t **data, uint32_t *size) {
    if ((module != module_instance() && !g_loaded.count(module)) || !type || !name) return false;
    for (const auto &e : module->entries) {
        if (matches(e.type, type) && matches(e.name, name)) {
            *data = e.data;
            *size = e.size;
            return true;
        }
    }
    return false;
}

namespace {

// Where a DIB's parts lie, checked against its size.
struct DibLayout {
    int64_t w = 0, h = 0;
    unsigned bits = 0, colours = 0, entry_size = 0;
    bool top_down = false;
    size_t palette = 0, pixels = 0, stride = 0;
};

bool lay_out_dib(const uint8_t *data, size_t size, DibLayout *d) {
    if (!data || size < 12) return false;
    uint32_t header = u32(data);
    unsigned planes;
    if (header == 12) { // BITMAPCOREHEADER
        d->w = u16(data + 4);
        d->h = int16_t(u16(data + 6));
        planes = u16(data + 8);
        d->bits = u16(data + 10);
        d->colours = d->bits <= 8 ? 1u << d->bits : 0;
        d->entry_size = 3;
    } else {
        if (header < 40 || header > size) return false;
        d->w = i32(data + 4);
        d->h = i32(data + 8);
        planes = u16(data + 12);
        d->bits = u16(data + 14);
        if (u32(data + 16) != 0) return false; // compressed or bit fields: not used by the program
        uint32_t used = u32(data + 32);
        if (d->bits <= 8) {
            if (used > (1u << d->bits)) return false;
            d->colours = used ? used : 1u << d->bits;
        } else {
            d->colours = 0;
        }
        d->entry_size = 4;
    }
    const unsigned bits = d->bits;
    if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) return false;
    d->top_down = d->h < 0;
    if (d->top_down) d->h = -d->h;
    if (d->w <= 0 || d->h <= 0 || d->w > 16384 || d->h > 16384) return false;
    d->palette = header;
    d->pixels = d->palette + size_t(d->colours) * d->entry_size;
    d->stride = size_t((d->w * bits + 31) / 32) * 4;
    return d->pixels <= size && d->stride * size_t(d->h) <= size - d->pixels;
}

// One loop per pixel format, chosen once per row rather than for every pixel. Indices beyond a short
// palette read the zeroed table: black.
void decode_pixels(const uint8_t *data, const DibLayout &d, const Surface &surf) {
    uint32_t table[256] = {};
    for (unsigned i = 0; i < d.colours; ++i) {
        const uint8_t *q = data + d.palette + size_t(i) * d.entry_size;
        table[i] = (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0];
    }
    const int64_t w = d.w;
    for (int64_t y = 0; y < d.h; ++y) {
        const uint8_t *row = data + d.pixels + d.stride * size_t(d.top_down ? y : d.h - 1 - y);
        uint32_t *out = surf.px + size_t(y) * surf.stride;
        switch (d.bits) {
        case 1:
            for (int64_t x = 0; x < w; ++x)
                out[x] = table[(row[x / 8] >> (7 - x % 8)) & 1];
            break;
        case 4:
            for (int64_t x = 0; x < w; ++x)
                out[x] = table[(row[x / 2] >> (x % 2 ? 0 : 4)) & 15];
            break;
        case 8:
            for (int64_t x = 0; x < w; ++x)
                out[x] = table[row[x]];
            break;
        case 24:
            for (int64_t x = 0; x < w; ++x)
                out[x] = (uint32_t(row[x * 3 + 2]) << 16) | (uint32_t(row[x * 3 + 1]) << 8) | row[x * 3];
            break;
        default:
            for (int64_t x = 0; x < w; ++x)
                out[x] = u32(row + x * 4) & 0x00FFFFFF;
            break;
        }
    }
}

} // namespace

HBITMAP decode_dib(const uint8_t *data, size_t size) {
    DibLayout d;
    if (!lay_out_dib(data, size, &d)) return nullptr;
    HBITMAP b = create_bitmap(int(d.w), int(d.h));
    if (b) decode_pixels(data, d, b->surf);
    return b;
}

HBITMAP load_dib_later(const uint8_t *data, size_t size) {
    DibLayout d;
    if (!lay_out_dib(data, size, &d)) return nullptr;
    HBITMAP b = create_bitmap_without_pixels(int(d.w), int(d.h));
    if (b) {
        b->dib = data;
        b->dib_size = size;
    }
    return b;
}

void decode_later_dib(HBITMAP b) {
    DibLayout d;
    if (b->dib && make_bitmap_pixels(b) && lay_out_dib(b->dib, b->dib_size, &d))
        decode_pixels(b->dib, d, b->surf);
    b->dib = nullptr;
}

} // namespace posix

namespace {
void (*g_before_bitmap_load)(LPCSTR) = nullptr; // a test's look at every bitmap asked for (testing.h)
} // namespace

void posix::before_each_bitmap_load(void (*hook)(LPCSTR name)) {
    g_before_bitmap_load = hook;
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    if (g_before_bitmap_load) g_before_bitmap_load(name);
    const uint8_t *data = nullptr;
    uint32_t size = 0;
    if (!posix::find_resource(instance, RT_BITMAP, name, &data, &size)) return nullptr;
    // The program's own bitmaps (the robot's 79 poses, the fire) are decoded when first selected into a
    // surface, not before the saver covers the screen: a run that shows neither never decodes them.
    // Their bytes are embedded in the program and live as long as it; a table loaded from bytes may be
    // freed, so its bitmaps are decoded at once.
    if (instance == posix::module_instance()) return posix::load_dib_later(data, size);
    return posix::decode_dib(data, size);
}
