// Profile (INI) files, read and written the way Windows does it.
//
// A bare file name lives in the user's configuration directory ($XDG_CONFIG_HOME, else ~/.config), so
// every copy of the program meets the same file whatever its current directory.
//
// Only a regular file of at most kMaxProfileBytes is a profile. Anything else under the name (a device, a
// FIFO, a directory, a file too large) reads as a missing profile and is never replaced: a write to it
// fails, as a write to an unwritable file does. Opening never blocks and reads are bounded.
//
// A write keeps every other byte of the file and changes nothing but its bytes. It normally replaces the
// file atomically: an unnamed temporary file beside it, given the file's owner and mode, flushed, linked
// in under a name that carries the writer's process id, and renamed over it. A file with several hard
// links, or one whose owner a new file cannot be given, is rewritten in place instead, so that it stays
// the one file all its names share. Temporary files of writers that no longer run are cleared by the next
// write.

#include "internal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <string>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Larger files are not profiles: they read as missing and are never rewritten.
constexpr size_t kMaxProfileBytes = size_t(16) << 20;

std::string config_directory() {
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char *home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        struct passwd *pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    if (!home) return {};
    return std::string(home) + "/.config";
}

std::string resolve(LPCSTR file) {
    if (!file || !*file) return {};
    if (std::strchr(file, '/')) return file;
    std::string dir = config_directory();
    return dir.empty() ? std::string{} : dir + "/" + file;
}

enum class FileState {
    Missing, // nothing under the name: reads as empty, a write creates it
    Regular, // a profile, read whole
    Refused, // not a regular file, too large or unreadable: reads as missing, never written
};

bool same_file(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Reads the file under path. Only a regular file is opened for reading, and the open never waits (a FIFO
// put there after the check still opens at once, and is then refused).
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

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (is_blank(s.front()) || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (is_blank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// One line of the file: [begin, end) is its text without the line break; next is where the next starts.
struct Line {
    size_t begin = 0, end = 0, next = 0;
};

// The text of a profile and where its lines are. A profile may be megabytes of blank lines, so the
// search never looks at lines one by one: it jumps between the only characters that matter, '[' for
// section headers and '=' for keys, and takes the line around each. A UTF-8 byte order mark at the very
// start belongs to no line.
class Text {
  public:
    explicit Text(const std::string &text)
        : text_(text), origin_(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0) {}
    size_t origin() const { return origin_; }
    size_t size() const { return text_.size(); }
    // The line holding position p, which lies at or after `from`, a line start.
    Line line_at(size_t from, size_t p) const {
        size_t begin = from;
        if (p > from)
            if (const void *nl = memrchr(text_.data() + from, '\n', p - from))
                begin = size_t(static_cast<const char *>(nl) - text_.data()) + 1;
        const void *nl = std::memchr(text_.data() + p, '\n', text_.size() - p);
        size_t end = nl ? size_t(static_cast<const char *>(nl) - text_.data()) : text_.size();
        size_t next = nl ? end + 1 : end;
        return Line{begin, end > begin && text_[end - 1] == '\r' ? end - 1 : end, next};
    }
    // The first line in [from, to) (from a line start) whose character c is preceded by `prefix_ok`
    // characters only; Line{} with next 0 when there is none.
    template <typename Ok> Line find_line(size_t from, size_t to, char c, Ok prefix_ok) const {
        while (from < to) {
            const void *hit = std::memchr(text_.data() + from, c, to - from);
            if (!hit) break;
            size_t p = size_t(static_cast<const char *>(hit) - text_.data());
            Line l = line_at(from, p);
            if (prefix_ok(std::string_view(text_.data() + l.begin, p - l.begin))) return l;
            from = l.next;
        }
        return Line{};
    }
    std::string_view view(const Line &l) const {
        return std::string_view(text_.data() + l.begin, l.end - l.begin);
    }
    // The last line in [from, to) with anything but blanks on it, if any.
    bool last_content(size_t from, size_t to, Line *line) const {
        size_t p = to;
        while (p > from && (is_blank(text_[p - 1]) || text_[p - 1] == '\r' || text_[p - 1] == '\n'))
            --p;
        if (p == from) return false;
        *line = line_at(from, p - 1);
        return true;
    }

  private:
    const std::string &text_;
    size_t origin_;
};

// The name of a section header line, if the line is one.
bool section_name(std::string_view line, std::string_view *name) {
    line = trim(line);
    if (line.empty() || line.front() != '[') return false;
    size_t close = line.find(']');
    *name = trim(close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1));
    return true;
}

// The key of a key=value line and the offset of its value within the line.
bool key_of(std::string_view line, std::string_view *key, size_t *value_at) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return false;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    *key = trim(line.substr(0, eq));
    *value_at = eq + 1;
    return !key->empty();
}

struct Found {
    bool section = false;
    Line section_line;
    Line last_content_line; // the last non-blank line of the section (the header at least)
    size_t section_end = 0; // where the next section starts, or the end of the text
    bool key = false;
    Line key_line;
    size_t value_at = 0;
};

bool all_blank(std::string_view s) {
    return trim(s).empty();
}

// The first section of that name, and the first line of the key in it.
Found find(const std::string &text, std::string_view section, std::string_view key) {
    Found f;
    Text t(text);
    f.section_end = t.size();
    for (size_t from = t.origin(); from < t.size();) {
        Line header = t.find_line(from, t.size(), '[', all_blank);
        if (header.next == 0) return f;
        std::string_view name;
        section_name(t.view(header), &name);
        from = header.next;
        if (!same_name(name, section)) continue;
        f.section = true;
        f.section_line = header;
        Line following = t.find_line(from, t.size(), '[', all_blank);
        if (following.next != 0) f.section_end = following.begin;
        break;
    }
    if (!f.section) return f;
    const size_t body = f.section_line.next;
    if (!t.last_content(body, f.section_end, &f.last_content_line)) f.last_content_line = f.section_line;
    for (size_t from = body; !key.empty() && from < f.section_end;) {
        Line l = t.find_line(from, f.section_end, '=', [](std::string_view) { return true; });
        if (l.next == 0) break;
        std::string_view k;
        size_t at;
        if (key_of(t.view(l), &k, &at) && same_name(k, key)) {
            f.key = true;
            f.key_line = l;
            f.value_at = at;
            break;
        }
        from = l.next;
    }
    return f;
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

bool lookup(LPCSTR section, LPCSTR key, LPCSTR file, std::string *value) {
    if (!section || !key) return false;
    std::string path = resolve(file), text;
    struct stat st;
    if (path.empty() || read_file(path, &text, &st) != FileState::Regular) return false;
    Found f = find(text, section, key);
    if (!f.key) return false;
    const Line &l = f.key_line;
    *value = std::string(
        unquote(trim(std::string_view(text.data() + l.begin + f.value_at, l.end - l.begin - f.value_at))));
    return true;
}

// Windows' reading of an integer: one optional sign, an optional 0x, digits up to the first non-digit,
// wrapping modulo 2^32. No digits at all reads as 0.
UINT parse_int(std::string_view v) {
    size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
    unsigned base = 10;
    if (i + 1 < v.size() && v[i] == '0' && (v[i + 1] == 'x' || v[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    uint32_t n = 0;
    for (; i < v.size(); ++i) {
        char c = v[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = unsigned(c - 'A' + 10);
        else
            break;
        n = n * base + d;
    }
    return negative ? 0u - n : n;
}

// The new text of the file, as pieces in order.
using Pieces = std::vector<std::string_view>;

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

// The configuration directory itself is made (private to the user) when it is missing, but nothing
// above it: a home directory that is not there, or a mistyped $XDG_CONFIG_HOME, is not made up. The
// write then fails, and the caller goes on with the values it has.
void make_config_directory(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    mkdir(path.substr(0, slash).c_str(), 0700);
}

} // namespace

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR file) {
    std::string value;
    if (!lookup(section, key, file, &value) || value.empty()) return UINT(default_value);
    return parse_int(value);
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR out, DWORD size,
                                      LPCSTR file) {
    if (!out || size == 0) return 0;
    std::string value;
    if (!lookup(section, key, file, &value)) value = default_value ? default_value : "";
    size_t n = std::min<size_t>(value.size(), size - 1);
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
    return DWORD(n);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    if (!section || !*section) return FALSE;
    std::string path = resolve(file), text;
    if (path.empty()) return FALSE;
    if (!std::strchr(file, '/')) make_config_directory(path);
    struct stat st {};
    FileState state = read_file(path, &text, &st);
    if (state == FileState::Refused) return FALSE;

    const std::string_view all(text);
    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    Found f = find(text, section, key ? key : "");
    Pieces out;
    std::string added;

    if (!key) { // remove the whole section
        if (!f.section) return TRUE;
        out = {all.substr(0, f.section_line.begin), all.substr(f.section_end)};
    } else if (f.key) {
        const Line &l = f.key_line;
        size_t at = l.begin + f.value_at;
        if (value && all.substr(at, l.end - at) == value) return TRUE; // already these bytes
        if (value)
            out = {all.substr(0, at), value, all.substr(l.end)};
        else
            out = {all.substr(0, l.begin), all.substr(l.next)};
    } else if (!value) {
        return TRUE; // nothing to remove
    } else if (f.section) {
        // After the section's last line, on a line of its own whatever that line ends with.
        const Line &l = f.last_content_line;
        if (text[l.next - 1] != '\n') added = text[l.next - 1] == '\r' ? "\n" : eol;
        added += std::string(key) + "=" + value + eol;
        out = {all.substr(0, l.next), added, all.substr(l.next)};
    } else {
        if (!text.empty() && text.back() != '\n') added = text.back() == '\r' ? "\n" : eol;
        added += "[" + std::string(section) + "]" + eol + key + "=" + value + eol;
        out = {all, added};
    }
    return write_file(path, out, state, st) ? TRUE : FALSE;
}
