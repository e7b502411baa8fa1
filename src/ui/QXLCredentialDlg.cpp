#include "ui/QXLCredentialDlg.h"

#include "platform/LanguageTexts.h"

std::wstring CQXLCredentialDlg::ControlText(int controlId) const {
    const SQXLControl* control = Layout().Find(controlId);
    if (control == nullptr || control->textId == 0)
        return std::wstring();
    return QXLoadText(m_languageBase, control->textId);
}

std::wstring CQXLCredentialDlg::Caption() const {
    return QXLoadText(m_languageBase, Layout().captionTextId);
}

std::wstring CQXLCredentialDlg::EditText(const QXLEditTexts& edits, int controlId) {
    const auto found = edits.find(controlId);
    if (found == edits.end())
        return std::wstring();
    return found->second.substr(0, kQXLEditCapacity);
}

void CQXLCredentialDlg::EmptyEdits(QXLEditTexts& edits, std::initializer_list<int> controlIds) {
    for (const int id : controlIds)
        edits[id].clear();
}

bool QXLAllDecimalDigits(const std::wstring& text) {
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
    }
    return true;
}
