// The profile reader and writer on arbitrary file contents. The input gives a section, a key and a value
// (reduced to what a caller writes: printable, no line breaks, no brackets or '=' where they would change
// the meaning) and then the file's bytes. Whatever the file holds:
// - reading never fails or reads past anything;
// - a write of the key reads back as the value, and writing it again changes nothing;
// - every other line of the file survives byte for byte: at most one old line is replaced, and what is
//   new is the key's line, perhaps its section's header and the end of the line before it.

#include "platform/posix/internal.h"
#include "tests/support/sandbox.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string g_file;

std::string Slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A name or value as the program writes them: letters, digits and a few marks, no blanks at the ends.
std::string Clean(std::string s, bool is_value) {
    std::string out;
    for (char c : s)
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
            c == '-' || (c == ' ' && !out.empty()) || (is_value && c == '.'))
            out.push_back(c);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::vector<std::string> Pieces(const std::string &text) {
    std::vector<std::string> v;
    size_t pos = 0;
    for (;;) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) {
            v.push_back(text.substr(pos));
            return v;
        }
        v.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
}

bool Contains(const std::string &hay, const std::string &needle) {
    return strcasestr(hay.c_str(), needle.c_str()) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // A memory file system where there is one: the writer flushes every file it writes.
    static test::Sandbox sandbox(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    if (!sandbox.ok()) std::abort();
    g_file = sandbox.profile();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = Clean(in.ConsumeRandomLengthString(24), false);
    const std::string key = Clean(in.ConsumeRandomLengthString(24), false);
    const std::string value = Clean(in.ConsumeRandomLengthString(24), true);
    const std::string before = in.ConsumeRemainingBytesAsString();
    {
        std::ofstream out(g_file, std::ios::binary | std::ios::trunc);
        out << before;
    }

    char got[64];
    GetPrivateProfileIntA(section.c_str(), key.c_str(), 7, "SCRWARPVUE.ini");
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", got, sizeof got, "SCRWARPVUE.ini");
    if (section.empty() || key.empty()) return 0;

    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), "SCRWARPVUE.ini"))
        std::abort();
    const std::string after = Slurp(g_file);
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "(none)", got, sizeof got, "SCRWARPVUE.ini");
    if (value != got) {
        std::fprintf(stderr, "wrote \"%s\", read back \"%s\"\n", value.c_str(), got);
        std::abort();
    }
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), "SCRWARPVUE.ini") ||
        Slurp(g_file) != after) {
        std::fprintf(stderr, "the same write again changed the file\n");
        std::abort();
    }

    // Lines in common at both ends; what lies between is all the write changed.
    const std::vector<std::string> old_lines = Pieces(before), new_lines = Pieces(after);
    size_t head = 0;
    while (head < old_lines.size() && head < new_lines.size() && old_lines[head] == new_lines[head])
        ++head;
    size_t tail = 0;
    while (tail < old_lines.size() - head && tail < new_lines.size() - head &&
           old_lines[old_lines.size() - 1 - tail] == new_lines[new_lines.size() - 1 - tail])
        ++tail;
    size_t old_changed = old_lines.size() - head - tail, new_changed = new_lines.size() - head - tail;
    if (old_changed == 1 && new_changed >= 1 && new_lines[head] == old_lines[head] + "\r") {
        ++head; // a last line that ended in a lone CR, now ended by a CRLF: the same line
        old_changed = 0;
        --new_changed;
    }
    bool ok = old_changed <= 1 && new_changed <= 3;
    for (size_t i = head; ok && i < head + new_changed; ++i) {
        const std::string &l = new_lines[i];
        ok = l.empty() || l == "\r" || Contains(l, key) || Contains(l, section);
    }
    if (!ok) {
        std::fprintf(stderr, "the write changed %zu old lines into %zu new ones\n", old_changed, new_changed);
        std::abort();
    }
    return 0;
}
