// A workaround for the window's name on X11. GTK writes a title that Latin-1 cannot hold into WM_NAME
// only when the locale can encode it, and this program keeps the C locale: the window gets the title as
// compound text from the UTF-8 here, so that tools reading WM_NAME see the Japanese caption too
// (_NET_WM_NAME is GTK's own). Other displays have no WM_NAME.

#include "gtk_window_name.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace gtk_dialog {

void set_wm_name(GtkWidget *window, const char *title) {
#ifdef GDK_WINDOWING_X11
    GdkWindow *gdk_window = gtk_widget_get_window(window);
    if (!gdk_window || !GDK_IS_X11_WINDOW(gdk_window)) return;
    Display *xdisplay = GDK_WINDOW_XDISPLAY(gdk_window);
    char *list[] = {const_cast<char *>(title)};
    XTextProperty prop{};
    if (Xutf8TextListToTextProperty(xdisplay, list, 1, XStdICCTextStyle, &prop) < Success) return;
    XSetWMName(xdisplay, GDK_WINDOW_XID(gdk_window), &prop);
    XFree(prop.value);
#else
    (void)window;
    (void)title;
#endif
}

} // namespace gtk_dialog
