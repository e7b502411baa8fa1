#pragma once

#include <gtk/gtk.h>

#include "ui/QXLWarnUpdateDlg.h"

class CQXLGtkModalDialog;

// The view of the update warning: a notice with OK or a Yes/No question, and the release note
// button with its own progress bar. The release note download reports to this object from its
// own thread; each report runs on the GTK thread and does nothing once the window is gone, so
// the object must outlive the download (the caller waits for it after Run).
class CQXLGtkWarnUpdateDialog : public IQXLReleaseNoteView {
public:
    explicit CQXLGtkWarnUpdateDialog(CQXLWarnUpdateDlg& model) : m_model(model) {}

    // GTK thread: shows the dialog modally above owner (may be null). Returns 1 (OK), 6 (Yes),
    // 7 (No) or 2 (Escape or the close box).
    int Run(GtkWindow* owner);

    // Any thread: the release note's bar and the end of its download.
    void SetRange(int minimum, int maximum) override;
    void SetPosition(int position) override;
    void ReleaseNoteFinished(int state) override;

private:
    void Initialise(CQXLGtkModalDialog& dialog);
    void PressReleaseNote();

    CQXLWarnUpdateDlg& m_model;
    // The shown dialog; null before and after Run. GTK thread only, as are the range fields.
    CQXLGtkModalDialog* m_dialog = nullptr;
    int m_minimum = 0;
    int m_maximum = 100;
};
