#pragma once

#include <string>

#include "ui/QXLCredentialDlg.h"

// The change-password dialog (template 134): a new password typed twice. Its heading is text
// 15 (password expired) until the main sequence sets 54 for a voluntary change.
class CQXLChangePwdDlg : public CQXLCredentialDlg {
public:
    static constexpr int kTemplate = 134;
    static constexpr int kHeading = 1006;
    static constexpr int kEditPassword = 106;
    static constexpr int kEditVerify = 113;

    explicit CQXLChangePwdDlg(QXLanguageBase languageBase) : CQXLCredentialDlg(languageBase) {}

    const std::wstring& GetNewPassword() const { return m_newPassword; }
    unsigned GetHeadingTextId() const { return m_headingTextId; }
    void SetHeadingTextId(unsigned textId) { m_headingTextId = textId; }

    const SQXLDialogLayout& Layout() const override;
    std::wstring ControlText(int controlId) const override;
    // Either field empty: text 4, fields kept. Different: both emptied, text 5.
    SQXLDialogVerdict OnOk(QXLEditTexts& edits) override;

private:
    std::wstring m_newPassword;
    unsigned m_headingTextId = 15;
};
