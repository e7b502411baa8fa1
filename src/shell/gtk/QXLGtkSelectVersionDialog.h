#pragma once

#include <gtk/gtk.h>

#include "ui/QXLSelectVersionDlg.h"

// The view of the version choice: the model's versions in a drop-down list with the first
// selected, OK (the default button) and Default. GTK thread only.
class CQXLGtkSelectVersionDialog {
public:
    explicit CQXLGtkSelectVersionDialog(CQXLSelectVersionDlg& model) : m_model(model) {}

    // Shows the dialog modally above owner (may be null). Returns 1 after OK, 2 after
    // Default, Escape or the close box; the model holds the selection.
    int Run(GtkWindow* owner);

private:
    CQXLSelectVersionDlg& m_model;
};
