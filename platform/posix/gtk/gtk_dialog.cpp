// Dialogs and message boxes through GTK 3: the modal window DialogBoxParamA shows, laid out from the
// dialog template, and the modal box MessageBoxA shows. GTK starts on first use; when it cannot (no
// display), no dialog opens and every message box counts as confirmed at once, without a word.
//
// The layer's dialog model decides everything a dialog does (check states, focus, the default button,
// what a click or key means): the window reports clicks and the dialog manager's keys to the model and
// then shows what the model holds.
//
// A dialog ends the way a cancel ends it when the process is asked to end (SIGTERM, SIGHUP, SIGINT) or
// the X server goes away: nothing is stored, the lock goes with the process, and the exit code is 0.

#include "../dialog_backend.h"

#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace {

void ignore_log(const gchar *, GLogLevelFlags, const gchar *, gpointer) {}

// GTK's own handler for a lost X server prints a message and exits with 1. GTK cannot go on without its
// display, and nothing is stored while GTK waits for events, so the process ends as a cancelled dialog
// ends: quietly, with 0. Other connections keep the handler they had.
Display *g_gtk_display = nullptr;
XIOErrorHandler g_io_before = nullptr;

int on_lost_display(Display *display) {
    if (display == g_gtk_display) _exit(0);
    return g_io_before ? g_io_before(display) : 0;
}

// GTK's one-time start. Its locale handling is left off so that the rest of the program keeps the C
// locale; the labels set their language themselves.
bool gtk_ready() {
    static int state = -1;
    if (state >= 0) return state == 1;
    gtk_disable_setlocale();
    gdk_set_allowed_backends("x11");
    // GTK and the libraries it loads report a missing display or session bus on stderr; the program
    // stays quiet whatever happens here.
    fflush(stderr);
    int saved = dup(STDERR_FILENO);
    int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null_fd >= 0) dup2(null_fd, STDERR_FILENO);
    g_io_before = XSetIOErrorHandler(nullptr); // what other connections had before GTK's came
    XSetIOErrorHandler(g_io_before);
    state = gtk_init_check(nullptr, nullptr) ? 1 : 0;
    fflush(stderr);
    if (saved >= 0 && null_fd >= 0) dup2(saved, STDERR_FILENO);
    if (saved >= 0) close(saved);
    if (null_fd >= 0) close(null_fd);
    // GTK's advice to programmers (a message box without a parent window, for one) is not for users.
    if (state == 1) g_log_set_handler("Gtk", G_LOG_LEVEL_MESSAGE, ignore_log, nullptr);
    if (state != 1) XSetIOErrorHandler(g_io_before);
    if (state == 1) {
        g_gtk_display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
        XSetIOErrorHandler(on_lost_display);
    }
    return state == 1;
}

// The dialog's texts are Japanese: the language picks the Japanese forms of the CJK glyphs whatever
// the process's locale says.
void set_japanese(GtkWidget *label) {
    if (!label || !GTK_IS_LABEL(label)) return;
    PangoAttrList *attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_language_new(pango_language_from_string("ja")));
    gtk_label_set_attributes(GTK_LABEL(label), attrs);
    pango_attr_list_unref(attrs);
}

// Theme padding would make the controls larger than their template cells: the dialog window drops it.
const char kDialogName[] = "scrwarpvue-dialog";
const char kCompactCss[] =
    "#scrwarpvue-dialog button { padding: 0 6px; min-height: 0; }\n"
    "#scrwarpvue-dialog radiobutton, #scrwarpvue-dialog checkbutton { padding: 0; min-height: 0; }\n"
    "#scrwarpvue-dialog radiobutton radio, #scrwarpvue-dialog checkbutton check"
    " { margin: 0 4px 0 0; }\n"
    // The default push button wears a darker frame, as on Windows.
    "#scrwarpvue-dialog button.default { border-color: #5a5a5a; box-shadow: inset 0 0 0 1px #5a5a5a; }\n";

void add_dialog_css() {
    static bool added = false;
    if (added) return;
    added = true;
    GtkCssProvider *css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCompactCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

struct Control {
    GtkWidget *widget = nullptr;
    GtkWidget *none = nullptr; // radio buttons: a hidden partner that is active while it is unchecked
};

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
    dialog::click(m, i);
    backend::dialog_update(m);
}

// Without a window manager nobody gives the new window the keyboard: it takes it itself once mapped.
gboolean on_map(GtkWidget *window, GdkEvent *, gpointer) {
    gtk_window_present(GTK_WINDOW(window));
    return FALSE;
}

// A request to end (SIGTERM, SIGHUP, SIGINT) while a dialog runs cancels it as its cancel button would,
// and the program then ends as usual. While a message box is up the dialog's handler is in the middle
// of something it cannot abandon, so the process ends there and then, with 0: nothing is stored while
// GTK waits for events.
std::vector<dialog::Model *> g_running;
int g_boxes_open = 0;

gboolean on_terminate(gpointer) {
    if (g_boxes_open > 0 || g_running.empty()) _exit(0);
    dialog::Model *m = g_running.back();
    dialog::key(m, dialog::Key::Escape);
    if (!m->ended) { // a handler that ignores the cancel is ended all the same
        m->ended = true;
        m->result = IDCANCEL;
    }
    backend::dialog_update(m);
    return G_SOURCE_CONTINUE;
}

gboolean on_delete(GtkWidget *, GdkEvent *, gpointer data) {
    auto *m = static_cast<dialog::Model *>(data);
    dialog::key(m, dialog::Key::Escape);
    backend::dialog_update(m);
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
    dialog::key(m, key);
    backend::dialog_update(m);
    return TRUE;
}

// Dialog base units of the dialog font: the average width of the Latin letters and the line height,
// counting the Japanese face the labels fall back to.
void base_units(GtkWidget *window, double *bx, double *by) {
    PangoLayout *layout =
        gtk_widget_create_pango_layout(window, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    PangoAttrList *attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_language_new(pango_language_from_string("ja")));
    pango_layout_set_attributes(layout, attrs);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    *bx = std::max(1, (w / 26 + 1) / 2);
    pango_layout_set_text(layout, "Ag表示", -1);
    pango_layout_get_pixel_size(layout, &w, &h);
    *by = std::max(1, h);
    pango_attr_list_unref(attrs);
    g_object_unref(layout);
}

// Win32 marks a control's mnemonic with '&' ("&&" is the character itself), GTK with '_'.
std::string mnemonic_text(const char *text) {
    std::string out;
    for (const char *p = text; *p; ++p) {
        if (*p == '&') {
            if (p[1] == '&')
                out += *++p;
            else if (p[1])
                out += '_';
        } else if (*p == '_') {
            out += "__";
        } else {
            out += *p;
        }
    }
    return out;
}

GtkWidget *make_control(const backend::DialogControl &tc, dialog::Model *m, int i, Control *c) {
    const std::string label = mnemonic_text(tc.text ? tc.text : "");
    const char *text = label.c_str();
    GtkWidget *w = nullptr;
    switch (dialog::kind(*m, i)) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
        w = gtk_button_new_with_mnemonic(text);
        gtk_widget_set_can_default(w, TRUE);
        break;
    case BS_GROUPBOX:
        if (std::string_view(tc.klass) != "BUTTON") {
            w = gtk_label_new_with_mnemonic(text); // other classes are shown as their text
            gtk_label_set_xalign(GTK_LABEL(w), 0);
            set_japanese(w);
            return w;
        }
        w = gtk_frame_new(nullptr);
        gtk_frame_set_label_widget(GTK_FRAME(w), gtk_label_new_with_mnemonic(text));
        gtk_frame_set_label_align(GTK_FRAME(w), 0.03f, 0.5f);
        set_japanese(gtk_frame_get_label_widget(GTK_FRAME(w)));
        return w;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        // Each radio button pairs with a hidden one, so that it can show any state the model gives it;
        // the model keeps the group's buttons exclusive.
        c->none = gtk_radio_button_new(nullptr);
        gtk_widget_set_no_show_all(c->none, TRUE);
        w = gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(c->none), text);
        break;
    default:
        w = gtk_check_button_new_with_mnemonic(text);
        break;
    }
    set_japanese(gtk_bin_get_child(GTK_BIN(w)));
    g_signal_connect(w, "clicked", G_CALLBACK(on_clicked), m);
    return w;
}

// GTK writes a title that Latin-1 cannot hold into WM_NAME only when the locale can encode it, and this
// program keeps the C locale: the window gets the title as compound text from the UTF-8 here, so that
// tools reading WM_NAME see the Japanese caption too (_NET_WM_NAME is GTK's own).
void set_wm_name(GtkWidget *window, const char *title) {
    GdkWindow *gdk_window = gtk_widget_get_window(window);
    if (!gdk_window || !GDK_IS_X11_WINDOW(gdk_window)) return;
    Display *xdisplay = GDK_WINDOW_XDISPLAY(gdk_window);
    char *list[] = {const_cast<char *>(title)};
    XTextProperty prop{};
    if (Xutf8TextListToTextProperty(xdisplay, list, 1, XStdICCTextStyle, &prop) < Success) return;
    XSetWMName(xdisplay, GDK_WINDOW_XID(gdk_window), &prop);
    XFree(prop.value);
}

void flush_display() {
    gdk_display_flush(gdk_display_get_default());
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

} // namespace

namespace backend {

bool dialog_open(dialog::Model *m) {
    if (!gtk_ready()) return false;
    const DialogTemplate *tpl = m->tpl;
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

    add_dialog_css();
    gtk_widget_set_name(v->window, kDialogName);

    GtkWidget *fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(v->window), fixed);

    // Controls in template order.
    v->controls.resize(size_t(std::max(0, tpl->count)));
    for (int i = 0; i < tpl->count; ++i) {
        Control &c = v->controls[size_t(i)];
        c.widget = make_control(tpl->controls[i], m, i, &c);
        if (c.none) gtk_fixed_put(GTK_FIXED(fixed), c.none, 0, 0);
        gtk_fixed_put(GTK_FIXED(fixed), c.widget, 0, 0);
        DWORD kind = dialog::kind(*m, i);
        if (!m->tabstop[size_t(i)] && (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON))
            gtk_widget_set_can_focus(c.widget, FALSE);
    }

    // Dialog units to pixels with the font's base units; if a label would not fit its cell, the whole
    // dialog grows a little so that nothing is clipped.
    gtk_widget_show_all(fixed); // hidden widgets measure as nothing
    double bx = 0, by = 0;
    base_units(v->window, &bx, &by);
    double scale = 1.0;
    for (int i = 0; i < tpl->count; ++i) {
        const DialogControl &tc = tpl->controls[i];
        if (dialog::kind(*m, i) == BS_GROUPBOX || tc.cx <= 0 || tc.cy <= 0) continue;
        GtkRequisition min{};
        gtk_widget_get_preferred_size(v->controls[size_t(i)].widget, &min, nullptr);
        scale = std::max(scale, min.width / (tc.cx * bx / 4.0));
        // A control a pixel or two taller than its cell only overlaps its neighbour's empty margin.
        scale = std::max(scale, (min.height - 2) / (tc.cy * by / 8.0));
    }
    scale = std::min(scale, 2.0);
    auto px_x = [&](int val) { return int(std::lround(val * bx * scale / 4.0)); };
    auto px_y = [&](int val) { return int(std::lround(val * by * scale / 8.0)); };
    for (int i = 0; i < tpl->count; ++i) {
        const DialogControl &tc = tpl->controls[i];
        GtkWidget *w = v->controls[size_t(i)].widget;
        gtk_fixed_move(GTK_FIXED(fixed), w, px_x(tc.x), px_y(tc.y));
        gtk_widget_set_size_request(w, px_x(tc.x + tc.cx) - px_x(tc.x), px_y(tc.y + tc.cy) - px_y(tc.y));
    }
    gtk_widget_set_size_request(fixed, px_x(tpl->cx), px_y(tpl->cy));

    g_signal_connect(v->window, "delete-event", G_CALLBACK(on_delete), m);
    g_signal_connect(v->window, "key-press-event", G_CALLBACK(on_key), m);
    g_signal_connect(v->window, "map-event", G_CALLBACK(on_map), nullptr);
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
    int def = dialog::shown_default(*m);
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
    guint watches[3] = {};
    if (g_running.empty()) {
        const int signals[] = {SIGTERM, SIGHUP, SIGINT};
        for (int i = 0; i < 3; ++i)
            watches[i] = g_unix_signal_add(signals[i], on_terminate, nullptr);
    }
    g_running.push_back(m);
    if (!m->ended) g_main_loop_run(v->loop);
    g_running.pop_back();
    for (guint w : watches)
        if (w) g_source_remove(w);
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

int message_box(HWND, dialog::Model *owner, const char *text, const char *caption, UINT type) {
    if (!gtk_ready()) return IDOK;
    GtkWindow *parent = nullptr;
    if (owner && !owner->ended && view_of(owner)) parent = GTK_WINDOW(view_of(owner)->window);

    const char *icon = nullptr;
    GtkMessageType kind = GTK_MESSAGE_OTHER;
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        icon = "dialog-error";
        kind = GTK_MESSAGE_ERROR;
        break;
    case MB_ICONWARNING:
        icon = "dialog-warning";
        kind = GTK_MESSAGE_WARNING;
        break;
    case MB_ICONINFORMATION:
        icon = "dialog-information";
        kind = GTK_MESSAGE_INFO;
        break;
    default:
        break;
    }

    gchar *body = g_utf8_make_valid(text, -1);
    gchar *title = g_utf8_make_valid(caption, -1);
    GtkWidget *box = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, kind, GTK_BUTTONS_NONE, "%s", body);
    gtk_window_set_title(GTK_WINDOW(box), title);
    g_free(body);
    g_free(title);
    gtk_window_set_position(GTK_WINDOW(box), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    GtkWidget *ok = gtk_dialog_add_button(GTK_DIALOG(box), "OK", GTK_RESPONSE_OK);
    // One small OK button in the middle, as a message box has, rather than a bar across the box.
    if (GtkWidget *buttons = gtk_widget_get_parent(ok); buttons && GTK_IS_BUTTON_BOX(buttons)) {
        gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_CENTER);
        gtk_style_context_remove_class(gtk_widget_get_style_context(box), "message-dialog");
        gtk_widget_set_size_request(ok, 88, -1);
        gtk_widget_set_margin_bottom(buttons, 12);
    }
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    g_signal_connect(box, "map-event", G_CALLBACK(on_map), nullptr);

    // The text is shown as given: its own line breaks, no wrapping, every space kept, left aligned.
    GtkWidget *area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(box));
    GList *children = gtk_container_get_children(GTK_CONTAINER(area));
    for (GList *l = children; l; l = l->next) {
        if (!GTK_IS_LABEL(l->data)) continue;
        GtkLabel *label = GTK_LABEL(l->data);
        gtk_label_set_use_markup(label, FALSE);
        gtk_label_set_line_wrap(label, FALSE);
        gtk_label_set_justify(label, GTK_JUSTIFY_LEFT);
        gtk_label_set_xalign(label, 0);
        gtk_widget_set_halign(GTK_WIDGET(label), GTK_ALIGN_START);
        set_japanese(GTK_WIDGET(label));
    }
    g_list_free(children);
    // GTK 3 message boxes show no icon of their own: put it beside the text.
    GtkWidget *row = gtk_widget_get_parent(area);
    if (row) {
        gtk_widget_set_margin_top(row, 14);
        gtk_widget_set_margin_start(row, 8);
        gtk_widget_set_margin_end(row, 8);
    }
    if (icon && row && GTK_IS_BOX(row)) {
        GtkWidget *image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
        gtk_widget_set_valign(image, GTK_ALIGN_START);
        gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
        gtk_box_reorder_child(GTK_BOX(row), image, 0);
        gtk_widget_show(image);
    }

    ++g_boxes_open;
    gtk_dialog_run(GTK_DIALOG(box));
    --g_boxes_open;
    gtk_widget_destroy(box);
    flush_display();
    return IDOK;
}

} // namespace backend
