// Reading the little-endian fields of resource data: the resource table, bitmaps and dialog templates.
// The callers check the bounds before they read.
#pragma once

#include <cstdint>

namespace posix {

inline uint16_t u16(const uint8_t *p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t u32(const uint8_t *p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

} // namespace posix
