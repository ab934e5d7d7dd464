// Where a profile lives: the user's configuration directory, and making that directory (and nothing
// above it) for a first write.

#include "profile_place.h"

#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix::profile {

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

} // namespace

std::string resolve(LPCSTR file) {
    if (!file || !*file) return {};
    if (std::strchr(file, '/')) return file;
    std::string dir = config_directory();
    return dir.empty() ? std::string{} : dir + "/" + file;
}

void make_config_directory(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    mkdir(path.substr(0, slash).c_str(), 0700);
}

} // namespace posix::profile
