#pragma once

#include <string>

#include "ui/QXLCredentialDlg.h"

// The RSA ACE next-passcode dialog (template 135): at least six decimal digits.
class CQXLAceNextPasscodeDlg : public CQXLCredentialDlg {
public:
    static constexpr int kTemplate = 135;
    static constexpr int kEditPasscode = 114;

    explicit CQXLAceNextPasscodeDlg(QXLanguageBase languageBase)
        : CQXLCredentialDlg(languageBase) {}

    const std::wstring& GetNewPasscode() const { return m_newPasscode; }

    const SQXLDialogLayout& Layout() const override;
    // Empty: text 36, field kept. Shorter than 6: emptied, 37. Not digits: emptied, 38.
    SQXLDialogVerdict OnOk(QXLEditTexts& edits) override;

private:
    std::wstring m_newPasscode;
};
