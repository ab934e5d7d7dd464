// Where a profile lives: a bare file name in the user's configuration directory ($XDG_CONFIG_HOME, else
// ~/.config), so every copy of the program meets the same file whatever its current directory.
#pragma once

#include "winapi_posix.h"

#include <string>

namespace posix::profile {

// The path of the profile `file`: a name with a slash as given, a bare name in the configuration
// directory; empty when there is no such directory.
std::string resolve(LPCSTR file);
// The configuration directory itself is made (private to the user) when it is missing, but nothing
// above it: a home directory that is not there, or a mistyped $XDG_CONFIG_HOME, is not made up. The
// write then fails, and the caller goes on with the values it has.
void make_config_directory(const std::string &path);

} // namespace posix::profile
