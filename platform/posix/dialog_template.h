// Parsing of dialog templates, standard and extended, into what the backends build windows from.
#pragma once

#include "dialog_backend.h"

#include <memory>
#include <string>
#include <vector>

namespace posix {

struct ParsedDialog {
    backend::DialogTemplate tpl;
    std::vector<backend::DialogControl> controls;
    std::vector<std::unique_ptr<std::string>> strings; // UTF-8 texts the template points at
};

// False for a truncated or malformed template; never reads past size.
bool parse_dialog_template(const uint8_t *data, size_t size, ParsedDialog *out);

} // namespace posix
