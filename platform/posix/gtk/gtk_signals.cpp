// The termination signals while GTK waits. The layer catches SIGTERM, SIGINT and SIGHUP itself (one
// handler for the whole program) and makes a descriptor readable; GLib's main context watches that
// descriptor, so a dialog's loop and a message box's wake for it, and the layer decides what ends.

#include "gtk_signals.h"

#include <glib-unix.h>

namespace gtk_dialog {
namespace {

gboolean on_readable(gint, GIOCondition, gpointer data) {
    static_cast<const backend::DialogHost *>(data)->terminated();
    return G_SOURCE_CONTINUE;
}

} // namespace

void watch_termination(const backend::DialogHost &host) {
    if (host.termination_fd >= 0)
        g_unix_fd_add(host.termination_fd, G_IO_IN, on_readable, const_cast<backend::DialogHost *>(&host));
}

} // namespace gtk_dialog
