// Writing a profile's new text. A write keeps every other byte of the file and changes nothing but its
// bytes. It normally replaces the file atomically: an unnamed temporary file beside it, given the file's
// owner and mode, flushed, linked in under a name that carries the writer's process id, and renamed over
// it. A file with several hard links, or one whose owner a new file cannot be given, is rewritten in place
// instead, so that it stays the one file all its names share. Temporary files of writers that no longer
// run are cleared by the next write.
#pragma once

#include "profile_read.h"

#include <string>
#include <string_view>
#include <vector>

namespace posix::profile {

// The new text of the file, as pieces in order.
using Pieces = std::vector<std::string_view>;

// Writes the new text to the profile at path, which read_file found in `state` with `old`'s identity;
// false when it could not, or when something else has taken the file's place since.
bool write_file(const std::string &path, const Pieces &pieces, FileState state, const struct stat &old);

} // namespace posix::profile
