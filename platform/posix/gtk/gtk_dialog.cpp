// The modal dialog window of the GTK backend, built from the dialog template (gtk_layout.cpp). The
// layer's dialog model decides everything a dialog does (check states, focus, the default button, what
// a click or key means): the window reports clicks and the dialog manager's keys to the model and then
// shows what the model holds. It runs on any display GDK opens, X11 or Wayland.

#include "gtk_dialog.h"
#include "gtk_layout.h"
#include "gtk_start.h"
#include "gtk_window_name.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <vector>

namespace gtk_dialog {
namespace {

struct View {
    GtkWidget *window = nullptr;
    std::vector<Control> controls;
    GMainLoop *loop = nullptr;
    int quiet = 0; // >0 while the window is made to show the model: its own signals are not reports
};

View *view_of(dialog::Model *m) {
    return static_cast<View *>(m->view);
}

int index_of_widget(View *v, GtkWidget *w) {
    for (size_t i = 0; i < v->controls.size(); ++i)
        if (v->controls[i].widget == w) return int(i);
    return -1;
}

// A button was clicked (by the mouse, the space bar or its mnemonic): the model says what it means.
void on_clicked(GtkButton *button, gpointer data) {
    auto *m = static_cast<dialog::Model *>(data);
    View *v = view_of(m);
    if (v->quiet > 0) return;
    int i = index_of_widget(v, GTK_WIDGET(button));
    if (i < 0) return;
    host().click(m, i);
    dialog_update(m);
}

gboolean on_map(GtkWidget *window, GdkEvent *, gpointer) {
    gtk_window_present(GTK_WINDOW(window));
    return FALSE;
}

bool on_x11(GtkWidget *window) {
#ifdef GDK_WINDOWING_X11
    return GDK_IS_X11_DISPLAY(gtk_widget_get_display(window));
#else
    (void)window;
    return false;
#endif
}

gboolean on_delete(GtkWidget *, GdkEvent *, gpointer data) {
    auto *m = static_cast<dialog::Model *>(data);
    host().key(m, dialog::Key::Escape);
    dialog_update(m);
    return TRUE; // the window stays until the handler ends the dialog
}

// The dialog manager's keys go to the model; the others (the space bar on a button, mnemonics) to GTK.
gboolean on_key(GtkWidget *, GdkEventKey *event, gpointer data) {
    auto *m = static_cast<dialog::Model *>(data);
    dialog::Key key;
    switch (event->keyval) {
    case GDK_KEY_Escape:
        key = dialog::Key::Escape;
        break;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        key = dialog::Key::Enter;
        break;
    case GDK_KEY_Tab:
    case GDK_KEY_KP_Tab:
    case GDK_KEY_ISO_Left_Tab:
        if (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) return FALSE;
        key = event->keyval == GDK_KEY_ISO_Left_Tab || (event->state & GDK_SHIFT_MASK) ? dialog::Key::BackTab
                                                                                       : dialog::Key::Tab;
        break;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        key = dialog::Key::Up;
        break;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        key = dialog::Key::Down;
        break;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
        key = dialog::Key::Left;
        break;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
        key = dialog::Key::Right;
        break;
    default:
        return FALSE;
    }
    host().key(m, key);
    dialog_update(m);
    return TRUE;
}

} // namespace

void take_focus_when_mapped(GtkWidget *window) {
    // A Wayland compositor gives a new window the keyboard itself; asking it there again on every map
    // (GDK maps the window anew for each activation) would go round for ever.
    if (on_x11(window)) g_signal_connect(window, "map-event", G_CALLBACK(on_map), nullptr);
}

void flush_display() {
    gdk_display_flush(gdk_display_get_default());
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

GtkWindow *open_window(dialog::Model *m) {
    return m && !m->ended && view_of(m) ? GTK_WINDOW(view_of(m)->window) : nullptr;
}

bool dialog_open(dialog::Model *m) {
    const backend::DialogTemplate *tpl = m->tpl;
    auto *v = new View;
    m->view = v;
    v->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow *win = GTK_WINDOW(v->window);
    gtk_window_set_title(win, tpl->caption ? tpl->caption : "");
    gtk_window_set_resizable(win, FALSE);
    gtk_window_set_type_hint(win, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_modal(win, TRUE);
    gtk_window_set_position(win, GTK_WIN_POS_CENTER);
    if (m->owner) {
        gtk_window_set_transient_for(win, GTK_WINDOW(view_of(m->owner)->window));
        gtk_window_set_position(win, GTK_WIN_POS_CENTER_ON_PARENT);
    }
    lay_out(v->window, m, &v->controls, G_CALLBACK(on_clicked));
    g_signal_connect(v->window, "delete-event", G_CALLBACK(on_delete), m);
    g_signal_connect(v->window, "key-press-event", G_CALLBACK(on_key), m);
    take_focus_when_mapped(v->window);
    dialog_update(m);
    return true;
}

void dialog_update(dialog::Model *m) {
    View *v = view_of(m);
    if (!v) return;
    ++v->quiet;
    for (size_t i = 0; i < v->controls.size(); ++i) {
        const Control &c = v->controls[i];
        if (!GTK_IS_TOGGLE_BUTTON(c.widget)) continue;
        bool checked = m->states[i] != BST_UNCHECKED;
        if (c.none && !checked)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c.none), TRUE);
        else
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c.widget), checked);
    }
    int def = host().shown_default(*m);
    gtk_window_set_default(GTK_WINDOW(v->window), def >= 0 ? v->controls[size_t(def)].widget : nullptr);
    if (m->focus >= 0) {
        GtkWidget *w = v->controls[size_t(m->focus)].widget;
        if (gtk_window_get_focus(GTK_WINDOW(v->window)) != w) gtk_widget_grab_focus(w);
    }
    --v->quiet;
    if (m->ended) {
        gtk_widget_hide(v->window);
        if (v->loop) g_main_loop_quit(v->loop);
    }
}

void dialog_run(dialog::Model *m) {
    View *v = view_of(m);
    gtk_widget_realize(v->window);
    set_wm_name(v->window, m->tpl->caption ? m->tpl->caption : "");
    gtk_widget_show_all(v->window);
    gtk_window_present(GTK_WINDOW(v->window));
    v->loop = g_main_loop_new(nullptr, FALSE);
    if (!m->ended) g_main_loop_run(v->loop);
    g_main_loop_unref(v->loop);
    v->loop = nullptr;
}

void dialog_close(dialog::Model *m) {
    View *v = view_of(m);
    if (!v) return;
    gtk_widget_destroy(v->window);
    flush_display();
    delete v;
    m->view = nullptr;
}

} // namespace gtk_dialog
