// Reading a profile file: whole, bounded, only when it is a regular file, never waiting on the open.

#include "profile_read.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace posix::profile {

bool same_file(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

FileState read_file(const std::string &path, std::string *out, struct stat *st) {
    out->clear();
    if (stat(path.c_str(), st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Refused;
    if (!S_ISREG(st->st_mode) || size_t(st->st_size) > kMaxProfileBytes) return FileState::Refused;
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? FileState::Missing : FileState::Refused;
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || !same_file(opened, *st)) {
        close(fd);
        return FileState::Refused;
    }
    *st = opened;
    out->resize(std::min(size_t(opened.st_size), kMaxProfileBytes) + 1);
    size_t got = 0;
    for (;;) {
        if (got == out->size()) {
            if (out->size() > kMaxProfileBytes) break; // grew past the limit while being read
            out->resize(std::min(out->size() * 2, kMaxProfileBytes + 1));
        }
        ssize_t n = read(fd, out->data() + got, out->size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            out->clear();
            return FileState::Refused;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    close(fd);
    if (got > kMaxProfileBytes) {
        out->clear();
        return FileState::Refused;
    }
    out->resize(got);
    return FileState::Regular;
}

} // namespace posix::profile
