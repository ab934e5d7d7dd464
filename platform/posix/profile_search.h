// Finding sections and keys in the text of a profile, the way Windows reads one: names match whatever
// their case, blanks around names and values do not count, the first of several copies wins.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace posix::profile {

std::string_view trim(std::string_view s);

// One line of the file: [begin, end) is its text without the line break; next is where the next starts.
struct Line {
    size_t begin = 0, end = 0, next = 0;
};

// Where find found the section and the key, and where the section ends.
struct Found {
    bool section = false;
    Line section_line;
    Line last_content_line; // the last non-blank line of the section (the header at least)
    size_t section_end = 0; // where the next section starts, or the end of the text
    bool key = false;
    Line key_line;
    size_t value_at = 0;
};

// The first section of that name, and the first line of the key in it.
Found find(const std::string &text, std::string_view section, std::string_view key);

// A value without one pair of matching quotes around it.
std::string_view unquote(std::string_view v);

} // namespace posix::profile
