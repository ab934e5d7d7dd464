// The dialog template parser on arbitrary bytes: a truncated or malformed template is refused, never read
// past; a parsed one has every text a readable string and as many controls as it says.

#include "platform/posix/dialog_template.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    posix::ParsedDialog parsed;
    if (!posix::parse_dialog_template(data, size, &parsed)) return 0;
    const backend::DialogTemplate &t = parsed.tpl;
    if (t.count < 0 || size_t(t.count) != parsed.controls.size()) std::abort();
    size_t total = (t.caption ? std::strlen(t.caption) : 0) + (t.font ? std::strlen(t.font) : 0);
    for (int i = 0; i < t.count; ++i) {
        const backend::DialogControl &c = t.controls[i];
        if (!std::memchr(c.klass, 0, sizeof c.klass)) std::abort();
        total += std::strlen(c.klass) + (c.text ? std::strlen(c.text) : 0);
    }
    volatile size_t sink = total;
    (void)sink;
    return 0;
}
