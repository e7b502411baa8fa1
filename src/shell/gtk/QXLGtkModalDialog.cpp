#include "shell/gtk/QXLGtkModalDialog.h"

#include "platform/Text.h"
#include "shell/gtk/QXLGtkMainThread.h"

namespace {

constexpr char kControlId[] = "qxl-control-id";

} // namespace

CQXLGtkModalDialog::CQXLGtkModalDialog(const SQXLDialogLayout& layout, const std::wstring& caption,
                                       GtkWindow* owner)
    : m_controls(layout), m_window(gtk_window_new(GTK_WINDOW_TOPLEVEL)) {
    CQXLGtkMainThread::Check();
    GtkWindow* window = GTK_WINDOW(m_window);
    gtk_window_set_title(window, qxplat::ToNarrow(caption).c_str());
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    if (owner != nullptr && gtk_widget_get_visible(GTK_WIDGET(owner))) {
        gtk_window_set_transient_for(window, owner);
        gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
    } else {
        gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    }
    CQXLGtkControls::ApplyStyle(m_window);
    gtk_container_add(GTK_CONTAINER(m_window), m_controls.Area());
    for (const SQXLControl& control : layout) {
        GtkWidget* widget = m_controls.Control(control.id);
        if (!GTK_IS_BUTTON(widget))
            continue;
        g_object_set_data(G_OBJECT(widget), kControlId, GINT_TO_POINTER(control.id));
        g_signal_connect(widget, "clicked", G_CALLBACK(&ButtonClicked), this);
    }
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(&KeyPressed), this);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(&DeleteRequested), this);
    // Shown now, so that a dialog may hide what it does not use before Run.
    gtk_widget_show_all(m_controls.Area());
}

CQXLGtkModalDialog::~CQXLGtkModalDialog() {
    CQXLGtkMainThread::Check();
    gtk_widget_destroy(m_window);
}

int CQXLGtkModalDialog::Run() {
    CQXLGtkMainThread::Check();
    ChooseDefaultButton();
    if (GtkWidget* focus = m_controls.Control(m_initialFocus))
        gtk_widget_grab_focus(focus);
    gtk_window_present(GTK_WINDOW(m_window));
    m_loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(m_loop);
    g_main_loop_unref(m_loop);
    m_loop = nullptr;
    gtk_widget_hide(m_window);
    return m_result;
}

void CQXLGtkModalDialog::End(int result) {
    m_result = result;
    if (m_loop != nullptr)
        g_main_loop_quit(m_loop);
}

void CQXLGtkModalDialog::ChooseDefaultButton() {
    for (const SQXLControl& control : m_controls.Layout()) {
        GtkWidget* widget = m_controls.Control(control.id);
        if (control.kind == QXLControlKind::DefaultButton && gtk_widget_get_visible(widget)) {
            gtk_widget_grab_default(widget);
            return;
        }
    }
}

void CQXLGtkModalDialog::ButtonClicked(GtkButton* button, gpointer self) {
    auto* dialog = static_cast<CQXLGtkModalDialog*>(self);
    const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), kControlId));
    if (dialog->m_onButton)
        dialog->m_onButton(id);
}

gboolean CQXLGtkModalDialog::KeyPressed(GtkWidget*, GdkEventKey* event, gpointer self) {
    if (event->keyval != GDK_KEY_Escape)
        return FALSE;
    static_cast<CQXLGtkModalDialog*>(self)->End(kQXLButtonCancel);
    return TRUE;
}

gboolean CQXLGtkModalDialog::DeleteRequested(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<CQXLGtkModalDialog*>(self)->End(kQXLButtonCancel);
    return TRUE;
}
