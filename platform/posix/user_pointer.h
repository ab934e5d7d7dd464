// The pointer of the posix layer: how often it was shown less than hidden.
#pragma once

namespace posix {

int cursor_count(); // ShowCursor's count: below 0 the pointer is hidden

} // namespace posix
