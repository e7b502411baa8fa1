#pragma once

#include <functional>
#include <gtk/gtk.h>
#include <string>

#include "shell/gtk/QXLGtkControls.h"

// A dialog window built from a layout and run modally on the GTK thread with a nested main
// loop, so that the progress window and calls from other threads are still served meanwhile.
// Buttons go to the handler; Escape and the close box end the dialog with result 2 (Cancel).
// The window is destroyed with the object.
class CQXLGtkModalDialog {
public:
    // owner may be null; the dialog stays above it while shown.
    CQXLGtkModalDialog(const SQXLDialogLayout& layout, const std::wstring& caption,
                       GtkWindow* owner);
    ~CQXLGtkModalDialog();

    CQXLGtkModalDialog(const CQXLGtkModalDialog&) = delete;
    CQXLGtkModalDialog& operator=(const CQXLGtkModalDialog&) = delete;

    CQXLGtkControls& Controls() { return m_controls; }
    GtkWindow* Window() const { return GTK_WINDOW(m_window); }

    // Called with the button's id when a button is pressed; the handler may End the dialog.
    void OnButton(std::function<void(int id)> handler) { m_onButton = std::move(handler); }
    // The control that has the focus when the dialog opens (default: the first that takes it).
    void SetInitialFocus(int id) { m_initialFocus = id; }

    // Shows the dialog and returns the result given to End. Enter presses the visible
    // default button of the layout.
    int Run();
    // Ends Run with result.
    void End(int result);

private:
    static void ButtonClicked(GtkButton* button, gpointer self);
    static gboolean KeyPressed(GtkWidget* window, GdkEventKey* event, gpointer self);
    static gboolean DeleteRequested(GtkWidget* window, GdkEvent* event, gpointer self);
    void ChooseDefaultButton();

    CQXLGtkControls m_controls;
    GtkWidget* m_window;
    GMainLoop* m_loop = nullptr;
    std::function<void(int)> m_onButton;
    int m_initialFocus = 0;
    int m_result = kQXLButtonCancel;
};
