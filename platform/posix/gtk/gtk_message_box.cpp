// The message box MessageBoxA shows: modal over the dialog it belongs to, its text shown as given (its
// own line breaks, no wrapping, every space kept), the type's icon beside it, one OK button.

#include "gtk_message_box.h"
#include "gtk_dialog.h"
#include "gtk_layout.h"

#include <gtk/gtk.h>

namespace gtk_dialog {

int message_box(HWND, dialog::Model *owner, const char *text, const char *caption, UINT type) {
    GtkWindow *parent = open_window(owner);

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
    take_focus_when_mapped(box);

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

    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    flush_display();
    return IDOK;
}

} // namespace gtk_dialog
