// Profile (INI) files, read and written the way Windows does it: GetPrivateProfileIntA,
// GetPrivateProfileStringA and WritePrivateProfileStringA over the place, the safe read, the search, the
// integer reading and the replacement beside this file.

#include "internal.h"
#include "profile_number.h"
#include "profile_place.h"
#include "profile_read.h"
#include "profile_replace.h"
#include "profile_search.h"
#include "saver_options.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

using namespace posix::profile;

namespace {

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

} // namespace

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR file) {
    std::string value;
    const UINT read =
        !lookup(section, key, file, &value) || value.empty() ? UINT(default_value) : parse_int(value);
    return posix::profile_int_read(section, key, file, read);
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
    value = posix::profile_text_to_write(section, key, file, value);
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
