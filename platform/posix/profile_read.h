// Reading a profile file safely: only a regular file of at most kMaxProfileBytes is a profile. Anything
// else under the name (a device, a FIFO, a directory, a file too large) reads as a missing profile and is
// never replaced: a write to it fails, as a write to an unwritable file does. Opening never blocks and
// reads are bounded.
#pragma once

#include <cstddef>
#include <string>
#include <sys/stat.h>

namespace posix::profile {

// Larger files are not profiles: they read as missing and are never rewritten.
constexpr size_t kMaxProfileBytes = size_t(16) << 20;

enum class FileState {
    Missing, // nothing under the name: reads as empty, a write creates it
    Regular, // a profile, read whole
    Refused, // not a regular file, too large or unreadable: reads as missing, never written
};

// Whether the two are one file (device and inode).
bool same_file(const struct stat &a, const struct stat &b);

// Reads the file under path. Only a regular file is opened for reading, and the open never waits (a FIFO
// put there after the check still opens at once, and is then refused).
FileState read_file(const std::string &path, std::string *out, struct stat *st);

} // namespace posix::profile
