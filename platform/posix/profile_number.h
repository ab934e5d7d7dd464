// Reading a profile value as an integer, as GetPrivateProfileIntA does.
#pragma once

#include "winapi_posix.h"

#include <string_view>

namespace posix::profile {

// Windows' reading of an integer: one optional sign, an optional 0x, digits up to the first non-digit,
// wrapping modulo 2^32. No digits at all reads as 0.
UINT parse_int(std::string_view v);

} // namespace posix::profile
