// The dialog's layout: a widget for each control of the template, placed and sized by its dialog units,
// converted to pixels with the base units of the dialog's font.

#include "gtk_layout.h"
#include "gtk_start.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

namespace gtk_dialog {
namespace {

// Theme padding would make the controls larger than their template cells: the dialog window drops it.
constexpr char kDialogName[] = "scrwarpvue-dialog";
constexpr char kCompactCss[] =
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

GtkWidget *make_control(const backend::DialogControl &tc, dialog::Model *m, int i, Control *c,
                        GCallback on_clicked) {
    const std::string label = mnemonic_text(tc.text ? tc.text : "");
    const char *text = label.c_str();
    GtkWidget *w = nullptr;
    switch (host().kind(*m, i)) {
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
    g_signal_connect(w, "clicked", on_clicked, m);
    return w;
}

} // namespace

void set_japanese(GtkWidget *label) {
    if (!label || !GTK_IS_LABEL(label)) return;
    PangoAttrList *attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_language_new(pango_language_from_string("ja")));
    gtk_label_set_attributes(GTK_LABEL(label), attrs);
    pango_attr_list_unref(attrs);
}

void lay_out(GtkWidget *window, dialog::Model *m, std::vector<Control> *controls, GCallback on_clicked) {
    const backend::DialogTemplate *tpl = m->tpl;
    add_dialog_css();
    gtk_widget_set_name(window, kDialogName);

    GtkWidget *fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window), fixed);

    // Controls in template order.
    controls->resize(size_t(std::max(0, tpl->count)));
    for (int i = 0; i < tpl->count; ++i) {
        Control &c = (*controls)[size_t(i)];
        c.widget = make_control(tpl->controls[i], m, i, &c, on_clicked);
        if (c.none) gtk_fixed_put(GTK_FIXED(fixed), c.none, 0, 0);
        gtk_fixed_put(GTK_FIXED(fixed), c.widget, 0, 0);
        DWORD kind = host().kind(*m, i);
        if (!m->tabstop[size_t(i)] && (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON))
            gtk_widget_set_can_focus(c.widget, FALSE);
    }

    // Dialog units to pixels with the font's base units; if a label would not fit its cell, the whole
    // dialog grows a little so that nothing is clipped.
    gtk_widget_show_all(fixed); // hidden widgets measure as nothing
    double bx = 0, by = 0;
    base_units(window, &bx, &by);
    double scale = 1.0;
    for (int i = 0; i < tpl->count; ++i) {
        const backend::DialogControl &tc = tpl->controls[i];
        if (host().kind(*m, i) == BS_GROUPBOX || tc.cx <= 0 || tc.cy <= 0) continue;
        GtkRequisition min{};
        gtk_widget_get_preferred_size((*controls)[size_t(i)].widget, &min, nullptr);
        scale = std::max(scale, min.width / (tc.cx * bx / 4.0));
        // A control a pixel or two taller than its cell only overlaps its neighbour's empty margin.
        scale = std::max(scale, (min.height - 2) / (tc.cy * by / 8.0));
    }
    scale = std::min(scale, 2.0);
    auto px_x = [&](int val) { return int(std::lround(val * bx * scale / 4.0)); };
    auto px_y = [&](int val) { return int(std::lround(val * by * scale / 8.0)); };
    for (int i = 0; i < tpl->count; ++i) {
        const backend::DialogControl &tc = tpl->controls[i];
        GtkWidget *w = (*controls)[size_t(i)].widget;
        gtk_fixed_move(GTK_FIXED(fixed), w, px_x(tc.x), px_y(tc.y));
        gtk_widget_set_size_request(w, px_x(tc.x + tc.cx) - px_x(tc.x), px_y(tc.y + tc.cy) - px_y(tc.y));
    }
    gtk_widget_set_size_request(fixed, px_x(tpl->cx), px_y(tpl->cy));
}

} // namespace gtk_dialog
