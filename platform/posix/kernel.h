// KERNEL of the posix layer: where the one-copy lock goes.
#pragma once

#include <string>

namespace posix {

// Tests only: the runtime, home and temporary directories the lock's place is taken from (empty: the
// system's).
void set_lock_places(const std::string &runtime_directory, const std::string &home_directory,
                     const std::string &temporary_directory);

} // namespace posix
