// GTK's one-time start: quietly (GTK and the libraries it loads report a missing display or session bus
// on standard error, and the program stays quiet whatever happens here), in the C locale the rest of the
// program keeps, with the lost-display handler and the termination watch in place.

#include "gtk_start.h"
#include "gtk_lost_display.h"
#include "gtk_signals.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace gtk_dialog {
namespace {

const backend::DialogHost *g_host = nullptr;

void ignore_log(const gchar *, GLogLevelFlags, const gchar *, gpointer) {}

// gtk_init_check with standard error sent to /dev/null meanwhile.
bool init_quietly() {
    std::fflush(stderr);
    int saved = dup(STDERR_FILENO);
    int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null_fd >= 0) dup2(null_fd, STDERR_FILENO);
    const bool ok = gtk_init_check(nullptr, nullptr);
    std::fflush(stderr);
    if (saved >= 0 && null_fd >= 0) dup2(saved, STDERR_FILENO);
    if (saved >= 0) close(saved);
    if (null_fd >= 0) close(null_fd);
    return ok;
}

} // namespace

bool start(const backend::DialogHost *host) {
    static int state = -1;
    if (state >= 0) return state == 1;
    g_host = host;
    // GTK's locale handling is left off so that the rest of the program keeps the C locale; the labels
    // set their language themselves.
    gtk_disable_setlocale();
    remember_io_handler();
    state = init_quietly() ? 1 : 0;
    if (state != 1) return false;
    // GTK's advice to programmers (a message box without a parent window, for one) is not for users.
    g_log_set_handler("Gtk", G_LOG_LEVEL_MESSAGE, ignore_log, nullptr);
    end_quietly_when_lost(gdk_display_get_default());
    watch_termination(*host);
    return true;
}

const backend::DialogHost &host() {
    return *g_host;
}

} // namespace gtk_dialog
