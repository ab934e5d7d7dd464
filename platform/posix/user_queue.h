// The message queue of the posix layer: whether a press waits to be handled.
#pragma once

namespace posix {

// Whether a key press or a click waits to be handled, in the queue or still with the display.
bool press_waiting();

} // namespace posix
