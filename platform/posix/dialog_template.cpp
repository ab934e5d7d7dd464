// Parsing dialog templates, standard and extended, into what the backends build windows from. Every
// read is bounds-checked: a truncated or malformed template parses as nothing.

#include "dialog_template.h"
#include "little_endian.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using posix::u16;
using posix::u32;

void append_utf8(std::string *out, uint32_t c) {
    if (c < 0x80) {
        out->push_back(char(c));
    } else if (c < 0x800) {
        out->push_back(char(0xC0 | (c >> 6)));
        out->push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(char(0xE0 | (c >> 12)));
        out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(char(0x80 | (c & 0x3F)));
    } else {
        out->push_back(char(0xF0 | (c >> 18)));
        out->push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(char(0x80 | (c & 0x3F)));
    }
}

class Reader {
  public:
    Reader(const uint8_t *data, size_t size) : p_(data), begin_(data), end_(data + size) {}
    bool ok() const { return ok_; }
    uint16_t word() {
        if (end_ - p_ < 2) return fail16();
        uint16_t v = u16(p_);
        p_ += 2;
        return v;
    }
    uint32_t dword() {
        if (end_ - p_ < 4) return fail16();
        uint32_t v = u32(p_);
        p_ += 4;
        return v;
    }
    // A zero-terminated UTF-16 string, as UTF-8.
    std::string text() {
        std::string s;
        for (;;) {
            uint16_t c = word();
            if (!ok_ || c == 0) break;
            if (c >= 0xD800 && c < 0xDC00) {
                uint16_t lo = word();
                if (!ok_) break;
                append_utf8(&s, 0x10000 + ((uint32_t(c) - 0xD800) << 10) + (lo - 0xDC00));
            } else {
                append_utf8(&s, c);
            }
        }
        return s;
    }
    // A "name or ordinal" field: 0 for none, 0xFFFF and an ordinal, or a string.
    std::string name_or_ord(uint16_t *ord) {
        *ord = 0;
        if (end_ - p_ < 2) {
            fail16();
            return {};
        }
        uint16_t first = u16(p_);
        if (first == 0) {
            p_ += 2;
            return {};
        }
        if (first == 0xFFFF) {
            p_ += 2;
            *ord = word();
            return {};
        }
        return text();
    }
    void align4() {
        size_t off = size_t(p_ - begin_);
        size_t pad = (4 - off % 4) % 4;
        if (size_t(end_ - p_) < pad) {
            p_ = end_;
            return;
        }
        p_ += pad;
    }
    void skip(size_t n) {
        if (size_t(end_ - p_) < n)
            fail16();
        else
            p_ += n;
    }

  private:
    uint16_t fail16() {
        ok_ = false;
        p_ = end_;
        return 0;
    }
    const uint8_t *p_, *begin_, *end_;
    bool ok_ = true;
};

} // namespace

namespace posix {

bool parse_dialog_template(const uint8_t *data, size_t size, ParsedDialog *out) {
    Reader r(data, size);
    out->strings.clear();
    out->controls.clear();
    backend::DialogTemplate &t = out->tpl;
    t = backend::DialogTemplate{};
    // An extended template starts with version 1 and the signature 0xFFFF, then the help id and the
    // extended style come before the style; a standard one starts with the style.
    uint32_t first = r.dword();
    const bool extended = r.ok() && (first & 0xFFFF0000u) == 0xFFFF0000u;
    if (extended) {
        if ((first & 0xFFFFu) != 1) return false;
        r.dword(); // help id
        r.dword(); // extended style
        t.style = r.dword();
    } else {
        t.style = first;
        r.dword(); // extended style
    }
    int count = r.word();
    t.x = short(r.word());
    t.y = short(r.word());
    t.cx = short(r.word());
    t.cy = short(r.word());
    uint16_t ord;
    r.name_or_ord(&ord); // menu
    r.name_or_ord(&ord); // class
    out->strings.push_back(std::make_unique<std::string>(r.text()));
    t.caption = out->strings.back()->c_str();
    if (t.style & DS_SETFONT) {
        t.point_size = r.word();
        if (extended) {
            r.word(); // weight
            r.word(); // italic and character set
        }
        out->strings.push_back(std::make_unique<std::string>(r.text()));
        t.font = out->strings.back()->c_str();
    } else {
        t.font = "";
    }
    if (!r.ok() || count < 0 || count > 255) return false;
    out->controls.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        backend::DialogControl &c = out->controls[size_t(i)];
        r.align4();
        if (extended) {
            r.dword(); // help id
            r.dword(); // extended style
            c.style = r.dword();
        } else {
            c.style = r.dword();
            r.dword(); // extended style
        }
        c.x = short(r.word());
        c.y = short(r.word());
        c.cx = short(r.word());
        c.cy = short(r.word());
        c.id = extended ? int(int32_t(r.dword())) : int16_t(r.word());
        std::string klass = r.name_or_ord(&ord);
        switch (ord) {
        case 0x80:
            klass = "BUTTON";
            break;
        case 0x81:
            klass = "EDIT";
            break;
        case 0x82:
            klass = "STATIC";
            break;
        case 0x83:
            klass = "LISTBOX";
            break;
        case 0x84:
            klass = "SCROLLBAR";
            break;
        case 0x85:
            klass = "COMBOBOX";
            break;
        default:
            break;
        }
        std::strncpy(c.klass, klass.c_str(), sizeof c.klass - 1);
        c.klass[sizeof c.klass - 1] = '\0';
        out->strings.push_back(std::make_unique<std::string>(r.name_or_ord(&ord)));
        c.text = out->strings.back()->c_str();
        uint16_t extra = r.word();
        r.skip(extra);
        if (!r.ok()) return false;
    }
    t.count = count;
    t.controls = out->controls.data();
    return true;
}

} // namespace posix
