// Profile (INI) files, read and written the way Windows does it.
//
// A bare file name lives in the user's configuration directory ($XDG_CONFIG_HOME, else ~/.config), so
// every copy of the program meets the same file whatever its current directory. A write keeps every other
// byte of the file and replaces it atomically: a sibling temporary file, flushed, then renamed over it.

#include "internal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

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

// Reads the whole file. Returns false for a file that exists but cannot be read; a missing file reads
// as empty.
bool read_file(const std::string &path, std::string *out, bool *exists) {
    out->clear();
    *exists = false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
    *exists = true;
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return false;
        }
        if (n == 0) break;
        out->append(buf, size_t(n));
    }
    close(fd);
    return true;
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
    size_t begin, end, next;
};

std::vector<Line> split_lines(const std::string &text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string::npos ? text.size() : nl;
        size_t next = nl == std::string::npos ? text.size() : nl + 1;
        size_t stop = end > pos && text[end - 1] == '\r' ? end - 1 : end;
        lines.push_back(Line{pos, stop, next});
        pos = next;
    }
    return lines;
}

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
    size_t section_line = 0;
    size_t last_content_line = 0; // the last non-blank line of the section (the header at least)
    bool key = false;
    size_t key_line = 0;
    size_t value_at = 0;
};

Found find(const std::string &text, const std::vector<Line> &lines, std::string_view section,
           std::string_view key) {
    Found f;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line(text.data() + lines[i].begin, lines[i].end - lines[i].begin);
        std::string_view name;
        if (section_name(line, &name)) {
            if (f.section && inside) break; // the first matching section alone counts
            inside = same_name(name, section);
            if (inside) {
                f.section = true;
                f.section_line = f.last_content_line = i;
            }
            continue;
        }
        if (!inside) continue;
        if (!trim(line).empty()) f.last_content_line = i;
        std::string_view k;
        size_t at;
        if (!f.key && !key.empty() && key_of(line, &k, &at) && same_name(k, key)) {
            f.key = true;
            f.key_line = i;
            f.value_at = at;
        }
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
    bool exists;
    if (path.empty() || !read_file(path, &text, &exists) || !exists) return false;
    auto lines = split_lines(text);
    Found f = find(text, lines, section, key);
    if (!f.key) return false;
    const Line &l = lines[f.key_line];
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

bool write_atomically(const std::string &path, const std::string &text, bool existed) {
    std::string target = path;
    if (existed) {
        // Replace the file a link points at, not the link.
        if (char *real = realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "." : target.substr(0, slash);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string tmp = dir + "/." + base + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return false;
    mode_t mode = 0644;
    struct stat st;
    if (existed && stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = fchmod(fd, mode) == 0;
    size_t done = 0;
    while (ok && done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += size_t(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(name.data(), target.c_str()) == 0) {
        int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            fsync(dfd);
            close(dfd);
        }
        return true;
    }
    unlink(name.data());
    return false;
}

void make_config_directory(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    std::string dir = path.substr(0, slash);
    for (size_t i = 1; i <= dir.size(); ++i)
        if (i == dir.size() || dir[i] == '/') mkdir(dir.substr(0, i).c_str(), 0700);
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
    bool existed;
    if (path.empty()) return FALSE;
    if (!std::strchr(file, '/')) make_config_directory(path);
    if (!read_file(path, &text, &existed)) return FALSE;

    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    auto lines = split_lines(text);
    Found f = find(text, lines, section, key ? key : "");
    std::string out;

    if (!key) { // remove the whole section
        if (!f.section) return TRUE;
        size_t end = lines.size();
        for (size_t i = f.section_line + 1; i < lines.size(); ++i) {
            std::string_view name;
            if (section_name(std::string_view(text.data() + lines[i].begin, lines[i].end - lines[i].begin),
                             &name)) {
                end = i;
                break;
            }
        }
        size_t from = lines[f.section_line].begin, to = end < lines.size() ? lines[end].begin : text.size();
        out = text.substr(0, from) + text.substr(to);
    } else if (f.key) {
        const Line &l = lines[f.key_line];
        if (value)
            out = text.substr(0, l.begin + f.value_at) + value + text.substr(l.end);
        else
            out = text.substr(0, l.begin) + text.substr(l.next);
    } else if (!value) {
        return TRUE; // nothing to remove
    } else if (f.section) {
        const Line &l = lines[f.last_content_line];
        std::string insert = std::string(key) + "=" + value + eol;
        if (l.next == l.end) insert = eol + insert; // the section's last line has no line break yet
        out = text.substr(0, l.next) + insert + text.substr(l.next);
    } else {
        out = text;
        if (!out.empty() && out.back() != '\n') out += eol;
        out += "[" + std::string(section) + "]" + eol + key + "=" + value + eol;
    }
    return write_atomically(path, out, existed) ? TRUE : FALSE;
}
