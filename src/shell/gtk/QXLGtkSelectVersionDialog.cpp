#include "shell/gtk/QXLGtkSelectVersionDialog.h"

#include "platform/Text.h"
#include "shell/gtk/QXLGtkModalDialog.h"

int CQXLGtkSelectVersionDialog::Run(GtkWindow* owner) {
    const SQXLDialogLayout& layout = CQXLSelectVersionDlg::Layout();
    CQXLGtkModalDialog dialog(layout, m_model.Caption(), owner);
    for (const SQXLControl& control : layout) {
        if (control.kind != QXLControlKind::DropDown)
            dialog.Controls().SetText(control.id, m_model.ControlText(control.id));
    }
    GtkComboBoxText* list =
        GTK_COMBO_BOX_TEXT(dialog.Controls().Control(CQXLSelectVersionDlg::kList));
    const int first = m_model.OnInit();
    for (const std::wstring& version : m_model.Versions())
        gtk_combo_box_text_append_text(list, qxplat::ToNarrow(version).c_str());
    gtk_combo_box_set_active(GTK_COMBO_BOX(list), first);

    dialog.OnButton([this, &dialog, list](int id) {
        if (id == kQXLButtonOk)
            dialog.End(m_model.OnOk(gtk_combo_box_get_active(GTK_COMBO_BOX(list))));
        else if (id == CQXLSelectVersionDlg::kButtonDefault)
            dialog.End(m_model.OnDefault());
    });
    const int result = dialog.Run();
    // Escape and the close box count as Default: the selection stays empty.
    return result == kQXLButtonCancel ? m_model.OnDefault() : result;
}
