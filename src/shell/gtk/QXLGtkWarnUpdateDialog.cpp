#include "shell/gtk/QXLGtkWarnUpdateDialog.h"

#include <algorithm>

#include "shell/gtk/QXLGtkMainThread.h"
#include "shell/gtk/QXLGtkModalDialog.h"

int CQXLGtkWarnUpdateDialog::Run(GtkWindow* owner) {
    CQXLGtkModalDialog dialog(CQXLWarnUpdateDlg::Layout(), m_model.Caption(), owner);
    m_dialog = &dialog;
    Initialise(dialog);
    dialog.OnButton([this, &dialog](int id) {
        if (id == CQXLWarnUpdateDlg::kButtonReleaseNote)
            PressReleaseNote();
        else if (id == kQXLButtonOk || id == CQXLWarnUpdateDlg::kButtonYes ||
                 id == CQXLWarnUpdateDlg::kButtonNo)
            dialog.End(id);
    });
    const int result = dialog.Run();
    m_dialog = nullptr;
    return result;
}

void CQXLGtkWarnUpdateDialog::Initialise(CQXLGtkModalDialog& dialog) {
    CQXLGtkControls& controls = dialog.Controls();
    for (const SQXLControl& control : controls.Layout()) {
        if (control.kind == QXLControlKind::Button || control.kind == QXLControlKind::DefaultButton)
            controls.SetText(control.id, m_model.ControlText(control.id));
    }
    controls.SetText(CQXLWarnUpdateDlg::kText, m_model.Message());
    GtkWidget* note = controls.Control(CQXLWarnUpdateDlg::kButtonReleaseNote);
    GtkWidget* bar = controls.Control(CQXLWarnUpdateDlg::kProgress);
    gtk_widget_hide(bar);
    if (m_model.ReleaseNoteState() == CQXLWarnUpdateDlg::kNoteNone) {
        gtk_widget_set_sensitive(note, FALSE);
        gtk_widget_set_sensitive(bar, FALSE);
    }
    if (m_model.IsQuestion()) {
        gtk_widget_hide(controls.Control(kQXLButtonOk));
        dialog.SetInitialFocus(CQXLWarnUpdateDlg::kButtonNo);
    } else {
        gtk_widget_hide(controls.Control(CQXLWarnUpdateDlg::kButtonYes));
        gtk_widget_hide(controls.Control(CQXLWarnUpdateDlg::kButtonNo));
        dialog.SetInitialFocus(kQXLButtonOk);
    }
}

void CQXLGtkWarnUpdateDialog::PressReleaseNote() {
    CQXLGtkControls& controls = m_dialog->Controls();
    if (m_model.ReleaseNoteState() == CQXLWarnUpdateDlg::kNoteAvailable) {
        gtk_widget_set_sensitive(controls.Control(CQXLWarnUpdateDlg::kButtonReleaseNote), FALSE);
        gtk_widget_show(controls.Control(CQXLWarnUpdateDlg::kProgress));
    }
    m_model.OnReleaseNote(*this);
}

void CQXLGtkWarnUpdateDialog::SetRange(int minimum, int maximum) {
    CQXLGtkMainThread::Run([this, minimum, maximum] {
        m_minimum = minimum;
        m_maximum = maximum;
    });
}

void CQXLGtkWarnUpdateDialog::SetPosition(int position) {
    CQXLGtkMainThread::Run([this, position] {
        if (m_dialog == nullptr)
            return;
        const double span = std::max(1, m_maximum - m_minimum);
        const double fraction = std::clamp((position - m_minimum) / span, 0.0, 1.0);
        gtk_progress_bar_set_fraction(
            GTK_PROGRESS_BAR(m_dialog->Controls().Control(CQXLWarnUpdateDlg::kProgress)), fraction);
    });
}

void CQXLGtkWarnUpdateDialog::ReleaseNoteFinished(int state) {
    CQXLGtkMainThread::Run([this, state] {
        if (m_dialog == nullptr)
            return;
        CQXLGtkControls& controls = m_dialog->Controls();
        gtk_widget_hide(controls.Control(CQXLWarnUpdateDlg::kProgress));
        const int button = CQXLWarnUpdateDlg::kButtonReleaseNote;
        controls.SetText(button, m_model.ControlText(button));
        gtk_widget_show(controls.Control(button));
        gtk_widget_set_sensitive(controls.Control(button),
                                 state == CQXLWarnUpdateDlg::kNoteDownloaded);
    });
}
