// The layer's clocks: the local time of day (the monotonic clock, now_ms, is in display_backend.h with
// the rest of what the backends may call).
#pragma once

#include "winapi_posix.h"

namespace posix {

void local_time(SYSTEMTIME *out);

} // namespace posix
