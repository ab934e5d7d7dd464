// The command-line scan, through the program's entry on the headless backend: any command line returns
// 0, opens the settings dialog exactly when a "-" or "/" is followed by C or c, and otherwise runs the
// saver exactly when one is followed by S or s (the character after a "-" or "/" that is no switch is
// scanned afresh, and nothing after a switch letter is read).

#include "common/saver_types.h"
#include "platform/posix/headless/headless.h"
#include "platform/posix/internal.h"
#include "tests/support/sandbox.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace {

bool g_dialog_opened;

// The switches as described, written independently of the program's scan.
void Expected(const std::string &line, bool *configure, bool *saver) {
    *configure = *saver = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '-' && line[i] != '/') continue;
        if (i + 1 >= line.size()) break;
        const char c = line[i + 1];
        if (c == 'c' || c == 'C') *configure = true;
        if (c == 's' || c == 'S') *saver = true;
        if (c == 'c' || c == 'C' || c == 's' || c == 'S') ++i; // the letter is not scanned again
    }
}

// A copy of the program that ends leaves its lock handle open, as on Windows, until the process ends.
// Here the process goes on, so the lock files it opened are closed after each run.
void CloseLockFiles() {
    DIR *d = opendir("/proc/self/fd");
    if (!d) return;
    while (struct dirent *e = readdir(d)) {
        char target[512];
        std::string link = std::string("/proc/self/fd/") + e->d_name;
        ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        target[n] = '\0';
        if (std::string(target).ends_with("/SCRWARPVUE.lock")) close(atoi(e->d_name));
    }
    closedir(d);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    static test::Sandbox sandbox;
    if (!sandbox.ok()) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string line(reinterpret_cast<const char *>(data), size);
    line = line.substr(0, line.find('\0'));
    headless::reset(16, 12);
    g_app = SaverApp{};
    g_dialog_opened = false;
    headless::set_dialog_driver([](HWND) {
        g_dialog_opened = true;
        headless::dialog_escape();
    });
    headless::script({}); // a saver that runs is dismissed as soon as it is idle
    const int code = WinMain(posix::module_instance(), nullptr, line.data(), SW_SHOWDEFAULT);
    CloseLockFiles();
    bool configure, saver;
    Expected(line, &configure, &saver);
    const bool ran = headless::script_overrun();
    if (code != 0 || g_dialog_opened != configure || ran != (saver && !configure)) {
        std::fprintf(stderr, "\"%s\": exit %d, dialog %d (expected %d), saver %d (expected %d)\n",
                     line.c_str(), code, g_dialog_opened, configure, ran, saver && !configure);
        std::abort();
    }
    return 0;
}
