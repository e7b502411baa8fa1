#pragma once

#include <gtk/gtk.h>

#include "ui/QXLCredentialDlg.h"

// The view of the four credential dialogs (login, change password, new PIN, next passcode):
// the model's layout and texts, empty edits, and on OK the model's checks. A refusal is a
// warning box above the dialog, after which the dialog stays open with the edits as the model
// left them. GTK thread only.
class CQXLGtkCredentialDialog {
public:
    explicit CQXLGtkCredentialDialog(CQXLCredentialDlg& model) : m_model(model) {}

    // Shows the dialog modally above owner (may be null). Returns 1 when the model accepted
    // the input, 2 after Cancel, Escape or the close box.
    int Run(GtkWindow* owner);

private:
    CQXLCredentialDlg& m_model;
};
