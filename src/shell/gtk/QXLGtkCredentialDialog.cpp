#include "shell/gtk/QXLGtkCredentialDialog.h"

#include "platform/LanguageTexts.h"
#include "shell/gtk/QXLGtkMessageBox.h"
#include "shell/gtk/QXLGtkModalDialog.h"
#include "ui/QXLUserInterface.h"

namespace {

bool IsEdit(QXLControlKind kind) {
    return kind == QXLControlKind::Edit || kind == QXLControlKind::PasswordEdit;
}

void PressOk(CQXLCredentialDlg& model, CQXLGtkModalDialog& dialog) {
    CQXLGtkControls& controls = dialog.Controls();
    QXLEditTexts edits;
    for (const SQXLControl& control : controls.Layout()) {
        if (IsEdit(control.kind))
            edits[control.id] = controls.EditText(control.id);
    }
    const SQXLDialogVerdict verdict = model.OnOk(edits);
    if (verdict.accepted) {
        dialog.End(kQXLButtonOk);
        return;
    }
    // The checks may have emptied fields: show the edits as the model left them.
    for (const auto& [id, text] : edits) {
        if (controls.EditText(id) != text)
            controls.SetText(id, text);
    }
    const QXLanguageBase base = model.GetLanguageBase();
    QXLGtkShowMessageBox(dialog.Window(), QXLoadText(base, verdict.refusalTextId), model.Caption(),
                         kQXMbOk | kQXMbIconExclamation, base);
}

} // namespace

int CQXLGtkCredentialDialog::Run(GtkWindow* owner) {
    const SQXLDialogLayout& layout = m_model.Layout();
    CQXLGtkModalDialog dialog(layout, m_model.Caption(), owner);
    for (const SQXLControl& control : layout) {
        if (!IsEdit(control.kind))
            dialog.Controls().SetText(control.id, m_model.ControlText(control.id));
    }
    dialog.OnButton([this, &dialog](int id) {
        if (id == kQXLButtonOk)
            PressOk(m_model, dialog);
        else if (id == kQXLButtonCancel)
            dialog.End(kQXLButtonCancel);
    });
    return dialog.Run();
}
