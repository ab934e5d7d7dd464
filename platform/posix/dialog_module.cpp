// Loading the GTK dialog backend from its shared module. The saver never calls this, so it never maps
// GTK and the libraries GTK brings (GDK, GLib's object system, Pango, Cairo...): only /c, and a message
// box, load them.

#include "dialog_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <string>
#include <unistd.h>

namespace backend {
namespace {

// The folder the program's file is in (the link xscreensaver starts resolved), without the last slash.
std::string program_folder() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string s(path, size_t(n));
    size_t slash = s.rfind('/');
    return slash == std::string::npos ? "." : s.substr(0, slash);
}

} // namespace

const DialogBackend *load_gtk_module(const char **why) {
    static std::string message;
    const std::string folder = program_folder();
    const std::string places[] = {folder + "/" + kDialogModuleName,
                                  folder + "/" SCRWARPVUE_MODULE_DIR "/" + kDialogModuleName};
    for (const std::string &place : places) {
        if (access(place.c_str(), F_OK) != 0) continue;
        void *module = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char *error = dlerror();
            message = std::string("the settings dialog does not load: ") + (error ? error : place);
            *why = message.c_str();
            return nullptr;
        }
        if (auto *entry = static_cast<const DialogBackend *>(dlsym(module, kDialogModuleEntry))) return entry;
        message = "the settings dialog's module " + place + " holds no dialog";
        *why = message.c_str();
        return nullptr;
    }
    message = std::string("the settings dialog is not installed: no ") + kDialogModuleName + " in " + folder +
              " or " + folder + "/" SCRWARPVUE_MODULE_DIR;
    *why = message.c_str();
    return nullptr;
}

} // namespace backend
