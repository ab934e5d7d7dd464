// Dialog templates, standard and extended, parsed into what the backends build windows from.
#pragma once

#include "winapi_posix.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace backend {

struct DialogControl {
    int id;
    DWORD style;
    short x, y, cx, cy;
    char klass[16];   // "BUTTON" etc.
    const char *text; // UTF-8
};
struct DialogTemplate {
    DWORD style;
    short x, y, cx, cy;
    const char *caption; // UTF-8
    const char *font;
    int point_size;
    int count;
    DialogControl *controls;
};

} // namespace backend

namespace posix {

struct ParsedDialog {
    backend::DialogTemplate tpl;
    std::vector<backend::DialogControl> controls;
    std::vector<std::unique_ptr<std::string>> strings; // UTF-8 texts the template points at
};

// False for a truncated or malformed template; never reads past size.
bool parse_dialog_template(const uint8_t *data, size_t size, ParsedDialog *out);

} // namespace posix
