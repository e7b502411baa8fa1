#pragma once

#include "shell/win32/Win32DialogView.h"
#include "ui/QXLCredentialDlg.h"

// The window of any of the four credential dialogs: the model's template with its texts; on
// OK the edits go to the model, fields it emptied are emptied on screen, and a refusal is
// explained in a box owned by the dialog, which stays open.
class CQXLWin32CredentialView : public CQXLWin32DialogView {
public:
    // model must outlive the view.
    explicit CQXLWin32CredentialView(CQXLCredentialDlg& model) : m_model(model) {}

    // Shows the dialog modally on the calling thread, owned by owner. Returns 1 (accepted) or
    // 2 (Cancel, Escape, the close box, or no dialog could be made).
    int Run(HINSTANCE instance, HWND owner);

private:
    bool OnInitDialog() override;
    void OnButton(int id) override;
    void OnOk();

    CQXLCredentialDlg& m_model;
};
