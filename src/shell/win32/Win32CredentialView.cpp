#include "shell/win32/Win32CredentialView.h"

#include "platform/LanguageTexts.h"

namespace {
bool IsEdit(const SQXLControl& control) {
    return control.kind == QXLControlKind::Edit || control.kind == QXLControlKind::PasswordEdit;
}
} // namespace

int CQXLWin32CredentialView::Run(HINSTANCE instance, HWND owner) {
    const INT_PTR result = RunModal(instance, m_model.Layout().templateId, owner);
    return result == IDOK ? IDOK : IDCANCEL;
}

bool CQXLWin32CredentialView::OnInitDialog() {
    SetWindowTextW(Handle(), m_model.Caption().c_str());
    for (const SQXLControl& control : m_model.Layout()) {
        if (IsEdit(control)) {
            continue; // every edit opens empty
        }
        const std::wstring text = m_model.ControlText(control.id);
        if (!text.empty()) {
            SetItemText(control.id, text);
        }
    }
    return true;
}

void CQXLWin32CredentialView::OnButton(int id) {
    if (id == IDOK) {
        OnOk();
    } else if (id == IDCANCEL) {
        EndDialog(Handle(), IDCANCEL);
    }
}

void CQXLWin32CredentialView::OnOk() {
    QXLEditTexts edits;
    for (const SQXLControl& control : m_model.Layout()) {
        if (IsEdit(control)) {
            edits[control.id] = ItemText(control.id);
        }
    }
    const QXLEditTexts shown = edits;
    const SQXLDialogVerdict verdict = m_model.OnOk(edits);
    for (const auto& [id, text] : edits) {
        const auto before = shown.find(id);
        if (before == shown.end() || before->second != text) {
            SetItemText(id, text);
        }
    }
    if (verdict.accepted) {
        EndDialog(Handle(), IDOK);
        return;
    }
    ShowBox(QXLoadText(m_model.GetLanguageBase(), verdict.refusalTextId), m_model.Caption(),
            MB_ICONEXCLAMATION | MB_OK);
}
