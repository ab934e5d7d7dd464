// Replacing a profile file atomically, or rewriting it in place where a replacement would split its
// names or lose its owner.

#include "profile_replace.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace posix::profile {

namespace {

bool write_all(int fd, const Pieces &pieces, off_t offset) {
    for (std::string_view p : pieces) {
        while (!p.empty()) {
            ssize_t n = pwrite(fd, p.data(), p.size(), offset);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p.remove_prefix(size_t(n));
            offset += n;
        }
    }
    return true;
}

size_t total_size(const Pieces &pieces) {
    size_t n = 0;
    for (std::string_view p : pieces)
        n += p.size();
    return n;
}

// Temporary files are named ".NAME.PID.tmp" beside the file.
std::string temp_prefix(const std::string &base) {
    return "." + base + ".";
}

// Removes the temporary files of writers that no longer run (a killed write leaves its file behind).
void clear_stale_temps(const std::string &dir, const std::string &base) {
    DIR *d = opendir(dir.c_str());
    if (!d) return;
    const std::string prefix = temp_prefix(base);
    while (struct dirent *e = readdir(d)) {
        std::string_view name = e->d_name;
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.substr(name.size() - 4) != ".tmp")
            continue;
        std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        pid_t pid = pid_t(std::atoi(std::string(digits).c_str()));
        if (pid == getpid() || (kill(pid, 0) != 0 && errno == ESRCH)) unlinkat(dirfd(d), e->d_name, 0);
    }
    closedir(d);
}

void sync_directory(const std::string &dir) {
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
}

// A temporary file in dir holding the new text, with the mode and, for a replaced file, its owner.
// Unnamed (O_TMPFILE) when the file system allows it, so that a killed writer leaves nothing behind;
// *named tells which. Returns -1 when it cannot be made; *owner_refused tells that it could, but not
// with the old file's owner.
int make_temp(const std::string &dir, const std::string &tmp, const Pieces &pieces, const struct stat *old,
              mode_t mode, bool try_unnamed, bool *named, bool *owner_refused) {
    int fd = -1;
    *named = *owner_refused = false;
    if (try_unnamed) fd = open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        unlink(tmp.c_str());
        fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return -1;
        *named = true;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok && old && (st.st_uid != old->st_uid || st.st_gid != old->st_gid)) {
        ok = fchown(fd, old->st_uid, old->st_gid) == 0;
        *owner_refused = !ok;
    }
    ok = ok && fchmod(fd, mode) == 0 && write_all(fd, pieces, 0) && fsync(fd) == 0;
    if (!ok) {
        close(fd);
        if (*named) unlink(tmp.c_str());
        return -1;
    }
    return fd;
}

enum class Replace { Done, Failed, Impossible };

// Writes the new text beside the file and renames it over; Impossible when the replacement could not
// keep the file's owner.
Replace replace_file(const std::string &target, const Pieces &pieces, const struct stat *old) {
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    clear_stale_temps(dir, base);
    std::string tmp = dir + "/" + temp_prefix(base) + std::to_string(getpid()) + ".tmp";

    mode_t mode;
    if (old) {
        mode = old->st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    for (bool unnamed : {true, false}) {
        bool named, owner_refused;
        int fd = make_temp(dir, tmp, pieces, old, mode, unnamed, &named, &owner_refused);
        if (fd < 0) return owner_refused ? Replace::Impossible : Replace::Failed;
        if (!named) {
            // Give the finished file its name, then its place.
            std::string self = "/proc/self/fd/" + std::to_string(fd);
            unlink(tmp.c_str());
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tmp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                close(fd);
                continue; // no /proc, or links refused: make a named one instead
            }
        }
        close(fd);
        // A new file never takes the place of something that appeared under its name meanwhile.
        int moved = old ? rename(tmp.c_str(), target.c_str())
                        : renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && !old && (errno == EINVAL || errno == ENOSYS)) {
            // No such rename here: a hard link refuses an existing name just the same.
            moved = link(tmp.c_str(), target.c_str());
            unlink(tmp.c_str());
        }
        if (moved != 0) {
            unlink(tmp.c_str());
            return Replace::Failed;
        }
        sync_directory(dir);
        return Replace::Done;
    }
    return Replace::Failed;
}

// Rewrites the file in place: it stays the same file, with all its names, owner and mode.
bool rewrite_in_place(const std::string &target, const Pieces &pieces, const struct stat &old) {
    int fd = open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && same_file(st, old);
    ok = ok && write_all(fd, pieces, 0) && ftruncate(fd, off_t(total_size(pieces))) == 0 && fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

} // namespace

bool write_file(const std::string &path, const Pieces &pieces, FileState state, const struct stat &old) {
    if (state == FileState::Missing) {
        struct stat here;
        if (lstat(path.c_str(), &here) == 0) return false; // a link to nowhere stays as it is
        return replace_file(path, pieces, nullptr) == Replace::Done;
    }
    // Write to the file a link points at, not over the link.
    char *real = realpath(path.c_str(), nullptr);
    if (!real) return false;
    std::string target = real;
    std::free(real);
    struct stat st;
    if (lstat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !same_file(st, old))
        return false; // replaced by something else since it was read
    if (st.st_nlink > 1) return rewrite_in_place(target, pieces, st);
    switch (replace_file(target, pieces, &st)) {
    case Replace::Done:
        return true;
    case Replace::Impossible:
        return rewrite_in_place(target, pieces, st);
    case Replace::Failed:
        break;
    }
    return false;
}

} // namespace posix::profile
