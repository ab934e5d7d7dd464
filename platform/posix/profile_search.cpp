// Finding sections and keys in the text of a profile without looking at its lines one by one.

#include "profile_search.h"

#include <cstring>
#include <strings.h>

namespace posix::profile {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

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

bool all_blank(std::string_view s) {
    return trim(s).empty();
}

} // namespace

std::string_view trim(std::string_view s) {
    while (!s.empty() && (is_blank(s.front()) || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (is_blank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

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

} // namespace posix::profile
