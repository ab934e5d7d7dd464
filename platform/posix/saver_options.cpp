// The saver's run-only choices: read off the command line, and put in place of the settings file's
// values where the profile operations read them.

#include "saver_options.h"

#include <cstring>
#include <string>
#include <strings.h>

namespace {

// Where the saver keeps its settings, and the keys the choices stand in for.
constexpr const char kFile[] = "SCRWARPVUE.ini";
constexpr const char kSection[] = "SCRWARPVUE_SECTION";

struct Stand {
    const char *key;
    bool active;
    int value;
    bool read;           // the file has been read for this key since the choice was made
    std::string written; // then: what the file gave, as the decimal text a write stores
};
Stand g_stands[] = {{"DispType", false, 0, false, {}},
                    {"DispRobo", false, 0, false, {}},
                    {"EternalFire", false, 0, false, {}}};

// The host's own long options, which stay on the command line for the host to read.
const char *const kHostOptions[] = {"--root", "--window-id", "--help", "--version"};

// `--name` or `-name`.
bool is(const char *arg, const char *name) {
    return std::strcmp(arg, name) == 0 || (arg[0] == '-' && std::strcmp(arg + 1, name) == 0);
}

bool is_host_option(const char *arg) {
    for (const char *name : kHostOptions) {
        const size_t n = std::strlen(name);
        if (std::strncmp(arg, name, n) == 0 && (arg[n] == '\0' || arg[n] == '=')) return true;
    }
    return false;
}

// A long option: two dashes and a word of two letters or more ("--s" is a doubled switch introducer).
bool looks_like_option(const char *arg) {
    return arg[0] == '-' && arg[1] == '-' && std::strlen(arg + 2) >= 2;
}

// A fault number is one digit, 1 to 8.
bool parse_fault(const char *text, int *fault) {
    if (!text || text[0] < '1' || text[0] > '8' || text[1] != '\0') return false;
    *fault = text[0] - '0';
    return true;
}

Stand *stand_for(const char *section, const char *key, const char *file) {
    if (!section || !key || !file || std::strcmp(file, kFile) != 0 || strcasecmp(section, kSection) != 0)
        return nullptr;
    for (Stand &s : g_stands)
        if (s.active && strcasecmp(key, s.key) == 0) return &s;
    return nullptr;
}

} // namespace

namespace posix {

SaverChoices take_saver_options(int *argc, char **argv, std::FILE *errors) {
    SaverChoices choices;
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        const char *arg = argv[i];
        if (is(arg, "-fault") || std::strncmp(arg, "--fault=", 8) == 0 ||
            std::strncmp(arg, "-fault=", 7) == 0) {
            const char *eq = std::strchr(arg, '=');
            const char *value = eq ? eq + 1 : nullptr;
            // The next argument is the value unless it is another option or a switch.
            if (!eq && i + 1 < *argc && argv[i + 1][0] != '-' && argv[i + 1][0] != '/') value = argv[++i];
            int fault = 0;
            if (parse_fault(value, &fault))
                choices.fault = fault;
            else if (errors)
                std::fprintf(errors,
                             "scrwarpvue: --fault takes a fault number from 1 to 8%s%s%s; the settings "
                             "file's fault is shown\n",
                             value ? ", not \"" : "", value ? value : "", value ? "\"" : "");
        } else if (is(arg, "-robot") || is(arg, "-no-robot")) {
            choices.robot = std::strstr(arg, "no-") ? 0 : 1;
        } else if (is(arg, "-eternal-fire") || is(arg, "-no-eternal-fire")) {
            choices.eternal_fire = std::strstr(arg, "no-") ? 0 : 1;
        } else if (looks_like_option(arg) && !is_host_option(arg)) {
            if (errors)
                std::fprintf(errors, "scrwarpvue: unknown option %s is ignored (--help lists them)\n", arg);
        } else {
            argv[kept++] = argv[i];
        }
    }
    for (int i = kept; i < *argc; ++i)
        argv[i] = nullptr;
    *argc = kept;
    return choices;
}

void use_saver_choices(const SaverChoices &choices) {
    const int values[] = {choices.fault, choices.robot, choices.eternal_fire};
    const bool active[] = {choices.fault != 0, choices.robot >= 0, choices.eternal_fire >= 0};
    for (size_t i = 0; i < sizeof g_stands / sizeof g_stands[0]; ++i) {
        g_stands[i].active = active[i];
        g_stands[i].value = values[i];
        g_stands[i].read = false;
        g_stands[i].written.clear();
    }
}

unsigned profile_int_read(const char *section, const char *key, const char *file, unsigned from_file) {
    Stand *s = stand_for(section, key, file);
    if (!s) return from_file;
    s->read = true;
    s->written = std::to_string(int(from_file));
    return unsigned(s->value);
}

const char *profile_text_to_write(const char *section, const char *key, const char *file, const char *value) {
    Stand *s = stand_for(section, key, file);
    return s && s->read && value ? s->written.c_str() : value;
}

} // namespace posix
