// Reading a profile value as an integer.

#include "profile_number.h"

#include <cstdint>

namespace posix::profile {

UINT parse_int(std::string_view v) {
    size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
    unsigned base = 10;
    if (i + 1 < v.size() && v[i] == '0' && (v[i + 1] == 'x' || v[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    uint32_t n = 0;
    for (; i < v.size(); ++i) {
        char c = v[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = unsigned(c - 'A' + 10);
        else
            break;
        n = n * base + d;
    }
    return negative ? 0u - n : n;
}

} // namespace posix::profile
