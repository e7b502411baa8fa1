#pragma once

#include "shell/win32/Win32DialogView.h"
#include "ui/QXLSelectVersionDlg.h"

// The window of the version choice dialog: the model's versions in a drop-down list, the first
// selected; OK hands the selected entry to the model, Default and closing choose none.
class CQXLWin32SelectVersionView : public CQXLWin32DialogView {
public:
    // model must outlive the view.
    explicit CQXLWin32SelectVersionView(CQXLSelectVersionDlg& model) : m_model(model) {}

    // Shows the dialog modally on the calling thread, owned by owner. Returns 1 after OK, 2
    // after Default, closing, or when no dialog could be made.
    int Run(HINSTANCE instance, HWND owner);

private:
    bool OnInitDialog() override;
    void OnButton(int id) override;

    CQXLSelectVersionDlg& m_model;
};
