// Resources: the program's compiled resource script (.res bytes embedded in the binary), looked up by
// type and name as Windows does, and bitmaps decoded from their DIBs.
//
// On Linux an instance handle stands for one parsed resource table. Every read is bounds-checked: a
// truncated or corrupt table or bitmap yields no handle, never a read past the data.

#include "internal.h"
#include "little_endian.h"
#include "resources.h"

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

HBITMAP decode_dib(const uint8_t *data, size_t size) {
    if (!data || size < 12) return nullptr;
    uint32_t header = u32(data);
    int64_t w, h;
    unsigned bits, planes, colours, entry_size;
    if (header == 12) { // BITMAPCOREHEADER
        w = u16(data + 4);
        h = int16_t(u16(data + 6));
        planes = u16(data + 8);
        bits = u16(data + 10);
        colours = bits <= 8 ? 1u << bits : 0;
        entry_size = 3;
    } else {
        if (header < 40 || header > size) return nullptr;
        w = i32(data + 4);
        h = i32(data + 8);
        planes = u16(data + 12);
        bits = u16(data + 14);
        if (u32(data + 16) != 0) return nullptr; // compressed or bit fields: not used by the program
        uint32_t used = u32(data + 32);
        if (bits <= 8) {
            if (used > (1u << bits)) return nullptr;
            colours = used ? used : 1u << bits;
        } else {
            colours = 0;
        }
        entry_size = 4;
    }
    if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) return nullptr;
    bool top_down = h < 0;
    if (top_down) h = -h;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return nullptr;
    size_t palette = header, pixels = palette + size_t(colours) * entry_size;
    size_t stride = size_t((w * bits + 31) / 32) * 4;
    if (pixels > size || stride * size_t(h) > size - pixels) return nullptr;

    HBITMAP b = create_bitmap(int(w), int(h));
    if (!b) return nullptr;
    uint32_t table[256] = {};
    for (unsigned i = 0; i < colours; ++i) {
        const uint8_t *q = data + palette + size_t(i) * entry_size;
        table[i] = (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0];
    }
    // One loop per pixel format, chosen once per row rather than for every pixel: the program loads its
    // 71 bitmaps before it covers the screen. Indices beyond a short palette read the zeroed table: black.
    for (int64_t y = 0; y < h; ++y) {
        const uint8_t *row = data + pixels + stride * size_t(top_down ? y : h - 1 - y);
        uint32_t *out = b->surf.px + size_t(y) * b->surf.stride;
        switch (bits) {
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
    return b;
}

} // namespace posix

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    const uint8_t *data = nullptr;
    uint32_t size = 0;
    if (!posix::find_resource(instance, RT_BITMAP, name, &data, &size)) return nullptr;
    return posix::decode_dib(data, size);
}
